// Several programs editing one data folder at once: quilletctl processes and a store of this
// process (as the window holds one) add profiles side by side, and not one edit is lost.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <thread>

#include "core/profile/profile_file.h"
#include "core/profile/profile_store.h"
#include "platform/process_lock.h"
#include "support/temp_dir.h"

extern char** environ;

namespace vq::test {
namespace {

namespace fs = std::filesystem;

class ProfileLock : public ::testing::Test {
  protected:
    ProfileLock() {
        for (DeviceKind kind : {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad})
            for (ProfileFamily family : FamiliesOf(kind))
                EXPECT_TRUE(WriteProfileFile(program / DefaultFileName(kind, family, 0),
                                             std::vector<uint8_t>(PayloadSize(kind, family), 0x5A),
                                             KindCode(kind)));
        for (int i = 1; i <= 4; ++i)
            WriteBytes(program / ("name_" + std::to_string(i) + ".cur"),
                       "[MACROACTIONCOUNT]\r\ncount=0\r\n");
    }
    // Starts quilletctl with `args` after the folders; its process id.
    pid_t Start(const std::vector<std::string>& args) {
        std::vector<std::string> all = {VQ_QUILLETCTL, "--data-dir", Utf8FromPath(data.path()),
                                        "--program-dir", Utf8FromPath(program.path())};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    static int ExitCode(pid_t pid) {
        int status = 0;
        if (waitpid(pid, &status, 0) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    TempDir data, program;
};

TEST_F(ProfileLock, ProcessesAndThisProgramEditingAtOnceLoseNoEdit) {
    constexpr int kProcesses = 8;
    constexpr int kOwnAdds = 8;
    // The families exist before the race, as after a first start.
    ProfileStore store(data.path(), program.path());
    store.SetProcessLocks(&platform::SystemProcessLocks());
    for (const FamilyFill& fill : store.InitProfileKind(DeviceKind::Mouse))
        ASSERT_EQ(fill.result, FamilyFillResult::Seeded);

    std::vector<pid_t> pids;
    for (int i = 0; i < kProcesses; ++i)
        pids.push_back(Start({"profile", "add", "ms", "light", "tool" + std::to_string(i)}));
    // Meanwhile this process adds its own, and saves the selected profile as the window does
    // after every setting.
    for (int i = 0; i < kOwnAdds; ++i) {
        const ProfileResult added =
            store.AddProfile(DeviceKind::Mouse, ProfileFamily::Light, "own" + std::to_string(i));
        EXPECT_TRUE(added.ok()) << DescribeProfileResult(added);
    }
    for (pid_t pid : pids)
        EXPECT_EQ(ExitCode(pid), 0);

    const FamilyIndex index = store.ReadIndex(DeviceKind::Mouse, ProfileFamily::Light);
    EXPECT_EQ(index.names.size(), static_cast<size_t>(1 + kProcesses + kOwnAdds));
    for (int i = 0; i < kProcesses; ++i) {
        const std::string name = "tool" + std::to_string(i);
        EXPECT_NE(std::find(index.names.begin(), index.names.end(), name), index.names.end())
            << name << " was lost";
    }
    // Every listed profile has its file, and no file is left without its entry.
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(data.path() / "ms"))
        files += entry.path().extension() == ".led";
    EXPECT_EQ(files, index.names.size());
    for (const std::string& name : index.names)
        EXPECT_TRUE(fs::exists(data.path() / "ms" / (name + ".led"))) << name;
}

TEST_F(ProfileLock, AnEditWaitsForTheHolderAndIsRefusedWhenItKeepsTheLock) {
    ProfileStore store(data.path(), program.path());
    store.SetProcessLocks(&platform::SystemProcessLocks(), std::chrono::milliseconds(50));
    for (const FamilyFill& fill : store.InitProfileKind(DeviceKind::Mousepad))
        ASSERT_EQ(fill.result, FamilyFillResult::Seeded);
    // Another holder of the data folder's lock file (its own opening, as another program's).
    FileProblem why = FileProblem::Other;
    std::unique_ptr<ProcessLock> other = platform::SystemProcessLocks().Acquire(
        store.LockFile(), std::chrono::milliseconds(0), &why);
    ASSERT_NE(other, nullptr) << DescribeFileProblem(why);
    const ProfileResult busy = store.AddProfile(DeviceKind::Mousepad, ProfileFamily::Light);
    EXPECT_EQ(busy.error, ProfileError::Busy);
    EXPECT_EQ(store.ReadIndex(DeviceKind::Mousepad, ProfileFamily::Light).names.size(), 1u);

    // Let go while an edit waits: the edit goes through.
    store.SetProcessLocks(&platform::SystemProcessLocks(), std::chrono::milliseconds(10000));
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        other.reset();
    });
    const ProfileResult added = store.AddProfile(DeviceKind::Mousepad, ProfileFamily::Light);
    release.join();
    EXPECT_TRUE(added.ok()) << DescribeProfileResult(added);
}

}  // namespace
}  // namespace vq::test
