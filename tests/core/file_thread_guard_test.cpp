// The mark of a thread that must not wait on the disk: every file helper counts its calls there,
// and only there.

#include <gtest/gtest.h>

#include <thread>

#include "core/profile/profile_store.h"
#include "core/util/atomic_file.h"
#include "core/util/file_names.h"
#include "core/util/file_thread_guard.h"
#include "core/util/ini_file.h"
#include "core/util/log.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;

class FileThreadGuard : public ::testing::Test {
  protected:
    FileThreadGuard() { before = ForbiddenFileAccesses(); }
    ~FileThreadGuard() override { ForbidFilesOnThisThread(false); }
    uint64_t Counted() const { return ForbiddenFileAccesses() - before; }

    TempDir dir;
    uint64_t before = 0;
};

TEST_F(FileThreadGuard, TheFirstCallOfTheProcessIsLoggedWithItsFile) {
    // The log line comes once per process: this test comes first in its program and sees it,
    // unless the tests run in another order.
    if (ForbiddenFileAccesses() != 0) GTEST_SKIP() << "an earlier test made the first call";
    std::vector<std::string> lines;
    SetLogSink([&](LogLevel, std::string_view line) { lines.emplace_back(line); });
    ForbidFilesOnThisThread();
    ReadWholeFile(dir / "first.ini");
    ReadWholeFile(dir / "second.ini");
    ForbidFilesOnThisThread(false);
    SetLogSink(nullptr);
    size_t named = 0;
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find("second.ini"), std::string::npos) << line;
        if (line.find("first.ini") != std::string::npos &&
            line.find("must not wait on the disk") != std::string::npos)
            ++named;
    }
    EXPECT_EQ(named, 1u);
}

TEST_F(FileThreadGuard, EveryHelperIsCountedOnAMarkedThreadAndStillDoesItsWork) {
    const fs::path ini = dir / "index.ini";
    ASSERT_TRUE(WriteIniString(ini, "s", "k", "v"));
    ASSERT_EQ(Counted(), 0u);

    EXPECT_FALSE(ForbidFilesOnThisThread());
    EXPECT_TRUE(FilesForbiddenOnThisThread());
    // The work is done all the same: a refused write would lose the user's change.
    EXPECT_TRUE(WriteFileAtomic(dir / "a.bin", std::string_view("abc")));
    EXPECT_EQ(Counted(), 1u);
    const FileBytes whole = ReadWholeFile(dir / "a.bin");
    EXPECT_EQ(whole.status, FileReadStatus::Ok);
    EXPECT_EQ(whole.bytes.size(), 3u);
    EXPECT_EQ(Counted(), 2u);
    EXPECT_EQ(ReadFilePrefix(dir / "a.bin", 1).bytes.size(), 1u);
    EXPECT_EQ(Counted(), 3u);
    // A missing file is a call all the same.
    EXPECT_EQ(ReadWholeFile(dir / "none").status, FileReadStatus::Missing);
    EXPECT_EQ(Counted(), 4u);
    EXPECT_EQ(ReadIniString(ini, "s", "k", ""), "v");
    EXPECT_EQ(Counted(), 5u);
    // A read and a write.
    EXPECT_TRUE(WriteIniString(ini, "s", "k", "w"));
    EXPECT_EQ(Counted(), 7u);
    EXPECT_EQ(FindFileNoCase(dir.path(), "INDEX.INI"), ini);
    EXPECT_EQ(Counted(), 8u);
    ProfileStore store(dir.path(), dir.path());
    EXPECT_TRUE(store.KindFolder(DeviceKind::Mouse).has_value());
    EXPECT_EQ(Counted(), 9u);

    EXPECT_TRUE(ForbidFilesOnThisThread(false));
    EXPECT_EQ(ReadIniString(ini, "s", "k", ""), "w");
    EXPECT_EQ(Counted(), 9u);
}

TEST_F(FileThreadGuard, TheMarkBelongsToOneThreadAndAnAllowedScopeLiftsItForItsLength) {
    ForbidFilesOnThisThread();
    // Another thread is not marked by this one's mark.
    std::thread other([&] {
        EXPECT_FALSE(FilesForbiddenOnThisThread());
        EXPECT_TRUE(WriteFileAtomic(dir / "b.bin", std::string_view("x")));
    });
    other.join();
    EXPECT_EQ(Counted(), 0u);
    {
        const FileAccessAllowed allowed;
        EXPECT_FALSE(FilesForbiddenOnThisThread());
        {
            const FileAccessAllowed nested;
            EXPECT_EQ(ReadWholeFile(dir / "b.bin").status, FileReadStatus::Ok);
        }
        // The inner scope gives back what it found: still allowed.
        EXPECT_FALSE(FilesForbiddenOnThisThread());
        EXPECT_EQ(ReadWholeFile(dir / "b.bin").status, FileReadStatus::Ok);
    }
    EXPECT_EQ(Counted(), 0u);
    EXPECT_TRUE(FilesForbiddenOnThisThread());
    ReadWholeFile(dir / "b.bin");
    EXPECT_EQ(Counted(), 1u);
    // A thread that was never marked keeps no mark after an allowed scope.
    ForbidFilesOnThisThread(false);
    { const FileAccessAllowed allowed; }
    EXPECT_FALSE(FilesForbiddenOnThisThread());
}

}  // namespace
}  // namespace vq::test
