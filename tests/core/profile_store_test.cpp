// The profile store: first-run fill and index schema, loads, saves, names and case.

#include <gtest/gtest.h>

#include <map>
#include <numeric>

#include "core/profile/profile_store.h"
#include "core/util/ini_file.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t n, uint8_t seed) {
    Bytes v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(seed + i * 7);
    return v;
}

// A settings model that keeps each family's payload as bytes.
class FakeModel : public ProfilePayloadModel {
  public:
    explicit FakeModel(DeviceKind kind) : kind_(kind) {
        for (ProfileFamily f : FamiliesOf(kind))
            payloads[f] = Pattern(PayloadSize(kind, f), 0x40);
    }
    Bytes BuildPayload(ProfileFamily family) override { return payloads[family]; }
    bool LoadPayload(ProfileFamily family, std::span<const uint8_t> payload) override {
        if (!HasFamily(kind_, family)) return false;
        payloads[family].assign(payload.begin(), payload.end());
        ++loads;
        return true;
    }
    std::map<ProfileFamily, Bytes> payloads;
    int loads = 0;

  private:
    DeviceKind kind_;
};

// Every kind's sections, keys and values of an index, for exact comparison.
using IndexContent = std::map<std::string, std::map<std::string, std::string>>;
IndexContent ReadIndexContent(const fs::path& path) {
    const IniLoad load = LoadIniFile(path);
    IndexContent content;
    for (const std::string& section : load.document.SectionNames())
        for (const std::string& key : load.document.KeyNames(section))
            content[section][key] = *load.document.Find(section, key);
    return content;
}

constexpr DeviceKind kAllKinds[] = {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad};

class ProfileStoreTest : public ::testing::Test {
  protected:
    ProfileStoreTest() : store(data.path(), program.path()) {
        fs::remove_all(data.path());  // the store must create the data folder itself
        for (DeviceKind kind : kAllKinds)
            for (ProfileFamily family : FamiliesOf(kind))
                for (int variant = 0; variant <= (kind == DeviceKind::Keyboard ? 1 : 0); ++variant)
                    ShipDefault(kind, family, variant);
    }
    // Shipped defaults carry a recognisable payload per kind, family and variant.
    static Bytes DefaultPayload(DeviceKind kind, ProfileFamily family, int variant) {
        return Pattern(PayloadSize(kind, family),
                       static_cast<uint8_t>(16 * static_cast<int>(kind) +
                                            4 * static_cast<int>(family) + variant + 1));
    }
    void ShipDefault(DeviceKind kind, ProfileFamily family, int variant) {
        ASSERT_TRUE(WriteProfileFile(program / DefaultFileName(kind, family, variant),
                                     DefaultPayload(kind, family, variant), KindCode(kind)));
    }
    Bytes ProfilePayload(DeviceKind kind, ProfileFamily family, const std::string& file) {
        Bytes payload(PayloadSize(kind, family), 0);
        EXPECT_EQ(
            ReadProfileFile(data.path() / DeviceKindPrefix(kind) / PathFromUtf8(file), payload),
            ProfileReadResult::Ok)
            << file;
        return payload;
    }
    fs::path KindDir(DeviceKind kind) { return data.path() / DeviceKindPrefix(kind); }

    TempDir data, program;
    ProfileStore store;
};

