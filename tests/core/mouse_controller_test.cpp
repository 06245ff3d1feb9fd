// The mouse's controller on the simulated mouse: the arrival's wire order, the record sent back
// after a change, the coalesced profile saves counted file by file, which profile each edit
// saves, the pointer speed that only the light profile holds, shutdown, and the controller's
// own thread as the only one that reaches the device.

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <thread>

#include "core/control/mouse_controller.h"
#include "core/device/command_report.h"
#include "core/mouse/mouse_facts.h"
#include "core/profile/profile_file.h"
#include "core/profile/profile_store.h"
#include "core/util/atomic_file.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr auto kLong = std::chrono::hours(1);  // a timer that must not fire during a test

uint8_t CommandOf(const std::vector<uint8_t>& request) {
    return request[3];
}

// Counts the files the atomic writer puts in place, by file name.
class WriteCounter {
  public:
    WriteCounter() {
        SetAtomicWriteFaultHook([this](AtomicWriteStep step, const fs::path& target) {
            if (step == AtomicWriteStep::Rename) {
                std::lock_guard lock(mutex_);
                ++counts_[target.filename().string()];
            }
            return true;
        });
    }
    ~WriteCounter() { SetAtomicWriteFaultHook({}); }
    int Of(const std::string& fileName) const {
        std::lock_guard lock(mutex_);
        const auto it = counts_.find(fileName);
        return it == counts_.end() ? 0 : it->second;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        counts_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::map<std::string, int> counts_;
};

class MouseControllerTest : public SimMouseTest {
  protected:
    MouseControllerTest() : store(data.path(), VQ_PROGRAM_DIR) {
        for (const FamilyFill& fill : store.InitProfileKind(DeviceKind::Mouse))
            EXPECT_TRUE(fill.result == FamilyFillResult::Seeded) << FamilyName(fill.family);
    }

    // A controller on the store (or none) with short timers; `timing` to change them.
    void Make(bool withStore = true,
              ControllerTiming timing = {milliseconds(5), milliseconds(1), milliseconds(5),
                                         milliseconds(10), milliseconds(5)}) {
        controller = std::make_unique<MouseController>(&bus, FastTiming(),
                                                       withStore ? &store : nullptr, timing);
        ASSERT_EQ(controller->ConnectNow(), SearchResult::Connected);
        bus.ClearTranscript();
    }
    void Idle() { ASSERT_TRUE(controller->WaitIdle(milliseconds(10000))); }

    std::string FileOf(ProfileFamily family) {
        const FamilyIndex index = store.ReadIndex(DeviceKind::Mouse, family);
        EXPECT_GE(index.selected, 0);
        const auto path = store.ProfilePath(DeviceKind::Mouse, family,
                                            index.names.at(static_cast<size_t>(index.selected)));
        return path ? path->filename().string() : std::string();
    }
    std::vector<uint8_t> PayloadOf(ProfileFamily family) {
        std::vector<uint8_t> payload(PayloadSize(DeviceKind::Mouse, family), 0);
        const FamilyIndex index = store.ReadIndex(DeviceKind::Mouse, family);
        const auto path = store.ProfilePath(DeviceKind::Mouse, family,
                                            index.names.at(static_cast<size_t>(index.selected)));
        EXPECT_EQ(ReadProfileFile(*path, payload), ProfileReadResult::Ok);
        return payload;
    }
    // Changes the selected profile's file as another program run would have left it.
    void EditStoredProfile(ProfileFamily family, const std::function<void(MouseModel&)>& edit) {
        MouseModel model;
        const int selected = store.ReadIndex(DeviceKind::Mouse, family).selected;
        ASSERT_EQ(store.LoadProfile(DeviceKind::Mouse, family, selected, model),
                  ProfileReadResult::Ok);
        edit(model);
        ASSERT_EQ(store.SaveSelectedProfile(DeviceKind::Mouse, family, model), SaveResult::Saved);
    }
    MouseRecord SimRecord() const { return MouseRecord::FromBytes(mouse->CurrentRecord()); }

