// `quilletctl list` on the machine running the tests, with its real HID access: it runs to the
// end and says what it found, or that none of our devices is there.

#if !defined(_WIN32)

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace vq::test {
namespace {

TEST(QuilletctlList, SaysWhenNoDeviceOfOursIsPresent) {
    std::FILE* pipe = ::popen(VQ_QUILLETCTL " list 2>&1", "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    const bool ours = output.find("0x0C45 0x7643") != std::string::npos ||
                      output.find("0x0C45 0x6556") != std::string::npos ||
                      output.find("0x0C45 0x5004") != std::string::npos;
    if (!ours) {
        const bool deniedOurs = output.find("permission denied") != std::string::npos;
        EXPECT_TRUE(deniedOurs || output.find("no mouse, keyboard or mousepad of ours found") !=
                                      std::string::npos)
            << output;
    }
}

}  // namespace
}  // namespace vq::test

#endif
