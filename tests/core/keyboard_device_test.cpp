// Keyboard and mousepad read-backs on the wire, with the simulated device standing in for them.

#include <gtest/gtest.h>

#include "core/keyboard/keyboard_device.h"
#include "support/sim_fixture.h"

namespace vq::test {
namespace {

struct Saves : ReadBackObserver {
    int key = 0, device = 0, light = 0, tooLarge = 0;
    void SaveSelectedKeyProfile() override { ++key; }
    void SaveSelectedDeviceProfile() override { ++device; }
    void SaveSelectedLightProfile() override { ++light; }
    void KeyTableTooLarge() override { ++tooLarge; }
};

// A simulated device that answers like the keyboard would, with `keys` keys.
class StandIn : public ::testing::Test {
  protected:
    void Plug(uint8_t keys) {
        bus.SetTiming({std::chrono::microseconds{0}, std::chrono::microseconds{0}});
        sim::SimMouseConfig config;
        config.keyCount = keys;
        device = std::make_unique<sim::SimMouse>(bus, config);
        device->Plug();
        session = std::make_unique<DeviceSession>(&bus, FastTiming());
        session->SetIdentity(DeviceKind::Mouse);  // the stand-in carries the mouse's identity
        std::lock_guard lock(session->IoLock());
        ASSERT_EQ(ConnectConfigCollection(*session), SearchResult::Connected);
        bus.ClearTranscript();
    }
    std::vector<uint8_t> Commands() const {
        std::vector<uint8_t> out;
        for (const auto& e : bus.Transcript())
            if (e.direction == TraceDirection::ToDevice) out.push_back(e.bytes[3]);
        return out;
    }
    sim::VirtualHidBus bus;
    std::unique_ptr<sim::SimMouse> device;
    std::unique_ptr<DeviceSession> session;
    Saves saves;
};

TEST_F(StandIn, KeyboardFullReadSizesTheBlockByTheKeyCount) {
    Plug(104);
    KeyboardModel model;
    EXPECT_EQ(ReadKeyboard(*session, model, saves), ReadBackResult::Done);
    EXPECT_EQ(session->BlockLength(), 312);
    // Begin, ReadInfo, 6 factory chunks (312 bytes), 6 layer chunks, End.
    std::vector<uint8_t> expected = {0x01, 0x03};
    expected.insert(expected.end(), 6, 0x07);
    expected.insert(expected.end(), 6, 0x08);
    expected.push_back(0x02);
    EXPECT_EQ(Commands(), expected);
    EXPECT_EQ(model.KeyCount(), 104);
    const auto factory = device->FactoryBlock();
    const auto read = model.FactoryBlock();
    EXPECT_TRUE(std::equal(read.begin(), read.begin() + 312, factory.begin()));
    EXPECT_EQ(saves.key, 1);
    EXPECT_EQ(saves.device, 1);
}

TEST_F(StandIn, KeyboardWithTooManyKeysStopsBeforeEnd) {
    Plug(200);  // 600 bytes
    KeyboardModel model;
    EXPECT_EQ(ReadKeyboard(*session, model, saves), ReadBackResult::BlockRefused);
    EXPECT_EQ(Commands(), (std::vector<uint8_t>{0x01, 0x03}));
    EXPECT_EQ(saves.tooLarge, 1);
    EXPECT_EQ(saves.key + saves.device, 0);
    EXPECT_EQ(session->BlockLength(), 512);
}

TEST_F(StandIn, UnansweredReadsKeepTheModelAndSaveNothing) {
    Plug(104);
    KeyboardModel model;
    KeyboardKeyLayer mine{};
    mine.fill(0x42);
    model.SetKeyLayer(0, mine);
    model.SetFactoryBlock(mine);
    device->DropNextRequests(1000);
    session->SetTiming({50, 2, 4, 0});
    EXPECT_EQ(ReadKeyboard(*session, model, saves), ReadBackResult::Partial);
    EXPECT_EQ(model.KeyLayer(0), mine);
    EXPECT_EQ(model.FactoryBlock(), mine);
    EXPECT_FALSE(model.HasInfo());
    EXPECT_EQ(saves.key + saves.device, 0);

    MousepadModel pad;
    const LightRecord before = pad.Record();
    EXPECT_EQ(ReadMousepad(*session, pad, saves), ReadBackResult::Partial);
    EXPECT_EQ(pad.Record().bytes, before.bytes);
    EXPECT_EQ(saves.light, 0);
}

TEST_F(StandIn, KeyboardLiveReadTakesSlotZerosRecord) {
    Plug(104);
    KeyboardModel model;
    LightRecord live;
    live.bytes.fill(0x11);
    live.SetIndex(2);
    model.SetRecord(live);
    EXPECT_EQ(ReloadKeyboardRecord(*session, model, saves), ReadBackResult::Done);
    // The live bytes were kept in their own stored record before the read.
    EXPECT_EQ(model.StoredRecord(2).value()[5], 0x11);
    const auto wire = device->CurrentRecord();
    const LightRecord after = model.Record();
    EXPECT_EQ(after.index(), 0);
    EXPECT_TRUE(std::equal(after.bytes.begin() + 1, after.bytes.end(), wire.begin() + 1));
    EXPECT_EQ(saves.device, 1);
    EXPECT_EQ(Commands(), (std::vector<uint8_t>{0x05, 0x05}));
}

TEST_F(StandIn, MousepadFullReadFollowsTheIndex) {
    Plug(0);
    const uint8_t three = 3;
    ASSERT_EQ(session->WriteParams({&three, 1}, 0), kResultSuccess);
    bus.ClearTranscript();
    MousepadModel pad;
    EXPECT_EQ(ReadMousepad(*session, pad, saves), ReadBackResult::Done);
    EXPECT_EQ(Commands(),
              (std::vector<uint8_t>{0x01, 0x03, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x02}));
    const LightRecord after = pad.Record();
    EXPECT_EQ(after.index(), 3);
    const auto memory = device->ParamMemory();
    EXPECT_TRUE(
        std::equal(after.bytes.begin() + 1, after.bytes.end(), memory.begin() + 3 * 64 + 1));
    EXPECT_EQ(saves.light, 1);
}

TEST(ReadBacks, NotConnectedSendsNothingAndChangesNothing) {
    sim::VirtualHidBus bus;
    DeviceSession session(&bus, FastTiming());
    session.SetIdentity(DeviceKind::Keyboard);
    KeyboardModel keyboard;
    MousepadModel pad;
    Saves saves;
    EXPECT_EQ(ReadKeyboard(session, keyboard, saves), ReadBackResult::Partial);
    EXPECT_EQ(ReloadKeyboardRecord(session, keyboard, saves), ReadBackResult::Partial);
    EXPECT_EQ(ReadMousepad(session, pad, saves), ReadBackResult::Partial);
    EXPECT_TRUE(bus.Transcript().empty());
    EXPECT_EQ(saves.key + saves.device + saves.light, 0);
}

}  // namespace
}  // namespace vq::test
