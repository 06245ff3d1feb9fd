#pragma once
// A lock that other processes see: a lock file that one holder at a time has locked. The
// operating system releases it when its holder ends, also when the holder crashes. The platform
// layer implements it; the core asks for it through this interface.

#include <chrono>
#include <filesystem>
#include <memory>

#include "core/util/atomic_file.h"

namespace vq {

// Held until destroyed.
class ProcessLock {
  public:
    virtual ~ProcessLock() = default;
};

class ProcessLocks {
  public:
    virtual ~ProcessLocks() = default;
    // Locks `lockFile` (created when missing), waiting at most `limit` for another holder (of
    // this process or another) to let go. Nothing when it could not: `why` says what stood in
    // the way (None: another holder kept it for the whole limit).
    virtual std::unique_ptr<ProcessLock> Acquire(const std::filesystem::path& lockFile,
                                                 std::chrono::milliseconds limit,
                                                 FileProblem* why) = 0;
};

}  // namespace vq
