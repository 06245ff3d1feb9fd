// The profile operations on every family: names, refusals with their texts, links moving with
// their profiles, imports and exports, resets, and the application links.

#include <gtest/gtest.h>

#include "core/profile/profile_store.h"
#include "profile_fixture.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
constexpr DeviceKind kMs = DeviceKind::Mouse, kKb = DeviceKind::Keyboard,
                     kMp = DeviceKind::Mousepad;
using F = ProfileFamily;

// Every (kind, family) the store holds.
std::vector<std::pair<DeviceKind, ProfileFamily>> EveryFamily() {
    std::vector<std::pair<DeviceKind, ProfileFamily>> all;
    for (DeviceKind kind : kEveryKind)
        for (ProfileFamily family : FamiliesOf(kind))
            all.emplace_back(kind, family);
    return all;
}

// A model that keeps each family's payload as bytes.
class BytesModel : public ProfilePayloadModel {
  public:
    explicit BytesModel(DeviceKind kind) {
        for (ProfileFamily f : FamiliesOf(kind))
            payloads[f] = ProfilePattern(PayloadSize(kind, f), 0x90);
    }
    Bytes BuildPayload(ProfileFamily family) override { return payloads[family]; }
    bool LoadPayload(ProfileFamily family, std::span<const uint8_t> payload) override {
        payloads[family].assign(payload.begin(), payload.end());
        loaded.push_back(family);
        return true;
    }
    std::map<ProfileFamily, Bytes> payloads;
    std::vector<ProfileFamily> loaded;
};

class ProfileOps : public ProfileFolders {
  protected:
    void SetUp() override {
        for (DeviceKind kind : kEveryKind)
            for (const FamilyFill& fill : store.InitProfileKind(kind))
                ASSERT_EQ(fill.result, FamilyFillResult::Seeded);
    }
};

TEST_F(ProfileOps, AddTakesTheFirstFreeNumberWithoutRegardToCaseAndSelectsTheNewProfile) {
    for (const auto& [kind, family] : EveryFamily()) {
        SCOPED_TRACE(FamilyName(family));
        ASSERT_TRUE(store.AddProfile(kind, family, "PROFILE2").ok());
        const ProfileResult added = store.AddProfile(kind, family);
        ASSERT_TRUE(added.ok()) << DescribeProfileResult(added);
        EXPECT_EQ(added.name, "profile3");
        EXPECT_EQ(added.index, 2);
        EXPECT_EQ(Names(kind, family),
                  (std::vector<std::string>{"profile1", "PROFILE2", "profile3"}));
        EXPECT_EQ(store.ReadIndex(kind, family).selected, 2);
        EXPECT_EQ(Payload(kind, family, "profile3"), DefaultPayload(kind, family));
        EXPECT_EQ(IndexValue(kind, FamilySchema(kind, family).linkFlagSection, "2"), "0");
    }
    // A file in the folder that the index does not list is not taken over: its number is skipped,
    // and an add by its name is refused.
    WriteBytes(KindDir(kMs) / "Profile4.led", "the user's own bytes");
    const ProfileResult next = store.AddProfile(kMs, F::Light);
    EXPECT_EQ(next.name, "profile5");
    const ProfileResult named = store.AddProfile(kMs, F::Light, "profile4");
    EXPECT_EQ(named.error, ProfileError::FileInTheWay);
    EXPECT_EQ(ReadBytes(KindDir(kMs) / "Profile4.led"), "the user's own bytes");
    EXPECT_EQ(Names(kMs, F::Light).size(), 4u);
}

