// quilletctl mouse save on the simulated mouse: what goes on the wire, in which order.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "core/macro/macro_file.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;

struct Result {
    int code;
    std::string out, err;
};

std::string Script180() {
    std::string text = "[MACROACTIONCOUNT]\r\ncount=180\r\n[MACROACTION]\r\n";
    for (int i = 0; i < 180; ++i)
        text += std::to_string(i) + "=10,0,5,1,0,mouse_move_to_down_text\r\n";
    return text;
}

std::vector<MacroAction> Steps(int n) {
    MacroAction a;
    a.SetDelayMs(20);
    a.type = 0x8A;
    a.code = 4;
    a.down = 1;
    a.label = "keyboard_key_A";
    return std::vector<MacroAction>(static_cast<size_t>(n), a);
}

// The command byte of every request in a trace, a run of equal ones as "15*3".
std::vector<std::string> TracedCommands(const std::string& trace) {
    std::vector<std::string> codes;
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("> cfg ", 0) != 0) continue;
        codes.push_back(line.substr(6 + 3 * 3, 2));  // bytes 0-2 precede the command
    }
    std::vector<std::string> runs;
    for (size_t i = 0; i < codes.size();) {
        size_t j = i;
        while (j < codes.size() && codes[j] == codes[i])
            ++j;
        runs.push_back(j - i > 1 ? codes[i] + "*" + std::to_string(j - i) : codes[i]);
        i = j;
    }
    return runs;
}

class MouseSave : public ::testing::Test {
  protected:
    MouseSave() {
        for (int i = 1; i <= 4; ++i)
            WriteBytes(program / ("name_" + std::to_string(i) + ".cur"), Script180());
        fs::create_directories(data / "ms");
    }
    Result Ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--simulate", "--trace", "--data-dir", Utf8FromPath(data.path()),
                                   "--program-dir", Utf8FromPath(program.path())});
        std::ostringstream out, err;
        const int code = cli::Run(args, out, err);
        return {code, out.str(), err.str()};
    }
    void Library(const std::vector<int>& sizes) {
        MacroLibrary library(DeviceKind::Mouse, data / "ms");
        std::vector<std::string> names;
        for (size_t i = 0; i < sizes.size(); ++i) {
            names.push_back("m" + std::to_string(i));
            ASSERT_EQ(library.WriteMacro(names.back(), Steps(sizes[i])), MacroResult::Ok);
        }
        ASSERT_EQ(library.WriteNames(names), MacroResult::Ok);
    }

    TempDir data, program;
};

TEST_F(MouseSave, ScriptsThenTheMacroImageThenTheKeyLayer) {
    Library({3, 10});
    const Result r = Ctl({"mouse", "save"});
    ASSERT_EQ(r.code, 0) << r.err.substr(r.err.size() > 2000 ? r.err.size() - 2000 : 0);
    EXPECT_NE(r.out.find("cursor scripts: sent (2920 bytes)"), std::string::npos) << r.out;
    // 16 + 12 + 4 × 13 = 80 bytes: two reports.
    EXPECT_NE(r.out.find("macros: sent (80 bytes)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("key layer 0: sent"), std::string::npos) << r.out;
    const std::vector<std::string> commands = TracedCommands(r.err);
    const std::vector<std::string> save = {"01", "17*53", "02",    "01", "15*2",
                                           "02", "01",    "09*10", "02"};
    ASSERT_GE(commands.size(), save.size());
    EXPECT_EQ(
        std::vector<std::string>(commands.end() - static_cast<long>(save.size()), commands.end()),
        save);
}

TEST_F(MouseSave, ALibraryTooLargeForTheMouseSendsNoMacrosAndNoKeyLayer) {
    Library({1100});  // 16 + 6 + 4400 bytes; the simulated mouse holds 4096
    const Result r = Ctl({"mouse", "save"});
    EXPECT_EQ(r.code, 5);
    EXPECT_NE(r.err.find("remove at least 82 macro steps"), std::string::npos);
    const std::vector<std::string> commands = TracedCommands(r.err);
    ASSERT_GE(commands.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(commands.end() - 3, commands.end()),
              (std::vector<std::string>{"01", "17*53", "02"}));
    EXPECT_EQ(Ctl({"mouse", "load"}).code, 2);
}

}  // namespace
}  // namespace vq::test
