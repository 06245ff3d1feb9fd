// The program in front on a real X server (a private Xvfb, when the machine has one): the
// active window's process is followed by events, and a window without a process is unknown.

#include <gtest/gtest.h>

#if __has_include(<X11/Xlib.h>) && defined(__linux__)

#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/foreground_program.h"
#include "platform/private_x_server.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;

// What the follower reported, waited for without a fixed delay.
class Reports {
  public:
    void Add(const std::string& path) {
        std::lock_guard lock(mutex_);
        seen_.push_back(path);
        cv_.notify_all();
    }
    bool WaitFor(const std::string& path) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(10),
                            [&] { return !seen_.empty() && seen_.back() == path; });
    }
    std::vector<std::string> Seen() {
        std::lock_guard lock(mutex_);
        return seen_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> seen_;
};

void SetCardinal(Display* d, Window w, const char* property, Atom type, unsigned long value) {
    XChangeProperty(d, w, XInternAtom(d, property, False), type, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&value), 1);
    XFlush(d);
}

TEST(ForegroundX11, TheActiveWindowsProgramIsFollowedByEvents) {
    PrivateXServer server;
    if (!server.Ready()) GTEST_SKIP() << "no Xvfb on this machine";
    Display* d = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(d, nullptr);
    const Window root = DefaultRootWindow(d);
    const Window ours = XCreateSimpleWindow(d, root, 0, 0, 10, 10, 0, 0, 0);
    const Window anonymous = XCreateSimpleWindow(d, root, 0, 0, 10, 10, 0, 0, 0);
    SetCardinal(d, ours, "_NET_WM_PID", XA_CARDINAL, static_cast<unsigned long>(::getpid()));

    const std::string self = fs::read_symlink("/proc/self/exe").string();
    Reports reports;
    const std::unique_ptr<platform::ForegroundProgram> follower =
        platform::CreateSystemForegroundProgram();
    std::string why;
    ASSERT_TRUE(follower->Start([&](const std::string& path) { reports.Add(path); }, &why)) << why;
    EXPECT_TRUE(reports.WaitFor(""));  // no window is active yet

    // The window manager's part: naming the active window on the root.
    SetCardinal(d, root, "_NET_ACTIVE_WINDOW", XA_WINDOW, ours);
    EXPECT_TRUE(reports.WaitFor(self));
    SetCardinal(d, root, "_NET_ACTIVE_WINDOW", XA_WINDOW, anonymous);
    EXPECT_TRUE(reports.WaitFor(""));
    // A process id set after the window became active is followed too.
    SetCardinal(d, anonymous, "_NET_WM_PID", XA_CARDINAL, static_cast<unsigned long>(::getpid()));
    EXPECT_TRUE(reports.WaitFor(self));
    follower->Stop();
    EXPECT_EQ(reports.Seen(), (std::vector<std::string>{"", self, "", self}));
    XCloseDisplay(d);
}

TEST(ForegroundX11, WithoutAnXServerItSaysWhy) {
    const char* saved = std::getenv("DISPLAY");
    const std::string before = saved ? saved : "";
    ::setenv("DISPLAY", ":59999", 1);
    const std::unique_ptr<platform::ForegroundProgram> follower =
        platform::CreateSystemForegroundProgram();
    std::string why;
    EXPECT_FALSE(follower->Start([](const std::string&) {}, &why));
    EXPECT_NE(why.find("X server"), std::string::npos) << why;
    if (saved)
        ::setenv("DISPLAY", before.c_str(), 1);
    else
        ::unsetenv("DISPLAY");
}

}  // namespace
}  // namespace vq::test

#endif