TEST_F(ProfileOps, AddStopsAtTheMostAFamilyListsAndNeverRewritesAListedName) {
    // An index of 1000 names (the files need not exist for the count to hold).
    const ProfileFamilySchema& schema = FamilySchema(kMp, F::Light);
    ASSERT_TRUE(UpdateIniFile(store.IndexPath(kMp), [&](IniDocument& doc) {
        bool ok = doc.Write(schema.countSection, "count", "1000");
        for (int i = 1; i < 1000; ++i)
            ok = ok && doc.Write(schema.nameSection, std::to_string(i), "p" + std::to_string(i));
        return ok;
    }));
    const auto before = Snapshot();
    const ProfileResult more = store.AddProfile(kMp, F::Light, "one more");
    EXPECT_EQ(more.error, ProfileError::TooMany);
    EXPECT_NE(DescribeProfileResult(more).find("1000"), std::string::npos);
    EXPECT_EQ(store.CopyProfile(kMp, F::Light).error, ProfileError::TooMany);
    EXPECT_EQ(Snapshot(), before);

    // Below the limit, the same name twice: the second is refused and the first keeps its bytes.
    ASSERT_TRUE(store.AddProfile(kMs, F::Key, "twice").ok());
    const Bytes first = Payload(kMs, F::Key, "twice");
    const ProfileResult again = store.AddProfile(kMs, F::Key, "TWICE");
    EXPECT_EQ(again.error, ProfileError::NameTaken);
    EXPECT_EQ(again.textId, "message_text_15");
    EXPECT_EQ(Payload(kMs, F::Key, "twice"), first);
}

TEST_F(ProfileOps, CopyAppendsCopyAsOftenAsTheNameIsTaken) {
    for (const auto& [kind, family] : EveryFamily()) {
        ASSERT_TRUE(store.RenameProfile(kind, family, ProfileTarget::At(0), "game").ok());
        const ProfileResult first = store.CopyProfile(kind, family, ProfileTarget::Named("game"));
        const ProfileResult second = store.CopyProfile(kind, family, ProfileTarget::Named("GAME"));
        ASSERT_TRUE(first.ok() && second.ok()) << DescribeProfileResult(second);
        EXPECT_EQ(Names(kind, family),
                  (std::vector<std::string>{"game", "game copy", "game copy copy"}));
        EXPECT_EQ(store.ReadIndex(kind, family).selected, 2);
        EXPECT_EQ(Payload(kind, family, "game copy copy"), DefaultPayload(kind, family));
    }
    // A copy of a profile whose file is gone says so and adds nothing.
    fs::remove(KindDir(kKb) / "game.pro");
    const ProfileResult missing = store.CopyProfile(kKb, F::Key, ProfileTarget::At(0));
    EXPECT_EQ(missing.error, ProfileError::SourceMissing);
    EXPECT_EQ(missing.textId, "message_text_8");
    EXPECT_EQ(Names(kKb, F::Key).size(), 3u);
}

TEST_F(ProfileOps, DeleteRefusesTheLastAndMovesTheLaterLinksDown) {
    for (const auto& [kind, family] : EveryFamily()) {
        SCOPED_TRACE(std::string(DeviceKindPrefix(kind)) + FamilyName(family));
        const ProfileResult last = store.DeleteProfile(kind, family);
        EXPECT_EQ(last.error, ProfileError::LastProfile);
        EXPECT_EQ(last.textId, "message_text_11");
        EXPECT_FALSE(Payload(kind, family, "profile1").empty());

        ASSERT_TRUE(store.AddProfile(kind, family, "two").ok());
        ASSERT_TRUE(store.AddProfile(kind, family, "three").ok());
        const ProfileFamilySchema& schema = FamilySchema(kind, family);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(store
                            .LinkProfile(kind, family, ProfileTarget::At(i),
                                         "C:\\games\\g" + std::to_string(i) + ".exe")
                            .ok());
        ASSERT_TRUE(store.SetSelection(kind, family, 1));
        const ProfileResult deleted = store.DeleteProfile(kind, family);
        ASSERT_TRUE(deleted.ok()) << DescribeProfileResult(deleted);
        EXPECT_EQ(Names(kind, family), (std::vector<std::string>{"profile1", "three"}));
        EXPECT_FALSE(fs::exists(KindDir(kind) / ("two" + Ext(kind, family))));
        // The last item is selected; the third profile's link is at index 1 now.
        EXPECT_EQ(store.ReadIndex(kind, family).selected, 1);
        EXPECT_EQ(deleted.name, "three");
        EXPECT_EQ(store.Link(kind, family, 1).programPath, "C:\\games\\g2.exe");
        EXPECT_TRUE(store.Link(kind, family, 1).linked);
        EXPECT_EQ(store.Link(kind, family, 0).programPath, "C:\\games\\g0.exe");
        // The old index-2 keys stay in the file, past the count, ignored.
        EXPECT_EQ(IndexValue(kind, schema.nameSection, "2"), "three");
        EXPECT_EQ(IndexValue(kind, schema.linkFlagSection, "2"), "1");
        EXPECT_EQ(IndexValue(kind, schema.countSection, "count"), "2");
        if (kind == kKb && family == F::Device) {
            // Undo the shared "PROCESS" keys the key family will look at next.
            for (int i = 0; i < 3; ++i)
                ASSERT_TRUE(UpdateIniFile(store.IndexPath(kind), [&](IniDocument& doc) {
                    return doc.Write("PROCESS", std::to_string(i), " ");
                }));
        }
    }
}

