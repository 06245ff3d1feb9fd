#pragma once
// What the mouse's firmware and page agree on, as data: the range labels of each sensor, which
// lighting controls each effect uses and what choosing it does to the record, the inverted
// speed scale, and the rules a record follows when it has been replaced as a whole.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/mouse/mouse_record.h"

namespace vq {

// ---- sensor stages

inline constexpr int kStageSteps = 320;  // 16000 DPI in 50-DPI steps
inline constexpr int kMaxStageDpi = kStageSteps * MouseRecord::kDpiStep;

// The range labels a sensor shows on its stages (texts only: no value is clamped to them).
struct SensorRange {
    uint16_t code;
    const char* minLabel;
    const char* maxLabel;
    int stages;  // stages 1..stages get the labels
};
std::optional<SensorRange> SensorRangeFor(uint16_t sensorCode);

// A DPI value as the record stores it: the nearest 50-DPI step, within 0..16000.
uint16_t DpiToSteps(int dpi);
// The slider position of a stored count: the count when the slider has it, else 0 (the value
// itself is never changed by showing it).
int StageSliderPosition(uint16_t steps);

// ---- report rate

// The report rates of "ms_report_fct_combo", by item: the record stores the item.
std::span<const int> ReportRatesHz();
// The item of a rate in Hz; nothing for a rate the list does not have.
std::optional<int> ReportRateItem(int hz);
// The rate of an item; nothing for an item outside the list.
std::optional<int> ReportRateHz(int item);

// ---- lift-off height

// "low", "middle", "high" (as the sensor page's buttons): 0, 1, 2.
std::optional<int> LiftHeightFromName(std::string_view name);

// ---- lighting

inline constexpr int kLightModes = 8;     // 0-7 of "ms_deng_combo_modeSelect0"
inline constexpr int kLightModeDark = 7;  // the mode that does not become the last mode
inline constexpr int kLightSpeedMax = 4;  // the speed slider's range is 0..4
inline constexpr int kBrightnessMax = 4;

// Which controls an effect shows, and what choosing it does to the seven-colour flag.
struct LightModeLayout {
    bool brightness, speed, colour, sevenColour, presets, fx, palette;
    int sevenColourValue;  // -1: unchanged
};
// The effect's name as the command-line tool takes it ("spectrum-spin", "static", "off", ...);
// null for a mode outside 0-7.
const char* LightModeName(int mode);
// The mode of a name (any case; '-', '_' and ' ' alike) or of a number 0-7.
std::optional<int> LightModeFromName(std::string_view name);

// The layout of effect m; nothing for a mode outside 0-7.
std::optional<LightModeLayout> LightModeLayoutOf(int mode);

// The speed slider shows 4 - lightSpeed (0 is the fastest effect).
uint8_t LightSpeedFromSlider(int sliderValue);
int SliderFromLightSpeed(uint8_t lightSpeed);

// Choosing effect m: its seven-colour change, the last mode (kept when m is the dark mode),
// then the mode. false (record unchanged) for a mode outside 0-7.
bool ApplyLightMode(MouseRecord& record, int mode);

// ---- records replaced as a whole

// What follows a record that was read from the mouse or loaded from a device profile: the
// effect is chosen again, and the lift-off height (any value other than 1 or 2 is low) and the
// line adjustment are stored again. The result is then sent back to the mouse.
void ApplyFullRefresh(MouseRecord& record);

}  // namespace vq
