#include "platform/linux/hidraw_device.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/util/log.h"

namespace vq::platform {

namespace {

using Clock = std::chrono::steady_clock;

class HidrawDevice : public RawHidDevice {
  public:
    HidrawDevice(int fd, int wakeFd) : fd_(fd), wake_(wakeFd) {}
    ~HidrawDevice() override {
        ::close(fd_);
        ::close(wake_);
    }
    HidrawDevice(const HidrawDevice&) = delete;
    HidrawDevice& operator=(const HidrawDevice&) = delete;

    int Write(std::span<const uint8_t> report) override {
        if (report.empty()) return -1;
        for (;;) {
            const ssize_t n = ::write(fd_, report.data(), report.size());
            if (n >= 0) return static_cast<int>(n);
            if (errno == EINTR) continue;
            Logf(LogLevel::Debug, "hidraw: write failed: %s", std::strerror(errno));
            return -1;
        }
    }

    int Read(std::span<uint8_t> buffer, int timeoutMs) override {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int wait = -1;
            if (timeoutMs >= 0) {
                const auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
                wait = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
            }
            pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
            const int ready = ::poll(fds, 2, wait);
            if (ready < 0) {
                if (errno == EINTR) continue;  // a signal is no reason to give up the wait
                Logf(LogLevel::Debug, "hidraw: poll failed: %s", std::strerror(errno));
                return -1;
            }
            if (ready == 0) return 0;
            if (fds[1].revents & POLLIN) {
                uint64_t count = 0;
                [[maybe_unused]] const ssize_t taken = ::read(wake_, &count, sizeof count);
                return 0;
            }
            // The kernel reports a node whose device went away as an error or a hang-up.
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return -1;
            if (!(fds[0].revents & POLLIN)) continue;
            const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
            if (n >= 0) return static_cast<int>(n);
            if (errno == EAGAIN || errno == EINPROGRESS || errno == EINTR) continue;
            Logf(LogLevel::Debug, "hidraw: read failed: %s", std::strerror(errno));
            return -1;
        }
    }

    void Wake() override {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t put = ::write(wake_, &one, sizeof one);
    }

  private:
    const int fd_;
    const int wake_;  // an event counter: readable while a wake is pending
};

}  // namespace

std::unique_ptr<RawHidDevice> AdoptReportDescriptor(int fd) {
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        Logf(LogLevel::Error, "hidraw: no wake-up descriptor: %s", std::strerror(errno));
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<HidrawDevice>(fd, wake);
}

std::unique_ptr<RawHidDevice> OpenHidrawNode(const std::string& node, std::string* why) {
    const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        if (why) *why = std::strerror(errno);
        return nullptr;
    }
    // Only a hidraw node answers this: a path that names some other file is refused.
    int size = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0) {
        if (why) *why = std::string("not a hidraw node: ") + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return AdoptReportDescriptor(fd);
}

}  // namespace vq::platform
