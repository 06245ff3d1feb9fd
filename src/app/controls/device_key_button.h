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
#include <QPushButton>

class QStyleOptionButton;

#include <cstdint>

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

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void LoadImages();
    void ScaleImages();
    // The cap and label pictures for the button's state now (made again when it changed).
    void UpdateCapCache(const QStyleOptionButton& option);
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
    QImage tintMask_;
    QImage tintImage_;
    bool tintDirty_ = true;
};

}  // namespace vq::app
