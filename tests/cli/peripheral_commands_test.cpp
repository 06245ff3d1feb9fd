// quilletctl's keyboard and mousepad commands on the simulated devices of --simulate all: what
// they print, what they send (seen in the trace), what they save, and the operands they refuse
// before any device is touched.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "core/keyboard/keyboard_model.h"
#include "core/keyboard/mousepad_model.h"
#include "core/profile/profile_store.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

struct Result {
    int code;
    std::string out, err;
};

Result Ctl(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int code = cli::Run(args, out, err);
    return {code, out.str(), err.str()};
}

// The program folder with the shipped defaults: beside the built quilletctl.
std::filesystem::path ProgramDir() {
    return std::filesystem::path(VQ_QUILLETCTL).parent_path();
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The trace lines of requests of one command ("> cfg 04 ck ck CMD ...").
std::vector<std::string> Requests(const std::string& trace, uint8_t command) {
    std::vector<std::string> lines;
    std::istringstream in(trace);
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", command);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("> cfg 04 ", 0) == 0 && line.substr(15, 2) == hex) lines.push_back(line);
    return lines;
}

TEST(PeripheralCommands, KeyboardGetReadsAndSendsNothing) {
    const Result r = Ctl({"--simulate", "all", "--trace", "--kind", "kb", "--json", "get"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "\"kind\": \"kb\"")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"lighting\": {\"mode\": ")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"assignments\": [[")) << r.out;
    // The full read and the live record: no write of any kind.
    EXPECT_FALSE(Requests(r.err, 0x08).empty());
    EXPECT_FALSE(Requests(r.err, 0x05).empty());
    for (uint8_t write : {0x06, 0x09, 0x12, 0x15})
        EXPECT_TRUE(Requests(r.err, write).empty()) << int{write};

    const Result text = Ctl({"--simulate", "all", "--kind", "kb", "get"});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_TRUE(Has(text.out, "keys given another function:\n  none")) << text.out;
}

TEST(PeripheralCommands, KeyGivenAFunctionGoesOutInTheKeyBlock) {
    const Result r =
        Ctl({"--simulate", "all", "--trace", "--kind", "kb", "key", "5", "0x14,200,3"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "key 5: 0x14,0xc8,0x03")) << r.out;
    // The key block's first report carries key 5 at bytes 15-17 of its data.
    const std::vector<std::string> blocks = Requests(r.err, 0x09);
    ASSERT_FALSE(blocks.empty()) << r.err;
    EXPECT_TRUE(Has(blocks.front(), " 14 c8 03")) << blocks.front();

    // A key name, and the factory function back.
    const Result named = Ctl({"--simulate", "all", "--kind", "kb", "key", "5", "keyboard_key_A"});
    ASSERT_EQ(named.code, 0) << named.err;
    EXPECT_TRUE(Has(named.out, "key 5: 0x20,0x00,0x04")) << named.out;
    const Result coded = Ctl({"--simulate", "all", "--kind", "kb", "key", "7", "code:300001"});
    ASSERT_EQ(coded.code, 0) << coded.err;
    EXPECT_TRUE(Has(coded.out, "key 7: 0x30,0x00,0x01")) << coded.out;
    EXPECT_EQ(Ctl({"--simulate", "all", "--kind", "kb", "key", "7", "code:30001"}).code, 2);
    const Result back = Ctl({"--simulate", "all", "--kind", "kb", "key", "0", "default"});
    ASSERT_EQ(back.code, 0) << back.err;
    EXPECT_TRUE(Has(back.out, "  none")) << back.out;
}

