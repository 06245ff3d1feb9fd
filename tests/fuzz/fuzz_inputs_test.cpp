// The fuzz harnesses' checks over their seeds and over every input that ever failed one of them
// (fuzz/regressions/<target>/), in the normal suite and its sanitizer builds.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_checks.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;

struct Target {
    const char* name;
    std::string (*check)(std::span<const uint8_t>);
};

const Target kTargets[] = {
    {"ini_document", fuzz::CheckIniDocument},           {"profile_file", fuzz::CheckProfileFile},
    {"macro_action_text", fuzz::CheckMacroActionText},  {"action_file", fuzz::CheckActionFile},
    {"report_descriptor", fuzz::CheckReportDescriptor}, {"device_lines", fuzz::CheckDeviceLines},
};

void PrintTo(const Target& target, std::ostream* os) {
    *os << target.name;
}

class FuzzInputs : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzInputs, PassTheirTargetsChecks) {
    const Target& target = GetParam();
    size_t seeds = 0;
    for (const char* folder : {"corpus", "regressions"}) {
        const fs::path dir = fs::path(VQ_SOURCE_DIR) / "fuzz" / folder / target.name;
        std::error_code ec;
        if (!fs::is_directory(dir, ec)) continue;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (!entry.is_regular_file() || entry.path().filename().string().front() == '.')
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                             std::istreambuf_iterator<char>());
            EXPECT_EQ(target.check(bytes), "") << entry.path();
            if (std::string(folder) == "corpus") ++seeds;
        }
    }
    EXPECT_GT(seeds, 0u) << "no seeds for " << target.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzInputs, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& p) {
                             return std::string(p.param.name);
                         });

}  // namespace
}  // namespace vq::test
