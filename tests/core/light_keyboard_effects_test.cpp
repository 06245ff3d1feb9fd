// The keyboard's effect engine against the tables and hand-computed frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/keyboard/keyboard_layout.h"
#include "core/light/keyboard_effects.h"

namespace vq::light {
namespace {

KeyboardLightSnapshot Snap(uint8_t mode, uint8_t brightness = 4, uint8_t direction = 1,
                           uint8_t colourful = 1, Rgb colour = {255, 0, 0},
                           KeyboardVariant variant = KeyboardVariant::FullColour) {
    KeyboardLightSnapshot s;
    s.light = {mode, brightness, 0, direction, colourful, colour};
    s.variant = variant;
    return s;
}

TEST(LightTables, KeyTablesCoverEachKeyOnce) {
    std::set<int> order;
    for (int i = 0; i < kKeyOrderKeys; ++i)
        order.insert(kKeyOrder[static_cast<size_t>(i)]);
    EXPECT_EQ(order.size(), 104u);
    EXPECT_EQ(order.count(kNoButton), 0u);
    for (size_t i = kKeyOrderKeys; i < kKeyOrder.size(); ++i)
        EXPECT_EQ(kKeyOrder[i], kNoButton);
    // Every key of the walk stands in exactly one physical column, and has an LED.
    for (int key : order) {
        int places = 0;
        for (const auto& column : kColumnTable)
            places += static_cast<int>(std::count(column.begin(), column.end(), key));
        EXPECT_EQ(places, 1) << "button " << key;
        EXPECT_NE(ButtonLed(key), kNoKey) << "button " << key;
    }
    EXPECT_EQ(kKeyOrder[0], 15);
    EXPECT_EQ(kKeyOrder[103], 77);
    EXPECT_EQ(kSnakePath[0], 0);
    EXPECT_EQ(kSnakePath[57], 119);
    EXPECT_EQ(kSnakePath[62], kNoButton);
    EXPECT_EQ(kSnakePath[76], kNoButton);
    EXPECT_EQ(kSnakePath[105], 105);
    std::set<int> shuffle(kRandomKeys.begin(), kRandomKeys.end());
    EXPECT_EQ(shuffle.size(), 104u);
    EXPECT_EQ(*shuffle.rbegin(), 103);
}

TEST(LightTables, CurvesAndWheelMatchTheirDefinition) {
    const Rgb* wheel = HueWheel();
    EXPECT_EQ(wheel[0], (Rgb{255, 1, 0}));
    EXPECT_EQ(wheel[31], (Rgb{255, 255, 0}));
    EXPECT_EQ(wheel[63], (Rgb{0, 255, 0}));
    EXPECT_EQ(wheel[127], (Rgb{0, 0, 255}));
    EXPECT_EQ(wheel[191], (Rgb{255, 0, 0}));
    const Rgb* palette = Palette256();
    EXPECT_EQ(palette[1], (Rgb{255, 96, 0}));
    EXPECT_EQ(palette[7], (Rgb{255, 255, 255}));
    EXPECT_EQ(palette[9], (Rgb{0, 0, 160}));
    EXPECT_EQ(kBreath128[0], 0);
    EXPECT_EQ(kBreath128[63], 255);
    EXPECT_EQ(kBreath128[64], 255);
    EXPECT_EQ(kBreath128[127], 0);
    EXPECT_EQ(kWave96[0], 22);
    EXPECT_EQ(kWave96[47], 255);
    EXPECT_EQ(kWave96[95], 22);
    EXPECT_EQ(kPulse192[15], 234);
    EXPECT_EQ(kPulse192[16], 255);
    EXPECT_EQ(kPulse192[76], 3);
    EXPECT_EQ(kPulse192[77], 2);
    EXPECT_EQ(kPulse192[80], 0);
    EXPECT_EQ(kPulse192[191], 0);
    for (size_t c = 0; c < kColumns; ++c)
        for (size_t r = 0; r < kRows; ++r)
            EXPECT_LT(kRainStart[c][r], 192);
}

TEST(LightTables, PausesByModeAndSpeed) {
    EXPECT_EQ(KeyboardDelayMs(0, 0), 2u);
    EXPECT_EQ(KeyboardDelayMs(1, 0), 9u);
    EXPECT_EQ(KeyboardDelayMs(4, 0), 3u);
    EXPECT_EQ(KeyboardDelayMs(12, 0), 3u);
    EXPECT_EQ(KeyboardDelayMs(16, 0), 9u);
    EXPECT_EQ(KeyboardDelayMs(5, 1), 13u);
    EXPECT_EQ(KeyboardDelayMs(5, 4), 45u);
    EXPECT_EQ(KeyboardExtraSleepMs(KeyboardVariant::FullColour, 1), 20u);
    // Values a corrupted profile might carry stay inside the table.
    EXPECT_EQ(KeyboardDelayMs(200, 200), 45u);
    EXPECT_EQ(LevelOf(9), 255);
    for (uint8_t mode = 0; mode < 20; ++mode) {
        EXPECT_EQ(MousepadDelayMs(mode, 0), 9u);
        EXPECT_EQ(MousepadDelayMs(mode, 4), 25u);
    }
}

TEST(KeyboardEffects, StepPhaseWrapsBothWays) {
    KeyboardEffects e;
    EXPECT_EQ(e.StepPhase(0, 192), 191);  // 0 is followed by 191 backwards
    EXPECT_EQ(e.StepPhase(0, 192), 190);
    EXPECT_EQ(e.StepPhase(1, 192), 191);
    EXPECT_EQ(e.StepPhase(1, 192), 0);
    e.State().auxPhase = 120;  // from an effect with a longer period
    EXPECT_EQ(e.StepAuxPhase(1, 96), 0);
}

TEST(KeyboardEffects, FadeSequencesExactly) {
    auto run = [](bool fast) {
        KeyboardEffects e;
        e.State().keyLevel[10] = 255;
        std::vector<int> seq;
        while (e.State().keyLevel[10] != 0) {
            e.FadeKey(10, fast);
            seq.push_back(e.State().keyLevel[10]);
        }
        return seq;
    };
    EXPECT_EQ(run(true), (std::vector<int>{215, 175, 135, 95, 65, 35, 25, 17, 9, 5, 0}));
    EXPECT_EQ(run(false),
              (std::vector<int>{225, 195, 165, 135, 105, 85, 65, 45, 35, 25, 20, 15, 11, 7, 0}));
}

TEST(KeyboardEffects, ColourCycleStepsBackFromZeroTo191) {
    KeyboardEffects e;
    e.SelectMode(KeyboardVariant::FullColour, 1);
    ASSERT_TRUE(e.Render(Snap(1, 4, 0)).rendered);
    EXPECT_EQ(e.State().phase, 191);
    // wheel[191] = (255, 0, 0) scaled by 255: 254; the frame scales by the level again: 253.
    EXPECT_EQ(e.Output()[0], (LightCell{254, 0, 0, 255}));
    std::array<uint8_t, kKeyboardFrameSize> frame{};
    BuildKeyboardFrame(e.Output(), frame);
    EXPECT_EQ(frame[0], 253);
    EXPECT_EQ(frame[1], 0);
    EXPECT_EQ(frame[3 * 13], 0);  // LED 13 belongs to no button
}

TEST(KeyboardEffects, ColumnRainbowFrameByHand) {
    KeyboardEffects e;
    e.Render(Snap(0, 4, 1, 1));
    // Column 0 takes wheel[1] = (255, 3, 0), column 1 wheel[8] = (255, 26, 0), scaled by 255.
    EXPECT_EQ(e.Output()[105], (LightCell{254, 2, 0, 255}));
    EXPECT_EQ(e.Output()[21], (LightCell{254, 25, 0, 255}));
    EXPECT_EQ(e.Output()[106], (LightCell{254, 25, 0, 255}));
    std::array<uint8_t, kKeyboardFrameSize> frame{};
    BuildKeyboardFrame(e.Output(), frame);
    EXPECT_EQ(frame[3 * 105], 253);
    EXPECT_EQ(frame[3 * 105 + 1], 1);

    // Single colour (200, 100, 0), brightness 2 (149), backwards from 0: p = 95, Wave96[95] =
    // 22; the level takes the advanced p = 9 (Wave96 49): 149 * 49 >> 8 = 28.
    KeyboardEffects single;
    single.Render(Snap(0, 2, 0, 0, {200, 100, 0}));
    EXPECT_EQ(single.Output()[105], (LightCell{9, 4, 0, 28}));
}

TEST(KeyboardEffects, BreathingAdvancesTheRecordCounterOncePerBreath) {
    KeyboardEffects e;
    int breaths = 0;
    for (int i = 0; i < 256; ++i)
        breaths += e.Render(Snap(2)).advanceBreath;
    EXPECT_EQ(breaths, 2);
    // At the top of the breath the keys show the wheel 50 steps on at the full level.
    e.State().phase = 62;
    e.Render(Snap(2));
    EXPECT_EQ(e.Output()[0],
              (LightCell{HueWheel()[113].red, HueWheel()[113].green, HueWheel()[113].blue, 254}));
}

TEST(KeyboardEffects, SnakeRunsBackwardsFrom105DownTo1) {
    KeyboardEffects e;
    e.SelectMode(KeyboardVariant::FullColour, 12);
    e.Render(Snap(12, 4, 0));  // position 0: starts again at 105, lights nothing
    EXPECT_EQ(e.State().auxPhase, 105);
    std::vector<int> lit;
    for (int i = 0; i < 106; ++i) {
        const uint8_t at = e.State().auxPhase;
        e.Render(Snap(12, 4, 0));
        const uint8_t key = kSnakePath[at];
        if (at != 0 && key != kNoButton) {
            EXPECT_EQ(e.State().keyLevel[key], 224) << "entry " << int{at};  // 254, faded once
        }
        lit.push_back(at);
    }
    EXPECT_EQ(lit.front(), 105);
    EXPECT_EQ(lit[104], 1);
    EXPECT_EQ(lit[105], 0);  // at 0 it lights nothing and starts again
    EXPECT_EQ(e.State().auxPhase, 105);
}

TEST(KeyboardEffects, KeysOutsideAnEffectKeepTheirColours) {
    KeyboardEffects e;
    e.Render(Snap(3, 4, 1, 0, {10, 20, 30}));
    ASSERT_EQ(e.Output()[102], (LightCell{10, 20, 30, 255}));  // ISO
    for (int i = 0; i < 5; ++i)
        e.Render(Snap(7));
    EXPECT_EQ(e.Output()[102], (LightCell{10, 20, 30, 255}));
    EXPECT_EQ(e.Output()[125], (LightCell{10, 20, 30, 255}));  // right Win
    EXPECT_NE(e.Output()[0], (LightCell{10, 20, 30, 255}));
}

TEST(KeyboardEffects, WavePlanesSpreadOneColumnAndRowPerCall) {
    KeyboardEffects e;
    auto& p = e.State().wavePlanes;
    for (auto& plane : p)
        plane[5] = 0x04;
    p[0][6] = 0x10;
    e.SpreadWaves();
    EXPECT_EQ(p[0][5], 0x08 | 0x10);  // own bits down, the right neighbour's from before
    EXPECT_EQ(p[0][4], 0x04);
    EXPECT_EQ(p[0][6], 0x20);
    EXPECT_EQ(p[1][5], 0x08);
    EXPECT_EQ(p[1][6], 0x04);
    EXPECT_EQ(p[2][5], 0x02);
    EXPECT_EQ(p[2][6], 0x04);
    EXPECT_EQ(p[3][5], 0x02);
    EXPECT_EQ(p[3][4], 0x04);

    KeyboardEffects seed;
    seed.SeedWave(52);  // column 11, row 2
    for (const auto& plane : seed.State().wavePlanes)
        EXPECT_EQ(plane[11], 0x04);
    seed.LightWaveKeys(true);
    EXPECT_EQ(seed.State().keyLevel[52], 255);
    EXPECT_EQ(seed.State().keyHue[52], 11);
}

TEST(KeyboardEffects, StateResetsOfTheModeTables) {
    KeyboardEffects e;
    e.SelectMode(KeyboardVariant::FullColour, 4);  // random phases
    EXPECT_EQ(e.State().keyHue[0], 33);
    EXPECT_EQ(e.State().keyHue[3], 132);
    EXPECT_EQ(e.State().keyHue[4], 165);
    EXPECT_EQ(e.State().keyHue[5], 6);  // 165 + 97 wraps

    e.SelectMode(KeyboardVariant::FullColour, 16);  // drop seeds
    EXPECT_EQ(e.State().keyTimer[105], 175);
    EXPECT_EQ(e.State().keyTimer[21], 114);
    EXPECT_EQ(e.State().keyTimer[106], 167);
    EXPECT_EQ(e.State().keyHue[106], 7);

    e.SelectMode(KeyboardVariant::FullColour, 11);  // rain seeds
    EXPECT_EQ(e.State().keyLevel[106], 162);
    EXPECT_EQ(e.State().keyLevel[0], 120);

    e.SelectMode(KeyboardVariant::FullColour, 5);  // ripple
    for (const auto& plane : e.State().wavePlanes)
        EXPECT_EQ(plane[9], 0x40);
    EXPECT_EQ(e.State().keyLevel[106], 0);
}

TEST(KeyboardEffects, RippleComesBackFromTheTop) {
    KeyboardEffects e;
    e.SelectMode(KeyboardVariant::FullColour, 5);
    std::set<int> rowsLit;
    bool reseeded = false;
    for (int i = 0; i < 60; ++i) {
        e.Render(Snap(5));
        const auto& p = e.State().wavePlanes;
        if (i > 3 && p[0][9] != 0) reseeded = true;  // the downward planes start again
        for (int r = 0; r < kRows; ++r) {
            const uint8_t key = kColumnTable[9][static_cast<size_t>(r)];
            if (key != kNoButton && e.State().keyLevel[key] == 215) rowsLit.insert(r);
        }
    }
    EXPECT_TRUE(reseeded);
    EXPECT_EQ(rowsLit.size(), 6u);  // the wave crossed every row of column 9
}

TEST(KeyboardEffects, ScriptedShowRunsThroughEveryStage) {
    KeyboardEffects e;
    e.SelectMode(KeyboardVariant::FullColour, 6);
    std::set<int> stages;
    bool backToStart = false;
    for (int i = 0; i < 400 && !backToStart; ++i) {
        e.Render(Snap(6));
        stages.insert(e.State().stage);
        backToStart = stages.size() == 5 && e.State().stage == 0;
    }
    EXPECT_TRUE(backToStart);
}

TEST(KeyboardEffects, CustomLayoutsOfBothVariants) {
    KeyboardLightSnapshot s = Snap(8, 4);
    s.layout[3 * 104] = 10;  // LED of Num Enter (button 118)
    s.layout[3 * 104 + 2] = 30;
    KeyboardEffects e;
    e.Output()[16] = {1, 2, 3, 4};  // a gap: no LED
    e.Render(s);
    EXPECT_EQ(e.Output()[118], (LightCell{10, 0, 30, 255}));
    EXPECT_EQ(e.Output()[16], (LightCell{0, 0, 0, 255}));

    KeyboardLightSnapshot one = Snap(6, 2, 1, 0, {}, KeyboardVariant::SingleColour);
    one.layout[53] = 255;  // button 38's level byte
    KeyboardEffects v1;
    v1.Render(one);
    EXPECT_EQ(v1.Output()[38].level, 148);  // 149 * 255 >> 8
    EXPECT_EQ(v1.Output()[0].level, 0);
    std::array<uint8_t, kLevelFrameSize> frame{};
    BuildLevelFrame(v1.Output(), frame);
    EXPECT_EQ(frame[53], 148);
}

TEST(KeyboardEffects, FramesFollowTheButtonLedMaps) {
    KeyOutput out{};
    out[118] = {255, 128, 0, 128};   // Num Enter: LED 104
    out[119] = {0, 0, 255, 255};     // Num +: LED 62
    out[13] = {100, 100, 100, 255};  // F12: LED 14
    out[16] = {255, 255, 255, 255};  // a gap: nothing
    std::array<uint8_t, kKeyboardFrameSize> frame{};
    frame.fill(0xAA);
    BuildKeyboardFrame(out, frame);
    EXPECT_EQ(frame[312], 127);
    EXPECT_EQ(frame[313], 64);
    EXPECT_EQ(frame[314], 0);
    EXPECT_EQ(frame[188], 254);
    EXPECT_EQ(frame[42], 99);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0), 378 - 6);

