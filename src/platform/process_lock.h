#pragma once
// The system's lock files: flock on Linux, LockFileEx on Windows. Every opening of the lock file
// is a holder of its own, so two stores in one process exclude each other as two processes do.

#include "core/util/process_lock.h"

namespace vq::platform {

ProcessLocks& SystemProcessLocks();

}  // namespace vq::platform
