// The controllers' task thread: order, keyed timed tasks (arm, restart, cancel, run now), waiting
// for idle, and a stop with work still queued.

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "core/util/serial_executor.h"

namespace vq::test {
namespace {

using std::chrono::milliseconds;
constexpr auto kNever = std::chrono::hours(1);  // a timed task that must not come due
constexpr milliseconds kWait{10000};            // only reached when something is wrong

class Recorder {
  public:
    SerialExecutor::Task Add(int value) {
        return [this, value] {
            std::lock_guard lock(mutex_);
            values_.push_back(value);
        };
    }
    std::vector<int> Values() const {
        std::lock_guard lock(mutex_);
        return values_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<int> values_;
};

TEST(SerialExecutor, RunsPostedTasksInOrderOnItsOwnThread) {
    SerialExecutor executor("test");
    Recorder recorder;
    std::atomic<bool> onThread{false};
    for (int i = 0; i < 100; ++i)
        executor.Post(recorder.Add(i));
    executor.Post([&] { onThread = executor.OnThread(); });
    ASSERT_TRUE(executor.WaitIdle(kWait));
    std::vector<int> expected(100);
    for (int i = 0; i < 100; ++i)
        expected[static_cast<size_t>(i)] = i;
    EXPECT_EQ(recorder.Values(), expected);
    EXPECT_TRUE(onThread);
    EXPECT_FALSE(executor.OnThread());

    // RunAndWait comes after what was posted before it, and runs at once on the thread itself.
    executor.Post(recorder.Add(100));
    bool nested = false;
    ASSERT_TRUE(executor.RunAndWait([&] {
        recorder.Add(101)();
        EXPECT_TRUE(executor.RunAndWait([&] { nested = true; }));
    }));
    EXPECT_TRUE(nested);
    EXPECT_EQ(recorder.Values().back(), 101);
    EXPECT_EQ(recorder.Values()[100], 100);
}

TEST(SerialExecutor, AKeyIsOneTaskArmKeepsItsTimeRestartMovesIt) {
    SerialExecutor executor("test");
    Recorder recorder;
    executor.PostAfter("k", kNever, recorder.Add(1));
    // Arm again: the earlier (far) time stays, the new task replaces the old one.
    executor.PostAfter("k", milliseconds(0), recorder.Add(2), SerialExecutor::Timing::Arm);
    ASSERT_TRUE(executor.RunAndWait([] {}));
    EXPECT_TRUE(executor.IsArmed("k"));
    EXPECT_TRUE(recorder.Values().empty());
    // Restart: due now, and the task posted last runs, once.
    executor.PostAfter("k", milliseconds(0), recorder.Add(3), SerialExecutor::Timing::Restart);
    ASSERT_TRUE(executor.WaitIdle(kWait));
    EXPECT_FALSE(executor.IsArmed("k"));
    EXPECT_EQ(recorder.Values(), std::vector<int>{3});

    // Two keys are two tasks.
    executor.PostAfter("a", milliseconds(0), recorder.Add(4));
    executor.PostAfter("b", milliseconds(0), recorder.Add(5));
    ASSERT_TRUE(executor.WaitIdle(kWait));
    EXPECT_EQ(recorder.Values().size(), 3u);
}

TEST(SerialExecutor, CancelForgetsAndRunNowRunsInTheQueuesOrder) {
    SerialExecutor executor("test");
    Recorder recorder;
    executor.PostAfter("gone", kNever, recorder.Add(1));
    executor.Cancel("gone");
    EXPECT_FALSE(executor.IsArmed("gone"));
    // Idle once nothing is armed any more.
    EXPECT_TRUE(executor.WaitIdle(kWait));

    // Hold the thread so that the order of the queue shows.
    std::promise<void> release;
    std::shared_future<void> held = release.get_future().share();
    executor.Post([held] { held.wait(); });
    executor.Post(recorder.Add(2));
    executor.PostAfter("now", kNever, recorder.Add(3));
    executor.RunNow("now");
    executor.Post(recorder.Add(4));
    executor.RunNow("not armed");
    EXPECT_FALSE(executor.IsArmed("now"));
    release.set_value();
    ASSERT_TRUE(executor.WaitIdle(kWait));
    EXPECT_EQ(recorder.Values(), (std::vector<int>{2, 3, 4}));
}

// The thread sleeps until its earliest timed task; cancelling or running that task from another
// thread while the thread sleeps must not leave it reading the erased entry when it wakes (the
// address sanitizer build catches the read).
TEST(SerialExecutor, ATimedTaskTakenAwayWhileTheThreadSleepsOnItIsNotReadAgain) {
    for (int round = 0; round < 20; ++round) {
        SerialExecutor executor("test");
        Recorder recorder;
        executor.PostAfter("sleep on me", kNever, recorder.Add(1));
        std::this_thread::sleep_for(milliseconds(2));  // the thread is now waiting on it
        if (round % 2 == 0)
            executor.Cancel("sleep on me");
        else
            executor.RunNow("sleep on me");
        ASSERT_TRUE(executor.RunAndWait(recorder.Add(2)));
        const std::vector<int> expected =
            round % 2 == 0 ? std::vector<int>{2} : std::vector<int>{1, 2};
        EXPECT_EQ(recorder.Values(), expected);
    }
}

TEST(SerialExecutor, WaitIdleWaitsForTheRunningTaskAndGivesUpAtItsLimit) {
    SerialExecutor executor("test");
    executor.PostAfter("armed", kNever, [] {});
    EXPECT_FALSE(executor.WaitIdle(milliseconds(1)));  // an armed task is work still to do
    executor.Cancel("armed");

    std::promise<void> started, release;
    std::shared_future<void> held = release.get_future().share();
    std::atomic<bool> finished{false};
    executor.Post([&, held] {
        started.set_value();
        held.wait();
        finished = true;
    });
    started.get_future().wait();
    EXPECT_FALSE(executor.WaitIdle(milliseconds(1)));
    release.set_value();
    EXPECT_TRUE(executor.WaitIdle(kWait));
    EXPECT_TRUE(finished);
}

TEST(SerialExecutor, StopFinishesTheRunningTaskAndDropsTheRest) {
    auto executor = std::make_unique<SerialExecutor>("test");
    Recorder recorder;
    std::promise<void> started, release;
    std::shared_future<void> held = release.get_future().share();
    executor->Post([&, held] {
        started.set_value();
        held.wait();
        recorder.Add(1)();
    });
    started.get_future().wait();
    executor->Post(recorder.Add(2));
    executor->PostAfter("timed", milliseconds(0), recorder.Add(3));
    // A caller waiting on a task that will be dropped hears so instead of waiting for ever.
    auto waiter =
        std::async(std::launch::async, [&] { return executor->RunAndWait(recorder.Add(4)); });
    std::thread stopper([&] { executor->Stop(); });
    // Not idle (a task runs, others wait): this returns once the stop has begun.
    EXPECT_TRUE(executor->WaitIdle(kWait));
    release.set_value();
    stopper.join();
    EXPECT_EQ(recorder.Values(), std::vector<int>{1});
    EXPECT_EQ(waiter.wait_for(kWait), std::future_status::ready);
    // Dropped, or (when it was queued only after the stop) refused: false either way.
    EXPECT_FALSE(waiter.get());

    // Stopped: later work is ignored, waiting returns at once, stopping again is harmless.
    executor->Post(recorder.Add(5));
    EXPECT_FALSE(executor->RunAndWait(recorder.Add(6)));
    EXPECT_TRUE(executor->WaitIdle(milliseconds(1)));
    executor->Stop();
    executor.reset();
    EXPECT_EQ(recorder.Values(), std::vector<int>{1});
}

}  // namespace
}  // namespace vq::test
