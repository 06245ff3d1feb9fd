#include "core/light/keyboard_effects.h"

#include "core/keyboard/keyboard_layout.h"

namespace vq::light {

namespace {

uint8_t Step(uint8_t& value, uint8_t direction, uint8_t period) {
    if (direction != 0) {
        ++value;
        if (value >= period) value = 0;
    } else {
        --value;
        if (value >= period) value = static_cast<uint8_t>(period - 1);
    }
    return value;
}

uint8_t Mod(int value, int period) {
    return static_cast<uint8_t>(value % period);
}

uint8_t Mul(unsigned a, unsigned b) {
    return static_cast<uint8_t>(a * b >> 8);
}

constexpr uint8_t kRow6 = 0x40;

}  // namespace

// ---- shared operations ----------------------------------------------------------------------

uint8_t KeyboardEffects::StepPhase(uint8_t direction, uint8_t period) {
    return Step(state_.phase, direction, period);
}

uint8_t KeyboardEffects::StepAuxPhase(uint8_t direction, uint8_t period) {
    return Step(state_.auxPhase, direction, period);
}

void KeyboardEffects::FadeKey(int button, bool fast) {
    uint8_t& level = state_.keyLevel[static_cast<size_t>(button)];
    int v = level;
    if (v & 0x80)
        v -= fast ? 40 : 30;
    else if (v & 0x40)
        v -= fast ? 30 : 20;
    else if (v & 0x20)
        v -= 10;
    else if (v > 16)
        v -= fast ? 8 : 5;
    else if (v > 8)
        v -= 4;
    else
        v = 0;
    level = static_cast<uint8_t>(v);
}

void KeyboardEffects::SeedWave(int button) {
    if (button < 0 || button >= kButtons) return;
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r)
            if (kColumnTable[static_cast<size_t>(c)][static_cast<size_t>(r)] == button) {
                for (auto& plane : state_.wavePlanes)
                    plane[static_cast<size_t>(c)] |= static_cast<uint8_t>(1u << r);
                return;
            }
}

void KeyboardEffects::Light(int button, uint8_t level, bool colourful, uint8_t hueStep) {
    const auto b = static_cast<size_t>(button);
    state_.keyLevel[b] = level;
    if (colourful) {
        state_.hueCounter = static_cast<uint8_t>(state_.hueCounter + hueStep);
        state_.keyHue[b] = state_.hueCounter;
    }
}

void KeyboardEffects::LightWaveKeys(bool colourful) {
    const auto& p = state_.wavePlanes;
    for (size_t c = 0; c < kColumns; ++c) {
        const uint8_t any = p[0][c] | p[1][c] | p[2][c] | p[3][c];
        if (any == 0) continue;
        for (size_t r = 0; r < kRows; ++r) {
            const uint8_t key = kColumnTable[c][r];
            if (key != kNoButton && (any & (1u << r))) Light(key, 255, colourful, 11);
        }
    }
}

void KeyboardEffects::SetWaveLevels(uint8_t level, bool keepOthers) {
    const auto& p = state_.wavePlanes;
    for (size_t c = 0; c < kColumns; ++c) {
        const uint8_t any = p[0][c] | p[1][c] | p[2][c] | p[3][c];
        for (size_t r = 0; r < kRows; ++r) {
            const uint8_t key = kColumnTable[c][r];
            if (key == kNoButton) continue;
            if (any & (1u << r))
                state_.keyLevel[key] = level;
            else if (!keepOthers)
                state_.keyLevel[key] = 0;
        }
    }
}

