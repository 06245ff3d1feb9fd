#pragma once
// The colour palette dialog: the user picks one colour from the palette "Pallet" or from the
// preset buttons "ms_dpi_color_png_<n>", sees it on "color_show_btn", and confirms with "okbtn"
// (result 1, the colour is then GetColor) or closes the dialog (result 2, the caller keeps its
// colour). Built from the skin's "GmPalletDialog.xml".

#include <QPoint>
#include <QRgb>
#include <QString>

#include <array>
#include <optional>

#include "app/dialogs/skin_dialog.h"

namespace vq::app {

class ColorPalette;

// The 30 preset colours (ARGB) shared by the palette dialog and the device light pages.
inline constexpr std::array<QRgb, 30> kPresetColours = {
    0xFFFF0000, 0xFF00F6FF, 0xFF6CFF00, 0xFF7E00FF, 0xFF008AFF, 0xFF2400FF, 0xFFADFE00, 0xFFFE5400,
    0xFFFE8300, 0xFF8300E7, 0xFFB700AC, 0xFFFEB300, 0xFFFEF500, 0xFFFF0000, 0xFFFF00F6, 0xFF21B309,
    0xFF48B1FA, 0xFFFA48A4, 0xFFFDFDFC, 0xFF4900E7, 0xFFFFC480, 0xFF000000, 0xFF1B48A3, 0xFF1B1A77,
    0xFF4877A3, 0xFF76A348, 0xFFACD55B, 0xFF7576D2, 0xFF7675FF, 0xFF4776A4};

class CPalletDialog : public SkinDialog {
    Q_OBJECT

  public:
    static constexpr int kChosen = 1;
    static constexpr int kClosed = 2;

    // The preset a control name stands for: the name split at its last underscore into the
    // prefix "ms_dpi_color_png_" (any case) and a decimal number within the table.
    static std::optional<int> PresetOfControl(const QString& name);
    // Where the dialog goes for a pointer position: 20 pixels left of and 20 below it.
    static QPoint PlaceForPointer(const QPoint& pointer);

    CPalletDialog(const QString& layoutFile, QRgb initial, QWidget* parent = nullptr);

    // The initial colour, or the chosen one once the dialog ended with 1.
    QRgb GetColor() const { return colour_; }
    // The colour shown now (on "color_show_btn" and the palette).
    QRgb ShownColor() const { return shown_; }

    // Places the dialog beside the pointer and runs it; returns 1 (chosen) or 2 (closed).
    int ShowModal();

  protected:
    void OnClick(const QString& name, QAbstractButton* button) override;
    void reject() override;

  private:
    void ShowColour(QRgb colour);

    QRgb colour_;
    QRgb shown_;
    ColorPalette* palette_ = nullptr;
};

}  // namespace vq::app
