// The start-up fill when the index cannot be read, has lost a family or is garbage, and the
// clearing of what an interrupted write or edit left behind.

#include <gtest/gtest.h>

#include <chrono>

#include "core/profile/startup_fill.h"
#include "profile_fixture.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;
using F = ProfileFamily;
constexpr DeviceKind kMs = DeviceKind::Mouse;

class ProfileFill : public ProfileFolders {
  protected:
    // The user's own profiles, with content no default has.
    void UserProfiles() {
        ASSERT_EQ(store.InitProfileKind(kMs).size(), 3u);
        for (ProfileFamily family : FamiliesOf(kMs))
            ASSERT_TRUE(WriteProfileFile(KindDir(kMs) / ("profile1" + Ext(kMs, family)),
                                         ProfilePattern(PayloadSize(kMs, family), 0xE1),
                                         KindCode(kMs)));
    }
};

TEST_F(ProfileFill, AnIndexThatCannotBeReadIsNotAFirstRun) {
    UserProfiles();
    const fs::path index = KindDir(kMs) / "msProfile.ini";
    // A folder of that name; then a file past the size the reader takes.
    for (const FileProblem problem : {FileProblem::FolderInTheWay, FileProblem::TooLarge}) {
        fs::remove_all(index);
        if (problem == FileProblem::FolderInTheWay) {
            fs::create_directory(index);
        } else {
            WriteBytes(index, "[PROFILEDEVICECOUNT]\r\ncount=1\r\n");
            fs::resize_file(index, kDefaultReadLimit + 1);
        }
        const auto before = Snapshot();
        const std::vector<FamilyFill> fills = store.InitProfileKind(kMs);
        ASSERT_EQ(fills.size(), 1u);  // the kind's fill stops
        EXPECT_EQ(fills[0].result, FamilyFillResult::IndexUnreadable);
        EXPECT_EQ(fills[0].problem, problem);
        EXPECT_EQ(fills[0].file, index);
        EXPECT_EQ(Snapshot(), before);  // every profile1.* byte-identical, nothing added
        // No edit goes through it either.
        const ProfileResult add = store.AddProfile(kMs, F::Light);
        EXPECT_EQ(add.error, ProfileError::IndexUnreadable);
        EXPECT_NE(DescribeProfileResult(add).find("msProfile.ini"), std::string::npos);
        EXPECT_FALSE(store.SetSelection(kMs, F::Light, 0));
        EXPECT_EQ(Snapshot(), before);
    }
}

TEST_F(ProfileFill, AnIndexWithoutAFamilyListsTheFilesInTheFolderInsteadOfReplacingThem) {
    UserProfiles();
    WriteBytes(KindDir(kMs) / "Zebra.led", ReadBytes(KindDir(kMs) / "profile1.led"));
    WriteBytes(KindDir(kMs) / "alpha.led", ReadBytes(KindDir(kMs) / "profile1.led"));
    WriteBytes(KindDir(kMs) / "bad name .led", "not listed: not a name the program makes");
    fs::remove(KindDir(kMs) / "profile1.pro");
    // Garbage, with the device family still in it.
    WriteBytes(
        KindDir(kMs) / "msProfile.ini",
        std::string("\x01\x02garbage\xff\r\n[PROFILEDEVICECOUNT]\r\ncount=1\r\n"
                    "[PROFILEDEVICENAME]\r\n0=profile1\r\n[PROFILEDENGCOUNT]\r\ncount=x\r\n"));
    const std::string deviceBefore = ReadBytes(KindDir(kMs) / "profile1.config");
    const std::string lightBefore = ReadBytes(KindDir(kMs) / "profile1.led");
    const std::vector<FamilyFill> fills = store.InitProfileKind(kMs);
    ASSERT_EQ(fills.size(), 3u);
    EXPECT_EQ(fills[0].result, FamilyFillResult::Listed);
    EXPECT_EQ(fills[1].result, FamilyFillResult::Relisted);
    EXPECT_EQ(fills[1].index.names, (std::vector<std::string>{"alpha", "profile1", "Zebra"}));
    EXPECT_EQ(fills[1].index.selected, 0);
    // No key profile file was there: a first run for that family alone.
    EXPECT_EQ(fills[2].result, FamilyFillResult::Seeded);
    EXPECT_EQ(Payload(kMs, F::Key, "profile1"), DefaultPayload(kMs, F::Key));
    EXPECT_EQ(ReadBytes(KindDir(kMs) / "profile1.config"), deviceBefore);
    EXPECT_EQ(ReadBytes(KindDir(kMs) / "profile1.led"), lightBefore);
    EXPECT_EQ(Names(kMs, F::Light), fills[1].index.names);
    EXPECT_EQ(IndexValue(kMs, "PROFILELIKEDENGEXE", "2"), "0");
}

