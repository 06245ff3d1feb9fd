// The mouse's lighting and sensor pages beyond the sliders, on the real skin with the simulated
// mouse: the stage colours through the palette dialog, the light colour fields and presets, the
// alternative effect lists, the direction buttons, the pointer speed and wheel lines with a
// system pointer of the test's, the factory reset, and the preview that runs only while it can
// be seen.

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>

#include "app/controls/led_preview.h"
#include "app/controls/skin_image.h"
#include "app/device_hub.h"
#include "app/pages/device_pages.h"
#include "app/system_pointer_target.h"
#include "app_fixture.h"
#include "core/profile/profile_store.h"
#include "platform/system_pointer.h"
#include "support/fake_system_pointer.h"

namespace vq::test {
namespace {

using app::CMainWnd;

class LightPointerPages : public WindowTest {
  protected:
    // The window applies to the test's pointer until it goes.
    ~LightPointerPages() override { CloseWindow(); }

    CMainWnd& Ready() {
        CMainWnd& w = MakeWindow();
        w.Hub().Mouse().SetSystemPointer(&pointer);
        w.WindowInit();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.isVisible(); }, kWaitMs));
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.Hub().Mouse().Model().HasInfo(); }, kWaitMs));
        Settle(w);
        EXPECT_TRUE(w.Hub().Mouse().WaitPointerIdle());
        bus.ClearTranscript();
        return w;
    }
    void SettleAll() {
        Settle(*window);
        EXPECT_TRUE(window->Hub().Mouse().WaitPointerIdle());
    }
    MouseRecord Record() { return window->Hub().Mouse().Model().Record(); }
    void Click(const char* name) {
        auto* b = window->Control<QAbstractButton>(name);
        ASSERT_NE(b, nullptr) << name;
        window->Router().Fire("click", b);
    }
    int Writes() { return window->Hub().Mouse().ProfileWrites(); }

    FakeSystemPointer pointer;
};

// Runs `steps` once the palette dialog is open (from inside its modal loop).
void WithPaletteDialog(std::function<void(QWidget*)> steps) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, steps] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == "UIPalletDialog" && top->isVisible()) {
                poll->stop();
                poll->deleteLater();
                steps(top);
                return;
            }
    });
    poll->start(5);
}

TEST_F(LightPointerPages, AStageColourIsChosenInThePaletteDialog) {
    CMainWnd& w = Ready();
    QWidget* button = w.Control("ms_DPIcolor_btn_2");
    ASSERT_NE(button, nullptr);
    const QRgb before = app::BkColor(button);
    // Closed without a choice: nothing changes.
    WithPaletteDialog([](QWidget* d) { d->findChild<QAbstractButton*>("closebtn")->click(); });
    Click("ms_DPIcolor_btn_2");
    SettleAll();
    EXPECT_EQ(app::BkColor(button), before);
    EXPECT_FALSE(LastRecordSent(bus));
    // Pure red from the presets, then OK.
    WithPaletteDialog([](QWidget* d) {
        d->findChild<QAbstractButton*>("ms_dpi_color_png_13")->click();
        d->findChild<QAbstractButton*>("okbtn")->click();
    });
    const int writes = Writes();
    Click("ms_DPIcolor_btn_2");
    SettleAll();
    EXPECT_EQ(app::BkColor(button), 0xFFFF0000u);
    const auto sent = LastRecordSent(bus);
    ASSERT_TRUE(sent);
    EXPECT_EQ((*sent)[33], 255);
    EXPECT_EQ((*sent)[34], 0);
    EXPECT_EQ((*sent)[35], 0);
    EXPECT_EQ(Writes() - writes, 1);  // the device profile alone
    // The pointer over a colour button draws its border.
    w.Router().Fire("msenter", w.Control("ms_DPIcolor_btn_3"));
    EXPECT_EQ(w.Control("ms_DPIcolor_btn_3")->property("bordersize").toInt(), 2);
    w.Router().Fire("msleave", w.Control("ms_DPIcolor_btn_3"));
    EXPECT_EQ(w.Control("ms_DPIcolor_btn_3")->property("bordersize").toInt(), 0);
    EXPECT_FALSE(w.Control("ms_DPIcolor_btn_3")->styleSheet().contains("border:"));
}

