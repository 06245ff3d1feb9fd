#include "app/pages/mouse_light_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <array>

#include "app/controls/color_palette.h"
#include "app/controls/skin_image.h"
#include "app/device_hub.h"
#include "core/mouse/light_page_rules.h"
#include "core/mouse/mouse_facts.h"

namespace vq::app {

namespace {

void SetChecked(QAbstractButton* button, bool on) {
    if (!button) return;
    const QSignalBlocker quiet(button);
    button->setChecked(on);
}

}  // namespace

MouseLightPage::MouseLightPage(CMainWnd& window, DeviceHub& hub)
    : PageBase(window, hub), animator_(std::make_unique<MouseLightAnimator>(window, hub.Mouse())) {}

MouseLightPage::~MouseLightPage() = default;

void MouseLightPage::Register() {
    // The picture is animated once its page exists, and only while it can be seen.
    QObject::connect(&window_.Ui(), &SkinUi::PageBuilt, &window_, [this](QWidget* page) {
        if (page->findChild<QWidget*>(QStringLiteral("ms_dkey_0"))) animator_->Attach(page);
    });
    if (QWidget* led = window_.BuiltControl("ms_dkey_0")) animator_->Attach(led->parentWidget());
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
                      animator_->Reset();
                  });
    // The arrow buttons: the left one gives direction 0, the right one 1 (the mouse's own
    // sense of the two); the options show where that leaves the effect.
    router.On("click", "ms_Deng_FXL_btn", [this](const Notification&) {
        hub_.Mouse().StepLightDirection(0);
        ShowDirection(false);
    });
    router.On("click", "ms_Deng_FXR_btn", [this](const Notification&) {
        hub_.Mouse().StepLightDirection(1);
        ShowDirection(true);
    });
    for (int list : {1, 2})
        router.On("itemselect", QStringLiteral("ms_deng_combo_modeSelect%1").arg(list),
                  [this, list](const Notification& n) { ChooseAlternativeMode(list, n.index); });
    for (int n = 1; n <= 18; ++n)
        if (const std::optional<Rgb> preset = LightPresetColour(n))
            router.On("click", QStringLiteral("ms_Deng_color_btn_%1").arg(n),
                      [this, c = *preset](const Notification&) {
                          ChooseColour(qRgba(c.red, c.green, c.blue, 0xFF));
                      });
    router.On("textchanged", "ms_Deng_edit_R",
              [this](const Notification&) { EditComponent(16, "ms_Deng_edit_R"); });
    router.On("textchanged", "ms_Deng_edit_G",
              [this](const Notification&) { EditComponent(8, "ms_Deng_edit_G"); });
    router.On("textchanged", "ms_Deng_edit_B",
              [this](const Notification&) { EditComponent(0, "ms_Deng_edit_B"); });
}

void MouseLightPage::ShowDirection(bool left) {
    SetChecked(Control<QAbstractButton>("ms_Deng_FXL_check"), left);
    SetChecked(Control<QAbstractButton>("ms_Deng_FXR_check"), !left);
}

// One component typed into its field: at most 255; the colour preview, the palette and the
// record take the colour with that component replaced.
void MouseLightPage::EditComponent(int shift, const char* editName) {
    auto* edit = Control<QLineEdit>(editName);
    if (!edit) return;
    if (const std::optional<std::string> corrected = LimitColourText(edit->text().toStdString())) {
        const QSignalBlocker quiet(edit);
        edit->setText(QString::fromStdString(*corrected));
        edit->setCursorPosition(static_cast<int>(edit->text().size()));
    }
    const uint8_t component = ColourComponent(edit->text().toStdString());
    QWidget* preview = Control("ms_Deng_colordp_btn");
    QRgb argb = preview ? BkColor(preview) : 0;
    argb = (argb & ~(0xFFu << shift)) | (QRgb{component} << shift) | 0xFF000000u;
    if (preview) {
        SetBkImage(preview, QString());
        SetBkColor(preview, argb);
    }
    if (auto* palette = Control<ColorPalette>("ms_deng_Color_Pallet")) {
        const QSignalBlocker quiet(palette);
        palette->SetSelectColor(argb);
    }
    SetChecked(Control<QAbstractButton>("ms_Deng_7color_check"), false);
    hub_.Mouse().SetLightColor(Rgb{static_cast<uint8_t>(qRed(argb)),
                                   static_cast<uint8_t>(qGreen(argb)),
                                   static_cast<uint8_t>(qBlue(argb))});
}

void MouseLightPage::ChooseAlternativeMode(int list, int mode) {
    const std::optional<AlternativeModeLayout> row = AlternativeModeLayoutOf(list, mode);
    if (!row) return;
    animator_->Reset();
    auto enable = [this](const char* name, bool on) {
        if (QWidget* w = Control(name)) w->setEnabled(on);
    };
    enable("ms_deng_fx_layout", row->fx);
    enable("ms_deng_color_layout", row->colour);
    enable("ms_deng_7colorselect_layout", row->sevenColour);
    enable("ms_deng_speed_layout", row->speed);
    enable("ms_deng_same_mode", row->sameMode);
    if (row->showsFxAndSpeed) {
        ShowControls({"ms_deng_fx_layout"}, row->fx);
        ShowControls({"ms_deng_speed_layout"}, true);
    }
    hub_.Mouse().SetLightModeFromList(mode);
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
    animator_->Reset();
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
    if (QWidget* preview = Control("ms_Deng_colordp_btn")) {
        SetBkImage(preview, QString());
        SetBkColor(preview, argb | 0xFF000000u);
    }
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
