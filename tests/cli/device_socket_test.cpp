// A device in another process: `quilletctl serve-sim` serving the simulated mouse on a socket,
// used by `quilletctl --device-socket` and by the program's own socket backend.

#if !defined(_WIN32)

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <thread>

#include "core/device/device_search.h"
#include "core/device/device_session.h"
#include "platform/socket/socket_backend.h"
#include "support/served_mouse.h"

namespace vq::test {
namespace {

constexpr uint32_t kLongWaitMs = 5000;  // only reached when something is wrong

// The served mouse of the other command tests, under this file's name.
class ServedMouse : public ServedSimMouse {};

TEST_F(ServedMouse, InfoListAndReadGoThroughTheSocket) {
    Serve();
    const CtlRun info = RunCtl("--device-socket " + path + " info");
    EXPECT_EQ(info.code, 0) << info.output;
    EXPECT_NE(info.output.find("macro capacity: 4096 bytes"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("sensor code: 0x3389"), std::string::npos);

    const CtlRun list = RunCtl("--device-socket " + path + " list");
    EXPECT_EQ(list.code, 0) << list.output;
    EXPECT_NE(
        list.output.find("0x0C45 0x7643 0xFF1C 0x0092 mouse.cfg#vid_0c45&pid_7643&mi_00&col01"),
        std::string::npos)
        << list.output;
    EXPECT_NE(list.output.find("0x0C45 0x7643 0x000C 0x0001 mouse.evt#"), std::string::npos);

    const CtlRun read = RunCtl("--device-socket " + path + " --json read");
    EXPECT_EQ(read.code, 0) << read.output;
    EXPECT_NE(read.output.find("\"stages\": [{\"dpi\": 400"), std::string::npos) << read.output;

    EXPECT_EQ(Quit(), 0);
    EXPECT_FALSE(SocketFileExists()) << "the server leaves its socket behind";
}

TEST_F(ServedMouse, ALateOrFloodingMousePrintsWhatAPromptOneDoes) {
    Serve();
    const CtlRun prompt = RunCtl("--device-socket " + path + " --json read");
    ASSERT_EQ(prompt.code, 0) << prompt.output;

    // Reports nobody asked for, one a millisecond, all through the read.
    CommandDone("flood on", "flooding");
    const CtlRun flooded = RunCtl("--device-socket " + path + " --json read");
    EXPECT_EQ(flooded.code, 0) << flooded.output;
    EXPECT_EQ(flooded.output, prompt.output);
    CommandDone("flood off", "not flooding");

    // Every answer 50 ms after the read limit: each request's first attempt times out and its
    // answer arrives during the retry, while the retry's own answer arrives during the next
    // request. Either the read fails and says so, or it prints what the prompt mouse printed.
    CommandDone("delay 350", "delayed");
    const CtlRun late = RunCtl("--device-socket " + path + " --json read");
    if (late.code == 0)
        EXPECT_EQ(late.output, prompt.output);
    else
        EXPECT_NE(late.output.find("the mouse did not answer"), std::string::npos) << late.output;
    CommandDone("delay 0", "delayed");
    EXPECT_EQ(Quit(), 0);
}

TEST_F(ServedMouse, UnplugReplugAndServerExitEndRequestsInsteadOfHanging) {
    Serve();
    std::string why;
    auto backend = platform::SocketHidBackend::Connect(path, &why);
    ASSERT_NE(backend, nullptr) << why;
    DeviceSession session(backend.get(), {kLongWaitMs, kLongWaitMs, 1, 0});
    session.SetIdentity(DeviceKind::Mouse);
    HidDevice listener(backend.get());
    auto connect = [&] {
        // After a plug the interfaces arrive a moment later: search until they are there.
        for (int i = 0; i < 1000; ++i) {
            {
                std::lock_guard lock(session.IoLock());
                if (ConnectConfigCollection(session) == SearchResult::Connected &&
                    OpenEventCollection(listener, kVendorId, kMouseProductId) ==
                        SearchResult::Connected)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    };
    ASSERT_TRUE(connect());
    ASSERT_EQ(session.Begin(), kResultSuccess);

    // Unplugged while the listener waits without a time limit: the wait ends.
    auto pending = std::async(std::launch::async, [&] {
        uint8_t report[64];
        return listener.ReadReport(3, nullptr, report, kInfinite);
    });
    Command("unplug");
    EXPECT_EQ(pending.get(), 0);
    EXPECT_FALSE(listener.Probe());
    EXPECT_FALSE(session.Device().Probe());
    EXPECT_EQ(session.Begin(), kResultLinkLost);
    EXPECT_FALSE(session.IsConnected());

    // Plugged in again: found, answers, and its notifications reach the listener.
    Command("plug");
    ASSERT_TRUE(connect());
    EXPECT_EQ(session.Begin(), kResultSuccess);
    Command("press");
    uint8_t report[64] = {};
    size_t n = 0;
    ASSERT_EQ(listener.ReadReport(3, &n, report, kLongWaitMs), 1);
    EXPECT_EQ(listener.FirstInputUsage({report, n}), 0x0401);

    // The server goes away altogether: the link is lost, nothing hangs, nothing is listed.
    pending = std::async(std::launch::async, [&] {
        uint8_t r[64];
        return listener.ReadReport(3, nullptr, r, kInfinite);
    });
    EXPECT_EQ(Quit(), 0);
    EXPECT_EQ(pending.get(), 0);
    EXPECT_EQ(session.Begin(), kResultLinkLost);
    EXPECT_FALSE(backend->LinkUp());
    std::vector<std::optional<std::string>> paths;
    EXPECT_TRUE(backend->Enumerate(paths));
    EXPECT_TRUE(paths.empty());
}

TEST_F(ServedMouse, NeitherSideTouchesWhatIsNotItsOwn) {
    // A file in the way is not a stale socket: the server refuses it and leaves it alone.
    { std::ofstream(path) << "precious"; }
    const CtlRun refused = RunCtl("serve-sim " + path + " </dev/null");
    EXPECT_EQ(refused.code, 4);
    EXPECT_NE(refused.output.find("is not a socket"), std::string::npos) << refused.output;
    std::ifstream kept(path);
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "precious");
    ::unlink(path.c_str());

    // With no server, the program says so instead of waiting.
    const CtlRun none = RunCtl("--device-socket " + path + " info");
    EXPECT_EQ(none.code, 3);
    EXPECT_NE(none.output.find("cannot connect"), std::string::npos) << none.output;

    // A second server on a live socket is refused; the first goes on serving.
    Serve();
    const CtlRun second = RunCtl("serve-sim " + path + " </dev/null");
    EXPECT_EQ(second.code, 4);
    EXPECT_NE(second.output.find("already served"), std::string::npos) << second.output;
    EXPECT_EQ(RunCtl("--device-socket " + path + " info").code, 0);
}

}  // namespace
}  // namespace vq::test

#endif
