#include "app/dialogs/palette_dialog.h"

#include <QAbstractButton>
#include <QCursor>

#include "app/controls/color_palette.h"
#include "app/controls/skin_image.h"
#include "core/util/log.h"

namespace vq::app {

std::optional<int> CPalletDialog::PresetOfControl(const QString& name) {
    const qsizetype cut = name.lastIndexOf(QLatin1Char('_'));
    if (cut < 0) return std::nullopt;
    if (name.left(cut + 1).compare(QLatin1String("ms_dpi_color_png_"), Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    bool ok = false;
    const int number = name.mid(cut + 1).toInt(&ok, 10);
    if (!ok || number < 0 || number >= static_cast<int>(kPresetColours.size())) {
        return std::nullopt;
    }
    return number;
}

QPoint CPalletDialog::PlaceForPointer(const QPoint& pointer) {
    return pointer + QPoint(-20, 20);
}

CPalletDialog::CPalletDialog(const QString& layoutFile, QRgb initial, QWidget* parent)
    : SkinDialog(layoutFile, parent), colour_(initial), shown_(initial) {
    setWindowTitle(QStringLiteral("Volmir调色板"));
    setObjectName(QStringLiteral("UIPalletDialog"));
    setModal(true);
    palette_ = Control<ColorPalette>(QStringLiteral("Pallet"));
    if (palette_ != nullptr) {
        connect(palette_, &ColorPalette::colorChanged, this,
                [this](QRgb picked) { ShowColour(picked); });
    }
    ShowColour(initial);
}

void CPalletDialog::ShowColour(QRgb colour) {
    shown_ = colour;
    if (auto* show = Control<QWidget>(QStringLiteral("color_show_btn"))) {
        SetBkImage(show, QString());
        SetBkColor(show, colour);
    }
    if (palette_ != nullptr && palette_->SelectColor() != colour) palette_->SetSelectColor(colour);
}

int CPalletDialog::ShowModal() {
    move(PlaceForPointer(QCursor::pos()));
    return exec();
}

void CPalletDialog::OnClick(const QString& name, QAbstractButton* /*button*/) {
    if (name == QLatin1String("closebtn")) {
        CloseWith(kClosed);
        return;
    }
    if (name == QLatin1String("okbtn")) {
        if (palette_ == nullptr) {
            CloseWith(kClosed);
            return;
        }
        colour_ = palette_->SelectColor();
        if (auto* show = Control<QWidget>(QStringLiteral("color_show_btn"))) {
            SetBkColor(show, colour_);
        }
        CloseWith(kChosen);
        return;
    }
    if (const std::optional<int> preset = PresetOfControl(name)) {
        Log(LogLevel::Debug, "hongse");
        ShowColour(kPresetColours[static_cast<std::size_t>(*preset)]);
    }
}

void CPalletDialog::reject() {
    // Escape or the window system's close: the same as the close button.
    CloseWith(kClosed);
}

}  // namespace vq::app
