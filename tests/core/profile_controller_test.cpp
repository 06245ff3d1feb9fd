// Profile operations and followed profiles through the mouse's controller on the simulated
// mouse: edits answered with the family's listing and the message to show, the saves that wait
// written before an edit, the selection an edit ends on loaded and sent, a reset's default on the
// mouse and the computer's pointer, and the profile of the program in front sent without
// changing the stored selection (end to end with a foreground set by hand).

#include <gtest/gtest.h>

#include <mutex>

#include "core/control/linked_profile_follower.h"
#include "core/control/mouse_controller.h"
#include "core/device/command_report.h"
#include "core/profile/profile_file.h"
#include "core/profile/profile_store.h"
#include "platform/foreground_program.h"
#include "support/fake_system_pointer.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using F = ProfileFamily;
constexpr DeviceKind kMs = DeviceKind::Mouse;
constexpr auto kLong = std::chrono::hours(1);  // a timer that must not fire during a test

// The controller's events, and the follower fed with them as the program's hub feeds it.
class Events : public ControllerObserver {
  public:
    void OnControllerEvent(const ControllerEvent& event) override {
        if (follower) follower->OnControllerEvent(event);
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }
    std::vector<ControllerEvent> Of(ControllerEventType type) const {
        std::lock_guard lock(mutex_);
        std::vector<ControllerEvent> out;
        for (const ControllerEvent& e : events_)
            if (e.type == type) out.push_back(e);
        return out;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }
    LinkedProfileFollower* follower = nullptr;

  private:
    mutable std::mutex mutex_;
    std::vector<ControllerEvent> events_;
};

class ProfileController : public SimMouseTest {
  protected:
    ProfileController() : store(data.path(), VQ_PROGRAM_DIR) {
        for (const FamilyFill& fill : store.InitProfileKind(kMs))
            EXPECT_EQ(fill.result, FamilyFillResult::Seeded) << FamilyName(fill.family);
    }
    ~ProfileController() override {
        if (controller) controller->Shutdown();
    }

    void Make(milliseconds saveDelay = milliseconds(10)) {
        controller = std::make_unique<MouseController>(
            &bus, FastTiming(), &store,
            ControllerTiming{milliseconds(5), milliseconds(1), milliseconds(5), saveDelay});
        controller->SetSystemPointer(&pointer);
        controller->SetObserver(&events);
        ASSERT_EQ(controller->ConnectNow(), SearchResult::Connected);
        bus.ClearTranscript();
    }
    void Idle() { ASSERT_TRUE(controller->WaitIdle(milliseconds(10000))); }

    // A second device profile "game" whose stage 1 differs from profile1's; profile1 selected.
    void AddGame(uint16_t gameSteps = 77) {
        ASSERT_TRUE(store.AddProfile(kMs, F::Device, "game").ok());
        MouseModel model;
        ASSERT_EQ(store.LoadProfile(kMs, F::Device, 1, model), ProfileReadResult::Ok);
        model.EditRecord([&](MouseRecord& r) { r.SetStageSteps(0, gameSteps); });
        ASSERT_EQ(store.SaveProfile(kMs, F::Device, ProfileTarget::Named("game"), model),
                  SaveResult::Saved);
        ASSERT_TRUE(store.SetSelection(kMs, F::Device, 0));
    }
    MouseRecord Stored(const std::string& name) {
        std::vector<uint8_t> payload(PayloadSize(kMs, F::Device), 0);
        const auto path = store.ProfilePath(kMs, F::Device, name);
        EXPECT_EQ(ReadProfileFile(*path, payload), ProfileReadResult::Ok);
        MouseModel model;
        model.LoadPayload(F::Device, payload);
        return model.Record();
    }
    // The stage-1 steps of the last record written to the mouse (-1: none was).
    int LastSentStage1() {
        int steps = -1;
        for (const auto& request : Requests())
            if (request[3] == static_cast<uint8_t>(Command::WriteParams) && request[5] == 0 &&
                request[6] == 0) {
                std::vector<uint8_t> bytes(request.begin() + 8, request.end());
                bytes.resize(64, 0);
                steps = MouseRecord::FromBytes(bytes).StageSteps(0);
            }
        return steps;
    }
    MouseRecord SimRecord() const { return MouseRecord::FromBytes(mouse->CurrentRecord()); }

    TempDir data;
    ProfileStore store;
    FakeSystemPointer pointer;
    Events events;
    std::unique_ptr<MouseController> controller;
};

