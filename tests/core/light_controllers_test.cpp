// The keyboard's and the mousepad's controllers on their simulated devices: the lighting edits
// with what each sends, saves and tells the light thread, the custom layouts kept in the light
// profile, the keys saved to the keyboard, the mousepad's reset with its read-back, and a
// keyboard that is not there, which no edit reaches.

#include <gtest/gtest.h>

#include <atomic>

#include "core/control/light_device_controllers.h"
#include "core/keyboard/keyboard_layout.h"
#include "core/profile/profile_store.h"
#include "sim/sim_peripheral.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

using std::chrono::milliseconds;

class LightControllers : public ::testing::Test {
  protected:
    LightControllers() : store(data.path(), VQ_PROGRAM_DIR) {
        bus.SetTiming({std::chrono::microseconds{0}, std::chrono::microseconds{0}});
        for (DeviceKind kind : {DeviceKind::Keyboard, DeviceKind::Mousepad})
            for (const FamilyFill& fill : store.InitProfileKind(kind))
                EXPECT_TRUE(fill.result == FamilyFillResult::Seeded) << FamilyName(fill.family);
        keyboard = std::make_unique<KeyboardController>(&bus, FastTiming(), &store, timing);
        mousepad = std::make_unique<MousepadController>(&bus, FastTiming(), &store, timing);
        keyboard->SetLightListener([this] { ++kbWakes; });
        mousepad->SetLightListener([this] { ++mpWakes; });
    }
    void Plug() {
        simKeyboard.Plug();
        simPad.Plug();
        keyboard->ConnectAndRead();
        mousepad->ConnectAndRead();
        Idle();
        ASSERT_TRUE(keyboard->IsConnected());
        ASSERT_TRUE(keyboard->Model().HasInfo());
        bus.ClearTranscript();
    }
    void Idle() {
        ASSERT_TRUE(keyboard->WaitIdle(milliseconds(10000)));
        ASSERT_TRUE(mousepad->WaitIdle(milliseconds(10000)));
    }
    size_t Sent(uint8_t command) const {
        size_t n = 0;
        for (const auto& e : bus.Transcript())
            if (e.direction == TraceDirection::ToDevice && e.bytes[3] == command) ++n;
        return n;
    }

    TempDir data;
    ProfileStore store;
    sim::VirtualHidBus bus;
    sim::SimKeyboard simKeyboard{bus};
    sim::SimMousepad simPad{bus};
    ControllerTiming timing{milliseconds(5), milliseconds(1), milliseconds(5), milliseconds(5)};
    std::atomic<int> kbWakes{0}, mpWakes{0};
    std::unique_ptr<KeyboardController> keyboard;
    std::unique_ptr<MousepadController> mousepad;
};

TEST_F(LightControllers, KeyboardLightingEditsReachTheRecordAndWakeTheLightThread) {
    Plug();
    keyboard->Session().SetLightSync(true);
    const int wakes = kbWakes.load();
    keyboard->SetLightMode(7);
    keyboard->SetBrightness(9);            // limited to 4
    keyboard->SetLightSpeedFromSlider(4);  // the fastest: speed 0
    keyboard->SetDirection(false);
    keyboard->SetLightColour({1, 2, 3});
    keyboard->SetLightMode(17);  // no such effect: ignored
    Idle();
    EXPECT_EQ(keyboard->FlushNow(), 1);
    const LightSettings s = keyboard->Model().Light();
    EXPECT_EQ(s.mode, 7);
    EXPECT_EQ(s.brightness, 4);
    EXPECT_EQ(s.speed, 0);
    EXPECT_EQ(s.direction, 0);
    EXPECT_EQ(s.colourful, 0);
    EXPECT_EQ(s.colour, (Rgb{1, 2, 3}));
    // Choosing an effect ended the keyboard's part in the light sync.
    EXPECT_FALSE(keyboard->Session().LightSync());
    EXPECT_GE(kbWakes.load(), wakes + 5);
    // The record reached the keyboard.
    const auto record = simKeyboard.CurrentRecord();
    EXPECT_EQ(record[1], 7);
    EXPECT_EQ(record[2], 4);
    EXPECT_EQ(record[6], 1);
    // The speed slider's other end.
    keyboard->SetLightSpeedFromSlider(0);
    Idle();
    EXPECT_EQ(keyboard->Model().Light().speed, 4);
}

