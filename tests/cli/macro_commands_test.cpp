// quilletctl's macro commands on a fresh data folder.

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "cli/cli.h"
#include "core/device/key_assignment.h"
#include "core/macro/macro_file.h"
#include "core/mouse/mouse_defaults.h"
#include "core/profile/profile_store.h"
#include "core/util/ini_file.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;

struct Result {
    int code;
    std::string out, err;
};

class MacroCommands : public ::testing::Test {
  protected:
    Result Ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", Utf8FromPath(data.path())});
        std::ostringstream out, err;
        const int code = cli::Run(args, out, err);
        return {code, out.str(), err.str()};
    }
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(data.path()))
            files[fs::relative(e.path(), data.path()).generic_string()] =
                e.is_regular_file() ? ReadBytes(e.path()) : "(folder)";
        return files;
    }

    TempDir data, outside;
};

TEST_F(MacroCommands, CreateRenameExportImportAndDeleteAMacro) {
    Result r = Ctl({"macro", "list"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Snapshot().empty());  // a read writes nothing

    ASSERT_EQ(Ctl({"macro", "add", "combo"}).code, 0);
    ASSERT_EQ(Ctl({"macro", "add", "jump"}).code, 0);
    r = Ctl({"macro", "rename", "COMBO", "spray"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(MacroLibrary(DeviceKind::Mouse, data / "ms").ReadNames(),
              (std::vector<std::string>{"spray", "jump"}));

    WriteBytes(outside / "in.mac",
               "[MACROACTIONCOUNT]\r\ncount=2\r\n[MACROACTION]\r\n0=10,0,138,4,1,keyboard_key_A\r\n"
               "1=0,0,132,20,1,mouse_move_to_left_text\r\n");
    r = Ctl({"macro", "import", Utf8FromPath(outside / "in.mac")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("name_3"), std::string::npos);
    r = Ctl({"macro", "list"});
    EXPECT_EQ(r.out, "0 spray (0 actions)\n1 jump (0 actions)\n2 name_3 (2 actions)\n");
    r = Ctl({"macro", "show", "NAME_3"});
    ASSERT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("0: keyboard_key_A down, 10 ms"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1: move left 20, 0 ms"), std::string::npos) << r.out;

    r = Ctl({"macro", "export", "name_3", Utf8FromPath(outside / "out.mac")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadBytes(outside / "out.mac"), ReadBytes(outside / "in.mac"));
    // Never over an existing file.
    WriteBytes(outside / "mine.mac", "mine");
    r = Ctl({"macro", "export", "name_3", Utf8FromPath(outside / "mine.mac")});
    EXPECT_EQ(r.code, 5);
    EXPECT_EQ(ReadBytes(outside / "mine.mac"), "mine");

    r = Ctl({"macro", "delete", "spray"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Ctl({"macro", "list"}).out, "0 jump (0 actions)\n1 name_3 (2 actions)\n");
    EXPECT_TRUE(fs::exists(data / "ms" / "name_3.mac"));
}

TEST_F(MacroCommands, RefusalsExitNonZeroAndWriteNothing) {
    ASSERT_EQ(Ctl({"macro", "add", "keep"}).code, 0);
    const auto before = Snapshot();
    const std::vector<std::vector<std::string>> refused = {
        {"macro", "add", "../escape"},
        {"macro", "add", "a/b"},
        {"macro", "add", std::string(300, 'x')},
        {"macro", "add", "KEEP"},
        {"macro", "rename", "keep", "..\\up"},
        {"macro", "rename", "missing", "x"},
        {"macro", "delete", "missing"},
        {"macro", "show", "missing"},
        {"macro", "import", Utf8FromPath(outside / "absent.mac")},
    };
    for (const auto& args : refused) {
        const Result r = Ctl(args);
        EXPECT_NE(r.code, 0) << args[1] << " " << args[2];
        EXPECT_FALSE(r.err.empty());
        EXPECT_LT(r.err.size(), 400u);
    }
    WriteBytes(outside / "photo.mac", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10));
    Result r = Ctl({"macro", "import", Utf8FromPath(outside / "photo.mac")});
    EXPECT_EQ(r.code, 5);
    EXPECT_NE(r.err.find("not a macro file"), std::string::npos) << r.err;
    EXPECT_EQ(Snapshot(), before);

    EXPECT_EQ(Ctl({"macro"}).code, 2);
    EXPECT_EQ(Ctl({"macro", "add"}).code, 2);
    EXPECT_EQ(Ctl({"macro", "frobnicate", "x"}).code, 2);
    EXPECT_EQ(Ctl({"--kind", "mp", "macro", "list"}).code, 2);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(MacroCommands, TheFiftyFirstMacroIsRefused) {
    for (int i = 0; i < kMaxMacros; ++i)
        ASSERT_EQ(Ctl({"--kind", "kb", "macro", "add", "m" + std::to_string(i)}).code, 0);
    const Result r = Ctl({"--kind", "kb", "macro", "add", "one more"});
    EXPECT_EQ(r.code, 5);
    EXPECT_NE(r.err.find("50"), std::string::npos);
    EXPECT_EQ(MacroLibrary(DeviceKind::Keyboard, data / "kb").ReadNames().size(), 50u);
    EXPECT_FALSE(fs::exists(data / "ms"));  // the keyboard's library only
}

TEST_F(MacroCommands, DeletingAMacroThatProfilesPlayNeedsYesAndRepairsThem) {
    // A key profile whose button 0 plays macro 1 and button 1 macro 2.
    TempDir program;
    for (ProfileFamily family : FamiliesOf(DeviceKind::Mouse))
        ASSERT_TRUE(WriteProfileFile(program / DefaultFileName(DeviceKind::Mouse, family, 0),
                                     std::vector<uint8_t>(PayloadSize(DeviceKind::Mouse, family)),
                                     KindCode(DeviceKind::Mouse)));
    ProfileStore store(data.path(), program.path());
    store.InitProfileKind(DeviceKind::Mouse);
    const fs::path key = *store.ProfilePath(DeviceKind::Mouse, ProfileFamily::Key, "profile1");
    std::vector<uint8_t> payload(512);
    KeyAssignment{0x70, 1, 0}.StoreAt(payload, 0);
    KeyAssignment{0x71, 2, 9}.StoreAt(payload, 1);
    ASSERT_TRUE(WriteProfileFile(key, payload, KindCode(DeviceKind::Mouse)));
    for (const char* name : {"a", "b", "c"})
        ASSERT_EQ(Ctl({"macro", "add", name}).code, 0);

    const auto before = Snapshot();
    Result r = Ctl({"macro", "delete", "b"});
    EXPECT_EQ(r.code, 5);
    EXPECT_NE(r.err.find("profile1"), std::string::npos) << r.err;
    EXPECT_EQ(Snapshot(), before);

    r = Ctl({"--yes", "macro", "delete", "b"});
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(ReadProfileFile(key, payload), ProfileReadResult::Ok);
    EXPECT_EQ(KeyAssignment::At(payload, 0), KeyAssignment::At(DefaultMouseKeyLayer(), 0));
    EXPECT_EQ(KeyAssignment::At(payload, 1), (KeyAssignment{0x71, 1, 9}));
}

// A script of `bullets` groups of six actions, each bullet moving right 2 and down 3 after 90 ms.
std::string ScriptText(int actions) {
    std::string text =
        "[MACROACTIONCOUNT]\r\ncount=" + std::to_string(actions) + "\r\n[MACROACTION]\r\n";
    const char* group[6] = {
        "0,0,129,1,1,mouse_key_left",         "0,0,1,1,0,mouse_key_left",
        "0,0,4,0,0,mouse_move_to_right_text", "90,0,5,0,0,mouse_move_to_down_text",
        "0,0,4,2,0,mouse_move_to_right_text", "0,0,5,3,0,mouse_move_to_down_text"};
    for (int i = 0; i < actions; ++i)
        text += std::to_string(i) + "=" + group[i % 6] + "\r\n";
    return text;
}

TEST_F(MacroCommands, ScriptsAreSeededShownImportedExportedAndReset) {
    TempDir program;
    for (int i = 1; i <= 4; ++i)
        WriteBytes(program / ("name_" + std::to_string(i) + ".cur"), ScriptText(180));
    const auto Script = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--program-dir", Utf8FromPath(program.path()), "script"});
        return Ctl(args);
    };
    Result r = Script({"show", "2"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("script 2 (name_2.cur, 180 actions)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("bullet 30: 90 ms, right 2, down 3"), std::string::npos) << r.out;

    WriteBytes(outside / "long.cur", ScriptText(181));
    const std::string before = ReadBytes(data / "ms" / "name_1.cur");
    r = Script({"import", "1", Utf8FromPath(outside / "long.cur")});
    EXPECT_EQ(r.code, 5);
    EXPECT_NE(r.err.find("181"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(data / "ms" / "name_1.cur"), before);

    WriteBytes(outside / "short.cur", ScriptText(12));
    ASSERT_EQ(Script({"import", "1", Utf8FromPath(outside / "short.cur")}).code, 0);
    EXPECT_EQ(ReadBytes(data / "ms" / "name_1.cur"), ScriptText(12));
    WriteBytes(outside / "taken.cur", "mine");
    EXPECT_EQ(Script({"export", "1", Utf8FromPath(outside / "taken.cur")}).code, 5);
    EXPECT_EQ(ReadBytes(outside / "taken.cur"), "mine");
    ASSERT_EQ(Script({"export", "1", Utf8FromPath(outside / "out.cur")}).code, 0);
    EXPECT_EQ(ReadBytes(outside / "out.cur"), ScriptText(12));
    ASSERT_EQ(Script({"reset", "1"}).code, 0);
    EXPECT_EQ(ReadBytes(data / "ms" / "name_1.cur"), ScriptText(180));

    EXPECT_EQ(Script({"show", "5"}).code, 2);
    EXPECT_EQ(Script({"show", "0"}).code, 2);
    EXPECT_EQ(Script({"reset"}).code, 2);
}

}  // namespace
}  // namespace vq::test
