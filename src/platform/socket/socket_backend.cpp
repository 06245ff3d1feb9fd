#include "platform/socket/socket_backend.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <thread>

#include "core/util/log.h"
#include "platform/socket/device_protocol.h"

namespace vq::platform {

namespace {

using Clock = std::chrono::steady_clock;

struct Port {
    std::string name;
    SocketInterface info;
    HidOpenFlags flags;
    std::deque<std::vector<uint8_t>> queue;
    bool cancelled = false;
    bool gone = false;  // unplugged, or the link went down

    bool Dead() const { return cancelled || gone; }
};

struct Entry {
    SocketInterface info;
    std::string path;
    bool present = false;
};

}  // namespace

class SocketHidBackend::Link {
  public:
    Link(int fd, size_t queueLimit) : fd_(fd), queueLimit_(queueLimit) {
        reader_ = std::thread([this] { ReaderLoop(); });
    }

    ~Link() {
        ::shutdown(fd_, SHUT_RDWR);  // wakes the reader's recv
        reader_.join();
        ::close(fd_);
    }

    bool WaitReady(uint32_t timeoutMs, std::string* whyNot) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return ready_ || !up_; });
        if (ready_ && up_) return true;
        if (whyNot)
            *whyNot = !up_ && !failure_.empty() ? failure_
                      : !up_ ? "the device socket closed before it listed its interfaces"
                             : "the device socket did not list its interfaces in time";
        return false;
    }

    bool Up() const {
        std::lock_guard lock(mutex_);
        return up_;
    }

    std::vector<std::string> Paths() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> out;
        for (const Entry& e : entries_)
            if (e.present) out.push_back(e.path);
        return out;
    }

    bool Present(const std::string& path) const {
        std::lock_guard lock(mutex_);
        if (!up_) return false;
        return std::any_of(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.present && e.path == path; });
    }

    std::shared_ptr<Port> OpenPort(const std::string& path, const HidOpenFlags& flags) {
        std::lock_guard lock(mutex_);
        if (!up_) return nullptr;
        auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&](const Entry& e) { return e.present && e.path == path; });
        if (it == entries_.end()) return nullptr;
        auto port = std::make_shared<Port>();
        port->name = it->info.name;
        port->info = it->info;
        port->flags = flags;
        ports_.push_back(port);
        return port;
    }

    void RemovePort(const std::shared_ptr<Port>& port) {
        {
            std::lock_guard lock(mutex_);
            port->cancelled = true;
            ports_.erase(std::remove(ports_.begin(), ports_.end(), port), ports_.end());
        }
        cv_.notify_all();
    }

    void Cancel(const std::shared_ptr<Port>& port) {
        {
            std::lock_guard lock(mutex_);
            port->cancelled = true;
        }
        cv_.notify_all();
    }

    bool Read(const std::shared_ptr<Port>& port, std::span<uint8_t> buffer, size_t& transferred,
              uint32_t timeoutMs) {
        transferred = 0;
        std::unique_lock lock(mutex_);
        if (!port->flags.readAccess) return false;
        auto ready = [&] { return port->Dead() || !port->queue.empty(); };
        if (timeoutMs == kInfinite)
            cv_.wait(lock, ready);
        else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
            return false;
        if (port->cancelled || port->queue.empty()) return false;
        const std::vector<uint8_t>& report = port->queue.front();
        const size_t n = std::min(buffer.size(), report.size());
        std::copy_n(report.begin(), n, buffer.begin());
        transferred = n;
        port->queue.pop_front();
        return true;
    }

    bool Write(const std::shared_ptr<Port>& port, std::span<const uint8_t> report,
               size_t& transferred, uint32_t timeoutMs) {
        transferred = 0;
        {
            std::lock_guard lock(mutex_);
            if (!port->flags.writeAccess || port->Dead() || !up_ || report.empty()) return false;
        }
        DeviceMessage m;
        m.kind = DeviceMessageKind::Output;
        m.name = port->name;
        m.bytes.assign(report.begin(), report.end());
        const std::string line = FormatDeviceLine(m);

        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        std::lock_guard sending(sendMutex_);
        size_t sent = 0;
        while (sent < line.size()) {
            const ssize_t n =
                ::send(fd_, line.data() + sent, line.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                sent += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) break;
            // The emulator is not reading: wait for room, in slices so a Cancel is seen.
            int waitMs = 50;
            if (timeoutMs != kInfinite) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
                if (left.count() <= 0) break;
                waitMs = static_cast<int>(std::min<int64_t>(left.count(), 50));
            }
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, waitMs);
            std::lock_guard lock(mutex_);
            if (port->Dead() || !up_) break;
        }
        if (sent == line.size()) {
            transferred = report.size();
            return true;
        }
        if (sent > 0) {
            // Half a line on the wire cannot be taken back: the stream is unusable now.
            Logf(LogLevel::Warning, "device socket: a report could not be sent whole; closing");
            ::shutdown(fd_, SHUT_RDWR);
        }
        return false;
    }

  private:
    void ReaderLoop() {
        LineSplitter splitter;
        char buffer[4096];
        bool greeted = false;
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            splitter.Feed(std::string_view(buffer, static_cast<size_t>(n)));
            while (auto line = splitter.Next()) {
                std::string error;
                std::optional<DeviceMessage> m = ParseDeviceLine(*line, &error);
                if (!greeted) {
                    // The first line decides: anything else there is not an emulator.
                    if (!m || m->kind != DeviceMessageKind::Hello ||
                        m->version != kDeviceProtocolVersion) {
                        GoDown("the device socket does not speak protocol VQHID 1");
                        return;
                    }
                    greeted = true;
                    continue;
                }
                if (!m) {
                    Logf(LogLevel::Warning, "device socket: ignored a line: %s", error.c_str());
                    continue;
                }
                if (!Handle(*m)) {
                    // The peer is not an emulator we can serve: hang up on it.
                    ::shutdown(fd_, SHUT_RDWR);
                    GoDown("the device socket announced more than 64 interfaces");
                    return;
                }
            }
        }
        GoDown("");
    }

    // false when the peer must be dropped.
    bool Handle(DeviceMessage& m) {
        std::unique_lock lock(mutex_);
        switch (m.kind) {
            case DeviceMessageKind::Interface: {
                auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
                    return e.info.name == m.interface.name;
                });
                if (it == entries_.end()) {
                    // Names are never forgotten (an unplugged one may come back), so their
                    // number is what is bounded.
                    if (entries_.size() >= kMaxSocketInterfaces) return false;
                    it = entries_.insert(entries_.end(), Entry{});
                }
                // Announced again: a new plug-in. Handles of the old one stay dead.
                MarkGoneLocked(m.interface.name);
                it->info = m.interface;
                it->path = SocketInterfacePath(m.interface);
                it->present = true;
                break;
            }
            case DeviceMessageKind::Ready:
                ready_ = true;
                break;
            case DeviceMessageKind::Unplug:
                for (Entry& e : entries_)
                    if (e.info.name == m.name) e.present = false;
                MarkGoneLocked(m.name);
                break;
            case DeviceMessageKind::Input:
                for (const auto& port : ports_) {
                    if (port->name != m.name || port->Dead() || !port->flags.readAccess) continue;
                    if (port->queue.size() >= queueLimit_) port->queue.pop_front();
                    port->queue.push_back(m.bytes);
                }
                break;
            case DeviceMessageKind::Hello:
            case DeviceMessageKind::Output:
                lock.unlock();
                Logf(LogLevel::Warning, "device socket: unexpected message from the device");
                return true;
        }
        lock.unlock();
        cv_.notify_all();
        return true;
    }

    void MarkGoneLocked(const std::string& name) {
        for (const auto& port : ports_)
            if (port->name == name) port->gone = true;
    }

    void GoDown(const char* why) {
        {
            std::lock_guard lock(mutex_);
            up_ = false;
            if (why && *why) failure_ = why;
            for (Entry& e : entries_)
                e.present = false;
            for (const auto& port : ports_)
                port->gone = true;
        }
        cv_.notify_all();
        Logf(LogLevel::Info, "device socket: link down%s%s", why && *why ? ": " : "",
             why ? why : "");
    }

    const int fd_;
    const size_t queueLimit_;
    std::thread reader_;
    std::mutex sendMutex_;  // one line at a time on the wire
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Entry> entries_;
    std::vector<std::shared_ptr<Port>> ports_;
    bool up_ = true;
    bool ready_ = false;
    std::string failure_;
};

