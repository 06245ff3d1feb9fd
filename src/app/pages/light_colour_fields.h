#pragma once
// The colour controls that every lighting page has, named by the device's prefix ("ms", "kb",
// "mp"): the palette "<p>_deng_Color_Pallet", the 18 preset swatches "<p>_Deng_color_btn_<n>",
// the component fields "<p>_Deng_edit_R", "_G" and "_B" (each at most 255), the colour display
// "<p>_Deng_colordp_btn" and the seven-colour check "<p>_Deng_7color_check". The page decides what
// a colour does to its device; this shows colours and turns the user's picks into colours.

#include <QRgb>
#include <QString>
#include <functional>
#include <optional>

#include "core/mouse/mouse_record.h"

namespace vq::app {

class CMainWnd;

// A device colour as the controls show it (opaque), and back.
QRgb Argb(Rgb colour);
Rgb RgbOf(QRgb argb);

class LightColourFields {
  public:
    LightColourFields(CMainWnd& window, QString prefix);

    // The user's picks: `chosen` gets the colour of the palette or of a swatch, `typed` the
    // colour with one component typed into its field (the display and the palette already show
    // it then). `display` names the colour display the fields work on (the page's own unless
    // it gives another, as the keyboard's custom effect does).
    void Register(std::function<void(QRgb)> chosen, std::function<void(QRgb)> typed,
                  std::function<QString()> display = {});

    // Shows `argb` in the colour display and the three fields, without any event.
    void ShowFields(QRgb argb) const;
    // Shows `argb` on the palette, without any event.
    void ShowPalette(QRgb argb) const;
    // Unchecks the seven-colour check, without any event.
    void ClearSevenColour() const;
    // The display the fields work on now.
    QString Display() const;

  private:
    std::optional<QRgb> TakeComponent(int shift, const QString& editName) const;
    // A control's name from its pattern ("%1" the device's prefix).
    QString Name(const char* pattern) const { return QString::fromLatin1(pattern).arg(prefix_); }

    CMainWnd& window_;
    QString prefix_;
    std::function<QString()> display_;
};

}  // namespace vq::app
