// The mouse's recoil page on the real skin with the simulated mouse: the bullet editor writing
// the slot's script at once, the slot and bullet choices, import, export, reset, and the send
// that lands the four scripts in the mouse's script memory on the controller's thread.

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <fstream>

#include "app/device_hub.h"
#include "app/pages/device_pages.h"
#include "app_fixture.h"
#include "core/macro/cursor_scripts.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;
using app::CMainWnd;

std::string Script(int actions) {
    std::string text =
        "[MACROACTIONCOUNT]\r\ncount=" + std::to_string(actions) + "\r\n[MACROACTION]\r\n";
    for (int i = 0; i < actions; ++i)
        text += std::to_string(i) + "=10,0,5,1,0,mouse_move_to_down_text\r\n";
    return text;
}

class CursorPage : public WindowTest {
  protected:
    CMainWnd& Ready() {
        CMainWnd& w = StartWithMouseRead();
        Page().SetFileChooser([this](app::FileDialog) { return chosen; });
        Click("ms_cursor_Op_tab");
        bus.ClearTranscript();
        return w;
    }
    app::MouseCursorPage& Page() { return window->Pages()->cursor; }
    // The scripts as the test reads them (the window's own reads and writes are its
    // controller's).
    CursorScripts Files() const { return CursorScripts(Data() / "ms", VQ_PROGRAM_DIR); }
    // Typing saves the bullet; the scripts' files answer from the mouse's controller.
    QLineEdit* Type(const QString& name, const QString& text) {
        QLineEdit* edit = WindowTest::Type(name, text);
        Settle(*window);
        return edit;
    }
    QString Field(const QString& name) { return window->Control<QLineEdit>(name)->text(); }
    std::optional<fs::path> chosen;
};

TEST_F(CursorPage, EditingABulletWritesItsThreeRecordsAtOnceWithinTheirLimits) {
    Ready();
    const std::vector<MacroAction> before = OnDisk([&] { return Files().ReadScript(1); });
    const std::vector<MacroAction> otherSlot = OnDisk([&] { return Files().ReadScript(0); });
    ASSERT_EQ(before.size(), 180u);
    Click("ms_gun_op_1");
    Click("ms_bullet_op_4");
    EXPECT_EQ(Page().Cursor().slot, 1);
    EXPECT_EQ(Page().Cursor().bullet, 4);
    EXPECT_EQ(window->Control<QLabel>("bullet_select_index")->text(), "5");
    const Bullet shown = OnDisk([&] { return Files().LoadBullet(1, 4); });
    ASSERT_TRUE(shown.delayMs && shown.dx && shown.dy);
    EXPECT_EQ(Field("ms_cursor_delay_eidt"), QString::number(*shown.delayMs));

    Type("ms_cursor_delay_eidt", "99999");
    EXPECT_EQ(Field("ms_cursor_delay_eidt"), "65535");
    Type("ms_cursor_x_eidt", "300");
    EXPECT_EQ(Field("ms_cursor_x_eidt"), "255");
    Type("ms_cursor_y_eidt", "7");
    // Checking the horizontal box makes the correction a move to the left, saved at once.
    auto* left = window->Control<QCheckBox>("ms_cursor_x_check");
    if (left->isChecked()) Click("ms_cursor_x_check");
    Click("ms_cursor_x_check");
    EXPECT_EQ(left->property("textId").toString(), "mouse_move_to_left_text");

    const std::vector<MacroAction> after = OnDisk([&] { return Files().ReadScript(1); });
    ASSERT_EQ(after.size(), 180u);
    EXPECT_EQ(after[4 * 6 + 3].DelayMs(), 65535);
    EXPECT_EQ(after[4 * 6 + 4].type, 0x84);
    EXPECT_EQ(after[4 * 6 + 4].code, 255);
    EXPECT_EQ(after[4 * 6 + 4].label, "mouse_move_to_left_text");
    EXPECT_EQ(after[4 * 6 + 5].code, 7);
    // Nothing else of the script changed, nor another slot's.
    for (size_t i = 0; i < after.size(); ++i)
        if (i < 4 * 6 + 3 || i > 4 * 6 + 5) {
            EXPECT_EQ(after[i], before[i]) << i;
        }
    EXPECT_EQ(OnDisk([&] { return Files().ReadScript(0); }), otherSlot);
}

