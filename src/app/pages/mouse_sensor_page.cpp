#include "app/pages/mouse_sensor_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSlider>
#include <array>

#include "app/controls/skin_image.h"
#include "app/device_hub.h"
#include "app/dialogs/palette_dialog.h"
#include "core/mouse/mouse_facts.h"

namespace vq::app {

namespace {

constexpr QRgb kActiveStageColour = 0xFFFF0000;
constexpr QRgb kOtherStageColour = 0xFFFFFFFF;
constexpr std::array<const char*, 3> kHeights = {"heightLow", "heightMiddle", "heightHigh"};

QString Stage(const char* pattern, int s) {
    return QString::fromLatin1(pattern).arg(s);
}

}  // namespace

void MouseSensorPage::Register() {
    NotifyRouter& router = Router();
    for (int s = 1; s <= MouseRecord::kStages; ++s) {
        router.On("valuechanged", Stage("ms_DPI%1_slider", s),
                  [this, s](const Notification&) { ShowStageValue(s, true); });
        router.On("movevaluechanged", Stage("ms_DPI%1_slider", s),
                  [this, s](const Notification&) { ShowStageValue(s, false); });
    }
    for (int s = 1; s <= MouseRecord::kStages; ++s) {
        const QString button = Stage("ms_DPIcolor_btn_%1", s);
        router.On("click", button, [this, s](const Notification&) { PickStageColor(s); });
        // The pointer over a colour button draws a white border round it (all seven alike).
        router.On("msenter", button, [this, s](const Notification&) { SetHoverBorder(s, true); });
        router.On("msleave", button, [this, s](const Notification&) { SetHoverBorder(s, false); });
    }
    router.On("itemselect", "ms_report_fct_combo",
              [this](const Notification& n) { hub_.Mouse().SetReportRate(n.index); });
    for (int h = 0; h < 3; ++h)
        router.On("click", kHeights[static_cast<size_t>(h)],
                  [this, h](const Notification&) { ChooseLiftHeight(h); });
    router.On("selectchanged", "ms_line_adjust", [this](const Notification& n) {
        if (auto* check = qobject_cast<QAbstractButton*>(n.widget.data()))
            hub_.Mouse().SetLineAdjust(check->isChecked());
    });
}

// The value label follows the slider while it is dragged; the stage is stored when it is let go.
void MouseSensorPage::ShowStageValue(int stage, bool store) {
    auto* slider = Control<QSlider>(Stage("ms_DPI%1_slider", stage));
    if (!slider) return;
    const int steps = std::clamp(slider->value(), 0, kStageSteps);
    if (auto* label = Control<QLabel>(Stage("ms_DPI%1_label_value", stage)))
        label->setText(QString::number(steps * MouseRecord::kDpiStep));
    if (store) hub_.Mouse().SetStageDpi(stage, steps * MouseRecord::kDpiStep);
}

void MouseSensorPage::PickStageColor(int stage) {
    QWidget* button = Control(Stage("ms_DPIcolor_btn_%1", stage));
    if (!button) return;
    CPalletDialog dialog(QStringLiteral("GmPalletDialog.xml"), BkColor(button) | 0xFF000000u,
                         &window_);
    if (dialog.ShowModal() != CPalletDialog::kChosen) return;
    const QRgb chosen = dialog.GetColor() | 0xFF000000u;
    SetBkColor(button, chosen);
    hub_.Mouse().SetStageColor(
        stage, Rgb{static_cast<uint8_t>(qRed(chosen)), static_cast<uint8_t>(qGreen(chosen)),
                   static_cast<uint8_t>(qBlue(chosen))});
}

void MouseSensorPage::SetHoverBorder(int stage, bool on) {
    QWidget* button = Control(Stage("ms_DPIcolor_btn_%1", stage));
    if (!button) return;
    static const QRegularExpression border(QStringLiteral("\\bborder\\s*:[^;]*;?"));
    QString sheet = button->styleSheet();
    sheet.remove(border);
    sheet = sheet.trimmed();
    if (on) sheet += QStringLiteral(" border: 2px solid #ffffff;");
    button->setStyleSheet(sheet.trimmed());
    button->setProperty("bordersize", on ? 2 : 0);
}

void MouseSensorPage::ChooseLiftHeight(int height) {
    ShowLiftHeight(height);
    hub_.Mouse().SetLiftHeight(height);
}

void MouseSensorPage::ShowLiftHeight(int height) {
    for (int h = 0; h < 3; ++h)
        if (auto* option = Control<QAbstractButton>(kHeights[static_cast<size_t>(h)])) {
            const QSignalBlocker quiet(option);
            option->setChecked(h == height);
        }
}

void MouseSensorPage::ShowRangeLabels(uint16_t sensorCode) {
    const std::optional<SensorRange> range = SensorRangeFor(sensorCode);
    if (!range) return;
    for (int s = 1; s <= range->stages; ++s) {
        if (auto* min = Control<QLabel>(Stage("ms_DPI%1_min", s))) min->setText(range->minLabel);
        if (auto* max = Control<QLabel>(Stage("ms_DPI%1_max", s))) max->setText(range->maxLabel);
    }
}

void MouseSensorPage::MarkActiveStage(uint8_t activeStage) {
    if (activeStage > 6) {
        // Not a stage: stage 1 is marked, 2-4 are plain, 5-7 keep their colours.
        for (int s = 1; s <= 4; ++s) {
            const QRgb c = s == 1 ? kActiveStageColour : kOtherStageColour;
            SetTextColour(Control(Stage("ms_DPI%1_label_rank", s)), c);
            SetTextColour(Control(Stage("ms_DPI%1_label_value", s)), c);
        }
        return;
    }
    for (int s = 1; s <= MouseRecord::kStages; ++s) {
        const QRgb c = s == activeStage + 1 ? kActiveStageColour : kOtherStageColour;
        SetTextColour(Control(Stage("ms_DPI%1_label_rank", s)), c);
        SetTextColour(Control(Stage("ms_DPI%1_label_value", s)), c);
    }
}

void MouseSensorPage::Show(const MouseRecord& r, uint16_t sensorCode) {
    if (auto* rate = Control<QComboBox>("ms_report_fct_combo")) {
        const QSignalBlocker quiet(rate);
        rate->setCurrentIndex(r.reportRate() < rate->count() ? r.reportRate() : -1);
    }
    ShowRangeLabels(sensorCode);
    for (int s = 1; s <= MouseRecord::kStages; ++s) {
        // A stored value beyond the slider puts the slider at its end and shows what is
        // stored; showing never changes it.
        const int stored = r.StageSteps(s - 1);
        const int position = stored > kStageSteps ? kStageSteps : StageSliderPosition(stored);
        if (auto* slider = Control<QSlider>(Stage("ms_DPI%1_slider", s))) {
            const QSignalBlocker quiet(slider);
            slider->setRange(1, kStageSteps);
            slider->setValue(position);
        }
        if (auto* label = Control<QLabel>(Stage("ms_DPI%1_label_value", s)))
            label->setText(QString::number(stored * MouseRecord::kDpiStep));
        const Rgb c = r.StageColor(s - 1);
        if (QWidget* button = Control(Stage("ms_DPIcolor_btn_%1", s)))
            SetBkColor(button, qRgba(c.red, c.green, c.blue, 0xFF));
    }
    MarkActiveStage(r.activeStage());
    ShowLiftHeight(r.liftHeight() == 2 ? 2 : r.liftHeight() == 1 ? 1 : 0);
    if (auto* check = Control<QAbstractButton>("ms_line_adjust")) {
        const QSignalBlocker quiet(check);
        check->setChecked(r.lineAdjust() != 0);
    }
}

}  // namespace vq::app
