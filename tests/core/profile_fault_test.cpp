// Every profile operation, on every family, failed or cut off at each of its file steps: the
// index and the files afterwards are the state before the operation or the state after it,
// never a listed name without its file or a profile file without its entry.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <thread>

#include "core/profile/profile_store.h"
#include "profile_fixture.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;
using F = ProfileFamily;

// The system's file steps, with a fault at step `failAt` (counted from 1). A failure refuses
// that step alone; a crash refuses it and every later step, as though the process had died
// there (the undo that follows reaches nothing).
class FaultyFiles : public ProfileFileLayer {
  public:
    bool Write(const fs::path& file, std::span<const uint8_t> bytes, FileProblem* why) override {
        if (Refuse()) {
            if (why) *why = FileProblem::DiskFull;
            return false;
        }
        return SystemProfileFiles().Write(file, bytes, why);
    }
    bool Remove(const fs::path& file, FileProblem* why) override {
        if (Refuse()) {
            if (why) *why = FileProblem::NoPermission;
            return false;
        }
        return SystemProfileFiles().Remove(file, why);
    }
    int failAt = 0;
    bool crash = false;
    int steps = 0;
    bool hit = false;

  private:
    bool Refuse() {
        ++steps;
        if (steps == failAt) {
            hit = true;
            return true;
        }
        return crash && failAt > 0 && steps > failAt;
    }
};

struct Operation {
    const char* name;
    std::function<ProfileResult(ProfileStore&, DeviceKind, ProfileFamily)> run;
};

std::vector<Operation> Operations(const fs::path& importable) {
    return {
        {"add", [](ProfileStore& s, DeviceKind k, F f) { return s.AddProfile(k, f); }},
        {"add named", [](ProfileStore& s, DeviceKind k, F f) { return s.AddProfile(k, f, "x"); }},
        {"copy", [](ProfileStore& s, DeviceKind k, F f) { return s.CopyProfile(k, f); }},
        {"delete", [](ProfileStore& s, DeviceKind k, F f) { return s.DeleteProfile(k, f); }},
        {"delete first", [](ProfileStore& s, DeviceKind k,
                            F f) { return s.DeleteProfile(k, f, ProfileTarget::At(0)); }},
        {"rename",
         [](ProfileStore& s, DeviceKind k, F f) { return s.RenameProfile(k, f, {}, "renamed"); }},
        {"import",
         [importable](ProfileStore& s, DeviceKind k, F f) {
             return s.ImportProfile(k, f, importable / DefaultFileName(k, f, 0));
         }},
        {"reset", [](ProfileStore& s, DeviceKind k, F f) { return s.ResetProfile(k, f); }},
        {"link", [](ProfileStore& s, DeviceKind k,
                    F f) { return s.LinkProfile(k, f, {}, "C:\\games\\x.exe"); }},
        {"select",
         [](ProfileStore& s, DeviceKind k, F f) {
             ProfileResult r;
             if (!s.SetSelection(k, f, 0)) r.error = ProfileError::WriteFailed;
             return r;
         }},
    };
}

class ProfileFaults : public ProfileFolders {
  protected:
    // Two profiles in every family, the second selected and with its own content.
    void Prepare() {
        for (DeviceKind kind : kEveryKind)
            PrepareKind(kind);
    }
    void PrepareKind(DeviceKind kind) {
        {
            for (const FamilyFill& fill : store.InitProfileKind(kind))
                ASSERT_EQ(fill.result, FamilyFillResult::Seeded);
            for (ProfileFamily family : FamiliesOf(kind)) {
                ASSERT_TRUE(store.AddProfile(kind, family, "second").ok());
                ASSERT_TRUE(WriteProfileFile(KindDir(kind) / ("second" + Ext(kind, family)),
                                             ProfilePattern(PayloadSize(kind, family), 0x77),
                                             KindCode(kind)));
            }
        }
    }

    // Puts back the files of a snapshot, plainly.
    void Restore(const std::map<std::string, std::string>& files) {
        fs::remove_all(data.path());
        for (const auto& [name, content] : files) {
            if (content == "(folder)") {
                fs::create_directories(data / name);
                continue;
            }
            fs::create_directories((data / name).parent_path());
            WriteBytes(data / name, content);
        }
    }
    // Each family's index and files agree: every listed name has a readable file, every profile
    // file is listed, and no journal or temporary file is left.
    void ExpectConsistent(const std::string& where) {
        for (DeviceKind kind : kEveryKind)
            ExpectKindConsistent(kind, where);
    }
    void ExpectKindConsistent(DeviceKind kind, const std::string& where) {
        {
            std::set<std::string> listed;
            for (ProfileFamily family : FamiliesOf(kind)) {
                const FamilyIndex index = store.ReadIndex(kind, family);
                EXPECT_FALSE(index.names.empty()) << where;
                for (const std::string& name : index.names) {
                    EXPECT_FALSE(Payload(kind, family, name).empty())
                        << where << ": " << name << Ext(kind, family) << " is listed, no file";
                    listed.insert(name + Ext(kind, family));
                }
            }
            for (const std::string& file : TempDir::EntriesOf(KindDir(kind))) {
                if (file == IndexFileName(kind)) continue;
                EXPECT_TRUE(listed.contains(file)) << where << ": " << file << " is not listed";
            }
        }
    }
};

