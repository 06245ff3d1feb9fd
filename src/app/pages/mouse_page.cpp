#include "app/pages/mouse_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>

#include "app/controls/color_palette.h"
#include "app/main_window.h"
#include "core/device/key_labels.h"
#include "core/mouse/mouse_device.h"
#include "core/util/log.h"

namespace vq::app {

namespace {

constexpr int kStageSteps = 320;  // 16000 DPI in 50-DPI steps
constexpr QRgb kActiveStageColour = 0xFFFF0000;
constexpr QRgb kOtherStageColour = 0xFFFFFFFF;
constexpr std::array<const char*, 3> kHeights = {"heightLow", "heightMiddle", "heightHigh"};
constexpr std::array<const char*, 5> kPageOptions = {
    "ms_deng_Op_tab", "ms_macro_Op_tab", "ms_key_Op_tab", "ms_rich_Op_tab", "ms_cursor_Op_tab"};

struct SensorRange {
    uint16_t code;
    const char* min;
    const char* max;
    int stages;
};
constexpr SensorRange kSensorRanges[] = {
    {0x3325, "200", "5000", 6}, {0x3327, "200", "6200", 6},  {0x3050, "250", "4000", 6},
    {0x3330, "50", "7200", 6},  {0x3360, "100", "12000", 6}, {0x3310, "50", "5000", 6},
    {0x3389, "50", "16000", 7},
};

// Which controls each effect shows: brightness, speed, colour, seven-colour, presets, FX,
// palette; and what it does to the seven-colour flag (-1: nothing).
struct ModeLayout {
    bool brightness, speed, colour, sevenColour, presets, fx, palette;
    int sevenColourValue;
};
constexpr ModeLayout kModeLayouts[8] = {
    {true, true, false, false, false, true, false, 0xFF},
    {true, true, true, true, true, true, true, -1},
    {true, true, false, false, false, false, false, -1},
    {true, true, false, false, false, true, false, -1},
    {true, true, true, true, true, false, true, -1},
    {true, false, true, false, true, false, true, 0},
    {true, true, true, true, true, false, true, -1},
    {false, false, false, false, false, false, false, -1},
};

QString Stage(const char* pattern, int s) {
    return QString::fromLatin1(pattern).arg(s);
}

void SetTextColour(QWidget* label, QRgb argb) {
    if (!label) return;
    label->setStyleSheet(QStringLiteral("color: #%1;").arg(argb & 0xFFFFFF, 6, 16, QChar('0')));
}

void ShowControls(CMainWnd& window, std::initializer_list<const char*> names, bool shown) {
    for (const char* name : names)
        if (QWidget* w = window.Control(name)) w->setVisible(shown);
}

}  // namespace

MousePage::MousePage(CMainWnd& window, MouseModel& model, DeviceSession& session)
    : window_(window), model_(model), session_(session) {}

template <typename T>
T* MousePage::Control(const QString& name) const {
    return window_.Control<T>(name);
}

void MousePage::Register() {
    NotifyRouter& router = window_.Router();
    // The onboard slots.
    for (int n = 0; n < kMouseSlots; ++n)
        router.On("click", QStringLiteral("ms_profile_%1").arg(n),
                  [this, n](const Notification&) { SelectSlot(n); });
    // The page options: the key page shows its function panel first; any option taking the
    // focus hides the profile function panel.
    router.On("selectchanged", "ms_key_Op_tab", [this](const Notification& n) {
        auto* button = qobject_cast<QAbstractButton*>(n.widget.data());
        auto* pages = Control<QStackedWidget>("ms_tab_switch");
        if (!button || !button->isChecked() || !pages) return;
        if (QWidget* panel = Control("ms_tab_function")) panel->show();
        pages->setCurrentIndex(2);
    });
    for (const char* option : kPageOptions)
        router.On("setfocus", option, [this](const Notification&) {
            if (QWidget* panel = Control("ms_profile_fun_spead_tab")) panel->hide();
        });
    // Sensor stages.
    for (int s = 1; s <= MouseRecord::kStages; ++s) {
        router.On("valuechanged", Stage("ms_DPI%1_slider", s),
                  [this, s](const Notification&) { SetStageDpi(s, true); });
        router.On("movevaluechanged", Stage("ms_DPI%1_slider", s),
                  [this, s](const Notification&) { SetStageDpi(s, false); });
    }
    router.On("itemselect", "ms_report_fct_combo", [this](const Notification& n) {
        if (n.index < 0 || n.index > 255) return;
        model_.EditRecord([&](MouseRecord& r) {
            r.SetByte(MouseRecord::kReportRate, static_cast<uint8_t>(n.index));
        });
        model_.MarkMouseChanged(true);
    });
    for (int h = 0; h < 3; ++h)
        router.On("click", kHeights[static_cast<size_t>(h)],
                  [this, h](const Notification&) { SetLiftHeight(h); });
    router.On("selectchanged", "ms_line_adjust", [this](const Notification& n) {
        auto* check = qobject_cast<QAbstractButton*>(n.widget.data());
        if (check) SetLineAdjust(check->isChecked());
    });
    // Lighting.
    router.On("itemselect", "ms_deng_combo_modeSelect0",
              [this](const Notification& n) { SelectLightMode(n.index); });
    router.On("valuechanged", "ms_deng_light_slider", [this](const Notification& n) {
        auto* slider = qobject_cast<QSlider*>(n.widget.data());
        if (!slider) return;
        const auto value = static_cast<uint8_t>(std::clamp(slider->value(), 0, 4));
        model_.EditRecord([&](MouseRecord& r) { r.SetByte(MouseRecord::kBrightness, value); });
        model_.MarkMouseChanged(true);
    });
    router.On("valuechanged", "ms_deng_speed_slider", [this](const Notification& n) {
        auto* slider = qobject_cast<QSlider*>(n.widget.data());
        if (!slider) return;
        const auto speed = static_cast<uint8_t>(4 - std::clamp(slider->value(), 0, 4));
        model_.EditRecord([&](MouseRecord& r) { r.SetByte(MouseRecord::kLightSpeed, speed); });
        model_.MarkMouseChanged(true);
    });
    router.On("colorchanged", "ms_deng_Color_Pallet", [this](const Notification& n) {
        auto* palette = qobject_cast<ColorPalette*>(n.widget.data());
        if (!palette) return;
        const QRgb c = palette->SelectColor();
        ShowLightColor(c);
        if (auto* check = Control<QAbstractButton>("ms_Deng_7color_check")) {
            const QSignalBlocker quiet(check);
            check->setChecked(false);
        }
        model_.EditRecord([&](MouseRecord& r) {
            r.SetByte(MouseRecord::kLightRed, static_cast<uint8_t>(qRed(c)));
            r.SetByte(MouseRecord::kLightGreen, static_cast<uint8_t>(qGreen(c)));
            r.SetByte(MouseRecord::kLightBlue, static_cast<uint8_t>(qBlue(c)));
            r.SetByte(MouseRecord::kSevenColor, 0);
        });
        model_.MarkMouseChanged(true);
    });
    router.On("selectchanged", "ms_Deng_7color_check", [this](const Notification& n) {
        auto* check = qobject_cast<QAbstractButton*>(n.widget.data());
        if (!check) return;
        const uint8_t on = check->isChecked() ? 1 : 0;
        model_.EditRecord([&](MouseRecord& r) { r.SetByte(MouseRecord::kSevenColor, on); });
        model_.MarkMouseChanged(true);
    });
    for (const char* name : {"ms_Deng_FXL_check", "ms_Deng_FXR_check"})
        router.On("selectchanged", name,
                  [this, left = QString(name) == "ms_Deng_FXL_check"](const Notification& n) {
                      auto* check = qobject_cast<QAbstractButton*>(n.widget.data());
                      if (!check || !check->isChecked()) return;
                      auto* other = Control<QAbstractButton>(left ? "ms_Deng_FXR_check"
                                                                  : "ms_Deng_FXL_check");
                      if (other) {
                          const QSignalBlocker quiet(other);
                          other->setChecked(false);
                      }
                      model_.EditRecord([&](MouseRecord& r) {
                          r.SetByte(MouseRecord::kLightDirection, left ? 1 : 0);
                      });
                      model_.MarkMouseChanged(true);
                  });
}

void MousePage::SelectSlot(int n) {
    if (n < 0 || n >= kMouseSlots) return;
    SelectMouseSlot(session_, model_, n);
    if (QWidget* panel = Control("ms_tab_function")) panel->hide();
    ShowMouseSettings();
}

void MousePage::SetStageDpi(int stage, bool store) {
    auto* slider = Control<QSlider>(Stage("ms_DPI%1_slider", stage));
    if (!slider) return;
    const int v = std::clamp(slider->value(), 0, kStageSteps);
    if (auto* label = Control<QLabel>(Stage("ms_DPI%1_label_value", stage)))
        label->setText(QString::number(v * MouseRecord::kDpiStep));
    if (!store) return;
    model_.EditRecord(
        [&](MouseRecord& r) { r.SetStageSteps(stage - 1, static_cast<uint16_t>(v)); });
    model_.MarkMouseChanged(true);
}

void MousePage::SetLiftHeight(int height) {
    for (int h = 0; h < 3; ++h)
        if (auto* option = Control<QAbstractButton>(kHeights[static_cast<size_t>(h)])) {
            const QSignalBlocker quiet(option);
            option->setChecked(h == height);
        }
    model_.EditRecord(
        [&](MouseRecord& r) { r.SetByte(MouseRecord::kLiftHeight, static_cast<uint8_t>(height)); });
    model_.MarkMouseChanged(true);
}

void MousePage::SetLineAdjust(bool on) {
    model_.EditRecord([&](MouseRecord& r) { r.SetByte(MouseRecord::kLineAdjust, on ? 1 : 0); });
    model_.MarkMouseChanged(true);
}

void MousePage::ShowLightColor(QRgb argb) {
    if (QWidget* preview = Control("ms_Deng_colordp_btn"))
        preview->setStyleSheet(
            QStringLiteral("background-color: #%1;").arg(argb & 0xFFFFFF, 6, 16, QChar('0')));
    const std::array<std::pair<const char*, int>, 3> edits = {{{"ms_Deng_edit_R", qRed(argb)},
                                                               {"ms_Deng_edit_G", qGreen(argb)},
                                                               {"ms_Deng_edit_B", qBlue(argb)}}};
    for (const auto& [name, value] : edits)
        if (auto* edit = Control<QLineEdit>(name)) {
            const QSignalBlocker quiet(edit);
            edit->setText(QString::number(value));
        }
}

void MousePage::SelectLightMode(int m) {
    if (m < 0 || m > 7) return;
    const ModeLayout& row = kModeLayouts[m];
    ShowControls(window_, {"ms_deng_light_label", "ms_deng_light_slider"}, row.brightness);
    ShowControls(window_, {"ms_deng_speed_label", "ms_deng_speed_slider"}, row.speed);
    ShowControls(
        window_,
        {"ms_Deng_label_Color_dp", "ms_Deng_colordp_btn", "ms_Deng_label_R", "ms_Deng_edit_R",
         "ms_Deng_label_G", "ms_Deng_edit_G", "ms_Deng_label_B", "ms_Deng_edit_B"},
        row.colour);
    ShowControls(window_, {"ms_Deng_7color_check", "ms_Deng_label_7color"}, row.sevenColour);
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16, 17, 18})
        if (QWidget* preset = Control(QStringLiteral("ms_Deng_color_btn_%1").arg(n)))
            preset->setVisible(row.presets);
    ShowControls(window_,
                 {"ms_Deng_FX_label", "ms_Deng_FXL_check", "ms_Deng_label_FXL", "ms_Deng_FXR_check",
                  "ms_Deng_label_FXR"},
                 row.fx);
    ShowControls(window_, {"ms_deng_Color_Pallet_layout"}, row.palette);
    if (QWidget* same = Control("ms_deng_same_mode")) same->setEnabled(true);
    uint8_t sevenColour = 0;
    model_.EditRecord([&](MouseRecord& r) {
        if (row.sevenColourValue >= 0)
            r.SetByte(MouseRecord::kSevenColor, static_cast<uint8_t>(row.sevenColourValue));
        if (m != 7) r.SetByte(MouseRecord::kLastMode, static_cast<uint8_t>(m));
        r.SetByte(MouseRecord::kLightMode, static_cast<uint8_t>(m));
        sevenColour = r.sevenColor();
    });
    if (auto* check = Control<QAbstractButton>("ms_Deng_7color_check")) {
        const QSignalBlocker quiet(check);
        check->setChecked(sevenColour != 0);
    }
    model_.MarkMouseChanged(true);
}

