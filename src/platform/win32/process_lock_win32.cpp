#include <windows.h>

#include <algorithm>
#include <thread>

#include "platform/process_lock.h"

namespace vq::platform {

namespace {

class FileLock : public ProcessLock {
  public:
    explicit FileLock(HANDLE file) : file_(file) {}
    ~FileLock() override {
        OVERLAPPED at{};
        UnlockFileEx(file_, 0, 1, 0, &at);
        CloseHandle(file_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    HANDLE file_;
};

FileProblem Problem(DWORD error) {
    return FileProblemFromError(std::error_code(static_cast<int>(error), std::system_category()));
}

class Win32Locks : public ProcessLocks {
  public:
    std::unique_ptr<ProcessLock> Acquire(const std::filesystem::path& lockFile,
                                         std::chrono::milliseconds limit,
                                         FileProblem* why) override {
        if (why) *why = FileProblem::None;
        const HANDLE file = CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (why) *why = Problem(GetLastError());
            return nullptr;
        }
        // The lock is free at once nearly always (edits take milliseconds); while another
        // holder has it, look again after a pause that grows to 20 ms.
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::chrono::milliseconds pause(1);
        for (;;) {
            OVERLAPPED at{};
            if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
                return std::make_unique<FileLock>(file);
            const DWORD error = GetLastError();
            if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
                CloseHandle(file);
                if (why) *why = Problem(error);
                return nullptr;
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) {
                CloseHandle(file);
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
    static Win32Locks locks;
    return locks;
}

}  // namespace vq::platform
