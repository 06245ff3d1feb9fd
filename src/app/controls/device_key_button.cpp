#include "app/controls/device_key_button.h"

#include <QEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>

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
    // A change below what the eye tells apart on a key (the low 3 bits of a component or of the
    // opacity) is not taken: in slow effects most keys then stay as they are from one picture
    // to the next.
    const bool seen = shown != lightShown_ || ((packed ^ tint_) & 0xF8F8F8u) != 0 ||
                      ((alpha ^ tintAlpha_) & 0xF8) != 0;
    if (!seen && shown) return;
    const bool visibleChange = shown || lightShown_;
    tint_ = packed;
    tintAlpha_ = alpha;
    lightShown_ = shown;
    tintColour_ = Unpack(tint_, tintAlpha_);
    tintDirty_ = true;
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
    tintMask_ = QImage();
    tintDirty_ = true;
}

void CDeviceKeyButtonUI::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    switch (event->type()) {
        case QEvent::StyleChange:
        case QEvent::PaletteChange:
        case QEvent::FontChange:
            capState_ = -1;  // the style draws the cap differently now
            break;
        default:
            break;
    }
}

void CDeviceKeyButtonUI::UpdateCapCache(const QStyleOptionButton& option) {
    const int state = static_cast<int>(
        option.state & (QStyle::State_MouseOver | QStyle::State_Sunken | QStyle::State_Enabled |
                        QStyle::State_On | QStyle::State_HasFocus));
    const qreal ratio = devicePixelRatioF();
    if (state == capState_ && size() == capSize_ && ratio == capRatio_ && text() == capText_)
        return;
    capState_ = state;
    capSize_ = size();
    capRatio_ = ratio;
    capText_ = text();
    auto draw = [&](QStyle::ControlElement element) {
        QPixmap picture(capSize_ * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter p(&picture);
        style()->drawControl(element, &option, &p, this);
        return picture;
    };
    capCache_ = draw(QStyle::CE_PushButtonBevel);
    labelCache_ = draw(QStyle::CE_PushButtonLabel);
}

// The tint over the cap: its colour in the rounded shape of the cap's face.
const QImage& CDeviceKeyButtonUI::Tint() {
    const qreal ratio = devicePixelRatioF();
    if (tintMask_.isNull()) {
        tintMask_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        tintMask_.setDevicePixelRatio(ratio);
        tintMask_.fill(Qt::transparent);
        QPainter p(&tintMask_);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 3, 3);
        tintDirty_ = true;
    }
    if (tintDirty_) {
        tintImage_ = tintMask_;
        QPainter p(&tintImage_);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(tintImage_.rect(), tintColour_);
        // The light picture for the sheen, as bright as the key's light.
        if (!lightScaled_.isNull()) {
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            p.setOpacity(tintAlpha_ / 255.0 * 0.45);
            p.drawPixmap(0, 0, lightScaled_);
        }
        tintDirty_ = false;
    }
    return tintImage_;
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
    tintDirty_ = true;
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
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    UpdateCapCache(option);
    painter.drawPixmap(0, 0, capCache_);
    if (lightShown_ && tintAlpha_ > 0) {
        // The key's LED colour over the cap, with the light picture's sheen.
        painter.drawImage(0, 0, Tint());
    }
    painter.drawPixmap(0, 0, labelCache_);
    if (!keySetHidden_ && !keySetScaled_.isNull()) {
        painter.drawPixmap(width() - keySetScaled_.width(), 0, keySetScaled_);
    }
}

}  // namespace vq::app
