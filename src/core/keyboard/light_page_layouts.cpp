#include "core/keyboard/light_page_layouts.h"

#include <array>

namespace vq {

namespace {

constexpr const char* kL = "Deng_FXL_text";
constexpr const char* kR = "Deng_FXR_text";
constexpr ControlState On = ControlState::On;
constexpr ControlState Off = ControlState::Off;
constexpr ControlState Same = ControlState::Unchanged;

// fx, colour, colourful, speed, sync, labels, custom
constexpr std::array<LightPageLayout, kKeyboardModes> kFullColour = {{
    {true, true, true, On, true, kL, kR, false},                               // 0
    {false, false, false, On, true, kL, kR, false},                            // 1
    {false, true, true, On, true, kL, kR, false},                              // 2
    {false, true, false, Off, true, kL, kR, false},                            // 3
    {false, false, false, On, false, kL, kR, false},                           // 4
    {false, true, true, On, false, kL, kR, false},                             // 5
    {false, true, true, On, false, kL, kR, false},                             // 6
    {true, true, true, On, false, kL, kR, false},                              // 7
    {false, true, true, Off, false, nullptr, nullptr, true},                   // 8
    {false, true, true, On, false, kL, kR, false},                             // 9
    {true, false, false, On, false, "Deng_FXU_text", "Deng_FXD_text", false},  // 10
    {false, true, true, On, false, kL, kR, false},                             // 11
    {true, true, true, On, false, kL, kR, false},                              // 12
    {true, false, false, On, false, "Deng_FXJ_text", "Deng_FXK_text", false},  // 13
    {true, true, true, On, false, kL, kR, false},                              // 14
    {false, true, true, On, false, kL, kR, false},                             // 15
    {false, true, true, Same, false, kL, kR, false},                           // 16
}};

// Colour, rainbow colours and the light sync are off for every effect.
constexpr std::array<LightPageLayout, kKeyboardModes> kSingleColour = {{
    {true, false, false, On, false, kL, kR, false},                                     // 0
    {false, false, false, On, false, kL, kR, false},                                    // 1
    {false, false, false, On, false, kL, kR, false},                                    // 2
    {false, false, false, Off, false, kL, kR, false},                                   // 3
    {false, false, false, On, false, kL, kR, false},                                    // 4
    {true, false, false, On, false, kL, kR, false},                                     // 5
    {false, false, false, Off, false, nullptr, nullptr, true},                          // 6
    {true, false, false, On, false, kL, kR, false},                                     // 7
    {false, false, false, On, false, kL, kR, false},                                    // 8
    {false, false, false, On, false, kL, kR, false},                                    // 9
    {true, false, false, On, false, "Deng_FXU_text", "Deng_FXD_text", false},           // 10
    {false, false, false, On, false, nullptr, nullptr, false},                          // 11
    {false, false, false, On, false, nullptr, nullptr, false},                          // 12
    {true, false, false, On, false, "Deng_FXSPEAD_text", "Deng_FXGATHER_text", false},  // 13
    {true, false, false, On, false, kL, kR, false},                                     // 14
    {false, false, false, On, false, kL, kR, false},                                    // 15
    {false, false, false, On, false, kL, kR, false},                                    // 16
}};

constexpr std::array<LightPageLayout, kMousepadModes> kMousepad = {{
    {true, true, true, On, true},      // 0
    {false, false, false, On, true},   // 1
    {false, true, true, On, true},     // 2
    {false, true, false, Off, true},   // 3
    {true, true, true, On, false},     // 4
    {true, true, true, On, false},     // 5
    {true, false, false, On, false},   // 6
    {false, true, true, On, false},    // 7
    {false, true, true, Off, false},   // 8
    {false, true, true, Same, false},  // 9
}};

}  // namespace

std::optional<LightPageLayout> KeyboardModeLayout(KeyboardVariant variant, int mode, bool refresh) {
    if (mode < 0 || mode >= kKeyboardModes) return std::nullopt;
    const auto m = static_cast<size_t>(mode);
    if (variant == KeyboardVariant::SingleColour) {
        LightPageLayout row = kSingleColour[m];
        if (refresh && mode == CustomModeOf(variant)) row.colour = true;
        return row;
    }
    LightPageLayout row = kFullColour[m];
    if (refresh && mode >= 9) row.speed = ControlState::Unchanged;
    return row;
}

std::optional<LightPageLayout> MousepadModeLayout(int mode) {
    if (mode < 0 || mode >= kMousepadModes) return std::nullopt;
    return kMousepad[static_cast<size_t>(mode)];
}

}  // namespace vq
