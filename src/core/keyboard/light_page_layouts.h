#pragma once
// What the keyboard's and the mousepad's lighting pages enable for each effect: the direction,
// colour, rainbow-colour and speed controls, the same-mode (light sync) button, the texts of the
// two direction labels and whether the custom-colour tools replace the colour controls.

#include <optional>

#include "core/keyboard/keyboard_model.h"

namespace vq {

// A control's state for an effect: enabled, disabled, or left as it is.
enum class ControlState { On, Off, Unchanged };

struct LightPageLayout {
    bool fx = false;
    bool colour = false;
    bool colourful = false;
    ControlState speed = ControlState::On;
    bool sync = false;
    // The direction labels' text ids; null: the labels keep their texts.
    const char* labelFirst = nullptr;
    const char* labelSecond = nullptr;
    // The custom layouts' tools are shown instead of the direction, rainbow and colour display.
    bool custom = false;
};

inline constexpr int kKeyboardModes = 17;  // the items of either effect list
inline constexpr int kMousepadModes = 10;

// Nothing for a mode outside the variant's list. `refresh`: the layout that showing a stored
// record applies (the full-colour keyboard leaves the speed control alone from effect 9 on; the
// single-colour keyboard enables the colour control for its custom effect).
std::optional<LightPageLayout> KeyboardModeLayout(KeyboardVariant variant, int mode,
                                                  bool refresh = false);
std::optional<LightPageLayout> MousepadModeLayout(int mode);

// The custom effect of the variant (the one that paints keys).
inline int CustomModeOf(KeyboardVariant variant) {
    return variant == KeyboardVariant::SingleColour ? 6 : 8;
}
// The reactive effect: a key clicked on the lighting page lights up.
inline constexpr int kReactiveMode = 9;

}  // namespace vq