namespace {

class SocketHandle : public HidHandle {
  public:
    SocketHandle(std::shared_ptr<SocketHidBackend::Link> link, std::shared_ptr<Port> port)
        : link_(std::move(link)), port_(std::move(port)) {}
    ~SocketHandle() override { link_->RemovePort(port_); }

    HidAttributes Attributes() const override { return port_->info.attributes; }
    HidCaps Caps() const override { return port_->info.caps; }
    bool Read(std::span<uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) override {
        return link_->Read(port_, buffer, transferred, timeoutMs);
    }
    bool Write(std::span<const uint8_t> report, size_t& transferred, uint32_t timeoutMs) override {
        return link_->Write(port_, report, transferred, timeoutMs);
    }
    void Cancel() override { link_->Cancel(port_); }
    // An event collection's report carries one 16-bit usage after its report ID.
    std::optional<uint16_t> FirstInputUsage(std::span<const uint8_t> report) override {
        if (port_->info.caps.usagePage != 0x000C || report.size() < 3) return std::nullopt;
        const uint16_t usage = static_cast<uint16_t>(report[1] | (report[2] << 8));
        if (usage == 0) return std::nullopt;
        return usage;
    }

  private:
    std::shared_ptr<SocketHidBackend::Link> link_;
    std::shared_ptr<Port> port_;
};

int ConnectUnixSocket(const std::string& path, std::string* whyNot) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        if (whyNot) *whyNot = "the socket path is empty or too long";
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (whyNot) *whyNot = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (whyNot) *whyNot = "cannot connect to " + path + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

SocketHidBackend::SocketHidBackend(std::string socketPath, SocketBackendOptions options)
    : socketPath_(std::move(socketPath)), options_(options) {}

SocketHidBackend::~SocketHidBackend() = default;

std::unique_ptr<SocketHidBackend> SocketHidBackend::Connect(const std::string& socketPath,
                                                            std::string* whyNot,
                                                            SocketBackendOptions options) {
    std::unique_ptr<SocketHidBackend> backend(new SocketHidBackend(socketPath, options));
    std::lock_guard lock(backend->mutex_);
    if (!backend->Reconnect(whyNot)) return nullptr;
    return backend;
}

bool SocketHidBackend::Reconnect(std::string* whyNot) {
    link_.reset();
    const int fd = ConnectUnixSocket(socketPath_, whyNot);
    if (fd < 0) return false;
    auto link = std::make_shared<Link>(fd, options_.queueLimit);
    if (!link->WaitReady(options_.greetingTimeoutMs, whyNot)) return false;
    link_ = std::move(link);
    return true;
}

bool SocketHidBackend::Enumerate(std::vector<std::optional<std::string>>& paths) {
    paths.clear();
    std::lock_guard lock(mutex_);
    if (!link_ || !link_->Up()) {
        // The emulator went away: nothing is present unless it is back.
        std::string why;
        if (!Reconnect(&why)) {
            Logf(LogLevel::Debug, "device socket: %s", why.c_str());
            return true;
        }
    }
    for (std::string& path : link_->Paths())
        paths.emplace_back(std::move(path));
    return true;
}

std::unique_ptr<HidHandle> SocketHidBackend::Open(const std::string& path,
                                                  const HidOpenFlags& flags) {
    std::shared_ptr<Link> link;
    {
        std::lock_guard lock(mutex_);
        link = link_;
    }
    if (!link) return nullptr;
    std::shared_ptr<Port> port = link->OpenPort(path, flags);
    if (!port) return nullptr;
    return std::make_unique<SocketHandle>(std::move(link), std::move(port));
}

bool SocketHidBackend::Probe(const std::string& path) {
    std::lock_guard lock(mutex_);
    return link_ && link_->Present(path);
}

bool SocketHidBackend::LinkUp() const {
    std::lock_guard lock(mutex_);
    return link_ && link_->Up();
}

}  // namespace vq::platform