// Keys by the names of the keys they type, and functions by the mouse buttons' names: a key
// typing F5 from the factory is found wherever the keyboard keeps it, a macro of the keyboard's
// library is played by its place, and what cannot be is refused before anything is sent.
TEST(PeripheralCommands, KeysAndFunctionsByName) {
    TempDir data;
    const std::string dir = data.path().string();
    const std::string program = ProgramDir().string();
    auto ctl = [&](std::vector<std::string> args) {
        std::vector<std::string> all = {"--simulate",    "all",   "--data-dir", dir,
                                        "--program-dir", program, "--kind",     "kb"};
        all.insert(all.end(), args.begin(), args.end());
        return Ctl(all);
    };
    // F5's usage is 0x3e, F6's 0x3f.
    for (const char* name : {"F5", "key:f5", "KEYBOARD_KEY_F5"}) {
        const Result r = ctl({"--trace", "key", name, "key:F6"});
        ASSERT_EQ(r.code, 0) << name << r.err;
        EXPECT_TRUE(Has(r.out, ": 0x20,0x00,0x3f (factory 0x20,0x00,0x3e)")) << r.out;
        EXPECT_FALSE(Requests(r.err, 0x09).empty());
    }
    ASSERT_EQ(ctl({"macro", "add", "first"}).code, 0);
    ASSERT_EQ(ctl({"macro", "add", "second"}).code, 0);
    const Result played = ctl({"key", "Esc", "macro:second"});
    ASSERT_EQ(played.code, 0) << played.err;
    // Type 0x70 plays a macro; the second of the library is place 1.
    EXPECT_TRUE(Has(played.out, ": 0x70,0x01,0x00 (factory 0x20,0x00,0x29)")) << played.out;

    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"key", "Esc", "macro:third"}, "no macro named \"third\" in the keyboard's library"},
        {{"key", "Esc", "script:1"}, "cursor scripts are the mouse's"},
        {{"key", "NoSuchKey", "default"}, "not \"NoSuchKey\""},
        {{"key", "Esc", "key:NoSuchKey"}, "no key named \"NoSuchKey\""},
    };
    for (const auto& [args, why] : refused) {
        std::vector<std::string> traced = {"--trace"};
        traced.insert(traced.end(), args.begin(), args.end());
        const Result r = ctl(traced);
        EXPECT_EQ(r.code, 2) << args[1] << " " << args[2];
        EXPECT_TRUE(Has(r.err, why)) << r.err;
        EXPECT_TRUE(Requests(r.err, 0x09).empty()) << r.err;
    }
}

TEST(PeripheralCommands, LightIsSentAndSavedInTheSelectedProfiles) {
    TempDir data;
    const std::string dir = data.path().string();
    const std::string program = ProgramDir().string();
    const Result r =
        Ctl({"--simulate", "all", "--trace", "--data-dir", dir, "--program-dir", program, "--kind",
             "kb", "light", "2", "--brightness", "1", "--speed", "4", "--colour", "ff8000"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "lighting: mode 2, brightness 1, speed 0, direction")) << r.out;
    EXPECT_TRUE(Has(r.out, "colour #ff8000")) << r.out;
    const std::vector<std::string> records = Requests(r.err, 0x06);
    ASSERT_EQ(records.size(), 1u) << r.err;
    EXPECT_TRUE(Has(records.front(), " 02 01 00")) << records.front();

    ProfileStore store(data.path(), ProgramDir());
    KeyboardModel saved;
    ASSERT_EQ(
        store.LoadProfile(DeviceKind::Keyboard, ProfileFamily::Light,
                          store.StoredSelection(DeviceKind::Keyboard, ProfileFamily::Light), saved),
        ProfileReadResult::Ok);
    EXPECT_EQ(saved.Light().mode, 2);
    EXPECT_EQ(saved.Light().colour, (Rgb{0xff, 0x80, 0x00}));

    const Result pad = Ctl({"--simulate", "all", "--kind", "mp", "--json", "light", "8"});
    ASSERT_EQ(pad.code, 0) << pad.err;
    EXPECT_TRUE(Has(pad.out, "{\"kind\": \"mp\", \"lighting\": {\"mode\": 8")) << pad.out;
}

TEST(PeripheralCommands, BadOperandsAndAbsentDevicesAreRefused) {
    EXPECT_EQ(Ctl({"--simulate", "all", "get"}).code, 2);  // no --kind
    EXPECT_EQ(Ctl({"--simulate", "all", "--kind", "kb", "light", "17"}).code, 2);
    EXPECT_EQ(Ctl({"--simulate", "all", "--kind", "mp", "light", "10"}).code, 2);
    EXPECT_EQ(Ctl({"--simulate", "all", "--kind", "mp", "key", "1", "default"}).code, 2);
    EXPECT_EQ(Ctl({"--simulate", "all", "--kind", "kb", "key", "1", "0x14,300,1"}).code, 2);
    EXPECT_EQ(Ctl({"--simulate", "all", "--kind", "kb", "key", "1", "nonsense"}).code, 2);
    EXPECT_EQ(Ctl({"--simulate", "all", "--kind", "kb", "light", "1", "--colour", "red"}).code, 2);
    EXPECT_EQ(Ctl({"--simulate", "all", "--kind", "kb", "get", "extra"}).code, 2);
    // The simulated keyboard has fewer keys than 170.
    EXPECT_EQ(Ctl({"--simulate", "all", "--kind", "kb", "key", "170", "default"}).code, 2);
    // Without "all" there is no keyboard: nothing but the search.
    const Result absent = Ctl({"--simulate", "--trace", "--kind", "kb", "get"});
    EXPECT_EQ(absent.code, 3);
    EXPECT_TRUE(Has(absent.err, "no keyboard found")) << absent.err;
    EXPECT_EQ(absent.err.find("> cfg"), std::string::npos) << absent.err;
}

}  // namespace
}  // namespace vq::test
