#include "core/mouse/light_page_rules.h"

#include "core/mouse/button_panel.h"  // ParseEditNumber

namespace vq {

namespace {

//                                      fx     colour seven  speed  same mode
constexpr AlternativeModeLayout kList1[kAlternativeModes] = {
    {true, true, true, true, true, true},     // 0
    {false, false, false, true, true, true},  // 1
    {false, true, true, true, true, true},    // 2
    {false, true, false, false, true},        // 3
    {true, true, true, true, false},          // 4
    {true, true, false, true, false},         // 5
    {false, false, false, true, false},       // 6
};
constexpr AlternativeModeLayout kList2[kAlternativeModes] = {
    {true, true, true, true, true},     // 0
    {false, false, false, true, true},  // 1
    {false, true, true, true, true},    // 2
    {false, true, false, false, true},  // 3
    {true, true, true, true, false},    // 4
    {true, true, true, true, false},    // 5
    {false, true, true, true, false},   // 6
};

// The preset colours by button number (0: no button).
constexpr uint32_t kPresets[19] = {
    0,          0xFF00F6FF, 0xFF6CFF00, 0xFF7E00FF, 0xFF008AFF, 0xFF2400FF, 0xFFADFE00,
    0xFFFE5400, 0xFFFE8300, 0,          0,          0xFFFEB300, 0xFFFEF500, 0xFFFF0000,
    0xFFFF00F6, 0xFF21B309, 0xFF48B1FA, 0xFFFA48A4, 0xFFFDFDFC,
};

}  // namespace

std::optional<std::string> LimitColourText(std::string_view text) {
    if (ParseEditNumber(text) > 255) return std::string("255");
    return std::nullopt;
}

uint8_t ColourComponent(std::string_view text) {
    return static_cast<uint8_t>(static_cast<unsigned long>(ParseEditNumber(text)) & 0xFF);
}

std::optional<AlternativeModeLayout> AlternativeModeLayoutOf(int list, int mode) {
    if (mode < 0 || mode >= kAlternativeModes) return std::nullopt;
    if (list == 1) return kList1[mode];
    if (list == 2) return kList2[mode];
    return std::nullopt;
}

std::optional<Rgb> LightPresetColour(int n) {
    if (n < 1 || n > 18 || kPresets[n] == 0) return std::nullopt;
    const uint32_t c = kPresets[n];
    return Rgb{static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
               static_cast<uint8_t>(c)};
}

}  // namespace vq
