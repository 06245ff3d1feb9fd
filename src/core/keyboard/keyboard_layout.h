#pragma once
// The on-screen keyboard: 126 key buttons in 6 rows of 21 (button b at row b / 21, column
// b % 21), each matched to a device key by the key's factory function, and the LED each button
// lights in the two keyboard variants.

#include <array>
#include <cstdint>
#include <span>

#include "core/device/key_assignment.h"

namespace vq {

inline constexpr int kKeyboardButtons = 126;
inline constexpr int kKeyboardButtonColumns = 21;
inline constexpr uint8_t kNoKey = 126;  // a button without a device key, or without an LED
inline constexpr KeyAssignment kButtonGap{key_type::kKey, 0, 0};
// The keyboard reports its Fn key with this factory function.
inline constexpr KeyAssignment kFnKey{key_type::kDpiShift, 2, 2};

// The factory function by which button b is matched to a device key; kButtonGap for a gap.
KeyAssignment ButtonMatch(int button);
bool IsButtonGap(int button);
// The LED of button b on the full-colour keyboard (variant 0) and the level byte of it on the
// single-colour keyboard (variant 1); kNoKey when it has none or b is not a button.
uint8_t ButtonLed(int button);
uint8_t ButtonLevel(int button);

using ButtonKeyMap = std::array<uint8_t, kKeyboardButtons>;
inline ButtonKeyMap EmptyButtonKeyMap() {
    ButtonKeyMap map;
    map.fill(kNoKey);
    return map;
}
// Gives each button the first of the keyboard's keys (0 .. keyCount - 1) whose factory entry is
// its match; a button without one keeps its previous entry. Gaps never take a key, even when
// the keyboard reports a key without a function.
void BuildButtonKeyMap(std::span<const uint8_t> factory, int keyCount, ButtonKeyMap& map);

}  // namespace vq