void MousePage::ShowRangeLabels(uint16_t sensorCode) {
    for (const SensorRange& range : kSensorRanges) {
        if (range.code != sensorCode) continue;
        for (int s = 1; s <= range.stages; ++s) {
            if (auto* min = Control<QLabel>(Stage("ms_DPI%1_min", s))) min->setText(range.min);
            if (auto* max = Control<QLabel>(Stage("ms_DPI%1_max", s))) max->setText(range.max);
        }
        return;
    }
}

void MousePage::MarkActiveStage(uint8_t activeStage) {
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

void MousePage::ShowMouseSettings() {
    const bool full = model_.FullRefreshPending();
    const MouseRecord r = model_.Record();
    // 1. The effect, on a full refresh.
    if (full) {
        if (auto* modes = Control<QComboBox>("ms_deng_combo_modeSelect0")) {
            const QSignalBlocker quiet(modes);
            modes->setCurrentIndex(r.lightMode() < modes->count() ? r.lightMode() : -1);
        }
        SelectLightMode(r.lightMode());
    }
    // 2. Report rate.
    if (auto* rate = Control<QComboBox>("ms_report_fct_combo")) {
        const QSignalBlocker quiet(rate);
        rate->setCurrentIndex(r.reportRate() < rate->count() ? r.reportRate() : -1);
    }
    // 3. Brightness and speed.
    if (auto* slider = Control<QSlider>("ms_deng_light_slider")) {
        const QSignalBlocker quiet(slider);
        slider->setValue(r.brightness());
    }
    if (auto* slider = Control<QSlider>("ms_deng_speed_slider")) {
        const QSignalBlocker quiet(slider);
        slider->setValue(4 - r.lightSpeed());
    }
    // 4. The sensor's range labels.
    ShowRangeLabels(model_.Info().SensorCode());
    // 5. Stages: slider, value and colour.
    for (int s = 1; s <= MouseRecord::kStages; ++s) {
        // A stored count above the table has no slider position: the slider shows 0.
        const int steps = r.StageSteps(s - 1) <= kStageSteps ? r.StageSteps(s - 1) : 0;
        if (auto* slider = Control<QSlider>(Stage("ms_DPI%1_slider", s))) {
            const QSignalBlocker quiet(slider);
            slider->setRange(1, kStageSteps);
            slider->setValue(steps);
        }
        if (auto* label = Control<QLabel>(Stage("ms_DPI%1_label_value", s)))
            label->setText(QString::number(steps * MouseRecord::kDpiStep));
        const Rgb c = r.StageColor(s - 1);
        if (QWidget* button = Control(Stage("ms_DPIcolor_btn_%1", s)))
            button->setStyleSheet(QStringLiteral("background-color: rgb(%1, %2, %3);")
                                      .arg(c.red)
                                      .arg(c.green)
                                      .arg(c.blue));
    }
    // 6. The active stage.
    MarkActiveStage(r.activeStage());
    // 7. The single colour.
    const Rgb light = r.lightColor();
    const QRgb argb = qRgba(light.red, light.green, light.blue, 0xFF);
    if (auto* palette = Control<ColorPalette>("ms_deng_Color_Pallet")) {
        const QSignalBlocker quiet(palette);
        palette->SetSelectColor(argb);
    }
    ShowLightColor(argb);
    // 8, 9. Seven colours and direction.
    if (auto* check = Control<QAbstractButton>("ms_Deng_7color_check")) {
        const QSignalBlocker quiet(check);
        check->setChecked(r.sevenColor() != 0);
    }
    auto* left = Control<QAbstractButton>("ms_Deng_FXL_check");
    auto* right = Control<QAbstractButton>("ms_Deng_FXR_check");
    if (left && right) {
        const QSignalBlocker quietLeft(left), quietRight(right);
        left->setChecked(r.lightDirection() != 0);
        right->setChecked(r.lightDirection() == 0);
    }
    // 10. Button labels of the layer in use.
    RefreshButtonLabels(model_.ActiveLayer());
    // 11. On a full refresh: lift-off height and line adjustment are stored again, which sends
    // the record back to the mouse at the next flush.
    if (model_.TakeFullRefresh()) {
        SetLiftHeight(r.liftHeight() == 2 ? 2 : r.liftHeight() == 1 ? 1 : 0);
        if (auto* check = Control<QAbstractButton>("ms_line_adjust")) {
            const QSignalBlocker quiet(check);
            check->setChecked(r.lineAdjust() != 0);
        }
        SetLineAdjust(r.lineAdjust() != 0);
    }
}

void MousePage::RefreshButtonLabels(int layer) {
    const std::vector<std::string> macros =
        macroNames_ ? macroNames_() : std::vector<std::string>{};
    for (int n = 0; n < 8; ++n) {
        const KeyLabel label = MouseButtonLabel(model_.ButtonAssignment(layer, n), macros);
        QWidget* button = Control(QStringLiteral("ms_key_%1").arg(n));
        if (!button) continue;
        switch (label.kind) {
            case KeyLabel::Kind::Unchanged:
                break;
            case KeyLabel::Kind::TextId:
                window_.Ui().SetTextId(button, QString::fromStdString(label.text));
                break;
            case KeyLabel::Kind::MacroName:
                button->setProperty("textId", QVariant());
                if (auto* b = qobject_cast<QAbstractButton*>(button))
                    b->setText(QString::fromStdString(label.text));
                else if (auto* l = qobject_cast<QLabel*>(button))
                    l->setText(QString::fromStdString(label.text));
                break;
        }
    }
}

}  // namespace vq::app