TEST_F(LightPointerPages, AStageBeyondTheSliderIsShownUnchanged) {
    CMainWnd& w = Ready();
    // The mouse holds 400 steps (20000 DPI) in stage 1, more than the slider reaches.
    mouse->SetParamByte(MouseRecord::StageOffset(0), 400 & 0xFF);
    mouse->SetParamByte(MouseRecord::StageOffset(0) + 1, 400 >> 8);
    w.Hub().Mouse().ReadLive();
    SettleAll();
    ASSERT_EQ(Record().StageSteps(0), 400);
    EXPECT_EQ(w.Control<QSlider>("ms_DPI1_slider")->value(), 320);
    EXPECT_EQ(w.Control<QLabel>("ms_DPI1_label_value")->text(), "20000");
    // The record that goes back keeps it.
    const auto sent = LastRecordSent(bus);
    ASSERT_TRUE(sent);
    EXPECT_EQ((*sent)[MouseRecord::StageOffset(0)], 400 & 0xFF);
    EXPECT_EQ((*sent)[MouseRecord::StageOffset(0) + 1], 400 >> 8);
}

TEST_F(LightPointerPages, ColourFieldsAndPresetsGiveTheOneColour) {
    CMainWnd& w = Ready();
    auto* seven = w.Control<QAbstractButton>("ms_Deng_7color_check");
    ASSERT_NE(seven, nullptr);
    Click("ms_Deng_color_btn_13");
    SettleAll();
    EXPECT_EQ(Record().lightColor(), (Rgb{255, 0, 0}));
    EXPECT_EQ(Record().sevenColor(), 0);
    EXPECT_EQ(app::BkColor(w.Control("ms_Deng_colordp_btn")), 0xFFFF0000u);
    EXPECT_EQ(w.Control<QLineEdit>("ms_Deng_edit_R")->text(), "255");
    // Green typed as 300 shows 255 and is stored as 255; the seven colours go off.
    seven->setChecked(true);
    w.Hub().Mouse().SetSevenColor(true);
    SettleAll();
    Type("ms_Deng_edit_G", "300");
    SettleAll();
    EXPECT_EQ(w.Control<QLineEdit>("ms_Deng_edit_G")->text(), "255");
    EXPECT_EQ(Record().lightColor(), (Rgb{255, 255, 0}));
    EXPECT_EQ(Record().sevenColor(), 0);
    EXPECT_FALSE(seven->isChecked());
    EXPECT_EQ(app::BkColor(w.Control("ms_Deng_colordp_btn")), 0xFFFFFF00u);
    const auto sent = LastRecordSent(bus);
    ASSERT_TRUE(sent);
    EXPECT_EQ((*sent)[MouseRecord::kLightGreen], 255);
    Type("ms_Deng_edit_B", "7");
    SettleAll();
    EXPECT_EQ(Record().lightColor(), (Rgb{255, 255, 7}));
}

TEST_F(LightPointerPages, AlternativeListsAndDirectionButtons) {
    CMainWnd& w = Ready();
    w.Hub().Mouse().Session().SetLightSync(true);
    const uint8_t lastMode = Record().lastMode();
    auto* list = w.Control<QComboBox>("ms_deng_combo_modeSelect1");
    ASSERT_NE(list, nullptr);
    list->setCurrentIndex(3);
    w.Router().Fire("itemselect", list, 3);
    SettleAll();
    EXPECT_EQ(Record().lightMode(), 3);
    EXPECT_EQ(Record().lastMode(), lastMode);
    EXPECT_FALSE(w.Hub().Mouse().Session().LightSync());
    EXPECT_FALSE(w.Control("ms_deng_fx_layout")->isEnabled());
    EXPECT_TRUE(w.Control("ms_deng_color_layout")->isEnabled());
    EXPECT_FALSE(w.Control("ms_deng_7colorselect_layout")->isEnabled());
    EXPECT_FALSE(w.Control("ms_deng_speed_layout")->isEnabled());
    EXPECT_TRUE(w.Control("ms_deng_same_mode")->isEnabled());
    // The arrow buttons: the left one direction 0, the light profile alone saved.
    int writes = Writes();
    Click("ms_Deng_FXL_btn");
    SettleAll();
    EXPECT_EQ(Record().lightDirection(), 0);
    EXPECT_EQ(Writes() - writes, 1);
    EXPECT_TRUE(w.Control<QAbstractButton>("ms_Deng_FXR_check")->isChecked());
    writes = Writes();
    Click("ms_Deng_FXR_btn");
    SettleAll();
    EXPECT_EQ(Record().lightDirection(), 1);
    EXPECT_EQ(Writes() - writes, 1);
    EXPECT_TRUE(w.Control<QAbstractButton>("ms_Deng_FXL_check")->isChecked());
    EXPECT_EQ((*LastRecordSent(bus))[MouseRecord::kLightDirection], 1);
}