    TempDir data;
    ProfileStore store;
    WriteCounter writes;
    std::unique_ptr<MouseController> controller;
};

TEST_F(MouseControllerTest, ArrivalSendsTheStoredDeviceProfileBeforeTheFullRead) {
    EditStoredProfile(ProfileFamily::Device, [](MouseModel& m) {
        m.EditRecord([](MouseRecord& r) { r.SetStageSteps(2, 37); });
    });
    // As in the program: the record goes out a moment after a change, the full read later.
    Make(true, {milliseconds(30), milliseconds(1), milliseconds(5), milliseconds(10)});
    controller->OnArrived();
    Idle();

    using C = Command;
    std::vector<C> commands;
    for (const auto& request : Requests())
        commands.push_back(static_cast<C>(CommandOf(request)));
    // The profile: its record, then key layer 0 in chunks.
    size_t at = 0;
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands[at++], C::WriteParams);
    const size_t layerStart = at;
    while (at < commands.size() && commands[at] == C::WriteIndexedBlock)
        ++at;
    EXPECT_EQ(at - layerStart, 10u);  // 512 bytes in chunks of 56
    // The record marked by the selection may go out again before the read.
    while (at < commands.size() && commands[at] == C::WriteParams)
        ++at;
    std::vector<C> read = {C::Begin, C::ReadInfo};
    read.insert(read.end(), 10, C::ReadBlock);
    read.insert(read.end(), 50, C::ReadIndexedBlock);
    read.push_back(C::End);
    ASSERT_GE(commands.size(), at + read.size());
    EXPECT_EQ(std::vector<C>(commands.begin() + static_cast<std::ptrdiff_t>(at),
                             commands.begin() + static_cast<std::ptrdiff_t>(at + read.size())),
              read);
    // After the read, its full refresh sends the record back, once.
    EXPECT_EQ(std::vector<C>(commands.begin() + static_cast<std::ptrdiff_t>(at + read.size()),
                             commands.end()),
              std::vector<C>{C::WriteParams});
    // The record on the mouse is the profile's.
    EXPECT_EQ(SimRecord().StageDpi(2), 37 * MouseRecord::kDpiStep);
    EXPECT_EQ(controller->Model().Record().StageDpi(2), 37 * MouseRecord::kDpiStep);
}

TEST_F(MouseControllerTest, OneEditWritesEachProfileOnceAndABurstAtMostTwice) {
    Make();
    ASSERT_EQ(controller->ReadAllNow(), kResultSuccess);
    ASSERT_EQ(controller->ReadLiveNow(), kResultSuccess);
    Idle();
    writes.Clear();
    const int before = controller->ProfileWrites();

    controller->SetStageDpi(3, 2400);
    Idle();
    EXPECT_EQ(writes.Of(FileOf(ProfileFamily::Device)), 1);
    EXPECT_EQ(writes.Of(FileOf(ProfileFamily::Light)), 1);
    EXPECT_EQ(controller->ProfileWrites() - before, 2);
    EXPECT_EQ(SimRecord().StageDpi(2), 2400);

    writes.Clear();
    const size_t sentBefore = Requests().size();
    for (int i = 1; i <= 20; ++i)
        controller->SetStageDpi(1, 100 * i);
    Idle();
    EXPECT_GE(writes.Of(FileOf(ProfileFamily::Device)), 1);
    EXPECT_LE(writes.Of(FileOf(ProfileFamily::Device)), 2);
    EXPECT_LE(writes.Of(FileOf(ProfileFamily::Light)), 2);
    // The last value is what the mouse and the files have.
    EXPECT_EQ(SimRecord().StageDpi(0), 2000);
    const std::vector<uint8_t> device = PayloadOf(ProfileFamily::Device);
    EXPECT_EQ(MouseRecord::FromBytes(std::span(device).subspan(kMouseKeyLayerSize)).StageDpi(0),
              2000);
    EXPECT_LT(Requests().size() - sentBefore, 20u);  // the record went out coalesced too
}

