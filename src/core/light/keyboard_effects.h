#pragma once
// The keyboard's light effects, computed frame by frame: the engine state shared by every
// effect, the 17 effects of the full-colour keyboard and the 11 of the single-colour one, and
// the light frames built from their output. Nothing here allocates; one KeyboardEffects belongs
// to one thread (the keyboard light thread), which also applies the requests that the window's
// thread hands over through KeyboardLightLoop.

#include <array>
#include <cstdint>
#include <span>

#include "core/keyboard/keyboard_model.h"
#include "core/light/light_tables.h"

namespace vq::light {

// One key button's light (or one LED's, one zone's): colour and level (0-255).
struct LightCell {
    uint8_t red = 0, green = 0, blue = 0, level = 0;
    friend bool operator==(const LightCell&, const LightCell&) = default;
};
using KeyOutput = std::array<LightCell, kButtons>;

inline constexpr size_t kKeyboardFrameSize = 378;  // 126 LEDs x red, green, blue
inline constexpr size_t kLevelFrameSize = 126;     // one level per LED

struct EffectState {
    uint8_t phase = 0;
    uint8_t auxPhase = 0;  // also the snake's position
    uint8_t hueCounter = 0;
    std::array<uint8_t, kButtons> keyHue{};
    std::array<uint8_t, kButtons> keyLevel{};
    std::array<uint8_t, kButtons> keyTimer{};
    // Bit r of column c: a wave front at row r (bits 6 and 7 lie below the keyboard).
    std::array<std::array<uint8_t, kColumns>, 4> wavePlanes{};
    uint8_t stage = 0;
    uint8_t randomPos = 0;
};

// What one render did.
struct RenderResult {
    bool rendered = false;       // the mode has an effect
    bool advanceBreath = false;  // a breath ended: the record's byte 9 steps on
};

class KeyboardEffects {
  public:
    EffectState& State() { return state_; }
    const EffectState& State() const { return state_; }
    KeyOutput& Output() { return output_; }
    const KeyOutput& Output() const { return output_; }

    // ---- shared operations
    uint8_t StepPhase(uint8_t direction, uint8_t period);
    uint8_t StepAuxPhase(uint8_t direction, uint8_t period);
    void FadeKey(int button, bool fast);
    void SeedWave(int button);
    void LightWaveKeys(bool colourful);
    void SetWaveLevels(uint8_t level, bool keepOthers);
    void SpreadWaves();

    // ---- resets
    void ResetEffectState();
    // ResetEffectState and the state reset that choosing `mode` runs on this variant.
    void SelectMode(KeyboardVariant variant, uint8_t mode);
    void RandomPhases();
    void RippleReset();
    void RainSeeds();
    void StarSeeds();
    void DropSeeds();
    void LevelReset();

    // One frame of the snapshot's effect into Output().
    RenderResult Render(const KeyboardLightSnapshot& s);
    // After every pass of the thread.
    void EndPass() { ++state_.hueCounter; }

  private:
    RenderResult RenderFullColour(const KeyboardLightSnapshot& s);
    RenderResult RenderSingleColour(const KeyboardLightSnapshot& s);
    Rgb KeyColour(int button, const LightSettings& light) const;
    void Light(int button, uint8_t level, bool colourful, uint8_t hueStep);
    void Set(int button, Rgb c, uint8_t level);
    void SetLevel(int button, uint8_t level);
    void FadeAndShow(const LightSettings& light, uint8_t bl, bool fast, bool levelsOnly);
    void ScriptedShow(const LightSettings& light);
    void Snake(uint8_t direction, bool colourful);
    void RandomTwinkles();

    EffectState state_;
    KeyOutput output_{};
};

// The time of a mode before its frame is rendered, on top of the table's pause.
uint32_t KeyboardExtraSleepMs(KeyboardVariant variant, uint8_t mode);
// Modes whose frame stays the same from pass to pass while the settings do.
bool IsKeyboardStillMode(KeyboardVariant variant, uint8_t mode);

// frame[3n + k] := component k x level >> 8 for the LED n of each button that has one.
void BuildKeyboardFrame(const KeyOutput& output, std::span<uint8_t, kKeyboardFrameSize> frame);
// frame[level byte of b] := level of b for each button that has a level byte.
void BuildLevelFrame(const KeyOutput& output, std::span<uint8_t, kLevelFrameSize> frame);

// Scales each component: component x factor >> 8.
inline Rgb Scale(Rgb c, unsigned factor) {
    return {static_cast<uint8_t>(c.red * factor >> 8), static_cast<uint8_t>(c.green * factor >> 8),
            static_cast<uint8_t>(c.blue * factor >> 8)};
}
// The mousepad's and the sync's scaling: component x (factor + 1) >> 8.
inline Rgb ScaleUp(Rgb c, unsigned factor) {
    return Scale(c, factor + 1);
}

}  // namespace vq::light
