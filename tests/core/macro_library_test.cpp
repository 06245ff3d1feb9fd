// The macro library's operations: add, rename, delete with the key repair, import, export and
// the first-run fill, on a real folder.

#include <gtest/gtest.h>

#include <map>

#include "core/keyboard/keyboard_model.h"
#include "core/macro/macro_library_ops.h"
#include "core/mouse/mouse_model.h"
#include "core/profile/profile_store.h"
#include "core/util/atomic_file.h"
#include "core/util/ini_file.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;

MacroAction Press(uint16_t delay, uint8_t code, std::string label) {
    MacroAction a;
    a.SetDelayMs(delay);
    a.type = 0x8A;
    a.code = code;
    a.down = 1;
    a.label = std::move(label);
    return a;
}

class MacroLibraryOps : public ::testing::Test {
  protected:
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::directory_iterator(dir.path()))
            files[Utf8FromPath(e.path().filename())] = ReadBytes(e.path());
        return files;
    }
    void Names(std::vector<std::string> names) {
        ASSERT_EQ(library.WriteNames(names), MacroResult::Ok);
    }

    TempDir dir;
    MacroLibrary library{DeviceKind::Mouse, dir.path()};
};

TEST_F(MacroLibraryOps, AddNamesFromTheCountUpSkippingTakenNamesWithoutRegardToCase) {
    Names({"name_1", "name_3"});
    MacroOutcome added = AddMacro(library);
    ASSERT_TRUE(added.Ok()) << added.detail;
    EXPECT_EQ(added.name, "name_4");
    EXPECT_EQ(added.index, 2);
    EXPECT_EQ(library.ReadNames(), (std::vector<std::string>{"name_1", "name_3", "name_4"}));
    // Only the index is written; the file comes with the first save.
    EXPECT_FALSE(fs::exists(dir / "name_4.mac"));

    Names({"NAME_3", "x"});
    EXPECT_EQ(AddMacro(library).name, "name_4");
    // A spare file of a name is never taken for a new macro's content.
    WriteBytes(dir / "name_5.mac", "[MACROACTIONCOUNT]\r\ncount=0\r\n");
    EXPECT_EQ(AddMacro(library).name, "name_6");
}

TEST_F(MacroLibraryOps, AddRefusesTheFiftyFirstMacroTakenAndBadNamesWithoutWriting) {
    std::vector<std::string> fifty;
    for (int i = 0; i < kMaxMacros; ++i)
        fifty.push_back("m" + std::to_string(i));
    Names(fifty);
    auto before = Snapshot();
    MacroOutcome refused = AddMacro(library);
    EXPECT_EQ(refused.result, MacroResult::TooMany);
    EXPECT_EQ(refused.textId, "message_text_17");
    EXPECT_EQ(refused.textArg, 50);
    EXPECT_EQ(AddMacro(library, "fresh").result, MacroResult::TooMany);
    EXPECT_EQ(Snapshot(), before);

    Names({"Jump"});
    before = Snapshot();
    refused = AddMacro(library, "JUMP");
    EXPECT_EQ(refused.result, MacroResult::DuplicateName);
    EXPECT_EQ(refused.textId, "message_text_5");
    for (const std::string& bad :
         {std::string("../x"), std::string(".."), std::string("a/b"), std::string("a\\b"),
          std::string(300, 'n'), std::string(""), std::string("con")}) {
        refused = AddMacro(library, bad);
        EXPECT_EQ(refused.result, MacroResult::BadName) << bad;
        EXPECT_FALSE(refused.detail.empty());
        EXPECT_LT(refused.detail.size(), 200u);  // a long name is shown cut
    }
    // An explicit name whose spare file exists would adopt that file: refused.
    WriteBytes(dir / "Spare.mac", "[MACROACTIONCOUNT]\r\ncount=0\r\n");
    before = Snapshot();
    EXPECT_EQ(AddMacro(library, "spare").result, MacroResult::Exists);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(AddMacro(library, "Combo").Ok());
    EXPECT_EQ(library.ReadNames(), (std::vector<std::string>{"Jump", "Combo"}));
}

