// Every control of the mouse's button, sensor, lighting and pointer pages that the user can act
// on has its handler, and acting on all of them in turn on the simulated mouse crashes nothing
// and writes nothing to the mouse beyond its live record (the key layer and the factory reset
// go out only through their own buttons).

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include "app/device_hub.h"
#include "app/msg_wnd.h"
#include "app_fixture.h"
#include "support/fake_system_pointer.h"

namespace vq::test {
namespace {

using app::CMainWnd;

struct Act {
    QString event;
    QString control;
};

std::vector<Act> MousePageActions() {
    std::vector<Act> acts;
    auto add = [&](const char* event, const QString& control) { acts.push_back({event, control}); };
    // Buttons.
    for (int n = 1; n < 8; ++n) {
        add("selectchanged", QStringLiteral("ms_key_%1").arg(n));
        add("msenter", QStringLiteral("ms_key_%1").arg(n));
        add("msleave", QStringLiteral("ms_key_%1").arg(n));
    }
    add("selectchanged", "ms_key_0");  // the guard's message
    add("itemselect", "ms_key_fct_combo");
    for (int n : {11, 12, 13, 14, 21, 22, 23, 24, 25, 26})
        add("itemselect", QStringLiteral("ms_key_fct_combo_%1").arg(n));
    for (int n : {11, 12, 15, 16, 17, 18, 19, 20, 25})
        add("textchanged", QStringLiteral("ms_key_fct_edit_%1").arg(n));
    add("click", "ms_key_butt_keysave");
    add("click", "ms_key_butt_keydefalut");
    // Sensor.
    for (int s = 1; s <= 7; ++s) {
        add("valuechanged", QStringLiteral("ms_DPI%1_slider").arg(s));
        add("movevaluechanged", QStringLiteral("ms_DPI%1_slider").arg(s));
        add("click", QStringLiteral("ms_DPIcolor_btn_%1").arg(s));
        add("msenter", QStringLiteral("ms_DPIcolor_btn_%1").arg(s));
        add("msleave", QStringLiteral("ms_DPIcolor_btn_%1").arg(s));
    }
    add("itemselect", "ms_report_fct_combo");
    for (const char* h : {"heightLow", "heightMiddle", "heightHigh"})
        add("click", h);
    add("selectchanged", "ms_line_adjust");
    // Lighting.
    for (int list = 0; list < 3; ++list)
        add("itemselect", QStringLiteral("ms_deng_combo_modeSelect%1").arg(list));
    add("valuechanged", "ms_deng_light_slider");
    add("valuechanged", "ms_deng_speed_slider");
    add("colorchanged", "ms_deng_Color_Pallet");
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16, 17, 18})
        add("click", QStringLiteral("ms_Deng_color_btn_%1").arg(n));
    for (const char* e : {"ms_Deng_edit_R", "ms_Deng_edit_G", "ms_Deng_edit_B"})
        add("textchanged", e);
    for (const char* c : {"ms_Deng_7color_check", "ms_Deng_FXL_check", "ms_Deng_FXR_check"})
        add("selectchanged", c);
    add("click", "ms_Deng_FXL_btn");
    add("click", "ms_Deng_FXR_btn");
    // The computer's pointer.
    add("valuechanged", "ms_point_speed_slider");
    add("textchanged", "ms_gunlun_speed_edit");
    add("killfocus", "ms_gunlun_speed_edit");
    add("click", "ms_gunlun_speed_up_btn");
    add("click", "ms_gunlun_speed_down_btn");
    return acts;
}

// Puts a control in a state its event can act on (an item chosen, a number typed, an option
// selected), as the user's action would have left it.
void Prepare(QWidget* w, int step) {
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->count() > 0) combo->setCurrentIndex(step % combo->count());
    } else if (auto* slider = qobject_cast<QSlider*>(w)) {
        slider->setValue(slider->minimum() + step % (slider->maximum() - slider->minimum() + 1));
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(QString::number(step * 37 % 400));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w); button && button->isCheckable()) {
        button->setChecked(!button->isChecked() || button->autoExclusive());
    }
}

class MousePagesWalk : public WindowTest {
  protected:
    // The window applies to the test's pointer until it goes.
    ~MousePagesWalk() override { CloseWindow(); }

    FakeSystemPointer pointer;
};

TEST_F(MousePagesWalk, EveryControlHasItsHandlerAndNoneWritesWhatItShouldNot) {
    CMainWnd& w = MakeWindow();
    w.Hub().Mouse().SetSystemPointer(&pointer);
    w.WindowInit();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.isVisible(); }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Hub().Mouse().Model().HasInfo(); }, kWaitMs));
    Settle(w);
    bus.ClearTranscript();
    // Modal windows the walk opens (the palette dialog, the guard's message) are closed.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (!top->isVisible()) continue;
            if (top->objectName() == "UIPalletDialog")
                if (auto* b = top->findChild<QAbstractButton*>("closebtn")) b->click();
            if (qobject_cast<app::CMsgWnd*>(top))
                if (auto* b = top->findChild<QAbstractButton*>("confirm_btn")) b->click();
        }
    });
    closer.start(5);

    int step = 0;
    for (const Act& act : MousePageActions()) {
        QWidget* control = w.Control(act.control);
        ASSERT_NE(control, nullptr) << act.control.toStdString();
        Prepare(control, ++step);
        int index = -1;
        if (auto* combo = qobject_cast<QComboBox*>(control)) index = combo->currentIndex();
        if (auto* slider = qobject_cast<QSlider*>(control)) index = slider->value();
        const int handlers = w.Router().Fire(act.event, control, index);
        EXPECT_GT(handlers, 0) << act.event.toStdString() << " " << act.control.toStdString();
        if (step % 8 == 0) Settle(w);
    }
    Settle(w);
    closer.stop();
    EXPECT_TRUE(w.Hub().Mouse().WaitPointerIdle());
    // Only the live record went to the mouse: no key layer, no reset, no macro data.
    for (const auto& e : bus.Transcript()) {
        if (e.direction != TraceDirection::ToDevice || e.usagePage != kConfigUsagePage) continue;
        const uint8_t command = e.bytes[3];
        EXPECT_TRUE(command == 0x05 || command == 0x06) << "command " << int(command);
        if (command == 0x06) {
            EXPECT_EQ(e.bytes[4], 56);
            EXPECT_EQ(e.bytes[5], 0);
            EXPECT_EQ(e.bytes[6], 0);
        }
    }
    EXPECT_TRUE(mouse->Plugged());
}

}  // namespace
}  // namespace vq::test
