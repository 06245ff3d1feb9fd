#pragma once
// The mouse's key-function panel as data: the function kinds of "ms_key_fct_combo", the lists
// and number fields each kind uses, what the panel shows for a stored code, the code the
// panel's fields make, the limits of the number fields, and the guard that keeps one button on
// the left click. The page moves values between these and its widgets and nothing else.
//
// Lists and fields are named by the number in their control names: list n is
// "ms_key_fct_combo_<n>", field n is "ms_key_fct_edit_<n>".

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/device/key_assignment.h"
#include "core/macro/input_event.h"

namespace vq {

// The items of "ms_key_fct_combo"; each has the pane "ms_tab_function_<item>".
enum class ButtonFunction : int {
    Default = 0,           // the button's factory function
    MouseButton = 1,       // list 11
    HorizontalScroll = 2,  // list 12, fields 15, 17, 20
    VerticalScroll = 3,    // list 13, fields 16, 18, 19
    Dpi = 4,               // list 14
    Fire = 5,              // fields 11, 12
    Key = 6,               // a captured key, shown in field 21
    Media = 7,             // list 21
    System = 8,            // list 22
    Macro = 9,             // lists 23 (macro), 24 (play mode), field 25 (count)
    CursorScript = 10,     // list 25
    Shortcut = 11,         // list 26
    DpiOff = 12,           // (0xA0, 0, 0)
};
inline constexpr int kButtonFunctions = 13;
// The pane that holds the count field, shown while the play mode is "counted".
inline constexpr int kCountPane = 26;
// The play-mode item that repeats a macro a counted number of times.
inline constexpr int kCountedPlayMode = 4;

// The panel's lists, in the order of kPanelListNumbers.
enum class PanelList : int {
    MouseButton,
    HorizontalScroll,
    VerticalScroll,
    Dpi,
    Media,
    System,
    Macro,
    PlayMode,
    Script,
    Shortcut,
};
inline constexpr int kPanelLists = 10;
inline constexpr std::array<int, kPanelLists> kPanelListNumbers = {11, 12, 13, 14, 21,
                                                                   22, 23, 24, 25, 26};

// The panel's number fields, in the order of kPanelFieldNumbers.
enum class PanelField : int {
    FireFirst,
    FireSecond,
    HorizontalAmount,
    VerticalAmount,
    HorizontalHigh,
    VerticalHigh,
    VerticalLow,
    HorizontalLow,
    MacroCount,
};
inline constexpr int kPanelFields = 9;
inline constexpr std::array<int, kPanelFields> kPanelFieldNumbers = {11, 12, 15, 16, 17,
                                                                     18, 19, 20, 25};
// The field that shows the captured key.
inline constexpr int kKeyFieldNumber = 21;

// What the panel holds. Reading the widgets fills every member; showing a code sets only the
// members it changes (the others stay empty and their widgets as they are).
struct ButtonPanel {
    std::optional<int> function;                          // -1: no item
    std::array<std::optional<int>, kPanelLists> lists{};  // selections; -1: none
    std::array<std::optional<std::string>, kPanelFields> fields{};
    // The key field: its text id (empty: no key) and the key's code.
    std::optional<std::string> keyText;
    std::optional<KeyAssignment> key;

    std::optional<int>& List(PanelList l) { return lists[static_cast<size_t>(l)]; }
    const std::optional<int>& List(PanelList l) const { return lists[static_cast<size_t>(l)]; }
    std::optional<std::string>& Field(PanelField f) { return fields[static_cast<size_t>(f)]; }
    const std::optional<std::string>& Field(PanelField f) const {
        return fields[static_cast<size_t>(f)];
    }
};

// What showing a button's code does.
struct ButtonShow {
    ButtonPanel panel;
    // The panel waits for one key (the single-key capture runs).
    bool captureKey = false;
};

// The only button on the left click cannot be edited: `button`'s record is the left click and
// no other of the records 0-8 of the layer is.
bool IsOnlyLeftClick(std::span<const uint8_t> layer, int button);

// What the panel shows for `code`, the record of a button whose factory record is `factory`.
// `macroCount` is the number of items of the macro list. A code equal to the factory record
// shows the default item; a code the panel cannot make (the device's own types, a DPI shift
// stored under 0xA0) shows no item.
ButtonShow ShowButtonCode(const KeyAssignment& code, const KeyAssignment& factory, int macroCount);

// The code the panel makes, or nothing when it makes none (no item, no key captured, no macro
// chosen, no list row). Numbers are read as decimal and their low 8 bits used.
std::optional<KeyAssignment> BuildButtonCode(const ButtonPanel& panel,
                                             const KeyAssignment& factory);

// The limits of a number field: the corrected text, or nothing when the text stands.
std::optional<std::string> LimitPanelField(PanelField field, std::string_view text);

// The key-table row that a captured key assigns: keyboard keys only (type 0x20), the Enter
// key with the extended flag as the keypad Enter. Nothing for other keys.
std::optional<KeyDefinition> SingleKeyFor(const InputEvent& event);

// A decimal number as an edit holds it: leading blanks, an optional sign, the digits up to the
// first other character; 0 when there are none. Far out of range numbers are capped.
long ParseEditNumber(std::string_view text);

}  // namespace vq
