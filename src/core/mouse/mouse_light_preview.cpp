#include "core/mouse/mouse_light_preview.h"

#include "core/light/light_tables.h"

namespace vq {

namespace {

constexpr Rgb kChaseColours[8] = {{255, 0, 0}, {255, 255, 0}, {255, 0, 255}, {0, 255, 255},
                                  {0, 0, 255}, {0, 255, 0},   {255, 128, 0}, {255, 255, 255}};
constexpr Rgb kBreathColours[7] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},    {255, 255, 0},
                                   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

// The hue wheel and the breathing curve are the light engine's.
const Rgb* const kWheel = light::HueWheel();
const std::array<uint8_t, kBreathSteps>& kBreathing = light::kBreath128;

void Put(PreviewFrame& frame, int led, Rgb c, uint8_t alpha) {
    frame[static_cast<size_t>(led)] = {c.red, c.green, c.blue, alpha};
}

uint8_t Faded(uint8_t f) {
    if (f >= 128) return static_cast<uint8_t>(f - 15);
    if (f >= 64) return static_cast<uint8_t>(f - 10);
    if (f >= 32) return static_cast<uint8_t>(f - 7);
    if (f >= 17) return static_cast<uint8_t>(f - 3);
    if (f >= 1) return static_cast<uint8_t>(f - 1);
    return 0;
}

}  // namespace

std::span<const Rgb, kWheelSteps> PreviewColourWheel() {
    return std::span<const Rgb, kWheelSteps>(kWheel, kWheelSteps);
}

Rgb PreviewWave(int index) {
    if (index < 0 || index >= kWaveSteps) return {};
    return index < kWheelSteps ? kWheel[static_cast<size_t>(index)] : Rgb{};
}

const std::array<uint8_t, kBreathSteps>& PreviewBreathing() {
    return kBreathing;
}

uint8_t PreviewAlpha(uint8_t brightness) {
    return light::LevelOf(brightness);
}

void MouseLightPreview::Reset() {
    a_ = 0;
    b_ = 0;
    fade_.fill(0);
}

uint8_t MouseLightPreview::StepA(bool up, int n) {
    if (up) {
        a_ = static_cast<uint8_t>(a_ + 1);
        if (a_ >= n) a_ = 0;
    } else {
        a_ = static_cast<uint8_t>(a_ - 1);
        if (a_ >= n) a_ = static_cast<uint8_t>(n - 1);
    }
    return a_;
}

uint8_t MouseLightPreview::StepB(bool up, int n) {
    if (up) {
        b_ = static_cast<uint8_t>(b_ + 1);
        if (b_ >= n) b_ = 0;
    } else {
        b_ = static_cast<uint8_t>(b_ - 1);
        if (b_ >= n) b_ = static_cast<uint8_t>(n - 1);
    }
    return b_;
}

void MouseLightPreview::SideLed(const MouseLightSnapshot& s, uint8_t alpha, PreviewFrame& frame) {
    const uint8_t b = StepB(s.lightDirection != 0, kWheelSteps);
    Put(frame, kPreviewSideLed, kWheel[static_cast<size_t>((b + 15) % kWheelSteps)], alpha);
}

void MouseLightPreview::DpiLed(const MouseLightSnapshot& s, uint8_t alpha, PreviewFrame& frame) {
    // A stage the mouse cannot have leaves the indicator dark.
    if (s.activeStage < MouseRecord::kStages)
        Put(frame, kPreviewDpiLed, s.stageColor[s.activeStage], alpha);
    else
        Put(frame, kPreviewDpiLed, Rgb{}, 0);
}

bool MouseLightPreview::Step(const MouseLightSnapshot& s, PreviewFrame& frame) {
    const uint8_t level = PreviewAlpha(s.brightness);
    const bool up = s.lightDirection != 0;
    switch (s.lightMode) {
        case 0:  // wheel spin
            if (s.sevenColor != 0) {
                int a = StepA(up, kWheelSteps);
                for (int i = 0; i < kPreviewStripLeds; ++i) {
                    Put(frame, i, kWheel[static_cast<size_t>(a)], level);
                    a = (a + 15) % kWheelSteps;
                }
            } else {
                StepA(up, kWheelSteps / 2);
                for (int i = 0; i <= kPreviewSideLed; ++i)
                    Put(frame, i, s.color, level);
            }
            SideLed(s, level, frame);
            DpiLed(s, level, frame);
            return true;
        case 1: {  // chase, against the direction
            const uint8_t p = StepA(!up, kPreviewStripLeds);
            fade_[p] = 254;
            if (p == 0) chase_ = static_cast<uint8_t>((chase_ + 1) % 8);
            const Rgb colour = s.sevenColor != 0 ? kChaseColours[chase_] : s.color;
            for (size_t i = 0; i < kPreviewStripLeds; ++i) {
                if (fade_[i] != 255) fade_[i] = Faded(fade_[i]);
                Put(frame, static_cast<int>(i), colour,
                    static_cast<uint8_t>((level * fade_[i]) >> 8));
            }
            SideLed(s, level, frame);
            DpiLed(s, level, frame);
            return true;
        }
        case 2: {  // colour cycle
            const uint8_t a = StepA(up, kWheelSteps);
            for (int i = 0; i < kPreviewStripLeds; ++i)
                Put(frame, i, kWheel[a], level);
            SideLed(s, level, frame);
            DpiLed(s, level, frame);
            return true;
        }
        case 3: {  // wave
            if (up)
                w_ = static_cast<uint16_t>((w_ + 7) % kWaveSteps);
            else
                w_ = w_ < 7 ? static_cast<uint16_t>(kWaveSteps - 1) : static_cast<uint16_t>(w_ - 7);
            int q = w_;
            for (int i = 0; i < kPreviewStripLeds; ++i) {
                Put(frame, i, PreviewWave(q), level);
                q = (q + 21) % kWaveSteps;
            }
            SideLed(s, level, frame);
            DpiLed(s, level, frame);
            return true;
        }
        case 4: {  // breathing, in six groups of three
            const uint8_t a = StepA(up, kBreathSteps);
            if (a == 0) breath_ = static_cast<uint8_t>((breath_ + 1) % 7);
            const Rgb colour = s.sevenColor != 0 ? kBreathColours[breath_] : s.color;
            const auto alpha = static_cast<uint8_t>((kBreathing[a] * level) >> 8);
            for (int k = 0; k < 6; ++k)
                for (int led : {k, k + 6, k + 12})
                    Put(frame, led, colour, alpha);
            DpiLed(s, level, frame);
            return true;
        }
        case 5:  // static
            for (int i = 0; i < kPreviewLeds; ++i)
                Put(frame, i, s.color, level);
            DpiLed(s, level, frame);
            return true;
        case 6:
        case 7:  // dark
            for (int i = 0; i <= kPreviewSideLed; ++i)
                Put(frame, i, Rgb{}, level);
            DpiLed(s, level, frame);
            return true;
        default:
            return false;
    }
}

std::chrono::milliseconds MouseLightPreview::PassTime(const MouseLightSnapshot& s) {
    int ms = 2 * s.lightSpeed + 8 + 10 * s.lightSpeed;
    switch (s.lightMode) {
        case 1:
            ms += 40;
            break;
        case 3:
            ms += 20;
            break;
        case 4:
            ms += 5;
            break;
        default:
            break;
    }
    return std::chrono::milliseconds(ms);
}

}  // namespace vq
