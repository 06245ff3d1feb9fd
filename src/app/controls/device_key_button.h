#pragma once
// A key of the on-screen keyboard. Besides being a button it shows the key's light (a tint of the
// key's LED colour at an opacity, drawn through the "lightimage") and, when the key has been given
// another function, the "keysetimage" marker over it.
//
// The light preview calls SetLightTint for every key many times a second: a call that changes
// nothing does not repaint, and painting reuses pictures made once per size and state (the cap
// and its label as the style draws them, the shape of the tint), so that a frame of the preview
// costs a few picture copies per key instead of drawing the style's rounded, shaded cap again.

#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>

class QPainter;
class QStyleOptionButton;

#include <cstdint>

#include "app/controls/parts_surface.h"

namespace vq::app {

class CDeviceKeyButtonUI : public QPushButton {
    Q_OBJECT
    // Image strings ("file='kb/key_light.png'") of the light overlay and the key-set marker.
    Q_PROPERTY(QString lightimage READ LightImage WRITE SetLightImage)
    Q_PROPERTY(QString keysetimage READ KeySetImage WRITE SetKeySetImage)
    // Accepted for layouts that carry it; not used.
    Q_PROPERTY(QString gmnametextcolor READ NameTextColor WRITE SetNameTextColor)

  public:
    explicit CDeviceKeyButtonUI(QWidget* parent = nullptr);

    QString LightImage() const { return lightImage_; }
    void SetLightImage(const QString& imageString);
    QString KeySetImage() const { return keySetImage_; }
    void SetKeySetImage(const QString& imageString);
    QString NameTextColor() const { return nameTextColor_; }
    // A hexadecimal colour with an optional "#"; anything else is ignored.
    void SetNameTextColor(const QString& colour);

    // The light tint: colour packed as red | blue << 8 | green << 16 (default 255, red), alpha
    // (default 200) and whether the light is shown (default false).
    void SetLightTint(std::uint32_t packed, int alpha, bool shown);
    std::uint32_t LightTintColor() const { return tint_; }
    int LightTintAlpha() const { return tintAlpha_; }
    bool LightShown() const { return lightShown_; }

    // Hides or shows the key-set marker (default hidden); repaints only when the flag changes.
    void SetKeySetHidden(bool hidden);
    bool KeySetHidden() const { return keySetHidden_; }

    int PaintCount() const { return paints_; }

    // Draws the key as it looks now (cap, light, label, marker) with the painter's origin at the
    // key's top left corner. The key paints itself this way unless a surface under it does.
    void DrawKey(QPainter& painter);
    // The same in layers, for a surface that keeps the caps and the labels of all its keys as
    // pictures and draws only the lights at every paint. PrepareLook brings the cap and label
    // pictures up to date with the key's state and returns a number that changes whenever
    // they change (`ratio`: the device pixel ratio the key is drawn at); the three layers then
    // draw them.
    int PrepareLook(qreal ratio);
    void DrawCap(QPainter& painter) const;
    void DrawLight(QPainter& painter);
    void DrawLabel(QPainter& painter) const;
    // The surface that draws this key (a CKeySurfaceUI over it), or none: the key draws itself.
    // While drawn there the key's own paint draws nothing and its repaints go to the surface.
    void SetDrawnBy(CPartsSurfaceUI* surface);
    // True while `surface` draws the key: it was given, is shown, shares the key's parent and
    // covers the whole key.
    bool DrawnBy(const CPartsSurfaceUI* surface) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // Asks for the key to be drawn again (by itself or by its surface).
    void Repaint();
    void LoadImages();
    void ScaleImages();
    // The cap and label pictures for the button's state now (made again when it changed).
    void UpdateCapCache(qreal ratio);
    const QImage& Tint();

    QString lightImage_;
    QString keySetImage_;
    QString nameTextColor_;
    QPixmap lightSource_;
    QPixmap keySetSource_;
    QPixmap lightScaled_;
    QPixmap keySetScaled_;
    std::uint32_t tint_ = 255;
    int tintAlpha_ = 200;
    bool lightShown_ = false;
    bool keySetHidden_ = true;
    bool imagesLoaded_ = false;
    int paints_ = 0;
    QColor tintColour_;
    QPixmap capCache_;
    QPixmap labelCache_;
    int capState_ = -1;
    QString capText_;
    QSize capSize_;
    qreal capRatio_ = 0;
    QImage tintImage_;
    bool tintDirty_ = true;
    int lookVersion_ = 0;
    QPointer<CPartsSurfaceUI> drawnBy_;
};

}  // namespace vq::app
