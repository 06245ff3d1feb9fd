#pragma once
// The mousepad's light effects over its 15 zones, computed frame by frame, and the frames they
// send. Nothing here allocates; one MousepadEffects belongs to the mousepad light thread.

#include <array>
#include <cstdint>
#include <span>

#include "core/keyboard/mousepad_model.h"
#include "core/light/keyboard_effects.h"

namespace vq::light {

inline constexpr size_t kZoneFrameSize = 45;      // 15 zones x red, green, blue
inline constexpr size_t kZoneLongFrameSize = 60;  // the same, followed by 15 zero bytes
inline constexpr uint32_t kFlashMs = 100;         // how long a flash lasts
inline constexpr uint32_t kBlinkBarEndPauseMs = 1000;
using ZoneOutput = std::array<LightCell, kZones>;  // the page's zone previews

struct ZoneState {
    uint8_t mpPhase = 0;
    std::array<uint8_t, kZones> zoneLevel{};
    std::array<uint8_t, kZones> zoneHue{};
    std::array<uint8_t, kZones> zoneLit{};
    uint8_t hueCounter = 0;  // the chase's own hue counter
    // The bar: a counter from -1 to 15 and back.
    int8_t barCounter = -1;
    bool barRising = true;
    // The blink bar: the pattern is 0x3F00 >> blinkShift.
    uint8_t blinkShift = 0;
    bool blinkRising = true;
    // The flash.
    bool flashing = false;
    uint64_t flashStartMs = 0;
    uint8_t flashHue = 0;
};

struct ZoneRender {
    bool rendered = false;
    size_t frameLength = 0;     // kZoneFrameSize or kZoneLongFrameSize
    uint32_t pauseAfterMs = 0;  // the blink bar's pause at each end
    bool advanceBreath = false;
};

class MousepadEffects {
  public:
    ZoneState& State() { return state_; }
    const ZoneState& State() const { return state_; }
    const ZoneOutput& Preview() const { return preview_; }
    std::span<const uint8_t> Frame(size_t length) const { return {frame_.data(), length}; }

    // Choosing a mode: the zone state starts again (the chase with zone 0 lit).
    void SelectMode(uint8_t mode);
    // One frame. `flash` says that the mouse reported its event since the last frame; `nowMs` is
    // the tick count that times the flash.
    ZoneRender Render(const LightSettings& light, bool flash, uint64_t nowMs);
    bool Flashing() const { return state_.flashing; }

    void FadeZone(int zone, bool fast);

  private:
    void SetZone(int zone, Rgb frameColour, Rgb previewColour, uint8_t alpha);
    uint8_t StepPhase(uint8_t direction, uint8_t period);

    ZoneState state_;
    ZoneOutput preview_{};
    std::array<uint8_t, kZoneLongFrameSize> frame_{};
};

// The time some modes take before their frame, on top of the table's pause.
uint32_t MousepadPreSleepMs(uint8_t mode, uint8_t speed);

}  // namespace vq::light
