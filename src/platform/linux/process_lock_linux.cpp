#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "platform/process_lock.h"

namespace vq::platform {

namespace {

class FileLock : public ProcessLock {
  public:
    explicit FileLock(int fd) : fd_(fd) {}
    ~FileLock() override {
        flock(fd_, LOCK_UN);
        close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    int fd_;
};

FileProblem Problem(int error) {
    return FileProblemFromError(std::error_code(error, std::generic_category()));
}

class LinuxLocks : public ProcessLocks {
  public:
    std::unique_ptr<ProcessLock> Acquire(const std::filesystem::path& lockFile,
                                         std::chrono::milliseconds limit,
                                         FileProblem* why) override {
        if (why) *why = FileProblem::None;
        // Not followed through a link: the lock file is ours, in the user's own folder.
        const int fd = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (why) *why = Problem(errno);
            return nullptr;
        }
        // The lock is free at once nearly always (edits take milliseconds); while another
        // holder has it, look again after a pause that grows to 20 ms.
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::chrono::milliseconds pause(1);
        for (;;) {
            if (flock(fd, LOCK_EX | LOCK_NB) == 0) return std::make_unique<FileLock>(fd);
            const int error = errno;
            if (error == EINTR) continue;
            if (error != EWOULDBLOCK) {
                close(fd);
                if (why) *why = Problem(error);
                return nullptr;
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) {
                close(fd);
                return nullptr;
            }
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
            pause = std::min(pause * 2, std::chrono::milliseconds(20));
        }
    }
};

}  // namespace

ProcessLocks& SystemProcessLocks() {
    static LinuxLocks locks;
    return locks;
}

}  // namespace vq::platform