TEST_F(ProfileStoreTest, FirstRunCreatesProfile1InEveryFamilyWithExactlyTheIndexSchema) {
    for (DeviceKind kind : kAllKinds) {
        const std::vector<FamilyFill> fills = store.InitProfileKind(kind);
        ASSERT_EQ(fills.size(), FamiliesOf(kind).size());
        for (const FamilyFill& fill : fills) {
            EXPECT_EQ(fill.result, FamilyFillResult::Seeded);
            EXPECT_EQ(fill.index.names, std::vector<std::string>{"profile1"});
            EXPECT_EQ(fill.index.selected, 0);
        }
    }
    const IndexContent ms = {
        {"PROFILEDEVICECOUNT", {{"count", "1"}}},   {"PROFILELIKEDEVICEEXE", {{"0", "0"}}},
        {"PROFILEDEVICENAME", {{"0", "profile1"}}}, {"PROFILEDEVICESELECT", {{"select", "0"}}},
        {"PROFILEDENGCOUNT", {{"count", "1"}}},     {"PROFILELIKEDENGEXE", {{"0", "0"}}},
        {"PROFILEDENGNAME", {{"0", "profile1"}}},   {"PROFILEDENGSELECT", {{"select", "0"}}},
        {"PROFILECOUNT", {{"count", "1"}}},         {"PROFILELIKEEXE", {{"0", "0"}}},
        {"PROFILENAME", {{"0", "profile1"}}},       {"PROFILESELECT", {{"select", "0"}}},
    };
    EXPECT_EQ(ReadIndexContent(KindDir(DeviceKind::Mouse) / "msProfile.ini"), ms);
    EXPECT_EQ(ReadIndexContent(KindDir(DeviceKind::Keyboard) / "kbProfile.ini"), ms);
    const IndexContent mp = {{"PROFILEDENGCOUNT", {{"count", "1"}}},
                             {"PROFILELIKEDENGEXE", {{"0", "0"}}},
                             {"PROFILEDENGNAME", {{"0", "profile1"}}},
                             {"PROFILEDENGSELECT", {{"select", "0"}}}};
    EXPECT_EQ(ReadIndexContent(KindDir(DeviceKind::Mousepad) / "mpProfile.ini"), mp);

    EXPECT_EQ(TempDir::EntriesOf(KindDir(DeviceKind::Mouse)),
              (std::vector<std::string>{"msProfile.ini", "profile1.config", "profile1.led",
                                        "profile1.pro"}));
    EXPECT_EQ(TempDir::EntriesOf(KindDir(DeviceKind::Mousepad)),
              (std::vector<std::string>{"mpProfile.ini", "profile1.led"}));
    // The payloads are the defaults' unchanged, under the kind's code.
    for (DeviceKind kind : kAllKinds)
        for (ProfileFamily family : FamiliesOf(kind)) {
            const std::string file = "profile1" + std::string(FamilySchema(kind, family).extension);
            EXPECT_EQ(ProfilePayload(kind, family, file), DefaultPayload(kind, family, 0));
            uint16_t code = 0;
            Bytes ignored(1);
            ReadProfileFile(KindDir(kind) / file, ignored, &code);
            EXPECT_EQ(code, KindCode(kind));
        }
}

TEST_F(ProfileStoreTest, ALaterStartListsTheIndexAndWritesNothing) {
    store.InitProfileKind(DeviceKind::Mouse);
    const fs::path index = KindDir(DeviceKind::Mouse) / "msProfile.ini";
    WriteBytes(index,
               "[PROFILEDENGCOUNT]\r\ncount=3\r\n[ProfileDengName]\r\n0=quiet\r\n1=LOUD\r\n"
               "[PROFILEDENGSELECT]\r\nselect=1\r\n; the third name is missing\r\n");
    const std::string before = ReadBytes(index);
    const FamilyFill fill = store.InitProfileFamily(DeviceKind::Mouse, ProfileFamily::Light);
    EXPECT_EQ(fill.result, FamilyFillResult::Listed);
    EXPECT_EQ(fill.index.names, (std::vector<std::string>{"quiet", "LOUD", "0"}));
    EXPECT_EQ(fill.index.selected, 1);
    EXPECT_EQ(ReadBytes(index), before);
}

TEST_F(ProfileStoreTest, AMissingOrBadDefaultStopsTheKindsFillWithoutWritingIt) {
    fs::remove(program / "msdengdefault.led");
    std::vector<FamilyFill> fills = store.InitProfileKind(DeviceKind::Mouse);
    ASSERT_EQ(fills.size(), 2u);  // the key family is neither listed nor created
    EXPECT_EQ(fills[0].result, FamilyFillResult::Seeded);
    EXPECT_EQ(fills[1].result, FamilyFillResult::DefaultMissing);
    EXPECT_EQ(fills[1].index.names, std::vector<std::string>{"profile1"});
    EXPECT_EQ(fills[1].index.selected, -1);
    EXPECT_EQ(TempDir::EntriesOf(KindDir(DeviceKind::Mouse)),
              (std::vector<std::string>{"msProfile.ini", "profile1.config"}));
    const IndexContent index = ReadIndexContent(KindDir(DeviceKind::Mouse) / "msProfile.ini");
    EXPECT_EQ(index.size(), 4u);
    EXPECT_FALSE(index.contains("PROFILEDENGCOUNT"));

    WriteBytes(program / "kbdevicedefault.config", "not a profile file");
    fills = store.InitProfileKind(DeviceKind::Keyboard);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].result, FamilyFillResult::DefaultBadFormat);
    EXPECT_EQ(TempDir::EntriesOf(KindDir(DeviceKind::Keyboard)), std::vector<std::string>{});
}

