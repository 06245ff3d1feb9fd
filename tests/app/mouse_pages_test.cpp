// The mouse pages as views of the mouse's controller, on the real skin with the simulated mouse:
// what a control does reaches the mouse's record on the wire and its profile files, and the
// window's thread never waits on the device (the fixture refuses its requests).

#include <QAbstractButton>
#include <QComboBox>
#include <QSlider>

#include "app/device_hub.h"
#include "app_fixture.h"
#include "core/device/key_labels.h"

namespace vq::test {
namespace {

using app::CMainWnd;

// What a user's drag leaves: the slider at `value` and its "valuechanged".
void Drag(CMainWnd& w, QSlider* slider, int value) {
    slider->setValue(value);
    w.Router().Fire("valuechanged", slider, value);
}

class MousePages : public WindowTest {
  protected:
    CMainWnd& Ready() {
        CMainWnd& w = StartWindow();
        EXPECT_TRUE(QTest::qWaitFor([&] { return CountCommand(bus, 0x02) > 0; }, kWaitMs));
        Settle(w);
        bus.ClearTranscript();
        return w;
    }
    int Writes(CMainWnd& w) { return w.Hub().Mouse().ProfileWrites(); }
};

TEST_F(MousePages, AStageSliderStoresItsOwnStageInFiftyDpiSteps) {
    CMainWnd& w = Ready();
    for (int stage : {1, 3, 7}) {
        auto* slider = w.Control<QSlider>(QStringLiteral("ms_DPI%1_slider").arg(stage));
        ASSERT_NE(slider, nullptr);
        const int steps = 40 + stage;  // a value no other stage holds
        Drag(w, slider, steps);
        Settle(w);
        const auto sent = LastRecordSent(bus);
        ASSERT_TRUE(sent) << stage;
        const size_t at = MouseRecord::StageOffset(stage - 1);
        EXPECT_EQ((*sent)[at], steps) << "stage " << stage;
        EXPECT_EQ((*sent)[at + 1], 0);
        EXPECT_EQ(w.Hub().Mouse().Model().Record().StageSteps(stage - 1), steps);
        EXPECT_EQ(w.Control<QLabel>(QStringLiteral("ms_DPI%1_label_value").arg(stage))->text(),
                  QString::number(steps * 50));
    }
    // 320 steps is 16000 DPI: 64, 1.
    Drag(w, w.Control<QSlider>("ms_DPI3_slider"), 320);
    Settle(w);
    EXPECT_EQ((*LastRecordSent(bus))[19], 64);
    EXPECT_EQ((*LastRecordSent(bus))[20], 1);
}

TEST_F(MousePages, TheSpeedSliderIsTheInverseOfTheStoredSpeedAndBrightnessIsDirect) {
    CMainWnd& w = Ready();
    auto* speed = w.Control<QSlider>("ms_deng_speed_slider");
    auto* brightness = w.Control<QSlider>("ms_deng_light_slider");
    ASSERT_NE(speed, nullptr);
    ASSERT_NE(brightness, nullptr);
    const int shown = speed->value() == 3 ? 1 : 3;
    Drag(w, speed, shown);
    Drag(w, brightness, brightness->value() == 2 ? 1 : 2);
    Settle(w);
    const auto sent = LastRecordSent(bus);
    ASSERT_TRUE(sent);
    EXPECT_EQ((*sent)[MouseRecord::kLightSpeed], 4 - shown);
    EXPECT_EQ((*sent)[MouseRecord::kBrightness], brightness->value());
}

TEST_F(MousePages, TheLiftOffOptionsStoreByte51AndDeselectTheOthers) {
    CMainWnd& w = Ready();
    const char* names[] = {"heightLow", "heightMiddle", "heightHigh"};
    for (int h : {1, 2, 0}) {
        auto* option = w.Control<QAbstractButton>(names[h]);
        ASSERT_NE(option, nullptr);
        w.Router().Fire("click", option);
        Settle(w);
        const auto sent = LastRecordSent(bus);
        ASSERT_TRUE(sent);
        EXPECT_EQ((*sent)[51], h);
        for (int other = 0; other < 3; ++other)
            EXPECT_EQ(w.Control<QAbstractButton>(names[other])->isChecked(), other == h);
        // Nothing else of the record moved.
        EXPECT_EQ((*sent)[52], w.Hub().Mouse().Model().Record().lineAdjust());
    }
}

// The button page is built when it is first needed, not because the mouse's model was read;
// its buttons are labelled from the model when it is.
TEST_F(MousePages, TheButtonPageIsBuiltOnlyWhenNeededAndLabelledThen) {
    CMainWnd& w = Ready();
    EXPECT_EQ(w.findChild<QWidget*>("ms_key_0"), nullptr) << "reading the mouse built the page";
    auto* button = w.Control<QAbstractButton>("ms_key_0");
    ASSERT_NE(button, nullptr);
    const MouseModel& model = w.Hub().Mouse().Model();
    const KeyLabel label = MouseButtonLabel(model.ButtonAssignment(model.ActiveLayer(), 0), {});
    ASSERT_EQ(label.kind, KeyLabel::Kind::TextId);
    EXPECT_EQ(button->toolTip(), w.Ui().TextOrId(QString::fromStdString(label.text)));
    EXPECT_FALSE(button->toolTip().isEmpty());
}

TEST_F(MousePages, SelectingAKeyProfileSendsItsKeyLayer) {
    CMainWnd& w = Ready();
    auto* list = w.Control<QComboBox>("ms_key_profile_combo");
    ASSERT_NE(list, nullptr);
    ASSERT_GE(list->count(), 1);
    w.Router().Fire("itemselect", list, 0);
    Settle(w);
    // Key layer 0: the whole 512-byte block in chunks of 56 at index 0.
    EXPECT_GE(CountCommand(bus, 0x09), 10u);
    EXPECT_EQ(CountCommand(bus, 0x06), 0u);  // the record is not touched
}

TEST_F(MousePages, TheRightDirectionSavesOnlyTheLightProfile) {
    CMainWnd& w = Ready();
    auto* left = w.Control<QAbstractButton>("ms_Deng_FXL_check");
    auto* right = w.Control<QAbstractButton>("ms_Deng_FXR_check");
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr);
    if (!left->isChecked()) left->click();
    Settle(w);
    int before = Writes(w);
    right->click();
    Settle(w);
    EXPECT_EQ(Writes(w) - before, 1);  // the light profile alone
    EXPECT_FALSE(left->isChecked());
    EXPECT_EQ((*LastRecordSent(bus))[MouseRecord::kLightDirection], 0);
    before = Writes(w);
    left->click();
    Settle(w);
    EXPECT_EQ(Writes(w) - before, 2);  // light and device
    EXPECT_EQ((*LastRecordSent(bus))[MouseRecord::kLightDirection], 1);
}

TEST_F(MousePages, AStageDragOfTwentyValuesWritesEachProfileOnce) {
    CMainWnd& w = Ready();
    auto* slider = w.Control<QSlider>("ms_DPI2_slider");
    ASSERT_NE(slider, nullptr);
    const int before = Writes(w);
    for (int v = 100; v < 120; ++v)
        Drag(w, slider, v);
    Settle(w);
    // The light and the device profile, each written once for the whole drag.
    EXPECT_LE(Writes(w) - before, 2);
    EXPECT_GE(Writes(w) - before, 1);
    EXPECT_LE(CountCommand(bus, 0x06), 2u);
    EXPECT_EQ((*LastRecordSent(bus))[MouseRecord::StageOffset(1)], 119);
}

TEST_F(MousePages, TheMouseDpiButtonIsReadBackAndWrittenBackEvenWhileTheWindowIsHidden) {
    CMainWnd& w = Ready();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bus.OpenHandleCount() >= 2; }, kWaitMs));
    w.hide();
    const int before = Writes(w);
    const uint8_t stage = w.Hub().Mouse().Model().Record().activeStage();
    mouse->PressDpiButton();
    ASSERT_TRUE(QTest::qWaitFor([&] { return LastRecordSent(bus).has_value(); }, kWaitMs));
    Settle(w);
    const auto sent = LastRecordSent(bus);
    EXPECT_EQ((*sent)[MouseRecord::kActiveStage], (stage + 1) % 7);
    // One press: each affected profile file written at most once.
    EXPECT_LE(Writes(w) - before, 2);
    EXPECT_EQ(CountCommand(bus, 0x06), 1u);  // the record goes back once
}

}  // namespace
}  // namespace vq::test
