#include "app/pages/keyboard_light_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QSignalBlocker>
#include <QSlider>

#include "app/controls/color_palette.h"
#include "app/controls/device_key_button.h"
#include "app/controls/key_surface.h"
#include "app/controls/key_tints.h"
#include "app/device_hub.h"
#include "core/mouse/light_page_rules.h"

namespace vq::app {

namespace {

constexpr QRgb kSingleColourShown = 0xFF00F6FF;

void SetChecked(QAbstractButton* button, bool on) {
    if (!button) return;
    const QSignalBlocker quiet(button);
    button->setChecked(on);
}

const char* ModeListOf(KeyboardVariant variant) {
    return variant == KeyboardVariant::SingleColour ? "kb_deng_onecolor_combo_modeSelect"
                                                    : "kb_deng_combo_modeSelect";
}

}  // namespace

KeyboardLightPage::KeyboardLightPage(CMainWnd& window, DeviceHub& hub)
    : PageBase(window, hub), colours_(window, QStringLiteral("kb")) {
    light::LightShared& shared = hub.Light();
    painter_ = std::make_unique<LightPreviewPainter>(
        window, [&shared](bool on) { shared.keyboardPreview.SetVisible(on); },
        [this] { PaintPreview(); }, [this] { HidePreview(); },
        // Most keys change with each picture (one surface draws them): 15 pictures a second are
        // smooth enough for a preview and keep the shown page near 1 % of a core.
        std::chrono::milliseconds(66));
    // Set before the light threads start.
    shared.keyboardPreview.SetListener([this] { painter_->RequestPaint(); });
}

KeyboardLightPage::~KeyboardLightPage() = default;

void KeyboardLightPage::Register() {
    auto attach = [this](QWidget* page) {
        if (QWidget* area = page->findChild<QWidget*>(QStringLiteral("kb_deng_layout")))
            painter_->Attach(area);
    };
    QObject::connect(&window_.Ui(), &SkinUi::PageBuilt, &window_, attach);
    if (QWidget* area = window_.BuiltControl("kb_deng_layout")) painter_->Attach(area);

    NotifyRouter& router = Router();
    for (const char* list : {"kb_deng_combo_modeSelect", "kb_deng_onecolor_combo_modeSelect"})
        router.On("itemselect", list, [this](const Notification& n) { ChooseMode(n.index); });
    router.On("valuechanged", "kb_deng_light_slider", [this](const Notification& n) {
        if (auto* slider = qobject_cast<QSlider*>(n.widget.data()))
            hub_.Keyboard().SetBrightness(slider->value());
    });
    router.On("valuechanged", "kb_deng_speed_slider", [this](const Notification& n) {
        if (auto* slider = qobject_cast<QSlider*>(n.widget.data()))
            hub_.Keyboard().SetLightSpeedFromSlider(slider->value());
    });
    colours_.Register([this](QRgb argb) { SetColour(argb, true); },
                      [this](QRgb argb) { TakeTypedColour(argb); },
                      [this] {
                          return QString::fromLatin1(CustomShown() ? "kb_Deng_custom_colordp_btn"
                                                                   : "kb_Deng_colordp_btn");
                      });
    router.On("selectchanged", "kb_Deng_7color_check", [this](const Notification& n) {
        if (auto* check = qobject_cast<QAbstractButton*>(n.widget.data()))
            hub_.Keyboard().SetColourful(check->isChecked());
    });
    for (const char* name : {"kb_Deng_FXL_check", "kb_Deng_FXR_check"})
        router.On("selectchanged", name,
                  [this, first = QString(name) == "kb_Deng_FXL_check"](const Notification&) {
                      SetChecked(Control<QAbstractButton>("kb_Deng_FXL_check"), first);
                      SetChecked(Control<QAbstractButton>("kb_Deng_FXR_check"), !first);
                      hub_.Keyboard().SetDirection(first);
                  });
    router.On("selectchanged", "kb_Deng_all_bright_check", [this](const Notification&) {
        SetChecked(Control<QAbstractButton>("kb_Deng_all_bright_check"), true);
        SetChecked(Control<QAbstractButton>("kb_Deng_all_kill_check"), false);
        hub_.Keyboard().LightAllLeds();
    });
    router.On("selectchanged", "kb_Deng_all_kill_check", [this](const Notification&) {
        SetChecked(Control<QAbstractButton>("kb_Deng_all_kill_check"), true);
        SetChecked(Control<QAbstractButton>("kb_Deng_all_bright_check"), false);
        hub_.Keyboard().DarkenAllLeds();
    });
    router.On("itemselect", "kb_deng_combo_curtom_count",
              [this](const Notification& n) { hub_.Keyboard().SetCustomSlot(n.index); });
    router.On("click", "kb_deng_same_mode",
              [this](const Notification&) { hub_.StartLightSync(1); });
}

bool KeyboardLightPage::CustomShown() const {
    const KeyboardVariant variant = hub_.Keyboard().Model().Variant();
    auto* modes = Control<QComboBox>(ModeListOf(variant));
    return modes && modes->currentIndex() == CustomModeOf(variant);
}

void KeyboardLightPage::ShowCustomTools(bool custom) {
    ShowControls(
        {"kb_deng_fx_layout", "kb_deng_7colorselect_layout", "kb_deng_color_display_layout"},
        !custom);
    ShowControls({"kb_deng_custom_tool_layout", "kb_deng_custom_select_layout",
                  "kb_deng_custom_color_layout"},
                 custom);
}

void KeyboardLightPage::ApplyLayout(const LightPageLayout& row, KeyboardVariant variant) {
    auto enable = [this](const char* name, bool on) {
        if (QWidget* w = Control(name)) w->setEnabled(on);
    };
    enable("kb_deng_fx_layout", row.fx);
    enable("kb_deng_color_layout", row.colour);
    enable("kb_deng_7colorselect_layout", row.colourful);
    if (row.speed != ControlState::Unchanged)
        enable("kb_deng_speed_layout", row.speed == ControlState::On);
    enable("kb_deng_same_mode", row.sync);
    if (row.labelFirst)
        if (QWidget* label = Control("kb_Deng_label_FXL"))
            window_.Ui().SetTextId(label, QString::fromLatin1(row.labelFirst));
    if (row.labelSecond)
        if (QWidget* label = Control("kb_Deng_label_FXR"))
            window_.Ui().SetTextId(label, QString::fromLatin1(row.labelSecond));
    ShowCustomTools(row.custom);
    if (row.custom && variant == KeyboardVariant::SingleColour) {
        enable("kb_deng_custom_select_layout", true);
        enable("kb_deng_rgb_layout", false);
        enable("kb_deng_color_lump", false);
    }
}

void KeyboardLightPage::ChooseMode(int mode) {
    const KeyboardModel& model = hub_.Keyboard().Model();
    const KeyboardVariant variant = model.Variant();
    const std::optional<LightPageLayout> row = KeyboardModeLayout(variant, mode);
    if (!row) return;
    // The single-colour keyboard takes every device out of the light sync.
    if (variant == KeyboardVariant::SingleColour) {
        hub_.Mouse().Session().SetLightSync(false);
        hub_.Mousepad().Session().SetLightSync(false);
    }
    hub_.KeyboardLight().RestartEffect();
    QRgb colour = variant == KeyboardVariant::FullColour ? Argb(model.Light().colour) : 0;
    ApplyLayout(*row, variant);
    if (row->custom && variant == KeyboardVariant::FullColour) colour = Argb(model.CustomColour());
    if (auto* palette = Control<ColorPalette>("kb_deng_Color_Pallet")) {
        const QSignalBlocker quiet(palette);
        palette->SetSelectColor(colour);
    }
    SetColour(colour, false);
    hub_.Keyboard().SetLightMode(mode);
}

void KeyboardLightPage::Show() {
    const KeyboardModel& model = hub_.Keyboard().Model();
    const KeyboardVariant variant = model.Variant();
    const LightSettings s = model.Light();
    const bool single = variant == KeyboardVariant::SingleColour;
    ShowControls({"kb_deng_combo_modeSelect"}, !single);
    ShowControls({"kb_deng_onecolor_combo_modeSelect"}, single);
    if (auto* modes = Control<QComboBox>(ModeListOf(variant))) {
        const QSignalBlocker quiet(modes);
        modes->setCurrentIndex(s.mode < modes->count() ? s.mode : -1);
    }
    const std::optional<LightPageLayout> row = KeyboardModeLayout(variant, s.mode, true);
    if (row)
        ApplyLayout(*row, variant);
    else
        ShowCustomTools(false);
    if (auto* slider = Control<QSlider>("kb_deng_light_slider")) {
        const QSignalBlocker quiet(slider);
        slider->setValue(s.brightness);
    }
    if (auto* slider = Control<QSlider>("kb_deng_speed_slider")) {
        const QSignalBlocker quiet(slider);
        slider->setValue(4 - s.speed);
    }
    QRgb colour = kSingleColourShown;
    if (!single) colour = Argb(s.mode == 8 ? model.CustomColour() : s.colour);
    if (auto* palette = Control<ColorPalette>("kb_deng_Color_Pallet")) {
        const QSignalBlocker quiet(palette);
        palette->SetSelectColor(colour);
        palette->setEnabled(!single);
    }
    SetColour(colour, false);
    SetChecked(Control<QAbstractButton>("kb_Deng_7color_check"), !single && s.colourful != 0);
    SetChecked(Control<QAbstractButton>("kb_Deng_FXL_check"), s.direction != 0);
    SetChecked(Control<QAbstractButton>("kb_Deng_FXR_check"), s.direction == 0);
    if (auto* slotList = Control<QComboBox>("kb_deng_combo_curtom_count")) {
        const QSignalBlocker quiet(slotList);
        const int slot = model.CustomSlot();
        slotList->setCurrentIndex(slot < slotList->count() ? slot : -1);
    }
}

void KeyboardLightPage::SetColour(QRgb argb, bool store) {
    colours_.ShowFields(argb);
    colours_.ShowPalette(argb);
    if (!store) return;
    if (CustomShown()) {
        hub_.Keyboard().SetCustomColour(RgbOf(argb));
        return;
    }
    colours_.ClearSevenColour();
    hub_.Keyboard().SetLightColour(RgbOf(argb), true);
}

// One component typed into its field. In the custom effect it changes the painting colour
// (profiles saved); otherwise the single colour (the record marked, no profile saved).
void KeyboardLightPage::TakeTypedColour(QRgb argb) {
    if (CustomShown()) {
        hub_.Keyboard().SetCustomColour(RgbOf(argb));
        return;
    }
    colours_.ClearSevenColour();
    hub_.Keyboard().SetLightColour(RgbOf(argb), false);
}

void KeyboardLightPage::PaintKey(int button) {
    if (button < 0 || button >= kKeyboardButtons) return;
    if (hub_.Keyboard().Model().Light().mode == kReactiveMode) {
        hub_.KeyboardLight().PressKey(button);
        return;
    }
    hub_.Keyboard().PaintButton(button);
}

CDeviceKeyButtonUI* KeyboardLightPage::Key(int button) {
    // Looked up until the page is built, then kept.
    if (!keys_[0]) {
        std::vector<CDeviceKeyButtonUI*> found;
        for (int b = 0; b < kKeyboardButtons; ++b) {
            keys_[static_cast<size_t>(b)] =
                window_.BuiltControl<CDeviceKeyButtonUI>(QStringLiteral("kb_key_%1").arg(b));
            found.push_back(keys_[static_cast<size_t>(b)]);
        }
        // The preview changes most keys for each picture: one widget draws them all.
        if (keys_[0] && !surface_) surface_ = CKeySurfaceUI::Attach(found);
    }
    return keys_[static_cast<size_t>(button)];
}

void KeyboardLightPage::PaintPreview() {
    const auto picture = hub_.Light().keyboardPreview.Picture();
    for (int b = 0; b < kKeyboardButtons; ++b)
        if (CDeviceKeyButtonUI* key = Key(b)) {
            const light::LightCell& cell = picture[static_cast<size_t>(b)];
            key->SetLightTint(light::PreviewColourValue(cell), cell.level, true);
        }
}

void KeyboardLightPage::HidePreview() {
    // The key page shows the keys without their lights, and no key needs the tints until the
    // lights show again.
    for (int b = 0; b < kKeyboardButtons; ++b)
        if (CDeviceKeyButtonUI* key = Key(b))
            key->SetLightTint(key->LightTintColor(), key->LightTintAlpha(), false);
    KeyTints::Clear();
}

}  // namespace vq::app
