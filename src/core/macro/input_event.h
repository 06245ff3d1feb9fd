#pragma once
// One keyboard or mouse event as the input capture delivers it, the same on every platform: keys
// by their Windows virtual-key code, buttons by the bit a macro record gives them, and the
// system's millisecond tick at which the event happened.

#include <cstdint>

namespace vq {

enum class InputEventKind : uint8_t { KeyDown, KeyUp, ButtonDown, ButtonUp, Wheel, Move };

// The bits of a macro's button events.
enum class PointerButton : uint8_t { Left = 1, Right = 2, Middle = 4, Back = 8, Forward = 16 };

struct InputEvent {
    InputEventKind kind = InputEventKind::KeyDown;
    // Milliseconds of the capture's clock (it wraps after 2^32; differences stay right).
    uint32_t timeMs = 0;
    // Keys: the Windows virtual-key code (left and right modifiers apart), the scan code and the
    // extended-key flag, which tells the keypad Enter from the Enter key.
    uint16_t virtualKey = 0;
    uint16_t scanCode = 0;
    bool extended = false;
    // Buttons.
    PointerButton button = PointerButton::Left;
    // Wheel: notches × 120, positive away from the user. Move: relative distance.
    int wheelDelta = 0;
    int dx = 0, dy = 0;

    bool IsKey() const { return kind == InputEventKind::KeyDown || kind == InputEventKind::KeyUp; }
};

inline constexpr uint16_t kVirtualKeyEnter = 13;

// The virtual key the key table knows the event by: the Enter key with the extended-key flag
// is the keypad Enter (0x101).
inline uint16_t TableVirtualKey(const InputEvent& event) {
    if (event.virtualKey == kVirtualKeyEnter && event.extended) return 0x101;
    return event.virtualKey;
}

}  // namespace vq
