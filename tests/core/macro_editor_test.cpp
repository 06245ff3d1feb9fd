// The macro editor: selection, the open edit that nothing overwrites, save and cancel, recording
// into the working copy; and its file side, whose answers come later and in order: a choice
// overtaken by a later one is never shown, a save and a rename asked for one after the other
// reach the files in that order, a change made while a save is on its way keeps the edit open.

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "core/macro/macro_edit.h"
#include "core/macro/macro_editor.h"
#include "core/mouse/mouse_model.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

// The file side run by hand: work waits until the test runs it, in order, then its answer
// goes to the editor as the page would hand it over.
class Editor : public ::testing::Test {
  protected:
    Editor() {
        MacroLibrary library(DeviceKind::Keyboard, dir.path());
        EXPECT_EQ(library.WriteNames(std::vector<std::string>{"first", "second"}), MacroResult::Ok);
        EXPECT_EQ(library.WriteMacro("first", std::vector<MacroAction>{*MakeMouseAction(0)}),
                  MacroResult::Ok);
        editor.Load();
        RunAll();
    }

    // Runs the oldest work and hands its answer over; what the editor made of it.
    std::optional<MacroAnswered> RunOne() {
        if (queued.empty()) return std::nullopt;
        auto [ticket, work] = std::move(queued.front());
        queued.pop_front();
        return editor.Answer(ticket, work(session));
    }
    // Runs everything handed over; the outcomes of the answers, in order.
    std::vector<MacroAnswered> RunAll() {
        std::vector<MacroAnswered> answers;
        while (!queued.empty())
            if (std::optional<MacroAnswered> a = RunOne()) answers.push_back(*a);
        return answers;
    }
    MacroLibrary Library() const { return MacroLibrary(DeviceKind::Keyboard, dir.path()); }
    // The editor's delete with its questions answered by `ask`; the outcome to tell.
    MacroOutcome DeleteAsked(const std::function<bool(std::string_view)>& ask) {
        MacroOutcome sent = editor.Delete();
        if (!sent.Ok()) return sent;
        const std::optional<MacroAnswered> check = RunOne();
        EXPECT_TRUE(check);
        if (!check) return sent;
        const MacroOutcome asked = editor.ConfirmDelete(*check, ask);
        if (!asked.Ok()) return asked;
        const std::vector<MacroAnswered> answers = RunAll();
        EXPECT_EQ(answers.size(), 1u);
        return answers.empty() ? sent : answers.back().outcome;
    }

    TempDir dir;
    MouseModel model;
    std::deque<std::pair<uint64_t, MacroEditor::Work>> queued;
    MacroLibrarySession session{MacroLibrary(DeviceKind::Keyboard, dir.path())};
    MacroEditor editor{
        [this](uint64_t ticket, MacroEditor::Work work) { queued.emplace_back(ticket, work); },
        MouseMacroKeyLayers(model)};
};

TEST_F(Editor, LoadSelectsTheLastMacroAndSelectShowsItsSteps) {
    EXPECT_EQ(editor.Selected(), 1);
    EXPECT_TRUE(editor.Actions().empty());
    ASSERT_TRUE(editor.Select(0).Ok());
    RunAll();
    ASSERT_EQ(editor.Actions().size(), 1u);
    EXPECT_EQ(editor.Actions()[0].label, "mouse_key_left");
    EXPECT_EQ(editor.Select(2).result, MacroResult::NoSuchMacro);
    EXPECT_EQ(editor.Selected(), 0);
    EXPECT_TRUE(queued.empty());  // a refusal sends nothing
}