TEST_F(ProfileFaults, EveryOperationFailedOrCutOffAtEachFileStepLeavesTheOldOrTheNewState) {
    int cases = 0, faulted = 0;
    const TempDir importable;
    for (DeviceKind kind : kEveryKind)
        for (ProfileFamily family : FamiliesOf(kind))
            ASSERT_TRUE(WriteProfileFile(importable / DefaultFileName(kind, family, 0),
                                         ProfilePattern(PayloadSize(kind, family), 0x3C),
                                         KindCode(kind)));
    std::map<DeviceKind, std::map<std::string, std::string>> prepared;
    for (DeviceKind kind : kEveryKind) {
        fs::remove_all(data.path());
        PrepareKind(kind);
        prepared[kind] = Snapshot();
    }
    for (const Operation& op : Operations(importable.path()))
        for (DeviceKind kind : kEveryKind)
            for (ProfileFamily family : FamiliesOf(kind)) {
                const std::string what =
                    std::string(op.name) + " " + DeviceKindPrefix(kind) + " " + FamilyName(family);
                // The state after: the operation without a fault.
                const auto& before = prepared[kind];
                Restore(before);
                ASSERT_TRUE(op.run(store, kind, family).ok()) << what;
                const auto after = Snapshot();
                ASSERT_NE(before, after) << what;
                for (bool crash : {false, true})
                    for (int step = 1;; ++step) {
                        Restore(before);
                        FaultyFiles files;
                        files.failAt = step;
                        files.crash = crash;
                        store.SetFileLayer(&files);
                        const ProfileResult result = op.run(store, kind, family);
                        store.SetFileLayer(nullptr);
                        if (!files.hit) {
                            EXPECT_TRUE(result.ok()) << what;
                            break;
                        }
                        ++cases;
                        const std::string where = what + (crash ? " cut off" : " failed") +
                                                  " at step " + std::to_string(step);
                        // Listed names have their files at once, journal or not.
                        for (ProfileFamily f : FamiliesOf(kind))
                            for (const std::string& name : store.ReadIndex(kind, f).names)
                                EXPECT_FALSE(Payload(kind, f, name).empty())
                                    << where << ": " << name << " has no file";
                        if (!result.ok()) {
                            ++faulted;
                            EXPECT_EQ(result.error, ProfileError::WriteFailed) << where;
                            EXPECT_FALSE(DescribeProfileResult(result).empty());
                        }
                        // The next start (or the next edit) finishes or undoes what is left.
                        ProfileStore next(data.path(), program.path());
                        ASSERT_TRUE(next.Recover(kind).ok()) << where;
                        const auto recovered = Snapshot();
                        EXPECT_TRUE(recovered == before || recovered == after)
                            << where << ": neither the old nor the new state";
                        ExpectKindConsistent(kind, where);
                    }
            }
    // Every operation has file steps to fault, and most faults are reported as failures.
    EXPECT_GT(cases, 150);
    EXPECT_GT(faulted, cases / 2);
}

TEST_F(ProfileFaults, AnAddWhoseIndexWriteFailsLeavesNoFileForALaterAddToOverwrite) {
    Prepare();
    FaultyFiles files;
    store.SetFileLayer(&files);
    // Steps: journal, the profile file, the index (refused), then the undo.
    files.failAt = 3;
    const ProfileResult failed = store.AddProfile(DeviceKind::Mouse, F::Key, "kept");
    store.SetFileLayer(nullptr);
    ASSERT_EQ(failed.error, ProfileError::WriteFailed);
    EXPECT_EQ(failed.problem, FileProblem::DiskFull);
    EXPECT_EQ(failed.file, store.IndexPath(DeviceKind::Mouse));
    EXPECT_FALSE(fs::exists(KindDir(DeviceKind::Mouse) / "kept.pro"));
    EXPECT_FALSE(fs::exists(KindDir(DeviceKind::Mouse) / std::string(ProfileStore::kJournalName)));
    // Added again, it is the only "kept", listed once, with its file.
    ASSERT_TRUE(store.AddProfile(DeviceKind::Mouse, F::Key, "kept").ok());
    EXPECT_EQ(Names(DeviceKind::Mouse, F::Key),
              (std::vector<std::string>{"profile1", "second", "kept"}));
    ExpectConsistent("after the second add");
}

TEST_F(ProfileFaults, TwoThreadsAddingAtOnceLoseNoProfile) {
    Prepare();
    std::vector<std::thread> threads;
    std::atomic<int> added{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i)
                if (store.AddProfile(DeviceKind::Mousepad, F::Light).ok()) ++added;
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(added.load(), 40);
    const std::vector<std::string> names = Names(DeviceKind::Mousepad, F::Light);
    EXPECT_EQ(names.size(), 42u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 42u);
    ExpectConsistent("after the parallel adds");
}

}  // namespace
}  // namespace vq::test
