#pragma once
// The keyboard's keys by name, as the command line names them. A key is named by the key its
// factory function types: "F5", "key:F5" or the text id "keyboard_key_F5" (letters in any case),
// or by its place in the keyboard's key list (0 .. KeyCount - 1).

#include <optional>
#include <string_view>

#include "core/keyboard/keyboard_model.h"

namespace vq {

// The row of the key table that `name` names ("F5", "key:F5", "keyboard_key_F5", or a row's
// whole text id such as "media_play"), if any.
std::optional<size_t> KeyRowByName(std::string_view name);

// The place of the keyboard's key whose factory function is the key of table row `row`; none when
// the keyboard has no such key.
std::optional<int> FindKeyboardKey(const KeyboardModel& model, size_t row);

}  // namespace vq