TEST_F(Editor, AChoiceOvertakenByALaterOneIsNeverShownAndNothingIsEditedMeanwhile) {
    ASSERT_TRUE(editor.Select(0).Ok());
    // The list shows the choice at once; its steps are not there yet and cannot be edited.
    EXPECT_EQ(editor.SelectedName(), "first");
    EXPECT_TRUE(editor.Choosing());
    EXPECT_TRUE(editor.Actions().empty());
    EXPECT_FALSE(editor.CanEdit());
    EXPECT_FALSE(editor.Insert(*MakeMouseAction(2)));
    EXPECT_FALSE(editor.StartRecording({.keys = true}, 0));
    EXPECT_FALSE(editor.EditOpen());
    // Saving, renaming, exporting and deleting wait for the answer: nothing is handed over.
    for (const MacroOutcome& quiet : {editor.Save(), editor.Rename("x"), editor.Delete(),
                                      editor.Export(dir / "out.mac", ExportMode::Replace)}) {
        EXPECT_EQ(quiet.result, MacroResult::Cancelled);
        EXPECT_TRUE(quiet.textId.empty());
    }
    EXPECT_EQ(queued.size(), 1u);

    // The user goes on to "second" before the steps of "first" arrive.
    ASSERT_TRUE(editor.Select(1).Ok());
    const std::optional<MacroAnswered> stale = RunOne();
    ASSERT_TRUE(stale);
    EXPECT_TRUE(stale->outcome.Ok());
    EXPECT_FALSE(stale->shown);
    EXPECT_EQ(editor.Selected(), 1);
    EXPECT_TRUE(editor.Actions().empty());  // not the steps of "first"
    EXPECT_TRUE(editor.Choosing());
    const std::optional<MacroAnswered> last = RunOne();
    ASSERT_TRUE(last);
    EXPECT_TRUE(last->shown);
    EXPECT_FALSE(editor.Choosing());
    EXPECT_EQ(editor.SelectedName(), "second");
    EXPECT_TRUE(editor.Actions().empty());
    EXPECT_TRUE(editor.CanEdit());
    // An answer the editor did not ask for is not taken.
    EXPECT_FALSE(editor.Answer(999, MacroAnswer{}));
}

TEST_F(Editor, AChoiceOfAMacroAnotherProgramRemovedKeepsTheLibrarysChoice) {
    ASSERT_TRUE(editor.Select(0).Ok());
    ASSERT_EQ(Library().WriteNames(std::vector<std::string>{"second", "third"}), MacroResult::Ok);
    const std::vector<MacroAnswered> answers = RunAll();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].outcome.result, MacroResult::NoSuchMacro);
    EXPECT_EQ(editor.Names(), (std::vector<std::string>{"second", "third"}));
    EXPECT_EQ(editor.SelectedName(), "second");  // what the library had chosen before
}

TEST_F(Editor, AnOpenEditIsNeverReplacedUntilSavedOrCancelled) {
    ASSERT_TRUE(editor.Select(0).Ok());
    RunAll();
    ASSERT_TRUE(editor.Insert(*MakeMouseAction(1)));
    EXPECT_TRUE(editor.EditOpen());
    EXPECT_EQ(editor.SelectedRow(), 1);
    const std::vector<MacroAction> working = editor.Actions();

    TempDir outside;
    WriteBytes(outside / "x.mac", "[MACROACTIONCOUNT]\r\ncount=0\r\n");
    for (const MacroOutcome& refused :
         {editor.Select(1), editor.Add(), editor.Import(outside / "x.mac")}) {
        EXPECT_EQ(refused.result, MacroResult::Cancelled);
        EXPECT_EQ(refused.textId, "message_text_3");
    }
    EXPECT_TRUE(queued.empty());
    std::vector<std::string> asked;
    const MacroOutcome deleted = DeleteAsked([&](std::string_view id) {
        asked.emplace_back(id);
        return true;
    });
    EXPECT_EQ(deleted.textId, "message_text_3");
    EXPECT_TRUE(asked.empty());  // nothing plays "first": the open edit refuses first
    EXPECT_EQ(editor.Actions(), working);
    EXPECT_EQ(editor.Names(), (std::vector<std::string>{"first", "second"}));
    // The file is unchanged until save.
    EXPECT_EQ(Library().ReadMacro("first").size(), 1u);

    // A rename keeps the edit open.
    ASSERT_TRUE(editor.Rename("renamed").Ok());
    RunAll();
    EXPECT_EQ(editor.SelectedName(), "renamed");
    EXPECT_TRUE(editor.EditOpen());
    EXPECT_EQ(editor.Actions(), working);

    ASSERT_TRUE(editor.Save().Ok());
    EXPECT_TRUE(editor.EditOpen());  // until the write's answer
    RunAll();
    EXPECT_FALSE(editor.EditOpen());
    EXPECT_EQ(Library().ReadMacro("renamed"), working);
    EXPECT_TRUE(editor.Select(1).Ok());
}