TEST_F(MouseControllerTest, ARecordChangedNotificationReadsTheRecordAndSendsItBack) {
    Make(false);
    ASSERT_EQ(controller->ReadAllNow(), kResultSuccess);
    controller->FlushNow();
    bus.ClearTranscript();
    // The mouse changes its own record: an effect chosen without its seven-colour change, and a
    // lift-off height the page does not have.
    mouse->SetParamByte(MouseRecord::kLightMode, 0);
    mouse->SetParamByte(MouseRecord::kSevenColor, 0);
    mouse->SetParamByte(MouseRecord::kLiftHeight, 9);
    controller->OnDeviceEvent(DeviceEvent::MouseLiveRead);
    Idle();

    std::vector<uint8_t> commands;
    for (const auto& request : Requests())
        commands.push_back(CommandOf(request));
    EXPECT_EQ(commands,
              (std::vector<uint8_t>{uint8_t(Command::ReadParams), uint8_t(Command::ReadParams),
                                    uint8_t(Command::WriteParams)}));
    // Written back with the full refresh's re-stores.
    EXPECT_EQ(SimRecord().sevenColor(), 0xFF);
    EXPECT_EQ(SimRecord().liftHeight(), 0);
    EXPECT_EQ(controller->Model().Record().lightMode(), 0);
}

TEST_F(MouseControllerTest, ThePointerSpeedOfTheLightProfileSurvivesAnArrival) {
    EditStoredProfile(ProfileFamily::Light, [](MouseModel& m) { m.SetPointerSpeed(13); });
    Make();
    controller->LoadStoredSettings();
    controller->OnArrived();
    Idle();
    controller->SetBrightness(1);
    Idle();
    ASSERT_GE(writes.Of(FileOf(ProfileFamily::Light)), 1);
    EXPECT_EQ(PayloadOf(ProfileFamily::Light)[kStoredPointerSpeed], 13);
}

TEST_F(MouseControllerTest, EachEditSavesTheProfilesItBelongsTo) {
    Make();
    ASSERT_EQ(controller->ReadAllNow(), kResultSuccess);
    Idle();
    struct Case {
        const char* name;
        std::function<void()> edit;
        int light, device;
    };
    const Case cases[] = {
        {"right direction", [&] { controller->SetLightDirection(false); }, 1, 0},
        {"left direction", [&] { controller->SetLightDirection(true); }, 1, 1},
        {"stage colour",
         [&] {
             controller->SetStageColor(2, {1, 2, 3});
         },
         0, 1},
        {"active stage", [&] { controller->SetActiveStage(6); }, 1, 1},
        {"lift-off height", [&] { controller->SetLiftHeight(2); }, 1, 1},
    };
    for (const Case& c : cases) {
        writes.Clear();
        c.edit();
        Idle();
        EXPECT_EQ(writes.Of(FileOf(ProfileFamily::Light)), c.light) << c.name;
        EXPECT_EQ(writes.Of(FileOf(ProfileFamily::Device)), c.device) << c.name;
    }
    // And each reached its byte on the mouse.
    const MouseRecord r = SimRecord();
    EXPECT_EQ(r.lightDirection(), 1);
    EXPECT_EQ(r.StageColor(1), (Rgb{1, 2, 3}));
    EXPECT_EQ(r.activeStage(), 5);
    EXPECT_EQ(r.liftHeight(), 2);
}

TEST_F(MouseControllerTest, TypedEditsReachTheirBytes) {
    Make(false);
    ASSERT_EQ(controller->ReadAllNow(), kResultSuccess);
    ASSERT_EQ(controller->ReadLiveNow(), kResultSuccess);
    const MouseRecord before = SimRecord();
    controller->SetStageDpi(5, 5025);  // the nearest step: 5050
    controller->SetLightSpeed(3);      // shown 3: stored 1
    controller->SetReportRate(*ReportRateItem(500));
    controller->SetLightMode(4);
    controller->SetLiftHeight(1);
    ASSERT_EQ(controller->FlushNow(), kResultSuccess);
    const MouseRecord r = SimRecord();
    EXPECT_EQ(r.StageDpi(4), 5050);
    EXPECT_EQ(r.StageDpi(3), before.StageDpi(3));
    EXPECT_EQ(r.StageDpi(5), before.StageDpi(5));
    EXPECT_EQ(r.activeStage(), before.activeStage());
    EXPECT_EQ(r.lightSpeed(), 1);
    EXPECT_EQ(r.reportRate(), 2);
    EXPECT_EQ(r.lightMode(), 4);
    EXPECT_EQ(r.lastMode(), 4);
    EXPECT_EQ(r.Byte(MouseRecord::kLiftHeight), 1);
    EXPECT_EQ(r.lineAdjust(), before.lineAdjust());
}

