// The simulated keyboard and mousepad as devices: their reads, writes, light frames,
// notifications and factory reset.

#include <gtest/gtest.h>

#include "core/device/device_search.h"
#include "core/device/device_session.h"
#include "core/keyboard/keyboard_defaults.h"
#include "core/keyboard/keyboard_device.h"
#include "sim/sim_peripheral.h"
#include "support/sim_fixture.h"

namespace vq::test {
namespace {

class SimPeripherals : public ::testing::Test {
  protected:
    SimPeripherals() {
        bus.SetTiming({std::chrono::microseconds{0}, std::chrono::microseconds{0}});
    }

    std::unique_ptr<DeviceSession> Connect(DeviceKind kind) {
        auto session = std::make_unique<DeviceSession>(&bus, FastTiming());
        session->SetIdentity(kind);
        std::lock_guard lock(session->IoLock());
        EXPECT_EQ(ConnectConfigCollection(*session), SearchResult::Connected);
        return session;
    }
    // Command codes written to the configuration collections since the last clear.
    std::vector<int> Commands() const {
        std::vector<int> out;
        for (const auto& e : bus.Transcript())
            if (e.direction == TraceDirection::ToDevice && e.usagePage == kConfigUsagePage)
                out.push_back(e.bytes[3]);
        return out;
    }

    sim::VirtualHidBus bus;
    ReadBackObserver observer;
};

TEST_F(SimPeripherals, KeyboardFullReadTakesItsKeyCountAndBlocks) {
    sim::SimKeyboard keyboard(bus);
    keyboard.Plug();
    auto session = Connect(DeviceKind::Keyboard);
    KeyboardModel model;
    ASSERT_EQ(ReadKeyboard(*session, model, observer), ReadBackResult::Done);
    EXPECT_EQ(model.KeyCount(), DefaultKeyboardKeyCount());
    EXPECT_EQ(session->BlockLength(), DefaultKeyboardKeyCount() * 3);
    EXPECT_EQ(model.FactoryBlock(), DefaultKeyboardKeyLayer());
    EXPECT_EQ(model.KeyLayer(0), DefaultKeyboardKeyLayer());
    EXPECT_EQ(keyboard.Info()[6], 32);
}

TEST_F(SimPeripherals, KeyboardWith171KeysStopsBeforeTheBlocks) {
    sim::SimKeyboard keyboard(bus, {.keyCount = 171});
    keyboard.Plug();
    auto session = Connect(DeviceKind::Keyboard);
    bus.ClearTranscript();
    KeyboardModel model;
    EXPECT_EQ(ReadKeyboard(*session, model, observer), ReadBackResult::BlockRefused);
    EXPECT_EQ(Commands(), (std::vector<int>{0x01, 0x03}));  // Begin, ReadInfo; no End
}

TEST_F(SimPeripherals, KeyAssignmentWrittenIsReadBack) {
    sim::SimKeyboard keyboard(bus);
    keyboard.Plug();
    auto session = Connect(DeviceKind::Keyboard);
    ASSERT_TRUE(session->SetBlockLength(static_cast<uint16_t>(DefaultKeyboardKeyCount() * 3)));
    KeyboardKeyLayer layer = DefaultKeyboardKeyLayer();
    KeyAssignment{0x20, 0, 0x58}.StoreAt(layer, 7);
    ASSERT_EQ(session->WriteIndexedBlock(layer, 0), kResultSuccess);
    KeyboardKeyLayer back{};
    ASSERT_EQ(session->ReadIndexedBlock(back, 0), kResultSuccess);
    EXPECT_EQ(KeyAssignment::At(back, 7), (KeyAssignment{0x20, 0, 0x58}));
    EXPECT_EQ(back, layer);
    // The factory block is never written.
    EXPECT_EQ(KeyAssignment::At(keyboard.FactoryBlock(), 7),
              KeyAssignment::At(DefaultKeyboardKeyLayer(), 7));
}

TEST_F(SimPeripherals, KeyboardRecordFlushAndTheUsersChangeWithItsNotification) {
    sim::SimKeyboard keyboard(bus);
    keyboard.Plug();
    auto session = Connect(DeviceKind::Keyboard);
    LightRecord live;
    live.SetLight({3, 2, 1, 0, 0, {9, 8, 7}});
    ASSERT_EQ(session->WriteParams(live.WireBytes(), 0), kResultSuccess);
    EXPECT_EQ(keyboard.CurrentRecord()[1], 3);
    EXPECT_EQ(keyboard.CurrentRecord()[6], 9);
    EXPECT_EQ(keyboard.CurrentRecord()[0], 0);  // the index byte is the keyboard's

    HidDevice events(&bus);
    ASSERT_EQ(OpenEventCollection(events, 0x0C45, 0x6556), SearchResult::Connected);
    keyboard.PressLightKey();
    uint8_t report[8] = {};
    size_t got = 0;
    ASSERT_EQ(events.ReadReport(sizeof report, &got, report, 200), 1);
    EXPECT_EQ(events.FirstInputUsage({report, got}), 0x0401);
    KeyboardModel model;
    ASSERT_EQ(ReloadKeyboardRecord(*session, model, observer), ReadBackResult::Done);
    EXPECT_EQ(model.Light().mode, 4);
    EXPECT_EQ(model.Light().colour, (Rgb{9, 8, 7}));
}

TEST_F(SimPeripherals, LightFramesAreAssembledAndOnlyTheNewestKept) {
    sim::SimKeyboard keyboard(bus);
    keyboard.Plug();
    auto session = Connect(DeviceKind::Keyboard);
    std::vector<uint8_t> frame(378);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>(i * 7);
    bus.ClearTranscript();
    ASSERT_EQ(session->WriteLightFrame(frame), kResultSuccess);
    EXPECT_EQ(Commands(), std::vector<int>(7, 0x12));
    ASSERT_EQ(keyboard.LightFrames().size(), 1u);
    EXPECT_EQ(keyboard.LightFrames()[0], frame);
    for (int i = 0; i < 70; ++i) {
        frame[0] = static_cast<uint8_t>(i);
        ASSERT_EQ(session->WriteLightFrame(frame), kResultSuccess);
    }
    EXPECT_EQ(keyboard.LightFrameCount(), 71u);
    ASSERT_EQ(keyboard.LightFrames().size(), sim::SimPeripheral::kKeptFrames);
    EXPECT_EQ(keyboard.LightFrames().back()[0], 69);
    // A refused light frame leaves the link up.
    keyboard.FailRequest(2, 0xFE);
    EXPECT_EQ(session->WriteLightFrame(frame), kResultRefusedFE);
    EXPECT_TRUE(session->IsConnected());
}

TEST_F(SimPeripherals, MousepadReadAndFactoryReset) {
    sim::SimMousepad pad(bus);
    pad.Plug();
    EXPECT_TRUE(pad.EventPath().empty());
    auto session = Connect(DeviceKind::Mousepad);
    MousepadModel factory;
    ApplyMousepadDefaults(factory);
    MousepadModel model;
    ASSERT_EQ(ReadMousepad(*session, model, observer), ReadBackResult::Done);
    EXPECT_EQ(model.Light(), factory.Light());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ((*model.StoredRecord(i))[0], i);

    LightRecord changed = model.Record();
    changed.SetLight({8, 1, 1, 1, 1, {1, 1, 1}});
    ASSERT_EQ(session->WriteParams(changed.WireBytes(), 0), kResultSuccess);
    ASSERT_EQ(pad.CurrentRecord()[1], 8);
    EXPECT_EQ(session->FactoryReset(), kResultSuccess);
    EXPECT_EQ(pad.FactoryResets(), 1);
    EXPECT_EQ(pad.CurrentRecord()[1], factory.Light().mode);
    // No scripts on the pad.
    EXPECT_EQ(session->WriteScriptData(std::vector<uint8_t>(4, 1)), kResultRefusedFF);
}

TEST_F(SimPeripherals, AllThreeDevicesShareOneBus) {
    sim::SimKeyboard keyboard(bus);
    sim::SimMousepad pad(bus);
    keyboard.Plug();
    pad.Plug();
    HidDeviceList list(&bus);
    ASSERT_TRUE(list.Enumerate());
    EXPECT_EQ(list.Count(), 3u);  // the keyboard's two collections and the pad's one
    keyboard.Unplug();
    auto session = std::make_unique<DeviceSession>(&bus, FastTiming());
    session->SetIdentity(DeviceKind::Keyboard);
    std::lock_guard lock(session->IoLock());
    EXPECT_EQ(ConnectConfigCollection(*session), SearchResult::NotFound);
}

}  // namespace
}  // namespace vq::test

