#pragma once
// The macro editor's work on an action list, as data: the events its insert buttons and choice
// lists make, the edits of one action, and the row operations. The page holds the list and the
// selected row; these functions change them and keep every record consistent (bit 7 of the
// type and the down flag agree, delays and distances stay within what a record holds).

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/macro/macro_file.h"

namespace vq {

inline constexpr uint16_t kInsertedActionDelay = 50;
inline constexpr int kMaxActionDelay = 65535;
inline constexpr int kMaxMoveDistance = 255;

// A typed number in a field's range: negative numbers are 0, larger ones the limit.
uint16_t LimitDelay(long long typed);
uint8_t LimitDistance(long long typed);

// ---- the events the editor offers

// The mouse-event choice list, items in order: left, right, middle, forward and back, each
// pressed then released (items 0-9), then the moves left, right, up and down (items 10-13).
struct MouseEventChoice {
    uint8_t type;  // with bit 7: pressed, or left / up for a move
    uint8_t code;  // the button bit; 0 for a move (the code is its distance)
    std::string_view label;
    bool IsMove() const {
        return (type & 0x7F) == kMacroMoveHorizontal || (type & 0x7F) == kMacroMoveVertical;
    }
};
inline constexpr int kMouseEventChoices = 14;
inline constexpr int kFirstMoveChoice = 10;
std::span<const MouseEventChoice> MouseEventChoices();
// The item that shows an action: the button item with its code and type, or the move item of
// its type. Nothing for a keyboard event or an unknown mouse event.
std::optional<int> MouseEventChoiceOf(const MacroAction& action);

// The key choice list: the key table's keyboard keys (its rows before the media and system rows).
size_t MacroKeyChoiceCount();
// The row of the key choice list that an action names: the row with the action's usage ID (type
// 0x0A) or modifier bit (type 0x09). Nothing for other actions.
std::optional<size_t> MacroKeyChoiceOf(const MacroAction& action);

// A new action with the inserted-event delay (50 ms): a mouse event of the choice list (a move
// with `distance`), or a press or release of a key-choice row. Nothing for an item out of range.
std::optional<MacroAction> MakeMouseAction(int choice, uint8_t distance = 0);
std::optional<MacroAction> MakeKeyAction(size_t keyRow, bool pressed);
// The key action of a key-table row as the recorder takes it: type 0x0A with the usage ID, or
// 0x09 with the modifier bit for a modifier. Delay 0.
std::optional<MacroAction> KeyActionForVirtualKey(uint16_t virtualKey, bool pressed);

// ---- edits of one action

// Another key: code, type and label from the row; pressed or released stays. False (nothing
// changed) for a row out of range.
bool SetActionKey(MacroAction& action, size_t keyRow);
// Pressed or released: the down flag and bit 7 of the type.
void SetActionPressed(MacroAction& action, bool pressed);
// Another mouse event: label from the item; a button item brings its code and type; a move
// item its type and keeps the distance when the action was a move (0 otherwise). False for an
// item out of range.
bool SetActionMouseChoice(MacroAction& action, int choice);
// Returns what was stored: the typed delay limited to 0-65535, the distance to 0-255. The
// distance applies to a move only (false otherwise).
uint16_t SetActionDelay(MacroAction& action, long long typedMs);
bool SetActionDistance(MacroAction& action, long long typed, uint8_t* stored = nullptr);

// ---- rows

// Where an insert goes: row 0 of an empty list, else after the selected row (after row 0 when
// none is selected). Returns the new row, which the editor selects.
int InsertAction(std::vector<MacroAction>& actions, std::optional<int> selectedRow,
                 MacroAction action);
// Each returns the row the moved action is in afterwards, or nothing (and changes nothing) when
// the move does not apply: no such row, row 0 up, the last row down.
std::optional<int> MoveActionUp(std::vector<MacroAction>& actions, int row);
std::optional<int> MoveActionDown(std::vector<MacroAction>& actions, int row);
std::optional<int> MoveActionToTop(std::vector<MacroAction>& actions, int row);
std::optional<int> MoveActionToBottom(std::vector<MacroAction>& actions, int row);
bool DeleteAction(std::vector<MacroAction>& actions, int row);

}  // namespace vq
