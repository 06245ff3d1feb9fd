// Recording macros from captured input: delays, the repeat filter, the keypad Enter, the options.

#include <gtest/gtest.h>

#include "core/macro/macro_recorder.h"
#include "support/fake_input_capture.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

using K = InputEventKind;

std::vector<std::string> Records(const std::vector<MacroAction>& actions) {
    std::vector<std::string> records;
    for (const MacroAction& a : actions)
        records.push_back(FormatMacroAction(a));
    return records;
}

// The page's wiring: the options decide what the capture takes; its events go to the recorder.
class Recording : public ::testing::Test {
  protected:
    void StartRecording(const RecordingOptions& options, std::vector<MacroAction> actions = {}) {
        recorder.Start(options, std::move(actions), capture.NowMs());
        ASSERT_TRUE(capture.Start(
            {platform::CaptureMode::Recording, options.CapturesKeyboard(), options.CapturesMouse()},
            [this](const InputEvent& e) { recorder.Feed(e); }));
    }
    std::vector<MacroAction> StopRecording() {
        capture.Stop();
        return recorder.Stop();
    }

    FakeInputCapture capture;
    MacroRecorder recorder;
};

TEST_F(Recording, KeysAndButtonsBecomeExactlyTheseActionsAndFileBytes) {
    capture.now = 1000;
    StartRecording({.keys = true, .clicks = true});
    EXPECT_TRUE(capture.starts.back().keyboard);
    EXPECT_TRUE(capture.starts.back().mouse);
    capture.Key(K::KeyDown, 'A', 5000);  // four seconds after the start: not a delay
    capture.Key(K::KeyDown, 'A', 5030);  // the system repeats the held key
    capture.Key(K::KeyDown, 'A', 5060);
    capture.Key(K::KeyUp, 'A', 5400);
    capture.Key(K::KeyDown, 0xA0, 5500);  // left Shift: a modifier
    capture.Button(K::ButtonDown, PointerButton::Left, 5600);
    capture.Button(K::ButtonUp, PointerButton::Left, 5700);
    capture.Key(K::KeyDown, 13, 75700, true);  // the keypad Enter, seventy seconds later
    capture.Key(K::KeyUp, 13, 75710, true);
    capture.Key(K::KeyUp, 0xA0, 75720);
    const std::vector<MacroAction> actions = StopRecording();
    EXPECT_FALSE(capture.Key(K::KeyDown, 'B', 80000));

    EXPECT_EQ(Records(actions), (std::vector<std::string>{
                                    "144,1,138,4,1,keyboard_key_A",
                                    "100,0,10,4,0,keyboard_key_A",
                                    "100,0,137,2,1,keyboard_key_LShift",
                                    "100,0,129,1,1,mouse_key_left",
                                    "255,255,1,1,0,mouse_key_left",
                                    "10,0,138,88,1,keyboard_key_Num Enter",
                                    "10,0,10,88,0,keyboard_key_Num Enter",
                                    "0,0,9,2,0,keyboard_key_LShift",
                                }));

    TempDir dir;
    MacroLibrary library(DeviceKind::Mouse, dir.path());
    ASSERT_EQ(library.WriteMacro("rec", actions), MacroResult::Ok);
    EXPECT_EQ(ReadBytes(dir / "rec.mac"),
              "[MACROACTIONCOUNT]\r\ncount=8\r\n"
              "[MACROSELECTNAME]\r\nname=rec\r\n"
              "[MACROACTION]\r\n"
              "0=144,1,138,4,1,keyboard_key_A\r\n"
              "1=100,0,10,4,0,keyboard_key_A\r\n"
              "2=100,0,137,2,1,keyboard_key_LShift\r\n"
              "3=100,0,129,1,1,mouse_key_left\r\n"
              "4=255,255,1,1,0,mouse_key_left\r\n"
              "5=10,0,138,88,1,keyboard_key_Num Enter\r\n"
              "6=10,0,10,88,0,keyboard_key_Num Enter\r\n"
              "7=0,0,9,2,0,keyboard_key_LShift\r\n");
}

TEST_F(Recording, EveryDelayIsFiftyWithTheFixedDelayOption) {
    StartRecording({.keys = true, .clicks = true, .fixedDelay = true});
    capture.Key(K::KeyDown, 'Q', 100);
    capture.Key(K::KeyUp, 'Q', 70000);
    capture.Button(K::ButtonDown, PointerButton::Right, 70001);
    capture.Button(K::ButtonUp, PointerButton::Right, 70002);
    EXPECT_EQ(Records(StopRecording()), (std::vector<std::string>{
                                            "50,0,138,20,1,keyboard_key_Q",
                                            "50,0,10,20,0,keyboard_key_Q",
                                            "50,0,129,2,1,mouse_key_right",
                                            "0,0,1,2,0,mouse_key_right",
                                        }));
}