TEST_F(Editor, ASaveAndARenameAskedOneAfterTheOtherReachTheFilesInThatOrder) {
    ASSERT_TRUE(editor.Select(0).Ok());
    RunAll();
    ASSERT_TRUE(editor.Insert(*MakeMouseAction(4)));
    const std::vector<MacroAction> working = editor.Actions();
    ASSERT_TRUE(editor.Save().Ok());
    ASSERT_TRUE(editor.Rename("later").Ok());
    EXPECT_EQ(queued.size(), 2u);
    const std::vector<MacroAnswered> answers = RunAll();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].op, MacroOp::Save);
    EXPECT_TRUE(answers[0].outcome.Ok());
    EXPECT_TRUE(answers[1].outcome.Ok());
    EXPECT_EQ(Library().ReadNames(), (std::vector<std::string>{"later", "second"}));
    EXPECT_EQ(Library().ReadMacro("later"), working);
    EXPECT_FALSE(std::filesystem::exists(dir / "first.mac"));
    EXPECT_FALSE(editor.EditOpen());

    // The other way round the save follows the rename to the new name.
    ASSERT_TRUE(editor.Insert(*MakeMouseAction(6)));
    const std::vector<MacroAction> more = editor.Actions();
    ASSERT_TRUE(editor.Rename("again").Ok());
    ASSERT_TRUE(editor.Save().Ok());
    for (const MacroAnswered& a : RunAll())
        EXPECT_TRUE(a.outcome.Ok()) << a.outcome.detail;
    EXPECT_EQ(Library().ReadMacro("again"), more);
    EXPECT_FALSE(editor.EditOpen());
}

TEST_F(Editor, AChangeMadeWhileASaveIsOnItsWayOrAFailedSaveKeepsTheEditOpen) {
    ASSERT_TRUE(editor.Select(0).Ok());
    RunAll();
    ASSERT_TRUE(editor.Insert(*MakeMouseAction(1)));
    ASSERT_TRUE(editor.Save().Ok());
    editor.SelectRow(0);
    ASSERT_TRUE(editor.EditSelectedRow([](MacroAction& a) { SetActionDelay(a, 77); }));
    RunAll();
    EXPECT_TRUE(editor.EditOpen());  // the change after the save is not on the disk
    EXPECT_EQ(Library().ReadMacro("first")[0].DelayMs(), 50);
    EXPECT_EQ(editor.Actions()[0].DelayMs(), 77);

    // A write that fails (the library lost the macro) leaves the user's steps in the edit.
    ASSERT_EQ(Library().WriteNames(std::vector<std::string>{"second"}), MacroResult::Ok);
    ASSERT_TRUE(editor.Save().Ok());
    const std::vector<MacroAnswered> answers = RunAll();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_FALSE(answers[0].outcome.Ok());
    EXPECT_TRUE(editor.EditOpen());
    EXPECT_EQ(editor.Actions()[0].DelayMs(), 77);
}

TEST_F(Editor, CancelDropsTheEditAndShowsTheFileAgain) {
    ASSERT_TRUE(editor.Select(0).Ok());
    RunAll();
    editor.SelectRow(0);
    ASSERT_TRUE(editor.EditSelectedRow([](MacroAction& a) { SetActionDelay(a, 99999); }));
    ASSERT_TRUE(editor.DeleteAllRows());
    EXPECT_TRUE(editor.Actions().empty());
    editor.Cancel();
    EXPECT_FALSE(editor.EditOpen());
    RunAll();
    ASSERT_EQ(editor.Actions().size(), 1u);
    EXPECT_EQ(editor.Actions()[0].DelayMs(), 50);
}

TEST_F(Editor, RowOperationsNeedAMacroAndARow) {
    ASSERT_TRUE(editor.Select(0).Ok());
    RunAll();
    EXPECT_FALSE(editor.MoveUp());  // no row selected
    EXPECT_FALSE(editor.DeleteRow());
    editor.SelectRow(5);  // not a row
    EXPECT_EQ(editor.SelectedRow(), std::nullopt);
    EXPECT_FALSE(editor.EditOpen());
    editor.SelectRow(0);
    EXPECT_FALSE(editor.MoveUp());  // row 0
    EXPECT_FALSE(editor.EditOpen());
    ASSERT_TRUE(editor.Insert(*MakeMouseAction(4)));
    ASSERT_TRUE(editor.MoveToTop());
    EXPECT_EQ(editor.SelectedRow(), 0);
    EXPECT_EQ(editor.Actions()[0].label, "mouse_key_middle");
    ASSERT_TRUE(editor.DeleteRow());
    EXPECT_EQ(editor.SelectedRow(), std::nullopt);

    TempDir empty;
    MacroLibrarySession emptySession{MacroLibrary(DeviceKind::Mouse, empty.path())};
    std::vector<std::pair<uint64_t, MacroEditor::Work>> work;
    MacroEditor none{[&](uint64_t ticket, MacroEditor::Work w) { work.emplace_back(ticket, w); },
                     MouseMacroKeyLayers(model)};
    none.Load();
    ASSERT_EQ(work.size(), 1u);
    ASSERT_TRUE(none.Answer(work[0].first, work[0].second(emptySession)));
    EXPECT_FALSE(none.CanEdit());
    EXPECT_FALSE(none.Insert(*MakeMouseAction(0)));
    EXPECT_FALSE(none.StartRecording({}, 0));
    EXPECT_FALSE(none.EditOpen());
}

