#include "platform/socket/socket_server.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>
#include <vector>

#include "core/util/log.h"
#include "platform/socket/device_protocol.h"

namespace vq::platform {

namespace {

constexpr uint32_t kDeviceWriteTimeoutMs = 1000;

std::string SanitisedName(const std::string& path) {
    std::string name;
    for (char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-' || c == ':';
        name += plain ? c : '-';
    }
    return name.substr(0, 200);
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

// ---- one program being served -------------------------------------------------------------

class SocketDeviceServer::Connection {
  public:
    Connection(int fd, HidBackend* backend, std::function<std::string(const std::string&)> nameOf)
        : fd_(fd), backend_(backend), nameOf_(std::move(nameOf)) {}

    ~Connection() {
        std::map<std::string, std::unique_ptr<Served>> served;
        {
            std::lock_guard lock(mutex_);
            served.swap(served_);
        }
        for (auto& [name, s] : served)
            Retire(*s);
        ::close(fd_);
    }

    // Hello, the interface list, READY; then the program's reports until it leaves.
    void Serve() {
        DeviceMessage hello;
        hello.kind = DeviceMessageKind::Hello;
        hello.version = kDeviceProtocolVersion;
        Send(FormatDeviceLine(hello));
        Rescan();
        DeviceMessage ready;
        ready.kind = DeviceMessageKind::Ready;
        Send(FormatDeviceLine(ready));

        LineSplitter splitter;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            splitter.Feed(std::string_view(buffer, static_cast<size_t>(n)));
            while (auto line = splitter.Next()) {
                std::string error;
                auto m = ParseDeviceLine(*line, &error);
                if (!m || m->kind != DeviceMessageKind::Output) {
                    Logf(LogLevel::Warning, "device server: ignored a line: %s",
                         m ? "not a report" : error.c_str());
                    continue;
                }
                std::shared_ptr<HidHandle> handle;
                {
                    std::lock_guard lock(mutex_);
                    if (auto it = served_.find(m->name); it != served_.end() && !it->second->gone)
                        handle = it->second->handle;
                }
                size_t written = 0;
                if (!handle || !handle->Write(m->bytes, written, kDeviceWriteTimeoutMs))
                    Logf(LogLevel::Debug, "device server: report for %s not delivered",
                         m->name.c_str());
            }
        }
    }

    void Close() { ::shutdown(fd_, SHUT_RDWR); }

    void Rescan() {
        std::lock_guard rescan(rescanMutex_);
        std::vector<std::optional<std::string>> paths;
        if (!backend_->Enumerate(paths)) return;
        std::vector<std::string> present;
        for (const auto& p : paths)
            if (p) present.push_back(*p);

        // Gone, or unplugged and back: retire the old one first.
        std::vector<std::unique_ptr<Served>> retired;
        {
            std::lock_guard lock(mutex_);
            for (auto it = served_.begin(); it != served_.end();) {
                const bool there =
                    std::find(present.begin(), present.end(), it->second->path) != present.end();
                if (there && !it->second->gone) {
                    ++it;
                    continue;
                }
                retired.push_back(std::move(it->second));
                it = served_.erase(it);
            }
        }
        for (auto& s : retired)
            Retire(*s);

        for (const std::string& path : present) {
            const std::string name = nameOf_ ? nameOf_(path) : SanitisedName(path);
            {
                std::lock_guard lock(mutex_);
                if (served_.contains(name)) continue;
            }
            std::unique_ptr<HidHandle> opened = backend_->Open(path, {true, true, true, false});
            if (!opened) continue;
            auto served = std::make_unique<Served>();
            served->path = path;
            served->name = name;
            served->handle = std::move(opened);
            DeviceMessage m;
            m.kind = DeviceMessageKind::Interface;
            m.interface.name = name;
            m.interface.attributes = served->handle->Attributes();
            m.interface.caps = served->handle->Caps();
            m.interface.interfaceNumber = HexAfter(path, "&mi_");
            m.interface.collectionNumber = HexAfter(path, "&col");
            Send(FormatDeviceLine(m));
            Served* raw = served.get();
            std::lock_guard lock(mutex_);
            served_.emplace(name, std::move(served));
            raw->forwarder = std::thread([this, raw] { Forward(*raw); });
        }
    }

  private:
    struct Served {
        std::string path;
        std::string name;
        std::shared_ptr<HidHandle> handle;
        std::thread forwarder;
        bool gone = false;        // its reads failed: unplugged
        bool unplugSent = false;  // guarded by the connection's mutex
    };

    static uint32_t HexAfter(const std::string& path, const char* marker) {
        std::string lower = path;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const size_t at = lower.find(marker);
        if (at == std::string::npos) return 0;
        return static_cast<uint32_t>(
            std::strtoul(lower.c_str() + at + std::strlen(marker), nullptr, 16) & 0xFF);
    }

    // Input from the device, as it comes, until the interface goes or is retired.
    void Forward(Served& s) {
        std::vector<uint8_t> buffer(4096);
        for (;;) {
            size_t n = 0;
            if (!s.handle->Read(buffer, n, kInfinite)) break;
            DeviceMessage m;
            m.kind = DeviceMessageKind::Input;
            m.name = s.name;
            m.bytes.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
            if (!m.bytes.empty()) Send(FormatDeviceLine(m));
        }
        if (!backend_->Probe(s.path)) SendUnplug(s);
    }

    void SendUnplug(Served& s) {
        {
            std::lock_guard lock(mutex_);
            s.gone = true;
            if (s.unplugSent) return;
            s.unplugSent = true;
        }
        DeviceMessage m;
        m.kind = DeviceMessageKind::Unplug;
        m.name = s.name;
        Send(FormatDeviceLine(m));
    }

    void Retire(Served& s) {
        SendUnplug(s);
        s.handle->Cancel();
        if (s.forwarder.joinable()) s.forwarder.join();
    }

    void Send(const std::string& line) {
        std::lock_guard lock(sendMutex_);
        size_t sent = 0;
        while (sent < line.size()) {
            const ssize_t n = ::send(fd_, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;  // the program left; its reader notices
            sent += static_cast<size_t>(n);
        }
    }

    const int fd_;
    HidBackend* backend_;
    std::function<std::string(const std::string&)> nameOf_;
    std::mutex rescanMutex_;
    std::mutex sendMutex_;
    std::mutex mutex_;  // guards served_ and the flags of its entries
    std::map<std::string, std::unique_ptr<Served>> served_;
};

// ---- the server ---------------------------------------------------------------------------

SocketDeviceServer::SocketDeviceServer(HidBackend* backend,
                                       std::function<std::string(const std::string&)> nameOf)
    : backend_(backend), nameOf_(std::move(nameOf)) {}

SocketDeviceServer::~SocketDeviceServer() {
    Stop();
}

bool SocketDeviceServer::Start(const std::string& path, std::string* whyNot) {
    auto fail = [&](const std::string& why) {
        if (whyNot) *whyNot = why;
        if (listenFd_ >= 0) ::close(listenFd_);
        listenFd_ = -1;
        return false;
    };
    sockaddr_un address;
    if (!FillAddress(path, address)) return fail("the socket path is empty or too long");
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) return fail(path + " exists and is not a socket");
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool live =
            probe >= 0 &&
            ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        if (probe >= 0) ::close(probe);
        if (live) return fail("a device is already served at " + path);
        ::unlink(path.c_str());  // left behind by a server that is gone
    }
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return fail(std::string("socket: ") + std::strerror(errno));
    if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return fail("cannot bind " + path + ": " + std::strerror(errno));
    if (::listen(listenFd_, 4) != 0) return fail(std::string("listen: ") + std::strerror(errno));
    if (::pipe2(wakePipe_, O_CLOEXEC) != 0) {
        ::unlink(path.c_str());
        return fail(std::string("pipe: ") + std::strerror(errno));
    }
    path_ = path;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void SocketDeviceServer::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) == 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        auto connection = std::make_shared<Connection>(fd, backend_, nameOf_);
        {
            std::lock_guard lock(mutex_);
            connection_ = connection;
        }
        Logf(LogLevel::Info, "device server: a program connected");
        connection->Serve();
        {
            std::lock_guard lock(mutex_);
            connection_.reset();
        }
        connection.reset();  // retires its interfaces and closes the socket
        Logf(LogLevel::Info, "device server: the program left");
    }
}

