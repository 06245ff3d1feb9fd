// The mouse's cursor scripts: the shipped seeds, the bullet editor, import, export, reset, the
// image and the script page's send.

#include <gtest/gtest.h>

#include "core/macro/cursor_scripts.h"
#include "core/util/ini_file.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;
const fs::path kProgramDir = VQ_PROGRAM_DIR;

class CursorScriptFiles : public ::testing::Test {
  protected:
    CursorScriptFiles() {
        EXPECT_TRUE(MacroLibrary(DeviceKind::Mouse, dir.path()).SeedCursorScripts(kProgramDir));
    }
    // Every record of a script file as text, in key order.
    std::vector<std::string> RecordTexts(int slot) const {
        std::vector<std::string> texts;
        for (const auto& r : ReadActionRecords(*scripts.ScriptPath(slot)))
            texts.push_back(r ? FormatMacroAction(*r) : "(none)");
        return texts;
    }

    TempDir dir;
    CursorScripts scripts{dir.path(), kProgramDir};
};

TEST_F(CursorScriptFiles, TheShippedScriptsAreThirtyBulletsOfSixActionsAndFitTheImage) {
    const auto all = scripts.ReadAll();
    ASSERT_EQ(all.size(), 4u);
    for (const auto& script : all)
        EXPECT_EQ(script.size(), 180u);
    const std::optional<std::vector<uint8_t>> image = BuildScriptImage(all);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), 2920u);  // 16 + 4 × 6 + 4 × 4 × 180
    // Every bullet has a delay and both corrections.
    for (int slot = 0; slot < kCursorSlots; ++slot)
        for (int b = 0; b < kBulletsPerScript; ++b) {
            const Bullet bullet = scripts.LoadBullet(slot, b);
            EXPECT_TRUE(bullet.delayMs && bullet.dx && bullet.dy) << slot << "/" << b;
        }
    EXPECT_EQ(scripts.Path(0).size(), 30u);
}

TEST_F(CursorScriptFiles, SavingABulletRewritesItsThreeRecordsOnly) {
    const std::vector<std::string> before = RecordTexts(2);
    const Bullet old = scripts.LoadBullet(2, 7);
    // Checking "left" keeps the distance and turns the correction to the left.
    ASSERT_TRUE(scripts.SaveBullet(2, 7, {*old.delayMs, *old.dx, true, *old.dy, old.up}).Ok());
    Bullet now = scripts.LoadBullet(2, 7);
    EXPECT_TRUE(now.left);
    EXPECT_EQ(now.dx, old.dx);
    EXPECT_EQ(now.delayMs, old.delayMs);

    ASSERT_TRUE(scripts.SaveBullet(2, 7, {70000, 300, false, 12, true}).Ok());
    now = scripts.LoadBullet(2, 7);
    EXPECT_EQ(now.delayMs, 65535);
    EXPECT_EQ(now.dx, 255);
    EXPECT_FALSE(now.left);
    EXPECT_EQ(now.dy, 12);
    EXPECT_TRUE(now.up);

    const std::vector<std::string> after = RecordTexts(2);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        if (i >= 45 && i <= 47) continue;
        EXPECT_EQ(after[i], before[i]) << i;
    }
    // The delay action keeps its kind and label; the moves are plain moves.
    const auto delayRecord = *ParseMacroAction(after[45]);
    const auto oldDelay = *ParseMacroAction(before[45]);
    EXPECT_EQ(delayRecord.type, oldDelay.type);
    EXPECT_EQ(delayRecord.label, oldDelay.label);
    EXPECT_EQ(after[46], "0,0,4,255,0,mouse_move_to_right_text");
    EXPECT_EQ(after[47], "0,0,133,12,1,mouse_move_to_up_text");
}

TEST_F(CursorScriptFiles, ABulletTheScriptDoesNotReachIsNotEditable) {
    TempDir outside;
    WriteBytes(outside / "short.cur",
               "[MACROACTIONCOUNT]\r\ncount=6\r\n[MACROACTION]\r\n"
               "0=1,0,129,1,1,a\r\n1=0,0,1,1,0,a\r\n2=0,0,4,0,0,b\r\n3=40,0,5,0,0,c\r\n"
               "4=0,0,132,3,1,d\r\n5=0,0,5,4,0,e\r\n");
    ASSERT_TRUE(scripts.Import(1, outside / "short.cur").Ok());
    EXPECT_EQ(scripts.LoadBullet(1, 0).dx, 3);
    const Bullet missing = scripts.LoadBullet(1, 1);
    EXPECT_FALSE(missing.delayMs || missing.dx || missing.dy);
    const std::string before = ReadBytes(*scripts.ScriptPath(1));
    EXPECT_FALSE(scripts.SaveBullet(1, 1, {10, 1, false, 1, false}).Ok());
    EXPECT_FALSE(scripts.SaveBullet(1, 30, {10, 1, false, 1, false}).Ok());
    EXPECT_FALSE(scripts.SaveBullet(4, 0, {10, 1, false, 1, false}).Ok());
    EXPECT_EQ(ReadBytes(*scripts.ScriptPath(1)), before);
    EXPECT_EQ(scripts.Path(1), (std::vector<ScriptPoint>{{-3, 4}}));
    // All bullets at once are the bullets one by one: the first, and 29 empty ones.
    const std::vector<Bullet> all = scripts.LoadBullets(1);
    ASSERT_EQ(all.size(), static_cast<size_t>(kBulletsPerScript));
    EXPECT_EQ(all[0].dx, 3);
    EXPECT_TRUE(all[0].left);
    EXPECT_EQ(all[0].dy, 4);
    EXPECT_FALSE(all[0].up);
    EXPECT_EQ(all[0].delayMs, scripts.LoadBullet(1, 0).delayMs);
    for (size_t b = 1; b < all.size(); ++b)
        EXPECT_FALSE(all[b].delayMs || all[b].dx || all[b].dy) << b;
    // A slot outside the four has thirty empty bullets.
    const std::vector<Bullet> none = scripts.LoadBullets(4);
    ASSERT_EQ(none.size(), static_cast<size_t>(kBulletsPerScript));
    EXPECT_FALSE(none[0].delayMs || none[0].dx || none[0].dy);
}

