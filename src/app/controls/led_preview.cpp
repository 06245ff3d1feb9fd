#include "app/controls/led_preview.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace vq::app {

namespace {

QColor WithAlpha(QRgb rgb, int alpha) {
    return QColor(qRed(rgb), qGreen(rgb), qBlue(rgb), std::clamp(alpha, 0, 255));
}

}  // namespace

CLedPreviewUI::CLedPreviewUI(QWidget* parent)
    : QWidget(parent),
      socketBrush_(QColor(0x0b, 0x0c, 0x0f)),
      haloBrush_(Qt::transparent),
      coreBrush_(Qt::transparent),
      shineBrush_(Qt::transparent),
      socketPen_(QColor(0x3a, 0x3f, 0x49), 1.0) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    UpdateShapes();
}

void CLedPreviewUI::SetIsChangerColor(bool on) {
    if (changer_ == on) return;
    changer_ = on;
    update();
}

void CLedPreviewUI::SetChangerColor(std::uint32_t packed) {
    const int red = static_cast<int>(packed & 0xFF);
    const int blue = static_cast<int>((packed >> 8) & 0xFF);
    const int green = static_cast<int>((packed >> 16) & 0xFF);
    Change(qRgb(red, green, blue), alpha_);
}

std::uint32_t CLedPreviewUI::ChangerColor() const {
    return static_cast<std::uint32_t>(qRed(rgb_)) | static_cast<std::uint32_t>(qBlue(rgb_)) << 8 |
           static_cast<std::uint32_t>(qGreen(rgb_)) << 16;
}

void CLedPreviewUI::SetChangerAlpha(int alpha) {
    Change(rgb_, std::clamp(alpha, 0, 255));
}

void CLedPreviewUI::SetLed(QRgb rgb, int alpha) {
    Change(qRgb(qRed(rgb), qGreen(rgb), qBlue(rgb)), std::clamp(alpha, 0, 255));
}

void CLedPreviewUI::Change(QRgb rgb, int alpha) {
    if (rgb == rgb_ && alpha == alpha_) return;
    rgb_ = rgb;
    alpha_ = alpha;
    UpdateBrushes();
    if (changer_) update();
}

void CLedPreviewUI::UpdateBrushes() {
    // The halo is fainter and the highlight is a white fleck; both follow the opacity.
    haloBrush_.setColor(WithAlpha(rgb_, alpha_ * 2 / 5));
    coreBrush_.setColor(WithAlpha(rgb_, alpha_));
    shineBrush_.setColor(QColor(255, 255, 255, alpha_ / 3));
}

QString CLedPreviewUI::Shape() const {
    switch (kind_) {
        case Kind::Bar:
            return QStringLiteral("bar");
        case Kind::Glow:
            return QStringLiteral("glow");
        case Kind::Ellipse:
            break;
    }
    return QStringLiteral("ellipse");
}

void CLedPreviewUI::SetShape(const QString& shape) {
    const QString s = shape.trimmed().toLower();
    kind_ = s == QLatin1String("bar")    ? Kind::Bar
            : s == QLatin1String("glow") ? Kind::Glow
                                         : Kind::Ellipse;
    UpdateShapes();
    update();
}

void CLedPreviewUI::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UpdateShapes();
}

void CLedPreviewUI::UpdateShapes() {
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    socket_ = r;
    halo_ = r;
    const qreal inset = kind_ == Kind::Glow ? std::min(r.width(), r.height()) / 4.0 : 2.0;
    core_ = r.adjusted(inset, inset, -inset, -inset);
    const qreal s = std::min(core_.width(), core_.height()) / 3.0;
    shine_ = QRectF(core_.left() + s * 0.5, core_.top() + s * 0.4, s, s * 0.8);
    radius_ = kind_ == Kind::Bar ? std::min(r.width(), r.height()) / 2.0 : 0;
}

void CLedPreviewUI::paintEvent(QPaintEvent* /*event*/) {
    ++paints_;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool lit = changer_ && alpha_ > 0;
    if (kind_ != Kind::Glow) {
        painter.setPen(socketPen_);
        painter.setBrush(socketBrush_);
        if (kind_ == Kind::Bar) {
            painter.drawRoundedRect(socket_, radius_, radius_);
        } else {
            painter.drawEllipse(socket_);
        }
    }
    if (!lit) return;
    painter.setPen(Qt::NoPen);
    painter.setBrush(haloBrush_);
    if (kind_ == Kind::Bar) {
        painter.drawRoundedRect(halo_, radius_, radius_);
        painter.setBrush(coreBrush_);
        const qreal r = std::max<qreal>(radius_ - 2.0, 1.0);
        painter.drawRoundedRect(core_, r, r);
        return;
    }
    painter.drawEllipse(halo_);
    painter.setBrush(coreBrush_);
    painter.drawEllipse(core_);
    if (kind_ == Kind::Ellipse) {
        painter.setBrush(shineBrush_);
        painter.drawEllipse(shine_);
    }
}

}  // namespace vq::app
