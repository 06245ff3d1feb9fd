// The mouse controller's button edits, the key layer's save, the computer's pointer values and
// the factory reset, on the simulated mouse: what reaches the wire and the mouse's memory, what
// reaches the system, and what is saved.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "core/control/mouse_controller.h"
#include "core/device/command_report.h"
#include "core/macro/macro_file.h"
#include "core/profile/profile_store.h"
#include "support/fake_system_pointer.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

using std::chrono::milliseconds;

class EventLog : public ControllerObserver {
  public:
    void OnControllerEvent(const ControllerEvent& e) override {
        std::lock_guard lock(mutex_);
        events_.push_back(e);
    }
    std::vector<ControllerEvent> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(events_, {});
    }

  private:
    std::mutex mutex_;
    std::vector<ControllerEvent> events_;
};

class MouseButtonsTest : public SimMouseTest {
  protected:
    MouseButtonsTest() : store(data.path(), VQ_PROGRAM_DIR) {
        for (const FamilyFill& fill : store.InitProfileKind(DeviceKind::Mouse))
            EXPECT_EQ(fill.result, FamilyFillResult::Seeded);
        controller = std::make_unique<MouseController>(
            &bus, FastTiming(), &store,
            ControllerTiming{milliseconds(5), milliseconds(1), milliseconds(5), milliseconds(10),
                             milliseconds(5)});
        controller->SetObserver(&events);
        controller->SetSystemPointer(&pointer);
    }
    ~MouseButtonsTest() override {
        controller->Shutdown();
        controller->SetObserver(nullptr);
    }
    void ConnectAndRead() {
        ASSERT_EQ(controller->ConnectNow(), SearchResult::Connected);
        ASSERT_EQ(controller->ReadAllNow(), 1);
        ASSERT_TRUE(controller->WaitIdle());
        ASSERT_TRUE(controller->WaitPointerIdle());
        bus.ClearTranscript();
        events.Take();
    }
    std::vector<uint8_t> Commands() const {
        std::vector<uint8_t> out;
        for (const auto& r : Requests())
            out.push_back(r[3]);
        return out;
    }
    KeyAssignment InMouse(int layer, int button) const {
        const auto keys = mouse->KeyMemory();
        const size_t at = static_cast<size_t>(layer) * 126 + 3 * static_cast<size_t>(button);
        return {keys[at], keys[at + 1], keys[at + 2]};
    }

    TempDir data;
    ProfileStore store;
    FakeSystemPointer pointer;
    EventLog events;
    std::unique_ptr<MouseController> controller;
};

TEST_F(MouseButtonsTest, AnAssignmentStaysInMemoryUntilTheKeyLayerIsSaved) {
    ConnectAndRead();
    const KeyAssignment f5{0x20, 0, 0x3E};
    const int writes = controller->ProfileWrites();
    controller->AssignButton(4, f5);
    // Buttons outside 0-7 are refused, the layer's other records untouched.
    controller->AssignButton(8, {0x14, 1, 1});
    controller->AssignButton(-1, {0x14, 1, 1});
    ASSERT_TRUE(controller->WaitIdle());
    const MouseModel& model = controller->Model();
    EXPECT_EQ(model.ButtonAssignment(0, 4), f5);
    EXPECT_NE(model.ButtonAssignment(0, 8), (KeyAssignment{0x14, 1, 1}));
    EXPECT_EQ(model.ButtonAssignment(0, 3), model.FactoryAssignment(3));
    EXPECT_EQ(model.ButtonAssignment(0, 5), model.FactoryAssignment(5));
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(controller->ProfileWrites(), writes);
    const auto seen = events.Take();
    ASSERT_EQ(seen.size(), 1u);  // one per stored assignment
    EXPECT_EQ(seen[0].update, ModelUpdate::ButtonAssigned);

    // The save: Begin, the layer in chunks at index 0, End; then the device profile.
    ASSERT_EQ(controller->SaveKeyLayerNow(), 1);
    const auto commands = Commands();
    ASSERT_GE(commands.size(), 3u);
    EXPECT_EQ(commands.front(), 0x01);
    EXPECT_EQ(commands.back(), 0x02);
    for (size_t i = 1; i + 1 < commands.size(); ++i)
        EXPECT_EQ(commands[i], 0x09) << i;
    EXPECT_EQ(InMouse(0, 4), f5);
    // The neighbouring records reach the mouse as they were.
    EXPECT_EQ(InMouse(0, 3), model.FactoryAssignment(3));
    EXPECT_EQ(InMouse(0, 5), model.FactoryAssignment(5));
    EXPECT_EQ(controller->ProfileWrites(), writes + 1);
    // The device profile on disk holds the layer: a fresh model loads F5 on button 4.
    MouseModel reloaded;
    const FamilyIndex devices = store.ReadIndex(DeviceKind::Mouse, ProfileFamily::Device);
    ASSERT_EQ(
        store.LoadProfile(DeviceKind::Mouse, ProfileFamily::Device, devices.selected, reloaded),
        ProfileReadResult::Ok);
    EXPECT_EQ(reloaded.ButtonAssignment(0, 4), f5);
    // The progress shows and hides around it.
    const auto progress = events.Take();
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress.front().type, ControllerEventType::Progress);
    EXPECT_EQ(progress.front().value, 0);
    EXPECT_EQ(progress.back().type, ControllerEventType::Progress);
    EXPECT_EQ(progress.back().value, -1);
}