TEST_F(ProfileStoreTest, ADeletedIndexListsTheFilesAgainAndVariantOneUsesThe15Files) {
    store.SetKeyboardVariant(1);
    store.InitProfileKind(DeviceKind::Keyboard);
    for (ProfileFamily family : FamiliesOf(DeviceKind::Keyboard)) {
        const std::string file =
            "profile1" + std::string(FamilySchema(DeviceKind::Keyboard, family).extension);
        EXPECT_EQ(ProfilePayload(DeviceKind::Keyboard, family, file),
                  DefaultPayload(DeviceKind::Keyboard, family, 1));
    }
    FakeModel model(DeviceKind::Keyboard);
    ASSERT_EQ(store.SaveSelectedProfile(DeviceKind::Keyboard, ProfileFamily::Light, model),
              SaveResult::Saved);
    // The user's saved profile survives the loss of the index: it is listed again, not reseeded.
    const std::string saved = ReadBytes(KindDir(DeviceKind::Keyboard) / "profile1.led");
    fs::remove(KindDir(DeviceKind::Keyboard) / "kbProfile.ini");
    store.SetKeyboardVariant(0);
    for (const FamilyFill& fill : store.InitProfileKind(DeviceKind::Keyboard)) {
        EXPECT_EQ(fill.result, FamilyFillResult::Relisted);
        EXPECT_EQ(fill.index.names, std::vector<std::string>{"profile1"});
        EXPECT_EQ(fill.index.selected, 0);
    }
    EXPECT_EQ(ReadBytes(KindDir(DeviceKind::Keyboard) / "profile1.led"), saved);
    EXPECT_EQ(ProfilePayload(DeviceKind::Keyboard, ProfileFamily::Light, "profile1.led"),
              model.payloads[ProfileFamily::Light]);
}

TEST_F(ProfileStoreTest, LoadHandsThePayloadToTheModelOrLeavesTheModelAlone) {
    store.InitProfileKind(DeviceKind::Mouse);
    FakeModel model(DeviceKind::Mouse);
    ASSERT_EQ(store.LoadProfile(DeviceKind::Mouse, ProfileFamily::Device, 0, model),
              ProfileReadResult::Ok);
    EXPECT_EQ(model.payloads[ProfileFamily::Device],
              DefaultPayload(DeviceKind::Mouse, ProfileFamily::Device, 0));

    // A file of another kind, and shorter than its payload: loads, the tail reads as zeros.
    const fs::path led = KindDir(DeviceKind::Mouse) / "profile1.led";
    ASSERT_TRUE(WriteProfileFile(led, Pattern(20, 9), KindCode(DeviceKind::Keyboard)));
    ASSERT_EQ(store.LoadProfile(DeviceKind::Mouse, ProfileFamily::Light, 0, model),
              ProfileReadResult::Ok);
    Bytes expected = Pattern(20, 9);
    expected.resize(64, 0);
    EXPECT_EQ(model.payloads[ProfileFamily::Light], expected);

    // A wrong magic, a missing file, an index past the list: the model keeps its values.
    const FakeModel before = model;
    const int loads = model.loads;
    WriteBytes(led, "\x55\xAA" + std::string(78, '\x01'));
    {
        LogCapture log;
        EXPECT_EQ(store.LoadProfile(DeviceKind::Mouse, ProfileFamily::Light, 0, model),
                  ProfileReadResult::BadFormat);
        EXPECT_TRUE(log.Contains("配置文件格式错误"));
    }
    fs::remove(KindDir(DeviceKind::Mouse) / "profile1.pro");
    {
        LogCapture log;
        EXPECT_EQ(store.LoadProfile(DeviceKind::Mouse, ProfileFamily::Key, 0, model),
                  ProfileReadResult::Missing);
        EXPECT_EQ(store.LoadProfile(DeviceKind::Mouse, ProfileFamily::Device, 1, model),
                  ProfileReadResult::Missing);
        EXPECT_EQ(store.LoadProfile(DeviceKind::Mouse, ProfileFamily::Device, -1, model),
                  ProfileReadResult::Missing);
        EXPECT_TRUE(log.Contains("配置文件丢失"));
    }
    EXPECT_EQ(model.loads, loads);
    EXPECT_EQ(model.payloads, before.payloads);
}

