// Macro records, action files and the macro library on disk.

#include <gtest/gtest.h>

#include "core/macro/macro_file.h"
#include "core/util/ini_file.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;

MacroAction Action(uint16_t delay, uint8_t type, uint8_t code, std::string label) {
    MacroAction a;
    a.SetDelayMs(delay);
    a.type = type;
    a.code = code;
    a.down = (type & 0x80) ? 1 : 0;
    a.label = std::move(label);
    return a;
}

TEST(MacroRecord, ParsesPressesReleasesAndMoves) {
    const std::optional<MacroAction> press = ParseMacroAction("10,0,138,4,1,keyboard_key_A");
    ASSERT_TRUE(press);
    EXPECT_EQ(press->DelayMs(), 10);
    EXPECT_EQ(press->EventType(), kMacroKey);
    EXPECT_TRUE(press->Pressed());
    EXPECT_FALSE(press->IsMouseEvent());
    EXPECT_EQ(press->code, 4);
    EXPECT_EQ(press->down, 1);
    EXPECT_EQ(press->label, "keyboard_key_A");

    const std::optional<MacroAction> release = ParseMacroAction("244,1,10,4,0,keyboard_key_A");
    ASSERT_TRUE(release);
    EXPECT_EQ(release->DelayMs(), 500);
    EXPECT_FALSE(release->Pressed());

    const std::optional<MacroAction> move =
        ParseMacroAction("0,0,132,20,1,mouse_move_to_left_text");
    ASSERT_TRUE(move);
    EXPECT_EQ(move->DelayMs(), 0);
    EXPECT_EQ(move->EventType(), kMacroMoveHorizontal);
    EXPECT_TRUE(move->Pressed());  // left
    EXPECT_TRUE(move->IsMouseEvent());
    EXPECT_EQ(move->code, 20);
}

TEST(MacroRecord, ReadsFromTheRightKeepsLowBitsAndNeedsFiveCommas) {
    // Six commas: the fields come from the right, the delay low is what precedes the first.
    std::optional<MacroAction> a = ParseMacroAction("1,2,3,4,5,6,lbl");
    ASSERT_TRUE(a);
    EXPECT_EQ(*a, (MacroAction{1, 3, 4, 5, 6, "lbl"}));
    // Signed numbers and numbers too wide for their field keep their low bits.
    a = ParseMacroAction("-1,256,-118,300,65537,x");
    ASSERT_TRUE(a);
    EXPECT_EQ(*a, (MacroAction{255, 0, 138, 44, 1, "x"}));
    // Leading digits only; no digits is 0; the label may be empty.
    a = ParseMacroAction("12ms, 7,abc,+9,,");
    ASSERT_TRUE(a);
    EXPECT_EQ(*a, (MacroAction{12, 7, 0, 9, 0, ""}));
    EXPECT_FALSE(ParseMacroAction("10,0,138,4,keyboard_key_A"));
    EXPECT_FALSE(ParseMacroAction(""));
    EXPECT_FALSE(ParseMacroAction("0"));
}

TEST(MacroRecord, FormatsWhatParsesBack) {
    const MacroAction a = Action(65535, 0x89, 0x80, "keyboard_key_RWin");
    EXPECT_EQ(FormatMacroAction(a), "255,255,137,128,1,keyboard_key_RWin");
    EXPECT_EQ(ParseMacroAction(FormatMacroAction(a)), a);
}

class MacroFiles : public ::testing::Test {
  protected:
    TempDir dir;
};

TEST_F(MacroFiles, ReadsCountRecordsOnlyAndSkipsRecordsThatDoNotParse) {
    WriteBytes(dir / "m.mac",
               "[MACROACTIONCOUNT]\r\ncount=4\r\n[MACROACTION]\r\n"
               "0=10,0,138,4,1,keyboard_key_A\r\n1=broken record\r\n"
               "2=244,1,10,4,0,keyboard_key_A\r\n3=0,0,132,20,1,mouse_move_to_left_text\r\n"
               "4=0,0,5,1,0,past the count\r\n5=0,0,5,1,0,past the count\r\n");
    const std::vector<std::optional<MacroAction>> records = ReadActionRecords(dir / "m.mac");
    ASSERT_EQ(records.size(), 4u);
    EXPECT_FALSE(records[1]);  // positions are kept for callers that address records by index
    LogCapture log;
    const std::vector<MacroAction> actions = ReadActionFile(dir / "m.mac");
    ASSERT_EQ(actions.size(), 3u);
    EXPECT_EQ(actions[2].label, "mouse_move_to_left_text");
    EXPECT_TRUE(log.Contains("record 1"));
    EXPECT_TRUE(ReadActionFile(dir / "absent.mac").empty());
}

