// The mouse's button page on the real skin with the simulated mouse: the function panel, its
// lists and number fields as the user drives them, the guard of the only left click, the labels,
// the hover pictures, the single-key capture and the save of the key layer.

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "app/controls/skin_image.h"
#include "app/device_hub.h"
#include "app/pages/device_pages.h"
#include "app_fixture.h"
#include "core/mouse/button_panel.h"
#include "support/fake_input_capture.h"

namespace vq::test {
namespace {

using app::CMainWnd;

class ButtonsPage : public WindowTest {
  protected:
    CMainWnd& Ready() {
        // The arrival's full read has filled the key layers.
        CMainWnd& w = StartWithMouseRead();
        w.Pages()->buttons.SetInputCapture(&capture);
        bus.ClearTranscript();
        return w;
    }
    app::MouseButtonsPage& Page() { return window->Pages()->buttons; }
    KeyAssignment Stored(int button) {
        Settle(*window);
        const MouseModel& m = window->Hub().Mouse().Model();
        return m.ButtonAssignment(m.ActiveLayer(), button);
    }
    void Pick(int button) {
        auto* b = window->Control<QAbstractButton>(QStringLiteral("ms_key_%1").arg(button));
        ASSERT_NE(b, nullptr);
        b->click();
        Settle(*window);
    }
    // The user chooses item `index` of a list.
    void Choose(const QString& name, int index) {
        auto* combo = window->Control<QComboBox>(name);
        ASSERT_NE(combo, nullptr) << name.toStdString();
        ASSERT_LT(index, combo->count()) << name.toStdString();
        combo->setCurrentIndex(index);
        window->Router().Fire("itemselect", combo, index);
    }
    size_t Writes() const {
        size_t n = 0;
        for (uint8_t c : ConfigCommands())
            n += c == 0x06 || c == 0x09 ? 1 : 0;
        return n;
    }
    QString LabelId(int button) {
        return window->Control(QStringLiteral("ms_key_%1").arg(button))
            ->property("textId")
            .toString();
    }

    FakeInputCapture capture;
};

TEST_F(ButtonsPage, TheOnlyLeftClickCannotBeEditedUntilAnotherButtonHasIt) {
    CMainWnd& w = Ready();
    // The left button is the only left click of the layer.
    QString boxText;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const auto boxes = OpenBoxes();
        if (boxes.empty()) return;
        if (auto* text = boxes.front()->findChild<QLabel*>("MessageText"))
            boxText = text->property("textId").toString();
        if (auto* ok = boxes.front()->findChild<QAbstractButton*>("confirm_btn")) ok->click();
    });
    poll.start(5);
    const KeyAssignment before = Stored(0);
    Pick(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxText.isEmpty(); }, kWaitMs));
    EXPECT_EQ(boxText, "message_text_6");
    QWidget* panel = w.Control("ms_tab_function");
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->isEnabled());
    // Nothing the panel does now reaches button 0.
    Page().ApplyButtonPanel();
    EXPECT_EQ(Stored(0), before);

    // Give the right button the left click: button 0 is free.
    boxText.clear();
    Pick(2);
    EXPECT_TRUE(panel->isEnabled());
    Choose("ms_key_fct_combo", static_cast<int>(ButtonFunction::MouseButton));
    Choose("ms_key_fct_combo_11", 0);
    EXPECT_EQ(Stored(2), (KeyAssignment{0x10, 1, 0}));
    Pick(0);
    QTest::qWait(20);
    EXPECT_TRUE(boxText.isEmpty());
    EXPECT_TRUE(panel->isEnabled());
    EXPECT_EQ(Page().CurrentButton(), 0);
    poll.stop();
}