TEST_F(MouseButtonsTest, TheOnlyLeftClickIsNeverTakenFromTheMouse) {
    ConnectAndRead();
    const KeyAssignment left = controller->Model().ButtonAssignment(0, 0);
    const KeyAssignment f5{0x20, 0, 0x3E};
    controller->AssignButton(0, f5);
    controller->RestoreButtonDefault(0);  // its factory function is the left click: no change
    ASSERT_TRUE(controller->WaitIdle());
    EXPECT_EQ(controller->Model().ButtonAssignment(0, 0), left);
    auto seen = events.Take();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front().type, ControllerEventType::Failed);
    EXPECT_EQ(seen.front().textId, "message_text_6");

    // With a second left click the first may go, and then the second is the only one.
    controller->AssignButton(3, left);
    controller->AssignButton(0, f5);
    controller->RestoreButtonDefault(3);
    ASSERT_TRUE(controller->WaitIdle());
    EXPECT_EQ(controller->Model().ButtonAssignment(0, 0), f5);
    EXPECT_EQ(controller->Model().ButtonAssignment(0, 3), left);
    seen = events.Take();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].type, ControllerEventType::Failed);
    EXPECT_TRUE(Requests().empty());
}

TEST_F(MouseButtonsTest, TheLayerOfTheMouseSlotIsTheOneEditedAndSent) {
    ConnectAndRead();
    controller->SelectSlot(2);
    ASSERT_TRUE(controller->WaitIdle());
    ASSERT_EQ(controller->Model().ActiveLayer(), 2);
    const KeyAssignment fire{0x14, 7, 9};
    controller->AssignButton(6, fire);
    ASSERT_TRUE(controller->WaitIdle());
    EXPECT_EQ(controller->Model().ButtonAssignment(2, 6), fire);
    EXPECT_NE(controller->Model().ButtonAssignment(0, 6), fire);
    bus.ClearTranscript();
    ASSERT_EQ(controller->SaveKeyLayerNow(), 1);
    // The layer's image goes to its place in the key memory: from 2 × 126 on.
    std::vector<unsigned> addresses;
    for (const auto& r : Requests())
        if (r[3] == 0x09) addresses.push_back(r[5] | (r[6] << 8));
    ASSERT_FALSE(addresses.empty());
    EXPECT_EQ(addresses.front(), 2u * 126);
    EXPECT_LT(addresses.back(), 2u * 126 + 512);
    EXPECT_EQ(InMouse(2, 6), fire);

    // The factory function comes back with the restore.
    controller->RestoreButtonDefault(6);
    ASSERT_TRUE(controller->WaitIdle());
    EXPECT_EQ(controller->Model().ButtonAssignment(2, 6), controller->Model().FactoryAssignment(6));
}

TEST_F(MouseButtonsTest, ASaveTheMouseDoesNotTakeIsAFailureAndAnAbsentMouseGetsNothing) {
    ConnectAndRead();
    mouse->FailRequest(2, 0xFF);  // the first chunk of the layer
    EXPECT_EQ(controller->SaveKeyLayerNow(), -102);
    bool failed = false;
    for (const ControllerEvent& e : events.Take())
        failed |= e.type == ControllerEventType::Failed;
    EXPECT_TRUE(failed);
    mouse->Unplug();
    controller->Session().SetConnected(false);
    bus.ClearTranscript();
    EXPECT_EQ(controller->SaveKeyLayerNow(), 0);
    EXPECT_TRUE(Requests().empty());
}

std::vector<MacroAction> KeyPresses(int n) {
    std::vector<MacroAction> m;
    for (int i = 0; i < n; ++i) {
        MacroAction a;
        a.SetDelayMs(20);
        a.type = 0x8A;
        a.code = 0x04;
        a.down = 1;
        a.label = "keyboard_key_A";
        m.push_back(a);
    }
    return m;
}

