// quilletctl's mouse settings commands: what they send, what they print, what they save, and the
// operands they refuse before any device is touched.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "core/mouse/mouse_model.h"
#include "core/profile/profile_store.h"
#include "support/temp_dir.h"

#if !defined(_WIN32)
#include "support/served_mouse.h"
#endif

namespace vq::test {
namespace {

namespace fs = std::filesystem;

struct Result {
    int code;
    std::string out, err;
};

Result Ctl(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int code = cli::Run(args, out, err);
    return {code, out.str(), err.str()};
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(MouseCommands, EachSettingIsSentAndPrinted) {
    // The simulated mouse starts with stage 3 at 1600 DPI, stage 2 active, report rate item 3.
    Result dpi = Ctl({"--simulate", "mouse", "dpi", "3", "1234"});
    ASSERT_EQ(dpi.code, 0) << dpi.err;
    EXPECT_TRUE(Has(dpi.out, "stage 3: 1250 DPI")) << dpi.out;  // the nearest 50-DPI step
    EXPECT_TRUE(Has(dpi.out, "stage 2: 800 DPI")) << dpi.out;   // the neighbours untouched
    EXPECT_TRUE(Has(dpi.out, "stage 4: 3200 DPI")) << dpi.out;

    Result top = Ctl({"--simulate", "mouse", "dpi", "7", "16000"});
    ASSERT_EQ(top.code, 0) << top.err;
    EXPECT_TRUE(Has(top.out, "stage 7: 16000 DPI")) << top.out;

    Result stage = Ctl({"--simulate", "--json", "mouse", "stage", "5"});
    ASSERT_EQ(stage.code, 0) << stage.err;
    EXPECT_TRUE(Has(stage.out, "\"activeStage\": 4")) << stage.out;

    Result rate = Ctl({"--simulate", "mouse", "rate", "250"});
    ASSERT_EQ(rate.code, 0) << rate.err;
    EXPECT_TRUE(Has(rate.out, "report rate: item 1\n")) << rate.out;

    Result lift = Ctl({"--simulate", "mouse", "lift", "high"});
    ASSERT_EQ(lift.code, 0) << lift.err;
    EXPECT_TRUE(Has(lift.out, "lift-off height: 2\n")) << lift.out;

    // Static: one colour, seven colours off; the speed shown 4 is the record's 0.
    Result light = Ctl({"--simulate", "mouse", "light", "static", "--brightness", "2", "--speed",
                        "4", "--colour", "12ab9F"});
    ASSERT_EQ(light.code, 0) << light.err;
    EXPECT_TRUE(Has(light.out, "lighting: mode 5, brightness 2, speed 0, direction")) << light.out;
    EXPECT_TRUE(Has(light.out, "seven colours off, colour #12ab9f")) << light.out;

    Result spin = Ctl({"--simulate", "--json", "mouse", "light", "0", "--speed", "1"});
    ASSERT_EQ(spin.code, 0) << spin.err;
    EXPECT_TRUE(Has(spin.out, "\"mode\": 0")) << spin.out;
    EXPECT_TRUE(Has(spin.out, "\"speed\": 3")) << spin.out;
    EXPECT_TRUE(Has(spin.out, "\"sevenColor\": true")) << spin.out;
}

TEST(MouseCommands, TheChangeIsOneRecordWriteAfterTheReads) {
    Result r = Ctl({"--simulate", "--trace", "mouse", "lift", "middle"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::vector<std::string> sent;
    std::istringstream in(r.err);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("> cfg ", 0) == 0) sent.push_back(line);
    // The full read (63 requests), the slot and the record (2), then one WriteParams of 56 bytes
    // at address 0, the lift-off height at offset 51 of the data.
    ASSERT_EQ(sent.size(), 66u) << r.err;
    // Command, length and address of a request (after the ID and the checksum).
    auto header = [&](size_t i) { return sent[i].substr(6 + 3 * 3, 4 * 3 - 1); };
    EXPECT_EQ(header(63), "05 01 00 00");  // ReadParams: the slot
    EXPECT_EQ(header(64), "05 38 00 00");  // ReadParams: the record
    EXPECT_EQ(header(65), "06 38 00 00");  // WriteParams: the record
    // The data follows the 8-byte header: the lift-off height is byte 51 of the record.
    EXPECT_EQ(sent[65].substr(6 + 3 * (8 + 51), 2), "01") << sent[65];
}

TEST(MouseCommands, BadOperandsAreRefusedWithOneClearLine) {
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{"mouse"}, "mouse needs dpi, stage, colour, rate, lift, light, button, get, reset"},
        {{"mouse", "dance"}, "unknown mouse setting dance"},
        {{"mouse", "dpi", "0", "800"}, "the stage must be 1-7, not 0"},
        {{"mouse", "dpi", "8", "800"}, "the stage must be 1-7, not 8"},
        {{"mouse", "dpi", "2", "16001"}, "the DPI must be 0-16000, not 16001"},
        {{"mouse", "dpi", "2", "800x"}, "the DPI must be 0-16000, not 800x"},
        {{"mouse", "dpi", "2"}, "mouse dpi needs STAGE and DPI"},
        {{"mouse", "stage", "1", "2"}, "mouse stage takes only STAGE"},
        {{"mouse", "stage", "seven"}, "the stage must be 1-7, not seven"},
        {{"mouse", "rate", "300"}, "the report rate must be one of 125, 250, 500, 1000 Hz"},
        {{"mouse", "lift", "medium"}, "the lift-off height must be low, middle or high"},
        {{"mouse", "light", "8"}, "the light mode must be one of 0 spectrum-spin"},
        {{"mouse", "light", "1", "--brightness", "5"}, "--brightness must be 0-4"},
        {{"mouse", "light", "1", "--speed", "-1"}, "--speed must be 0-4"},
        {{"mouse", "light", "1", "--colour", "12345"}, "--colour must be RRGGBB"},
        {{"mouse", "light", "1", "--colour", "12345g"}, "--colour must be RRGGBB"},
        {{"mouse", "lift", "low", "--speed", "2"}, "go with mouse light only"},
        {{"mouse", "colour", "8", "ff0000"}, "the stage must be 1-7, not 8"},
        {{"mouse", "colour", "2", "red"}, "the colour must be RRGGBB in hexadecimal, not red"},
        {{"mouse", "colour", "2"}, "mouse colour needs STAGE and RRGGBB"},
        {{"mouse", "button", "0", "key:F5"}, "the button must be 1-8, not 0"},
        {{"mouse", "button", "9", "key:F5"}, "the button must be 1-8, not 9"},
        {{"mouse", "button", "2", "key:F55"}, "no key named \"F55\""},
        {{"mouse", "button", "2", "script:5"}, "the cursor script must be 1-4"},
        {{"mouse", "button", "2", "jump"}, "unknown function \"jump\""},
        {{"mouse", "button", "2"}, "mouse button needs N (1-8) and FUNCTION"},
        {{"mouse", "get", "1"}, "mouse get takes only nothing more"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--simulate"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = Ctl(args);
        std::string shown;
        for (const auto& a : c.args)
            shown += a + " ";
        EXPECT_EQ(r.code, 2) << shown;
        EXPECT_TRUE(Has(r.err, c.says)) << shown << "\n" << r.err;
        EXPECT_TRUE(r.out.empty()) << shown;
    }
}

// The number of requests with this command byte in a trace.
int Requests(const std::string& trace, const std::string& command) {
    std::istringstream lines(trace);
    std::string line;
    int n = 0;
    while (std::getline(lines, line))
        if (line.rfind("> cfg ", 0) == 0 && line.substr(6 + 3 * 3, 2) == command) ++n;
    return n;
}

TEST(MouseCommands, AButtonIsSetByNameAndSentWithItsKeyLayer) {
    const Result key = Ctl({"--simulate", "--trace", "mouse", "button", "4", "key:F5"});
    ASSERT_EQ(key.code, 0) << key.err;
    EXPECT_TRUE(Has(key.out, "button 4: key:F5\n")) << key.out;
    EXPECT_TRUE(Has(key.out, "button 5: mouse_key_back  (factory)\n")) << key.out;
    // The key layer: ten blocks of the indexed write, and no record write.
    EXPECT_EQ(Requests(key.err, "09"), 10) << key.err;
    EXPECT_EQ(Requests(key.err, "06"), 0);

    const Result script = Ctl({"--simulate", "--json", "mouse", "button", "6", "script:3"});
    ASSERT_EQ(script.code, 0) << script.err;
    EXPECT_TRUE(Has(script.out, R"({"button": 6, "function": "script:3", "code": [114, 2, 0])"))
        << script.out;
    const Result raw = Ctl({"--simulate", "--json", "mouse", "button", "7", "code:123285"});
    ASSERT_EQ(raw.code, 0) << raw.err;
    EXPECT_TRUE(Has(raw.out, R"("code": [18, 50, 133], "factory": false)")) << raw.out;

    // The mouse's only left click stays; nothing is sent.
    const Result left = Ctl({"--simulate", "--trace", "mouse", "button", "1", "key:F5"});
    EXPECT_EQ(left.code, 5);
    EXPECT_TRUE(Has(left.err, "button 1 is the mouse's only left click")) << left.err;
    EXPECT_EQ(Requests(left.err, "09"), 0);
    // Giving it the left click again (or its factory function) is no change and is allowed.
    EXPECT_EQ(Ctl({"--simulate", "mouse", "button", "1", "mouse_key_left"}).code, 0);
    EXPECT_EQ(Ctl({"--simulate", "mouse", "button", "1", "default"}).code, 0);

    // A macro needs the library of a data folder.
    const Result noLibrary = Ctl({"--simulate", "mouse", "button", "2", "macro:Reload"});
    EXPECT_EQ(noLibrary.code, 5);
    EXPECT_TRUE(Has(noLibrary.err, "give --data-dir")) << noLibrary.err;
}

TEST(MouseCommands, AMacroIsNamedFromTheLibraryOfTheDataFolder) {
    TempDir data;
    const std::string dir = Utf8FromPath(data.path());
    ASSERT_EQ(Ctl({"--data-dir", dir, "profiles"}).code, 0);
    ASSERT_EQ(Ctl({"--data-dir", dir, "macro", "add", "First"}).code, 0);
    ASSERT_EQ(Ctl({"--data-dir", dir, "macro", "add", "Reload"}).code, 0);
    const Result r = Ctl({"--simulate", "--data-dir", dir, "mouse", "button", "2", "macro:Reload"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "button 2: macro:Reload\n")) << r.out;
    const Result missing =
        Ctl({"--simulate", "--data-dir", dir, "mouse", "button", "2", "macro:reload"});
    EXPECT_EQ(missing.code, 5);
    EXPECT_TRUE(Has(missing.err, "no macro named \"reload\"")) << missing.err;
}

TEST(MouseCommands, ModeNamesAndNumbersAreTheSame) {
    Result byName = Ctl({"--simulate", "--json", "mouse", "light", "Colour_Cycle"});
    Result byNumber = Ctl({"--simulate", "--json", "mouse", "light", "2"});
    ASSERT_EQ(byName.code, 0) << byName.err;
    ASSERT_EQ(byNumber.code, 0) << byNumber.err;
    EXPECT_EQ(byName.out, byNumber.out);
    EXPECT_TRUE(Has(byName.out, "\"mode\": 2")) << byName.out;
}

// The program folder with the shipped defaults: beside the built quilletctl.
fs::path ProgramDir() {
    return fs::path(VQ_QUILLETCTL).parent_path();
}

MouseRecord StoredRecordOf(const fs::path& data, ProfileFamily family, MouseModel& model) {
    ProfileStore store(data, ProgramDir());
    const FamilyIndex index = store.ReadIndex(DeviceKind::Mouse, family);
    EXPECT_GE(index.selected, 0);
    EXPECT_EQ(store.LoadProfile(DeviceKind::Mouse, family, index.selected, model),
              ProfileReadResult::Ok);
    return model.Record();
}

TEST(MouseCommands, WithADataFolderTheSelectedProfilesFollowTheMouse) {
    TempDir data;
    const std::vector<std::string> folders = {"--data-dir", Utf8FromPath(data.path()),
                                              "--program-dir", Utf8FromPath(ProgramDir())};
    std::vector<std::string> args = folders;
    args.push_back("profiles");
    ASSERT_EQ(Ctl(args).code, 0);
    // The pointer speed is kept only in the light profile.
    MouseModel before;
    StoredRecordOf(data.path(), ProfileFamily::Light, before);
    const uint8_t pointerSpeed = before.PointerSpeed();

    args = {"--simulate"};
    args.insert(args.end(), folders.begin(), folders.end());
    for (const char* word : {"mouse", "dpi", "6", "4420"})
        args.push_back(word);
    const Result r = Ctl(args);
    ASSERT_EQ(r.code, 0) << r.err;

    MouseModel device, light;
    EXPECT_EQ(StoredRecordOf(data.path(), ProfileFamily::Device, device).StageDpi(5), 4400);
    EXPECT_EQ(StoredRecordOf(data.path(), ProfileFamily::Light, light).StageDpi(5), 4400);
    // The rest of the record is the mouse's: its stage 4.
    EXPECT_EQ(device.Record().StageDpi(3), 3200);
    EXPECT_EQ(light.PointerSpeed(), pointerSpeed);
}

#if !defined(_WIN32)
TEST(MouseCommands, WithoutADataFolderNoProfileIsWritten) {
    TempDir data;
    ASSERT_EQ(::setenv(kDataFolderEnvironment, Utf8FromPath(data.path()).c_str(), 1), 0);
    const Result r = Ctl({"--simulate", "mouse", "stage", "1"});
    ::unsetenv(kDataFolderEnvironment);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::is_empty(data.path()));
}

TEST_F(ServedSimMouse, SettingsCommandsReachTheMouseAndAFollowingReadShowsThem) {
    Serve();
    const std::string socket = "--device-socket " + path;
    for (const char* command : {"mouse dpi 2 950", "mouse stage 4", "mouse rate 500",
                                "mouse lift middle", "mouse light breathing --colour 102030"}) {
        const CtlRun run = RunCtl(socket + " " + command);
        EXPECT_EQ(run.code, 0) << command << "\n" << run.output;
    }
    const CtlRun read = RunCtl(socket + " read");
    ASSERT_EQ(read.code, 0) << read.output;
    EXPECT_TRUE(Has(read.output, "stage 2: 950 DPI")) << read.output;
    EXPECT_TRUE(Has(read.output, "stage 4: 3200 DPI, colour")) << read.output;
    EXPECT_TRUE(Has(read.output, "active stage: 4\n")) << read.output;
    EXPECT_TRUE(Has(read.output, "report rate: item 2\n")) << read.output;
    EXPECT_TRUE(Has(read.output, "lift-off height: 1\n")) << read.output;
    EXPECT_TRUE(Has(read.output, "lighting: mode 4,")) << read.output;
    EXPECT_TRUE(Has(read.output, "colour #102030\n")) << read.output;

    // A `read` sends nothing: two reads in a row print the same.
    EXPECT_EQ(RunCtl(socket + " read").output, read.output);
    EXPECT_EQ(Quit(), 0);
}

TEST_F(ServedSimMouse, ButtonsAndColoursStayOnTheMouseUntilItsFactoryReset) {
    Serve();
    const std::string socket = "--device-socket " + path;
    for (const char* command :
         {"mouse button 4 key:F5", "mouse colour 3 102030", "mouse button 2 mouse_key_left"}) {
        const CtlRun run = RunCtl(socket + " " + command);
        EXPECT_EQ(run.code, 0) << command << "\n" << run.output;
    }
    const CtlRun get = RunCtl(socket + " --json mouse get");
    ASSERT_EQ(get.code, 0) << get.output;
    EXPECT_TRUE(Has(get.output, R"({"button": 4, "function": "key:F5", "code": [32, 0, 62])"))
        << get.output;
    EXPECT_TRUE(Has(get.output, R"({"dpi": 1600, "color": [16, 32, 48]})")) << get.output;
    // Button 2 now has the left click too, so button 1 may change.
    const CtlRun first = RunCtl(socket + " mouse button 1 media_play");
    EXPECT_EQ(first.code, 0) << first.output;
    // ... and now button 2 is the only left click.
    EXPECT_EQ(RunCtl(socket + " mouse button 2 default").code, 5);

    const CtlRun reset = RunCtl(socket + " mouse reset");
    ASSERT_EQ(reset.code, 0) << reset.output;
    for (const char* shown :
         {"button 1: mouse_key_left  (factory)", "button 2: mouse_key_middle",
          "button 4: mouse_key_forward  (factory)", "stage 3: 1600 DPI, colour #0000ff"})
        EXPECT_TRUE(Has(reset.output, shown)) << shown << "\n" << reset.output;
    // What the reset printed is what the mouse holds.
    const CtlRun after = RunCtl(socket + " mouse get");
    EXPECT_EQ(after.output, reset.output);
    EXPECT_EQ(Quit(), 0);
}
#endif

}  // namespace
}  // namespace vq::test
