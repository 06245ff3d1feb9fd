#include "app/pages/mouse_light_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <array>

#include "app/controls/color_palette.h"
#include "app/device_hub.h"
#include "core/mouse/mouse_facts.h"

namespace vq::app {

namespace {

void SetChecked(QAbstractButton* button, bool on) {
    if (!button) return;
    const QSignalBlocker quiet(button);
    button->setChecked(on);
}

}  // namespace

void MouseLightPage::Register() {
    NotifyRouter& router = Router();
    router.On("itemselect", "ms_deng_combo_modeSelect0",
              [this](const Notification& n) { ChooseLightMode(n.index); });
    router.On("valuechanged", "ms_deng_light_slider", [this](const Notification& n) {
        if (auto* slider = qobject_cast<QSlider*>(n.widget.data()))
            hub_.Mouse().SetBrightness(slider->value());
    });
    router.On("valuechanged", "ms_deng_speed_slider", [this](const Notification& n) {
        if (auto* slider = qobject_cast<QSlider*>(n.widget.data()))
            hub_.Mouse().SetLightSpeed(slider->value());
    });
    router.On("colorchanged", "ms_deng_Color_Pallet", [this](const Notification& n) {
        if (auto* palette = qobject_cast<ColorPalette*>(n.widget.data()))
            ChooseColour(palette->SelectColor());
    });
    router.On("selectchanged", "ms_Deng_7color_check", [this](const Notification& n) {
        if (auto* check = qobject_cast<QAbstractButton*>(n.widget.data()))
            hub_.Mouse().SetSevenColor(check->isChecked());
    });
    for (const char* name : {"ms_Deng_FXL_check", "ms_Deng_FXR_check"})
        router.On("selectchanged", name,
                  [this, left = QString(name) == "ms_Deng_FXL_check"](const Notification& n) {
                      auto* check = qobject_cast<QAbstractButton*>(n.widget.data());
                      if (!check || !check->isChecked()) return;
                      SetChecked(Control<QAbstractButton>(left ? "ms_Deng_FXR_check"
                                                               : "ms_Deng_FXL_check"),
                                 false);
                      hub_.Mouse().SetLightDirection(left);
                  });
}

void MouseLightPage::ChooseColour(QRgb argb) {
    ShowLightColor(argb);
    SetChecked(Control<QAbstractButton>("ms_Deng_7color_check"), false);
    hub_.Mouse().SetLightColor(Rgb{static_cast<uint8_t>(qRed(argb)),
                                   static_cast<uint8_t>(qGreen(argb)),
                                   static_cast<uint8_t>(qBlue(argb))});
}

void MouseLightPage::ChooseLightMode(int mode) {
    if (!LightModeLayoutOf(mode)) return;
    // What the choice does to the seven-colour flag shows at once; the controller stores it.
    MouseRecord preview = hub_.Mouse().Model().Record();
    ApplyLightMode(preview, mode);
    LayOutMode(mode, preview.sevenColor());
    hub_.Mouse().SetLightMode(mode);
}

void MouseLightPage::LayOutMode(int mode, uint8_t sevenColour) {
    const std::optional<LightModeLayout> row = LightModeLayoutOf(mode);
    if (!row) return;
    ShowControls({"ms_deng_light_label", "ms_deng_light_slider"}, row->brightness);
    ShowControls({"ms_deng_speed_label", "ms_deng_speed_slider"}, row->speed);
    ShowControls(
        {"ms_Deng_label_Color_dp", "ms_Deng_colordp_btn", "ms_Deng_label_R", "ms_Deng_edit_R",
         "ms_Deng_label_G", "ms_Deng_edit_G", "ms_Deng_label_B", "ms_Deng_edit_B"},
        row->colour);
    ShowControls({"ms_Deng_7color_check", "ms_Deng_label_7color"}, row->sevenColour);
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16, 17, 18})
        if (QWidget* preset = Control(QStringLiteral("ms_Deng_color_btn_%1").arg(n)))
            preset->setVisible(row->presets);
    ShowControls({"ms_Deng_FX_label", "ms_Deng_FXL_check", "ms_Deng_label_FXL", "ms_Deng_FXR_check",
                  "ms_Deng_label_FXR"},
                 row->fx);
    ShowControls({"ms_deng_Color_Pallet_layout"}, row->palette);
    if (QWidget* same = Control("ms_deng_same_mode")) same->setEnabled(true);
    SetChecked(Control<QAbstractButton>("ms_Deng_7color_check"), sevenColour != 0);
}

void MouseLightPage::ShowLightColor(QRgb argb) {
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

void MouseLightPage::Show(const MouseRecord& r, bool relayout) {
    if (relayout) {
        if (auto* modes = Control<QComboBox>("ms_deng_combo_modeSelect0")) {
            const QSignalBlocker quiet(modes);
            modes->setCurrentIndex(r.lightMode() < modes->count() ? r.lightMode() : -1);
        }
        LayOutMode(r.lightMode(), r.sevenColor());
    }
    if (auto* slider = Control<QSlider>("ms_deng_light_slider")) {
        const QSignalBlocker quiet(slider);
        slider->setValue(r.brightness());
    }
    if (auto* slider = Control<QSlider>("ms_deng_speed_slider")) {
        const QSignalBlocker quiet(slider);
        slider->setValue(SliderFromLightSpeed(r.lightSpeed()));
    }
    const Rgb light = r.lightColor();
    const QRgb argb = qRgba(light.red, light.green, light.blue, 0xFF);
    if (auto* palette = Control<ColorPalette>("ms_deng_Color_Pallet")) {
        const QSignalBlocker quiet(palette);
        palette->SetSelectColor(argb);
    }
    ShowLightColor(argb);
    SetChecked(Control<QAbstractButton>("ms_Deng_7color_check"), r.sevenColor() != 0);
    SetChecked(Control<QAbstractButton>("ms_Deng_FXL_check"), r.lightDirection() != 0);
    SetChecked(Control<QAbstractButton>("ms_Deng_FXR_check"), r.lightDirection() == 0);
}

}  // namespace vq::app
