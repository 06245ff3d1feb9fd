// The Windows backend's pieces that need no HID device: path text in both encodings, the usage
// list compaction, and overlapped transfers with their time limit, stop event and cancellation,
// exercised on a named pipe.

#if defined(_WIN32)

#include <gtest/gtest.h>

#include <future>
#include <string>

#include "platform/win32/hid_win32.h"

namespace vq::test {
namespace {

using platform::OverlappedTransfer;

TEST(Win32Text, PathsSurviveTheTripThroughUtf16) {
    const std::string path =
        "\\\\?\\hid#vid_0c45&pid_7643&mi_01&col02#7&1a2b&0&0001#"
        "{4d1e55b2-f16f-11cf-88cb-001111000030}\xC3\xA9\xE6\xBC\xA2\xF0\x9F\x96\xB1";
    const std::wstring wide = platform::WideFromUtf8(path);
    EXPECT_EQ(wide.size(), path.size() - 1 - 2 - 2);  // é, 漢 one unit each, the mouse two
    EXPECT_EQ(wide.substr(0, 8), L"\\\\?\\hid#");
    EXPECT_EQ(platform::Utf8FromWide(wide), path);
    EXPECT_TRUE(platform::WideFromUtf8("").empty());
    EXPECT_TRUE(platform::Utf8FromWide(L"").empty());
}

TEST(Win32Usages, CompactionKeepsInRangeUsagesInOrderAndEndsTheList) {
    std::vector<USAGE> usages = {0x0401, 0x0000, 0x0FFF, 0x0402, 0x0009};
    platform::CompactUsages(usages, 5, 0x0001, 0x0500);
    EXPECT_EQ(usages[0], 0x0401);
    EXPECT_EQ(usages[1], 0x0402);
    EXPECT_EQ(usages[2], 0x0009);
    EXPECT_EQ(usages[3], 0x0000);  // the end of the list
    // Only the first n count; a full list of kept usages has no end marker to write.
    std::vector<USAGE> full = {3, 4, 99};
    platform::CompactUsages(full, 2, 1, 10);
    EXPECT_EQ(full, (std::vector<USAGE>{3, 4, 0}));
    std::vector<USAGE> all = {3, 4};
    platform::CompactUsages(all, 7, 1, 10);  // more than there is room for
    EXPECT_EQ(all, (std::vector<USAGE>{3, 4}));
    std::vector<USAGE> none;
    platform::CompactUsages(none, 1, 0, 0);
    EXPECT_TRUE(none.empty());
}

// A connected pair of overlapped pipe ends standing in for a device handle.
class OverlappedPipe : public ::testing::Test {
  protected:
    OverlappedPipe() {
        const std::wstring name = L"\\\\.\\pipe\\vq-test-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(reinterpret_cast<uintptr_t>(this));
        device = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                  PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096,
                                  4096, 0, nullptr);
        host = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
        stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        io = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        deviceIo = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        neverStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~OverlappedPipe() override {
        for (HANDLE h : {device, host, stop, io, deviceIo, neverStop})
            if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    void SetUp() override {
        ASSERT_NE(device, INVALID_HANDLE_VALUE);
        ASSERT_NE(host, INVALID_HANDLE_VALUE);
    }

    // What the device side sends, as a report the host reads.
    void DeviceSends(const std::string& bytes) {
        DWORD n = 0;
        ASSERT_EQ(
            OverlappedTransfer(device, true, const_cast<char*>(bytes.data()),
                               static_cast<DWORD>(bytes.size()), 5000, neverStop, deviceIo, n),
            1);
        ASSERT_EQ(n, bytes.size());
    }
    std::string DeviceReceives() {
        char buffer[64] = {};
        DWORD n = 0;
        if (OverlappedTransfer(device, false, buffer, sizeof buffer, 5000, neverStop, deviceIo,
                               n) == 0)
            return "(nothing)";
        return std::string(buffer, n);
    }
    int HostReads(std::string& out, DWORD timeoutMs) {
        char buffer[64] = {};
        DWORD n = 0;
        const int result =
            OverlappedTransfer(host, false, buffer, sizeof buffer, timeoutMs, stop, io, n);
        out.assign(buffer, n);
        return result;
    }

    HANDLE device = INVALID_HANDLE_VALUE, host = INVALID_HANDLE_VALUE;
    HANDLE stop = nullptr, io = nullptr, deviceIo = nullptr, neverStop = nullptr;
};

TEST_F(OverlappedPipe, AReadThatTimesOutIsCancelledAndTakesNothingLater) {
    std::string got;
    EXPECT_EQ(HostReads(got, 20), 0);
    EXPECT_TRUE(got.empty());
    // The cancelled read is over: the next report goes to the next read, whole.
    DeviceSends("\x03\x01\x04");
    EXPECT_EQ(HostReads(got, 5000), 1);
    EXPECT_EQ(got, "\x03\x01\x04");
}

TEST_F(OverlappedPipe, WritesAndReadyReportsGoThroughTheWait) {
    DeviceSends("answer");  // already there: the read completes at once, still via the wait
    std::string got;
    EXPECT_EQ(HostReads(got, 0), 1);
    EXPECT_EQ(got, "answer");
    std::string request("\x04\x01\x00\x01", 4);
    DWORD n = 0;
    EXPECT_EQ(OverlappedTransfer(host, true, request.data(), 4, 1000, stop, io, n), 1);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(DeviceReceives(), request);
}

TEST_F(OverlappedPipe, TheStopEventEndsAnUntimedRead) {
    auto pending = std::async(std::launch::async, [&] {
        std::string got;
        return HostReads(got, INFINITE);
    });
    EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    SetEvent(stop);
    EXPECT_EQ(pending.get(), 0);
    // Stopped stays stopped: a later transfer ends at once too.
    std::string got;
    EXPECT_EQ(HostReads(got, INFINITE), 0);
}

TEST_F(OverlappedPipe, TheOtherEndGoingAwayFailsAPendingRead) {
    auto pending = std::async(std::launch::async, [&] {
        std::string got;
        return HostReads(got, INFINITE);
    });
    EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    CloseHandle(device);
    device = INVALID_HANDLE_VALUE;
    EXPECT_EQ(pending.get(), 0);
}

TEST(Win32Backend, AbsentPathsAreNeitherPresentNorOpenable) {
    platform::Win32HidBackend backend;
    const std::string path = "\\\\?\\hid#vid_0c45&pid_7643#no-such-device";
    EXPECT_FALSE(backend.Probe(path));
    EXPECT_EQ(backend.Open(path, {true, true, true, false}), nullptr);
    EXPECT_EQ(backend.DiagnoseOpenFailure(path), HidOpenFailure::NotPresent);
}

}  // namespace
}  // namespace vq::test

#endif  // _WIN32
