// The mouse model: its payloads, and its device operations on the wire of the simulated mouse.

#include "core/mouse/mouse_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>

#include "core/device/command_report.h"
#include "core/mouse/mouse_device.h"
#include "support/sim_fixture.h"

namespace vq::test {
namespace {

using Bytes = std::vector<uint8_t>;

uint16_t Address(const Bytes& r) {
    return static_cast<uint16_t>(r[5] | (r[6] << 8));
}

class RecordingObserver : public MouseModelObserver {
  public:
    void SaveSelectedLightProfile() override { saves.push_back("light"); }
    void SaveSelectedDeviceProfile() override { saves.push_back("device"); }
    uint8_t SystemPointerSpeed() override { return systemSpeed; }
    void MouseSettingsReplaced(MouseUpdate what) override { updates.push_back(what); }

    std::vector<std::string> saves;
    std::vector<MouseUpdate> updates;
    uint8_t systemSpeed = 12;
};

MouseKeyLayer Pattern(uint8_t seed) {
    MouseKeyLayer layer;
    std::iota(layer.begin(), layer.end(), seed);
    return layer;
}

// ---- payloads -----------------------------------------------------------------------------

class MousePayloads : public ::testing::Test {
  protected:
    MousePayloads() : model(&observer) {}
    RecordingObserver observer;
    MouseModel model;
};

TEST_F(MousePayloads, DevicePayloadIsKeyLayerZeroThenRecordZeroWithWheelLines) {
    model.SetKeyLayer(0, Pattern(1));
    model.SetKeyLayer(1, Pattern(100));
    MouseRecord r = MouseRecord::FromBytes(DefaultMouseRecord(0));
    r.SetBrightness(4);
    model.SetRecord(r);
    model.SetWheelLines(7);
    model.SetPointerSpeed(18);
    const Bytes payload = model.BuildDevicePayload();
    ASSERT_EQ(payload.size(), 576u);
    EXPECT_TRUE(std::equal(payload.begin(), payload.begin() + 512, Pattern(1).begin()));
    EXPECT_TRUE(std::equal(r.bytes.begin(), r.bytes.end(), payload.begin() + 512));
    EXPECT_EQ(payload[566], 7);  // stored byte 54: wheel lines; no pointer speed anywhere
    EXPECT_EQ(payload[567], 0);
    // Building also refreshed stored record 0 from the live record.
    EXPECT_EQ((*model.StoredRecord(0))[MouseRecord::kBrightness], 4);
}

TEST_F(MousePayloads, DeviceLoadTakesThePointerSpeedFromTheSystemAndMendsZeroes) {
    Bytes payload(576, 0);
    payload[512 + MouseRecord::kLightMode] = 5;
    payload[512 + 54] = 0;   // no wheel lines
    payload[512 + 55] = 17;  // whatever the file holds here is not a pointer speed
    payload[3] = 0x13;       // button 1's record
    observer.systemSpeed = 6;
    ASSERT_TRUE(model.LoadDevicePayload(payload));
    EXPECT_EQ(model.WheelLines(), 1);
    EXPECT_EQ(model.PointerSpeed(), 6);
    EXPECT_EQ(model.Record().lightMode(), 5);
    EXPECT_EQ(model.ButtonAssignment(0, 1).type, 0x13);

    // The system value could not be read: the speed the model has (from a light profile) stays,
    // so that saving the light profile afterwards keeps the user's value.
    observer.systemSpeed = 0;
    payload[512 + 54] = 9;
    ASSERT_TRUE(model.LoadDevicePayload(payload));
    EXPECT_EQ(model.PointerSpeed(), 6);
    EXPECT_EQ(model.WheelLines(), 9);
    EXPECT_EQ(model.BuildLightPayload()[54], 6);
}

TEST_F(MousePayloads, LightPayloadCarriesPointerSpeedAndWheelLines) {
    Bytes payload(64, 0);
    payload[MouseRecord::kLightRed] = 0xAB;
    payload[54] = 10;
    payload[55] = 3;
    ASSERT_TRUE(model.LoadLightPayload(payload));
    EXPECT_EQ(model.PointerSpeed(), 10);
    EXPECT_EQ(model.WheelLines(), 3);
    EXPECT_EQ(model.Record().lightColor().red, 0xAB);

    model.SetPointerSpeed(14);
    model.SetWheelLines(5);
    const Bytes built = model.BuildLightPayload();
    ASSERT_EQ(built.size(), 64u);
    EXPECT_EQ(built[54], 14);
    EXPECT_EQ(built[55], 5);
    EXPECT_EQ(built[MouseRecord::kLightRed], 0xAB);

    payload[54] = 0;
    payload[55] = 0;
    ASSERT_TRUE(model.LoadLightPayload(payload));
    EXPECT_EQ(model.PointerSpeed(), 1);
    EXPECT_EQ(model.WheelLines(), 1);
}

TEST_F(MousePayloads, KeyPayloadRoundTripsAndEveryLoadRefusesAWrongSize) {
    model.SetKeyLayer(0, Pattern(9));
    const Bytes key = model.BuildKeyPayload();
    MouseModel other;
    ASSERT_TRUE(other.LoadKeyPayload(key));
    EXPECT_EQ(*other.KeyLayer(0), Pattern(9));

    const MouseRecord before = model.Record();
    model.SetWheelLines(4);
    EXPECT_FALSE(model.LoadKeyPayload(Bytes(511, 0xFF)));
    EXPECT_FALSE(model.LoadLightPayload(Bytes(65, 0xFF)));
    EXPECT_FALSE(model.LoadDevicePayload(Bytes(512, 0xFF)));
    EXPECT_FALSE(model.LoadDevicePayload({}));
    EXPECT_EQ(*model.KeyLayer(0), Pattern(9));
    EXPECT_EQ(model.Record(), before);
    EXPECT_EQ(model.WheelLines(), 4);
}

TEST_F(MousePayloads, StageBytesAroundTheActiveStage) {
    MouseRecord r;
    r.SetStageSteps(3, 800 / 50);   // stage 4
    r.SetStageSteps(4, 1600 / 50);  // stage 5
    r.SetActiveStage(2);
    r.SetStageSteps(2, 320);  // stage 3 at 16000 DPI
    model.SetRecord(r);
    const Bytes light = model.BuildLightPayload();
    EXPECT_EQ(light[19], 64);
    EXPECT_EQ(light[20], 1);
    EXPECT_EQ(light[21], 16);
    EXPECT_EQ(light[22], 0);
    EXPECT_EQ(light[23], 2);
    EXPECT_EQ(light[24], 32);
    EXPECT_EQ(light[25], 0);
    EXPECT_EQ(model.Record().StageDpi(4), 1600);
}

TEST_F(MousePayloads, ASlotByteThatIsNoSlotNeverSelectsALayerOrRecord) {
    Bytes payload(64, 0);
    payload[0] = 9;
    model.SetKeyLayer(0, Pattern(3));
    ASSERT_TRUE(model.LoadLightPayload(payload));
    EXPECT_EQ(model.Record().slot(), 9);  // carried as the file had it
    EXPECT_EQ(model.ActiveLayer(), 0);
    for (int s = 1; s < kMouseSlots; ++s)
        model.StoreLiveRecordAt(s - 1);
    model.StoreLiveRecord();  // slot 9: kept nowhere
    EXPECT_FALSE(model.StoredRecord(9));
    EXPECT_FALSE(model.KeyLayer(5));
    EXPECT_FALSE(model.KeyLayer(-1));
    EXPECT_FALSE(model.SetButtonAssignment(5, 0, {1, 2, 3}));
    EXPECT_FALSE(model.SetButtonAssignment(0, 171, {1, 2, 3}));  // past the 512 bytes
    EXPECT_EQ(model.ButtonAssignment(7, 0), KeyAssignment{});
}

TEST(MouseSlotControls, OnlyTheFiveSlotNamesSelectASlot) {
    EXPECT_EQ(MouseSlotFromControlName("ms_profile_0"), 0);
    EXPECT_EQ(MouseSlotFromControlName("ms_profile_4"), 4);
    for (const char* name : {"ms_profile_5", "ms_profile_-1", "ms_profile_", "ms_profile_1x",
                             "ms_profile_99999999999", "kb_profile_1", "ms_profile_ 1"})
        EXPECT_FALSE(MouseSlotFromControlName(name)) << name;
}

TEST(MouseModelThreads, ALightReaderNeverSeesAHalfWrittenColour) {
    MouseModel model;
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const MouseLightSnapshot s = model.LightSnapshot();
            if (s.color.red != s.color.green || s.color.green != s.color.blue ||
                s.stageColor[6].red != s.color.red)
                ++torn;
        }
    });
    for (int i = 0; i < 20000; ++i) {
        const auto v = static_cast<uint8_t>(i);
        model.EditRecord([v](MouseRecord& r) {
            r.SetLightColor({v, v, v});
            r.SetStageColor(6, {v, v, v});
        });
    }
    stop = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}

