#pragma once
// The program's long-lived worker threads. Each of a fixed number of slots has its own
// manual-reset stop event; a thread started in a slot gets that event and a stop token, and the
// set stops every thread together: it sets every event, requests stop on every token (which runs
// the threads' stop callbacks, so a loop blocked in an untimed read can wake itself), and waits
// for the threads to end within a time limit.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "core/util/stop_event.h"

namespace vq {

class WorkerSet {
  public:
    static constexpr int kSlots = 15;

    struct Context {
        int slot;
        StopEvent& stop;
        std::stop_token token;
        // Waits up to `timeout` on the stop event; true when the thread is to end.
        bool StopRequested(std::chrono::milliseconds timeout) const {
            return token.stop_requested() || stop.WaitFor(timeout);
        }
    };
    using Body = std::function<void(Context&)>;

    enum class StopOutcome { AllEnded, TimedOut };

    WorkerSet();
    // Stops whatever still runs and waits for it, without a limit.
    ~WorkerSet();
    WorkerSet(const WorkerSet&) = delete;
    WorkerSet& operator=(const WorkerSet&) = delete;

    StopEvent& Event(int slot);

    // Starts `body` in `slot`. false when the slot is out of range, already used, or the set has
    // been stopped.
    bool Start(int slot, std::string name, Body body);

    // Sets every stop event, requests stop on every thread and waits at most `limit` for all
    // started threads to end. Threads that ended are joined; a thread that is still running after
    // the limit is left running (its name is in StillRunning()). May be called more than once.
    StopOutcome StopAll(std::chrono::milliseconds limit);

    int StartedCount() const;
    int RunningCount() const;
    bool IsRunning(int slot) const;
    std::vector<std::string> StillRunning() const;

  private:
    struct Slot {
        std::string name;
        std::jthread thread;
        bool started = false;
        bool ended = false;
    };
    mutable std::mutex mutex_;
    std::condition_variable ended_;
    std::vector<StopEvent> events_;
    std::vector<Slot> slots_;
    bool stopped_ = false;
};

}  // namespace vq
