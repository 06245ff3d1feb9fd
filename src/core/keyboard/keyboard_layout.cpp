#include "core/keyboard/keyboard_layout.h"

#include <algorithm>

namespace vq {

namespace {

// One button's match entry, by HID usage (keys), modifier bit or special code.
struct Match {
    uint8_t type, param1, param2;
};
constexpr Match K(uint8_t usage) {
    return {key_type::kKey, 0, usage};
}
constexpr Match M(uint8_t bit) {
    return {key_type::kKey, bit, 0};
}
constexpr Match kGap{key_type::kKey, 0, 0};
constexpr Match kFn{key_type::kDpiShift, 2, 2};
constexpr Match kIso = K(0x64);

// clang-format off
constexpr Match kLayout[kKeyboardButtons] = {
    // row 0: Esc, F1-F12, Print Scr, Scroll Lock, Pause
    K(0x29), K(0x3A), K(0x3B), K(0x3C), K(0x3D), K(0x3E), K(0x3F), K(0x40), K(0x41), K(0x42),
    K(0x43), K(0x44), K(0x45), K(0x46), K(0x47), K(0x48), kGap, kGap, kGap, kGap, kGap,
    // row 1: `, 1-9, 0, -, =, BackSpace, Insert, Home, Page Up, Num Lock, Num /, Num *, Num -
    K(0x35), K(0x1E), K(0x1F), K(0x20), K(0x21), K(0x22), K(0x23), K(0x24), K(0x25), K(0x26),
    K(0x27), K(0x2D), K(0x2E), K(0x2A), K(0x49), K(0x4A), K(0x4B), K(0x53), K(0x54), K(0x55),
    K(0x56),
    // row 2: Tab, Q-P, [, ], backslash, Delete, End, Page Down, Num 7-9
    K(0x2B), K(0x14), K(0x1A), K(0x08), K(0x15), K(0x17), K(0x1C), K(0x18), K(0x0C), K(0x12),
    K(0x13), K(0x2F), K(0x30), K(0x31), K(0x4C), K(0x4D), K(0x4E), K(0x5F), K(0x60), K(0x61),
    kGap,
    // row 3: Caps Lock, A-L, ;, ', Enter, Num 4-6
    K(0x39), K(0x04), K(0x16), K(0x07), K(0x09), K(0x0A), K(0x0B), K(0x0D), K(0x0E), K(0x0F),
    K(0x33), K(0x34), K(0x28), K(0x5C), K(0x5D), K(0x5E), kGap, kGap, kGap, kGap, kGap,
    // row 4: left Shift, Z-M, comma, ., /, right Shift, Up, Num 1-3, ISO
    M(0x02), K(0x1D), K(0x1B), K(0x06), K(0x19), K(0x05), K(0x11), K(0x10), K(0x36), K(0x37),
    K(0x38), M(0x20), K(0x52), K(0x59), K(0x5A), K(0x5B), kGap, kGap, kIso, kGap, kGap,
    // row 5: left Ctrl, left Win, left Alt, Space, right Alt, Fn, App, right Ctrl, Left, Down,
    // Right, Num 0, Decimal, Num Enter, Num +, ..., right Win
    M(0x01), M(0x08), M(0x04), K(0x2C), M(0x40), kFn, K(0x65), M(0x10), K(0x50), K(0x51),
    K(0x4F), K(0x62), K(0x63), K(0x58), K(0x57), kGap, kGap, kGap, kGap, kGap, M(0x80),
};

constexpr uint8_t N = kNoKey;
constexpr uint8_t kLeds[kKeyboardButtons] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15, 16, N, N, N, N, N,
    21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41,
    42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, N,
    63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 76, 80, 81, 82, N, N, N, N, N,
    84, 86, 87, 88, 89, 90, 91, 92, 93, 94, 95, 97, 99, 101, 102, 103, N, N, N, N, N,
    105, 106, 107, 108, 109, 110, 111, 113, 119, 120, 121, 123, 124, 104, 62, N, N, N, N, N, N,
};

constexpr uint8_t kLevels[kKeyboardButtons] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, N, N, N, N, N,
    18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 53, 35, 71, 89,
    36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 68, 69, 70, N,
    54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 67, 86, 87, 88, N, N, N, N, N,
    72, 74, 75, 76, 77, 78, 79, 80, 81, 82, 83, 84, 85, 103, 104, 105, N, N, N, N, N,
    90, 91, 92, 93, 94, 95, 96, 97, 98, 99, 100, 101, 102, 106, 107, N, N, N, N, N, N,
};
// clang-format on

bool IsButton(int button) {
    return button >= 0 && button < kKeyboardButtons;
}

}  // namespace

KeyAssignment ButtonMatch(int button) {
    if (!IsButton(button)) return kButtonGap;
    const Match& m = kLayout[button];
    return {m.type, m.param1, m.param2};
}

bool IsButtonGap(int button) {
    return ButtonMatch(button) == kButtonGap;
}

uint8_t ButtonLed(int button) {
    return IsButton(button) ? kLeds[button] : kNoKey;
}

uint8_t ButtonLevel(int button) {
    return IsButton(button) ? kLevels[button] : kNoKey;
}

void BuildButtonKeyMap(std::span<const uint8_t> factory, int keyCount, ButtonKeyMap& map) {
    const int keys =
        std::min<int>(keyCount, static_cast<int>(factory.size() / KeyAssignment::kSize));
    for (int b = 0; b < kKeyboardButtons; ++b) {
        if (IsButtonGap(b)) continue;
        const KeyAssignment match = ButtonMatch(b);
        for (int j = 0; j < keys; ++j) {
            if (KeyAssignment::At(factory, static_cast<size_t>(j)) == match) {
                map[static_cast<size_t>(b)] = static_cast<uint8_t>(j);
                break;
            }
        }
    }
}

}  // namespace vq