void KeyboardEffects::SpreadWaves() {
    auto& p = state_.wavePlanes;
    constexpr size_t last = kColumns - 1;
    // Left-moving planes read their right neighbour before it changes; right-moving ones their
    // left neighbour.
    for (size_t c = 0; c < last; ++c) {
        p[0][c] = static_cast<uint8_t>((p[0][c] << 1) | p[0][c + 1]);
        p[3][c] = static_cast<uint8_t>((p[3][c] >> 1) | p[3][c + 1]);
    }
    p[0][last] = static_cast<uint8_t>(p[0][last] << 1);
    p[3][last] = static_cast<uint8_t>(p[3][last] >> 1);
    for (size_t c = last; c > 0; --c) {
        p[1][c] = static_cast<uint8_t>((p[1][c] << 1) | p[1][c - 1]);
        p[2][c] = static_cast<uint8_t>((p[2][c] >> 1) | p[2][c - 1]);
    }
    p[1][0] = static_cast<uint8_t>(p[1][0] << 1);
    p[2][0] = static_cast<uint8_t>(p[2][0] >> 1);
}

// ---- resets --------------------------------------------------------------------------------

void KeyboardEffects::ResetEffectState() {
    state_.phase = 0;
    state_.stage = 0;
    state_.keyLevel.fill(0);
    state_.keyHue.fill(0);
    for (auto& plane : state_.wavePlanes)
        plane.fill(0);
}

void KeyboardEffects::RandomPhases() {
    uint8_t s = 0;
    for (size_t i = 0; i < kButtons; ++i) {
        s = static_cast<uint8_t>(s + ((s < 160 || s > 222) ? 33 : 97));
        state_.keyHue[i] = s;
    }
}

void KeyboardEffects::RippleReset() {
    for (auto& plane : state_.wavePlanes)
        plane[9] |= kRow6;
}

void KeyboardEffects::RainSeeds() {
    for (size_t c = 0; c < kColumns; ++c)
        for (size_t r = 0; r < kRows; ++r)
            if (const uint8_t key = kColumnTable[c][r]; key != kNoButton) {
                state_.keyLevel[key] = kRainStart[c][r];
                state_.keyHue[key] = static_cast<uint8_t>(7 * c);
            }
}

void KeyboardEffects::StarSeeds() {
    for (auto& plane : state_.wavePlanes)
        plane[1] |= 0x01;
}

void KeyboardEffects::DropSeeds() {
    for (size_t c = 0; c < kColumns; ++c) {
        auto a = static_cast<uint8_t>(192 - 8 * c);
        for (size_t r = 0; r < kRows; ++r) {
            auto v = static_cast<uint8_t>(a - 35);
            if (v >= 192) v = static_cast<uint8_t>(a - 98);
            if (const uint8_t key = kColumnTable[c][r]; key != kNoButton) {
                state_.keyTimer[key] = v;
                state_.keyHue[key] = static_cast<uint8_t>(7 * c);
            }
            a = v;
        }
    }
}

void KeyboardEffects::LevelReset() {
    for (size_t c = 0; c < kColumns; ++c)
        for (size_t r = 0; r < kRows; ++r)
            if (const uint8_t key = kColumnTable[c][r]; key != kNoButton)
                state_.keyTimer[key] = kRainStart[c][r];
}

void KeyboardEffects::SelectMode(KeyboardVariant variant, uint8_t mode) {
    ResetEffectState();
    if (variant == KeyboardVariant::FullColour) {
        switch (mode) {
            case 4:
                RandomPhases();
                break;
            case 5:
                RippleReset();
                break;
            case 11:
                RainSeeds();
                break;
            case 15:
                StarSeeds();
                break;
            case 16:
                DropSeeds();
                break;
            default:
                break;
        }
        return;
    }
    switch (mode) {
        case 3:
        case 5:
            RippleReset();
            break;
        case 4:
            RandomPhases();
            break;
        case 8:
        case 11:
            LevelReset();
            break;
        case 9:
        case 15:
        case 16:
            DropSeeds();
            break;
        default:
            break;
    }
}

// ---- helpers -------------------------------------------------------------------------------

Rgb KeyboardEffects::KeyColour(int button, const LightSettings& light) const {
    return light.colourful ? kColourTable[state_.keyHue[static_cast<size_t>(button)]]
                           : light.colour;
}