TEST_F(Editor, RecordingAppendsToTheWorkingCopyAndSaveWritesIt) {
    ASSERT_TRUE(editor.Select(0).Ok());
    RunAll();
    ASSERT_TRUE(editor.StartRecording({.keys = true}, 100));
    EXPECT_TRUE(editor.Recording());
    EXPECT_FALSE(editor.CanEdit());
    EXPECT_FALSE(editor.Insert(*MakeMouseAction(0)));
    InputEvent down;
    down.kind = InputEventKind::KeyDown;
    down.virtualKey = 'K';
    down.timeMs = 500;
    InputEvent up = down;
    up.kind = InputEventKind::KeyUp;
    up.timeMs = 620;
    EXPECT_TRUE(editor.Feed(down));
    EXPECT_FALSE(editor.Feed(down));
    EXPECT_TRUE(editor.Feed(up));
    EXPECT_EQ(editor.Actions().size(), 3u);  // shown while recording
    EXPECT_EQ(editor.Select(1).textId, "message_text_3");
    editor.StopRecording();
    EXPECT_TRUE(editor.EditOpen());
    ASSERT_TRUE(editor.Save().Ok());
    const std::vector<MacroAnswered> answers = RunAll();
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_TRUE(answers[0].outcome.Ok());
    const std::vector<MacroAction> saved = Library().ReadMacro("first");
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[0].DelayMs(), 50);  // the step that was there keeps its delay
    EXPECT_EQ(FormatMacroAction(saved[1]), "120,0,138,14,1,keyboard_key_K");
    EXPECT_EQ(FormatMacroAction(saved[2]), "0,0,10,14,0,keyboard_key_K");
}

TEST_F(Editor, DeleteSelectsTheFirstMacroAndAddSelectsTheNewOne) {
    std::vector<std::string> asked;
    const MacroOutcome r = DeleteAsked([&](std::string_view id) {
        asked.emplace_back(id);
        return true;
    });
    ASSERT_TRUE(r.Ok()) << r.detail;
    EXPECT_EQ(asked, std::vector<std::string>{"message_text_4"});
    EXPECT_EQ(editor.Names(), std::vector<std::string>{"first"});
    EXPECT_EQ(editor.Selected(), 0);
    EXPECT_EQ(editor.Actions().size(), 1u);
    ASSERT_TRUE(editor.Add().Ok());
    const std::vector<MacroAnswered> added = RunAll();
    ASSERT_EQ(added.size(), 1u);
    ASSERT_TRUE(added[0].outcome.Ok());
    EXPECT_EQ(added[0].outcome.name, "name_2");
    EXPECT_EQ(editor.Selected(), 1);
    EXPECT_TRUE(editor.Actions().empty());
}