// ---- device operations --------------------------------------------------------------------

class MouseDevice : public SimMouseTest {
  protected:
    void SetUp() override { Connect(); }
    RecordingObserver observer;
    MouseModel model{&observer};
};

TEST_F(MouseDevice, FlushSendsOneReportOnlyWhenMarked) {
    EXPECT_FALSE(FlushMouseRecord(*session, model));
    EXPECT_TRUE(Requests().empty());

    MouseRecord r = MouseRecord::FromBytes(DefaultMouseRecord(0));
    r.SetStageSteps(3, 16);
    r.SetStageSteps(4, 32);
    r.SetActiveStage(4);
    r.SetLastMode(0xEE);
    model.SetRecord(r);
    model.MarkMouseChanged(true);
    EXPECT_EQ(observer.saves, (std::vector<std::string>{"light", "device"}));
    ASSERT_EQ(FlushMouseRecord(*session, model), kResultSuccess);
    EXPECT_FALSE(model.IsDirty());

    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    const Bytes& q = requests[0];
    EXPECT_EQ(q[3], 0x06);
    EXPECT_EQ(q[4], 56);
    EXPECT_EQ(Address(q), 0);
    EXPECT_TRUE(std::equal(r.bytes.begin(), r.bytes.end(), q.begin() + 8));
    EXPECT_EQ(q[8 + 21], 16);
    EXPECT_EQ(q[8 + 24], 32);
    EXPECT_EQ(q[8 + 54], 0);
    EXPECT_EQ(q[8 + 55], 0);
    EXPECT_EQ(mouse->CurrentRecord()[53], 0xEE);  // it reached the mouse's current slot

    bus.ClearTranscript();
    EXPECT_FALSE(FlushMouseRecord(*session, model));
    EXPECT_TRUE(Requests().empty());
}