TEST_F(MouseButtonsTest, TheKeyPageSaveSendsTheMacrosBeforeTheLayerThatNamesThem) {
    ConnectAndRead();
    const auto folder = store.KindFolder(DeviceKind::Mouse);
    ASSERT_TRUE(folder);
    MacroLibrary library(DeviceKind::Mouse, *folder);
    const std::vector<std::string> names = {"burst"};
    ASSERT_EQ(library.WriteMacro("burst", KeyPresses(10)), MacroResult::Ok);
    ASSERT_EQ(library.WriteNames(names), MacroResult::Ok);
    controller->AssignButton(1, {0x70, 0, 0});
    ASSERT_TRUE(controller->WaitIdle());
    ASSERT_EQ(controller->SaveKeyPageNow(), 1);
    const auto commands = Commands();
    const auto macro = std::find(commands.begin(), commands.end(), uint8_t{0x15});
    const auto layer = std::find(commands.begin(), commands.end(), uint8_t{0x09});
    ASSERT_NE(macro, commands.end());
    ASSERT_NE(layer, commands.end());
    EXPECT_LT(macro, layer);
    EXPECT_EQ(InMouse(0, 1), (KeyAssignment{0x70, 0, 0}));
    events.Take();

    // A library the mouse cannot hold: nothing of it and no layer go out, and the user is told
    // by how much it is too long.
    ASSERT_EQ(library.WriteMacro("burst", KeyPresses(1100)), MacroResult::Ok);
    controller->AssignButton(1, {0x70, 0, 1});
    ASSERT_TRUE(controller->WaitIdle());
    bus.ClearTranscript();
    EXPECT_EQ(controller->SaveKeyPageNow(), 0);
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(InMouse(0, 1), (KeyAssignment{0x70, 0, 0}));
    bool told = false;
    for (const ControllerEvent& e : events.Take())
        if (e.type == ControllerEventType::Failed) {
            told = e.textId == "message_text_16" && e.value > 0;
        }
    EXPECT_TRUE(told);
}

TEST_F(MouseButtonsTest, PointerValuesAreLimitedStoredAppliedInOrderAndNeverSentToTheMouse) {
    ConnectAndRead();
    const int writes = controller->ProfileWrites();
    controller->SetPointerSpeed(25);
    ASSERT_TRUE(controller->WaitIdle());
    ASSERT_TRUE(controller->WaitPointerIdle());
    EXPECT_EQ(controller->Model().PointerSpeed(), 20);
    EXPECT_EQ(pointer.CurrentSpeed(), 20);
    controller->SetPointerSpeed(0);
    ASSERT_TRUE(controller->WaitIdle());
    ASSERT_TRUE(controller->WaitPointerIdle());
    EXPECT_EQ(pointer.CurrentSpeed(), 1);
    // A burst: the system ends with the last value.
    for (int s = 2; s <= 20; s += 2)
        controller->SetPointerSpeed(s);
    for (int l = 1; l <= 9; ++l)
        controller->SetWheelLines(l);
    ASSERT_TRUE(controller->WaitIdle());
    ASSERT_TRUE(controller->WaitPointerIdle());
    EXPECT_EQ(pointer.CurrentSpeed(), 20);
    EXPECT_EQ(pointer.CurrentLines(), 9);
    EXPECT_EQ(controller->Model().WheelLines(), 9);
    // Applies happen in the order they were set.
    const auto speeds = pointer.Speeds();
    EXPECT_TRUE(std::is_sorted(speeds.begin() + 2, speeds.end()));
    // Nothing went to the mouse; the light and device profiles were saved.
    EXPECT_TRUE(Requests().empty());
    EXPECT_GE(controller->ProfileWrites() - writes, 2);
    // The light profile carries both values.
    MouseModel reloaded;
    const FamilyIndex lights = store.ReadIndex(DeviceKind::Mouse, ProfileFamily::Light);
    ASSERT_EQ(store.LoadProfile(DeviceKind::Mouse, ProfileFamily::Light, lights.selected, reloaded),
              ProfileReadResult::Ok);
    EXPECT_EQ(reloaded.PointerSpeed(), 20);
    EXPECT_EQ(reloaded.WheelLines(), 9);
}

TEST_F(MouseButtonsTest, ASystemThatCannotSetAValueNeverGetsIt) {
    ConnectAndRead();
    pointer.canSpeed = false;
    controller->SetPointerSpeed(14);
    controller->SetWheelLines(7);
    ASSERT_TRUE(controller->WaitIdle());
    ASSERT_TRUE(controller->WaitPointerIdle());
    EXPECT_TRUE(pointer.Speeds().empty());
    EXPECT_EQ(pointer.Wheel(), std::vector<int>{7});
    // The model keeps the value for the profiles.
    EXPECT_EQ(controller->Model().PointerSpeed(), 14);
}

