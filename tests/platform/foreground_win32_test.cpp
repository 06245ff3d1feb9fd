// The program in front on Windows: a process's program file from its module snapshot, and the
// follower's first report, its thread and its stop. (Under Wine without a display no window
// can come to the front, so the change events themselves are not exercised there.)

#if defined(_WIN32)

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/win32/foreground_win32.h"
#include "platform/win32/wide_text.h"

namespace vq::test {
namespace {

TEST(Win32Foreground, AProcessIsKnownByItsProgramFile) {
    wchar_t own[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, own, MAX_PATH), 0u);
    EXPECT_EQ(platform::ProgramOfProcessId(GetCurrentProcessId()), platform::Utf8FromWide(own));
    // No process: nothing, not a guess.
    EXPECT_EQ(platform::ProgramOfProcessId(0), "");
    EXPECT_EQ(platform::ProgramOfProcessId(0xFFFFFFF0u), "");
}

TEST(Win32Foreground, TheFirstReportComesFromTheFollowersThreadAndNothingAfterStop) {
    auto follower = platform::CreateWin32ForegroundProgram();
    std::mutex mutex;
    std::condition_variable cv;
    int reports = 0;
    std::thread::id reportedOn;
    std::atomic<bool> stopped{false};
    std::atomic<int> afterStop{0};
    std::string why;
    const bool started = follower->Start(
        [&](const std::string&) {
            if (stopped) ++afterStop;
            std::lock_guard lock(mutex);
            ++reports;
            reportedOn = std::this_thread::get_id();
            cv.notify_all();
        },
        &why);
    ASSERT_TRUE(started) << why;
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return reports > 0; }));
        EXPECT_NE(reportedOn, std::this_thread::get_id());
    }
    follower->Stop();
    stopped = true;
    follower->Stop();  // twice is fine
    EXPECT_EQ(afterStop.load(), 0);
    // It can follow again after a stop.
    ASSERT_TRUE(follower->Start([&](const std::string&) {}, &why)) << why;
    follower.reset();  // stops on destruction
}

}  // namespace
}  // namespace vq::test

#endif