TEST_F(MouseControllerTest, ShutdownSendsAndSavesWhatIsPendingThenIgnoresCommands) {
    Make(true, {kLong, kLong, kLong, kLong});
    ASSERT_EQ(controller->ReadAllNow(), kResultSuccess);
    ASSERT_EQ(controller->ReadLiveNow(), kResultSuccess);
    writes.Clear();
    controller->SetStageDpi(2, 1950);
    controller->Shutdown();
    EXPECT_EQ(SimRecord().StageDpi(1), 1950);
    EXPECT_EQ(writes.Of(FileOf(ProfileFamily::Device)), 1);
    EXPECT_EQ(writes.Of(FileOf(ProfileFamily::Light)), 1);

    const int requests = mouse->RequestCount();
    controller->SetStageDpi(2, 400);
    controller->ReadAll();
    controller->OnDeviceEvent(DeviceEvent::MouseFullRead);
    EXPECT_EQ(controller->FlushNow(), kResultSuccess);
    controller->Shutdown();
    EXPECT_EQ(mouse->RequestCount(), requests);
    EXPECT_EQ(SimRecord().StageDpi(1), 1950);
}

TEST_F(MouseControllerTest, OnlyTheControllersThreadReachesTheDevice) {
    Make();
    controller->Session().RefuseRequestsFrom(std::this_thread::get_id());
    uint8_t slot = 0xEE;
    EXPECT_EQ(controller->Session().ReadParams(std::span<uint8_t>(&slot, 1), 1, 0),
              kResultNoAnswer);
    EXPECT_EQ(controller->Session().RefusedRequests(), 1);

    EXPECT_EQ(controller->ReadAllNow(), kResultSuccess);
    EXPECT_EQ(controller->ReadLiveNow(), kResultSuccess);
    controller->SelectSlot(2);
    controller->SelectProfile(ProfileFamily::Device, 0);
    controller->SetStageDpi(1, 450);
    Idle();
    EXPECT_EQ(controller->FlushNow(), kResultSuccess);
    EXPECT_EQ(controller->Session().RefusedRequests(), 1);
    EXPECT_EQ(mouse->CurrentSlot(), 2);
    EXPECT_EQ(SimRecord().StageDpi(0), 450);
}

TEST_F(MouseControllerTest, AWaitingReadSaysWhichStepFailedAndWhichSlotTheMouseIsOn) {
    Make(false);
    // Begin, ReadInfo, ten chunks of the factory block, ten per layer: layer 2's first chunk is
    // request 33.
    mouse->FailRequest(33, 0xFF);
    MouseReadReport report;
    EXPECT_EQ(controller->ReadAllNow(&report), kResultRefusedFF);
    EXPECT_EQ(report.failedStep, "ReadIndexedBlock 2");

    controller->SelectSlot(3);
    Idle();
    report = {};
    EXPECT_EQ(controller->ReadLiveNow(&report), kResultSuccess);
    EXPECT_TRUE(report.failedStep.empty());
    EXPECT_EQ(report.mouseSlot, 3);

    mouse->FailRequest(2, 0xFE);  // the record after the slot
    report = {};
    EXPECT_EQ(controller->ReadLiveNow(&report), kResultRefusedFE);
    EXPECT_EQ(report.failedStep, "ReadParams");
}

TEST_F(MouseControllerTest, DiscardingLeavesTheMouseAndTheFilesAlone) {
    Make(true, {kLong, kLong, kLong, kLong});
    ASSERT_EQ(controller->ReadAllNow(), kResultSuccess);
    ASSERT_EQ(controller->ReadLiveNow(), kResultSuccess);
    controller->SetStageDpi(1, 16000);
    controller->DiscardPendingNow();
    const int requests = mouse->RequestCount();
    writes.Clear();
    controller->Shutdown();
    EXPECT_EQ(mouse->RequestCount(), requests);
    EXPECT_EQ(writes.Of(FileOf(ProfileFamily::Device)), 0);
    EXPECT_EQ(writes.Of(FileOf(ProfileFamily::Light)), 0);
    EXPECT_NE(SimRecord().StageDpi(0), 16000);
}

// ---- the facts -----------------------------------------------------------------------------