TEST_F(MacroLibraryOps, RenameMovesFileAndIndexTogetherAndRefusesCollisions) {
    Names({"a", "b", "c"});
    const std::vector<MacroAction> actions = {Press(10, 4, "keyboard_key_A")};
    ASSERT_EQ(library.WriteMacro("a", actions), MacroResult::Ok);
    ASSERT_EQ(library.WriteMacro("b", actions), MacroResult::Ok);

    auto before = Snapshot();
    MacroOutcome r = RenameMacro(library, "a", "B");
    EXPECT_EQ(r.result, MacroResult::DuplicateName);
    EXPECT_EQ(r.textId, "message_text_5");
    EXPECT_EQ(RenameMacro(library, "a", "../a").result, MacroResult::BadName);
    EXPECT_EQ(RenameMacro(library, "a", std::string(300, 'x')).result, MacroResult::BadName);
    EXPECT_EQ(RenameMacro(library, "nothing", "x").result, MacroResult::NoSuchMacro);
    EXPECT_EQ(Snapshot(), before);

    r = RenameMacro(library, "A", "spray");
    ASSERT_TRUE(r.Ok()) << r.detail;
    EXPECT_EQ(r.index, 0);
    EXPECT_EQ(library.ReadNames(), (std::vector<std::string>{"spray", "b", "c"}));
    EXPECT_EQ(library.ReadMacro("spray"), actions);
    EXPECT_EQ(ReadIniString(dir / "spray.mac", "MACROSELECTNAME", "name", ""), "spray");
    EXPECT_FALSE(fs::exists(dir / "a.mac"));

    // A change of case is a rename; the file follows where the file system tells case apart.
    r = RenameMacro(library, "spray", "Spray");
    ASSERT_TRUE(r.Ok()) << r.detail;
    EXPECT_EQ(library.ReadNames()[0], "Spray");
    EXPECT_EQ(library.ReadMacro("Spray"), actions);
    if (dir.KeepsCaseApart()) {
        EXPECT_TRUE(fs::exists(dir / "Spray.mac"));
    }
    // The very same name is nothing to do; a macro never saved is renamed in the index only.
    before = Snapshot();
    EXPECT_TRUE(RenameMacro(library, "Spray", "Spray").Ok());
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(RenameMacro(library, "c", "d").Ok());
    EXPECT_EQ(library.ReadNames(), (std::vector<std::string>{"Spray", "b", "d"}));
}

TEST_F(MacroLibraryOps, ARenameWhoseIndexWriteFailsLeavesTheOldStateOnDisk) {
    Names({"a", "b"});
    const std::vector<MacroAction> actions = {Press(10, 4, "keyboard_key_A")};
    ASSERT_EQ(library.WriteMacro("a", actions), MacroResult::Ok);
    const auto before = Snapshot();
    SetAtomicWriteFaultHook([](AtomicWriteStep step, const fs::path& target) {
        return !(step == AtomicWriteStep::Rename && target.filename() == "msMacro.ini");
    });
    const MacroOutcome r = RenameMacro(library, "a", "z");
    SetAtomicWriteFaultHook({});
    EXPECT_EQ(r.result, MacroResult::WriteFailed);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(library.ReadMacro("a"), actions);
}

TEST_F(MacroLibraryOps, DeleteRemovesTheIndexEntryAndTheFile) {
    Names({"a", "b", "c"});
    ASSERT_EQ(library.WriteMacro("b", std::vector<MacroAction>{Press(1, 5, "keyboard_key_B")}),
              MacroResult::Ok);
    MacroOutcome r = DeleteMacro(library, "B");
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.index, 1);
    EXPECT_EQ(library.ReadNames(), (std::vector<std::string>{"a", "c"}));
    EXPECT_FALSE(fs::exists(dir / "b.mac"));
    EXPECT_EQ(DeleteMacro(library, "b").result, MacroResult::NoSuchMacro);
}

// Four macros; layer 0 plays macro 1 on button 3, macro 2 (counted) on button 4, macro 3 on
// button 5; layer 2 plays macro 2 on button 0. Deleting macro 2 (index 1) ...
class MacroDeleteRepair : public MacroLibraryOps {
  protected:
    MacroDeleteRepair() {
        Names({"m1", "m2", "m3", "m4"});
        MouseKeyLayer factory{};
        for (int b = 0; b < 8; ++b)
            KeyAssignment{0x10, static_cast<uint8_t>(b + 1), 0}.StoreAt(factory, b);
        model.SetFactoryBlock(factory);
        for (int l = 0; l < kMouseSlots; ++l)
            model.SetKeyLayer(l, factory);
        model.SetButtonAssignment(0, 3, {0x70, 0, 1});
        model.SetButtonAssignment(0, 4, {0x71, 1, 7});
        model.SetButtonAssignment(0, 5, {0x70, 2, 0});
        model.SetButtonAssignment(2, 0, {0x70, 1, 3});
        // Past the eight buttons: not a button, left alone.
        model.SetButtonAssignment(0, 9, {0x70, 3, 0});
    }
    std::vector<MouseKeyLayer> Layers() const {
        std::vector<MouseKeyLayer> layers;
        for (int l = 0; l < kMouseSlots; ++l)
            layers.push_back(*model.KeyLayer(l));
        return layers;
    }

