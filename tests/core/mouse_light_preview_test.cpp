// The lighting page's preview of the mouse: its tables, the frames of each effect, the pace of
// the frames, and the rules of the page's colour fields, alternative lists and presets.

#include "core/mouse/mouse_light_preview.h"

#include <gtest/gtest.h>

#include "core/mouse/light_page_rules.h"
#include "core/mouse/pointer_settings.h"

namespace vq {
namespace {

MouseLightSnapshot Lighting(uint8_t mode, uint8_t direction = 1, uint8_t seven = 0) {
    MouseLightSnapshot s;
    s.lightMode = mode;
    s.brightness = 4;
    s.lightDirection = direction;
    s.sevenColor = seven;
    s.color = {10, 20, 30};
    s.activeStage = 0;
    for (int i = 0; i < MouseRecord::kStages; ++i)
        s.stageColor[static_cast<size_t>(i)] = {static_cast<uint8_t>(100 + i), 0, 0};
    return s;
}

TEST(PreviewTables, TheWheelWaveAndBreathingCurves) {
    const auto& wheel = PreviewColourWheel();
    EXPECT_EQ(wheel[0], (Rgb{255, 1, 0}));
    EXPECT_EQ(wheel[31], (Rgb{255, 255, 0}));
    EXPECT_EQ(wheel[32], (Rgb{248, 255, 0}));
    EXPECT_EQ(wheel[95], (Rgb{0, 255, 255}));
    EXPECT_EQ(wheel[127], (Rgb{0, 0, 255}));
    EXPECT_EQ(wheel[159], (Rgb{255, 0, 255}));
    EXPECT_EQ(wheel[191], (Rgb{255, 0, 0}));
    // In every entry one component is full and one is off.
    for (const Rgb& c : wheel) {
        const int full = (c.red == 255) + (c.green == 255) + (c.blue == 255);
        const int off = (c.red == 0) + (c.green == 0) + (c.blue == 0);
        EXPECT_GE(full, 1);
        EXPECT_GE(off, 1);
    }
    EXPECT_EQ(PreviewWave(191), wheel[191]);
    EXPECT_EQ(PreviewWave(192), (Rgb{}));
    EXPECT_EQ(PreviewWave(399), (Rgb{}));
    const auto& breath = PreviewBreathing();
    EXPECT_EQ(breath[0], 0);
    EXPECT_EQ(breath[17], 24);
    EXPECT_EQ(breath[63], 255);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(breath[static_cast<size_t>(127 - i)], breath[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(PreviewAlpha(0), 45);
    EXPECT_EQ(PreviewAlpha(4), 255);
    EXPECT_EQ(PreviewAlpha(9), 255);
}

TEST(Preview, ThePaceOfTheFramesFollowsSpeedAndEffect) {
    MouseLightSnapshot s = Lighting(1);
    s.lightSpeed = 4;
    EXPECT_EQ(MouseLightPreview::PassTime(s).count(), 96);
    s = Lighting(5);
    EXPECT_EQ(MouseLightPreview::PassTime(s).count(), 8);
    s = Lighting(3);
    s.lightSpeed = 1;
    EXPECT_EQ(MouseLightPreview::PassTime(s).count(), 12 + 8 + 20);
    s = Lighting(4);
    EXPECT_EQ(MouseLightPreview::PassTime(s).count(), 8 + 5);
}

TEST(Preview, TheDpiLedShowsTheActiveStageInEveryEffect) {
    for (uint8_t mode = 0; mode < 8; ++mode) {
        MouseLightPreview p;
        PreviewFrame f{};
        MouseLightSnapshot s = Lighting(mode);
        s.activeStage = 2;
        s.brightness = 1;
        ASSERT_TRUE(p.Step(s, f)) << int(mode);
        EXPECT_EQ(f[kPreviewDpiLed], (PreviewLed{102, 0, 0, 97})) << int(mode);
        // No such stage: the indicator is dark.
        s.activeStage = 9;
        ASSERT_TRUE(p.Step(s, f));
        EXPECT_EQ(f[kPreviewDpiLed].alpha, 0) << int(mode);
    }
    MouseLightPreview p;
    PreviewFrame f{};
    EXPECT_FALSE(p.Step(Lighting(8), f));
}

TEST(Preview, PhasesStepAndWrapBothWays) {
    MouseLightPreview p;
    PreviewFrame f{};
    // Colour cycle, direction 0: from 0 down to 191.
    ASSERT_TRUE(p.Step(Lighting(2, 0), f));
    EXPECT_EQ(p.PhaseA(), 191);
    EXPECT_EQ(f[0], (PreviewLed{255, 0, 0, 255}));
    ASSERT_TRUE(p.Step(Lighting(2, 0), f));
    EXPECT_EQ(p.PhaseA(), 190);
    // Direction 1 climbs and wraps at 192.
    ASSERT_TRUE(p.Step(Lighting(2, 1), f));
    ASSERT_TRUE(p.Step(Lighting(2, 1), f));
    EXPECT_EQ(p.PhaseA(), 0);
    // The side LED runs on its own phase, 15 steps ahead on the wheel.
    EXPECT_EQ(f[kPreviewSideLed].red, PreviewColourWheel()[(p.PhaseB() + 15) % 192].red);
    // The wave: direction 0 at W = 3 goes to 399; direction 1 adds 7.
    p.SetWavePhase(3);
    ASSERT_TRUE(p.Step(Lighting(3, 0), f));
    EXPECT_EQ(p.WavePhase(), 399);
    ASSERT_TRUE(p.Step(Lighting(3, 1), f));
    EXPECT_EQ(p.WavePhase(), 6);
    // LED i shows wave entry W + 21 i.
    EXPECT_EQ((Rgb{f[1].red, f[1].green, f[1].blue}), PreviewWave(27));
    EXPECT_EQ((Rgb{f[10].red, f[10].green, f[10].blue}), PreviewWave(216));
    // A reset starts the phases again but keeps the wave's.
    p.Reset();
    EXPECT_EQ(p.PhaseA(), 0);
    EXPECT_EQ(p.PhaseB(), 0);
    EXPECT_EQ(p.WavePhase(), 6);
}

TEST(Preview, TheWheelSpinUsesTheWheelOnlyWithTheSevenColours) {
    MouseLightPreview p;
    PreviewFrame f{};
    ASSERT_TRUE(p.Step(Lighting(0, 1, 0xFF), f));
    const auto& wheel = PreviewColourWheel();
    for (int i = 0; i < kPreviewStripLeds; ++i) {
        const Rgb c = wheel[static_cast<size_t>((1 + 15 * i) % 192)];
        EXPECT_EQ(f[static_cast<size_t>(i)], (PreviewLed{c.red, c.green, c.blue, 255})) << i;
    }
    MouseLightPreview q;
    ASSERT_TRUE(q.Step(Lighting(0, 1, 0), f));
    for (int i = 0; i < kPreviewStripLeds; ++i)
        EXPECT_EQ(f[static_cast<size_t>(i)], (PreviewLed{10, 20, 30, 255})) << i;
}

TEST(Preview, TheChaseLightsOneLedThatFadesAndChangesColourEachRound) {
    MouseLightPreview p;
    PreviewFrame f{};
    MouseLightSnapshot s = Lighting(1, 0, 1);
    ASSERT_TRUE(p.Step(s, f));
    EXPECT_EQ(p.PhaseA(), 1);
    EXPECT_EQ(p.Fade(1), 239);  // 254, faded once
    EXPECT_EQ(f[1].alpha, (255 * 239) >> 8);
    EXPECT_EQ(f[0].alpha, 0);
    ASSERT_TRUE(p.Step(s, f));
    EXPECT_EQ(p.Fade(1), 224);
    EXPECT_EQ(p.Fade(2), 239);
    // The fade's slow steps: from 20 it loses 3 at a time, from 16 one at a time.
    const uint8_t colour = p.ChaseColour();
    for (int i = 0; i < 15; ++i)
        ASSERT_TRUE(p.Step(s, f));
    EXPECT_EQ(p.PhaseA(), 0);
    EXPECT_EQ(p.ChaseColour(), (colour + 1) % 8);
    // Direction 1 runs the other way.
    MouseLightPreview back;
    ASSERT_TRUE(back.Step(Lighting(1, 1, 1), f));
    EXPECT_EQ(back.PhaseA(), 16);
}

TEST(Preview, BreathingLightsSixGroupsAlike) {
    MouseLightPreview p;
    PreviewFrame f{};
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(p.Step(Lighting(4, 1, 0), f));
    EXPECT_EQ(f[0].alpha, (PreviewBreathing()[40] * 255) >> 8);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(f[static_cast<size_t>(k)], f[static_cast<size_t>(k + 6)]) << k;
        EXPECT_EQ(f[static_cast<size_t>(k)], f[static_cast<size_t>(k + 12)]) << k;
    }
    EXPECT_EQ((Rgb{f[17].red, f[17].green, f[17].blue}), (Rgb{10, 20, 30}));
    // A whole breath with the seven colours moves to the next colour.
    MouseLightPreview q;
    const uint8_t before = q.BreathColour();
    for (int i = 0; i < 128; ++i)
        ASSERT_TRUE(q.Step(Lighting(4, 1, 1), f));
    EXPECT_EQ(q.BreathColour(), (before + 1) % 7);
}

TEST(LightPageRules, FieldsPresetsAndTheAlternativeLists) {
    EXPECT_EQ(LimitColourText("300"), "255");
    EXPECT_EQ(LimitColourText("256"), "255");
    EXPECT_EQ(LimitColourText("255"), std::nullopt);
    EXPECT_EQ(LimitColourText(""), std::nullopt);
    EXPECT_EQ(ColourComponent("255"), 255);
    EXPECT_EQ(ColourComponent(""), 0);
    EXPECT_EQ(LightPresetColour(13), (Rgb{255, 0, 0}));
    EXPECT_EQ(LightPresetColour(1), (Rgb{0x00, 0xF6, 0xFF}));
    EXPECT_EQ(LightPresetColour(18), (Rgb{0xFD, 0xFD, 0xFC}));
    for (int n : {0, 9, 10, 19})
        EXPECT_FALSE(LightPresetColour(n)) << n;
    // The lists differ in their last two items.
    const auto one5 = AlternativeModeLayoutOf(1, 5);
    const auto two5 = AlternativeModeLayoutOf(2, 5);
    ASSERT_TRUE(one5 && two5);
    EXPECT_FALSE(one5->sevenColour);
    EXPECT_TRUE(two5->sevenColour);
    const auto one3 = AlternativeModeLayoutOf(1, 3);
    ASSERT_TRUE(one3);
    EXPECT_FALSE(one3->fx);
    EXPECT_TRUE(one3->colour);
    EXPECT_FALSE(one3->sevenColour);
    EXPECT_FALSE(one3->speed);
    EXPECT_TRUE(one3->sameMode);
    EXPECT_TRUE(AlternativeModeLayoutOf(1, 2)->showsFxAndSpeed);
    EXPECT_FALSE(AlternativeModeLayoutOf(1, 3)->showsFxAndSpeed);
    EXPECT_FALSE(AlternativeModeLayoutOf(2, 0)->showsFxAndSpeed);
    EXPECT_FALSE(AlternativeModeLayoutOf(3, 0));
    EXPECT_FALSE(AlternativeModeLayoutOf(1, 7));
}

TEST(PointerRules, SliderWheelTextAndProfilePaths) {
    EXPECT_EQ(PointerSpeedFromSlider(0), 2);
    EXPECT_EQ(PointerSpeedFromSlider(9), 20);
    EXPECT_EQ(PointerSpeedFromSlider(-3), 2);
    EXPECT_EQ(LimitPointerSpeed(0), 1);
    EXPECT_EQ(LimitPointerSpeed(21), 20);
    EXPECT_EQ(LimitWheelText("250"), "100");
    EXPECT_EQ(LimitWheelText("101"), "100");
    EXPECT_EQ(LimitWheelText("100"), std::nullopt);
    EXPECT_EQ(LimitWheelText("0"), "1");
    EXPECT_EQ(LimitWheelText("1"), std::nullopt);
    EXPECT_EQ(LimitWheelText(""), std::nullopt);
    EXPECT_EQ(WheelLinesUp("100"), 100);
    EXPECT_EQ(WheelLinesUp("99"), 100);
    EXPECT_EQ(WheelLinesUp(""), 2);
    EXPECT_EQ(WheelLinesDown("1"), 1);
    EXPECT_EQ(WheelLinesDown("2"), 1);
    EXPECT_EQ(WheelLinesDown("500"), 99);
    EXPECT_EQ(PointerSliderFor(PointerPath::LightProfile, 14), 7);
    EXPECT_EQ(PointerSliderFor(PointerPath::DeviceProfile, 14), 6);
    EXPECT_EQ(PointerSliderFor(PointerPath::DeviceDefault, 14), 4);
    EXPECT_EQ(PointerSliderFor(PointerPath::FactoryReset, 14), 5);
}

}  // namespace
}  // namespace vq