TEST(MouseFacts, ChoosingAnEffect) {
    MouseRecord r;
    r.SetSevenColor(0);
    ASSERT_TRUE(ApplyLightMode(r, 0));  // spectrum spin: its built-in colours
    EXPECT_EQ(r.sevenColor(), 0xFF);
    EXPECT_EQ(r.lastMode(), 0);
    ASSERT_TRUE(ApplyLightMode(r, 4));  // breathing keeps the seven-colour choice
    EXPECT_EQ(r.sevenColor(), 0xFF);
    EXPECT_EQ(r.lastMode(), 4);
    ASSERT_TRUE(ApplyLightMode(r, 5));  // static: one colour
    EXPECT_EQ(r.sevenColor(), 0);
    ASSERT_TRUE(ApplyLightMode(r, kLightModeDark));  // dark: the last mode is kept
    EXPECT_EQ(r.lightMode(), kLightModeDark);
    EXPECT_EQ(r.lastMode(), 5);
    const MouseRecord before = r;
    EXPECT_FALSE(ApplyLightMode(r, 8));
    EXPECT_FALSE(ApplyLightMode(r, -1));
    EXPECT_EQ(r, before);
    EXPECT_FALSE(LightModeLayoutOf(7)->brightness);
    EXPECT_FALSE(LightModeLayoutOf(5)->speed);
    EXPECT_TRUE(LightModeLayoutOf(1)->palette);
}

TEST(MouseFacts, AFullRefreshRestoresTheEffectAndTheHeights) {
    for (uint8_t height : {0, 1, 2, 3, 0xFF}) {
        MouseRecord r;
        r.SetLightMode(0);
        r.SetSevenColor(0);
        r.SetLastMode(3);
        r.SetLiftHeight(height);
        r.SetLineAdjust(height);
        ApplyFullRefresh(r);
        EXPECT_EQ(r.sevenColor(), 0xFF);
        EXPECT_EQ(r.lastMode(), 0);
        EXPECT_EQ(r.liftHeight(), height == 1 || height == 2 ? height : 0) << int{height};
        EXPECT_EQ(r.lineAdjust(), height ? 1 : 0) << int{height};
        EXPECT_EQ(r.Byte(MouseRecord::kLiftHeight), r.liftHeight());
    }
    MouseRecord dark;
    dark.SetLightMode(kLightModeDark);
    dark.SetLastMode(2);
    ApplyFullRefresh(dark);
    EXPECT_EQ(dark.lastMode(), 2);
}

TEST(MouseFacts, SpeedDpiSensorAndNames) {
    for (int shown = 0; shown <= kLightSpeedMax; ++shown) {
        EXPECT_EQ(LightSpeedFromSlider(shown), kLightSpeedMax - shown);
        EXPECT_EQ(SliderFromLightSpeed(LightSpeedFromSlider(shown)), shown);
    }
    EXPECT_EQ(LightSpeedFromSlider(9), 0);
    EXPECT_EQ(LightSpeedFromSlider(-3), kLightSpeedMax);
    EXPECT_EQ(SliderFromLightSpeed(200), 0);

    EXPECT_EQ(DpiToSteps(1224), 24);
    EXPECT_EQ(DpiToSteps(1225), 25);
    EXPECT_EQ(DpiToSteps(0), 0);
    EXPECT_EQ(DpiToSteps(-100), 0);
    EXPECT_EQ(DpiToSteps(16000), kStageSteps);
    EXPECT_EQ(DpiToSteps(99999), kStageSteps);
    EXPECT_EQ(StageSliderPosition(kStageSteps), kStageSteps);
    EXPECT_EQ(StageSliderPosition(kStageSteps + 1), 0);

    const auto top = SensorRangeFor(0x3389);
    ASSERT_TRUE(top.has_value());
    EXPECT_STREQ(top->maxLabel, "16000");
    EXPECT_EQ(top->stages, 7);
    ASSERT_TRUE(SensorRangeFor(0x3050).has_value());
    EXPECT_STREQ(SensorRangeFor(0x3050)->minLabel, "250");
    EXPECT_FALSE(SensorRangeFor(0x1234).has_value());

    EXPECT_EQ(ReportRateItem(125), 0);
    EXPECT_EQ(ReportRateItem(1000), 3);
    EXPECT_FALSE(ReportRateItem(2000).has_value());
    EXPECT_EQ(ReportRateHz(1), 250);
    EXPECT_FALSE(ReportRateHz(4).has_value());
    EXPECT_EQ(LiftHeightFromName("Middle"), 1);
    EXPECT_FALSE(LiftHeightFromName("medium").has_value());
    EXPECT_EQ(LightModeFromName("off"), kLightModeDark);
    EXPECT_EQ(LightModeFromName("COLOUR CYCLE"), 2);
    EXPECT_EQ(LightModeFromName("6"), 6);
    EXPECT_FALSE(LightModeFromName("8").has_value());
    EXPECT_FALSE(LightModeFromName("").has_value());
}

}  // namespace
}  // namespace vq::test