TEST_F(CursorScriptFiles, ImportTakesAtMostOneHundredEightyActionsAndOnlyScriptFiles) {
    TempDir outside;
    const auto Script = [](int n) {
        std::string text =
            "[MACROACTIONCOUNT]\r\ncount=" + std::to_string(n) + "\r\n[MACROACTION]\r\n";
        for (int i = 0; i < n; ++i)
            text += std::to_string(i) + "=0,0,5,1,0,mouse_move_to_down_text\r\n";
        return text;
    };
    WriteBytes(outside / "long.cur", Script(181));
    WriteBytes(outside / "full.cur", Script(180));
    WriteBytes(outside / "other.cur", "MZ\x90\0\x03");
    const std::string before = ReadBytes(*scripts.ScriptPath(0));
    ScriptOutcome r = scripts.Import(0, outside / "long.cur");
    EXPECT_EQ(r.textId, "message_text_18");
    EXPECT_EQ(scripts.Import(0, outside / "other.cur").result, MacroResult::NotMacroFile);
    EXPECT_EQ(scripts.Import(0, outside / "absent.cur").result, MacroResult::ReadFailed);
    EXPECT_EQ(ReadBytes(*scripts.ScriptPath(0)), before);
    ASSERT_TRUE(scripts.Import(0, outside / "full.cur").Ok());
    EXPECT_EQ(ReadBytes(*scripts.ScriptPath(0)), Script(180));
}

TEST_F(CursorScriptFiles, ExportNeverReplacesAndResetBringsTheShippedScriptBack) {
    TempDir outside;
    ASSERT_TRUE(scripts.Export(3, outside / "mine.cur").Ok());
    EXPECT_EQ(ReadBytes(outside / "mine.cur"), ReadBytes(kProgramDir / "name_4.cur"));
    WriteBytes(outside / "taken.cur", "keep me");
    EXPECT_EQ(scripts.Export(3, outside / "taken.cur").result, MacroResult::Exists);
    EXPECT_EQ(ReadBytes(outside / "taken.cur"), "keep me");

    ASSERT_TRUE(scripts.SaveBullet(3, 0, {1, 2, true, 3, true}).Ok());
    EXPECT_NE(ReadBytes(*scripts.ScriptPath(3)), ReadBytes(kProgramDir / "name_4.cur"));
    ASSERT_TRUE(scripts.Reset(3).Ok());
    EXPECT_EQ(ReadBytes(*scripts.ScriptPath(3)), ReadBytes(kProgramDir / "name_4.cur"));
    CursorScripts withoutShipped(dir.path(), outside.path());
    EXPECT_FALSE(withoutShipped.Reset(3).Ok());
}

TEST(BulletCursor, NextAndPreviousStopAtTheEndsAndASlotStartsAtBulletZero) {
    BulletCursor cursor;
    EXPECT_FALSE(cursor.Previous());
    EXPECT_EQ(cursor.bullet, 0);
    ASSERT_TRUE(cursor.SelectBullet(29));
    EXPECT_FALSE(cursor.Next());
    EXPECT_EQ(cursor.bullet, 29);
    EXPECT_TRUE(cursor.Previous());
    EXPECT_EQ(cursor.bullet, 28);
    EXPECT_TRUE(cursor.SelectSlot(3));
    EXPECT_EQ(cursor.bullet, 0);
    EXPECT_FALSE(cursor.SelectSlot(4));
    EXPECT_EQ(cursor.slot, 3);
}

class ScriptSend : public SimMouseTest {};

TEST_F(ScriptSend, TheScriptPageSendsTheImageAndRefusesNothingTooLargeSilently) {
    TempDir dir;
    ASSERT_TRUE(MacroLibrary(DeviceKind::Mouse, dir.path()).SeedCursorScripts(kProgramDir));
    CursorScripts scripts(dir.path(), kProgramDir);
    Connect();
    TransferResult r = TransferCursorScripts(*session, scripts.ReadAll());
    ASSERT_EQ(r.status, TransferStatus::Sent) << r.detail;
    const auto image = *BuildScriptImage(scripts.ReadAll());
    const auto memory = mouse->ScriptMemory();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));

    // A hand-made script that makes the image too large is not sent, and the result says so.
    bus.ClearTranscript();
    std::vector<std::vector<MacroAction>> big = scripts.ReadAll();
    big[0].resize(220, big[0][0]);
    r = TransferCursorScripts(*session, big);
    EXPECT_EQ(r.status, TransferStatus::TooLarge);
    EXPECT_EQ(r.bytes, 2920u + 160);
    EXPECT_FALSE(r.detail.empty());
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(TransferCursorScripts(*session, {}).status, TransferStatus::NothingToSend);
}

}  // namespace
}  // namespace vq::test