TEST_F(LightPointerPages, PointerSpeedAndWheelLinesReachTheSystem) {
    CMainWnd& w = Ready();
    auto* slider = w.Control<QSlider>("ms_point_speed_slider");
    auto* wheel = w.Control<QLineEdit>("ms_gunlun_speed_edit");
    ASSERT_NE(slider, nullptr);
    ASSERT_NE(wheel, nullptr);
    EXPECT_TRUE(slider->isEnabled());
    for (const auto& [position, speed] : {std::pair{0, 2}, std::pair{9, 20}, std::pair{4, 10}}) {
        slider->setValue(position);
        w.Router().Fire("valuechanged", slider, position);
        SettleAll();
        EXPECT_EQ(pointer.CurrentSpeed(), speed) << position;
        EXPECT_EQ(w.Hub().Mouse().Model().PointerSpeed(), speed);
    }
    EXPECT_EQ(CountCommand(bus, 0x06), 0u);  // the mouse's record is not touched
    // 250 shows 100; leaving the edit applies it.
    Type("ms_gunlun_speed_edit", "250");
    EXPECT_EQ(wheel->text(), "100");
    w.Router().Fire("killfocus", wheel);
    SettleAll();
    EXPECT_EQ(pointer.CurrentLines(), 100);
    Click("ms_gunlun_speed_up_btn");
    SettleAll();
    EXPECT_EQ(wheel->text(), "100");
    wheel->setText("1");
    Click("ms_gunlun_speed_down_btn");
    SettleAll();
    EXPECT_EQ(wheel->text(), "1");
    EXPECT_EQ(pointer.CurrentLines(), 1);
    wheel->setText("");
    Click("ms_gunlun_speed_up_btn");
    SettleAll();
    EXPECT_EQ(wheel->text(), "2");
    EXPECT_EQ(w.Hub().Mouse().Model().WheelLines(), 2);
    // An emptied edit that loses the focus takes nothing.
    Type("ms_gunlun_speed_edit", "");
    w.Router().Fire("killfocus", wheel);
    SettleAll();
    EXPECT_EQ(wheel->text(), "2");
    EXPECT_EQ(pointer.CurrentLines(), 2);
}

TEST_F(LightPointerPages, ALightProfileBringsItsPointerSpeedToSliderAndSystem) {
    CMainWnd& w = Ready();
    // The selected light profile carries speed 14 in byte 54.
    MouseModel source;
    source.SetRecord(w.Hub().Mouse().Model().Record());
    source.SetPointerSpeed(14);
    source.SetWheelLines(5);
    ASSERT_EQ(OnDisk([&] {
                  return w.Hub().Store().SaveSelectedProfile(DeviceKind::Mouse,
                                                             ProfileFamily::Light, source);
              }),
              SaveResult::Saved);
    auto* list =
        w.Control<QComboBox>(app::ProfilePanel::ListName(DeviceKind::Mouse, ProfileFamily::Light));
    ASSERT_NE(list, nullptr);
    w.Router().Fire("itemselect", list, list->currentIndex() < 0 ? 0 : list->currentIndex());
    SettleAll();
    EXPECT_EQ(pointer.CurrentSpeed(), 14);
    EXPECT_EQ(pointer.CurrentLines(), 5);
    EXPECT_EQ(w.Control<QSlider>("ms_point_speed_slider")->value(), 7);
    EXPECT_EQ(w.Control<QLineEdit>("ms_gunlun_speed_edit")->text(), "5");
}

TEST_F(LightPointerPages, AFactoryResetResetsTheSystemValuesAndShowsTheMouse) {
    CMainWnd& w = Ready();
    w.Hub().Mouse().SetPointerSpeed(18);
    w.Hub().Mouse().SetWheelLines(9);
    SettleAll();
    Click("ms_one_profile_default");
    EXPECT_EQ(w.Control<QSlider>("ms_point_speed_slider")->value(), 5);
    EXPECT_EQ(w.Control<QLineEdit>("ms_gunlun_speed_edit")->text(), "3");
    SettleAll();
    EXPECT_EQ(CountCommand(bus, 0x0D), 1u);
    EXPECT_EQ(pointer.CurrentSpeed(), 10);
    EXPECT_EQ(pointer.CurrentLines(), 3);
    // The model keeps its values for the profiles.
    EXPECT_EQ(w.Hub().Mouse().Model().PointerSpeed(), 18);
    EXPECT_EQ(w.Hub().Mouse().Model().WheelLines(), 9);
    // The page shows what the mouse holds now.
    const auto inMouse = mouse->CurrentRecord();
    EXPECT_EQ(Record().lightMode(), inMouse[MouseRecord::kLightMode]);
}

