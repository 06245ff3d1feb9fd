#include "app/pages/mousepad_light_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QSignalBlocker>
#include <QSlider>

#include "app/controls/led_preview.h"
#include "app/device_hub.h"
#include "core/keyboard/light_page_layouts.h"
#include "core/mouse/light_page_rules.h"

namespace vq::app {

namespace {

void SetChecked(QAbstractButton* button, bool on) {
    if (!button) return;
    const QSignalBlocker quiet(button);
    button->setChecked(on);
}

}  // namespace

MousepadLightPage::MousepadLightPage(CMainWnd& window, DeviceHub& hub)
    : PageBase(window, hub),
      colours_(window, QStringLiteral("mp")),
      zones_(window, QStringLiteral("mp_dkey_")) {
    light::LightShared& shared = hub.Light();
    painter_ = std::make_unique<LightPreviewPainter>(
        window, [&shared](bool on) { shared.mousepadPreview.SetVisible(on); },
        [this] { PaintPreview(); });
    shared.mousepadPreview.SetListener([this] { painter_->RequestPaint(); });
}

MousepadLightPage::~MousepadLightPage() = default;

void MousepadLightPage::Register() {
    auto attach = [this](QWidget* page) {
        if (QWidget* area = page->findChild<QWidget*>(QStringLiteral("mp_deng_preview")))
            painter_->Attach(area);
    };
    QObject::connect(&window_.Ui(), &SkinUi::PageBuilt, &window_, attach);
    if (QWidget* area = window_.BuiltControl("mp_deng_preview")) painter_->Attach(area);

    NotifyRouter& router = Router();
    router.On("itemselect", "mp_deng_combo_modeSelect",
              [this](const Notification& n) { ChooseMode(n.index); });
    router.On("valuechanged", "mp_deng_light_slider", [this](const Notification& n) {
        if (auto* slider = qobject_cast<QSlider*>(n.widget.data()))
            hub_.Mousepad().SetBrightness(slider->value());
    });
    router.On("valuechanged", "mp_deng_speed_slider", [this](const Notification& n) {
        if (auto* slider = qobject_cast<QSlider*>(n.widget.data()))
            hub_.Mousepad().SetLightSpeedFromSlider(slider->value());
    });
    colours_.Register([this](QRgb argb) { ChooseColour(argb); },
                      [this](QRgb argb) {
                          colours_.ClearSevenColour();
                          hub_.Mousepad().SetLightColour(RgbOf(argb), true);
                      });
    router.On("selectchanged", "mp_Deng_7color_check", [this](const Notification& n) {
        if (auto* check = qobject_cast<QAbstractButton*>(n.widget.data()))
            hub_.Mousepad().SetColourful(check->isChecked());
    });
    for (const char* name : {"mp_Deng_FXL_check", "mp_Deng_FXR_check"})
        router.On("selectchanged", name,
                  [this, first = QString(name) == "mp_Deng_FXL_check"](const Notification&) {
                      SetChecked(Control<QAbstractButton>("mp_Deng_FXL_check"), first);
                      SetChecked(Control<QAbstractButton>("mp_Deng_FXR_check"), !first);
                      hub_.Mousepad().SetDirection(first);
                  });
    router.On("click", "mp_deng_same_mode",
              [this](const Notification&) { hub_.StartLightSync(3); });
    router.On("click", "mp_one_profile_default",
              [this](const Notification&) { hub_.Mousepad().FactoryReset(); });
}

void MousepadLightPage::ChooseMode(int mode) {
    const std::optional<LightPageLayout> row = MousepadModeLayout(mode);
    if (!row) return;
    hub_.MousepadLight().RestartEffect();
    auto enable = [this](const char* name, bool on) {
        if (QWidget* w = Control(name)) w->setEnabled(on);
    };
    enable("mp_deng_fx_layout", row->fx);
    enable("mp_deng_color_layout", row->colour);
    enable("mp_deng_7colorselect_layout", row->colourful);
    if (row->speed != ControlState::Unchanged)
        enable("mp_deng_speed_layout", row->speed == ControlState::On);
    enable("mp_deng_same_mode", row->sync);
    hub_.Mousepad().SetLightMode(mode);
}

void MousepadLightPage::Show() {
    const LightSettings s = hub_.Mousepad().Model().Light();
    if (auto* modes = Control<QComboBox>("mp_deng_combo_modeSelect")) {
        const QSignalBlocker quiet(modes);
        modes->setCurrentIndex(s.mode < modes->count() ? s.mode : -1);
    }
    if (const std::optional<LightPageLayout> row = MousepadModeLayout(s.mode)) {
        auto enable = [this](const char* name, bool on) {
            if (QWidget* w = Control(name)) w->setEnabled(on);
        };
        enable("mp_deng_fx_layout", row->fx);
        enable("mp_deng_color_layout", row->colour);
        enable("mp_deng_7colorselect_layout", row->colourful);
        if (row->speed != ControlState::Unchanged)
            enable("mp_deng_speed_layout", row->speed == ControlState::On);
        enable("mp_deng_same_mode", row->sync);
    }
    if (auto* slider = Control<QSlider>("mp_deng_light_slider")) {
        const QSignalBlocker quiet(slider);
        slider->setValue(s.brightness);
    }
    if (auto* slider = Control<QSlider>("mp_deng_speed_slider")) {
        const QSignalBlocker quiet(slider);
        slider->setValue(4 - s.speed);
    }
    const QRgb argb = Argb(s.colour);
    colours_.ShowPalette(argb);
    colours_.ShowFields(argb);
    SetChecked(Control<QAbstractButton>("mp_Deng_7color_check"), s.colourful != 0);
    SetChecked(Control<QAbstractButton>("mp_Deng_FXL_check"), s.direction != 0);
    SetChecked(Control<QAbstractButton>("mp_Deng_FXR_check"), s.direction == 0);
}

void MousepadLightPage::ChooseColour(QRgb argb) {
    colours_.ShowFields(argb);
    colours_.ShowPalette(argb);
    colours_.ClearSevenColour();
    hub_.Mousepad().SetLightColour(RgbOf(argb), true);
}

void MousepadLightPage::PaintPreview() {
    const auto picture = hub_.Light().mousepadPreview.Picture();
    for (size_t z = 0; z < picture.size(); ++z)
        if (CLedPreviewUI* led = zones_.At(z)) {
            led->SetChangerColor(light::PreviewColourValue(picture[z]));
            led->SetChangerAlpha(picture[z].level);
        }
}

}  // namespace vq::app