TEST_F(ProfileController, AnEditAnswersWithTheListingThenSelectsAndSendsTheNewProfile) {
    Make();
    controller->EditProfile({ProfileOperation::Add, F::Device, {}, {}, {}});
    Idle();
    const auto edited = events.Of(ControllerEventType::ProfileEdited);
    ASSERT_EQ(edited.size(), 1u);
    EXPECT_EQ(edited[0].result, 1);
    EXPECT_EQ(edited[0].name, "profile2");
    ASSERT_TRUE(edited[0].listing);
    EXPECT_EQ(edited[0].listing->names, (std::vector<std::string>{"profile1", "profile2"}));
    EXPECT_EQ(edited[0].listing->selected, 1);
    ASSERT_EQ(edited[0].listing->links.size(), 2u);
    const auto selected = events.Of(ControllerEventType::ProfileSelected);
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_EQ(selected[0].index, 1);
    EXPECT_FALSE(selected[0].followed);
    // The new profile went to the mouse: its record, then key layer 0.
    size_t records = 0, layerChunks = 0;
    for (const auto& request : Requests()) {
        records += request[3] == static_cast<uint8_t>(Command::WriteParams);
        layerChunks += request[3] == static_cast<uint8_t>(Command::WriteIndexedBlock);
    }
    EXPECT_GE(records, 1u);
    EXPECT_EQ(layerChunks, 10u);
}

TEST_F(ProfileController, RefusalsCarryTheirMessageAndSendNothing) {
    Make();
    struct Case {
        ProfileRequest request;
        const char* textId;
    };
    // A keyboard's light profile offered to the mouse.
    const fs::path keyboardFile = data / "keyboard.led";
    ASSERT_TRUE(WriteProfileFile(keyboardFile, std::vector<uint8_t>(1958, 3),
                                 KindCode(DeviceKind::Keyboard)));
    const Case cases[] = {
        {{ProfileOperation::Delete, F::Key, {}, {}, {}}, "message_text_11"},
        {{ProfileOperation::Rename, F::Key, {}, "", {}}, "message_text_14"},
        {{ProfileOperation::Rename, F::Key, {}, "PROFILE1", {}}, "message_text_15"},
        {{ProfileOperation::Import, F::Light, {}, {}, keyboardFile}, "message_profile_wrong_kind"},
        {{ProfileOperation::Import, F::Light, {}, {}, data / "none.led"}, "message_text_8"},
        {{ProfileOperation::Rename, F::Light, {}, "a/b", {}}, "message_profile_bad_name"},
        {{ProfileOperation::Copy, F::Light, "gone", {}, {}}, "message_profile_gone"},
        {{ProfileOperation::Link, F::Device, {}, "game.exe", {}}, "message_profile_not_program"},
    };
    for (const Case& c : cases) {
        events.Clear();
        const ProfileResult result = controller->EditProfileNow(c.request);
        EXPECT_FALSE(result.ok()) << c.textId;
        const auto edited = events.Of(ControllerEventType::ProfileEdited);
        ASSERT_EQ(edited.size(), 1u);
        EXPECT_EQ(edited[0].result, 0);
        EXPECT_EQ(edited[0].textId, c.textId);
        EXPECT_FALSE(edited[0].what.empty());
        EXPECT_TRUE(events.Of(ControllerEventType::ProfileSelected).empty()) << c.textId;
    }
    Idle();
    EXPECT_TRUE(Requests().empty());
    for (F family : {F::Device, F::Light, F::Key})
        EXPECT_EQ(store.ReadIndex(kMs, family).names, std::vector<std::string>{"profile1"});
}

TEST_F(ProfileController, ACopyOrAnExportHoldsTheEditJustMade) {
    // The save of the edit would come only much later.
    Make(milliseconds(kLong));
    controller->SetStageDpi(3, 1600);
    const ProfileResult copy =
        controller->EditProfileNow({ProfileOperation::Copy, F::Device, {}, {}, {}});
    ASSERT_TRUE(copy.ok()) << DescribeProfileResult(copy);
    EXPECT_EQ(copy.name, "profile1 copy");
    EXPECT_EQ(Stored("profile1").StageDpi(2), 1600);
    EXPECT_EQ(Stored("profile1 copy").StageDpi(2), 1600);

    // The copy is selected now; back on the first, the next edit is its own.
    controller->SelectProfile(F::Device, 0);
    controller->SetStageDpi(3, 800);
    const fs::path exported = data / "out.config";
    ASSERT_TRUE(
        controller->EditProfileNow({ProfileOperation::Export, F::Device, "profile1", {}, exported})
            .ok());
    std::vector<uint8_t> payload(PayloadSize(kMs, F::Device), 0);
    ASSERT_EQ(ReadProfileFile(exported, payload), ProfileReadResult::Ok);
    MouseModel model;
    model.LoadPayload(F::Device, payload);
    EXPECT_EQ(model.Record().StageDpi(2), 800);
    // The copy made before keeps what it had.
    EXPECT_EQ(Stored("profile1 copy").StageDpi(2), 1600);
}

