// quilletctl's profile commands on a fresh data folder with a program folder of defaults.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "cli/cli.h"
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

constexpr DeviceKind kKinds[] = {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad};

class ProfileCommands : public ::testing::Test {
  protected:
    ProfileCommands() {
        for (DeviceKind kind : kKinds)
            for (ProfileFamily family : FamiliesOf(kind))
                Ship(DefaultFileName(kind, family, 0),
                     std::vector<uint8_t>(PayloadSize(kind, family), 0x5A), KindCode(kind));
        for (int i = 1; i <= 4; ++i)
            WriteBytes(program / ("name_" + std::to_string(i) + ".cur"),
                       "[MACROACTIONCOUNT]\r\ncount=0\r\n");
    }
    void Ship(const std::string& file, const std::vector<uint8_t>& payload, uint16_t code) {
        ASSERT_TRUE(WriteProfileFile(program / file, payload, code));
    }
    Result Ctl(std::vector<std::string> args, bool withFolders = true) {
        if (withFolders)
            args.insert(args.begin(), {"--data-dir", Utf8FromPath(data.path()), "--program-dir",
                                       Utf8FromPath(program.path())});
        std::ostringstream out, err;
        const int code = cli::Run(args, out, err);
        return {code, out.str(), err.str()};
    }
    // Every file under the data folder with its content.
    std::map<std::string, std::string> Snapshot() {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(data.path()))
            files[fs::relative(e.path(), data.path()).generic_string()] =
                e.is_regular_file() ? ReadBytes(e.path()) : "(folder)";
        return files;
    }
    static std::map<std::string, std::map<std::string, std::string>> IndexContent(
        const fs::path& path) {
        const IniLoad load = LoadIniFile(path);
        std::map<std::string, std::map<std::string, std::string>> content;
        for (const std::string& section : load.document.SectionNames())
            for (const std::string& key : load.document.KeyNames(section))
                content[section][key] = *load.document.Find(section, key);
        return content;
    }

    TempDir data, program;
};