TEST_F(ButtonsPage, ThePanelMakesTheCodesOfItsItems) {
    CMainWnd& w = Ready();
    auto* kinds = w.Control<QComboBox>("ms_key_fct_combo");
    ASSERT_NE(kinds, nullptr);
    ASSERT_EQ(kinds->count(), kButtonFunctions);
    // DPI off.
    Pick(3);
    Choose("ms_key_fct_combo", static_cast<int>(ButtonFunction::DpiOff));
    EXPECT_EQ(Stored(3), (KeyAssignment{0xA0, 0, 0}));
    EXPECT_EQ(LabelId(3), "mouse_key_DPI_Disable");
    // The third DPI row, the shift; shown again, no item.
    Pick(4);
    Choose("ms_key_fct_combo", static_cast<int>(ButtonFunction::Dpi));
    Choose("ms_key_fct_combo_14", 2);
    EXPECT_EQ(Stored(4), (KeyAssignment{0xA0, 2, 0}));
    EXPECT_EQ(LabelId(4), "mouse_key_DPI_shift");
    Pick(3);
    Pick(4);
    EXPECT_EQ(kinds->currentIndex(), -1);
    // Cursor script 2 on button 3 (which shows its DPI-off item again first).
    Pick(3);
    EXPECT_EQ(kinds->currentIndex(), static_cast<int>(ButtonFunction::DpiOff));
    Choose("ms_key_fct_combo", static_cast<int>(ButtonFunction::CursorScript));
    Choose("ms_key_fct_combo_25", 2);
    EXPECT_EQ(Stored(3), (KeyAssignment{0x72, 2, 0}));
    EXPECT_EQ(LabelId(3), "GUN_3");
    EXPECT_EQ(w.Control(QStringLiteral("ms_key_3"))->toolTip(), w.Ui().TextOrId("GUN_3"));
    // Vertical scroll: direction item 1, amount 5, numbers 3 and 2.
    Pick(5);
    Choose("ms_key_fct_combo", static_cast<int>(ButtonFunction::VerticalScroll));
    Choose("ms_key_fct_combo_13", 1);
    Type("ms_key_fct_edit_16", "5");
    Type("ms_key_fct_edit_18", "3");
    Type("ms_key_fct_edit_19", "2");
    EXPECT_EQ(Stored(5), (KeyAssignment{0x12, 0x32, 0x85}));
    EXPECT_EQ(LabelId(5), "mouse_key_down_Swing");
    // Only the chosen buttons changed; nothing went to the mouse before the save.
    EXPECT_EQ(Stored(6), w.Hub().Mouse().Model().FactoryAssignment(6));
    EXPECT_EQ(Writes(), 0u);
}

TEST_F(ButtonsPage, TheNumberFieldsKeepTheirLimitsAsTheUserTypes) {
    CMainWnd& w = Ready();
    Pick(6);
    Choose("ms_key_fct_combo", static_cast<int>(ButtonFunction::Macro));
    Choose("ms_key_fct_combo_24", kCountedPlayMode);
    QWidget* countPane = w.Control("ms_tab_function_26");
    ASSERT_NE(countPane, nullptr);
    EXPECT_FALSE(countPane->isHidden());
    EXPECT_EQ(Type("ms_key_fct_edit_25", "300")->text(), "255");
    EXPECT_EQ(Type("ms_key_fct_edit_25", "0")->text(), "1");
    Choose("ms_key_fct_combo_24", 1);
    EXPECT_TRUE(countPane->isHidden());
    Choose("ms_key_fct_combo", static_cast<int>(ButtonFunction::Fire));
    QLineEdit* first = Type("ms_key_fct_edit_11", "");
    EXPECT_EQ(first->text(), "1");
    EXPECT_EQ(first->cursorPosition(), 1);
    Type("ms_key_fct_edit_12", "256");
    EXPECT_EQ(w.Control<QLineEdit>("ms_key_fct_edit_12")->text(), "255");
    EXPECT_EQ(Stored(6), (KeyAssignment{0x14, 1, 255}));
    Choose("ms_key_fct_combo", static_cast<int>(ButtonFunction::HorizontalScroll));
    Choose("ms_key_fct_combo_12", 0);
    EXPECT_EQ(Type("ms_key_fct_edit_15", "128")->text(), "127");
    EXPECT_EQ(Type("ms_key_fct_edit_17", "16")->text(), "15");
    EXPECT_EQ(Type("ms_key_fct_edit_20", "15")->text(), "15");
    EXPECT_EQ(Stored(6), (KeyAssignment{0x11, 0xFF, 0x7F}));
}

