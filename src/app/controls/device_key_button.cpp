#include "app/controls/device_key_button.h"

#include <QPainter>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

#include "app/controls/skin_image.h"

namespace vq::app {

namespace {

QColor Unpack(std::uint32_t packed, int alpha) {
    return QColor(static_cast<int>(packed & 0xFF), static_cast<int>((packed >> 16) & 0xFF),
                  static_cast<int>((packed >> 8) & 0xFF), std::clamp(alpha, 0, 255));
}

}  // namespace

CDeviceKeyButtonUI::CDeviceKeyButtonUI(QWidget* parent) : QPushButton(parent) {
    tintColour_ = Unpack(tint_, tintAlpha_);
}

void CDeviceKeyButtonUI::SetLightImage(const QString& imageString) {
    lightImage_ = imageString;
    imagesLoaded_ = false;
    update();
}

void CDeviceKeyButtonUI::SetKeySetImage(const QString& imageString) {
    keySetImage_ = imageString;
    imagesLoaded_ = false;
    update();
}

void CDeviceKeyButtonUI::SetNameTextColor(const QString& colour) {
    static const QRegularExpression hex(QStringLiteral("^#?[0-9A-Fa-f]{6}([0-9A-Fa-f]{2})?$"));
    if (hex.match(colour.trimmed()).hasMatch()) nameTextColor_ = colour.trimmed();
}

void CDeviceKeyButtonUI::SetLightTint(std::uint32_t packed, int alpha, bool shown) {
    packed &= 0xFFFFFF;
    alpha = std::clamp(alpha, 0, 255);
    if (packed == tint_ && alpha == tintAlpha_ && shown == lightShown_) return;
    const bool visibleChange = shown || lightShown_;
    tint_ = packed;
    tintAlpha_ = alpha;
    lightShown_ = shown;
    tintColour_ = Unpack(tint_, tintAlpha_);
    if (visibleChange) update();
}

void CDeviceKeyButtonUI::SetKeySetHidden(bool hidden) {
    if (hidden == keySetHidden_) return;
    keySetHidden_ = hidden;
    update();
}

void CDeviceKeyButtonUI::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    if (imagesLoaded_) ScaleImages();
}

void CDeviceKeyButtonUI::LoadImages() {
    // Pictures are looked up when first painted, so that a layout may name them before the
    // program has told where the skin's pictures are.
    lightSource_ = LoadSkinImage(lightImage_);
    keySetSource_ = LoadSkinImage(keySetImage_);
    imagesLoaded_ = true;
    ScaleImages();
}

void CDeviceKeyButtonUI::ScaleImages() {
    const QSize s = size();
    lightScaled_ = lightSource_.isNull() || s.isEmpty()
                       ? QPixmap()
                       : lightSource_.scaled(s, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (keySetSource_.isNull() || s.isEmpty()) {
        keySetScaled_ = QPixmap();
    } else {
        // The marker keeps its shape: scaled to the key's height, drawn in the top right corner.
        const int side = std::min(s.width(), s.height());
        keySetScaled_ =
            keySetSource_.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
}

void CDeviceKeyButtonUI::paintEvent(QPaintEvent* /*event*/) {
    ++paints_;
    if (!imagesLoaded_) LoadImages();
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    if (lightShown_ && tintAlpha_ > 0) {
        // The key's LED colour over the cap, then the light picture for its sheen.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(tintColour_);
        painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 3, 3);
        if (!lightScaled_.isNull()) {
            painter.setOpacity(tintAlpha_ / 255.0 * 0.45);
            painter.drawPixmap(0, 0, lightScaled_);
            painter.setOpacity(1.0);
        }
    }
    painter.drawControl(QStyle::CE_PushButtonLabel, option);
    if (!keySetHidden_ && !keySetScaled_.isNull()) {
        painter.drawPixmap(width() - keySetScaled_.width(), 0, keySetScaled_);
    }
}

}  // namespace vq::app
