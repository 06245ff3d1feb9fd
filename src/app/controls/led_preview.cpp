#include "app/controls/led_preview.h"

#include <QHash>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vq::app {

namespace {

QColor WithAlpha(QRgb rgb, int alpha) {
    return QColor(qRed(rgb), qGreen(rgb), qBlue(rgb), std::clamp(alpha, 0, 255));
}

// The middle of a value's 5-bit step (what the eye tells apart on a small spot); 0 and 255 stay.
int Step(int value) {
    return value == 0 || value == 255 ? value : (value & 0xF8) | 0x04;
}

// Pictures of LEDs as they look, shared by every LED of one shape, size and look: a preview
// changes its LEDs many times a second, and drawing a picture costs far less than drawing the
// spot's antialiased shapes. Window's thread only.
struct LookKey {
    int kind = 0;
    int width = 0;
    int height = 0;
    int ratioMilli = 1000;
    QRgb look = 0;  // the stepped colour, alpha the stepped opacity; 0 for an unlit socket
    bool operator==(const LookKey& other) const = default;
};

size_t qHash(const LookKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.kind, key.width, key.height, key.ratioMilli, key.look);
}

constexpr int kMostLooks = 2048;

QHash<LookKey, QImage>& Looks() {
    static QHash<LookKey, QImage> looks;
    return looks;
}

long long looksMade = 0;

}  // namespace

long long CLedPreviewUI::LooksMade() {
    return looksMade;
}

CLedPreviewUI::CLedPreviewUI(QWidget* parent)
    : QWidget(parent),
      socketBrush_(QColor(0x0b, 0x0c, 0x0f)),
      socketPen_(QColor(0x3a, 0x3f, 0x49), 1.0) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    UpdateShapes();
}

void CLedPreviewUI::SetIsChangerColor(bool on) {
    if (changer_ == on) return;
    changer_ = on;
    Repaint();
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
    const QRgb before = Look();
    rgb_ = rgb;
    alpha_ = alpha;
    // A change below what the eye tells apart on the spot is kept but not painted.
    if (changer_ && Look() != before) Repaint();
}

QRgb CLedPreviewUI::Look() const {
    if (!changer_ || alpha_ == 0) return 0;
    return qRgba(Step(qRed(rgb_)), Step(qGreen(rgb_)), Step(qBlue(rgb_)), Step(alpha_));
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
    Repaint();
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

void CLedPreviewUI::Draw(QPainter& painter, QRgb look) const {
    painter.setRenderHint(QPainter::Antialiasing);
    if (kind_ != Kind::Glow) {
        painter.setPen(socketPen_);
        painter.setBrush(socketBrush_);
        if (kind_ == Kind::Bar) {
            painter.drawRoundedRect(socket_, radius_, radius_);
        } else {
            painter.drawEllipse(socket_);
        }
    }
    if (qAlpha(look) == 0) return;
    const int alpha = qAlpha(look);
    // The halo is fainter and the highlight is a white fleck; both follow the opacity.
    painter.setPen(Qt::NoPen);
    painter.setBrush(WithAlpha(look, alpha * 2 / 5));
    if (kind_ == Kind::Bar) {
        painter.drawRoundedRect(halo_, radius_, radius_);
        painter.setBrush(WithAlpha(look, alpha));
        const qreal r = std::max<qreal>(radius_ - 2.0, 1.0);
        painter.drawRoundedRect(core_, r, r);
        return;
    }
    painter.drawEllipse(halo_);
    painter.setBrush(WithAlpha(look, alpha));
    painter.drawEllipse(core_);
    if (kind_ == Kind::Ellipse) {
        painter.setBrush(QColor(255, 255, 255, alpha / 3));
        painter.drawEllipse(shine_);
    }
}

void CLedPreviewUI::SetDrawnBy(CPartsSurfaceUI* surface) {
    drawnBy_ = surface;
    update();
}

bool CLedPreviewUI::DrawnBy(const CPartsSurfaceUI* surface) const {
    return surface && drawnBy_ == surface && surface->Draws(this);
}

void CLedPreviewUI::Repaint() {
    // A preview changes many at once: the surface gathers them into one paint.
    CPartsSurfaceUI::RepaintPart(*this, drawnBy_);
}

void CLedPreviewUI::DrawLook(QPainter& painter) const {
    if (size().isEmpty()) return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QRgb look = Look();
    const LookKey key{static_cast<int>(kind_), width(), height(),
                      static_cast<int>(std::lround(ratio * 1000)), look};
    QHash<LookKey, QImage>& looks = Looks();
    auto it = looks.constFind(key);
    if (it == looks.cend()) {
        QImage picture(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        {
            QPainter p(&picture);
            Draw(p, look);
        }
        if (looks.size() >= kMostLooks) looks.clear();
        ++looksMade;
        it = looks.insert(key, picture);
    }
    painter.drawImage(0, 0, it.value());
}

void CLedPreviewUI::paintEvent(QPaintEvent* /*event*/) {
    ++paints_;
    if (DrawnBy(drawnBy_)) return;
    QPainter painter(this);
    DrawLook(painter);
}

}  // namespace vq::app