TEST_F(ButtonsPage, AKeyIsCapturedForTheKeyItemAndTheSaveSendsTheLayer) {
    CMainWnd& w = Ready();
    Pick(4);
    EXPECT_FALSE(Page().Capturing());
    // Choosing the key item without a key stores nothing.
    const KeyAssignment before = Stored(4);
    Choose("ms_key_fct_combo", static_cast<int>(ButtonFunction::Key));
    EXPECT_EQ(Stored(4), before);
    ASSERT_TRUE(Page().Capturing());
    ASSERT_FALSE(capture.starts.empty());
    EXPECT_EQ(capture.starts.back().mode, platform::CaptureMode::SingleKey);
    EXPECT_TRUE(capture.starts.back().keyboard);
    EXPECT_FALSE(capture.starts.back().mouse);
    // A media key has no keyboard row: ignored.
    capture.Key(InputEventKind::KeyDown, 0xAF, 1);
    EXPECT_EQ(Stored(4), before);
    capture.Key(InputEventKind::KeyDown, 0x74, 2);  // F5
    EXPECT_EQ(Stored(4), (KeyAssignment{0x20, 0, 0x3E}));
    EXPECT_EQ(LabelId(4), "keyboard_key_F5");
    EXPECT_FALSE(w.Control<QLineEdit>("ms_key_fct_edit_21")->text().isEmpty());
    // The keypad Enter is told from Enter.
    capture.Key(InputEventKind::KeyDown, 13, 3, true);
    EXPECT_EQ(Stored(4), (KeyAssignment{0x20, 0, 0x58}));
    capture.Key(InputEventKind::KeyDown, 0x74, 4);
    // Another page of the mouse ends the capture.
    auto* keyTab = w.Control<QAbstractButton>("ms_key_Op_tab");
    auto* light = w.Control<QAbstractButton>("ms_deng_Op_tab");
    ASSERT_NE(keyTab, nullptr);
    ASSERT_NE(light, nullptr);
    if (!keyTab->isChecked()) keyTab->click();
    EXPECT_TRUE(Page().Capturing());
    light->click();
    EXPECT_FALSE(Page().Capturing());
    EXPECT_FALSE(capture.Active());

    // The save: Begin, the key layer at the slot's index, End.
    bus.ClearTranscript();
    auto* save = w.Control<QAbstractButton>("ms_key_butt_prosave");
    ASSERT_NE(save, nullptr);
    w.Router().Fire("click", save);
    Settle(w);
    std::vector<uint8_t> commands;
    for (uint8_t c : ConfigCommands())
        if (c == 0x01 || c == 0x02 || c == 0x09) commands.push_back(c);
    ASSERT_GE(commands.size(), 3u);
    EXPECT_EQ(commands.front(), 0x01);
    EXPECT_EQ(commands.back(), 0x02);
    const auto keys = mouse->KeyMemory();
    EXPECT_EQ(keys[12], 0x20);
    EXPECT_EQ(keys[13], 0x00);
    EXPECT_EQ(keys[14], 0x3E);
    // The record of the neighbouring button is the same on the mouse as in the model.
    const KeyAssignment five = w.Hub().Mouse().Model().ButtonAssignment(0, 5);
    EXPECT_EQ(keys[15], five.type);
    EXPECT_EQ(keys[16], five.param1);
}

TEST_F(ButtonsPage, TheDefaultItemAndTheRestoreButtonGiveTheFactoryFunction) {
    CMainWnd& w = Ready();
    Pick(1);
    const KeyAssignment factory = w.Hub().Mouse().Model().FactoryAssignment(1);
    EXPECT_EQ(w.Control<QComboBox>("ms_key_fct_combo")->currentIndex(), 0);
    Choose("ms_key_fct_combo", static_cast<int>(ButtonFunction::System));
    Choose("ms_key_fct_combo_22", 1);
    EXPECT_EQ(Stored(1), (KeyAssignment{0x40, 2, 0}));
    auto* restore = w.Control<QAbstractButton>("ms_key_butt_keydefalut");
    ASSERT_NE(restore, nullptr);
    w.Router().Fire("click", restore);
    EXPECT_EQ(Stored(1), factory);
    EXPECT_EQ(w.Control<QComboBox>("ms_key_fct_combo")->currentIndex(), 0);
    // Choosing the default item writes the factory record back too.
    Choose("ms_key_fct_combo", static_cast<int>(ButtonFunction::Media));
    Choose("ms_key_fct_combo_21", 5);
    EXPECT_EQ(Stored(1).type, 0x30);
    Choose("ms_key_fct_combo", 0);
    EXPECT_EQ(Stored(1), factory);
}

TEST_F(ButtonsPage, TheListsOfThePanelAreTheCoreListsAndThePicturesFollowThePointer) {
    CMainWnd& w = Ready();
    const std::pair<int, ChoiceList> lists[] = {
        {11, ChoiceList::MouseButton},    {12, ChoiceList::HorizontalScroll},
        {13, ChoiceList::VerticalScroll}, {14, ChoiceList::Dpi},
        {21, ChoiceList::Media},          {22, ChoiceList::System},
        {26, ChoiceList::Shortcut}};
    for (const auto& [number, list] : lists) {
        auto* combo = w.Control<QComboBox>(QStringLiteral("ms_key_fct_combo_%1").arg(number));
        ASSERT_NE(combo, nullptr) << number;
        EXPECT_EQ(static_cast<size_t>(combo->count()), Choices(list).size()) << number;
    }
    EXPECT_EQ(w.Control<QComboBox>("ms_key_fct_combo_25")->count(), 4);
    EXPECT_EQ(w.Control<QComboBox>("ms_key_fct_combo_24")->count(), kCountedPlayMode + 1);
    // Hover pictures.
    QWidget* five = w.Control("ms_key_5");
    QWidget* picture = w.Control("ms_key_5_0");
    ASSERT_NE(five, nullptr);
    ASSERT_NE(picture, nullptr);
    w.Router().Fire("msenter", five);
    EXPECT_EQ(app::BkImage(picture), "file='ms/key_dpi_down.png'");
    EXPECT_FALSE(qobject_cast<QLabel*>(picture)->pixmap().isNull());
    w.Router().Fire("msleave", five);
    EXPECT_EQ(app::BkImage(picture), "file='ms/key_dpi_normal.png'");
}

}  // namespace
}  // namespace vq::test
