// The worker set: threads in slots with their stop events, stopped together within a limit.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include "core/util/animation_counters.h"
#include "core/util/worker_set.h"

namespace vq::test {
namespace {

using namespace std::chrono_literals;

TEST(WorkerSet, StopAllWakesThreadsWaitingOnTheirEventsOrBlockedUntilTheirStopCallback) {
    WorkerSet set;
    std::atomic<int> loops{0};
    // A polling loop on its event, like the presence thread.
    ASSERT_TRUE(set.Start(1, "poller", [&](WorkerSet::Context& c) {
        while (!c.StopRequested(1h))
            ++loops;
    }));
    // A thread blocked in an untimed wait that only its stop callback ends, like a listener in an
    // untimed read.
    std::atomic<bool> woken{false};
    ASSERT_TRUE(set.Start(3, "blocked", [&](WorkerSet::Context& c) {
        std::mutex m;
        std::condition_variable_any cv;
        std::unique_lock lock(m);
        cv.wait(lock, c.token, [] { return false; });
        woken = true;
    }));
    // A thread that ends at once.
    ASSERT_TRUE(set.Start(0, "at once", [](WorkerSet::Context&) {}));
    EXPECT_EQ(set.StartedCount(), 3);

    EXPECT_EQ(set.StopAll(5s), WorkerSet::StopOutcome::AllEnded);
    EXPECT_EQ(set.RunningCount(), 0);
    EXPECT_TRUE(woken);
    EXPECT_TRUE(set.StillRunning().empty());
    // Every event is set, the unused ones too, and stays set.
    for (int slot = 0; slot < WorkerSet::kSlots; ++slot)
        EXPECT_TRUE(set.Event(slot).IsSet());
}

TEST(WorkerSet, AThreadThatOutlivesTheLimitIsNamedAndJoinedLater) {
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    {
        WorkerSet set;
        ASSERT_TRUE(set.Start(5, "stubborn", [&](WorkerSet::Context&) {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return release; });  // ignores its stop event
        }));
        ASSERT_TRUE(set.Start(6, "polite", [](WorkerSet::Context& c) { c.stop.Wait(); }));
        EXPECT_EQ(set.StopAll(20ms), WorkerSet::StopOutcome::TimedOut);
        EXPECT_EQ(set.StillRunning(), std::vector<std::string>{"stubborn"});
        EXPECT_TRUE(set.IsRunning(5));
        EXPECT_FALSE(set.IsRunning(6));
        {
            std::lock_guard lock(m);
            release = true;
        }
        cv.notify_all();
        // A second stop waits for it now.
        EXPECT_EQ(set.StopAll(5s), WorkerSet::StopOutcome::AllEnded);
    }  // and the destructor has nothing left to wait for
}

TEST(WorkerSet, DestructionStopsAndJoinsThreadsThatWereNeverStopped) {
    std::atomic<bool> ended{false};
    {
        WorkerSet set;
        ASSERT_TRUE(set.Start(2, "watcher", [&](WorkerSet::Context& c) {
            while (!c.StopRequested(1h)) {
            }
            ended = true;
        }));
    }
    EXPECT_TRUE(ended);
}

TEST(WorkerSet, SlotsAreUsedOnceAndNotAfterTheStop) {
    WorkerSet set;
    auto body = [](WorkerSet::Context&) {};
    EXPECT_FALSE(set.Start(-1, "below", body));
    EXPECT_FALSE(set.Start(WorkerSet::kSlots, "above", body));
    EXPECT_FALSE(set.Start(4, "empty", WorkerSet::Body{}));
    EXPECT_TRUE(set.Start(4, "first", body));
    EXPECT_FALSE(set.Start(4, "again", body));
    set.StopAll(5s);
    EXPECT_FALSE(set.Start(7, "late", body));
    EXPECT_EQ(set.StartedCount(), 1);
}

TEST(WorkerSet, AThreadEndedByAnExceptionCountsAsEnded) {
    WorkerSet set;
    ASSERT_TRUE(
        set.Start(8, "thrower", [](WorkerSet::Context&) { throw std::runtime_error("broken"); }));
    EXPECT_EQ(set.StopAll(5s), WorkerSet::StopOutcome::AllEnded);
    EXPECT_EQ(set.RunningCount(), 0);
}

TEST(StopEvent, IsManualResetSoEveryLaterWaitSeesIt) {
    StopEvent event;
    EXPECT_FALSE(event.WaitFor(0ms));
    event.Set();
    EXPECT_TRUE(event.WaitFor(0ms));
    EXPECT_TRUE(event.WaitFor(0ms));
    event.Reset();
    EXPECT_FALSE(event.IsSet());
}

TEST(AnimationCounters, WrapAtTheirLimitsAndTheFirstRaisesTheTick) {
    AnimationCounters c;
    std::vector<std::array<int, 6>> seen;
    std::vector<bool> ticks;
    for (int step = 0; step < 6; ++step) {
        c.Advance();
        seen.push_back(
            {c.Counter(0), c.Counter(1), c.Counter(2), c.Counter(3), c.Counter(4), c.Counter(5)});
        ticks.push_back(c.TakeTick());
    }
    const std::vector<std::array<int, 6>> expected = {
        {1, 1, 1, 1, 1, 1}, {0, 0, 2, 2, 2, 2}, {1, 1, 0, 3, 3, 3},
        {0, 0, 1, 0, 4, 4}, {1, 1, 2, 1, 0, 5}, {0, 0, 0, 2, 1, 6},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(ticks, (std::vector<bool>{false, true, false, true, false, true}));
    EXPECT_FALSE(c.TakeTick());  // taking clears it
    // The sixth runs free and wraps at 256.
    for (int step = 6; step < 256; ++step)
        c.Advance();
    EXPECT_EQ(c.Counter(5), 0);
    EXPECT_EQ(c.Counter(-1), 0);
    EXPECT_EQ(c.Counter(6), 0);
}

}  // namespace
}  // namespace vq::test