TEST_F(LightControllers, CustomLayoutPaintedOnlyInTheCustomEffectAndKeptInTheProfile) {
    Plug();
    keyboard->SetLightMode(3);
    keyboard->SetCustomColour({10, 20, 30});
    keyboard->DarkenAllLeds();
    keyboard->PaintButton(0);  // not the custom effect: nothing
    Idle();
    const int slot = keyboard->Model().CustomSlot();
    EXPECT_EQ(keyboard->Model().Layout(slot)->at(0), 0);

    keyboard->SetLightMode(8);
    keyboard->PaintButton(0);    // Esc, LED 0
    keyboard->PaintButton(16);   // a gap: no LED
    keyboard->PaintButton(126);  // not a button
    Idle();
    CustomLayout painted = *keyboard->Model().Layout(slot);
    EXPECT_EQ(painted[0], 10);
    EXPECT_EQ(painted[1], 20);
    EXPECT_EQ(painted[2], 30);
    EXPECT_EQ(std::count(painted.begin(), painted.end(), 0), 378 - 3);

    // All bright: the black keys take the painting colour, the painted one stays.
    keyboard->SetCustomColour({5, 5, 5});
    keyboard->LightAllLeds();
    Idle();
    painted = *keyboard->Model().Layout(slot);
    EXPECT_EQ(painted[0], 10);
    EXPECT_EQ(painted[3], 5);

    // The light profile (1958 bytes) holds the layout; selecting it again brings it back.
    keyboard->Flush();
    Idle();
    const int selected = store.StoredSelection(DeviceKind::Keyboard, ProfileFamily::Light);
    ASSERT_GE(selected, 0);
    KeyboardModel fromFile;
    ASSERT_TRUE(store.LoadProfile(DeviceKind::Keyboard, ProfileFamily::Light, selected, fromFile) ==
                ProfileReadResult::Ok);
    EXPECT_EQ(fromFile.BuildLightPayload().size(), kKeyboardLightPayloadSize);
    EXPECT_EQ(*fromFile.Layout(slot), painted);
    EXPECT_EQ(fromFile.Light().mode, 8);
    keyboard->SetCustomSlot(7);  // no such layout: ignored
    Idle();
    EXPECT_EQ(keyboard->Model().CustomSlot(), slot);

    // Another profile (the shipped default's layouts) in between, then this one again.
    ASSERT_TRUE(store.AddProfile(DeviceKind::Keyboard, ProfileFamily::Light).ok());
    const int other = store.StoredSelection(DeviceKind::Keyboard, ProfileFamily::Light);
    ASSERT_NE(other, selected);
    keyboard->SelectProfile(ProfileFamily::Light, other);
    Idle();
    EXPECT_NE(*keyboard->Model().Layout(slot), painted);
    keyboard->SelectProfile(ProfileFamily::Light, selected);
    Idle();
    EXPECT_EQ(*keyboard->Model().Layout(slot), painted);
    EXPECT_EQ(keyboard->Model().Light().mode, 8);
}

TEST_F(LightControllers, KeysSavedToTheKeyboardAndReadBack) {
    Plug();
    const int key = 5;
    keyboard->AssignKey(key, {0x14, 200, 3});
    keyboard->AssignKey(keyboard->Model().KeyCount(), {0x14, 1, 1});  // no such key
    Idle();
    EXPECT_EQ(keyboard->Model().KeyAt(0, key), (KeyAssignment{0x14, 200, 3}));
    EXPECT_EQ(keyboard->SaveKeyPageNow(), 1);
    const auto memory = simKeyboard.KeyMemory();
    EXPECT_EQ(memory[3 * key], 0x14);
    EXPECT_EQ(memory[3 * key + 1], 200);
    // The block is the keyboard's keys, not more.
    EXPECT_EQ(keyboard->Session().BlockLength(), keyboard->Model().KeyCount() * 3);
    keyboard->RestoreKeyDefault(key);
    Idle();
    EXPECT_EQ(keyboard->Model().KeyAt(0, key), keyboard->Model().FactoryAt(key));
    keyboard->ReadAll();
    Idle();
    EXPECT_EQ(keyboard->Model().KeyAt(0, key), (KeyAssignment{0x14, 200, 3}));
    // The key and device profiles hold what was sent.
    KeyboardModel fromFile;
    const int selected = store.StoredSelection(DeviceKind::Keyboard, ProfileFamily::Key);
    ASSERT_TRUE(store.LoadProfile(DeviceKind::Keyboard, ProfileFamily::Key, selected, fromFile) ==
                ProfileReadResult::Ok);
    EXPECT_EQ(fromFile.KeyAt(0, key), (KeyAssignment{0x14, 200, 3}));
}

TEST_F(LightControllers, MousepadEditsAndTheFactoryResetWithItsReadBack) {
    Plug();
    mousepad->Session().SetLightSync(true);
    mousepad->SetLightMode(4);
    mousepad->SetLightColour({7, 8, 9}, false);
    mousepad->SetLightMode(10);  // no such effect
    Idle();
    EXPECT_EQ(mousepad->FlushNow(), 1);
    EXPECT_FALSE(mousepad->Session().LightSync());
    EXPECT_EQ(simPad.CurrentRecord()[1], 4);
    EXPECT_EQ(simPad.CurrentRecord()[6], 7);

    bus.ClearTranscript();
    mousepad->FactoryReset(milliseconds(1));
    Idle();
    EXPECT_EQ(simPad.FactoryResets(), 1);
    EXPECT_EQ(Sent(0x0D), 1u);
    EXPECT_GE(Sent(0x05), 6u);  // the five records and the index read back
    const auto record = simPad.CurrentRecord();
    EXPECT_EQ(mousepad->Model().Light(), LightSettings::From(record));
}

TEST_F(LightControllers, AbsentKeyboardAndMousepadAreNeverSpokenTo) {
    // Neither is plugged in: the look at start finds nothing and says nothing.
    keyboard->ConnectAndRead();
    mousepad->ConnectAndRead();
    Idle();
    EXPECT_FALSE(keyboard->IsConnected());
    bus.ClearTranscript();
    keyboard->SetLightMode(2);
    keyboard->SetCustomColour({1, 1, 1});
    keyboard->AssignKey(0, {0x14, 1, 1});
    mousepad->SetLightMode(2);
    mousepad->FactoryReset(milliseconds(1));
    Idle();
    EXPECT_EQ(keyboard->SaveKeyPageNow(), 0);
    keyboard->FlushNow();
    mousepad->FlushNow();
    EXPECT_TRUE(bus.Transcript().empty());
    EXPECT_EQ(simPad.FactoryResets(), 0);
    EXPECT_EQ(keyboard->Model().Light().mode, 2);
}

}  // namespace
}  // namespace vq::test
