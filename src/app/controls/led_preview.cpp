#include "app/controls/led_preview.h"

#include <QHash>
#include <QPaintEvent>
#include <QPainter>

#include "app/controls/picture_cache.h"

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

// What stays the same for a spot's shape and size whatever it shows: the unlit socket, and how
// much of each lit shape covers each pixel (0-255).
struct ShapeKey {
    int kind = 0;
    int width = 0;
    int height = 0;
    int ratioMilli = 1000;
    bool operator==(const ShapeKey& other) const = default;
};

size_t qHash(const ShapeKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.kind, key.width, key.height, key.ratioMilli);
}

struct LedShape {
    QImage socket;  // premultiplied colours
    QImage halo;    // coverage (alpha only), as the core and the highlight
    QImage core;
    QImage shine;
};

QHash<ShapeKey, LedShape>& Shapes() {
    static QHash<ShapeKey, LedShape> shapes;
    return shapes;
}

// `colour` at opacity `alpha` over `picture` wherever `coverage` covers it, rounded as the
// raster engine's antialiased fill of the shape rounds.
void Over(QImage& picture, const QImage& coverage, QRgb colour, int alpha) {
    if (alpha <= 0) return;
    const int red = Round255(qRed(colour) * alpha);
    const int green = Round255(qGreen(colour) * alpha);
    const int blue = Round255(qBlue(colour) * alpha);
    for (int y = 0; y < picture.height(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(picture.scanLine(y));
        const uchar* cover = coverage.constScanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            const int c = cover[x];
            if (c == 0) continue;
            const int a = Round255(alpha * c);
            const int keep = 255 - a;
            const QRgb px = out[x];
            out[x] = qRgba(Round255(red * c) + Round255(qRed(px) * keep),
                           Round255(green * c) + Round255(qGreen(px) * keep),
                           Round255(blue * c) + Round255(qBlue(px) * keep),
                           a + Round255(qAlpha(px) * keep));
        }
    }
}

// The colour cycle of the light sync shows about 190 colours in turn on each size of LED.
PictureCache<LookKey>& Looks() {
    static PictureCache<LookKey> looks(8 * 1024 * 1024);
    return looks;
}

}  // namespace

long long CLedPreviewUI::LooksMade() {
    return Looks().Made();
}

int CLedPreviewUI::LooksHeld() {
    return Looks().Held();
}

qsizetype CLedPreviewUI::LooksHeldBytes() {
    return Looks().HeldBytes();
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

void CLedPreviewUI::DrawLayer(QPainter& painter, Layer layer, const QBrush& brush) const {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(layer == Layer::Socket ? socketPen_ : QPen(Qt::NoPen));
    painter.setBrush(brush);
    switch (layer) {
        case Layer::Socket:
            if (kind_ == Kind::Bar)
                painter.drawRoundedRect(socket_, radius_, radius_);
            else if (kind_ == Kind::Ellipse)
                painter.drawEllipse(socket_);
            break;
        case Layer::Halo:
            if (kind_ == Kind::Bar)
                painter.drawRoundedRect(halo_, radius_, radius_);
            else
                painter.drawEllipse(halo_);
            break;
        case Layer::Core:
            if (kind_ == Kind::Bar) {
                const qreal r = std::max<qreal>(radius_ - 2.0, 1.0);
                painter.drawRoundedRect(core_, r, r);
            } else {
                painter.drawEllipse(core_);
            }
            break;
        case Layer::Shine:
            if (kind_ == Kind::Ellipse) painter.drawEllipse(shine_);
            break;
    }
}

void CLedPreviewUI::PaintShapes(QPainter& painter) const {
    DrawLayer(painter, Layer::Socket, socketBrush_);
    const QRgb look = Look();
    const int alpha = qAlpha(look);
    if (alpha == 0) return;
    // The halo is fainter and the highlight is a white fleck; both follow the opacity.
    DrawLayer(painter, Layer::Halo, WithAlpha(look, alpha * 2 / 5));
    DrawLayer(painter, Layer::Core, WithAlpha(look, alpha));
    DrawLayer(painter, Layer::Shine, QColor(255, 255, 255, alpha / 3));
}

QImage CLedPreviewUI::MakeLook(QRgb look, qreal ratio) const {
    const ShapeKey shapeKey{static_cast<int>(kind_), width(), height(),
                            static_cast<int>(std::lround(ratio * 1000))};
    auto shape = Shapes().constFind(shapeKey);
    if (shape == Shapes().cend()) {
        LedShape made;
        auto layer = [&](Layer which, const QBrush& brush) {
            QImage picture(size() * ratio, QImage::Format_ARGB32_Premultiplied);
            picture.setDevicePixelRatio(ratio);
            picture.fill(Qt::transparent);
            {
                QPainter p(&picture);
                DrawLayer(p, which, brush);
            }
            return picture;
        };
        made.socket = layer(Layer::Socket, socketBrush_);
        made.halo = layer(Layer::Halo, Qt::white).convertToFormat(QImage::Format_Alpha8);
        made.core = layer(Layer::Core, Qt::white).convertToFormat(QImage::Format_Alpha8);
        made.shine = layer(Layer::Shine, Qt::white).convertToFormat(QImage::Format_Alpha8);
        shape = Shapes().insert(shapeKey, made);
    }
    QImage picture = shape->socket.copy();
    picture.setDevicePixelRatio(ratio);
    const int alpha = qAlpha(look);
    if (alpha == 0) return picture;
    Over(picture, shape->halo, look, alpha * 2 / 5);
    Over(picture, shape->core, look, alpha);
    Over(picture, shape->shine, qRgb(255, 255, 255), alpha / 3);
    return picture;
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
    painter.drawImage(0, 0, Looks().Get(key, [&] { return MakeLook(look, ratio); }));
}

void CLedPreviewUI::paintEvent(QPaintEvent* /*event*/) {
    ++paints_;
    if (DrawnBy(drawnBy_)) return;
    QPainter painter(this);
    DrawLook(painter);
}

}  // namespace vq::app
