#include "core/mouse/mouse_facts.h"

#include <algorithm>

namespace vq {

namespace {

constexpr SensorRange kSensorRanges[] = {
    {0x3325, "200", "5000", 6}, {0x3327, "200", "6200", 6},  {0x3050, "250", "4000", 6},
    {0x3330, "50", "7200", 6},  {0x3360, "100", "12000", 6}, {0x3310, "50", "5000", 6},
    {0x3389, "50", "16000", 7},
};

//                                brightness speed colour seven presets fx  palette seven:=
constexpr LightModeLayout kModeLayouts[kLightModes] = {
    {true, true, false, false, false, true, false, 0xFF},   // 0 wheel spin: built-in colours
    {true, true, true, true, true, true, true, -1},         // 1 chase
    {true, true, false, false, false, false, false, -1},    // 2 colour cycle
    {true, true, false, false, false, true, false, -1},     // 3 wave
    {true, true, true, true, true, false, true, -1},        // 4 breathing
    {true, false, true, false, true, false, true, 0},       // 5 static: one colour
    {true, true, true, true, true, false, true, -1},        // 6
    {false, false, false, false, false, false, false, -1},  // 7 dark
};

}  // namespace

std::optional<SensorRange> SensorRangeFor(uint16_t sensorCode) {
    for (const SensorRange& range : kSensorRanges)
        if (range.code == sensorCode) return range;
    return std::nullopt;
}

uint16_t DpiToSteps(int dpi) {
    const int clamped = std::clamp(dpi, 0, kMaxStageDpi);
    return static_cast<uint16_t>((clamped + MouseRecord::kDpiStep / 2) / MouseRecord::kDpiStep);
}

int StageSliderPosition(uint16_t steps) {
    return steps <= kStageSteps ? steps : 0;
}

std::optional<LightModeLayout> LightModeLayoutOf(int mode) {
    if (mode < 0 || mode >= kLightModes) return std::nullopt;
    return kModeLayouts[mode];
}

uint8_t LightSpeedFromSlider(int sliderValue) {
    return static_cast<uint8_t>(kLightSpeedMax - std::clamp(sliderValue, 0, kLightSpeedMax));
}

int SliderFromLightSpeed(uint8_t lightSpeed) {
    return kLightSpeedMax - std::min<int>(lightSpeed, kLightSpeedMax);
}

bool ApplyLightMode(MouseRecord& record, int mode) {
    const std::optional<LightModeLayout> layout = LightModeLayoutOf(mode);
    if (!layout) return false;
    if (layout->sevenColourValue >= 0)
        record.SetSevenColor(static_cast<uint8_t>(layout->sevenColourValue));
    if (mode != kLightModeDark) record.SetLastMode(static_cast<uint8_t>(mode));
    record.SetLightMode(static_cast<uint8_t>(mode));
    return true;
}

void ApplyFullRefresh(MouseRecord& record) {
    ApplyLightMode(record, record.lightMode());
    const uint8_t height = record.liftHeight();
    record.SetLiftHeight(height == 2 || height == 1 ? height : 0);
    record.SetLineAdjust(record.lineAdjust() != 0 ? 1 : 0);
}

}  // namespace vq
