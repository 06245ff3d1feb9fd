#include "app/pages/mouse_light_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QSignalBlocker>
#include <QSlider>

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
    : PageBase(window, hub),
      colours_(window, QStringLiteral("ms")),
      animator_(std::make_unique<MouseLightAnimator>(window, hub.Mouse())) {}

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
    colours_.Register([this](QRgb argb) { ChooseColour(argb); },
                      [this](QRgb argb) {
                          colours_.ClearSevenColour();
                          hub_.Mouse().SetLightColor(RgbOf(argb));
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
}

void MouseLightPage::ShowDirection(bool left) {
    SetChecked(Control<QAbstractButton>("ms_Deng_FXL_check"), left);
    SetChecked(Control<QAbstractButton>("ms_Deng_FXR_check"), !left);
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
    colours_.ShowFields(argb);
    colours_.ClearSevenColour();
    hub_.Mouse().SetLightColor(RgbOf(argb));
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
    const QRgb argb = Argb(r.lightColor());
    colours_.ShowPalette(argb);
    colours_.ShowFields(argb);
    SetChecked(Control<QAbstractButton>("ms_Deng_7color_check"), r.sevenColor() != 0);
    SetChecked(Control<QAbstractButton>("ms_Deng_FXL_check"), r.lightDirection() != 0);
    SetChecked(Control<QAbstractButton>("ms_Deng_FXR_check"), r.lightDirection() == 0);
}

}  // namespace vq::app
