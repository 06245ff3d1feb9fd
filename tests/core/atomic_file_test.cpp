// The atomic writer: a failure at any step leaves the previous file and no temporary file.

#include <gtest/gtest.h>

#include <thread>

#include "core/util/atomic_file.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
  protected:
    ~AtomicFile() override { SetAtomicWriteFaultHook(nullptr); }
    TempDir dir;
};

TEST_F(AtomicFile, WritesANewFileAndReplacesAnOldOne) {
    const fs::path target = dir / "a.bin";
    ASSERT_TRUE(WriteFileAtomic(target, std::string_view("first, longer content")));
    EXPECT_EQ(ReadBytes(target), "first, longer content");
    ASSERT_TRUE(WriteFileAtomic(target, std::string_view("second")));
    EXPECT_EQ(ReadBytes(target), "second");  // no tail of the longer old content
    ASSERT_TRUE(WriteFileAtomic(target, std::string_view("")));
    EXPECT_EQ(ReadBytes(target), "");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"a.bin"});
}

TEST_F(AtomicFile, AFailureAtAnyStepKeepsThePreviousFileAndLeavesNoTemporary) {
    const fs::path target = dir / "profile1.config";
    WriteBytes(target, "previous content");
    for (AtomicWriteStep failing : {AtomicWriteStep::CreateTemporary, AtomicWriteStep::WriteData,
                                    AtomicWriteStep::Sync, AtomicWriteStep::Rename}) {
        SCOPED_TRACE(static_cast<int>(failing));
        std::vector<AtomicWriteStep> reached;
        SetAtomicWriteFaultHook([&](AtomicWriteStep step, const fs::path& t) {
            EXPECT_EQ(t, target);
            reached.push_back(step);
            return step != failing;
        });
        LogCapture log;
        EXPECT_FALSE(WriteFileAtomic(target, std::string_view("new content that must not land")));
        EXPECT_EQ(reached.back(), failing);
        EXPECT_EQ(ReadBytes(target), "previous content");
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"profile1.config"});
        EXPECT_TRUE(log.Contains("profile1.config"));
    }
    // With the hook gone the same write goes through.
    SetAtomicWriteFaultHook(nullptr);
    EXPECT_TRUE(WriteFileAtomic(target, std::string_view("new")));
    EXPECT_EQ(ReadBytes(target), "new");
}

TEST_F(AtomicFile, InterruptedBeforeTheRenameTheTemporaryHoldsTheNewDataAndTheTargetTheOld) {
    // A crash between the flush and the rename: the data is complete in the temporary file,
    // the target still has its old content.
    const fs::path target = dir / "msProfile.ini";
    WriteBytes(target, "old");
    std::string seenInTemporary;
    SetAtomicWriteFaultHook([&](AtomicWriteStep step, const fs::path&) {
        if (step != AtomicWriteStep::Rename) return true;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (IsAtomicTemporaryName(e.path().filename().string()))
                seenInTemporary = ReadBytes(e.path());
        EXPECT_EQ(ReadBytes(target), "old");
        return false;
    });
    EXPECT_FALSE(WriteFileAtomic(target, std::string_view("complete new data")));
    EXPECT_EQ(seenInTemporary, "complete new data");
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"msProfile.ini"});
}

TEST_F(AtomicFile, RefusesAMissingFolderOrAFolderInTheWay) {
    LogCapture log;
    EXPECT_FALSE(WriteFileAtomic(dir / "no-such-folder" / "x", std::string_view("x")));
    EXPECT_FALSE(fs::exists(dir / "no-such-folder"));
    fs::create_directory(dir / "taken");
    EXPECT_FALSE(WriteFileAtomic(dir / "taken", std::string_view("x")));
    EXPECT_TRUE(fs::is_directory(dir / "taken"));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"taken"});
    EXPECT_EQ(log.Lines().size(), 2u);
}

class RecordingSync : public FileSync {
  public:
    bool SyncFile(const fs::path& file) override {
        files.push_back(file);
        content = ReadBytes(file);
        return fileResult;
    }
    bool SyncFolder(const fs::path& folder) override {
        folders.push_back(folder);
        return true;
    }
    bool fileResult = true;
    std::vector<fs::path> files, folders;
    std::string content;
};

TEST_F(AtomicFile, SyncsTheTemporaryBeforeTheRenameAndTheFolderAfterIt) {
    auto sync = std::make_shared<RecordingSync>();
    InstallFileSync(sync);
    const fs::path target = dir / "kbMacro.ini";
    WriteBytes(target, "old");
    EXPECT_TRUE(WriteFileAtomic(target, std::string_view("new")));
    ASSERT_EQ(sync->files.size(), 1u);
    EXPECT_NE(sync->files[0], target);  // the temporary, before it replaced the target
    EXPECT_EQ(sync->content, "new");
    EXPECT_EQ(sync->folders, std::vector<fs::path>{dir.path()});

    // A sync that fails is a failed write: the old file stays.
    sync->fileResult = false;
    EXPECT_FALSE(WriteFileAtomic(target, std::string_view("newer")));
    EXPECT_EQ(ReadBytes(target), "new");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"kbMacro.ini"});
    InstallFileSync(nullptr);
}

TEST_F(AtomicFile, ConcurrentWritersOfOneFileNeverTearIt) {
    const fs::path target = dir / "shared.ini";
    const std::string a(20000, 'a'), b(30000, 'b');
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i)
                EXPECT_TRUE(WriteFileAtomic(target, t % 2 ? a : b));
        });
    for (auto& w : writers)
        w.join();
    const std::string last = ReadBytes(target);
    EXPECT_TRUE(last == a || last == b);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"shared.ini"});
}

TEST_F(AtomicFile, ReadsTellMissingFromTooLargeAndReadPrefixes) {
    EXPECT_EQ(ReadWholeFile(dir / "absent").status, FileReadStatus::Missing);
    fs::create_directory(dir / "folder");
    EXPECT_EQ(ReadWholeFile(dir / "folder").status, FileReadStatus::Missing);

    WriteBytes(dir / "empty", "");
    const FileBytes empty = ReadWholeFile(dir / "empty");
    EXPECT_EQ(empty.status, FileReadStatus::Ok);
    EXPECT_TRUE(empty.bytes.empty());

    const std::string big(200000, 'x');
    WriteBytes(dir / "big", big + "yz");
    EXPECT_EQ(ReadWholeFile(dir / "big", big.size() + 2).bytes.size(), big.size() + 2);
    const FileBytes tooLarge = ReadWholeFile(dir / "big", big.size());
    EXPECT_EQ(tooLarge.status, FileReadStatus::TooLarge);
    EXPECT_TRUE(tooLarge.bytes.empty());

    const FileBytes prefix = ReadFilePrefix(dir / "big", big.size() + 1);
    EXPECT_EQ(prefix.status, FileReadStatus::Ok);
    EXPECT_EQ(std::string(prefix.bytes.begin(), prefix.bytes.end()), big + "y");
    const FileBytes shortFile = ReadFilePrefix(dir / "empty", 16);
    EXPECT_EQ(shortFile.status, FileReadStatus::Ok);
    EXPECT_TRUE(shortFile.bytes.empty());
}

}  // namespace
}  // namespace vq::test
