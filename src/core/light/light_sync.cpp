#include "core/light/light_sync.h"

#include "core/keyboard/keyboard_layout.h"
#include "core/util/log.h"

namespace vq::light {

namespace {

LightSettings LightOf(MouseModel& mouse) {
    return LightSettings::From(mouse.Record().bytes);
}

void SetLight(MouseModel& mouse, const LightSettings& s) {
    mouse.EditRecord([&](MouseRecord& r) { s.StoreInto(r.bytes); });
}

uint8_t Mul(unsigned a, unsigned b) {
    return static_cast<uint8_t>(a * b >> 8);
}

// Paints one column of the surface on every device.
void PaintColumn(SyncFrames& out, int column, Rgb c, uint8_t previewLevel) {
    for (uint8_t b : kColumnTable[static_cast<size_t>(column)]) {
        if (b == kNoButton) continue;
        out.keyboardPreview[b] = {c.red, c.green, c.blue, previewLevel};
        if (const uint8_t led = ButtonLed(b); led != kNoKey) {
            out.keyboard[3u * led] = c.red;
            out.keyboard[3u * led + 1] = c.green;
            out.keyboard[3u * led + 2] = c.blue;
        }
    }
    if (column < static_cast<int>(kMouseSyncColumns.size()))
        for (uint8_t led : kMouseSyncColumns[static_cast<size_t>(column)]) {
            if (led >= kMouseLeds) continue;
            out.mouse[3u * led] = c.red;
            out.mouse[3u * led + 1] = c.green;
            out.mouse[3u * led + 2] = c.blue;
            out.mousePreview[led] = {c.red, c.green, c.blue, previewLevel};
        }
    if (column < kZones) {
        const auto z = static_cast<size_t>(column);
        out.mousepad[3 * z] = c.red;
        out.mousepad[3 * z + 1] = c.green;
        out.mousepad[3 * z + 2] = c.blue;
        out.mousepadPreview[z] = {c.red, c.green, c.blue, previewLevel};
    }
}

// Paints every LED and zone of every device.
void PaintAll(SyncFrames& out, Rgb c, uint8_t previewLevel) {
    for (size_t i = 0; i < out.keyboard.size(); i += 3) {
        out.keyboard[i] = c.red;
        out.keyboard[i + 1] = c.green;
        out.keyboard[i + 2] = c.blue;
    }
    for (size_t i = 0; i < out.mouse.size(); i += 3) {
        out.mouse[i] = c.red;
        out.mouse[i + 1] = c.green;
        out.mouse[i + 2] = c.blue;
    }
    for (size_t i = 0; i < out.mousepad.size(); i += 3) {
        out.mousepad[i] = c.red;
        out.mousepad[i + 1] = c.green;
        out.mousepad[i + 2] = c.blue;
    }
    const LightCell cell{c.red, c.green, c.blue, previewLevel};
    out.keyboardPreview.fill(cell);
    out.mousePreview.fill(cell);
    out.mousepadPreview.fill(cell);
}

}  // namespace

bool StartLightSync(int source, LightSyncDevices& d, SyncBlock& block,
                    LightSyncObserver& observer) {
    LightSettings s;
    switch (source) {
        case 1:
            s = d.keyboard.Light();
            SetLight(d.mouse, s);
            d.mousepad.SetLight(s);
            block.SetSettings(s);
            observer.RefreshPage(DeviceKind::Mouse);
            observer.RefreshPage(DeviceKind::Mousepad);
            observer.SaveLightProfile(DeviceKind::Mouse);
            observer.SaveDeviceProfile(DeviceKind::Mouse);
            observer.SaveLightProfile(DeviceKind::Mousepad);
            break;
        case 2:
            s = LightOf(d.mouse);
            d.mousepad.SetLight(s);
            d.keyboard.SetLight(s);
            block.SetSettings(s);
            observer.RefreshPage(DeviceKind::Mousepad);
            observer.RefreshPage(DeviceKind::Keyboard);
            observer.SaveLightProfile(DeviceKind::Keyboard);
            observer.SaveDeviceProfile(DeviceKind::Keyboard);
            observer.SaveLightProfile(DeviceKind::Mousepad);
            break;
        case 3:
            s = d.mousepad.Light();
            SetLight(d.mouse, s);
            d.keyboard.SetLight(s);
            block.SetSettings(s);
            observer.RefreshPage(DeviceKind::Mouse);
            observer.RefreshPage(DeviceKind::Keyboard);
            observer.SaveLightProfile(DeviceKind::Keyboard);
            observer.SaveDeviceProfile(DeviceKind::Keyboard);
            observer.SaveLightProfile(DeviceKind::Mouse);
            observer.SaveDeviceProfile(DeviceKind::Mouse);
            break;
        default:
            Logf(LogLevel::Warning, "同步失败 (light sync from source %d)", source);
            return false;
    }
    d.keyboardSession.SetLightSync(true);
    d.mouseSession.SetLightSync(true);
    d.mousepadSession.SetLightSync(true);
    return true;
}

uint8_t SyncEffects::StepAuxPhase(uint8_t direction, uint8_t period) {
    if (direction != 0) {
        ++auxPhase_;
        if (auxPhase_ >= period) auxPhase_ = 0;
    } else {
        --auxPhase_;
        if (auxPhase_ >= period) auxPhase_ = static_cast<uint8_t>(period - 1);
    }
    return auxPhase_;
}

bool SyncEffects::Render(const LightSettings& sync, SyncFrames& out) {
    const uint8_t bl = LevelOf(sync.brightness);
    out.keyboard.fill(0);
    out.mouse.fill(0);
    out.mousepad.fill(0);
    switch (sync.mode) {
        case 0:  // column wave
            if (sync.colourful) {
                uint8_t p = StepAuxPhase(sync.direction, 192);
                for (int c = 0; c < kColumns; ++c) {
                    PaintColumn(out, c, ScaleUp(HueWheel()[p], bl), bl);
                    p = static_cast<uint8_t>((p + 7) % 192);
                }
            } else {
                uint8_t p = StepAuxPhase(sync.direction, 96);
                for (int c = 0; c < kColumns; ++c) {
                    const Rgb colour = ScaleUp(ScaleUp(sync.colour, bl), kWave96[p]);
                    p = static_cast<uint8_t>((p + 10) % 96);
                    PaintColumn(out, c, colour, Mul(bl, kWave96[p]));
                }
            }
            return true;
        case 1:  // colour cycle
            PaintAll(out, ScaleUp(HueWheel()[StepAuxPhase(sync.direction, 192)], bl), bl);
            return true;
        case 2: {  // breathing
            const uint8_t p = StepAuxPhase(sync.direction, 128);
            const Rgb c = sync.colourful ? HueWheel()[p] : sync.colour;
            PaintAll(out, ScaleUp(ScaleUp(c, kBreath128[p]), bl), Mul(bl, kBreath128[p]));
            return true;
        }
        case 3:  // static
            PaintAll(out, ScaleUp(sync.colour, bl), bl);
            return true;
        default:
            return false;
    }
}

uint32_t SyncAfterSleepMs(uint8_t mode) {
    return mode == 1 ? 6 : mode == 3 ? 5 : 0;
}

uint32_t SyncStandInSleepMs(DeviceKind kind, uint8_t mode) {
    if (kind != DeviceKind::Keyboard) return 1;
    switch (mode) {
        case 1:
            return 9;
        case 2:
            return 8;
        default:
            return 6;
    }
}

}  // namespace vq::light
