// The hidraw node's own file as a device, over a sequenced-packet socket that keeps report
// boundaries as a hidraw node does: reports pass through byte for byte, a read waits without a
// time limit until a report, a wake or the peer's end, and only a hidraw node opens.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <future>
#include <vector>

#include "platform/linux/hidraw_device.h"

namespace vq::test {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr auto kLongWait = std::chrono::seconds(5);  // only reached when something is wrong

class HidrawDeviceTest : public ::testing::Test {
  protected:
    HidrawDeviceTest() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
        device = platform::AdoptReportDescriptor(fds[0]);
        peer = fds[1];
    }
    ~HidrawDeviceTest() override {
        device.reset();
        ClosePeer();
    }
    void ClosePeer() {
        if (peer >= 0) ::close(peer);
        peer = -1;
    }
    void Send(const Bytes& report) const {
        ASSERT_EQ(::send(peer, report.data(), report.size(), 0),
                  static_cast<ssize_t>(report.size()));
    }
    Bytes ReadOne(int timeoutMs) const {
        Bytes buffer(65);
        const int n = device->Read(buffer, timeoutMs);
        if (n <= 0) return {};
        buffer.resize(static_cast<size_t>(n));
        return buffer;
    }

    std::unique_ptr<platform::RawHidDevice> device;
    int peer = -1;
};

TEST_F(HidrawDeviceTest, ReportsPassThroughUnchangedInBothDirections) {
    ASSERT_NE(device, nullptr);
    Bytes answer(64);
    for (size_t i = 0; i < answer.size(); ++i)
        answer[i] = static_cast<uint8_t>(i * 7);
    answer[0] = 0x04;  // a numbered report keeps its ID
    Send(answer);
    Send({0x05, 0x10, 0xF0});  // a report without an ID is not given one here
    EXPECT_EQ(ReadOne(platform::kRawWaitForever), answer);
    EXPECT_EQ(ReadOne(platform::kRawWaitForever), (Bytes{0x05, 0x10, 0xF0}));
    EXPECT_EQ(device->Read(answer, 0), 0);  // nothing more: no wait, no failure

    const Bytes request = {0x04, 0xA1, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(device->Write(request), static_cast<int>(request.size()));
    std::array<uint8_t, 65> got{};
    ASSERT_EQ(::recv(peer, got.data(), got.size(), 0), static_cast<ssize_t>(request.size()));
    EXPECT_TRUE(std::equal(request.begin(), request.end(), got.begin()));
    EXPECT_EQ(device->Write({}), -1);  // an empty report is never sent
}

TEST_F(HidrawDeviceTest, AWakeEndsAnUntimedReadAndWakesDoNotPileUp) {
    ASSERT_NE(device, nullptr);
    auto pending =
        std::async(std::launch::async, [&] { return ReadOne(platform::kRawWaitForever); });
    device->Wake();
    ASSERT_EQ(pending.wait_for(kLongWait), std::future_status::ready) << "the wake was lost";
    EXPECT_TRUE(pending.get().empty());

    // Wakes before a read end that read; the read after it waits for the report again.
    device->Wake();
    device->Wake();
    Send({0x03, 0x01, 0x04});
    EXPECT_TRUE(ReadOne(platform::kRawWaitForever).empty());
    EXPECT_EQ(ReadOne(platform::kRawWaitForever), (Bytes{0x03, 0x01, 0x04}));
}

TEST_F(HidrawDeviceTest, TheDeviceGoingAwayFailsAWaitingReadAndLaterOnes) {
    ASSERT_NE(device, nullptr);
    auto pending = std::async(std::launch::async, [&] {
        Bytes buffer(65);
        return device->Read(buffer, platform::kRawWaitForever);
    });
    ClosePeer();
    ASSERT_EQ(pending.wait_for(kLongWait), std::future_status::ready);
    EXPECT_EQ(pending.get(), -1);
    Bytes buffer(65);
    EXPECT_EQ(device->Read(buffer, 0), -1);
    ::signal(SIGPIPE, SIG_IGN);  // a socket says so with a signal as well; a hidraw node does not
    EXPECT_EQ(device->Write(Bytes{0x04, 0x01}), -1);
}

TEST(HidrawNode, OnlyAHidrawNodeOpens) {
    std::string why;
    EXPECT_EQ(platform::OpenHidrawNode("/nonexistent/hidraw0", &why), nullptr);
    EXPECT_FALSE(why.empty());
    // A file that opens for reading and writing but is no hidraw node.
    char name[] = "/tmp/vq-hidraw-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    why.clear();
    EXPECT_EQ(platform::OpenHidrawNode(name, &why), nullptr);
    EXPECT_NE(why.find("hidraw"), std::string::npos) << why;
    ::unlink(name);
}

}  // namespace
}  // namespace vq::test