TEST_F(MouseDevice, FlushClearsTheMarkEvenWhenTheMouseIsGone) {
    session->SetConnected(false);
    model.MarkMouseChanged(false);
    EXPECT_EQ(observer.saves, (std::vector<std::string>{"device"}));
    EXPECT_EQ(FlushMouseRecord(*session, model), kResultNoAnswer);
    EXPECT_FALSE(model.IsDirty());
}

TEST_F(MouseDevice, ReadMouseFillsTheBlocksAndTakesStoredRecordZero) {
    Bytes profile(64, 0);
    profile[0] = 3;  // a profile saved while slot 3 was in use
    profile[MouseRecord::kBrightness] = 2;
    profile[54] = 10;
    profile[55] = 3;
    model.LoadLightPayload(profile);

    ASSERT_EQ(ReadMouse(*session, model), kResultSuccess);
    EXPECT_TRUE(model.HasInfo());
    EXPECT_EQ(model.Info().bytes, mouse->Info());
    EXPECT_EQ(model.Info().SensorCode(), 0x3389);
    EXPECT_EQ(model.FactoryBlock(), mouse->FactoryBlock());
    const auto keys = mouse->KeyMemory();
    for (int n = 0; n < kMouseSlots; ++n) {
        const MouseKeyLayer layer = *model.KeyLayer(n);
        EXPECT_TRUE(std::equal(layer.begin(), layer.end(), keys.begin() + n * 126)) << n;
    }
    EXPECT_EQ(model.ButtonAssignment(0, 7), (KeyAssignment{0xA0, 2, 0}));
    EXPECT_EQ(model.Record().slot(), 0);
    EXPECT_EQ(model.Record().brightness(), 2);  // from the profile, not from the mouse
    EXPECT_EQ(observer.saves, (std::vector<std::string>{"device"}));
    EXPECT_EQ(observer.updates, (std::vector<MouseUpdate>{MouseUpdate::Read}));
    EXPECT_TRUE(model.TakeFullRefresh());
    EXPECT_FALSE(model.FullRefreshPending());

    const auto requests = Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests.front()[3], 0x01);
    EXPECT_EQ(requests.back()[3], 0x02);
}