    MouseModel model;
    std::vector<std::string> asked;
};

TEST_F(MacroDeleteRepair, ConfirmedRenumbersLaterMacrosAndRestoresTheDeletedOnesButtons) {
    EXPECT_TRUE(MouseMacroInUse(model, 1));
    EXPECT_FALSE(MouseMacroInUse(model, 3));  // only on a record past the buttons
    KeyRepairCount count;
    const MacroOutcome r = DeleteMacroAsked(
        library, "m2", MouseMacroKeyLayers(model), false,
        [&](std::string_view id) {
            asked.emplace_back(id);
            return true;
        },
        &count);
    ASSERT_TRUE(r.Ok()) << r.detail;
    EXPECT_EQ(asked, (std::vector<std::string>{"message_text_2", "message_text_4"}));
    EXPECT_EQ(library.ReadNames(), (std::vector<std::string>{"m1", "m3", "m4"}));
    EXPECT_EQ(model.ButtonAssignment(0, 3), (KeyAssignment{0x70, 0, 1}));  // before: unchanged
    EXPECT_EQ(model.ButtonAssignment(0, 4), (KeyAssignment{0x10, 5, 0}));  // restored
    EXPECT_EQ(model.ButtonAssignment(0, 5), (KeyAssignment{0x70, 1, 0}));  // m3, now index 1
    EXPECT_EQ(model.ButtonAssignment(2, 0), (KeyAssignment{0x10, 1, 0}));  // restored
    EXPECT_EQ(model.ButtonAssignment(0, 9), (KeyAssignment{0x70, 3, 0}));
    EXPECT_EQ(count.restored, 2);
    EXPECT_EQ(count.renumbered, 1);
}

TEST_F(MacroDeleteRepair, ADeclinedQuestionOrAnOpenEditLeavesLibraryAndButtonsAlone) {
    const auto layers = Layers();
    const auto files = Snapshot();
    // Declining the second question: the first was confirmed, yet nothing is repaired.
    MacroOutcome r = DeleteMacroAsked(library, "m2", MouseMacroKeyLayers(model), false,
                                      [&](std::string_view id) {
                                          asked.emplace_back(id);
                                          return id == "message_text_2";
                                      });
    EXPECT_EQ(r.result, MacroResult::Cancelled);
    EXPECT_EQ(asked, (std::vector<std::string>{"message_text_2", "message_text_4"}));
    EXPECT_EQ(Layers(), layers);
    EXPECT_EQ(Snapshot(), files);
    // Declining the first.
    asked.clear();
    r = DeleteMacroAsked(library, "m2", MouseMacroKeyLayers(model), false,
                         [&](std::string_view id) {
                             asked.emplace_back(id);
                             return false;
                         });
    EXPECT_EQ(asked, std::vector<std::string>{"message_text_2"});
    // An open edit: refused with its message after the first question.
    r = DeleteMacroAsked(library, "m2", MouseMacroKeyLayers(model), true,
                         [](std::string_view) { return true; });
    EXPECT_EQ(r.result, MacroResult::Cancelled);
    EXPECT_EQ(r.textId, "message_text_3");
    EXPECT_EQ(Layers(), layers);
    EXPECT_EQ(Snapshot(), files);
    // A macro no button plays is asked about once.
    asked.clear();
    r = DeleteMacroAsked(library, "m4", MouseMacroKeyLayers(model), false,
                         [&](std::string_view id) {
                             asked.emplace_back(id);
                             return true;
                         });
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(asked, std::vector<std::string>{"message_text_4"});
    EXPECT_EQ(Layers(), layers);
}

