#include "core/util/serial_executor.h"

#include <future>

#include "core/util/log.h"

namespace vq {

SerialExecutor::SerialExecutor(std::string name) : name_(std::move(name)) {
    thread_ = std::thread([this] { Loop(); });
    std::lock_guard lock(mutex_);
    threadId_ = thread_.get_id();
}

SerialExecutor::~SerialExecutor() {
    Stop();
}

void SerialExecutor::Post(Task task) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        queue_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void SerialExecutor::PostAfter(const std::string& key, std::chrono::milliseconds delay, Task task,
                               Timing timing) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        const Clock::time_point due = Clock::now() + delay;
        auto it = timed_.find(key);
        if (it == timed_.end()) {
            timed_.emplace(key, Timed{due, std::move(task)});
        } else {
            if (timing == Timing::Restart) it->second.due = due;
            it->second.task = std::move(task);
        }
    }
    wake_.notify_one();
}

void SerialExecutor::Cancel(const std::string& key) {
    std::lock_guard lock(mutex_);
    timed_.erase(key);
    if (queue_.empty() && timed_.empty() && !running_) idle_.notify_all();
}

bool SerialExecutor::IsArmed(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return timed_.count(key) != 0;
}

void SerialExecutor::RunNow(const std::string& key) {
    {
        std::lock_guard lock(mutex_);
        auto it = timed_.find(key);
        if (it == timed_.end() || stopping_) return;
        queue_.push_back(std::move(it->second.task));
        timed_.erase(it);
    }
    wake_.notify_one();
}

bool SerialExecutor::WaitIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, limit, [this] {
        return stopping_ || (queue_.empty() && timed_.empty() && !running_);
    });
}

bool SerialExecutor::RunAndWait(Task task) {
    if (OnThread()) {
        task();
        return true;
    }
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return false;
        // The queue holds the only reference: a task dropped by Stop breaks the promise.
        queue_.push_back([task = std::move(task), done = std::move(done)] {
            task();
            done->set_value();
        });
    }
    wake_.notify_one();
    // A stop drops the task with its promise: the future then reports a broken promise.
    try {
        finished.get();
        return true;
    } catch (const std::future_error&) {
        return false;
    }
}

void SerialExecutor::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ && !thread_.joinable()) return;
        stopping_ = true;
    }
    wake_.notify_all();
    idle_.notify_all();
    if (thread_.joinable() && !OnThread()) thread_.join();
}

void SerialExecutor::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stopping_) break;
        if (!queue_.empty()) {
            Task task = std::move(queue_.front());
            queue_.pop_front();
            running_ = true;
            lock.unlock();
            task();
            task = nullptr;
            lock.lock();
            running_ = false;
            if (queue_.empty() && timed_.empty()) idle_.notify_all();
            continue;
        }
        if (timed_.empty()) {
            idle_.notify_all();
            wake_.wait(lock);
            continue;
        }
        // The earliest timed task: run it when due, else sleep until then (or a new task).
        auto first = timed_.begin();
        for (auto it = timed_.begin(); it != timed_.end(); ++it)
            if (it->second.due < first->second.due) first = it;
        if (first->second.due <= Clock::now()) {
            queue_.push_back(std::move(first->second.task));
            timed_.erase(first);
            continue;
        }
        // The deadline is copied: wait_until reads it again after every wake-up, and a
        // Cancel or RunNow on another thread may erase the task's entry meanwhile.
        const Clock::time_point due = first->second.due;
        wake_.wait_until(lock, due);
    }
    // Dropped tasks are destroyed outside the lock (they may hold promises or handles).
    std::deque<Task> dropped;
    dropped.swap(queue_);
    std::map<std::string, Timed> droppedTimed;
    droppedTimed.swap(timed_);
    lock.unlock();
    dropped.clear();
    droppedTimed.clear();
    Log(LogLevel::Debug, name_ + " thread ended");
}

}  // namespace vq