TEST_F(ProfileFill, StartClearsStaleTemporaryFilesAndFinishesAnInterruptedEdit) {
    UserProfiles();
    const fs::path dir = KindDir(kMs);
    const fs::path stale = dir / ".vq-00000000deadbeef-7.tmp";
    const fs::path fresh = dir / ".vq-00000000deadbeef-8.tmp";
    WriteBytes(stale, "left by a crash");
    WriteBytes(fresh, "another writer's, in flight");
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(2));
    WriteBytes(dir / "someone else's.tmp", "not ours");

    // A journal names a new file that the index never listed and a listed one.
    WriteBytes(dir / "orphan.led", ReadBytes(dir / "profile1.led"));
    WriteBytes(dir / std::string(ProfileStore::kJournalName),
               "[EDIT]\r\ncount=3\r\n0=orphan.led\r\n1=PROFILE1.led\r\n2=../escape.led\r\n");
    WriteBytes(data / "escape.led", "outside the folder");

    const KindFill fill = FillKindAtStart(store, kMs);
    EXPECT_TRUE(fill.recovery.ok()) << DescribeProfileResult(fill.recovery);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_TRUE(fs::exists(dir / "someone else's.tmp"));
    EXPECT_FALSE(fs::exists(dir / "orphan.led"));
    EXPECT_TRUE(fs::exists(dir / "profile1.led"));
    EXPECT_TRUE(fs::exists(data / "escape.led"));
    EXPECT_FALSE(fs::exists(dir / std::string(ProfileStore::kJournalName)));

    // A journal that cannot be read stops every edit, named.
    fs::create_directory(dir / std::string(ProfileStore::kJournalName));
    const ProfileResult blocked = store.AddProfile(kMs, F::Key);
    EXPECT_EQ(blocked.error, ProfileError::WriteFailed);
    EXPECT_NE(DescribeProfileResult(blocked).find(std::string(ProfileStore::kJournalName)),
              std::string::npos);
}

TEST_F(ProfileFill, TheMouseFillSeedsTheCursorScriptsAndReadsTheMacroList) {
    for (int i = 1; i <= 4; ++i)
        WriteBytes(program / ("name_" + std::to_string(i) + ".cur"),
                   "[MACROACTIONCOUNT]\r\ncount=0\r\n");
    fs::create_directories(KindDir(kMs));
    WriteBytes(KindDir(kMs) / "msMacro.ini",
               "[MACROCOUNT]\r\ncount=2\r\n[MACRONAME]\r\n0=a\r\n1=b\r\n");
    const std::vector<KindFill> fills = FillAllAtStart(store);
    ASSERT_EQ(fills.size(), 3u);
    EXPECT_EQ(fills[0].kind, DeviceKind::Keyboard);
    const KindFill& mouse = fills[1];
    EXPECT_TRUE(mouse.cursorScriptsSeeded);
    EXPECT_TRUE(fs::exists(KindDir(kMs) / "name_4.cur"));
    EXPECT_EQ(mouse.macroNames.size(), 2u);
    EXPECT_EQ(mouse.families.size(), 3u);
    EXPECT_TRUE(fills[0].macroNames.empty());
    EXPECT_FALSE(fs::exists(KindDir(DeviceKind::Keyboard) / "name_1.cur"));
}

}  // namespace
}  // namespace vq::test