TEST_F(CursorPage, NextAndPreviousStopAtTheEndsAndASlotStartsAtBulletZero) {
    Ready();
    Click("bullet_selected_prev");
    EXPECT_EQ(Page().Cursor().bullet, 0);
    Click("ms_bullet_op_29");
    Click("bullet_selected_next");
    EXPECT_EQ(Page().Cursor().bullet, 29);
    EXPECT_EQ(window->Control<QLabel>("bullet_select_index")->text(), "30");
    Click("bullet_selected_prev");
    EXPECT_EQ(Page().Cursor().bullet, 28);
    EXPECT_TRUE(window->Control<QAbstractButton>("ms_bullet_op_28")->isChecked());
    Click("ms_gun_op_2");
    EXPECT_EQ(Page().Cursor().bullet, 0);
    EXPECT_TRUE(window->Control<QAbstractButton>("ms_bullet_op_0")->isChecked());
}

TEST_F(CursorPage, ImportRefusesALongScriptExportKeepsAFileAndResetBringsTheShippedOneBack) {
    Ready();
    Click("ms_gun_op_3");
    const fs::path slotFile = *OnDisk([&] { return Files().ScriptPath(3); });
    const std::string shipped = ReadFileText(slotFile);

    std::ofstream(Data() / "long.cur", std::ios::binary) << Script(181);
    chosen = Data() / "long.cur";
    {
        QString shownId;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const auto boxes = OpenBoxes();
            if (boxes.empty()) return;
            shownId =
                boxes.front()->findChild<QLabel*>("MessageText")->property("textId").toString();
            boxes.front()->findChild<QAbstractButton*>("confirm_btn")->click();
        });
        poll.start(5);
        Click("ms_bulletdate_import_btn");
        EXPECT_EQ(shownId, "message_text_18");
    }
    EXPECT_EQ(ReadFileText(slotFile), shipped);

    std::ofstream(Data() / "short.cur", std::ios::binary) << Script(180);
    chosen = Data() / "short.cur";
    Click("ms_bulletdate_import_btn");
    EXPECT_EQ(ReadFileText(slotFile), Script(180));
    EXPECT_EQ(Field("ms_cursor_delay_eidt"), "10");

    // Export onto an existing file leaves it as it was.
    std::ofstream(Data() / "mine.cur", std::ios::binary) << "mine";
    chosen = Data() / "mine.cur";
    AnswerNextBox("confirm_btn");
    Click("ms_bulletdate_export_btn");
    EXPECT_EQ(ReadFileText(Data() / "mine.cur"), "mine");
    chosen = Data() / "new.cur";
    Click("ms_bulletdate_export_btn");
    EXPECT_EQ(ReadFileText(Data() / "new.cur"), Script(180));

    Click("ms_bulletdate_reset_btn");
    EXPECT_EQ(ReadFileText(slotFile), shipped);
}

TEST_F(CursorPage, TheSendPutsTheFourScriptsInTheMouseOnTheControllersThread) {
    CMainWnd& w = Ready();
    std::vector<int> progress;
    QObject::connect(&w.Hub(), &app::DeviceHub::Event, &w, [&](const ControllerEvent& e) {
        if (e.type == ControllerEventType::Progress) progress.push_back(e.value);
    });
    Click("ms_bulletdate_save_btn");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !progress.empty() && progress.back() == -1; }, kWaitMs));
    Settle(w);
    std::vector<std::vector<MacroAction>> all = OnDisk([&] { return Files().ReadAll(); });
    const std::vector<uint8_t> image = *BuildScriptImage(all);
    ASSERT_EQ(image.size(), 2920u);
    const std::vector<uint8_t> memory = mouse->ScriptMemory();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
    // Begin, 53 chunks, End; the bar moved on the way.
    EXPECT_GT(progress.size(), 20u);
    EXPECT_EQ(progress[progress.size() - 2], 100);
}

}  // namespace
}  // namespace vq::test
