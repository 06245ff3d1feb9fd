// The profile watcher fed by a foreground set by hand: a linked program in front puts its
// profile in force, any other brings back the selected one, and "select" never changes.

#include <gtest/gtest.h>

#include "core/profile/profile_watcher.h"
#include "platform/foreground_program.h"
#include "profile_fixture.h"

namespace vq::test {
namespace {

using F = ProfileFamily;
constexpr DeviceKind kMs = DeviceKind::Mouse;

class ProfileWatcherTest : public ProfileFolders {
  protected:
    void SetUp() override {
        store.InitProfileKind(kMs);
        ASSERT_TRUE(store.AddProfile(kMs, F::Device, "game").ok());
        ASSERT_TRUE(store.AddProfile(kMs, F::Device, "editor").ok());
        ASSERT_TRUE(
            store.LinkProfile(kMs, F::Device, ProfileTarget::Named("game"), "C:\\Games\\Game.exe")
                .ok());
        ASSERT_TRUE(
            store.LinkProfile(kMs, F::Device, ProfileTarget::Named("editor"), "/usr/bin/editor")
                .ok());
        ASSERT_TRUE(store.SetSelection(kMs, F::Device, 0));
        index = ReadBytes(store.IndexPath(kMs));
        foreground.Start([this](const std::string& path) { watcher.ForegroundChanged(path); },
                         nullptr);
    }
    void TearDown() override { foreground.Stop(); }
    int Select() const { return store.StoredSelection(kMs, F::Device); }

    std::vector<int> applied;
    ProfileWatcher watcher{store, [this](int i) { applied.push_back(i); }};
    platform::ManualForegroundProgram foreground;
    std::string index;
};

TEST_F(ProfileWatcherTest,
       ALinkedProgramInFrontPutsItsProfileInForceAndAnyOtherRestoresTheSelection) {
    // At start the selection is in force and nothing is sent again.
    EXPECT_TRUE(applied.empty());
    EXPECT_EQ(watcher.ActiveIndex(), 0);
    foreground.Bring("c:\\games\\GAME.EXE");  // the path matches without regard to case
    EXPECT_EQ(applied, std::vector<int>{1});
    EXPECT_EQ(watcher.LinkedIndex(), 1);
    EXPECT_EQ(Select(), 0);
    foreground.Bring("/usr/bin/editor");
    foreground.Bring("/usr/bin/editor");  // no change, nothing sent
    foreground.Bring("/usr/bin/other");
    foreground.Bring("");  // a window whose program is not known
    EXPECT_EQ(applied, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(Select(), 0);
    // The index was never written.
    EXPECT_EQ(ReadBytes(store.IndexPath(kMs)), index);
}

TEST_F(ProfileWatcherTest, TheUsersSelectionAndLinkEditsAreFollowed) {
    foreground.Bring("/usr/bin/other");
    EXPECT_TRUE(applied.empty());
    // The user selects "editor" (the window applied it); then its program comes and goes.
    ASSERT_TRUE(store.SetSelection(kMs, F::Device, 2));
    watcher.SelectionApplied(2);
    foreground.Bring("C:\\Games\\Game.exe");
    foreground.Bring("/usr/bin/other");
    EXPECT_EQ(applied, (std::vector<int>{1, 2}));
    // While a linked program is in front, a selection by the user gives way to the link.
    foreground.Bring("C:\\Games\\Game.exe");
    ASSERT_TRUE(store.SetSelection(kMs, F::Device, 0));
    watcher.SelectionApplied(0);
    EXPECT_EQ(applied, (std::vector<int>{1, 2, 1, 1}));
    // Unlinking the program in front brings back the selection at once.
    ASSERT_TRUE(store.UnlinkProfile(kMs, F::Device, ProfileTarget::Named("game")).ok());
    watcher.LinksChanged();
    EXPECT_EQ(applied, (std::vector<int>{1, 2, 1, 1, 0}));
    EXPECT_EQ(watcher.LinkedIndex(), -1);
    // Another family's link does not count for the watched one.
    ASSERT_TRUE(store.LinkProfile(kMs, F::Light, {}, "/usr/bin/paint").ok());
    foreground.Bring("/usr/bin/paint");
    EXPECT_EQ(applied.size(), 5u);
}

}  // namespace
}  // namespace vq::test