TEST(MacroKeyRepair, TheKeyboardRepairsEveryKeyOfEveryLayer) {
    KeyboardModel model;
    KeyboardKeyLayer factory{};
    KeyAssignment{0x20, 0, 0x04}.StoreAt(factory, 100);
    model.SetFactoryBlock(factory);
    KeyboardKeyLayer layer{};
    KeyAssignment{0x70, 0, 0}.StoreAt(layer, 100);
    KeyAssignment{0x71, 5, 2}.StoreAt(layer, 169);
    model.SetKeyLayer(4, layer);
    EXPECT_TRUE(KeyboardMacroInUse(model, 0));
    const KeyRepairCount count = RepairKeyboardKeysAfterDelete(model, 0);
    EXPECT_EQ(model.KeyAt(4, 100), (KeyAssignment{0x20, 0, 0x04}));
    EXPECT_EQ(model.KeyAt(4, 169), (KeyAssignment{0x71, 4, 2}));
    EXPECT_EQ(count.restored + count.renumbered, 2);
}

TEST_F(MacroLibraryOps, ImportTakesAMacroFileByteForByteAndRefusesAnythingElse) {
    Names({"name_1"});
    TempDir outside;
    const std::string good =
        "; made elsewhere\r\n[MACROACTIONCOUNT]\r\ncount=2\r\n[MACROSELECTNAME]\r\nname=theirs\r\n"
        "[MACROACTION]\r\n0=10,0,138,4,1,keyboard_key_A\r\n1=0,0,10,4,0,keyboard_key_A\r\n";
    WriteBytes(outside / "good.mac", good);
    MacroOutcome r = ImportMacro(library, outside / "good.mac");
    ASSERT_TRUE(r.Ok()) << r.detail;
    EXPECT_EQ(r.name, "name_2");
    EXPECT_EQ(r.index, 1);
    EXPECT_EQ(ReadBytes(dir / "name_2.mac"), good);
    EXPECT_EQ(library.ReadMacro("name_2").size(), 2u);

    const auto before = Snapshot();
    const std::map<std::string, std::string> bad = {
        {"picture.mac", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
        {"notes.mac", "[NOTES]\r\ncount=2\r\n"},
        {"nocount.mac", "[MACROACTIONCOUNT]\r\n[MACROACTION]\r\n0=1,0,1,1,1,x\r\n"},
        {"negative.mac", "[MACROACTIONCOUNT]\r\ncount=-1\r\n"},
        {"short.mac", "[MACROACTIONCOUNT]\r\ncount=3\r\n[MACROACTION]\r\n0=1,0,1,1,1,x\r\n"},
        {"broken.mac", "[MACROACTIONCOUNT]\r\ncount=1\r\n[MACROACTION]\r\n0=1,0,1,x\r\n"},
        {"huge.mac", "[MACROACTIONCOUNT]\r\ncount=99999\r\n"},
    };
    for (const auto& [name, content] : bad) {
        WriteBytes(outside / name, content);
        r = ImportMacro(library, outside / name);
        EXPECT_EQ(r.result, MacroResult::NotMacroFile) << name;
        EXPECT_NE(r.detail.find(name), std::string::npos);
    }
    EXPECT_EQ(ImportMacro(library, outside / "absent.mac").result, MacroResult::ReadFailed);
    EXPECT_EQ(ImportMacro(library, outside.path()).result, MacroResult::ReadFailed);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(MacroLibraryOps, ImportIntoAFullLibraryCopiesNothing) {
    std::vector<std::string> fifty;
    for (int i = 0; i < kMaxMacros; ++i)
        fifty.push_back("m" + std::to_string(i));
    Names(fifty);
    TempDir outside;
    WriteBytes(outside / "x.mac", "[MACROACTIONCOUNT]\r\ncount=0\r\n");
    const auto before = Snapshot();
    const MacroOutcome r = ImportMacro(library, outside / "x.mac");
    EXPECT_EQ(r.textId, "message_text_17");
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(MacroLibraryOps, ExportNeverReplacesAFileUnlessToldAndAnUnsavedMacroExportsEmpty) {
    Names({"saved", "fresh"});
    const std::vector<MacroAction> actions = {Press(10, 4, "keyboard_key_A")};
    ASSERT_EQ(library.WriteMacro("saved", actions), MacroResult::Ok);
    TempDir outside;
    ASSERT_TRUE(ExportMacro(library, "SAVED", outside / "out.mac", ExportMode::KeepExisting).Ok());
    EXPECT_EQ(ReadBytes(outside / "out.mac"), ReadBytes(dir / "saved.mac"));

    WriteBytes(outside / "keep.mac", "the user's own file");
    MacroOutcome r = ExportMacro(library, "saved", outside / "keep.mac", ExportMode::KeepExisting);
    EXPECT_EQ(r.result, MacroResult::Exists);
    EXPECT_EQ(ReadBytes(outside / "keep.mac"), "the user's own file");
    ASSERT_TRUE(ExportMacro(library, "saved", outside / "keep.mac", ExportMode::Replace).Ok());
    EXPECT_EQ(ReadBytes(outside / "keep.mac"), ReadBytes(dir / "saved.mac"));

    // Never saved: an empty macro file, which imports back as an empty macro.
    ASSERT_TRUE(
        ExportMacro(library, "fresh", outside / "fresh.mac", ExportMode::KeepExisting).Ok());
    r = ImportMacro(library, outside / "fresh.mac");
    ASSERT_TRUE(r.Ok()) << r.detail;
    EXPECT_TRUE(library.ReadMacro(r.name).empty());
    EXPECT_EQ(ExportMacro(library, "none", outside / "n.mac", ExportMode::Replace).result,
              MacroResult::NoSuchMacro);
    EXPECT_FALSE(fs::exists(outside / "n.mac"));
}

TEST(MacroLibraryFill, TheMouseSeedsItsScriptsAndTheKeyboardWritesNothing) {
    TempDir program, data;
    for (int i = 1; i <= 4; ++i)
        WriteBytes(program / ("name_" + std::to_string(i) + ".cur"),
                   "[MACROACTIONCOUNT]\r\ncount=0\r\n");
    fs::create_directories(data / "ms");
    fs::create_directories(data / "kb");
    MacroLibraryFill fill = SeedMacroLibrary(DeviceKind::Mouse, data / "ms", program.path());
    EXPECT_TRUE(fill.ok);
    EXPECT_TRUE(fill.names.empty());
    EXPECT_EQ(fill.cursorNames.size(), 4u);
    EXPECT_EQ(TempDir::EntriesOf(data / "ms").size(), 5u);
    fill = SeedMacroLibrary(DeviceKind::Keyboard, data / "kb", program.path());
    EXPECT_TRUE(fill.ok);
    EXPECT_TRUE(fill.cursorNames.empty());
    EXPECT_TRUE(TempDir::EntriesOf(data / "kb").empty());
}

TEST(MacroProfileRepair, StoredKeyLayersFollowADeletion) {
    TempDir program, data;
    for (ProfileFamily family : FamiliesOf(DeviceKind::Mouse))
        ASSERT_TRUE(WriteProfileFile(program / DefaultFileName(DeviceKind::Mouse, family, 0),
                                     std::vector<uint8_t>(PayloadSize(DeviceKind::Mouse, family)),
                                     KindCode(DeviceKind::Mouse)));
    ProfileStore store(data.path(), program.path());
    store.InitProfileKind(DeviceKind::Mouse);
    ASSERT_TRUE(store.AddProfile(DeviceKind::Mouse, ProfileFamily::Key, "second").ok());
    const fs::path key = *store.ProfilePath(DeviceKind::Mouse, ProfileFamily::Key, "second");
    std::vector<uint8_t> payload(512);
    KeyAssignment{0x70, 3, 0}.StoreAt(payload, 1);
    KeyAssignment{0x70, 2, 0}.StoreAt(payload, 2);
    ASSERT_TRUE(WriteProfileFile(key, payload, KindCode(DeviceKind::Mouse)));

    EXPECT_EQ(ProfilesPlayingMacro(store, DeviceKind::Mouse, 2),
              std::vector<std::string>{"second"});
    EXPECT_TRUE(ProfilesPlayingMacro(store, DeviceKind::Mouse, 0).empty());
    KeyLayerImage factory{};
    KeyAssignment{0x10, 4, 0}.StoreAt(factory, 2);
    KeyRepairCount count;
    ASSERT_TRUE(RepairProfilesAfterDelete(store, DeviceKind::Mouse, 2, factory, &count));
    ASSERT_EQ(ReadProfileFile(key, payload), ProfileReadResult::Ok);
    EXPECT_EQ(KeyAssignment::At(payload, 1), (KeyAssignment{0x70, 2, 0}));
    EXPECT_EQ(KeyAssignment::At(payload, 2), (KeyAssignment{0x10, 4, 0}));
    EXPECT_EQ(count.restored, 1);
    EXPECT_EQ(count.renumbered, 1);
}

}  // namespace
}  // namespace vq::test