TEST_F(Recording, AHeldKeyIsOnePressAndOneReleaseAmongOtherKeys) {
    StartRecording({.keys = true});
    EXPECT_FALSE(capture.starts.back().mouse);
    capture.Key(K::KeyDown, 'A', 10);
    capture.Key(K::KeyDown, 'B', 20);
    capture.Key(K::KeyDown, 'A', 30);  // repeats of both held keys
    capture.Key(K::KeyDown, 'B', 40);
    capture.Key(K::KeyUp, 'B', 50);
    capture.Key(K::KeyDown, 'A', 60);
    capture.Key(K::KeyUp, 'A', 70);
    capture.Key(K::KeyDown, 'A', 80);  // pressed again: a new press
    capture.Key(K::KeyUp, 'A', 90);
    EXPECT_EQ(Records(StopRecording()), (std::vector<std::string>{
                                            "10,0,138,4,1,keyboard_key_A",
                                            "30,0,138,5,1,keyboard_key_B",
                                            "20,0,10,5,0,keyboard_key_B",
                                            "10,0,10,4,0,keyboard_key_A",
                                            "10,0,138,4,1,keyboard_key_A",
                                            "0,0,10,4,0,keyboard_key_A",
                                        }));
}

TEST_F(Recording, AppendsToTheListWithoutChangingWhatWasThere) {
    MacroAction existing;
    existing.SetDelayMs(1234);
    existing.type = 0x81;
    existing.code = 1;
    existing.down = 1;
    existing.label = "mouse_key_left";
    capture.now = 0;
    StartRecording({.keys = true}, {existing});
    capture.Key(K::KeyDown, 'C', 9000);
    capture.Key(K::KeyUp, 'C', 9040);
    EXPECT_EQ(recorder.Recorded(), 2);
    EXPECT_EQ(Records(StopRecording()), (std::vector<std::string>{
                                            "210,4,129,1,1,mouse_key_left",
                                            "40,0,138,6,1,keyboard_key_C",
                                            "0,0,10,6,0,keyboard_key_C",
                                        }));
}

TEST_F(Recording, WhatTheOptionsLeaveOutAndWhatNoKeyNamesIsNotRecorded) {
    // Keys off, the wheel on: the capture takes the mouse, but only clicks would be recorded.
    StartRecording({.keys = false, .wheel = true});
    EXPECT_FALSE(capture.starts.back().keyboard);
    EXPECT_TRUE(capture.starts.back().mouse);
    capture.Key(K::KeyDown, 'A', 10);
    capture.Button(K::ButtonDown, PointerButton::Left, 20);
    InputEvent wheel;
    wheel.kind = K::Wheel;
    wheel.wheelDelta = 120;
    capture.Deliver(wheel);
    EXPECT_TRUE(StopRecording().empty());

    StartRecording({.keys = true, .clicks = true, .moves = true});
    InputEvent move;
    move.kind = K::Move;
    move.dx = 5;
    capture.Deliver(move);
    capture.Button(K::ButtonDown, PointerButton::Back, 10);  // side buttons are not recorded
    capture.Key(K::KeyDown, 0xAF, 20);                       // volume up: no keyboard key
    capture.Key(K::KeyDown, 0x1FF, 30);
    capture.Key(K::KeyDown, 0x3FF, 40);  // past any known code
    EXPECT_EQ(recorder.Recorded(), 0);
    // The same button message twice in a row is one event; a release of a key pressed before
    // the recording started is recorded.
    capture.Button(K::ButtonDown, PointerButton::Middle, 100);
    capture.Button(K::ButtonDown, PointerButton::Middle, 110);
    capture.Key(K::KeyUp, 'Z', 150);
    EXPECT_EQ(Records(StopRecording()), (std::vector<std::string>{
                                            "50,0,129,4,1,mouse_key_middle",
                                            "0,0,10,29,0,keyboard_key_Z",
                                        }));
    EXPECT_FALSE(recorder.Feed(InputEvent{}));  // stopped
}

TEST_F(Recording, DelaysAreRightAcrossTheWrapOfTheClock) {
    capture.now = 0xFFFFFF00u;
    StartRecording({.keys = true});
    capture.Key(K::KeyDown, 'A', 0xFFFFFFF0u);
    capture.Key(K::KeyUp, 'A', 0x10u);
    EXPECT_EQ(Records(StopRecording()), (std::vector<std::string>{
                                            "32,0,138,4,1,keyboard_key_A",
                                            "0,0,10,4,0,keyboard_key_A",
                                        }));
}

}  // namespace
}  // namespace vq::test