void KeyboardEffects::Set(int button, Rgb c, uint8_t level) {
    output_[static_cast<size_t>(button)] = {c.red, c.green, c.blue, level};
}

void KeyboardEffects::SetLevel(int button, uint8_t level) {
    output_[static_cast<size_t>(button)].level = level;
}

void KeyboardEffects::FadeAndShow(const LightSettings& light, uint8_t bl, bool fast,
                                  bool levelsOnly) {
    for (uint8_t b : kKeyOrder) {
        if (b == kNoButton) continue;
        FadeKey(b, fast);
        const uint8_t level = Mul(bl, state_.keyLevel[b]);
        if (levelsOnly)
            SetLevel(b, level);
        else
            Set(b, KeyColour(b, light), level);
    }
}

void KeyboardEffects::ScriptedShow(const LightSettings& light) {
    const bool colourful = light.colourful != 0;
    switch (state_.stage) {
        case 0:
            for (uint8_t key : kScriptKeys[state_.phase % kScriptKeys.size()])
                if (key != kNoButton) Light(key, 255, colourful, 11);
            if (++state_.phase >= kScriptKeys.size()) {
                state_.phase = 0;
                state_.stage = 1;
            }
            break;
        case 1:
            if (state_.phase < 31) {
                for (uint8_t key : kScriptPairs[state_.phase & 15])
                    if (key != kNoButton) Light(key, 255, colourful, 11);
                ++state_.phase;
            } else if (state_.keyLevel[72] == 0) {
                state_.stage = 2;
                state_.phase = 0;
            }
            break;
        case 2:
            SeedWave(52);
            state_.stage = 3;
            break;
        case 3:
            LightWaveKeys(colourful);
            SpreadWaves();
            if (state_.keyLevel[105] != 0) state_.stage = 4;
            break;
        default:
            if (state_.keyLevel[105] == 0) {
                state_.stage = 0;
                state_.phase = 0;
            }
            break;
    }
}

void KeyboardEffects::Snake(uint8_t direction, bool /*colourful*/) {
    uint8_t& pos = state_.auxPhase;
    auto light = [&](uint8_t at) {
        if (at >= kSnakePath.size()) return;
        const uint8_t key = kSnakePath[at];
        if (key != kNoButton) Light(key, 254, true, 13);
    };
    if (direction != 0) {
        if (pos > 105) {
            pos = 0;
        } else {
            light(pos);
            ++pos;
        }
    } else {
        if (pos != 0) {
            light(pos);
            --pos;
        } else {
            pos = 105;
        }
    }
}

void KeyboardEffects::RandomTwinkles() {
    for (int i = 0; i < 3; ++i) {
        if (++state_.randomPos > 103) state_.randomPos = 0;
        const uint8_t b = kKeyOrder[kRandomKeys[state_.randomPos]];
        if (b == kNoButton) continue;
        Light(b, 255, true, 10);
    }
}

// ---- the effects ---------------------------------------------------------------------------

RenderResult KeyboardEffects::Render(const KeyboardLightSnapshot& s) {
    return s.variant == KeyboardVariant::FullColour ? RenderFullColour(s) : RenderSingleColour(s);
}