void SocketDeviceServer::Rescan() {
    std::shared_ptr<Connection> connection;
    {
        std::lock_guard lock(mutex_);
        connection = connection_;
    }
    if (connection) connection->Rescan();
}

void SocketDeviceServer::Stop() {
    if (!acceptThread_.joinable()) return;
    const char wake = 1;
    if (::write(wakePipe_[1], &wake, 1) < 0) Log(LogLevel::Warning, "device server: wake failed");
    {
        std::lock_guard lock(mutex_);
        if (connection_) connection_->Close();
    }
    acceptThread_.join();
    ::close(listenFd_);
    ::close(wakePipe_[0]);
    ::close(wakePipe_[1]);
    listenFd_ = wakePipe_[0] = wakePipe_[1] = -1;
    ::unlink(path_.c_str());
}

// ---- serving from the command line --------------------------------------------------------

namespace {
sigset_t TerminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}
}  // namespace

void BlockTerminationSignals() {
    const sigset_t signals = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

int ServeUntilQuit(SocketDeviceServer& server, std::istream& commands, std::ostream& out,
                   std::function<bool(const std::string&, std::string&)> onCommand) {
    BlockTerminationSignals();
    // Shared with the command reader, which may still sit in a read of the input when serving
    // ends; once `stopped` is set it calls nothing of the caller's any more.
    struct Shared {
        std::mutex mutex;
        bool stopped = false;
        std::function<bool(const std::string&, std::string&)> onCommand;
    };
    auto shared = std::make_shared<Shared>();
    shared->onCommand = std::move(onCommand);
    std::thread([shared, &commands, &out] {
        std::string line;
        bool quit = false;
        while (std::getline(commands, line)) {
            std::lock_guard lock(shared->mutex);
            if (shared->stopped) return;
            if (line == "quit") {
                quit = true;
                break;
            }
            if (line.empty()) continue;
            std::string reply;
            if (!shared->onCommand(line, reply))
                out << "unknown command: " << line << std::endl;
            else if (!reply.empty())
                out << reply << std::endl;
        }
        if (quit) ::kill(::getpid(), SIGTERM);  // at the end of the input, serving goes on
    }).detach();

    const sigset_t signals = TerminationSignals();
    int signal = 0;
    sigwait(&signals, &signal);
    {
        std::lock_guard lock(shared->mutex);
        shared->stopped = true;
    }
    server.Stop();
    return 0;
}

}  // namespace vq::platform
