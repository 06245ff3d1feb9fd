#pragma once
// What a mouse button or keyboard key shows as its label for the function code it carries.

#include <span>
#include <string>
#include <string_view>

#include "core/device/key_assignment.h"

namespace vq {

struct KeyLabel {
    enum class Kind {
        Unchanged,  // the control keeps the label it has
        TextId,     // a language text id
        MacroName,  // shown as plain text
    };
    Kind kind = Kind::Unchanged;
    std::string text;

    static KeyLabel Keep() { return {}; }
    static KeyLabel Id(std::string_view id) { return {Kind::TextId, std::string(id)}; }
    static KeyLabel Macro(std::string_view name) { return {Kind::MacroName, std::string(name)}; }
    friend bool operator==(const KeyLabel&, const KeyLabel&) = default;
};

// The names of the cursor scripts' labels, by script index.
inline constexpr std::string_view kCursorScriptLabels[] = {"GUN_1", "GUN_2", "GUN_3", "GUN_4"};

// A mouse button's label. macroNames is the mouse's macro library in order.
KeyLabel MouseButtonLabel(const KeyAssignment& code, std::span<const std::string> macroNames);
// A keyboard key's label. macroNames is the keyboard's macro library in order.
KeyLabel KeyboardKeyLabel(const KeyAssignment& code, std::span<const std::string> macroNames);

}  // namespace vq
