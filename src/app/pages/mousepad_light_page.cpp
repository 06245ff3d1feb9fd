#include "app/pages/mousepad_light_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <array>

#include "app/controls/color_palette.h"
#include "app/controls/led_preview.h"
#include "app/controls/skin_image.h"
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

Rgb RgbOf(QRgb argb) {
    return {static_cast<uint8_t>(qRed(argb)), static_cast<uint8_t>(qGreen(argb)),
            static_cast<uint8_t>(qBlue(argb))};
}

}  // namespace

MousepadLightPage::MousepadLightPage(CMainWnd& window, DeviceHub& hub) : PageBase(window, hub) {
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
    router.On("colorchanged", "mp_deng_Color_Pallet", [this](const Notification& n) {
        if (auto* palette = qobject_cast<ColorPalette*>(n.widget.data()))
            ChooseColour(palette->SelectColor());
    });
    for (int n = 1; n <= 18; ++n)
        if (const std::optional<Rgb> preset = LightPresetColour(n))
            router.On("click", QStringLiteral("mp_Deng_color_btn_%1").arg(n),
                      [this, c = *preset](const Notification&) {
                          ChooseColour(qRgba(c.red, c.green, c.blue, 0xFF));
                      });
    router.On("textchanged", "mp_Deng_edit_R",
              [this](const Notification&) { EditComponent(16, "mp_Deng_edit_R"); });
    router.On("textchanged", "mp_Deng_edit_G",
              [this](const Notification&) { EditComponent(8, "mp_Deng_edit_G"); });
    router.On("textchanged", "mp_Deng_edit_B",
              [this](const Notification&) { EditComponent(0, "mp_Deng_edit_B"); });
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
    const std::optional<LightModeLayout> row = MousepadModeLayout(mode);
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
    if (const std::optional<LightModeLayout> row = MousepadModeLayout(s.mode)) {
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
    const QRgb argb = qRgba(s.colour.red, s.colour.green, s.colour.blue, 0xFF);
    if (auto* palette = Control<ColorPalette>("mp_deng_Color_Pallet")) {
        const QSignalBlocker quiet(palette);
        palette->SetSelectColor(argb);
    }
    ShowColour(argb);
    SetChecked(Control<QAbstractButton>("mp_Deng_7color_check"), s.colourful != 0);
    SetChecked(Control<QAbstractButton>("mp_Deng_FXL_check"), s.direction != 0);
    SetChecked(Control<QAbstractButton>("mp_Deng_FXR_check"), s.direction == 0);
}

void MousepadLightPage::ShowColour(QRgb argb) {
    if (QWidget* display = Control("mp_Deng_colordp_btn")) {
        SetBkImage(display, QString());
        SetBkColor(display, argb | 0xFF000000u);
    }
    const std::array<std::pair<const char*, int>, 3> edits = {{{"mp_Deng_edit_R", qRed(argb)},
                                                               {"mp_Deng_edit_G", qGreen(argb)},
                                                               {"mp_Deng_edit_B", qBlue(argb)}}};
    for (const auto& [name, value] : edits)
        if (auto* edit = Control<QLineEdit>(name)) {
            const QSignalBlocker quiet(edit);
            edit->setText(QString::number(value));
        }
}

void MousepadLightPage::ChooseColour(QRgb argb) {
    ShowColour(argb);
    if (auto* palette = Control<ColorPalette>("mp_deng_Color_Pallet")) {
        const QSignalBlocker quiet(palette);
        palette->SetSelectColor(argb | 0xFF000000u);
    }
    SetChecked(Control<QAbstractButton>("mp_Deng_7color_check"), false);
    hub_.Mousepad().SetLightColour(RgbOf(argb), true);
}

void MousepadLightPage::EditComponent(int shift, const char* editName) {
    auto* edit = Control<QLineEdit>(editName);
    if (!edit) return;
    if (const std::optional<std::string> corrected = LimitColourText(edit->text().toStdString())) {
        const QSignalBlocker quiet(edit);
        edit->setText(QString::fromStdString(*corrected));
        edit->setCursorPosition(static_cast<int>(edit->text().size()));
    }
    const uint8_t component = ColourComponent(edit->text().toStdString());
    QWidget* display = Control("mp_Deng_colordp_btn");
    QRgb argb = display ? BkColor(display) : 0;
    argb = (argb & ~(0xFFu << shift)) | (QRgb{component} << shift) | 0xFF000000u;
    if (display) {
        SetBkImage(display, QString());
        SetBkColor(display, argb);
    }
    if (auto* palette = Control<ColorPalette>("mp_deng_Color_Pallet")) {
        const QSignalBlocker quiet(palette);
        palette->SetSelectColor(argb);
    }
    SetChecked(Control<QAbstractButton>("mp_Deng_7color_check"), false);
    hub_.Mousepad().SetLightColour(RgbOf(argb), true);
}

void MousepadLightPage::PaintPreview() {
    const auto picture = hub_.Light().mousepadPreview.Picture();
    for (size_t z = 0; z < picture.size(); ++z)
        if (auto* led = window_.BuiltControl<CLedPreviewUI>(QStringLiteral("mp_dkey_%1").arg(z))) {
            led->SetChangerColor(light::PreviewColourValue(picture[z]));
            led->SetChangerAlpha(picture[z].level);
        }
}

}  // namespace vq::app
