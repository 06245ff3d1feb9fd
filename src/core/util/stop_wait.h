#pragma once
// Sleeping that a stop request ends at once: the worker threads' wait on their stop event.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>

namespace vq {

// Waits up to `duration`; returns true when a stop was requested (before or during the wait).
template <class Rep, class Period>
bool WaitForStop(std::stop_token stop, std::chrono::duration<Rep, Period> duration) {
    if (stop.stop_requested()) return true;
    std::mutex mutex;
    std::condition_variable_any cv;
    std::unique_lock lock(mutex);
    return cv.wait_for(lock, stop, duration, [] { return false; });
}

}  // namespace vq
