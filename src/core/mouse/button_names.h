#pragma once
// Mouse button functions by name, as the command line writes and reads them. Every code has a
// name and every name reads back as the same code:
//   default                 the button's factory function
//   a choice-list name      "mouse_key_left", "mouse_key_DPI_loop", "media_play", "system_sleep",
//                           "combo_copy", ... (the text ids of the function panel's lists)
//   key:NAME                a row of the key table, NAME its text id without "keyboard_key_"
//                           ("key:F5", "key:LCtrl", "key:Num 5"); letters in any case
//   macro:NAME              a macro of the mouse's library, played once
//   script:N                cursor script N, 1-4
//   dpi-off                 the DPI-off function (0xA0, 0, 0)
//   code:TTPPQQ             any three bytes in hexadecimal (scroll steps, fire, macro play modes)

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/device/key_assignment.h"

namespace vq {

struct ParsedButtonFunction {
    // The code to store; empty for "default" (the caller restores the factory function) and
    // when the name is not understood (then `error` says why).
    std::optional<KeyAssignment> code;
    bool factory = false;
    // The macro's name when the text names one ("macro:NAME"), found in the library or not.
    std::optional<std::string> macroName;
    std::string error;
    bool Ok() const { return factory || code.has_value(); }
};

// Reads a function name. macroNames is the device's macro library in order (a macro is stored
// by its place in the library); `library` names it in messages.
ParsedButtonFunction ParseButtonFunction(std::string_view text,
                                         std::span<const std::string> macroNames,
                                         std::string_view library = "the mouse's library");

// The name of a stored code: the most specific one that reads back as the same code.
std::string ButtonFunctionName(const KeyAssignment& code, std::span<const std::string> macroNames);

}  // namespace vq