TEST_F(ProfileOps, RenameRefusesEmptyTakenSameAndCaseOnlyNamesAndMovesTheFile) {
    for (const auto& [kind, family] : EveryFamily()) {
        ASSERT_TRUE(store.AddProfile(kind, family, "other").ok());
        ASSERT_TRUE(store.SetSelection(kind, family, 0));
        const auto before = Snapshot();
        const ProfileResult empty =
            store.RenameProfile(kind, family, ProfileTarget::Selected(), "");
        EXPECT_EQ(empty.textId, "message_text_14");
        for (const char* name : {"profile1", "Profile1", "OTHER"}) {
            const ProfileResult r =
                store.RenameProfile(kind, family, ProfileTarget::Selected(), name);
            EXPECT_EQ(r.error, ProfileError::NameTaken) << name;
            EXPECT_EQ(r.textId, "message_text_15");
        }
        EXPECT_EQ(store.RenameProfile(kind, family, {}, "a/b").error, ProfileError::BadName);
        EXPECT_EQ(Snapshot(), before);

        const Bytes content = Payload(kind, family, "profile1");
        const ProfileResult renamed = store.RenameProfile(kind, family, {}, "Work");
        ASSERT_TRUE(renamed.ok()) << DescribeProfileResult(renamed);
        EXPECT_EQ(Names(kind, family), (std::vector<std::string>{"Work", "other"}));
        EXPECT_EQ(store.ReadIndex(kind, family).selected, 0);  // the selection stays
        EXPECT_EQ(Payload(kind, family, "Work"), content);
        EXPECT_FALSE(fs::exists(KindDir(kind) / ("profile1" + Ext(kind, family))));
    }
    // The old file missing: refused with "message_text_8", and the index keeps the old name.
    fs::remove(KindDir(kMs) / "Work.led");
    const ProfileResult missing = store.RenameProfile(kMs, F::Light, {}, "later");
    EXPECT_EQ(missing.textId, "message_text_8");
    EXPECT_EQ(Names(kMs, F::Light), (std::vector<std::string>{"Work", "other"}));
    EXPECT_FALSE(fs::exists(KindDir(kMs) / "later.led"));
}

