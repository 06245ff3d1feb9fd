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
        {{"mouse"}, "mouse needs dpi, stage, rate, lift or light"},
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
#endif

}  // namespace
}  // namespace vq::test
