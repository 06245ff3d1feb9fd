// The system's lock files: one holder at a time (each opening is a holder, as another process
// is), a waiter that gets the lock when it is let go, and a lock file that cannot be made.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/process_lock.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

using std::chrono::milliseconds;

TEST(SystemProcessLocks, OneHolderAtATimeAndAWaiterGetsItWhenItIsLetGo) {
    TempDir dir;
    const auto file = dir / "edit.lock";
    ProcessLocks& locks = platform::SystemProcessLocks();
    FileProblem why = FileProblem::Other;
    std::unique_ptr<ProcessLock> first = locks.Acquire(file, milliseconds(0), &why);
    ASSERT_NE(first, nullptr) << DescribeFileProblem(why);
    EXPECT_EQ(why, FileProblem::None);

    why = FileProblem::Other;
    EXPECT_EQ(locks.Acquire(file, milliseconds(30), &why), nullptr);
    EXPECT_EQ(why, FileProblem::None);  // held by another, not a file problem

    std::atomic<bool> released{false};
    std::thread holder([&] {
        std::this_thread::sleep_for(milliseconds(30));
        released = true;
        first.reset();
    });
    std::unique_ptr<ProcessLock> second = locks.Acquire(file, milliseconds(10000), &why);
    holder.join();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(released.load());
    second.reset();
    EXPECT_NE(locks.Acquire(file, milliseconds(0), &why), nullptr);
}

TEST(SystemProcessLocks, ALockFileThatCannotBeMadeSaysWhy) {
    TempDir dir;
    FileProblem why = FileProblem::None;
    EXPECT_EQ(platform::SystemProcessLocks().Acquire(dir / "missing" / "edit.lock", milliseconds(0),
                                                     &why),
              nullptr);
    EXPECT_EQ(why, FileProblem::NoFolder);
}

}  // namespace
}  // namespace vq::test
