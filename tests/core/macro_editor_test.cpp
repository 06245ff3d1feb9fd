// The macro editor's state: selection, the open edit that nothing overwrites, save and cancel,
// recording into the working copy.

#include <gtest/gtest.h>

#include "core/macro/macro_edit.h"
#include "core/macro/macro_editor.h"
#include "core/mouse/mouse_model.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

class Editor : public ::testing::Test {
  protected:
    Editor() {
        MacroLibrary library(DeviceKind::Keyboard, dir.path());
        EXPECT_EQ(library.WriteNames(std::vector<std::string>{"first", "second"}), MacroResult::Ok);
        EXPECT_EQ(library.WriteMacro("first", std::vector<MacroAction>{*MakeMouseAction(0)}),
                  MacroResult::Ok);
        editor.Load();
    }

    TempDir dir;
    MacroEditor editor{MacroLibrary(DeviceKind::Keyboard, dir.path())};
};

TEST_F(Editor, LoadSelectsTheLastMacroAndSelectShowsItsSteps) {
    EXPECT_EQ(editor.Selected(), 1);
    EXPECT_TRUE(editor.Actions().empty());
    ASSERT_TRUE(editor.Select(0).Ok());
    ASSERT_EQ(editor.Actions().size(), 1u);
    EXPECT_EQ(editor.Actions()[0].label, "mouse_key_left");
    EXPECT_EQ(editor.Select(2).result, MacroResult::NoSuchMacro);
    EXPECT_EQ(editor.Selected(), 0);
}

TEST_F(Editor, AnOpenEditIsNeverReplacedUntilSavedOrCancelled) {
    ASSERT_TRUE(editor.Select(0).Ok());
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
    MouseModel model;
    const MacroOutcome deleted =
        editor.Delete(MouseMacroKeyLayers(model), [](std::string_view) { return true; });
    EXPECT_EQ(deleted.textId, "message_text_3");
    EXPECT_EQ(editor.Actions(), working);
    EXPECT_EQ(editor.Names(), (std::vector<std::string>{"first", "second"}));
    // The file is unchanged until save.
    EXPECT_EQ(editor.Library().ReadMacro("first").size(), 1u);

    // A rename keeps the edit open.
    ASSERT_TRUE(editor.Rename("renamed").Ok());
    EXPECT_TRUE(editor.EditOpen());
    EXPECT_EQ(editor.Actions(), working);

    ASSERT_TRUE(editor.Save().Ok());
    EXPECT_FALSE(editor.EditOpen());
    EXPECT_EQ(editor.Library().ReadMacro("renamed"), working);
    EXPECT_TRUE(editor.Select(1).Ok());
}

TEST_F(Editor, CancelDropsTheEditAndShowsTheFileAgain) {
    ASSERT_TRUE(editor.Select(0).Ok());
    editor.SelectRow(0);
    ASSERT_TRUE(editor.EditSelectedRow([](MacroAction& a) { SetActionDelay(a, 99999); }));
    ASSERT_TRUE(editor.DeleteAllRows());
    EXPECT_TRUE(editor.Actions().empty());
    editor.Cancel();
    EXPECT_FALSE(editor.EditOpen());
    ASSERT_EQ(editor.Actions().size(), 1u);
    EXPECT_EQ(editor.Actions()[0].DelayMs(), 50);
}

TEST_F(Editor, RowOperationsNeedAMacroAndARow) {
    ASSERT_TRUE(editor.Select(0).Ok());
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
    MacroEditor none{MacroLibrary(DeviceKind::Mouse, empty.path())};
    none.Load();
    EXPECT_FALSE(none.CanEdit());
    EXPECT_FALSE(none.Insert(*MakeMouseAction(0)));
    EXPECT_FALSE(none.StartRecording({}, 0));
    EXPECT_FALSE(none.EditOpen());
}

TEST_F(Editor, RecordingAppendsToTheWorkingCopyAndSaveWritesIt) {
    ASSERT_TRUE(editor.Select(0).Ok());
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
    const std::vector<MacroAction> saved = editor.Library().ReadMacro("first");
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[0].DelayMs(), 50);  // the step that was there keeps its delay
    EXPECT_EQ(FormatMacroAction(saved[1]), "120,0,138,14,1,keyboard_key_K");
    EXPECT_EQ(FormatMacroAction(saved[2]), "0,0,10,14,0,keyboard_key_K");
}

TEST_F(Editor, DeleteSelectsTheFirstMacroAndAddSelectsTheNewOne) {
    MouseModel model;
    std::vector<std::string> asked;
    const MacroOutcome r = editor.Delete(MouseMacroKeyLayers(model), [&](std::string_view id) {
        asked.emplace_back(id);
        return true;
    });
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(asked, std::vector<std::string>{"message_text_4"});
    EXPECT_EQ(editor.Names(), std::vector<std::string>{"first"});
    EXPECT_EQ(editor.Selected(), 0);
    EXPECT_EQ(editor.Actions().size(), 1u);
    const MacroOutcome added = editor.Add();
    ASSERT_TRUE(added.Ok());
    EXPECT_EQ(added.name, "name_2");
    EXPECT_EQ(editor.Selected(), 1);
    EXPECT_TRUE(editor.Actions().empty());
}

}  // namespace
}  // namespace vq::test