    out.fill({});
    out[38].level = 200;   // level byte 53
    out[125].level = 200;  // no level byte
    std::array<uint8_t, kLevelFrameSize> levels{};
    BuildLevelFrame(out, levels);
    EXPECT_EQ(levels[53], 200);
    EXPECT_EQ(std::count(levels.begin(), levels.end(), 0), 125);
}

TEST(KeyboardEffects, EveryModeRendersWithinItsTables) {
    // Every effect of both variants, every brightness, both directions, for long enough that
    // each counter wraps: the frames stay inside their buffers (the sanitizer build checks)
    // and unknown modes render nothing.
    for (auto variant : {KeyboardVariant::FullColour, KeyboardVariant::SingleColour}) {
        for (uint8_t mode = 0; mode < 20; ++mode) {
            KeyboardEffects e;
            e.SelectMode(variant, mode);
            int rendered = 0;
            for (int i = 0; i < 600; ++i) {
                KeyboardLightSnapshot s =
                    Snap(mode, static_cast<uint8_t>(i % 6), static_cast<uint8_t>((i / 300) & 1),
                         static_cast<uint8_t>((i / 150) & 1), {200, 100, 50}, variant);
                rendered += e.Render(s).rendered;
                if (mode == 9 && i % 7 == 0) e.SeedWave(i % 130);
                e.EndPass();
            }
            const int modes = variant == KeyboardVariant::FullColour ? 17 : 11;
            EXPECT_EQ(rendered, mode < modes ? 600 : 0) << "mode " << int{mode};
        }
    }
}

}  // namespace
}  // namespace vq::light
