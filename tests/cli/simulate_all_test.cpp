// quilletctl --simulate all: the simulated keyboard and mousepad beside the mouse.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"

namespace vq::test {
namespace {

TEST(QuilletctlSimulateAll, ListShowsTheKeyboardAndTheMousepadToo) {
    std::ostringstream out, err;
    ASSERT_EQ(cli::Run({"--simulate", "all", "list"}, out, err), 0) << err.str();
    const std::string text = out.str();
    EXPECT_NE(text.find("0x0C45 0x7643 0xFF1C 0x0092"), std::string::npos) << text;
    EXPECT_NE(text.find("0x0C45 0x6556 0xFF1C 0x0092"), std::string::npos) << text;
    EXPECT_NE(text.find("0x0C45 0x6556 0x000C 0x0001"), std::string::npos) << text;
    EXPECT_NE(text.find("0x0C45 0x5004 0xFF1C 0x0092"), std::string::npos) << text;

    // Without "all" only the mouse is there; the mouse's commands work the same with it.
    std::ostringstream mouseOnly, e2;
    ASSERT_EQ(cli::Run({"--simulate", "list"}, mouseOnly, e2), 0);
    EXPECT_EQ(mouseOnly.str().find("0x6556"), std::string::npos);
    std::ostringstream info, e3;
    EXPECT_EQ(cli::Run({"--simulate", "all", "info"}, info, e3), 0) << e3.str();
}

}  // namespace
}  // namespace vq::test
