// quilletctl's profile verbs on a data folder: each operation, its refusals with their exit
// codes, names escaped on the terminal, and file failures named.

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <sstream>

#include "cli/cli.h"
#include "core/profile/profile_store.h"
#include "core/util/atomic_file.h"
#include "core/util/ini_file.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;

struct Result {
    int code;
    std::string out, err;
};

class ProfileVerbs : public ::testing::Test {
  protected:
    ProfileVerbs() {
        for (DeviceKind kind : {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad})
            for (ProfileFamily family : FamiliesOf(kind))
                EXPECT_TRUE(WriteProfileFile(program / DefaultFileName(kind, family, 0),
                                             std::vector<uint8_t>(PayloadSize(kind, family), 0x5A),
                                             KindCode(kind)));
        for (int i = 1; i <= 4; ++i)
            WriteBytes(program / ("name_" + std::to_string(i) + ".cur"),
                       "[MACROACTIONCOUNT]\r\ncount=0\r\n");
    }
    ~ProfileVerbs() override { SetAtomicWriteFaultHook(nullptr); }
    Result Ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", Utf8FromPath(data.path()), "--program-dir",
                                   Utf8FromPath(program.path())});
        std::ostringstream out, err;
        const int code = cli::Run(args, out, err);
        return {code, out.str(), err.str()};
    }
    std::map<std::string, std::string> Snapshot() {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(data.path()))
            files[fs::relative(e.path(), data.path()).generic_string()] =
                e.is_regular_file() ? ReadBytes(e.path()) : "(folder)";
        return files;
    }
    TempDir data, program;
};

TEST_F(ProfileVerbs, EachVerbDoesItsOperationAndListShowsTheResult) {
    EXPECT_EQ(Ctl({"profile", "add", "ms", "device"}).out, "added ms device profile profile2\n");
    EXPECT_EQ(Ctl({"profile", "add", "ms", "device", "Game"}).code, 0);
    EXPECT_EQ(Ctl({"profile", "copy", "ms", "device", "game"}).out,
              "copied to ms device profile Game copy\n");
    EXPECT_EQ(Ctl({"profile", "rename", "ms", "device", "profile2", "desk"}).code, 0);
    EXPECT_EQ(Ctl({"profile", "link", "ms", "device", "Game", "/usr/games/game"}).code, 0);
    EXPECT_EQ(Ctl({"profile", "select", "ms", "device", "DESK"}).out,
              "selected ms device profile desk\n");
    EXPECT_EQ(Ctl({"profile", "list", "ms", "device"}).out,
              "  profile1\n* desk\n  Game  -> /usr/games/game\n  Game copy\n");
    EXPECT_EQ(Ctl({"profile", "delete", "ms", "device", "Game"}).code, 0);
    // The deleted profile's link went with it; the last one is selected.
    EXPECT_EQ(Ctl({"profile", "list", "ms", "device"}).out, "  profile1\n  desk\n* Game copy\n");
    EXPECT_EQ(Ctl({"profile", "link", "ms", "device", "desk", "/bin/x"}).code, 0);
    EXPECT_EQ(Ctl({"profile", "unlink", "ms", "device", "desk"}).code, 0);
    EXPECT_EQ(Ctl({"profile", "list", "ms", "device"}).out, "  profile1\n  desk\n* Game copy\n");

    // Export, import back, reset.
    const std::string exported = Utf8FromPath(program / "out.led");
    EXPECT_EQ(Ctl({"profile", "export", "kb", "light", "profile1", exported}).code, 0);
    EXPECT_EQ(fs::file_size(exported), 16u + 1958u);
    EXPECT_EQ(Ctl({"profile", "import", "kb", "light", exported, "back"}).out,
              "imported as kb light profile back\n");
    EXPECT_EQ(ReadBytes(data / "kb" / "back.led"), ReadBytes(exported));
    WriteBytes(data / "mp" / "profile1.led", ReadBytes(program / "mpdengdefault.led"));
    EXPECT_EQ(Ctl({"profile", "reset", "mp", "light"}).code, 0);
    EXPECT_EQ(ReadBytes(data / "mp" / "profile1.led"), ReadBytes(program / "mpdengdefault.led"));
}

