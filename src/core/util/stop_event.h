#pragma once
// A manual-reset event: once set, every wait returns at once until it is reset.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vq {

class StopEvent {
  public:
    void Set() {
        {
            std::lock_guard lock(mutex_);
            set_ = true;
        }
        cv_.notify_all();
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        set_ = false;
    }
    bool IsSet() const {
        std::lock_guard lock(mutex_);
        return set_;
    }
    // Waits at most `timeout`; true when the event is set (a time-out gives false).
    bool WaitFor(std::chrono::milliseconds timeout) const {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, timeout, [this] { return set_; });
    }
    void Wait() const {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return set_; });
    }

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    bool set_ = false;
};

}  // namespace vq
