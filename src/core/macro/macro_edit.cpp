#include "core/macro/macro_edit.h"

#include <algorithm>
#include <array>

#include "core/device/key_assignment.h"

namespace vq {

namespace {

constexpr uint8_t kPressed = 0x80;

constexpr std::array<MouseEventChoice, kMouseEventChoices> kMouseChoices = {{
    {0x81, 1, "mouse_key_left"},
    {0x01, 1, "mouse_key_left"},
    {0x81, 2, "mouse_key_right"},
    {0x01, 2, "mouse_key_right"},
    {0x81, 4, "mouse_key_middle"},
    {0x01, 4, "mouse_key_middle"},
    {0x81, 16, "mouse_key_forward"},
    {0x01, 16, "mouse_key_forward"},
    {0x81, 8, "mouse_key_back"},
    {0x01, 8, "mouse_key_back"},
    {0x84, 0, "mouse_move_to_left_text"},
    {0x04, 0, "mouse_move_to_right_text"},
    {0x85, 0, "mouse_move_to_up_text"},
    {0x05, 0, "mouse_move_to_down_text"},
}};

void SetType(MacroAction& action, uint8_t type) {
    action.type = type;
    action.down = (type & kPressed) ? 1 : 0;
}

bool ValidRow(const std::vector<MacroAction>& actions, int row) {
    return row >= 0 && static_cast<size_t>(row) < actions.size();
}

// The key action a key-table row gives; the row must be a keyboard key.
MacroAction KeyAction(const KeyDefinition& row, bool pressed, uint16_t delay) {
    MacroAction action;
    action.SetDelayMs(delay);
    // A modifier has no usage ID of its own; the record names its modifier bit.
    if (row.param2 != 0) {
        action.code = row.param2;
        SetType(action, static_cast<uint8_t>(kMacroKey | (pressed ? kPressed : 0)));
    } else {
        action.code = row.param1;
        SetType(action, static_cast<uint8_t>(kMacroModifierKey | (pressed ? kPressed : 0)));
    }
    action.label = std::string(row.textId);
    return action;
}

}  // namespace

uint16_t LimitDelay(long long typed) {
    return static_cast<uint16_t>(std::clamp<long long>(typed, 0, kMaxActionDelay));
}

uint8_t LimitDistance(long long typed) {
    return static_cast<uint8_t>(std::clamp<long long>(typed, 0, kMaxMoveDistance));
}

std::span<const MouseEventChoice> MouseEventChoices() {
    return kMouseChoices;
}

std::optional<int> MouseEventChoiceOf(const MacroAction& action) {
    for (int i = 0; i < kMouseEventChoices; ++i) {
        const MouseEventChoice& c = kMouseChoices[static_cast<size_t>(i)];
        if (c.type != action.type) continue;
        if (c.IsMove() || c.code == action.code) return i;
    }
    return std::nullopt;
}

size_t MacroKeyChoiceCount() {
    return kKeyboardKeyRows;
}

std::optional<size_t> MacroKeyChoiceOf(const MacroAction& action) {
    const std::span<const KeyDefinition> table = KeyTable().first(kKeyboardKeyRows);
    for (size_t row = 0; row < table.size(); ++row) {
        const KeyDefinition& key = table[row];
        if (action.EventType() == kMacroKey && key.param2 != 0 && key.param2 == action.code)
            return row;
        if (action.EventType() == kMacroModifierKey && key.param2 == 0 && key.param1 == action.code)
            return row;
    }
    return std::nullopt;
}

std::optional<MacroAction> MakeMouseAction(int choice, uint8_t distance) {
    if (choice < 0 || choice >= kMouseEventChoices) return std::nullopt;
    const MouseEventChoice& c = kMouseChoices[static_cast<size_t>(choice)];
    MacroAction action;
    action.SetDelayMs(kInsertedActionDelay);
    SetType(action, c.type);
    action.code = c.IsMove() ? distance : c.code;
    action.label = std::string(c.label);
    return action;
}

std::optional<MacroAction> MakeKeyAction(size_t keyRow, bool pressed) {
    if (keyRow >= kKeyboardKeyRows) return std::nullopt;
    return KeyAction(KeyTable()[keyRow], pressed, kInsertedActionDelay);
}

std::optional<MacroAction> KeyActionForVirtualKey(uint16_t virtualKey, bool pressed) {
    const std::optional<size_t> row = FindKeyByVirtualKey(virtualKey);
    if (!row || *row >= kKeyboardKeyRows) return std::nullopt;
    return KeyAction(KeyTable()[*row], pressed, 0);
}

bool SetActionKey(MacroAction& action, size_t keyRow) {
    if (keyRow >= kKeyboardKeyRows) return false;
    const uint16_t delay = action.DelayMs();
    action = KeyAction(KeyTable()[keyRow], action.down != 0, delay);
    return true;
}

void SetActionPressed(MacroAction& action, bool pressed) {
    SetType(action, static_cast<uint8_t>((action.type & 0x7F) | (pressed ? kPressed : 0)));
}

bool SetActionMouseChoice(MacroAction& action, int choice) {
    if (choice < 0 || choice >= kMouseEventChoices) return false;
    const MouseEventChoice& c = kMouseChoices[static_cast<size_t>(choice)];
    const bool wasMove =
        action.EventType() == kMacroMoveHorizontal || action.EventType() == kMacroMoveVertical;
    action.code = c.IsMove() ? (wasMove ? action.code : uint8_t{0}) : c.code;
    SetType(action, c.type);
    action.label = std::string(c.label);
    return true;
}

uint16_t SetActionDelay(MacroAction& action, long long typedMs) {
    const uint16_t delay = LimitDelay(typedMs);
    action.SetDelayMs(delay);
    return delay;
}

bool SetActionDistance(MacroAction& action, long long typed, uint8_t* stored) {
    if (action.EventType() != kMacroMoveHorizontal && action.EventType() != kMacroMoveVertical)
        return false;
    action.code = LimitDistance(typed);
    if (stored) *stored = action.code;
    return true;
}

int InsertAction(std::vector<MacroAction>& actions, std::optional<int> selectedRow,
                 MacroAction action) {
    int row = 0;
    if (!actions.empty()) {
        const int after = selectedRow && ValidRow(actions, *selectedRow) ? *selectedRow : 0;
        row = after + 1;
    }
    actions.insert(actions.begin() + row, std::move(action));
    return row;
}

std::optional<int> MoveActionUp(std::vector<MacroAction>& actions, int row) {
    if (!ValidRow(actions, row) || row == 0) return std::nullopt;
    std::swap(actions[static_cast<size_t>(row)], actions[static_cast<size_t>(row - 1)]);
    return row - 1;
}

std::optional<int> MoveActionDown(std::vector<MacroAction>& actions, int row) {
    if (!ValidRow(actions, row) || static_cast<size_t>(row) + 1 == actions.size())
        return std::nullopt;
    std::swap(actions[static_cast<size_t>(row)], actions[static_cast<size_t>(row + 1)]);
    return row + 1;
}

std::optional<int> MoveActionToTop(std::vector<MacroAction>& actions, int row) {
    if (!ValidRow(actions, row) || row == 0) return std::nullopt;
    std::rotate(actions.begin(), actions.begin() + row, actions.begin() + row + 1);
    return 0;
}

std::optional<int> MoveActionToBottom(std::vector<MacroAction>& actions, int row) {
    if (!ValidRow(actions, row) || static_cast<size_t>(row) + 1 == actions.size())
        return std::nullopt;
    std::rotate(actions.begin() + row, actions.begin() + row + 1, actions.end());
    return static_cast<int>(actions.size()) - 1;
}

bool DeleteAction(std::vector<MacroAction>& actions, int row) {
    if (!ValidRow(actions, row)) return false;
    actions.erase(actions.begin() + row);
    return true;
}

}  // namespace vq
