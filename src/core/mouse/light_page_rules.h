#pragma once
// Rules of the mouse's lighting page beyond the effect layouts of mouse_facts.h: the colour
// fields' limit, the layouts the two alternative effect lists enable, and the preset colours.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/mouse/mouse_record.h"

namespace vq {

// A red, green or blue field: a number above 255 becomes "255". The corrected text, or
// nothing when it stands.
std::optional<std::string> LimitColourText(std::string_view text);
// The field's component (its low 8 bits).
uint8_t ColourComponent(std::string_view text);

// What an item of the alternative effect lists ("ms_deng_combo_modeSelect1" is list 1,
// "..._modeSelect2" list 2) enables.
struct AlternativeModeLayout {
    bool fx, colour, sevenColour, speed, sameMode;
    // The first three items of list 1 also show (or hide) the FX layout as they enable it and
    // show the speed layout.
    bool showsFxAndSpeed = false;
};
inline constexpr int kAlternativeModes = 7;  // items 0-6
// Nothing for a list other than 1 or 2 or an item outside 0-6.
std::optional<AlternativeModeLayout> AlternativeModeLayoutOf(int list, int mode);

// The preset buttons "ms_Deng_color_btn_<n>": n is 1-8 or 11-18; nothing for any other n.
std::optional<Rgb> LightPresetColour(int n);

}  // namespace vq