TEST_F(MacroFiles, WritingAShorterMacroKeepsOtherContentAndRefusesUnstorableLabels) {
    const fs::path path = dir / "m.mac";
    const std::vector<MacroAction> three = {Action(10, 0x8A, 4, "keyboard_key_A"),
                                            Action(20, 0x0A, 4, "keyboard_key_A"),
                                            Action(30, 0x81, 1, "mouse_key_left")};
    ASSERT_TRUE(WriteActionFile(path, three));
    ASSERT_TRUE(WriteActionFile(path, std::span(three).first(1), "m"));
    EXPECT_EQ(ReadActionFile(path), std::vector<MacroAction>{three[0]});
    const IniDocument doc = LoadIniFile(path).document;
    EXPECT_EQ(doc.ReadString("MACROACTION", "2", ""), "30,0,129,1,1,mouse_key_left");
    EXPECT_EQ(doc.ReadString("MACROSELECTNAME", "name", ""), "m");

    const std::string before = ReadBytes(path);
    EXPECT_FALSE(WriteActionFile(path, std::vector<MacroAction>{Action(1, 1, 1, "a,b")}));
    EXPECT_FALSE(WriteActionFile(path, std::vector<MacroAction>{Action(1, 1, 1, "a\nb")}));
    EXPECT_EQ(ReadBytes(path), before);
}

TEST_F(MacroFiles, LibraryNamesRoundTripAndKeepTheCursorEntries) {
    MacroLibrary library(DeviceKind::Mouse, dir.path());
    EXPECT_TRUE(library.ReadNames().empty());
    EXPECT_FALSE(library.SeedCursorScripts(dir.path()));  // no shipped scripts here
    const std::vector<std::string> names = {"combo", "Reload", "jump shot"};
    ASSERT_EQ(library.WriteNames(names), MacroResult::Ok);
    EXPECT_EQ(library.ReadNames(), names);
    ASSERT_EQ(library.WriteNames(std::vector<std::string>{"Reload"}), MacroResult::Ok);
    EXPECT_EQ(library.ReadNames(), std::vector<std::string>{"Reload"});
    const IniDocument doc = LoadIniFile(dir / "msMacro.ini").document;
    EXPECT_EQ(doc.KeyNames("MACRONAME"), std::vector<std::string>{"0"});
    EXPECT_EQ(library.CursorNames(),
              (std::vector<std::string>{"name_1", "name_2", "name_3", "name_4"}));
}

TEST_F(MacroFiles, LibraryRefusesBadDuplicateAndTooManyNamesWithoutWriting) {
    MacroLibrary library(DeviceKind::Keyboard, dir.path());
    ASSERT_EQ(library.WriteNames(std::vector<std::string>{"keep"}), MacroResult::Ok);
    const std::string before = ReadBytes(dir / "kbMacro.ini");
    for (const std::string& bad : {std::string("../x"), std::string("a/b"), std::string("a\\b"),
                                   std::string(""), std::string(300, 'm')}) {
        std::string which;
        EXPECT_EQ(library.WriteNames(std::vector<std::string>{"ok", bad}, &which),
                  MacroResult::BadName);
        EXPECT_EQ(which, bad);
        EXPECT_EQ(library.WriteMacro(bad, std::vector<MacroAction>{Action(1, 0x8A, 4, "k")}),
                  MacroResult::BadName);
    }
    EXPECT_EQ(library.WriteNames(std::vector<std::string>{"Jump", "JUMP"}),
              MacroResult::DuplicateName);
    std::vector<std::string> many;
    for (int i = 0; i < kMaxMacros + 1; ++i)
        many.push_back("m" + std::to_string(i));
    EXPECT_EQ(library.WriteNames(many), MacroResult::TooMany);
    EXPECT_EQ(ReadBytes(dir / "kbMacro.ini"), before);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"kbMacro.ini"});
    many.pop_back();
    EXPECT_EQ(library.WriteNames(many), MacroResult::Ok);
}

