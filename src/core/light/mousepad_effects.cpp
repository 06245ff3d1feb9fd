#include "core/light/mousepad_effects.h"

#include <algorithm>

namespace vq::light {

namespace {

uint8_t Mul(unsigned a, unsigned b) {
    return static_cast<uint8_t>(a * b >> 8);
}

}  // namespace

uint8_t MousepadEffects::StepPhase(uint8_t direction, uint8_t period) {
    uint8_t& p = state_.mpPhase;
    if (direction != 0) {
        ++p;
        if (p >= period) p = 0;
    } else {
        --p;
        if (p >= period) p = static_cast<uint8_t>(period - 1);
    }
    return p;
}

void MousepadEffects::SelectMode(uint8_t mode) {
    state_.mpPhase = 0;
    state_.zoneLevel.fill(0);
    state_.zoneHue.fill(0);
    state_.zoneLit.fill(0);
    state_.barCounter = -1;
    state_.barRising = true;
    state_.blinkShift = 0;
    state_.blinkRising = true;
    state_.flashing = false;
    if (mode == 5) state_.zoneLit[0] = 1;
}

void MousepadEffects::FadeZone(int zone, bool fast) {
    uint8_t& level = state_.zoneLevel[static_cast<size_t>(zone)];
    int v = level;
    if (v >= 128)
        v -= fast ? 30 : 15;
    else if (v & 0x40)
        v -= fast ? 20 : 10;
    else if (v & 0x20)
        v -= fast ? 10 : 7;
    else if (v >= 17)
        v -= fast ? 5 : 3;
    else if (v >= 1)
        v -= 1;
    level = static_cast<uint8_t>(v);
}

void MousepadEffects::SetZone(int zone, Rgb frameColour, Rgb previewColour, uint8_t alpha) {
    const auto z = static_cast<size_t>(zone);
    frame_[3 * z] = frameColour.red;
    frame_[3 * z + 1] = frameColour.green;
    frame_[3 * z + 2] = frameColour.blue;
    preview_[z] = {previewColour.red, previewColour.green, previewColour.blue, alpha};
}

ZoneRender MousepadEffects::Render(const LightSettings& light, bool flash, uint64_t nowMs) {
    const uint8_t bl = LevelOf(light.brightness);
    const uint8_t dir = light.direction;
    const bool colourful = light.colourful != 0;
    ZoneRender r{true, kZoneFrameSize, 0, false};
    std::fill(frame_.begin(), frame_.end(), uint8_t{0});
    switch (light.mode) {
        case 0:  // zone wave
            if (colourful) {
                uint8_t p = StepPhase(dir, 192);
                for (int z = 0; z < kZones; ++z) {
                    const Rgb c = HueWheel()[p];
                    SetZone(z, ScaleUp(c, bl), c, bl);
                    p = static_cast<uint8_t>((p + 7) % 192);
                }
            } else {
                uint8_t p = StepPhase(dir, 96);
                for (int z = 0; z < kZones; ++z) {
                    SetZone(z, ScaleUp(ScaleUp(light.colour, bl), kWave96[p]), light.colour,
                            Mul(bl, kWave96[p]));
                    p = static_cast<uint8_t>((p + 10) % 96);
                }
            }
            break;
        case 1: {  // colour cycle
            const Rgb c = HueWheel()[StepPhase(dir, 192)];
            for (int z = 0; z < kZones; ++z)
                SetZone(z, ScaleUp(c, bl), c, bl);
            break;
        }
        case 2: {  // breathing
            const uint8_t p = StepPhase(dir, 128);
            r.advanceBreath = p == 0;
            const Rgb c = colourful ? HueWheel()[p + 50] : light.colour;
            const Rgb out = ScaleUp(ScaleUp(c, kBreath128[p]), bl);
            for (int z = 0; z < kZones; ++z)
                SetZone(z, out, c, Mul(bl, kBreath128[p]));
            r.frameLength = kZoneLongFrameSize;
            break;
        }
        case 3:  // static
            for (int z = 0; z < kZones; ++z)
                SetZone(z, ScaleUp(light.colour, bl), light.colour, bl);
            r.frameLength = kZoneLongFrameSize;
            break;
        case 4: {  // bar
            auto& s = state_;
            if (s.barRising) {
                if (++s.barCounter >= kZones) s.barRising = false;
            } else {
                if (--s.barCounter <= -1) s.barRising = true;
            }
            for (int z = 0; z < kZones; ++z) {
                const bool lit = dir == 0 ? z < s.barCounter : s.barCounter < z;
                const Rgb c = colourful ? HueWheel()[(7 * z) % 192] : light.colour;
                if (lit)
                    SetZone(z, ScaleUp(c, bl), c, bl);
                else
                    SetZone(z, Rgb{}, Rgb{}, 0);
            }
            break;
        }
        case 5: {  // chase
            StepPhase(dir, 192);
            for (int z = 0; z < kZones; ++z) {
                if (!state_.zoneLit[static_cast<size_t>(z)]) continue;
                state_.zoneLevel[static_cast<size_t>(z)] = 255;
                if (colourful) {
                    state_.hueCounter = static_cast<uint8_t>(state_.hueCounter + 11);
                    state_.zoneHue[static_cast<size_t>(z)] = state_.hueCounter;
                }
            }
            auto& lit = state_.zoneLit;
            if (dir == 0)
                std::rotate(lit.rbegin(), lit.rbegin() + 1, lit.rend());  // towards zone 14
            else
                std::rotate(lit.begin(), lit.begin() + 1, lit.end());  // towards zone 0
            for (int z = 0; z < kZones; ++z) {
                FadeZone(z, true);
                const uint8_t level = state_.zoneLevel[static_cast<size_t>(z)];
                const Rgb c =
                    colourful ? kColourTable[state_.zoneHue[static_cast<size_t>(z)]] : light.colour;
                SetZone(z, ScaleUp(ScaleUp(c, level), bl), c, Mul(bl, level));
            }
            break;
        }
        case 6: {  // sweep over the pad's columns
            uint8_t p = StepPhase(dir, 192);
            for (int col = 0; col < kZoneGridColumns; ++col) {
                const Rgb c = HueWheel()[p];
                p = static_cast<uint8_t>((p + 7) % 192);
                for (const auto& row : kZoneGrid)
                    if (const int8_t z = row[static_cast<size_t>(col)]; z >= 0)
                        SetZone(z, ScaleUp(c, bl), c, bl);
            }
            break;
        }
        case 7: {  // blink bar
            auto& s = state_;
            const auto pattern = static_cast<uint16_t>(0x3F00u >> s.blinkShift);
            for (int col = 0; col < kZoneGridColumns; ++col) {
                const bool on = (pattern >> kBlinkGroupBit[static_cast<size_t>(col)]) & 1u;
                const Rgb c = colourful ? HueWheel()[(27 * col) % 192] : light.colour;
                for (const auto& row : kZoneGrid)
                    if (const int8_t z = row[static_cast<size_t>(col)]; z >= 0) {
                        if (on)
                            SetZone(z, ScaleUp(c, bl), c, bl);
                        else
                            SetZone(z, Rgb{}, Rgb{}, 0);
                    }
            }
            if (s.blinkShift == 0 || s.blinkShift == 15) r.pauseAfterMs = kBlinkBarEndPauseMs;
            if (s.blinkRising) {
                if (++s.blinkShift >= 15) s.blinkRising = false;
            } else {
                if (--s.blinkShift == 0) s.blinkRising = true;
            }
            break;
        }
        case 8: {  // flash on the mouse's event
            auto& s = state_;
            if (flash) {
                s.flashing = true;
                s.flashStartMs = nowMs;
                if (colourful) s.flashHue = static_cast<uint8_t>((s.flashHue + 14) % 192);
            }
            if (s.flashing && nowMs - s.flashStartMs >= kFlashMs) s.flashing = false;
            const Rgb c = colourful ? HueWheel()[s.flashHue] : light.colour;
            for (int z = 0; z < kZones; ++z)
                if (s.flashing)
                    SetZone(z, ScaleUp(c, bl), c, bl);
                else
                    SetZone(z, Rgb{}, Rgb{}, 0);
            r.frameLength = kZoneLongFrameSize;
            break;
        }
        default:  // 9 and anything else: no effect, the last frame stays
            r.rendered = false;
            r.frameLength = 0;
            break;
    }
    return r;
}

uint32_t MousepadPreSleepMs(uint8_t mode, uint8_t speed) {
    switch (mode) {
        case 4:
            return 100 + 10u * speed;
        case 5:
            return 50;
        case 7:
            return 50 + 5u * speed;
        default:
            return 0;
    }
}

}  // namespace vq::light
