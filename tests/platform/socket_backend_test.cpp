// The socket backend against a scripted emulator in the test: what it does with a stranger on
// the socket, with lines it cannot use, and with an emulator that goes away and comes back.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <future>
#include <thread>

#include "platform/socket/socket_backend.h"

namespace vq::test {
namespace {

using platform::SocketHidBackend;

// A listening socket whose accepted connection the test writes to and reads from by hand.
class ScriptedEmulator : public ::testing::Test {
  protected:
    ScriptedEmulator() {
        char folder[] = "/tmp/vq-emu-XXXXXX";
        if (::mkdtemp(folder) != nullptr) dir = folder;
        path = dir + "/emu.sock";
        Listen();
    }
    ~ScriptedEmulator() override {
        if (client >= 0) ::close(client);
        if (listener >= 0) ::close(listener);
        ::unlink(path.c_str());
        ::rmdir(dir.c_str());
    }
    void Listen() {
        listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strcpy(a.sun_path, path.c_str());
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(::listen(listener, 2), 0);
    }
    void StopListening() {
        ::close(listener);
        listener = -1;
        ::unlink(path.c_str());
    }
    // Connects a backend while the "emulator" accepts and sends `greeting`.
    std::unique_ptr<SocketHidBackend> ConnectWith(const std::string& greeting, std::string* why,
                                                  uint32_t timeoutMs = 3000) {
        auto connecting = std::async(std::launch::async, [&] {
            return SocketHidBackend::Connect(path, why, {timeoutMs, 64});
        });
        if (client >= 0) ::close(client);
        client = ::accept(listener, nullptr, nullptr);
        Send(greeting);
        return connecting.get();
    }
    void Send(const std::string& text) {
        ASSERT_EQ(::send(client, text.data(), text.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(text.size()));
    }
    std::string ReceiveLine() {
        std::string line;
        char c = 0;
        while (::recv(client, &c, 1, 0) == 1 && c != '\n')
            line += c;
        return line;
    }

    std::string dir, path;
    int listener = -1, client = -1;
};

const char* kGreeting =
    "VQHID 1\n"
    "INTERFACE mouse.evt vid=0c45 pid=7643 mi=01 col=01 up=000c u=0001 in=3\n"
    "INTERFACE mouse.cfg vid=0c45 pid=7643 up=ff1c u=0092 in=64 out=64\n"
    "READY\n";
const std::string kEvt = "mouse.evt#vid_0c45&pid_7643&mi_01&col01";
const std::string kCfg = "mouse.cfg#vid_0c45&pid_7643&mi_00&col00";

TEST_F(ScriptedEmulator, AStrangerOrASilentPeerIsRefusedWithAReason) {
    std::string why;
    EXPECT_EQ(ConnectWith("HTTP/1.1 200 OK\n", &why), nullptr);
    EXPECT_NE(why.find("VQHID 1"), std::string::npos) << why;
    EXPECT_EQ(ConnectWith("VQHID 2\nREADY\n", &why), nullptr);  // a later version
    EXPECT_NE(why.find("VQHID 1"), std::string::npos) << why;
    EXPECT_EQ(ConnectWith("VQHID 1\n", &why, 50), nullptr);  // never says READY
    EXPECT_NE(why.find("in time"), std::string::npos) << why;
}

TEST_F(ScriptedEmulator, APeerThatAnnouncesInterfacesWithoutEndIsDropped) {
    std::string why;
    auto backend = ConnectWith(kGreeting, &why);
    ASSERT_NE(backend, nullptr) << why;
    // Up to 64 names in all are served, whether present or unplugged since.
    std::string lines;
    for (int i = 2; i < 64; ++i)
        lines += "INTERFACE x" + std::to_string(i) + " vid=0c45 pid=7643 up=ff00 u=1\n";
    lines += "UNPLUG x2\nINTERFACE x3 vid=0c45 pid=7643 up=ff00 u=1\n";
    Send(lines);
    std::vector<std::optional<std::string>> paths;
    for (int i = 0; i < 1000 && paths.size() != 63; ++i) {
        ASSERT_TRUE(backend->Enumerate(paths));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(paths.size(), 63u);
    EXPECT_TRUE(backend->LinkUp());
    // The 65th name: the peer is hung up on, and its interfaces are gone.
    Send("INTERFACE x64 vid=0c45 pid=7643 up=ff00 u=1\n");
    for (int i = 0; i < 1000 && backend->LinkUp(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_FALSE(backend->LinkUp());
    EXPECT_FALSE(backend->Probe(kCfg));
    pollfd hungUp{client, POLLIN, 0};
    ASSERT_EQ(::poll(&hungUp, 1, 5000), 1) << "the peer was not hung up on";
    char c = 0;
    EXPECT_EQ(::recv(client, &c, 1, 0), 0) << "the peer was not hung up on";
}

TEST_F(ScriptedEmulator, ReportsFlowBothWaysAndUnusableLinesAreSkipped) {
    std::string why;
    auto backend = ConnectWith(kGreeting, &why);
    ASSERT_NE(backend, nullptr) << why;
    std::vector<std::optional<std::string>> paths;
    ASSERT_TRUE(backend->Enumerate(paths));
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], kEvt);
    EXPECT_EQ(paths[1], kCfg);

    auto evt = backend->Open(kEvt, {true, false, true});
    auto cfg = backend->Open(kCfg, {true, true, true});
    ASSERT_TRUE(evt && cfg);
    EXPECT_EQ(evt->Caps().inputReportByteLength, 3);
    EXPECT_EQ(cfg->Attributes().productId, 0x7643);
    EXPECT_EQ(backend->Open("mouse.kbd#vid_0c45&pid_7643&mi_00&col00", {true}), nullptr);

    // Garbage between good lines changes nothing; a report for a closed or unknown interface
    // goes nowhere.
    Send("INPUT mouse.evt 0z\nWHAT\nINPUT nobody 0102\n" + std::string(20000, 'x') +
         "\nINPUT mouse.evt 030204\n");
    uint8_t report[64] = {};
    size_t n = 0;
    ASSERT_TRUE(evt->Read(report, n, 5000));
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(evt->FirstInputUsage({report, n}), 0x0402);
    EXPECT_FALSE(cfg->Read(report, n, 0));

    const uint8_t request[4] = {0x04, 0x01, 0x00, 0x01};
    ASSERT_TRUE(cfg->Write(request, n, 1000));
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(ReceiveLine(), "OUTPUT mouse.cfg 04010001");
    EXPECT_FALSE(evt->Write(request, n, 1000)) << "a read-only handle wrote";
}

TEST_F(ScriptedEmulator, UnplugReannounceAndHangUpAreSeenByTheHandles) {
    std::string why;
    auto backend = ConnectWith(kGreeting, &why);
    ASSERT_NE(backend, nullptr) << why;
    auto evt = backend->Open(kEvt, {true, false, true});
    ASSERT_NE(evt, nullptr);

    auto pending = std::async(std::launch::async, [&] {
        uint8_t r[8];
        size_t n = 0;
        return evt->Read(r, n, kInfinite);
    });
    Send("UNPLUG mouse.evt\n");
    EXPECT_FALSE(pending.get());
    EXPECT_FALSE(backend->Probe(kEvt));
    EXPECT_TRUE(backend->Probe(kCfg));

    // Announced again: a fresh plug-in. The old handle stays dead, a new one works.
    Send("INTERFACE mouse.evt vid=0c45 pid=7643 mi=01 col=01 up=000c u=0001 in=3\n");
    std::unique_ptr<HidHandle> fresh;
    for (int i = 0; i < 1000 && !fresh; ++i) {
        fresh = backend->Open(kEvt, {true, false, true});
        if (!fresh) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_NE(fresh, nullptr);
    Send("INPUT mouse.evt 030104\n");
    uint8_t r[8];
    size_t n = 0;
    EXPECT_TRUE(fresh->Read(r, n, 5000));
    EXPECT_FALSE(evt->Read(r, n, 0));

    // The emulator hangs up and is gone: reads end, nothing is listed, nothing hangs.
    pending = std::async(std::launch::async, [&] {
        uint8_t b[8];
        size_t m = 0;
        return fresh->Read(b, m, kInfinite);
    });
    StopListening();
    ::close(client);
    client = -1;
    EXPECT_FALSE(pending.get());
    EXPECT_FALSE(backend->LinkUp());
    std::vector<std::optional<std::string>> paths;
    EXPECT_TRUE(backend->Enumerate(paths));
    EXPECT_TRUE(paths.empty());

    // Back again at the same path: the next listing connects anew.
    Listen();
    auto listing = std::async(std::launch::async, [&] {
        std::vector<std::optional<std::string>> p;
        backend->Enumerate(p);
        return p.size();
    });
    client = ::accept(listener, nullptr, nullptr);
    Send(kGreeting);
    EXPECT_EQ(listing.get(), 2u);
    EXPECT_TRUE(backend->LinkUp());
}

}  // namespace
}  // namespace vq::test