TEST_F(ProfileController, AResetPutsTheDefaultOnTheMouseAndTheUsualPointerOnTheComputer) {
    Make();
    controller->SetStageDpi(1, 4000);
    controller->SetPointerSpeed(3);
    Idle();
    ASSERT_TRUE(controller->WaitPointerIdle());
    bus.ClearTranscript();
    ASSERT_TRUE(controller->EditProfileNow({ProfileOperation::Reset, F::Device, {}, {}, {}}).ok());
    Idle();
    ASSERT_TRUE(controller->WaitPointerIdle());
    MouseModel defaults;
    std::vector<uint8_t> payload(PayloadSize(kMs, F::Device), 0);
    ASSERT_EQ(store.ReadDefault(kMs, F::Device, payload), ProfileReadResult::Ok);
    defaults.LoadPayload(F::Device, payload);
    EXPECT_EQ(SimRecord().StageDpi(0), defaults.Record().StageDpi(0));
    EXPECT_EQ(Stored("profile1").StageDpi(0), defaults.Record().StageDpi(0));
    EXPECT_EQ(pointer.CurrentSpeed(), 10);
    EXPECT_EQ(pointer.CurrentLines(), 3);
    size_t layerChunks = 0;
    for (const auto& request : Requests())
        layerChunks += request[3] == static_cast<uint8_t>(Command::WriteIndexedBlock);
    EXPECT_EQ(layerChunks, 10u);

    // The light family's reset gives one wheel line.
    ASSERT_TRUE(controller->EditProfileNow({ProfileOperation::Reset, F::Light, {}, {}, {}}).ok());
    ASSERT_TRUE(controller->WaitPointerIdle());
    EXPECT_EQ(pointer.CurrentLines(), 1);
}

TEST_F(ProfileController, AFollowedProfileIsSentAndEditedWithoutChangingTheSelection) {
    AddGame(77);
    const uint16_t ownSteps = Stored("profile1").StageSteps(0);
    ASSERT_NE(ownSteps, 77);
    Make();

    controller->ApplyFollowedProfile(F::Device, 1);
    Idle();
    EXPECT_EQ(LastSentStage1(), 77);
    EXPECT_EQ(store.StoredSelection(kMs, F::Device), 0);
    EXPECT_EQ(controller->FollowedProfile(F::Device), "game");
    const auto shown = events.Of(ControllerEventType::ProfileSelected);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].followed);
    EXPECT_EQ(shown[0].index, 1);

    // An edit while it is in force belongs to it, not to the selected profile.
    controller->SetStageDpi(2, 2400);
    controller->Flush();
    Idle();
    EXPECT_EQ(Stored("game").StageDpi(1), 2400);
    EXPECT_NE(Stored("profile1").StageDpi(1), 2400);

    // A rename keeps it in force under its new name.
    ASSERT_TRUE(
        controller->EditProfileNow({ProfileOperation::Rename, F::Device, "game", "raid", {}}).ok());
    EXPECT_EQ(controller->FollowedProfile(F::Device), "raid");

    // The mouse arriving again gets the profile in force.
    bus.ClearTranscript();
    controller->OnArrived();
    Idle();
    EXPECT_EQ(LastSentStage1(), 77);
    EXPECT_EQ(store.StoredSelection(kMs, F::Device), 0);

    // Back to the selection; the user's own choice ends any following.
    bus.ClearTranscript();
    controller->ApplyFollowedProfile(F::Device, 0);
    Idle();
    EXPECT_EQ(LastSentStage1(), ownSteps);
    EXPECT_EQ(controller->FollowedProfile(F::Device), "");
    controller->ApplyFollowedProfile(F::Device, 1);
    controller->SelectProfile(F::Device, 0);
    Idle();
    EXPECT_EQ(controller->FollowedProfile(F::Device), "");
    EXPECT_EQ(SimRecord().StageSteps(0), ownSteps);
}