namespace vq::test {
namespace {

TEST_F(MouseControllerTest, AMacroDeletionRepairsTheLayersAndTheStoredProfilesButtons) {
    // The stored device profile's layer 0 plays macros 2 and 3 (indices 1 and 2).
    EditStoredProfile(ProfileFamily::Device, [](MouseModel& m) {
        m.SetButtonAssignment(0, 3, {0x70, 1, 0});
        m.SetButtonAssignment(0, 4, {0x71, 2, 5});
    });
    Make();
    ASSERT_EQ(controller->ReadAllNow(), kResultSuccess);
    controller->DiscardPendingNow();
    controller->AssignButton(5, {0x70, 1, 0});
    controller->AssignButton(6, {0x70, 2, 0});
    controller->AssignButton(7, {0x70, 0, 0});
    Idle();
    const int layer = controller->Model().ActiveLayer();
    const KeyAssignment factory5 = controller->Model().FactoryAssignment(5);
    bus.ClearTranscript();

    controller->RepairMacroKeys(1);
    Idle();
    const MouseModel& model = controller->Model();
    EXPECT_EQ(model.ButtonAssignment(layer, 5), factory5);
    EXPECT_EQ(model.ButtonAssignment(layer, 6), (KeyAssignment{0x70, 1, 0}));
    EXPECT_EQ(model.ButtonAssignment(layer, 7), (KeyAssignment{0x70, 0, 0}));
    // The profile on disk follows: its macro 3 is now index 1, its macro 2 is gone.
    const std::vector<uint8_t> device = PayloadOf(ProfileFamily::Device);
    EXPECT_EQ(KeyAssignment::At(device, 4), (KeyAssignment{0x71, 1, 5}));
    EXPECT_NE(KeyAssignment::At(device, 3).type, 0x70);
    // Nothing went to the mouse.
    EXPECT_TRUE(Requests().empty());
}

TEST_F(MouseControllerTest, TheScriptSendReportsEveryChunkAndLandsTheImage) {
    ASSERT_TRUE(store.KindFolder(DeviceKind::Mouse));
    MacroLibrary library(DeviceKind::Mouse, *store.KindFolder(DeviceKind::Mouse));
    ASSERT_TRUE(library.SeedCursorScripts(VQ_PROGRAM_DIR));
    Make();
    struct Events : ControllerObserver {
        void OnControllerEvent(const ControllerEvent& e) override {
            std::lock_guard lock(mutex);
            if (e.type == ControllerEventType::Progress) progress.push_back(e.value);
        }
        std::mutex mutex;
        std::vector<int> progress;
    } events;
    controller->SetObserver(&events);
    const TransferResult sent = controller->SendCursorScriptsNow();
    controller->SetObserver(nullptr);
    ASSERT_EQ(sent.status, TransferStatus::Sent) << sent.detail;
    EXPECT_EQ(sent.bytes, 2920u);
    // Begin, 53 chunks, End.
    EXPECT_EQ(Requests().size(), 55u);
    const std::vector<uint8_t> memory = mouse->ScriptMemory();
    EXPECT_EQ(memory[0] | (memory[1] << 8), 0x55AA);
    EXPECT_EQ(memory[2] | (memory[3] << 8), 2920);
    std::lock_guard lock(events.mutex);
    ASSERT_GE(events.progress.size(), 50u);  // a step for (nearly) every report
    EXPECT_EQ(events.progress.front(), 0);
    EXPECT_EQ(events.progress[events.progress.size() - 2], 100);
    EXPECT_EQ(events.progress.back(), -1);
}

}  // namespace
}  // namespace vq::test