TEST_F(MacroFiles, MacroFilesAreFoundWithoutRegardToCaseAndOnlyTheMouseNamesItsOwn) {
    WriteBytes(dir / "KbMacro.ini", "[MACROCOUNT]\r\ncount=1\r\n[MACRONAME]\r\n0=Combo\r\n");
    MacroLibrary keyboard(DeviceKind::Keyboard, dir.path());
    EXPECT_EQ(keyboard.ReadNames(), std::vector<std::string>{"Combo"});
    const std::vector<MacroAction> actions = {Action(10, 0x8A, 4, "keyboard_key_A")};
    ASSERT_EQ(keyboard.WriteMacro("Combo", actions), MacroResult::Ok);
    EXPECT_FALSE(LoadIniFile(dir / "Combo.mac").document.HasSection("MACROSELECTNAME"));
    const std::string content = ReadBytes(dir / "Combo.mac");
    fs::remove(dir / "Combo.mac");
    WriteBytes(dir / "COMBO.MAC", content);
    EXPECT_EQ(keyboard.ReadMacro("combo"), actions);
    ASSERT_EQ(keyboard.WriteMacro("combo", actions), MacroResult::Ok);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"COMBO.MAC", "KbMacro.ini"}));

    MacroLibrary mouse(DeviceKind::Mouse, dir.path());
    ASSERT_EQ(mouse.WriteMacro("spray", actions), MacroResult::Ok);
    EXPECT_EQ(ReadIniString(dir / "spray.mac", "MACROSELECTNAME", "name", ""), "spray");
}

TEST_F(MacroFiles, RenameAndDeleteMoveOnlyTheirOwnFile) {
    MacroLibrary mouse(DeviceKind::Mouse, dir.path());
    const std::vector<MacroAction> actions = {Action(5, 0x81, 1, "mouse_key_left")};
    ASSERT_EQ(mouse.WriteMacro("a", actions), MacroResult::Ok);
    ASSERT_EQ(mouse.WriteMacro("b", actions), MacroResult::Ok);
    EXPECT_EQ(mouse.RenameMacroFile("a", "B"), MacroResult::Exists);
    EXPECT_EQ(mouse.RenameMacroFile("a", "../a"), MacroResult::BadName);
    EXPECT_EQ(mouse.RenameMacroFile("a", "c"), MacroResult::Ok);
    EXPECT_EQ(mouse.ReadMacro("c"), actions);
    EXPECT_EQ(ReadIniString(dir / "c.mac", "MACROSELECTNAME", "name", ""), "c");
    EXPECT_EQ(mouse.RenameMacroFile("c", "C"), MacroResult::Ok);  // a change of case only
    EXPECT_EQ(mouse.ReadMacro("C"), actions);
    // A file system that ignores case may keep the old spelling.
    if (dir.KeepsCaseApart()) {
        EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"C.mac", "b.mac"}));
    }
    EXPECT_EQ(dir.Entries().size(), 2u);
    EXPECT_EQ(mouse.RenameMacroFile("never saved", "x"), MacroResult::Ok);
    EXPECT_EQ(mouse.DeleteMacroFile("b"), MacroResult::Ok);
    EXPECT_EQ(mouse.DeleteMacroFile("b"), MacroResult::Ok);
    EXPECT_EQ(mouse.DeleteMacroFile("../C"), MacroResult::BadName);
    ASSERT_EQ(dir.Entries().size(), 1u);
    EXPECT_TRUE(EqualsNoCase(dir.Entries()[0], "c.mac"));
}

TEST_F(MacroFiles, CursorScriptsAreSeededOnceAndExistingFilesAreKept) {
    TempDir program;
    for (int i = 1; i <= 4; ++i)
        WriteBytes(program / ("name_" + std::to_string(i) + ".cur"),
                   "shipped " + std::to_string(i));
    WriteBytes(dir / "NAME_2.Cur", "edited by the user");
    MacroLibrary mouse(DeviceKind::Mouse, dir.path());
    ASSERT_TRUE(mouse.SeedCursorScripts(program.path()));
    EXPECT_EQ(mouse.CursorNames(),
              (std::vector<std::string>{"name_1", "name_2", "name_3", "name_4"}));
    EXPECT_EQ(ReadBytes(dir / "name_1.cur"), "shipped 1");
    EXPECT_EQ(ReadBytes(dir / "NAME_2.Cur"), "edited by the user");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"NAME_2.Cur", "msMacro.ini", "name_1.cur",
                                                       "name_3.cur", "name_4.cur"}));
    // Seeded once: a later start changes nothing, even with a script gone.
    fs::remove(dir / "name_3.cur");
    ASSERT_TRUE(mouse.SeedCursorScripts(program.path()));
    EXPECT_FALSE(fs::exists(dir / "name_3.cur"));
}

}  // namespace
}  // namespace vq::test