RenderResult KeyboardEffects::RenderFullColour(const KeyboardLightSnapshot& s) {
    const LightSettings& light = s.light;
    const uint8_t bl = LevelOf(light.brightness);
    const uint8_t dir = light.direction;
    const bool colourful = light.colourful != 0;
    RenderResult result{true, false};
    switch (light.mode) {
        case 0:  // column rainbow
            if (colourful) {
                uint8_t p = StepPhase(dir, 192);
                for (const auto& column : kColumnTable) {
                    const Rgb c = Scale(HueWheel()[p], bl);
                    p = Mod(p + 7, 192);
                    for (uint8_t key : column)
                        if (key != kNoButton) Set(key, c, bl);
                }
            } else {
                uint8_t p = StepPhase(dir, 96);
                for (const auto& column : kColumnTable) {
                    const Rgb c = Scale(Scale(light.colour, bl), kWave96[p]);
                    p = Mod(p + 10, 96);
                    const uint8_t level = Mul(bl, kWave96[p]);
                    for (uint8_t key : column)
                        if (key != kNoButton) Set(key, c, level);
                }
            }
            break;
        case 1: {  // colour cycle
            const Rgb c = Scale(HueWheel()[StepPhase(dir, 192)], bl);
            for (int b = 0; b < kButtons; ++b)
                Set(b, c, bl);
            break;
        }
        case 2: {  // breathing
            const uint8_t p = StepPhase(dir, 128);
            result.advanceBreath = p == 0;
            const Rgb c = colourful ? HueWheel()[p + 50] : light.colour;
            const uint8_t level = Mul(bl, kBreath128[p]);
            for (int b = 0; b < kButtons; ++b)
                Set(b, c, level);
            break;
        }
        case 3:  // static
            for (int b = 0; b < kButtons; ++b)
                Set(b, light.colour, bl);
            break;
        case 4:  // every key its own hue
            for (int b = 0; b < kButtons; ++b) {
                uint8_t& hue = state_.keyHue[static_cast<size_t>(b)];
                if (++hue > 191) hue = 0;
                Set(b, HueWheel()[hue], bl);
            }
            break;
        case 5: {  // ripple
            auto& p = state_.wavePlanes;
            const uint8_t any = p[0][9] | p[1][9] | p[2][9] | p[3][9];
            if (any == 0x01 || any == kRow6)
                for (auto& plane : p)
                    plane[9] |= any;
            LightWaveKeys(colourful);
            SpreadWaves();
            FadeAndShow(light, bl, /*fast*/ true, false);
            break;
        }
        case 6:  // scripted show
            ScriptedShow(light);
            FadeAndShow(light, bl, false, false);
            break;
        case 7:  // wave along the keys
            if (colourful) {
                uint8_t p = StepPhase(dir, 192);
                for (int i = 0; i < kKeyOrderKeys; ++i) {
                    Set(kKeyOrder[static_cast<size_t>(i)], HueWheel()[p], bl);
                    p = Mod(p + 5, 192);
                }
            } else {
                uint8_t p = StepPhase(dir, 96);
                for (int i = 0; i < kKeyOrderKeys; ++i) {
                    Set(kKeyOrder[static_cast<size_t>(i)], light.colour, Mul(bl, kWave96[p]));
                    p = Mod(p + 5, 96);
                }
            }
            break;
        case 8:  // custom layout
            for (int b = 0; b < kButtons; ++b) {
                const uint8_t led = ButtonLed(b);
                if (led == kNoKey) {
                    Set(b, Rgb{}, bl);
                    continue;
                }
                const size_t at = 3u * led;
                Set(b, {s.layout[at], s.layout[at + 1], s.layout[at + 2]}, bl);
            }
            break;
        case 9:  // random twinkles
            RandomTwinkles();
            for (int b = 0; b < kButtons; ++b) {
                FadeKey(b, false);
                Set(b, KeyColour(b, light), Mul(bl, state_.keyLevel[static_cast<size_t>(b)]));
            }
            break;
        case 10: {  // row rainbow
            uint8_t p = StepAuxPhase(dir, 192);
            for (size_t r = 0; r < kRows; ++r) {
                const Rgb c = Scale(HueWheel()[p], bl);
                for (const auto& column : kColumnTable)
                    if (column[r] != kNoButton) Set(column[r], c, bl);
                p = Mod(p + 24, 192);
            }
            break;
        }
        case 11:  // twinkle
            for (int i = 0; i < 111; ++i) {
                const uint8_t b = kKeyOrder[static_cast<size_t>(i)];
                if (b == kNoButton) continue;
                uint8_t& level = state_.keyLevel[b];
                if (++level > 191) {
                    level = 0;
                    state_.hueCounter = static_cast<uint8_t>(state_.hueCounter + 5);
                    state_.keyHue[b] = state_.hueCounter;
                }
                const Rgb c = colourful ? Palette256()[state_.keyHue[b]] : light.colour;
                Set(b, c, Mul(bl, kPulse192[level]));
            }
            break;
        case 12:  // snake
            Snake(dir, colourful);
            FadeAndShow(light, bl, false, false);
            break;
        case 13: {  // diagonal rainbow
            int phase = state_.phase;
            if (dir != 0) {
                phase += 4;
                if (phase >= 192) phase = 0;
            } else {
                phase -= 2;
                if (phase < 0) phase = 192;
            }
            state_.phase = static_cast<uint8_t>(phase);
            int q = phase;
            for (const auto& row : kDiagonalGrid) {
                q += 21;
                if (q > 191) q -= 192;
                for (uint8_t key : row)
                    if (key != kNoButton) Set(key, HueWheel()[q], bl);
            }
            break;
        }
        case 14:  // column wave
            if (colourful) {
                uint8_t p = StepAuxPhase(dir, 192);
                for (const auto& column : kColumnTable) {
                    const Rgb c = Scale(HueWheel()[p], bl);
                    for (uint8_t key : column)
                        if (key != kNoButton) Set(key, c, bl);
                    p = Mod(p + 2, 192);
                }
            } else {
                uint8_t p = StepPhase(dir, 96);
                for (const auto& column : kColumnTable) {
                    const Rgb c = Scale(Scale(light.colour, bl), kPulse192[p]);
                    p = Mod(p + 5, 96);
                    const uint8_t level = Mul(bl, kPulse192[p]);
                    for (uint8_t key : column)
                        if (key != kNoButton) Set(key, c, level);
                }
            }
            break;
        case 15: {  // stars
            auto& p = state_.wavePlanes;
            if ((p[0][1] | p[1][1] | p[2][1] | p[3][1]) == 0x01)
                for (auto& plane : p)
                    plane[1] |= 0x01;
            if ((p[0][22] | p[1][22] | p[2][22] | p[3][22]) == 0x01)
                for (auto& plane : p)
                    plane[22] |= kRow6;
            LightWaveKeys(colourful);
            SpreadWaves();
            FadeAndShow(light, bl, false, false);
            break;
        }
        case 16:  // drops
            for (uint8_t b : kKeyOrder) {
                if (b == kNoButton) continue;
                uint8_t& timer = state_.keyTimer[b];
                if (++timer > 191) {
                    timer = 0;
                    state_.hueCounter = static_cast<uint8_t>(state_.hueCounter + 10);
                    state_.keyHue[b] = state_.hueCounter;
                }
                Set(b, KeyColour(b, light), Mul(bl, kPulse192[timer]));
            }
            break;
        default:
            result.rendered = false;
            break;
    }
    return result;
}

