#include "app/controls/device_key_button.h"

#include <QEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

#include "app/controls/key_tints.h"
#include "app/controls/parts_surface.h"
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
    Repaint();
}

void CDeviceKeyButtonUI::SetKeySetImage(const QString& imageString) {
    keySetImage_ = imageString;
    imagesLoaded_ = false;
    Repaint();
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
    if (visibleChange) Repaint();
}

void CDeviceKeyButtonUI::SetKeySetHidden(bool hidden) {
    if (hidden == keySetHidden_) return;
    keySetHidden_ = hidden;
    ++lookVersion_;
    Repaint();
}

void CDeviceKeyButtonUI::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    if (imagesLoaded_) ScaleImages();
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

void CDeviceKeyButtonUI::UpdateCapCache(qreal ratio) {
    // The states that change how the style draws a key (what initStyleOption would set of them),
    // worked out without building the style option, which costs more than the drawing.
    int state = 0;
    if (isEnabled()) state |= QStyle::State_Enabled;
    if (hasFocus()) state |= QStyle::State_HasFocus;
    if (underMouse()) state |= QStyle::State_MouseOver;
    if (isDown()) state |= QStyle::State_Sunken;
    if (isChecked()) state |= QStyle::State_On;
    if (state == capState_ && size() == capSize_ && ratio == capRatio_ && text() == capText_)
        return;
    QStyleOptionButton option;
    initStyleOption(&option);
    ++lookVersion_;
    if (ratio != capRatio_) tintDirty_ = true;
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

// The tint over the cap: its colour in the rounded shape of the cap's face, with the sheen.
const QImage& CDeviceKeyButtonUI::Tint() {
    if (tintDirty_) {
        const qreal ratio = capRatio_ > 0 ? capRatio_ : devicePixelRatioF();
        tintImage_ = KeyTints::Get(size() * ratio, ratio, lightScaled_, lightImage_, tintColour_);
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
    ++lookVersion_;
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

void CDeviceKeyButtonUI::SetDrawnBy(CPartsSurfaceUI* surface) {
    drawnBy_ = surface;
    update();
}

void CDeviceKeyButtonUI::Repaint() {
    // A preview changes many at once: the surface gathers them into one paint.
    CPartsSurfaceUI::RepaintPart(*this, drawnBy_);
}

bool CDeviceKeyButtonUI::DrawnBy(const CPartsSurfaceUI* surface) const {
    return surface && drawnBy_ == surface && surface->Draws(this);
}

void CDeviceKeyButtonUI::paintEvent(QPaintEvent* /*event*/) {
    ++paints_;
    if (DrawnBy(drawnBy_)) return;
    QPainter painter(this);
    DrawKey(painter);
}

int CDeviceKeyButtonUI::PrepareLook(qreal ratio) {
    if (!imagesLoaded_) LoadImages();
    UpdateCapCache(ratio);
    return lookVersion_;
}

void CDeviceKeyButtonUI::DrawKey(QPainter& painter) {
    PrepareLook(devicePixelRatioF());
    DrawCap(painter);
    DrawLight(painter);
    DrawLabel(painter);
}

void CDeviceKeyButtonUI::DrawCap(QPainter& painter) const {
    painter.drawPixmap(0, 0, capCache_);
}

void CDeviceKeyButtonUI::DrawLight(QPainter& painter) {
    // The key's LED colour over the cap, with the light picture's sheen.
    if (lightShown_ && tintAlpha_ > 0) painter.drawImage(0, 0, Tint());
}

void CDeviceKeyButtonUI::DrawLabel(QPainter& painter) const {
    painter.drawPixmap(0, 0, labelCache_);
    if (!keySetHidden_ && !keySetScaled_.isNull())
        painter.drawPixmap(width() - keySetScaled_.width(), 0, keySetScaled_);
}

}  // namespace vq::app