TEST_F(ProfileOps, ImportTakesTheWholePayloadOfAFileOfTheSameKindOnly) {
    // A keyboard light profile: all 1958 bytes.
    const Bytes light = ProfilePattern(1958, 0x21);
    ASSERT_TRUE(WriteProfileFile(program / "shared.led", light, KindCode(kKb)));
    const ProfileResult imported = store.ImportProfile(kKb, F::Light, program / "shared.led");
    ASSERT_TRUE(imported.ok()) << DescribeProfileResult(imported);
    EXPECT_EQ(imported.name, "profile2");
    EXPECT_EQ(store.ReadIndex(kKb, F::Light).selected, 1);
    EXPECT_EQ(Payload(kKb, F::Light, "profile2"), light);
    EXPECT_EQ(store.ImportProfile(kKb, F::Light, program / "shared.led", "named").name, "named");

    // Written for the mouse, offered to the keyboard (and the other way round): refused, with the
    // kind found, and nothing written.
    ASSERT_TRUE(WriteProfileFile(program / "mouse.config", ProfilePattern(576, 3), KindCode(kMs)));
    const auto before = Snapshot();
    const ProfileResult wrong = store.ImportProfile(kKb, F::Device, program / "mouse.config");
    EXPECT_EQ(wrong.error, ProfileError::WrongKind);
    EXPECT_EQ(wrong.textId, "message_text_9");
    EXPECT_NE(DescribeProfileResult(wrong).find("a mouse profile"), std::string::npos);
    EXPECT_EQ(store.ImportProfile(kMs, F::Light, program / "shared.led").error,
              ProfileError::WrongKind);
    // Not a profile file; no such file.
    WriteBytes(program / "text.pro", "hello, not a profile");
    EXPECT_EQ(store.ImportProfile(kMs, F::Key, program / "text.pro").textId, "message_text_9");
    EXPECT_EQ(store.ImportProfile(kMs, F::Key, program / "none.pro").textId, "message_text_8");
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(ProfileOps, ExportWritesThePayloadWithTheKindCode) {
    // A mouse device profile whose file carries a wrong kind code goes out with the mouse's.
    ASSERT_TRUE(WriteProfileFile(KindDir(kMs) / "profile1.config", ProfilePattern(576, 9), 7));
    const fs::path out = program / "out.config";
    ASSERT_TRUE(store.ExportProfile(kMs, F::Device, {}, out).ok());
    Bytes payload(576, 0);
    uint16_t code = 0;
    ASSERT_EQ(ReadProfileFile(out, payload, &code), ProfileReadResult::Ok);
    EXPECT_EQ(payload, ProfilePattern(576, 9));
    EXPECT_EQ(code, KindCode(kMs));
    EXPECT_EQ(fs::file_size(out), 16u + 576u);
    // Onto a folder: refused, named.
    fs::create_directory(program / "folder.led");
    const ProfileResult folder = store.ExportProfile(kMp, F::Light, {}, program / "folder.led");
    EXPECT_EQ(folder.error, ProfileError::WriteFailed);
    EXPECT_EQ(folder.problem, FileProblem::FolderInTheWay);
    EXPECT_EQ(store.ExportProfile(kMp, F::Light, ProfileTarget::Named("nobody"), out).error,
              ProfileError::NoSelection);
}

TEST_F(ProfileOps, ResetTakesTheDefaultAndKeepsTheTailOfTheMouseAndMousepadLightRecords) {
    // Without a model: the selected file is rewritten.
    for (const auto& [kind, family] : EveryFamily())
        ASSERT_TRUE(WriteProfileFile(KindDir(kind) / ("profile1" + Ext(kind, family)),
                                     ProfilePattern(PayloadSize(kind, family), 0xC0),
                                     KindCode(kind)));
    for (const auto& [kind, family] : EveryFamily()) {
        ASSERT_TRUE(store.ResetProfile(kind, family).ok());
        Bytes expected = DefaultPayload(kind, family);
        if (family == F::Light && kind != kKb) {
            const Bytes own = ProfilePattern(64, 0xC0);
            std::copy(own.begin() + 56, own.end(), expected.begin() + 56);
        }
        EXPECT_EQ(Payload(kind, family, "profile1"), expected)
            << DeviceKindPrefix(kind) << " " << FamilyName(family);
    }
    // With a model: the model takes the merged default, and the mouse light reset saves the
    // light profile and then the device profile from it.
    BytesModel model(kMs);
    const Bytes deviceBefore = Payload(kMs, F::Device, "profile1");
    model.payloads[F::Device] = ProfilePattern(576, 0x13);
    ASSERT_TRUE(store.ResetProfile(kMs, F::Light, &model).ok());
    Bytes merged = DefaultPayload(kMs, F::Light);
    const Bytes modelLight = ProfilePattern(64, 0x90);
    std::copy(modelLight.begin() + 56, modelLight.end(), merged.begin() + 56);
    EXPECT_EQ(model.loaded, std::vector<ProfileFamily>{F::Light});
    EXPECT_EQ(model.payloads[F::Light], merged);
    EXPECT_EQ(Payload(kMs, F::Light, "profile1"), merged);
    EXPECT_EQ(Payload(kMs, F::Device, "profile1"), ProfilePattern(576, 0x13));
    EXPECT_NE(deviceBefore, ProfilePattern(576, 0x13));
    // A keyboard light reset touches the light profile only.
    BytesModel keyboard(kKb);
    const Bytes kbDevice = Payload(kKb, F::Device, "profile1");
    ASSERT_TRUE(store.ResetProfile(kKb, F::Light, &keyboard).ok());
    EXPECT_EQ(Payload(kKb, F::Light, "profile1"), DefaultPayload(kKb, F::Light));
    EXPECT_EQ(Payload(kKb, F::Device, "profile1"), kbDevice);
    // No default: "message_text_8", nothing changed.
    fs::remove(program / "mskeydefault.pro");
    EXPECT_EQ(store.ResetProfile(kMs, F::Key).textId, "message_text_8");
}

TEST_F(ProfileOps, LinksAreRefusedForAProgramLinkedAlreadyWithoutRegardToCase) {
    ASSERT_TRUE(store.AddProfile(kMs, F::Device, "game").ok());
    ASSERT_TRUE(store.LinkProfile(kMs, F::Device, ProfileTarget::At(0), "C:\\Games\\Foo.exe").ok());
    const auto before = Snapshot();
    for (const char* path : {"C:\\Games\\Foo.exe", "c:\\games\\FOO.EXE"}) {
        for (int i : {0, 1}) {
            const ProfileResult r = store.LinkProfile(kMs, F::Device, ProfileTarget::At(i), path);
            EXPECT_EQ(r.error, ProfileError::AlreadyLinked) << path << " " << i;
            EXPECT_EQ(r.textId, "message_text_13");
        }
    }
    EXPECT_EQ(store.LinkProfile(kMs, F::Device, ProfileTarget::At(1), "foo.exe").error,
              ProfileError::NotAProgramPath);
    EXPECT_EQ(Snapshot(), before);
    // Another family may link the same program.
    EXPECT_TRUE(store.LinkProfile(kMs, F::Light, {}, "C:\\Games\\Foo.exe").ok());
    EXPECT_EQ(store.LinkedProfile(kMs, F::Device, "C:\\GAMES\\foo.exe"), 0);
    EXPECT_EQ(store.LinkedProfile(kMs, F::Device, "C:\\Games\\Bar.exe"), -1);
    EXPECT_EQ(ProgramFileName("C:\\Games\\Foo.exe"), "Foo.exe");
    EXPECT_EQ(ProgramFileName("/usr/games/foo"), "foo");

    // Unlinked: flag "0" and path " "; the path may be linked again.
    ASSERT_TRUE(store.UnlinkProfile(kMs, F::Device, ProfileTarget::At(0)).ok());
    EXPECT_EQ(IndexValue(kMs, "PROFILELIKEDEVICEEXE", "0"), "0");
    EXPECT_EQ(ReadIniString(store.IndexPath(kMs), "DEVICEPROCESS", "0", "x"), "");
    EXPECT_FALSE(store.Link(kMs, F::Device, 0).linked);
    EXPECT_TRUE(store.LinkProfile(kMs, F::Device, ProfileTarget::At(1), "c:\\games\\foo.exe").ok());
}

TEST_F(ProfileOps, TheKeyboardsDeviceAndKeyFamiliesShareOneProcessEntry) {
    ASSERT_TRUE(store.LinkProfile(kKb, F::Device, {}, "C:\\a\\first.exe").ok());
    ASSERT_TRUE(store.LinkProfile(kKb, F::Key, {}, "C:\\b\\second.exe").ok());
    // The later link's path is shown for both.
    EXPECT_EQ(store.Link(kKb, F::Device, 0).programPath, "C:\\b\\second.exe");
    EXPECT_EQ(store.Link(kKb, F::Key, 0).programPath, "C:\\b\\second.exe");
    EXPECT_TRUE(store.Link(kKb, F::Device, 0).linked);
    EXPECT_EQ(IndexValue(kKb, "PROCESS", "0"), "C:\\b\\second.exe");
    // The mouse keeps them apart.
    ASSERT_TRUE(store.LinkProfile(kMs, F::Device, {}, "C:\\a\\first.exe").ok());
    ASSERT_TRUE(store.LinkProfile(kMs, F::Key, {}, "C:\\b\\second.exe").ok());
    EXPECT_EQ(store.Link(kMs, F::Device, 0).programPath, "C:\\a\\first.exe");
}

TEST_F(ProfileOps, NamesReachALineOfTextEscaped) {
    EXPECT_EQ(EscapeForDisplay("a\x1b[31mred\nnext\x7f"), "a\\x1B[31mred\\x0Anext\\x7F");
    ProfileResult r;
    r.error = ProfileError::NameTaken;
    r.name = "x\ry";
    EXPECT_EQ(DescribeProfileResult(r).find('\r'), std::string::npos);
    EXPECT_EQ(store.AddProfile(kMp, F::Key).error, ProfileError::NoSuchFamily);
}

}  // namespace
}  // namespace vq::test