RenderResult KeyboardEffects::RenderSingleColour(const KeyboardLightSnapshot& s) {
    const LightSettings& light = s.light;
    const uint8_t bl = LevelOf(light.brightness);
    const uint8_t dir = light.direction;
    RenderResult result{true, false};
    switch (light.mode) {
        case 0: {  // column wave
            uint8_t& p = state_.auxPhase;
            p = StepPhase(dir, 96);
            for (const auto& column : kColumnTable) {
                const uint8_t level = Mul(bl, kWave96[p]);
                for (uint8_t key : column)
                    if (key != kNoButton) SetLevel(key, level);
                p = Mod(p + 7, 96);
            }
            break;
        }
        case 1: {  // breathing
            if (++state_.phase >= 128) state_.phase = 0;
            const uint8_t level = Mul(bl, kBreath128[state_.phase]);
            for (int b = 0; b < kButtons; ++b)
                SetLevel(b, level);
            break;
        }
        case 2:  // static
            for (int b = 0; b < kButtons; ++b)
                SetLevel(b, bl);
            break;
        case 3: {  // ripple
            SetWaveLevels(254, false);
            SpreadWaves();
            auto& p = state_.wavePlanes;
            const uint8_t any = p[0][9] | p[1][9] | p[2][9] | p[3][9];
            const uint8_t seed = any == 0x01 ? 0x03 : any == 0x60 ? 0x60 : 0;
            if (seed != 0)
                for (auto& plane : p)
                    plane[9] |= seed;
            FadeAndShow(light, bl, false, true);
            break;
        }
        case 4:  // scripted show
            ScriptedShow(light);
            FadeAndShow(light, bl, false, true);
            break;
        case 5: {  // wave along the keys
            uint8_t q = StepPhase(dir, 96);
            for (int i = 0; i < kKeyOrderKeys; ++i) {
                SetLevel(kKeyOrder[static_cast<size_t>(i)], Mul(bl, kWave96[q]));
                q = Mod(q + 5, 96);
            }
            break;
        }
        case 6:  // custom layout
            for (int b = 0; b < kButtons; ++b)
                if (const uint8_t at = ButtonLevel(b); at != kNoKey)
                    SetLevel(b, Mul(bl, s.layout[at]));
            break;
        case 7:  // random twinkles
            RandomTwinkles();
            for (int b = 0; b < kButtons; ++b) {
                FadeKey(b, false);
                SetLevel(b, Mul(bl, state_.keyLevel[static_cast<size_t>(b)]));
            }
            break;
        case 8:  // twinkle
        case 9:  // drops
            for (int i = 0; i < 106; ++i) {
                const uint8_t b = kKeyOrder[static_cast<size_t>(i)];
                if (b == kNoButton) continue;
                uint8_t& timer = state_.keyTimer[b];
                if (++timer > 191) timer = 0;
                SetLevel(b, Mul(bl, kPulse192[timer]));
            }
            break;
        case 10:  // snake
            Snake(dir, false);
            FadeAndShow(light, bl, false, true);
            break;
        default:
            result.rendered = false;
            break;
    }
    return result;
}