TEST_F(ProfileCommands, ProfilesOnAnEmptyFolderCreatesEveryFamilyWithExactlyItsIndexEntries) {
    const Result r = Ctl({"profiles"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "data folder: " + Utf8FromPath(data.path()) +
                         "\n"
                         "kb device: profile1*\nkb light: profile1*\nkb key: profile1*\n"
                         "ms device: profile1*\nms light: profile1*\nms key: profile1*\n"
                         "mp light: profile1*\n");
    const std::map<std::string, std::map<std::string, std::string>> threeFamilies = {
        {"PROFILEDEVICECOUNT", {{"count", "1"}}},   {"PROFILELIKEDEVICEEXE", {{"0", "0"}}},
        {"PROFILEDEVICENAME", {{"0", "profile1"}}}, {"PROFILEDEVICESELECT", {{"select", "0"}}},
        {"PROFILEDENGCOUNT", {{"count", "1"}}},     {"PROFILELIKEDENGEXE", {{"0", "0"}}},
        {"PROFILEDENGNAME", {{"0", "profile1"}}},   {"PROFILEDENGSELECT", {{"select", "0"}}},
        {"PROFILECOUNT", {{"count", "1"}}},         {"PROFILELIKEEXE", {{"0", "0"}}},
        {"PROFILENAME", {{"0", "profile1"}}},       {"PROFILESELECT", {{"select", "0"}}},
    };
    EXPECT_EQ(IndexContent(data / "kb" / "kbProfile.ini"), threeFamilies);
    EXPECT_EQ(IndexContent(data / "ms" / "msProfile.ini"), threeFamilies);
    EXPECT_EQ(IndexContent(data / "mp" / "mpProfile.ini"),
              (std::map<std::string, std::map<std::string, std::string>>{
                  {"PROFILEDENGCOUNT", {{"count", "1"}}},
                  {"PROFILELIKEDENGEXE", {{"0", "0"}}},
                  {"PROFILEDENGNAME", {{"0", "profile1"}}},
                  {"PROFILEDENGSELECT", {{"select", "0"}}}}));
    for (const char* file : {"kb/profile1.config", "kb/profile1.led", "kb/profile1.pro",
                             "ms/profile1.config", "ms/profile1.led", "ms/profile1.pro",
                             "mp/profile1.led", "ms/name_1.cur", "ms/name_4.cur"})
        EXPECT_TRUE(fs::is_regular_file(data / file)) << file;
    EXPECT_EQ(ReadIniString(data / "ms" / "msMacro.ini", "CURSORCOUNT", "count", "0"), "4");

    // A second run lists the same and changes nothing.
    const auto before = Snapshot();
    const Result again = Ctl({"profiles"});
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.out, r.out);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(ProfileCommands, AddPutsANewProfileAtTheEndOfItsFamily) {
    const Result r = Ctl({"profile", "add", "ms", "light", "evening glow"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "added ms light profile evening glow\n");
    EXPECT_TRUE(fs::is_regular_file(data / "ms" / "evening glow.led"));
    const Result list = Ctl({"profiles"});
    EXPECT_NE(list.out.find("ms light: profile1, evening glow*\n"), std::string::npos) << list.out;
    EXPECT_EQ(Ctl({"profile", "add", "mp", "light", "desk"}).code, 0);
    EXPECT_NE(Ctl({"profiles"}).out.find("mp light: profile1, desk*\n"), std::string::npos);
}

TEST_F(ProfileCommands, BadOrTakenNamesAreRefusedInOneLineAndNothingIsWritten) {
    ASSERT_EQ(Ctl({"profiles"}).code, 0);
    const auto before = Snapshot();
    for (const std::string& name :
         {std::string("../x"), std::string("a/b"), std::string("a\\b"), std::string(""),
          std::string(300, 'n'), std::string("PROFILE1"), std::string("bad\nname")}) {
        const Result r = Ctl({"profile", "add", "kb", "key", name});
        EXPECT_EQ(r.code, 5) << name;
        EXPECT_EQ(r.out, "");
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;  // exactly one line
        EXPECT_EQ(r.err.rfind("quilletctl: cannot add kb key profile", 0), 0u) << r.err;
    }
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(fs::exists(data / "x.pro"));
    EXPECT_FALSE(fs::exists(data.path().parent_path() / "x.pro"));
}

TEST_F(ProfileCommands, UsageErrorsAndMissingDefaultsAreReported) {
    EXPECT_EQ(Ctl({"profile", "add", "zz", "light", "x"}).code, 2);
    EXPECT_EQ(Ctl({"profile", "add", "ms", "colour", "x"}).code, 2);
    EXPECT_EQ(Ctl({"profile", "add", "mp", "key", "x"}).code, 2);
    EXPECT_EQ(Ctl({"profile", "add", "ms"}).code, 2);
    EXPECT_EQ(Ctl({"profile", "add", "ms", "light", "a", "b"}).code, 2);
    EXPECT_EQ(Ctl({"profile", "remove", "ms", "light", "x"}).code, 2);
    EXPECT_EQ(Ctl({"profiles", "extra"}).code, 2);
    EXPECT_EQ(Ctl({"profiles", "--data-dir"}, false).code, 2);
    EXPECT_FALSE(fs::exists(data / "ms"));

    // Without the keyboard's first default its kind stops; the others are made.
    fs::remove(program / "kbdevicedefault.config");
    const Result r = Ctl({"profiles"});
    EXPECT_EQ(r.code, 6);
    EXPECT_NE(r.err.find("kbdevicedefault.config is missing"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("kb "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ms key: profile1*"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("mp light: profile1*"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(data / "kb" / "kbProfile.ini"));
    EXPECT_EQ(Ctl({"profile", "add", "kb", "light", "x"}).code, 6);
}

TEST(ProfileCommandsProcess, TheBuiltProgramSeedsFromTheDefaultsBesideIt) {
    TempDir data;
    const std::string command = std::string(VQ_QUILLETCTL) + " --data-dir '" +
                                Utf8FromPath(data.path()) + "' profiles 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    EXPECT_EQ(::pclose(pipe), 0) << output;
    EXPECT_NE(output.find("kb device: profile1*\n"), std::string::npos) << output;
    EXPECT_NE(output.find("mp light: profile1*\n"), std::string::npos) << output;
    // The shipped payloads went into the profiles unchanged.
    const fs::path programDir = fs::path(VQ_QUILLETCTL).parent_path();
    EXPECT_EQ(ReadBytes(data / "ms" / "profile1.config"),
              ReadBytes(programDir / "msdevicedefault.config"));
    EXPECT_EQ(ReadBytes(data / "ms" / "name_3.cur"), ReadBytes(programDir / "name_3.cur"));
}

#ifndef _WIN32
TEST_F(ProfileCommands, TheEnvironmentNamesTheDataFolderWhenNoOptionDoes) {
    ASSERT_EQ(::setenv(kDataFolderEnvironment, Utf8FromPath(data.path()).c_str(), 1), 0);
    const Result r = Ctl({"--program-dir", Utf8FromPath(program.path()), "profiles"}, false);
    ::unsetenv(kDataFolderEnvironment);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::is_regular_file(data / "mp" / "mpProfile.ini"));
}
#endif

}  // namespace
}  // namespace vq::test