TEST_F(ProfileVerbs, EachRefusalExitsNonZeroWithOneLineAndChangesNothing) {
    ASSERT_EQ(Ctl({"profiles"}).code, 0);
    ASSERT_EQ(Ctl({"profile", "add", "ms", "light", "two"}).code, 0);
    ASSERT_EQ(Ctl({"profile", "link", "ms", "light", "two", "C:\\g\\a.exe"}).code, 0);
    ASSERT_TRUE(WriteProfileFile(program / "pad.led", std::vector<uint8_t>(64, 1),
                                 KindCode(DeviceKind::Mousepad)));
    const auto before = Snapshot();
    const std::vector<std::pair<std::vector<std::string>, std::string>> refusals = {
        {{"profile", "delete", "mp", "light", "profile1"}, "only profile"},
        {{"profile", "rename", "ms", "light", "two", "TWO"}, "exists"},
        {{"profile", "rename", "ms", "light", "two", ""}, "empty"},
        {{"profile", "add", "ms", "light", "Profile1"}, "exists"},
        {{"profile", "link", "ms", "light", "profile1", "c:\\G\\A.EXE"}, "linked"},
        {{"profile", "import", "ms", "light", Utf8FromPath(program / "pad.led")}, "a mousepad"},
        {{"profile", "delete", "ms", "light", "nobody"}, "no profile \"nobody\""},
        {{"profile", "select", "ms", "light", "nobody"}, "no profile"},
        {{"profile", "link", "ms", "light", "two", "noslash"}, "not the path"},
    };
    for (const auto& [args, says] : refusals) {
        const Result r = Ctl(args);
        EXPECT_EQ(r.code, 5) << args[1] << ": " << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    const Result missing = Ctl({"profile", "import", "ms", "key", "/no/such/file.pro"});
    EXPECT_EQ(missing.code, 6);
    EXPECT_NE(missing.err.find("/no/such/file.pro is missing"), std::string::npos);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(Ctl({"profile", "frobnicate", "ms", "light"}).code, 2);
    EXPECT_EQ(Ctl({"profile", "rename", "ms", "light", "two"}).code, 2);
    EXPECT_EQ(Ctl({"profile", "list", "mp", "device"}).code, 2);
}

TEST_F(ProfileVerbs, AnIndexReplacedByAFolderStopsWithItsNameAndTouchesNoProfile) {
    ASSERT_EQ(Ctl({"profiles"}).code, 0);
    ASSERT_EQ(Ctl({"profile", "add", "ms", "key", "mine"}).code, 0);
    fs::remove(data / "ms" / "msProfile.ini");
    fs::create_directory(data / "ms" / "msProfile.ini");
    const auto before = Snapshot();
    const Result r = Ctl({"profiles"});
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.err.find("msProfile.ini cannot be read (it is a folder, not a file)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("first profile"), std::string::npos);
    EXPECT_EQ(Snapshot(), before);
    // The other kinds are listed as usual.
    EXPECT_NE(r.out.find("kb key: profile1*"), std::string::npos) << r.out;
    EXPECT_EQ(Ctl({"profile", "add", "ms", "light"}).code, 6);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(ProfileVerbs, NamesWithControlCharactersReachTheTerminalEscaped) {
    ASSERT_EQ(Ctl({"profiles"}).code, 0);
    ASSERT_TRUE(WriteIniString(data / "kb" / "kbProfile.ini", "PROFILENAME", "0",
                               "evil\x1b]0;title\x07name"));
    const Result r = Ctl({"profiles"});
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(r.out.find('\x07'), std::string::npos);
    EXPECT_NE(r.out.find("kb key: evil\\x1B]0;title\\x07name*"), std::string::npos) << r.out;
    const Result list = Ctl({"profile", "list", "kb", "key"});
    EXPECT_EQ(list.out, "* evil\\x1B]0;title\\x07name\n");
}

TEST_F(ProfileVerbs, FileFailuresSayWhatFailed) {
    ASSERT_EQ(Ctl({"profiles"}).code, 0);
    // The disk full, then no permission, while the new profile's file is written.
    for (const auto& [error, says] :
         {std::pair{ENOSPC, "the disk is full"}, std::pair{EACCES, "no permission"}}) {
        const int injected = error;
        SetAtomicWriteFaultHook([injected](AtomicWriteStep step, const fs::path&) {
            if (step != AtomicWriteStep::WriteData) return true;
            errno = injected;
            return false;
        });
        const Result r = Ctl({"profile", "add", "ms", "key", "full"});
        SetAtomicWriteFaultHook(nullptr);
        EXPECT_EQ(r.code, 6);
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(data / "ms" / "full.pro"));
    }
    // Not a folder: export into a "folder" that is a file; a data folder that is a file.
    WriteBytes(program / "plain", "a file");
    const Result notFolder = Ctl(
        {"profile", "export", "ms", "key", "profile1", Utf8FromPath(program / "plain" / "x.pro")});
    EXPECT_EQ(notFolder.code, 6);
    EXPECT_NE(notFolder.err.find("a file stands where its folder should be"), std::string::npos)
        << notFolder.err;
    std::ostringstream out, err;
    const int code = cli::Run({"--data-dir", Utf8FromPath(program / "plain"), "--program-dir",
                               Utf8FromPath(program.path()), "profile", "add", "mp", "light"},
                              out, err);
    EXPECT_EQ(code, 6);
    EXPECT_NE(err.str().find("a file stands where its folder should be"), std::string::npos)
        << err.str();
}

}  // namespace
}  // namespace vq::test
