// The mousepad's effects and the light sync's surface, against hand-computed values.

#include <gtest/gtest.h>

#include "core/keyboard/keyboard_layout.h"
#include "core/light/light_loops.h"
#include "core/light/light_sync.h"
#include "core/light/mousepad_effects.h"

namespace vq::light {
namespace {

LightSettings Pad(uint8_t mode, uint8_t brightness = 4, uint8_t direction = 0,
                  uint8_t colourful = 0, Rgb colour = {255, 0, 0}) {
    return {mode, brightness, 0, direction, colourful, colour};
}

Rgb ZoneOf(std::span<const uint8_t> frame, int z) {
    const auto at = static_cast<size_t>(3 * z);
    return {frame[at], frame[at + 1], frame[at + 2]};
}

TEST(MousepadEffects, ZoneFadesByLevelBand) {
    auto after = [](uint8_t level, bool fast) {
        MousepadEffects e;
        e.State().zoneLevel[3] = level;
        e.FadeZone(3, fast);
        return int{e.State().zoneLevel[3]};
    };
    EXPECT_EQ(after(255, false), 240);
    EXPECT_EQ(after(128, false), 113);
    EXPECT_EQ(after(120, false), 110);
    EXPECT_EQ(after(60, false), 53);
    EXPECT_EQ(after(25, false), 22);
    EXPECT_EQ(after(16, false), 15);
    EXPECT_EQ(after(1, false), 0);
    EXPECT_EQ(after(0, false), 0);
    EXPECT_EQ(after(255, true), 225);
    EXPECT_EQ(after(100, true), 80);
    EXPECT_EQ(after(40, true), 30);
    EXPECT_EQ(after(20, true), 15);
    EXPECT_EQ(after(5, true), 4);
}

TEST(MousepadEffects, BarGrowsFromZoneZeroThenShrinks) {
    MousepadEffects e;
    e.SelectMode(4);
    auto litZones = [&] {
        std::vector<int> lit;
        for (int z = 0; z < kZones; ++z)
            if (ZoneOf(e.Frame(kZoneFrameSize), z) != Rgb{}) lit.push_back(z);
        return lit;
    };
    e.Render(Pad(4), false, 0);
    EXPECT_TRUE(litZones().empty());
    e.Render(Pad(4), false, 0);
    EXPECT_EQ(litZones(), std::vector<int>{0});
    e.Render(Pad(4), false, 0);
    EXPECT_EQ(litZones(), (std::vector<int>{0, 1}));
    for (int i = 0; i < 13; ++i)
        e.Render(Pad(4), false, 0);
    EXPECT_EQ(litZones().size(), 15u);
    e.Render(Pad(4), false, 0);
    EXPECT_EQ(litZones().size(), 14u);
    EXPECT_EQ(litZones().back(), 13);  // zone 14 goes dark first
}

TEST(MousepadEffects, FlashLastsAHundredMillisecondsPerEvent) {
    MousepadEffects e;
    e.SelectMode(8);
    ZoneRender r = e.Render(Pad(8), false, 1000);
    EXPECT_EQ(r.frameLength, kZoneLongFrameSize);
    for (int z = 0; z < kZones; ++z)
        EXPECT_EQ(ZoneOf(e.Frame(r.frameLength), z), Rgb{});
    r = e.Render(Pad(8), true, 1000);
    EXPECT_EQ(ZoneOf(e.Frame(r.frameLength), 7), (Rgb{255, 0, 0}));  // 255 * 256 >> 8
    e.Render(Pad(8), false, 1099);
    EXPECT_EQ(ZoneOf(e.Frame(r.frameLength), 0), (Rgb{255, 0, 0}));
    EXPECT_TRUE(e.Flashing());
    e.Render(Pad(8), false, 1100);
    EXPECT_EQ(ZoneOf(e.Frame(r.frameLength), 0), Rgb{});
    EXPECT_FALSE(e.Flashing());
    // The trailing 15 bytes of the long frame are zero.
    for (size_t i = kZoneFrameSize; i < kZoneLongFrameSize; ++i)
        EXPECT_EQ(e.Frame(60)[i], 0);
}

TEST(MousepadEffects, ChaseLightsAndMovesTowardsHigherZones) {
    MousepadEffects e;
    e.SelectMode(5);
    ASSERT_EQ(e.State().zoneLit[0], 1);
    e.Render(Pad(5), false, 0);
    EXPECT_EQ(e.State().zoneLit[1], 1);
    EXPECT_EQ(e.State().zoneLit[0], 0);
    EXPECT_EQ(e.State().zoneLevel[0], 225);  // lit to 255, faded fast once
    EXPECT_EQ(ZoneOf(e.Frame(kZoneFrameSize), 0), (Rgb{225, 0, 0}));
    EXPECT_EQ(e.Preview()[0].level, 224);  // 255 * 225 >> 8
    MousepadEffects back;
    back.SelectMode(5);
    back.Render(Pad(5, 4, 1), false, 0);
    EXPECT_EQ(back.State().zoneLit[14], 1);
}

TEST(MousepadEffects, StaticAndBreathingUseTheLongFrame) {
    MousepadEffects e;
    ZoneRender r = e.Render(Pad(3, 1, 0, 0, {200, 100, 0}), false, 0);
    EXPECT_EQ(r.frameLength, kZoneLongFrameSize);
    // 200 * 98 >> 8 = 76, 100 * 98 >> 8 = 38.
    EXPECT_EQ(ZoneOf(e.Frame(r.frameLength), 14), (Rgb{76, 38, 0}));
    int breaths = 0;
    for (int i = 0; i < 128; ++i)
        breaths += e.Render(Pad(2), false, 0).advanceBreath;
    EXPECT_EQ(breaths, 1);
    EXPECT_FALSE(e.Render(Pad(9), false, 0).rendered);
    EXPECT_EQ(MousepadPreSleepMs(4, 2), 120u);
    EXPECT_EQ(MousepadPreSleepMs(7, 4), 70u);
}

TEST(MousepadEffects, BlinkBarPausesAtBothEnds) {
    MousepadEffects e;
    e.SelectMode(7);
    std::vector<int> pauses;
    for (int i = 0; i < 31; ++i)
        if (e.Render(Pad(7), false, 0).pauseAfterMs != 0) pauses.push_back(i);
    EXPECT_EQ(pauses, (std::vector<int>{0, 15, 30}));
}

TEST(LightSurface, ColumnWaveReachesEveryDeviceByColumn) {
    SyncEffects sync;
    SyncFrames f;
    ASSERT_TRUE(sync.Render(Pad(0, 4, 1, 1), f));
    const Rgb c0{255, 3, 0};  // wheel[1] scaled by 256
    EXPECT_EQ(ZoneOf(f.keyboard, ButtonLed(105)), c0);
    for (int led : {0, 6, 12})
        EXPECT_EQ(ZoneOf(f.mouse, led), c0) << "mouse LED " << led;
    EXPECT_EQ(ZoneOf(f.mousepad, 0), c0);
    // Column 1 (p = 8): keys 21 ... 106, mouse LEDs 1, 7, 13, zone 1.
    const Rgb c1 = HueWheel()[8];
    EXPECT_EQ(ZoneOf(f.keyboard, ButtonLed(21)), c1);
    EXPECT_EQ(ZoneOf(f.mouse, 13), c1);
    EXPECT_EQ(ZoneOf(f.mousepad, 1), c1);
    // Column 14 is the pad's last zone; column 22 only keys (Num Enter at LED 104).
    EXPECT_EQ(ZoneOf(f.mousepad, 14), HueWheel()[99]);
    EXPECT_EQ(ZoneOf(f.keyboard, 104), HueWheel()[(1 + 22 * 7) % 192]);
    // The mouse's last two LEDs belong to no column; column 6 does not repaint LED 0.
    EXPECT_EQ(ZoneOf(f.mouse, 18), Rgb{});
    EXPECT_EQ(ZoneOf(f.mouse, 19), Rgb{});
    EXPECT_EQ(f.keyboardPreview[105], (LightCell{255, 3, 0, 255}));
}

TEST(LightSurface, ColourCycleIsOneColourEverywhere) {
    SyncEffects sync;
    SyncFrames f;
    sync.Render(Pad(1, 2, 0), f);
    EXPECT_EQ(sync.AuxPhase(), 191);
    const Rgb c = ScaleUp(HueWheel()[191], 149);
    for (int led = 0; led < kMouseLeds; ++led)
        EXPECT_EQ(ZoneOf(f.mouse, led), c);
    for (int z = 0; z < kZones; ++z)
        EXPECT_EQ(ZoneOf(f.mousepad, z), c);
    for (int led = 0; led < 126; ++led)
        EXPECT_EQ(ZoneOf(f.keyboard, led), c);
    EXPECT_EQ(SyncAfterSleepMs(1), 6u);
    EXPECT_EQ(SyncAfterSleepMs(3), 5u);
    EXPECT_FALSE(sync.Render(Pad(4), f));
}

struct Calls : LightSyncObserver {
    std::vector<std::string> log;
    void RefreshPage(DeviceKind k) override {
        log.push_back(std::string("page ") + DeviceKindPrefix(k));
    }
    void SaveLightProfile(DeviceKind k) override {
        log.push_back(std::string("light ") + DeviceKindPrefix(k));
    }
    void SaveDeviceProfile(DeviceKind k) override {
        log.push_back(std::string("device ") + DeviceKindPrefix(k));
    }
};

TEST(LightSurface, StartingTheSyncCopiesTheSourceAndFlagsEveryDevice) {
    DeviceSession kbS(nullptr), msS(nullptr), mpS(nullptr);
    KeyboardModel kb;
    MouseModel ms;
    MousepadModel mp;
    LightSyncDevices d{kbS, msS, mpS, kb, ms, mp};
    SyncBlock block;
    Calls calls;
    const LightSettings mine{1, 3, 2, 1, 0, {1, 2, 3}};
    mp.SetLight(mine);
    EXPECT_FALSE(StartLightSync(4, d, block, calls));
    EXPECT_FALSE(kbS.LightSync() || msS.LightSync() || mpS.LightSync());
    EXPECT_TRUE(calls.log.empty());

    ASSERT_TRUE(StartLightSync(3, d, block, calls));
    EXPECT_EQ(kb.Light(), mine);
    EXPECT_EQ(LightSettings::From(ms.Record().bytes), mine);
    EXPECT_EQ(block.Settings(), mine);
    EXPECT_TRUE(kbS.LightSync() && msS.LightSync() && mpS.LightSync());
    EXPECT_EQ(calls.log, (std::vector<std::string>{"page ms", "page kb", "light kb", "device kb",
                                                   "light ms", "device ms"}));
    // The mouse's other bytes are its own.
    EXPECT_EQ(ms.Record().bytes[0], 0);
}

TEST(LightSurface, PreviewColourPacking) {
    EXPECT_EQ(PreviewColourValue({0x11, 0x22, 0x33, 0}), 0x223311u);
}

}  // namespace
}  // namespace vq::light
