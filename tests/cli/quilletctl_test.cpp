// quilletctl end to end on the simulated mouse: output, trace, exit codes.

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "cli/cli.h"

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

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(Quilletctl, ReadPrintsTheRecordAndTracesTheWholeExchange) {
    Result r = Ctl({"--simulate", "--trace", "read"});
    ASSERT_EQ(r.code, 0) << r.err;
    auto trace = Lines(r.err);
    // Begin, ReadInfo, 10 factory chunks, 5 × 10 layer chunks, End, the slot and the record
    // (ReadParams 1 and 56 at 0): 65 pairs, and nothing written.
    ASSERT_EQ(trace.size(), 2u * 65u);
    EXPECT_EQ(trace.front().substr(0, 20), "> cfg 04 01 00 01 00");
    for (size_t i = 0; i < trace.size(); ++i) {
        EXPECT_EQ(trace[i].substr(0, 6), i % 2 == 0 ? "> cfg " : "< cfg ") << i;
        EXPECT_EQ(trace[i].size(), 6 + 64 * 3 - 1) << i;
    }
    EXPECT_EQ(trace[2 * 62].substr(0, 17), "> cfg 04 02 00 02");           // End
    EXPECT_EQ(trace[2 * 64].substr(0, 26), "> cfg 04 3d 00 05 38 00 00");  // ReadParams 56 at 0
    EXPECT_NE(r.out.find("stage 4: 3200 DPI"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("stage 2: 800 DPI, colour #00ff00  (active)"), std::string::npos);
}

TEST(Quilletctl, JsonAndInfo) {
    Result json = Ctl({"--simulate", "--json", "read"});
    ASSERT_EQ(json.code, 0) << json.err;
    EXPECT_EQ(json.out.front(), '{');
    EXPECT_NE(json.out.find("\"stages\": [{\"dpi\": 400"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"activeStage\": 1"), std::string::npos);
    EXPECT_TRUE(json.err.empty());

    Result info = Ctl({"--simulate", "info"});
    ASSERT_EQ(info.code, 0);
    EXPECT_NE(info.out.find("macro capacity: 4096 bytes"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("sensor code: 0x3389"), std::string::npos);
}

TEST(Quilletctl, BadUsageAndMissingDevicesGiveOneClearLineAndNonZeroCodes) {
    EXPECT_EQ(Ctl({}).code, 2);
    EXPECT_EQ(Ctl({"--simulate", "dance"}).code, 2);
    EXPECT_EQ(Ctl({"--bogus", "read"}).code, 2);
    EXPECT_EQ(Ctl({"read", "extra"}).code, 2);
    Result list = Ctl({"--simulate", "list"});
    EXPECT_EQ(list.code, 0);
    EXPECT_NE(list.out.find("0x0C45 0x7643 0xFF1C 0x0092"), std::string::npos) << list.out;
}

TEST(Quilletctl, TheProgramRunsAsAProcess) {
    std::FILE* pipe = ::popen(VQ_QUILLETCTL " --simulate read 2>&1", "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    const int status = ::pclose(pipe);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("active stage: 2"), std::string::npos) << output;
}

}  // namespace
}  // namespace vq::test