TEST_F(ProfileStoreTest, FileNamesMatchWithoutRegardToCase) {
    store.InitProfileKind(DeviceKind::Mouse);
    const fs::path dir = KindDir(DeviceKind::Mouse);
    // The key profile's file spelled ".PRO", the index spelled in other case too.
    for (const auto& [from, to] :
         {std::pair{"profile1.pro", "Profile1.PRO"}, std::pair{"msProfile.ini", "MSPROFILE.INI"}}) {
        const std::string content = ReadBytes(dir / from);
        fs::remove(dir / from);
        WriteBytes(dir / to, content);
    }
    FakeModel model(DeviceKind::Mouse);
    ASSERT_EQ(store.LoadProfile(DeviceKind::Mouse, ProfileFamily::Key, 0, model),
              ProfileReadResult::Ok);
    EXPECT_EQ(model.payloads[ProfileFamily::Key],
              DefaultPayload(DeviceKind::Mouse, ProfileFamily::Key, 0));
    model.payloads[ProfileFamily::Key] = Pattern(512, 0x77);
    ASSERT_EQ(store.SaveSelectedProfile(DeviceKind::Mouse, ProfileFamily::Key, model),
              SaveResult::Saved);
    EXPECT_EQ(TempDir::EntriesOf(dir),
              (std::vector<std::string>{"MSPROFILE.INI", "Profile1.PRO", "profile1.config",
                                        "profile1.led"}));
    EXPECT_EQ(ProfilePayload(DeviceKind::Mouse, ProfileFamily::Key, "Profile1.PRO"),
              Pattern(512, 0x77));

    // A shipped default spelled with other case is found too.
    const std::string shipped = ReadBytes(program / "mpdengdefault.led");
    fs::remove(program / "mpdengdefault.led");
    WriteBytes(program / "MPDENGDEFAULT.Led", shipped);
    Bytes payload(64, 0);
    EXPECT_EQ(store.ReadDefault(DeviceKind::Mousepad, ProfileFamily::Light, payload),
              ProfileReadResult::Ok);
}

TEST_F(ProfileStoreTest, SaveWritesTheStoredSelectionOnlyWhenItNamesAListedProfile) {
    store.InitProfileKind(DeviceKind::Mouse);
    ASSERT_TRUE(store.AddProfile(DeviceKind::Mouse, ProfileFamily::Light, "game").ok());
    ASSERT_TRUE(store.SetSelection(DeviceKind::Mouse, ProfileFamily::Light, 1));
    FakeModel model(DeviceKind::Mouse);
    model.payloads[ProfileFamily::Light] = Pattern(64, 0x33);
    ASSERT_EQ(store.SaveSelectedProfile(DeviceKind::Mouse, ProfileFamily::Light, model),
              SaveResult::Saved);
    EXPECT_EQ(ProfilePayload(DeviceKind::Mouse, ProfileFamily::Light, "game.led"),
              Pattern(64, 0x33));
    EXPECT_EQ(ProfilePayload(DeviceKind::Mouse, ProfileFamily::Light, "profile1.led"),
              DefaultPayload(DeviceKind::Mouse, ProfileFamily::Light, 0));

    // A selection past the list (a deleted profile's name may still be in the index).
    const fs::path index = store.IndexPath(DeviceKind::Mouse);
    ASSERT_TRUE(WriteIniString(index, "PROFILEDENGCOUNT", "count", "1"));
    const std::string gameBefore = ReadBytes(KindDir(DeviceKind::Mouse) / "game.led");
    model.payloads[ProfileFamily::Light] = Pattern(64, 0x55);
    EXPECT_EQ(store.SaveSelectedProfile(DeviceKind::Mouse, ProfileFamily::Light, model),
              SaveResult::NoSelection);
    EXPECT_EQ(ReadBytes(KindDir(DeviceKind::Mouse) / "game.led"), gameBefore);

    // A model that builds the wrong size writes nothing.
    ASSERT_TRUE(store.SetSelection(DeviceKind::Mouse, ProfileFamily::Light, 0));
    const std::string profile1Before = ReadBytes(KindDir(DeviceKind::Mouse) / "profile1.led");
    model.payloads[ProfileFamily::Light] = Pattern(63, 0x55);
    EXPECT_EQ(store.SaveSelectedProfile(DeviceKind::Mouse, ProfileFamily::Light, model),
              SaveResult::WriteFailed);
    EXPECT_EQ(ReadBytes(KindDir(DeviceKind::Mouse) / "profile1.led"), profile1Before);
}

