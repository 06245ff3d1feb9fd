// The light loops on simulated time against the simulated keyboard, mouse and mousepad.

#include <gtest/gtest.h>

#include <thread>

#include "core/keyboard/keyboard_defaults.h"
#include "light_fakes.h"

namespace vq::test {
namespace {

using light::KeyboardLightLoop;
using light::LightShared;
using light::LightSyncLoop;
using light::MousepadLightLoop;

class LightLoops : public ::testing::Test {
  protected:
    LightLoops() {
        ApplyKeyboardDefaults(keyboard, KeyboardVariant::FullColour);
        ApplyMousepadDefaults(mousepad);
    }
    void KeyboardLight(uint8_t mode, uint8_t speed = 0, Rgb colour = {255, 0, 0}) {
        keyboard.SetLight({mode, 4, speed, 1, 1, colour});
    }
    void Passes(KeyboardLightLoop& loop, int n) {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(loop.Pass(stop.get_token()));
    }

    SimLightRig rig;
    KeyboardModel keyboard;
    MousepadModel mousepad;
    MouseModel mouse;
    LightShared shared;
    FakeLightClock clock;
    std::stop_source stop;
};

TEST_F(LightLoops, KeyboardFramesGoOutOnlyWhileConnected) {
    KeyboardLightLoop loop(rig.keyboardSession, keyboard, shared, clock);
    KeyboardLight(0);
    Passes(loop, 3);
    EXPECT_EQ(rig.LightRequests(), 0);
    EXPECT_EQ(loop.Stats().rendered.load(), 0u);  // nothing computed for an absent keyboard
    EXPECT_EQ(loop.Stats().idleWaits.load(), 3u);

    rig.ConnectAll();
    Passes(loop, 3);
    ASSERT_EQ(rig.keyboard->LightFrameCount(), 3u);
    for (const auto& frame : rig.keyboard->LightFrames())
        EXPECT_EQ(frame.size(), 378u);
    EXPECT_EQ(rig.LightRequests(), 21);  // 7 reports a frame
    EXPECT_EQ(clock.TakeSleeps(), (std::vector<int>{2, -1, 2, -1, 2, -1, 2, 2, 2}));

    // The keyboard leaves: no more frames, and none computed.
    rig.keyboardSession.SetConnected(false);
    Passes(loop, 2);
    EXPECT_EQ(rig.keyboard->LightFrameCount(), 3u);
    EXPECT_EQ(loop.Stats().rendered.load(), 3u);
}

TEST_F(LightLoops, KeyboardPausesByModeAndSpeed) {
    rig.ConnectAll();
    KeyboardLightLoop loop(rig.keyboardSession, keyboard, shared, clock);
    KeyboardLight(1, 0);
    Passes(loop, 1);
    EXPECT_EQ(clock.TakeSleeps(), (std::vector<int>{9, 20}));
    KeyboardLight(5, 4);
    Passes(loop, 1);
    EXPECT_EQ(clock.TakeSleeps(), (std::vector<int>{45, 40}));
}

TEST_F(LightLoops, OutputFlagClearedWritesNothingButThePreviewMoves) {
    rig.ConnectAll();
    shared.keyboardPreview.SetVisible(true);
    int repaints = 0;
    shared.keyboardPreview.SetListener([&] { ++repaints; });
    shared.lightOutput = false;
    KeyboardLightLoop loop(rig.keyboardSession, keyboard, shared, clock);
    KeyboardLight(1);
    Passes(loop, 4);
    EXPECT_EQ(rig.LightRequests(), 0);
    EXPECT_EQ(repaints, 4);
    EXPECT_EQ(shared.keyboardPreview.Picture()[0].level, 255);

    // Hidden preview and no output: nothing to do at all.
    shared.keyboardPreview.SetVisible(false);
    Passes(loop, 2);
    EXPECT_EQ(loop.Stats().rendered.load(), 4u);
    shared.lightOutput = true;
    Passes(loop, 1);
    EXPECT_EQ(rig.LightRequests(), 7);
}

TEST_F(LightLoops, StillEffectIsSentOnceUntilSomethingChanges) {
    rig.ConnectAll();
    KeyboardLightLoop loop(rig.keyboardSession, keyboard, shared, clock);
    KeyboardLight(3, 0, {10, 20, 30});
    Passes(loop, 5);
    EXPECT_EQ(rig.keyboard->LightFrameCount(), 1u);
    EXPECT_EQ(loop.Stats().unchanged.load(), 4u);
    EXPECT_EQ(loop.Stats().idleWaits.load(), 4u);
    KeyboardLight(3, 0, {40, 50, 60});
    shared.wake.Notify();
    Passes(loop, 2);
    ASSERT_EQ(rig.keyboard->LightFrameCount(), 2u);
    EXPECT_EQ(rig.keyboard->LightFrames().back()[0], 39);  // 40 * 255 >> 8 ... scaled by level

    // A frame the keyboard refused is not taken as sent: the next pass tries again.
    rig.keyboardSession.SetConnected(false);
    Passes(loop, 1);
    rig.keyboardSession.SetConnected(true);
    rig.keyboard->FailRequest(1, 0xFF);
    Passes(loop, 2);
    EXPECT_EQ(rig.keyboard->LightFrameCount(), 4u);
    EXPECT_TRUE(rig.keyboardSession.IsConnected());  // a refused light frame loses no link
}

TEST_F(LightLoops, SyncedKeyboardIsLeftToTheSync) {
    rig.ConnectAll();
    KeyboardLightLoop loop(rig.keyboardSession, keyboard, shared, clock);
    KeyboardLight(0);
    rig.keyboardSession.SetLightSync(true);
    Passes(loop, 3);
    EXPECT_EQ(rig.LightRequests(), 0);
    EXPECT_EQ(loop.Stats().rendered.load(), 0u);
}

TEST_F(LightLoops, ReactiveKeysAndRestartsReachTheEngine) {
    rig.ConnectAll();
    KeyboardLightLoop loop(rig.keyboardSession, keyboard, shared, clock);
    KeyboardLight(5);  // the ripple starts from its reset state when the mode first renders
    Passes(loop, 1);
    EXPECT_EQ(loop.Effects().State().wavePlanes[0][9], 0x80);
    KeyboardLight(9);
    loop.PressKey(52);
    loop.PressKey(500);  // not a button
    Passes(loop, 1);
    EXPECT_EQ(loop.Effects().State().wavePlanes[2][11], 0x04);
    loop.Effects().State().keyLevel.fill(7);
    loop.RestartEffect();
    Passes(loop, 1);
    EXPECT_EQ(loop.Effects().State().wavePlanes[2][11], 0);
}

TEST_F(LightLoops, BreathingStepsTheRecordCounter) {
    rig.ConnectAll();
    KeyboardLightLoop loop(rig.keyboardSession, keyboard, shared, clock);
    KeyboardLight(2);
    Passes(loop, 128);
    EXPECT_EQ(keyboard.Record().bytes[9], 1);
}

TEST_F(LightLoops, MousepadFlashesOncePerMouseEvent) {
    rig.ConnectAll();
    MousepadLightLoop loop(rig.mousepadSession, mousepad, shared, clock);
    mousepad.SetLight({8, 4, 0, 0, 0, {0, 255, 0}});
    auto pass = [&] { ASSERT_TRUE(loop.Pass(stop.get_token())); };
    pass();
    pass();
    pass();
    ASSERT_EQ(rig.mousepad->LightFrameCount(), 1u);  // dark, once
    EXPECT_EQ(rig.mousepad->LightFrames()[0], std::vector<uint8_t>(60, 0));
    loop.TriggerFlash();
    pass();
    ASSERT_EQ(rig.mousepad->LightFrameCount(), 2u);
    EXPECT_EQ(rig.mousepad->LightFrames()[1][1], 255);
    clock.Advance(100);
    pass();
    pass();
    EXPECT_EQ(rig.mousepad->LightFrameCount(), 3u);
    EXPECT_EQ(rig.mousepad->LightFrames()[2], std::vector<uint8_t>(60, 0));
    // Pauses: 9 ms at speed 0 in every mode, 25 ms at speed 4.
    mousepad.SetLight({0, 4, 4, 0, 0, {0, 255, 0}});
    clock.TakeSleeps();
    pass();
    EXPECT_EQ(clock.TakeSleeps(), std::vector<int>{25});
    EXPECT_EQ(rig.mousepad->LightFrames().back().size(), 45u);
}

class LightSyncLoops : public LightLoops {
  protected:
    void Start(int source, const LightSettings& s) {
        light::LightSyncDevices d{
            rig.keyboardSession, rig.mouseSession, rig.mousepadSession, keyboard, mouse, mousepad};
        if (source == 1) keyboard.SetLight(s);
        light::LightSyncObserver none;
        ASSERT_TRUE(light::StartLightSync(source, d, block, none));
    }
    light::SyncBlock block;
};

TEST_F(LightSyncLoops, OnlyTheMouseSyncedOthersStandIn) {
    LightSyncLoop loop(rig.keyboardSession, rig.mouseSession, rig.mousepadSession, block, shared,
                       clock);
    SimLightRig::Connect(rig.mouseSession);
    rig.bus.ClearTranscript();
    rig.mouseSession.SetLightSync(true);
    for (uint8_t mode : {0, 1, 2}) {
        block.SetSettings({mode, 4, 0, 1, 1, {}});
        clock.TakeSleeps();
        ASSERT_TRUE(loop.Pass(stop.get_token()));
        const int keyboardStandIn = mode == 0 ? 6 : mode == 1 ? 9 : 8;
        std::vector<int> expected{0, keyboardStandIn, 1};
        if (mode == 1) expected.push_back(6);
        EXPECT_EQ(clock.TakeSleeps(), expected) << "mode " << int{mode};
    }
    ASSERT_EQ(rig.mouse->LightFrames().size(), 3u);
    EXPECT_EQ(rig.mouse->LightFrames()[0].size(), 60u);
    EXPECT_EQ(rig.keyboard->LightFrameCount(), 0u);
    EXPECT_EQ(rig.mousepad->LightFrameCount(), 0u);
    // Speed 4: a 16 ms pause before each pass.
    block.SetSettings({1, 4, 4, 1, 1, {}});
    clock.TakeSleeps();
    ASSERT_TRUE(loop.Pass(stop.get_token()));
    EXPECT_EQ(clock.TakeSleeps().front(), 16);
}

TEST_F(LightSyncLoops, KeyboardColourCycleInStepOnAllDevicesUntilThePadLeaves) {
    rig.ConnectAll();
    Start(1, {1, 4, 0, 1, 0, {}});
    LightSyncLoop sync(rig.keyboardSession, rig.mouseSession, rig.mousepadSession, block, shared,
                       clock);
    KeyboardLightLoop keys(rig.keyboardSession, keyboard, shared, clock);
    MousepadLightLoop pad(rig.mousepadSession, mousepad, shared, clock);
    ASSERT_TRUE(sync.Pass(stop.get_token()));
    ASSERT_TRUE(keys.Pass(stop.get_token()));
    ASSERT_TRUE(pad.Pass(stop.get_token()));
    ASSERT_EQ(rig.keyboard->LightFrameCount(), 1u);
    ASSERT_EQ(rig.mouse->LightFrames().size(), 1u);
    ASSERT_EQ(rig.mousepad->LightFrameCount(), 1u);
    const auto kb = rig.keyboard->LightFrames()[0];
    const auto ms = rig.mouse->LightFrames()[0];
    const auto mp = rig.mousepad->LightFrames()[0];
    const Rgb c = light::ScaleUp(light::HueWheel()[1], 255);
    for (const auto* f : {&kb, &ms, &mp}) {
        EXPECT_EQ((*f)[0], c.red);
        EXPECT_EQ((*f)[1], c.green);
        EXPECT_EQ((*f)[2], c.blue);
    }
    EXPECT_EQ(mp.size(), 45u);
    EXPECT_EQ(LightSettings::From(mouse.Record().bytes).mode, 1);

    // The mousepad's own effect is chosen: only it leaves the sync.
    rig.mousepadSession.SetLightSync(false);
    mousepad.SetLight({1, 4, 0, 1, 0, {}});
    ASSERT_TRUE(sync.Pass(stop.get_token()));
    ASSERT_TRUE(pad.Pass(stop.get_token()));
    EXPECT_EQ(rig.keyboard->LightFrameCount(), 2u);
    EXPECT_EQ(rig.mouse->LightFrames().size(), 2u);
    EXPECT_EQ(rig.mousepad->LightFrameCount(), 2u);  // its own thread's frame
    EXPECT_EQ(pad.Stats().rendered.load(), 1u);
    EXPECT_EQ(keys.Stats().rendered.load(), 0u);
}

TEST_F(LightSyncLoops, StaticSyncIsSentOnceAndNothingWhenNoneIsSynced) {
    rig.ConnectAll();
    LightSyncLoop sync(rig.keyboardSession, rig.mouseSession, rig.mousepadSession, block, shared,
                       clock);
    ASSERT_TRUE(sync.Pass(stop.get_token()));
    EXPECT_EQ(sync.Stats().rendered.load(), 0u);
    Start(1, {3, 4, 0, 1, 0, {9, 9, 9}});
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(sync.Pass(stop.get_token()));
    EXPECT_EQ(rig.keyboard->LightFrameCount(), 1u);
    EXPECT_EQ(rig.mouse->LightFrames().size(), 1u);
    EXPECT_EQ(rig.mousepad->LightFrameCount(), 1u);
}

TEST_F(LightSyncLoops, ThreadsRunAndStopWhileTheWindowChangesEverything) {
    // The three loops on their own threads while this thread plays the window, the presence
    // logic and the mouse's event thread. The sanitizer build checks the sharing.
    rig.ConnectAll();
    FakeLightClock threadedClock(/*threaded*/ true);
    shared.keyboardPreview.SetVisible(true);
    shared.mousepadPreview.SetVisible(true);
    std::atomic<int> repaints{0};
    shared.keyboardPreview.SetListener([&] { ++repaints; });
    KeyboardLightLoop keys(rig.keyboardSession, keyboard, shared, threadedClock);
    MousepadLightLoop pad(rig.mousepadSession, mousepad, shared, threadedClock);
    LightSyncLoop sync(rig.keyboardSession, rig.mouseSession, rig.mousepadSession, block, shared,
                       threadedClock);
    {
        std::jthread a([&](std::stop_token s) { keys.Run(s); });
        std::jthread b([&](std::stop_token s) { pad.Run(s); });
        std::jthread c([&](std::stop_token s) { sync.Run(s); });
        // Until each loop has done some work (the threads may start late), at least 300 rounds.
        for (int i = 0; i < 300 || keys.Stats().rendered < 20 || pad.Stats().rendered < 20 ||
                        sync.Stats().rendered < 5;
             ++i) {
            ASSERT_LT(i, 1000000) << "the light loops made no progress: " << keys.Stats().rendered
                                  << " " << pad.Stats().rendered << " " << sync.Stats().rendered;
            KeyboardLight(static_cast<uint8_t>(i % 17), static_cast<uint8_t>(i % 5));
            mousepad.SetLight({static_cast<uint8_t>(i % 10), 4, 0, 1, 1, {}});
            if (i % 50 == 10) Start(1, {static_cast<uint8_t>(i % 4), 4, 1, 1, 1, {1, 2, 3}});
            if (i % 50 == 30) {
                rig.keyboardSession.SetLightSync(false);
                keys.RestartEffect();
                rig.mousepadSession.SetLightSync(false);
                pad.RestartEffect();
            }
            if (i % 7 == 0) pad.TriggerFlash();
            keys.PressKey(i % 126);
            shared.lightOutput = i % 40 != 5;
            if (i % 60 == 20) rig.mousepadSession.SetConnected(false);
            if (i % 60 == 40) rig.mousepadSession.SetConnected(true);
            shared.wake.Notify();
            (void)shared.keyboardPreview.Picture();
            std::this_thread::yield();
        }
        // Stop requested by the jthreads' destructors; every wait wakes.
    }
    EXPECT_GT(rig.keyboard->LightFrameCount(), 0u);
    EXPECT_GT(keys.Stats().passes.load(), 0u);
    EXPECT_GT(repaints.load(), 0);
}

}  // namespace
}  // namespace vq::test