TEST_F(Editor, ADeletionAsksAboutAPlayedMacroAndIsDroppedWhenTheUserChoseAnotherMeanwhile) {
    // A button of the model plays macro 1 ("second", the chosen one).
    MouseKeyLayer factory{};
    for (int b = 0; b < 8; ++b)
        KeyAssignment{0x10, static_cast<uint8_t>(b + 1), 0}.StoreAt(factory, b);
    model.SetFactoryBlock(factory);
    for (int l = 0; l < kMouseSlots; ++l)
        model.SetKeyLayer(l, factory);
    model.SetButtonAssignment(0, 0, {0x70, 1, 0});
    std::vector<std::string> asked;
    auto confirm = [&](std::string_view id) {
        asked.emplace_back(id);
        return true;
    };
    // Declining the first question keeps the macro.
    MacroOutcome r = DeleteAsked([&](std::string_view id) {
        asked.emplace_back(id);
        return false;
    });
    EXPECT_EQ(r.result, MacroResult::Cancelled);
    EXPECT_EQ(asked, std::vector<std::string>{"message_text_2"});
    EXPECT_EQ(Library().ReadNames().size(), 2u);

    // The user chooses "first" while the question about "second" is on its way: no question,
    // nothing deleted.
    asked.clear();
    ASSERT_TRUE(editor.Delete().Ok());
    ASSERT_TRUE(editor.Select(0).Ok());
    const std::optional<MacroAnswered> check = RunOne();
    ASSERT_TRUE(check);
    EXPECT_TRUE(check->inUse);
    EXPECT_FALSE(check->stillChosen);
    r = editor.ConfirmDelete(*check, confirm);
    EXPECT_EQ(r.result, MacroResult::Cancelled);
    EXPECT_TRUE(asked.empty());
    RunAll();
    EXPECT_EQ(Library().ReadNames().size(), 2u);
    EXPECT_EQ(editor.SelectedName(), "first");

    // Confirmed: deleted, and the button that played it is repaired.
    ASSERT_TRUE(editor.Select(1).Ok());
    RunAll();
    r = DeleteAsked(confirm);
    ASSERT_TRUE(r.Ok()) << r.detail;
    EXPECT_EQ(asked, (std::vector<std::string>{"message_text_2", "message_text_4"}));
    EXPECT_EQ(Library().ReadNames(), std::vector<std::string>{"first"});
    EXPECT_EQ(model.ButtonAssignment(0, 0), (KeyAssignment{0x10, 1, 0}));
}

// The session on a thread of its own, as the page runs it: the work carries what it needs and
// the answers come back to the editor's thread; nothing of the editor is touched over there.
TEST(MacroEditorThreads, TheFileSideRunsOnAnotherThreadWithOnlyWhatTheWorkCarries) {
    TempDir dir;
    struct Queue {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::pair<uint64_t, MacroEditor::Work>> work;
        std::deque<std::pair<uint64_t, MacroAnswer>> answers;
        bool stop = false;
    } q;
    MouseModel model;
    MacroEditor editor(
        [&q](uint64_t ticket, MacroEditor::Work work) {
            const std::lock_guard lock(q.mutex);
            q.work.emplace_back(ticket, std::move(work));
            q.changed.notify_all();
        },
        MouseMacroKeyLayers(model));
    std::thread files([&q, folder = dir.path()] {
        MacroLibrarySession session{MacroLibrary(DeviceKind::Mouse, folder)};
        std::unique_lock lock(q.mutex);
        for (;;) {
            q.changed.wait(lock, [&q] { return q.stop || !q.work.empty(); });
            if (q.work.empty()) return;
            auto [ticket, work] = std::move(q.work.front());
            q.work.pop_front();
            lock.unlock();
            MacroAnswer answer = work(session);
            lock.lock();
            q.answers.emplace_back(ticket, std::move(answer));
            q.changed.notify_all();
        }
    });
    // Takes the answers on this thread until nothing is waiting.
    auto settle = [&] {
        std::vector<MacroAnswered> answered;
        while (editor.Waiting() > 0) {
            std::unique_lock lock(q.mutex);
            q.changed.wait(lock, [&q] { return !q.answers.empty(); });
            auto [ticket, answer] = std::move(q.answers.front());
            q.answers.pop_front();
            lock.unlock();
            if (auto a = editor.Answer(ticket, std::move(answer))) answered.push_back(*a);
        }
        return answered;
    };

    editor.Load();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(editor.Add().Ok());
    settle();
    EXPECT_EQ(editor.Names(), (std::vector<std::string>{"name_1", "name_2", "name_3"}));
    ASSERT_TRUE(editor.Select(0).Ok());
    settle();
    ASSERT_TRUE(editor.Insert(*MakeMouseAction(0)));
    ASSERT_TRUE(editor.Save().Ok());
    // Changed on this thread while the save may be writing over there.
    ASSERT_TRUE(editor.Insert(*MakeMouseAction(2)));
    ASSERT_TRUE(editor.Rename("first").Ok());
    for (const MacroAnswered& a : settle())
        EXPECT_TRUE(a.outcome.Ok()) << a.outcome.detail;
    EXPECT_TRUE(editor.EditOpen());
    EXPECT_EQ(editor.SelectedName(), "first");
    {
        const std::lock_guard lock(q.mutex);
        q.stop = true;
        q.changed.notify_all();
    }
    files.join();
    const std::vector<MacroAction> saved =
        MacroLibrary(DeviceKind::Mouse, dir.path()).ReadMacro("first");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].label, "mouse_key_left");
    EXPECT_EQ(editor.Actions().size(), 2u);
}

}  // namespace
}  // namespace vq::test