TEST_F(LightPointerPages, ControlsOfValuesTheSystemCannotSetAreDisabledWithTheReason) {
    pointer.canSpeed = false;
    pointer.canWheel = false;
    pointer.limitation = "ui_pointer_unavailable_tip";
    CMainWnd& w = Ready();
    auto* slider = w.Control<QSlider>("ms_point_speed_slider");
    ASSERT_NE(slider, nullptr);
    EXPECT_FALSE(slider->isEnabled());
    EXPECT_EQ(slider->toolTip(), w.Ui().TextOrId("ui_pointer_unavailable_tip"));
    EXPECT_NE(slider->toolTip(), "ui_pointer_unavailable_tip");
    EXPECT_FALSE(w.Control("ms_gunlun_speed_up_btn")->isEnabled());
    EXPECT_FALSE(w.Control("ms_gunlun_speed_edit")->isEnabled());
}

// A desktop that applies the pointer speed but has no setting for the wheel lines (X with
// libinput): the speed stays usable, the wheel controls say why they are not.
class SpeedOnlyPointer : public platform::SystemPointer {
  public:
    bool Available() const override { return true; }
    bool WheelLinesAvailable() const override { return false; }
    std::optional<int> Speed() override { return speed; }
    bool SetSpeed(int s) override {
        speed = s;
        return true;
    }
    std::optional<unsigned> WheelLines() override { return std::nullopt; }
    bool SetWheelLines(unsigned) override { return false; }
    int speed = 10;
};

TEST(PlatformPointerTarget, EachValueIsAvailableOnItsOwnWithTheReasonForTheOther) {
    app::PlatformPointerTarget target(std::make_unique<SpeedOnlyPointer>());
    EXPECT_TRUE(target.CanSetSpeed());
    EXPECT_FALSE(target.CanSetWheelLines());
    EXPECT_EQ(target.Limitation(), "ui_wheel_unavailable_tip");
    EXPECT_TRUE(target.SetSpeed(14));
    EXPECT_EQ(target.Speed(), 14);
    EXPECT_FALSE(target.SetWheelLines(5));

    app::PlatformPointerTarget none(nullptr);
    EXPECT_FALSE(none.CanSetSpeed());
    EXPECT_EQ(none.Limitation(), "ui_pointer_unavailable_tip");
}

TEST_F(LightPointerPages, ThePreviewRunsOnlyWhileItCanBeSeen) {
    CMainWnd& w = Ready();
    app::MouseLightAnimator& animator = w.Pages()->light.Animator();
    auto* pages = w.Control<QStackedWidget>("ms_tab_switch");
    ASSERT_NE(pages, nullptr);
    w.Control<QAbstractButton>("ms_deng_Op_tab")->click();
    ASSERT_EQ(pages->currentIndex(), 0);
    // A static red light: every strip LED shows it.
    w.Hub().Mouse().SetLightMode(5);
    w.Hub().Mouse().SetLightColor({255, 0, 0});
    w.Hub().Mouse().SetBrightness(4);
    SettleAll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return animator.Running(); }, kWaitMs));
    const int start = animator.Frames();
    ASSERT_TRUE(QTest::qWaitFor([&] { return animator.Frames() > start + 2; }, kWaitMs));
    EXPECT_TRUE(w.IsTimerActive(app::WindowTimer::Animation));
    auto* led = w.Control<app::CLedPreviewUI>("ms_dkey_3");
    ASSERT_NE(led, nullptr);
    EXPECT_EQ(led->ChangerColor(), 0xFFu);  // red | blue << 8 | green << 16
    EXPECT_EQ(led->Alpha(), 255);
    // Another page: no frames, no timer.
    w.Control<QAbstractButton>("ms_key_Op_tab")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !animator.Running(); }, kWaitMs));
    EXPECT_FALSE(w.IsTimerActive(app::WindowTimer::Animation));
    const int stopped = animator.Frames();
    QTest::qWait(60);
    EXPECT_EQ(animator.Frames(), stopped);
    // Back, then the window hidden.
    w.Control<QAbstractButton>("ms_deng_Op_tab")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return animator.Running(); }, kWaitMs));
    w.hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !animator.Running(); }, kWaitMs));
    const int hidden = animator.Frames();
    QTest::qWait(60);
    EXPECT_EQ(animator.Frames(), hidden);
    w.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return animator.Running(); }, kWaitMs));
}

}  // namespace
}  // namespace vq::test
