#pragma once
// A thread of its own that runs tasks one after another: tasks posted now, in the order they were
// posted, and timed tasks, each under a key, once their time has come. The thread sleeps on a
// condition variable between tasks; nothing polls.
//
// Timed tasks with the same key are one task: arming a key that is already armed either keeps the
// earlier time (Arm) or moves it (Restart), and the task posted last is the one that runs.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace vq {

class SerialExecutor {
  public:
    using Clock = std::chrono::steady_clock;
    using Task = std::function<void()>;
    enum class Timing { Arm, Restart };

    explicit SerialExecutor(std::string name);
    // Stops: runs nothing more, joins the thread.
    ~SerialExecutor();
    SerialExecutor(const SerialExecutor&) = delete;
    SerialExecutor& operator=(const SerialExecutor&) = delete;

    const std::string& Name() const { return name_; }
    // Runs `task` on the thread after every task posted before it. Ignored once stopped.
    void Post(Task task);
    // Runs `task` on the thread `delay` from now under `key` (see the class comment).
    void PostAfter(const std::string& key, std::chrono::milliseconds delay, Task task,
                   Timing timing = Timing::Arm);
    // Forgets the timed task of `key`, if it has not started.
    void Cancel(const std::string& key);
    bool IsArmed(const std::string& key) const;
    // Runs the timed task of `key` now (in the queue's order), if one is armed.
    void RunNow(const std::string& key);
    // True on the executor's own thread.
    bool OnThread() const { return std::this_thread::get_id() == threadId_; }
    // Waits until the queue is empty, no timed task is armed and no task runs. Must not be
    // called on the executor's thread. False when `limit` passed first.
    bool WaitIdle(std::chrono::milliseconds limit = std::chrono::milliseconds(10000));
    // Runs `task` on the thread and waits for it (at once when called on the thread). False when
    // the executor is stopped.
    bool RunAndWait(Task task);
    // Lets the running task finish, drops the rest and joins the thread. Safe to call twice.
    void Stop();

  private:
    struct Timed {
        Clock::time_point due;
        Task task;
    };
    void Loop();

    std::string name_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Task> queue_;
    std::map<std::string, Timed> timed_;
    bool running_ = false;
    bool stopping_ = false;
    std::thread::id threadId_;
    std::thread thread_;
};

}  // namespace vq