TEST_F(MouseDevice, ASilentMouseLeavesThePreviousBlocks) {
    ASSERT_EQ(ReadMouse(*session, model), kResultSuccess);
    const MouseInfo info = model.Info();
    const MouseKeyLayer factory = model.FactoryBlock();
    model.SetKeyLayer(0, Pattern(50));
    model.SetKeyLayer(4, Pattern(60));
    observer.saves.clear();

    session->SetTiming({50, 2, 1, 0});
    mouse->DropNextRequests(1000);
    EXPECT_EQ(ReadMouse(*session, model), kResultNoAnswer);
    EXPECT_EQ(model.Info().bytes, info.bytes);
    EXPECT_EQ(model.FactoryBlock(), factory);
    EXPECT_EQ(*model.KeyLayer(0), Pattern(50));
    EXPECT_EQ(*model.KeyLayer(4), Pattern(60));
    EXPECT_TRUE(observer.saves.empty());  // the device profile keeps its layer
}

TEST_F(MouseDevice, ARefusedLayerKeepsOnlyThatLayer) {
    MouseModel fresh;
    fresh.SetKeyLayer(2, Pattern(77));
    // Requests: Begin, ReadInfo, ten chunks of the factory block, ten per layer: layer 2's
    // first chunk is request 33.
    mouse->FailRequest(33, 0xFF);
    EXPECT_EQ(ReadMouse(*session, fresh), kResultRefusedFF);
    EXPECT_EQ(*fresh.KeyLayer(2), Pattern(77));
    const auto keys = mouse->KeyMemory();
    const MouseKeyLayer layer3 = *fresh.KeyLayer(3);
    EXPECT_TRUE(std::equal(layer3.begin(), layer3.end(), keys.begin() + 3 * 126));
    EXPECT_TRUE(fresh.HasInfo());
}

TEST_F(MouseDevice, AnUnansweredInformationReadIsNotTaken) {
    session->SetTiming({50, 2, 1, 0});
    mouse->FailRequest(2, 0xFE);
    MouseModel fresh;
    EXPECT_EQ(ReadMouse(*session, fresh), kResultRefusedFE);
    EXPECT_FALSE(fresh.HasInfo());
    EXPECT_EQ(fresh.Info().SensorCode(), 0);
    EXPECT_EQ(fresh.FactoryBlock(), mouse->FactoryBlock());
}

TEST_F(MouseDevice, ReloadTakesTheMousesRecordAfterADpiPress) {
    model.SetRecord(MouseRecord::FromBytes(DefaultMouseRecord(0)));
    model.EditRecord([](MouseRecord& r) { r.SetBrightness(1); });
    const uint8_t before = mouse->CurrentRecord()[23];
    mouse->PressDpiButton();
    bus.ClearTranscript();

    ASSERT_EQ(ReloadMouseRecord(*session, model), kResultSuccess);
    EXPECT_EQ(model.Record().activeStage(), (before + 1) % 7);
    EXPECT_EQ(model.Record().brightness(), mouse->CurrentRecord()[2]);
    EXPECT_EQ(model.Record().slot(), 0);
    EXPECT_EQ((*model.StoredRecord(0))[23], (before + 1) % 7);
    EXPECT_EQ(observer.saves, (std::vector<std::string>{"light", "device"}));
    EXPECT_TRUE(model.FullRefreshPending());
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 2u);  // no Begin or End around the reads
    EXPECT_EQ(requests[0][4], 1);
    EXPECT_EQ(requests[1][4], 56);
}

TEST_F(MouseDevice, AReloadThatIsNotAnsweredKeepsTheLiveRecord) {
    MouseRecord r = MouseRecord::FromBytes(DefaultMouseRecord(2));
    r.SetBrightness(1);
    model.SetRecord(r);
    session->SetTiming({50, 2, 1, 0});
    mouse->DropNextRequests(1);
    EXPECT_EQ(ReloadMouseRecord(*session, model), kResultNoAnswer);
    EXPECT_EQ(model.Record(), r);
    EXPECT_EQ((*model.StoredRecord(2))[MouseRecord::kBrightness], 1);  // kept under its slot

    // The slot read is answered, the record read is refused: the slot stays 2.
    mouse->FailRequest(2, 0xFF);
    EXPECT_EQ(ReloadMouseRecord(*session, model), kResultRefusedFF);
    EXPECT_EQ(model.Record(), r);
    EXPECT_FALSE(model.FullRefreshPending());
    EXPECT_TRUE(observer.saves.empty());
}