// ---- timing and frames ---------------------------------------------------------------------

uint32_t KeyboardExtraSleepMs(KeyboardVariant variant, uint8_t mode) {
    if (variant == KeyboardVariant::FullColour) {
        switch (mode) {
            case 1:
                return 20;
            case 4:
                return 12;
            case 5:
                return 40;
            case 6:
                return 15;
            case 7:
                return 1;
            case 13:
                return 10;  // the diagonal rainbow's own pause
            case 15:
                return 50;  // the stars' own pause
            default:
                return 0;
        }
    }
    switch (mode) {
        case 3:
            return 40 + 40;  // the thread's pause and the ripple's own
        case 4:
            return 15;
        case 5:
            return 1;
        case 7:
            return 100;  // the random twinkles' own pause
        default:
            return 0;
    }
}

bool IsKeyboardStillMode(KeyboardVariant variant, uint8_t mode) {
    if (variant == KeyboardVariant::FullColour) return mode == 3 || mode == 8 || mode > 16;
    return mode == 2 || mode == 6 || mode > 10;
}

void BuildKeyboardFrame(const KeyOutput& output, std::span<uint8_t, kKeyboardFrameSize> frame) {
    std::fill(frame.begin(), frame.end(), uint8_t{0});
    for (int b = 0; b < kButtons; ++b) {
        const uint8_t led = ButtonLed(b);
        if (led == kNoKey) continue;
        const LightCell& k = output[static_cast<size_t>(b)];
        uint8_t* at = frame.data() + 3u * led;
        at[0] = Mul(k.red, k.level);
        at[1] = Mul(k.green, k.level);
        at[2] = Mul(k.blue, k.level);
    }
}

void BuildLevelFrame(const KeyOutput& output, std::span<uint8_t, kLevelFrameSize> frame) {
    std::fill(frame.begin(), frame.end(), uint8_t{0});
    for (int b = 0; b < kButtons; ++b)
        if (const uint8_t at = ButtonLevel(b); at != kNoKey)
            frame[at] = output[static_cast<size_t>(b)].level;
}

}  // namespace vq::light