namespace vq::test {
namespace {

TEST_F(SimPeripherals, MousepadResetRestoresTheFactoryRecordAndReadsItBack) {
    sim::SimMousepad pad(bus);
    pad.Plug();
    auto session = Connect(DeviceKind::Mousepad);
    MousepadModel model;
    ASSERT_EQ(ReadMousepad(*session, model, observer), ReadBackResult::Done);
    const LightSettings factory = model.Light();
    LightRecord changed = model.Record();
    changed.SetLight({6, 0, 4, 0, 0, {1, 2, 3}});
    ASSERT_EQ(session->WriteParams(changed.WireBytes(), 0), kResultSuccess);
    model.SetRecord(changed);
    bus.ClearTranscript();
    EXPECT_EQ(ResetMousepad(*session, model, observer, std::chrono::milliseconds(0)),
              ReadBackResult::Done);
    EXPECT_EQ(model.Light(), factory);
    EXPECT_EQ(Commands().front(), 0x0D);
    EXPECT_EQ(Commands()[1], 0x01);  // then the full read: Begin ...
    // Without the mousepad nothing is read and the model stays.
    pad.Unplug();
    session->SetConnected(false);
    model.SetRecord(changed);
    EXPECT_EQ(ResetMousepad(*session, model, observer, std::chrono::milliseconds(0)),
              ReadBackResult::Partial);
    EXPECT_EQ(model.Light().mode, 6);
}

}  // namespace
}  // namespace vq::test