TEST_F(ProfileStoreTest, BadOrTakenNamesAreRefusedAndNothingIsWritten) {
    store.InitProfileKind(DeviceKind::Mouse);
    const auto snapshot = [&] {
        std::vector<std::string> all = TempDir::EntriesOf(data.path());
        for (const std::string& e : TempDir::EntriesOf(KindDir(DeviceKind::Mouse)))
            all.push_back("ms/" + e + ":" + ReadBytes(KindDir(DeviceKind::Mouse) / e));
        return all;
    };
    const std::vector<std::string> before = snapshot();
    for (const std::string& name :
         {std::string("../x"), std::string("a/b"), std::string("a\\b"), std::string(""),
          std::string(300, 'n'), std::string(".."), std::string("CON"), std::string("nul.txt"),
          std::string("a:b"), std::string("tab\there"), std::string(" padded")}) {
        const ProfileResult r = store.AddProfile(DeviceKind::Mouse, ProfileFamily::Device, name);
        if (name.empty()) {
            EXPECT_EQ(r.error, ProfileError::EmptyName);
            continue;
        }
        EXPECT_EQ(r.error, ProfileError::BadName) << name;
        EXPECT_NE(r.nameCheck, NameCheck::Ok);
    }
    const ProfileResult taken =
        store.AddProfile(DeviceKind::Mouse, ProfileFamily::Device, "PROFILE1");
    EXPECT_EQ(taken.error, ProfileError::NameTaken);
    EXPECT_EQ(taken.textId, "message_text_15");
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(fs::exists(data.path() / "x.config"));

    // An index holding a bad name reads as missing and is never written through.
    ASSERT_TRUE(
        WriteIniString(store.IndexPath(DeviceKind::Mouse), "PROFILENAME", "0", "../escape"));
    FakeModel model(DeviceKind::Mouse);
    EXPECT_EQ(store.LoadProfile(DeviceKind::Mouse, ProfileFamily::Key, 0, model),
              ProfileReadResult::Missing);
    EXPECT_EQ(store.SaveSelectedProfile(DeviceKind::Mouse, ProfileFamily::Key, model),
              SaveResult::BadName);
    EXPECT_FALSE(fs::exists(data.path() / "escape.pro"));
}

TEST_F(ProfileStoreTest, AddAppendsAProfileFromTheDefaultAndSelectsIt) {
    store.InitProfileKind(DeviceKind::Keyboard);
    ASSERT_TRUE(store
                    .LinkProfile(DeviceKind::Keyboard, ProfileFamily::Key, ProfileTarget::At(0),
                                 "C:\\game.exe")
                    .ok());
    const ProfileResult added =
        store.AddProfile(DeviceKind::Keyboard, ProfileFamily::Device, "Späť");
    ASSERT_TRUE(added.ok());
    EXPECT_EQ(added.index, 1);
    const FamilyIndex index = store.ReadIndex(DeviceKind::Keyboard, ProfileFamily::Device);
    EXPECT_EQ(index.names, (std::vector<std::string>{"profile1", "Späť"}));
    EXPECT_EQ(index.selected, 1);
    EXPECT_EQ(ProfilePayload(DeviceKind::Keyboard, ProfileFamily::Device, "Späť.config"),
              DefaultPayload(DeviceKind::Keyboard, ProfileFamily::Device, 0));
    EXPECT_FALSE(store.Link(DeviceKind::Keyboard, ProfileFamily::Device, 1).linked);
    // The keyboard's device and key families share their link paths in "PROCESS".
    EXPECT_EQ(store.Link(DeviceKind::Keyboard, ProfileFamily::Device, 0).programPath,
              "C:\\game.exe");
    EXPECT_TRUE(store.Link(DeviceKind::Keyboard, ProfileFamily::Key, 0).linked);

    fs::remove(program / "kbdevicedefault.config");
    const ProfileResult missing =
        store.AddProfile(DeviceKind::Keyboard, ProfileFamily::Device, "other");
    EXPECT_EQ(missing.error, ProfileError::SourceMissing);
    EXPECT_EQ(missing.textId, "message_text_8");
    EXPECT_EQ(store.ReadIndex(DeviceKind::Keyboard, ProfileFamily::Device).names.size(), 2u);
    EXPECT_FALSE(fs::exists(KindDir(DeviceKind::Keyboard) / "other.config"));
}

TEST(DataFolder, ExplicitThenEnvironmentThenDocuments) {
    struct Documents : DocumentsFolderSource {
        std::optional<fs::path> DocumentsFolder() override { return folder; }
        std::optional<fs::path> folder;
    } documents;
    documents.folder = fs::path("/home/u/Documents");
    EXPECT_EQ(ResolveDataFolder(fs::path("/d"), "/env", &documents), fs::path("/d"));
    EXPECT_EQ(ResolveDataFolder(std::nullopt, "/env", &documents), fs::path("/env"));
    EXPECT_EQ(ResolveDataFolder(fs::path(), "", &documents),
              fs::path("/home/u/Documents/Varnhold Quillet"));
    documents.folder.reset();
    EXPECT_EQ(ResolveDataFolder(std::nullopt, nullptr, &documents), std::nullopt);
    EXPECT_EQ(ResolveDataFolder(std::nullopt, nullptr, nullptr), std::nullopt);
}

}  // namespace
}  // namespace vq::test
