#include "core/util/worker_set.h"

#include <exception>

#include "core/util/log.h"

namespace vq {

WorkerSet::WorkerSet() : events_(kSlots), slots_(kSlots) {}

WorkerSet::~WorkerSet() {
    std::vector<std::jthread> threads;
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        for (Slot& slot : slots_)
            if (slot.thread.joinable()) threads.push_back(std::move(slot.thread));
    }
    for (StopEvent& event : events_)
        event.Set();
    for (std::jthread& thread : threads)
        thread.request_stop();
    // jthread joins on destruction.
}

StopEvent& WorkerSet::Event(int slot) {
    return events_.at(static_cast<size_t>(slot));
}

bool WorkerSet::Start(int slot, std::string name, Body body) {
    if (slot < 0 || slot >= kSlots || !body) return false;
    std::lock_guard lock(mutex_);
    Slot& s = slots_[static_cast<size_t>(slot)];
    if (stopped_ || s.started) return false;
    s.name = std::move(name);
    s.started = true;
    s.ended = false;
    StopEvent& event = events_[static_cast<size_t>(slot)];
    s.thread = std::jthread([this, slot, &event, body = std::move(body)](std::stop_token token) {
        Context context{slot, event, token};
        try {
            body(context);
        } catch (const std::exception& e) {
            Logf(LogLevel::Error, "worker thread %d ended by an exception: %s", slot, e.what());
        } catch (...) {
            Logf(LogLevel::Error, "worker thread %d ended by an exception", slot);
        }
        {
            std::lock_guard endLock(mutex_);
            slots_[static_cast<size_t>(slot)].ended = true;
        }
        ended_.notify_all();
    });
    return true;
}

WorkerSet::StopOutcome WorkerSet::StopAll(std::chrono::milliseconds limit) {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    for (StopEvent& event : events_)
        event.Set();
    {
        // request_stop runs the threads' stop callbacks here; no lock of ours is held meanwhile,
        // so a callback may call back into the set.
        std::vector<std::stop_source> sources;
        {
            std::lock_guard lock(mutex_);
            for (Slot& slot : slots_)
                if (slot.thread.joinable()) sources.push_back(slot.thread.get_stop_source());
        }
        for (std::stop_source& source : sources)
            source.request_stop();
    }
    std::vector<std::jthread> finished;
    bool allEnded = false;
    {
        std::unique_lock lock(mutex_);
        allEnded = ended_.wait_for(lock, limit, [this] {
            for (const Slot& slot : slots_)
                if (slot.started && !slot.ended) return false;
            return true;
        });
        for (Slot& slot : slots_)
            if (slot.ended && slot.thread.joinable()) finished.push_back(std::move(slot.thread));
    }
    for (std::jthread& thread : finished)
        thread.join();
    return allEnded ? StopOutcome::AllEnded : StopOutcome::TimedOut;
}

int WorkerSet::StartedCount() const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const Slot& slot : slots_)
        n += slot.started ? 1 : 0;
    return n;
}

int WorkerSet::RunningCount() const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const Slot& slot : slots_)
        n += (slot.started && !slot.ended) ? 1 : 0;
    return n;
}

bool WorkerSet::IsRunning(int slot) const {
    if (slot < 0 || slot >= kSlots) return false;
    std::lock_guard lock(mutex_);
    const Slot& s = slots_[static_cast<size_t>(slot)];
    return s.started && !s.ended;
}

std::vector<std::string> WorkerSet::StillRunning() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const Slot& slot : slots_)
        if (slot.started && !slot.ended) names.push_back(slot.name);
    return names;
}

}  // namespace vq
