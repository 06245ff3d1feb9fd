#pragma once
// Skin pictures and control colours as the pages set them.
//
// Pages name pictures with image strings of the form "file='ms/key_left_normal.png'" (or a bare
// relative name); a name is looked up in the current skin (SkinUi::ResolveImage). The build
// renders every SVG of the skin to a PNG of the same name, and a PNG name that is missing falls
// back to the SVG beside it, so both spellings find the picture in a skin folder taken straight
// from the sources.

#include <QColor>
#include <QPixmap>
#include <QString>

class QWidget;

namespace vq::app {

// The file name inside an image string: "file='a/b.png' corner='2,2,2,2'" gives "a/b.png"; a
// string without file='...' is returned trimmed. An empty string gives an empty name.
QString ImageStringFile(const QString& imageString);

// Absolute path of a picture name in the current skin (absolute names are kept); a missing
// ".png" falls back to the ".svg" of the same name. Empty when neither exists.
QString ResolveSkinImage(const QString& name);

// Loads a picture by image string or name; a null pixmap when it cannot be found or read.
QPixmap LoadSkinImage(const QString& imageString);

// Shows a picture on a control: a QLabel gets it as its pixmap, a button as its icon; an empty
// string clears it. The image string is kept in the dynamic property "bkimage".
void SetBkImage(QWidget* control, const QString& imageString);
QString BkImage(const QWidget* control);

// The background colour of a control (a colour swatch, a preview button, a stage colour button):
// kept in the dynamic property "bkcolor" and applied through the control's own style sheet, so
// that the application's style sheet still draws its border and shape.
void SetBkColor(QWidget* control, QRgb argb);
// The colour set last; a control never set reads its "background-color" from its style sheet, and
// 0 when it has none.
QRgb BkColor(const QWidget* control);

}  // namespace vq::app
