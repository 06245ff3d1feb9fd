#pragma once
// The picture of the mouse's lighting on its page: 19 LEDs (the 17 of the strip, a side LED with
// its own colour phase, the DPI indicator) animated from the record's lighting fields the way
// the mouse runs its effects. Nothing here is sent to the mouse.
//
// A frame is a few dozen table lookups into a caller's array: no allocation, no lock (the
// lighting fields come in as one snapshot). The pace of the frames comes from PassTime.

#include <array>
#include <chrono>
#include <cstdint>
#include <span>

#include "core/mouse/mouse_model.h"

namespace vq {

inline constexpr int kPreviewLeds = 19;
inline constexpr int kPreviewStripLeds = 17;
inline constexpr int kPreviewSideLed = 17;
inline constexpr int kPreviewDpiLed = 18;

struct PreviewLed {
    uint8_t red = 0, green = 0, blue = 0, alpha = 0;
    friend bool operator==(const PreviewLed&, const PreviewLed&) = default;
};
using PreviewFrame = std::array<PreviewLed, kPreviewLeds>;

// The tables of the effects.
inline constexpr int kWheelSteps = 192;
inline constexpr int kWaveSteps = 400;
inline constexpr int kBreathSteps = 128;
// The colour wheel: red, yellow, green, cyan, blue, magenta and back, 32 steps each.
std::span<const Rgb, kWheelSteps> PreviewColourWheel();
// The wave: the wheel, then black.
Rgb PreviewWave(int index);
const std::array<uint8_t, kBreathSteps>& PreviewBreathing();
// The opacity of a brightness 0-4 (above 4: full).
uint8_t PreviewAlpha(uint8_t brightness);

class MouseLightPreview {
  public:
    // Back to the start of an effect: both phases and the fades (the wave's phase and the
    // colour sequences go on).
    void Reset();
    // The next frame of the snapshot's effect into `frame`. A mode outside 0-7 draws nothing
    // and returns false.
    bool Step(const MouseLightSnapshot& lighting, PreviewFrame& frame);
    // The time from one frame to the next: 12 × speed + 8 ms, plus 40 ms for the chase, 20 for
    // the wave and 5 for breathing.
    static std::chrono::milliseconds PassTime(const MouseLightSnapshot& lighting);

    // The state, for tests.
    uint8_t PhaseA() const { return a_; }
    uint8_t PhaseB() const { return b_; }
    uint16_t WavePhase() const { return w_; }
    void SetWavePhase(uint16_t w) { w_ = static_cast<uint16_t>(w % kWaveSteps); }
    uint8_t ChaseColour() const { return chase_; }
    uint8_t BreathColour() const { return breath_; }
    uint8_t Fade(int led) const { return fade_[static_cast<size_t>(led)]; }

  private:
    uint8_t StepA(bool up, int n);
    uint8_t StepB(bool up, int n);
    void SideLed(const MouseLightSnapshot& s, uint8_t alpha, PreviewFrame& frame);
    static void DpiLed(const MouseLightSnapshot& s, uint8_t alpha, PreviewFrame& frame);

    uint8_t a_ = 0, b_ = 0;
    uint16_t w_ = 0;
    uint8_t chase_ = 0, breath_ = 0;
    std::array<uint8_t, kPreviewStripLeds> fade_{};
};

}  // namespace vq
