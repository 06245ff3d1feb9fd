#include "app/pages/light_colour_fields.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QSignalBlocker>
#include <array>
#include <utility>

#include "app/controls/color_palette.h"
#include "app/controls/skin_image.h"
#include "app/main_window.h"
#include "core/mouse/light_page_rules.h"

namespace vq::app {

QRgb Argb(Rgb colour) {
    return qRgba(colour.red, colour.green, colour.blue, 0xFF);
}

Rgb RgbOf(QRgb argb) {
    return {static_cast<uint8_t>(qRed(argb)), static_cast<uint8_t>(qGreen(argb)),
            static_cast<uint8_t>(qBlue(argb))};
}

LightColourFields::LightColourFields(CMainWnd& window, QString prefix)
    : window_(window), prefix_(std::move(prefix)) {}

void LightColourFields::Register(std::function<void(QRgb)> chosen, std::function<void(QRgb)> typed,
                                 std::function<QString()> display) {
    display_ = std::move(display);
    NotifyRouter& router = window_.Router();
    router.On("colorchanged", Name("%1_deng_Color_Pallet"), [chosen](const Notification& n) {
        if (auto* palette = qobject_cast<ColorPalette*>(n.widget.data()))
            chosen(palette->SelectColor() | 0xFF000000u);
    });
    for (int n = 1; n <= 18; ++n)
        if (const std::optional<Rgb> preset = LightPresetColour(n))
            router.On("click", Name("%1_Deng_color_btn_%2").arg(n),
                      [chosen, c = Argb(*preset)](const Notification&) { chosen(c); });
    const std::array<std::pair<const char*, int>, 3> fields = {
        {{"%1_Deng_edit_R", 16}, {"%1_Deng_edit_G", 8}, {"%1_Deng_edit_B", 0}}};
    for (const auto& [suffix, shift] : fields)
        router.On("textchanged", Name(suffix),
                  [this, typed, edit = Name(suffix), shift = shift](const Notification&) {
                      if (const std::optional<QRgb> colour = TakeComponent(shift, edit))
                          typed(*colour);
                  });
}

QString LightColourFields::Display() const {
    return display_ ? display_() : Name("%1_Deng_colordp_btn");
}

void LightColourFields::ShowFields(QRgb argb) const {
    if (QWidget* display = window_.Control(Display())) {
        SetBkImage(display, QString());
        SetBkColor(display, argb | 0xFF000000u);
    }
    const std::array<std::pair<const char*, int>, 3> fields = {{{"%1_Deng_edit_R", qRed(argb)},
                                                                {"%1_Deng_edit_G", qGreen(argb)},
                                                                {"%1_Deng_edit_B", qBlue(argb)}}};
    for (const auto& [suffix, value] : fields)
        if (auto* edit = window_.Control<QLineEdit>(Name(suffix))) {
            const QSignalBlocker quiet(edit);
            edit->setText(QString::number(value));
        }
}

void LightColourFields::ShowPalette(QRgb argb) const {
    if (auto* palette = window_.Control<ColorPalette>(Name("%1_deng_Color_Pallet"))) {
        const QSignalBlocker quiet(palette);
        palette->SetSelectColor(argb | 0xFF000000u);
    }
}

void LightColourFields::ClearSevenColour() const {
    if (auto* check = window_.Control<QAbstractButton>(Name("%1_Deng_7color_check"))) {
        const QSignalBlocker quiet(check);
        check->setChecked(false);
    }
}

// One component typed into its field: at most 255 (a larger number is corrected in the field);
// the display and the palette take the display's colour with that component replaced.
std::optional<QRgb> LightColourFields::TakeComponent(int shift, const QString& editName) const {
    auto* edit = window_.Control<QLineEdit>(editName);
    if (!edit) return std::nullopt;
    if (const std::optional<std::string> corrected = LimitColourText(edit->text().toStdString())) {
        const QSignalBlocker quiet(edit);
        edit->setText(QString::fromStdString(*corrected));
        edit->setCursorPosition(static_cast<int>(edit->text().size()));
    }
    const uint8_t component = ColourComponent(edit->text().toStdString());
    QWidget* display = window_.Control(Display());
    QRgb argb = display ? BkColor(display) : 0;
    argb = (argb & ~(0xFFu << shift)) | (QRgb{component} << shift) | 0xFF000000u;
    if (display) {
        SetBkImage(display, QString());
        SetBkColor(display, argb);
    }
    ShowPalette(argb);
    return argb;
}

}  // namespace vq::app
