#include "core/mouse/mouse_facts.h"

#include <algorithm>
#include <string>

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

constexpr int kReportRates[] = {125, 250, 500, 1000};

constexpr const char* kLiftHeightNames[] = {"low", "middle", "high"};

constexpr const char* kModeNames[kLightModes] = {
    "spectrum-spin", "chase", "colour-cycle", "wave", "breathing", "static", "reactive", "off",
};

// A name as it is compared: lower case, with '_' and ' ' read as '-'.
std::string Folded(std::string_view name) {
    std::string folded;
    for (char c : name) {
        if (c == '_' || c == ' ') c = '-';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        folded += c;
    }
    return folded;
}

}  // namespace

std::span<const int> ReportRatesHz() {
    return kReportRates;
}

std::optional<int> ReportRateItem(int hz) {
    for (size_t i = 0; i < std::size(kReportRates); ++i)
        if (kReportRates[i] == hz) return static_cast<int>(i);
    return std::nullopt;
}

std::optional<int> ReportRateHz(int item) {
    if (item < 0 || item >= static_cast<int>(std::size(kReportRates))) return std::nullopt;
    return kReportRates[item];
}

std::optional<int> LiftHeightFromName(std::string_view name) {
    const std::string folded = Folded(name);
    for (size_t i = 0; i < std::size(kLiftHeightNames); ++i)
        if (folded == kLiftHeightNames[i]) return static_cast<int>(i);
    return std::nullopt;
}

const char* LightModeName(int mode) {
    return mode >= 0 && mode < kLightModes ? kModeNames[mode] : nullptr;
}

std::optional<int> LightModeFromName(std::string_view name) {
    if (name.size() == 1 && name[0] >= '0' && name[0] < '0' + kLightModes) return name[0] - '0';
    const std::string folded = Folded(name);
    for (int mode = 0; mode < kLightModes; ++mode)
        if (folded == kModeNames[mode]) return mode;
    return std::nullopt;
}

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
