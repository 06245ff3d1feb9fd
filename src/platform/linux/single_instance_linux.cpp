#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "core/util/log.h"
#include "platform/single_instance.h"

namespace vq::platform {

namespace {

constexpr size_t kMaxRequest = 64;
constexpr int kRequestReadMs = 200;
constexpr int kClaimAttempts = 40;
constexpr auto kClaimPause = std::chrono::milliseconds(25);

// A registered-message-like id in 0xC000..0xFFFF, stable for a name.
unsigned MessageIdFor(const std::string& name) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : name)
        hash = (hash ^ c) * 16777619u;
    return 0xC000u | (hash & 0x3FFFu);
}

class UnixSingleInstance final : public SingleInstance {
  public:
    UnixSingleInstance(const std::string& name, const std::string& message)
        : name_(name + "." + std::to_string(::getuid())), message_(message) {}

    ~UnixSingleInstance() override {
        if (listener_ >= 0) ::close(listener_);
    }

    Role Claim() override {
        for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
            const int bound = TryBind();
            if (bound == 1) return Role::First;
            if (bound < 0) return Role::First;  // the name cannot be used at all: run anyway
            // Taken. Ask the holder; a copy that is still starting (bound, not yet listening) or
            // just ending refuses the connection, so try again shortly.
            if (SendShowRequest()) return Role::Second;
            std::this_thread::sleep_for(kClaimPause);
        }
        Logf(LogLevel::Warning,
             "another copy holds the instance name %s but does not answer; this copy ends",
             name_.c_str());
        return Role::Second;
    }

    unsigned ShowMessageId() const override { return MessageIdFor(message_); }
    void SetShowHandler(ShowHandler handler) override { handler_ = std::move(handler); }
    int RequestDescriptor() const override { return listener_; }

    int DispatchRequests() override {
        if (listener_ < 0) return 0;
        int shown = 0;
        for (;;) {
            const int peer = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer < 0) {
                if (errno == EINTR) continue;
                break;  // EAGAIN: nothing more pending
            }
            const std::string request = ReadRequest(peer);
            ::close(peer);
            if (request == message_) {
                ++shown;
                if (handler_) handler_(ShowMessageId());
            } else {
                Logf(LogLevel::Warning, "ignored an instance request that is not the show message");
            }
        }
        return shown;
    }

  private:
    sockaddr_un Address(socklen_t& length) const {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        // Abstract namespace: a leading zero byte, no file in the file system.
        const size_t n = std::min(name_.size(), sizeof address.sun_path - 1);
        std::memcpy(address.sun_path + 1, name_.data(), n);
        length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
        return address;
    }

    // 1 bound and listening, 0 taken, -1 failed otherwise.
    int TryBind() {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            Logf(LogLevel::Warning, "instance socket: %s", std::strerror(errno));
            return -1;
        }
        socklen_t length = 0;
        const sockaddr_un address = Address(length);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EADDRINUSE) return 0;
            Logf(LogLevel::Warning, "instance name %s: %s", name_.c_str(), std::strerror(error));
            return -1;
        }
        if (::listen(fd, 8) != 0) {
            Logf(LogLevel::Warning, "instance socket listen: %s", std::strerror(errno));
            ::close(fd);
            return -1;
        }
        listener_ = fd;
        return 1;
    }

    bool SendShowRequest() const {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        socklen_t length = 0;
        const sockaddr_un address = Address(length);
        bool sent = false;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
            const std::string line = message_ + "\n";
            sent = ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) ==
                   static_cast<ssize_t>(line.size());
        }
        ::close(fd);
        return sent;
    }

    // Reads one request line; a peer that sends nothing gets a short time, not the UI thread.
    static std::string ReadRequest(int peer) {
        std::string text;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestReadMs);
        char buffer[kMaxRequest];
        while (text.size() < kMaxRequest) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{peer, POLLIN, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) break;
            const ssize_t got = ::recv(peer, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            text.append(buffer, static_cast<size_t>(got));
            if (text.find('\n') != std::string::npos) break;
        }
        const size_t end = text.find('\n');
        if (end != std::string::npos) text.resize(end);
        return text;
    }

    std::string name_;
    std::string message_;
    int listener_ = -1;
    ShowHandler handler_;
};

}  // namespace

std::unique_ptr<SingleInstance> CreateSingleInstance(const std::string& name,
                                                     const std::string& message) {
    return std::make_unique<UnixSingleInstance>(name, message);
}

}  // namespace vq::platform

#endif  // !_WIN32