TEST_F(MouseDevice, SelectingTheCurrentSlotSendsOneReadOnly) {
    model.SetRecord(MouseRecord::FromBytes(DefaultMouseRecord(0)));
    ASSERT_EQ(SelectMouseSlot(*session, model, 0), kResultSuccess);
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0][3], 0x05);
    EXPECT_EQ(requests[0][4], 1);
    EXPECT_TRUE(observer.updates.empty());
}

TEST_F(MouseDevice, SelectingAnotherSlotSwitchesAndTakesItsRecord) {
    mouse->SetParamByte(2 * 64 + MouseRecord::kBrightness, 4);  // slot 2's own record
    MouseRecord live = MouseRecord::FromBytes(DefaultMouseRecord(0));
    live.SetLightMode(6);
    model.SetRecord(live);

    ASSERT_EQ(SelectMouseSlot(*session, model, 2), kResultSuccess);
    EXPECT_EQ(mouse->CurrentSlot(), 2);
    EXPECT_EQ(model.Record().slot(), 2);
    EXPECT_EQ(model.Record().brightness(), 4);
    EXPECT_EQ(model.ActiveLayer(), 2);
    EXPECT_EQ((*model.StoredRecord(2))[MouseRecord::kBrightness], 4);
    EXPECT_EQ((*model.StoredRecord(0))[MouseRecord::kLightMode], 6);  // the slot left
    EXPECT_FALSE(model.IsDirty());
    EXPECT_TRUE(observer.saves.empty());
    EXPECT_EQ(observer.updates, (std::vector<MouseUpdate>{MouseUpdate::SlotSelected}));

    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1][3], 0x06);
    EXPECT_EQ(requests[1][4], 1);
    EXPECT_EQ(requests[1][8], 2);
    EXPECT_EQ(requests[2][3], 0x05);
    EXPECT_EQ(requests[2][4], 56);
    EXPECT_EQ(Address(requests[2]), 128);
}

TEST_F(MouseDevice, ASlotSwitchThatFailsLeavesMouseAndModelTogether) {
    const MouseRecord live = MouseRecord::FromBytes(DefaultMouseRecord(0));
    model.SetRecord(live);
    EXPECT_EQ(SelectMouseSlot(*session, model, 7), kResultNoAnswer);
    EXPECT_EQ(SelectMouseSlot(*session, model, -1), kResultNoAnswer);
    EXPECT_TRUE(Requests().empty());

    mouse->FailRequest(1, 0xFF);  // the slot read
    EXPECT_EQ(SelectMouseSlot(*session, model, 1), kResultRefusedFF);
    EXPECT_EQ(Requests().size(), 1u);
    EXPECT_FALSE(model.StoredRecord(0)->at(MouseRecord::kLightMode));  // nothing stored

    bus.ClearTranscript();
    mouse->FailRequest(2, 0xFE);  // the switch
    EXPECT_EQ(SelectMouseSlot(*session, model, 1), kResultRefusedFE);
    EXPECT_EQ(Requests().size(), 2u);  // no record read after a refused switch
    EXPECT_EQ(model.Record(), live);

    mouse->FactoryReset();
    bus.ClearTranscript();
    mouse->FailRequest(3, 0xFF);  // the record read after the switch
    EXPECT_EQ(SelectMouseSlot(*session, model, 3), kResultRefusedFF);
    EXPECT_EQ(mouse->CurrentSlot(), 0);  // switched back to where the live record belongs
    EXPECT_EQ(model.Record(), live);
    EXPECT_EQ(Requests().size(), 4u);
    EXPECT_TRUE(observer.updates.empty());
}

TEST_F(MouseDevice, KeyLayerWritesUseOnlyExistingLayers) {
    model.SetKeyLayer(1, Pattern(5));
    EXPECT_EQ(WriteMouseKeyLayer(*session, model, 5), kResultBadIndex);
    EXPECT_TRUE(Requests().empty());
    ASSERT_EQ(WriteMouseKeyLayer(*session, model, 1), kResultSuccess);
    const auto keys = mouse->KeyMemory();
    const MouseKeyLayer expected = Pattern(5);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), keys.begin() + 126));
}

}  // namespace
}  // namespace vq::test