TEST_F(MouseButtonsTest, AProfileSelectionAppliesItsPointerValues) {
    ConnectAndRead();
    // A light profile with speed 14 and 6 lines.
    MouseModel source;
    source.SetPointerSpeed(14);
    source.SetWheelLines(6);
    const FamilyIndex lights = store.ReadIndex(DeviceKind::Mouse, ProfileFamily::Light);
    ASSERT_EQ(store.SaveSelectedProfile(DeviceKind::Mouse, ProfileFamily::Light, source),
              SaveResult::Saved);
    controller->SelectProfile(ProfileFamily::Light, lights.selected);
    ASSERT_TRUE(controller->WaitIdle());
    ASSERT_TRUE(controller->WaitPointerIdle());
    EXPECT_EQ(pointer.CurrentSpeed(), 14);
    EXPECT_EQ(pointer.CurrentLines(), 6);
    // A device profile takes the system's speed, and gives it back unchanged.
    pointer.SetSpeed(8);
    const FamilyIndex devices = store.ReadIndex(DeviceKind::Mouse, ProfileFamily::Device);
    controller->SelectProfile(ProfileFamily::Device, devices.selected);
    ASSERT_TRUE(controller->WaitIdle());
    ASSERT_TRUE(controller->WaitPointerIdle());
    EXPECT_EQ(controller->Model().PointerSpeed(), 8);
    EXPECT_EQ(pointer.CurrentSpeed(), 8);
}

TEST_F(MouseButtonsTest, AFactoryResetResetsTheSystemAndTheMouseAndReadsTheMouseBack) {
    ConnectAndRead();
    controller->SetPointerSpeed(18);
    controller->SetWheelLines(12);
    controller->AssignButton(2, {0x14, 1, 2});
    ASSERT_TRUE(controller->WaitIdle());
    ASSERT_EQ(controller->SaveKeyLayerNow(), 1);
    // The mouse's own record moves away from its defaults (as its buttons would do).
    mouse->SetParamByte(MouseRecord::kLightMode, 3);
    ASSERT_EQ(mouse->CurrentRecord()[MouseRecord::kLightMode], 3);
    ASSERT_EQ(InMouse(0, 2), (KeyAssignment{0x14, 1, 2}));
    bus.ClearTranscript();

    ASSERT_EQ(controller->FactoryResetNow(), 1);
    ASSERT_TRUE(controller->WaitIdle());
    ASSERT_TRUE(controller->WaitPointerIdle());
    // The reset command went out, before any read.
    const auto commands = Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.front(), 0x0D);
    // The system has the usual values; the model keeps its own for the profiles.
    EXPECT_EQ(pointer.CurrentSpeed(), 10);
    EXPECT_EQ(pointer.CurrentLines(), 3);
    EXPECT_EQ(controller->Model().PointerSpeed(), 18);
    EXPECT_EQ(controller->Model().WheelLines(), 12);
    // The page's model is what the mouse now holds.
    EXPECT_EQ(controller->Model().ButtonAssignment(0, 2), InMouse(0, 2));
    EXPECT_EQ(controller->Model().ButtonAssignment(0, 2), controller->Model().FactoryAssignment(2));
    const MouseRecord live = controller->Model().Record();
    const auto inMouse = mouse->CurrentRecord();
    EXPECT_EQ(live.lightMode(), inMouse[MouseRecord::kLightMode]);
    EXPECT_EQ(live.StageSteps(0), inMouse[15] | (inMouse[16] << 8));
    bool reset = false;
    for (const ControllerEvent& e : events.Take())
        reset |= e.type == ControllerEventType::ModelChanged && e.update == ModelUpdate::Reset;
    EXPECT_TRUE(reset);
}

// The window gives up its system pointer when it goes: an apply that is inside the old one at
// that moment must end before the window may destroy it.
TEST(PointerApplier, ReplacingTheTargetWaitsForTheApplyInsideIt) {
    class SlowWheel : public FakeSystemPointer {
      public:
        bool SetWheelLines(int count) override {
            entered.store(true);
            while (!release.load())
                std::this_thread::yield();
            FakeSystemPointer::SetWheelLines(count);
            left.store(true);
            return true;
        }
        std::atomic<bool> entered{false};
        std::atomic<bool> release{false};
        std::atomic<bool> left{false};
    };
    SlowWheel old;
    PointerApplier applier(&old);
    applier.ApplyWheelLines(5);
    while (!old.entered.load())
        std::this_thread::yield();
    std::atomic<bool> replaced{false};
    bool leftBeforeReplaced = false;
    std::thread window([&] {
        applier.SetTarget(nullptr);
        leftBeforeReplaced = old.left.load();
        replaced.store(true);
    });
    // However long the apply takes, the window waits for it.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(replaced.load());
    old.release.store(true);
    window.join();
    EXPECT_TRUE(leftBeforeReplaced);
    EXPECT_EQ(old.Wheel(), std::vector<int>{5});
    // Nothing reaches the old target any more.
    applier.ApplyWheelLines(6);
    ASSERT_TRUE(applier.WaitIdle());
    EXPECT_EQ(old.Wheel(), std::vector<int>{5});
}

}  // namespace
}  // namespace vq::test