TEST_F(ProfileController, TheProgramInFrontPutsItsLinkedProfileOnTheWire) {
    AddGame(77);
    ASSERT_TRUE(
        store.LinkProfile(kMs, F::Device, ProfileTarget::Named("game"), "C:\\Games\\Raid\\Raid.exe")
            .ok());
    const uint16_t ownSteps = Stored("profile1").StageSteps(0);
    Make();
    LinkedProfileFollower follower(store, *controller);
    events.follower = &follower;
    platform::ManualForegroundProgram foreground;
    ASSERT_TRUE(foreground.Start([&](const std::string& path) { follower.ForegroundChanged(path); },
                                 nullptr));
    // The mouse's arrival applied the selection.
    controller->OnArrived();
    Idle();
    const auto expectSent = [&](int steps, const char* when) {
        Idle();
        EXPECT_EQ(LastSentStage1(), steps) << when;
        EXPECT_EQ(SimRecord().StageSteps(0), steps) << when;
        EXPECT_EQ(store.StoredSelection(kMs, F::Device), 0) << when;
        bus.ClearTranscript();
    };
    bus.ClearTranscript();

    foreground.Bring("c:\\games\\raid\\RAID.EXE");  // paths compare without regard to case
    expectSent(77, "the linked program in front");
    foreground.Bring("C:\\Windows\\explorer.exe");
    expectSent(ownSteps, "another program in front");
    foreground.Bring("C:\\Games\\Raid\\Raid.exe");
    expectSent(77, "the linked program in front again");
    // Unlinking it while it is in front brings the selection back.
    controller->EditProfile({ProfileOperation::Unlink, F::Device, "game", {}, {}});
    expectSent(ownSteps, "the link removed");
    // Linking it while it is in front puts it in force.
    controller->EditProfile(
        {ProfileOperation::Link, F::Device, "game", "C:\\Games\\Raid\\Raid.exe", {}});
    expectSent(77, "the link made");
    foreground.Stop();
    controller->Shutdown();
    events.follower = nullptr;
}

// Counts the lock files taken; refuses them when told to.
class CountingLocks : public ProcessLocks {
  public:
    class Held : public ProcessLock {
      public:
        explicit Held(CountingLocks& owner) : owner_(owner) { ++owner_.held; }
        ~Held() override { --owner_.held; }

      private:
        CountingLocks& owner_;
    };
    std::unique_ptr<ProcessLock> Acquire(const fs::path& file, milliseconds limit,
                                         FileProblem* why) override {
        ++acquired;
        lastFile = file;
        lastLimit = limit;
        if (why) *why = FileProblem::None;
        if (refuse) return nullptr;
        EXPECT_EQ(held, 0) << "taken twice by one edit";
        return std::make_unique<Held>(*this);
    }
    int acquired = 0;
    int held = 0;
    bool refuse = false;
    fs::path lastFile;
    milliseconds lastLimit{0};
};

TEST_F(ProfileController, EveryEditTakesTheDataFoldersLockOnceAndRefusesWhenItIsKept) {
    CountingLocks locks;
    store.SetProcessLocks(&locks, milliseconds(250));
    // A copy is an edit inside an edit: the lock is taken once.
    ASSERT_TRUE(store.CopyProfile(kMs, F::Light).ok());
    EXPECT_EQ(locks.acquired, 1);
    EXPECT_EQ(locks.held, 0);
    EXPECT_EQ(locks.lastFile, data.path() / ".vq-profile-edit.lock");
    EXPECT_EQ(locks.lastLimit, milliseconds(250));
    MouseModel model;
    EXPECT_EQ(store.SaveSelectedProfile(kMs, F::Light, model), SaveResult::Saved);
    EXPECT_EQ(locks.acquired, 2);

    locks.refuse = true;
    const std::vector<std::string> before = store.ReadIndex(kMs, F::Light).names;
    const ProfileResult busy = store.AddProfile(kMs, F::Light);
    EXPECT_EQ(busy.error, ProfileError::Busy);
    EXPECT_EQ(ProfileTextId(busy), "message_profile_busy");
    EXPECT_EQ(store.ReadIndex(kMs, F::Light).names, before);
    EXPECT_FALSE(fs::exists(data.path() / "ms" / "profile2.led"));
    EXPECT_EQ(store.SaveSelectedProfile(kMs, F::Light, model), SaveResult::WriteFailed);
    store.SetProcessLocks(nullptr);
}

}  // namespace
}  // namespace vq::test
