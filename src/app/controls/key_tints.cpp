#include "app/controls/key_tints.h"

#include <QPainter>

#include "app/controls/picture_cache.h"

#include <cmath>
#include <vector>

namespace vq::app {

namespace {

struct ShapeKey {
    int width = 0;
    int height = 0;
    int ratioMilli = 1000;
    QString sheen;
    bool operator==(const ShapeKey& other) const = default;
};

size_t qHash(const ShapeKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.width, key.height, key.ratioMilli, key.sheen);
}

// What stays the same for a key size whatever the colour: the cap face's coverage (0-255 per
// pixel) and the sheen picture, premultiplied; and, for the opacity last asked for, the sheen at
// that opacity and how much of the colour shows through it at each pixel.
struct Shape {
    QImage coverage;               // Format_Alpha8
    QImage sheen;                  // Format_ARGB32_Premultiplied, or null
    int alpha = -1;                // the opacity `lit` and `through` were made for
    std::vector<quint64> lit;      // the sheen at that opacity: a, r, g, b in 16-bit lanes
    std::vector<quint16> through;  // coverage times what the sheen leaves, 0-255
};
struct Cache {
    PictureCache<KeyTints::Key> tints{KeyTints::kMostBytes};
    QHash<ShapeKey, Shape> shapes;
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

Shape MakeShape(QSize size, qreal ratio, const QPixmap& sheen) {
    Shape shape;
    QImage face(size, QImage::Format_ARGB32_Premultiplied);
    face.fill(Qt::transparent);
    {
        QPainter p(&face);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.scale(ratio, ratio);
        const QRectF logical(0, 0, size.width() / ratio, size.height() / ratio);
        p.drawRoundedRect(logical.adjusted(2, 2, -2, -2), 3, 3);
    }
    shape.coverage = face.convertToFormat(QImage::Format_Alpha8);
    if (!sheen.isNull())
        shape.sheen = sheen.toImage()
                          .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                          .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return shape;
}

// Prepares the sheen's part of every pixel for the opacity `a`.
void PrepareOpacity(Shape& shape, int a) {
    if (shape.alpha == a) return;
    shape.alpha = a;
    const QSize size = shape.coverage.size();
    const size_t pixels = static_cast<size_t>(size.width()) * static_cast<size_t>(size.height());
    shape.lit.assign(pixels, 0);
    shape.through.assign(pixels, 0);
    // The sheen at 0.45 of the tint's opacity (0-115).
    const int sheenOpacity = Div255(a * 115);
    const bool sheen = !shape.sheen.isNull();
    size_t i = 0;
    for (int y = 0; y < size.height(); ++y) {
        const uchar* cover = shape.coverage.constScanLine(y);
        const auto* shine =
            sheen ? reinterpret_cast<const QRgb*>(shape.sheen.constScanLine(y)) : nullptr;
        for (int x = 0; x < size.width(); ++x, ++i) {
            int keep = 255;
            if (shine) {
                const QRgb px = shine[x];
                const quint64 sa = static_cast<quint64>(Div255(qAlpha(px) * sheenOpacity));
                keep = 255 - static_cast<int>(sa);
                shape.lit[i] = sa << 48 |
                               static_cast<quint64>(Div255(qRed(px) * sheenOpacity)) << 32 |
                               static_cast<quint64>(Div255(qGreen(px) * sheenOpacity)) << 16 |
                               static_cast<quint64>(Div255(qBlue(px) * sheenOpacity));
            }
            shape.through[i] = static_cast<quint16>(Div255(cover[x] * keep));
        }
    }
}

// Each pixel is the colour (premultiplied) times what shows through, plus the sheen, worked on
// the four components at once in 16-bit lanes of one 64-bit number.
QImage MakeTint(Shape& shape, QRgb colour, qreal ratio) {
    const int a = qAlpha(colour);
    PrepareOpacity(shape, a);
    const QSize size = shape.coverage.size();
    QImage tint(size, QImage::Format_ARGB32_Premultiplied);
    tint.setDevicePixelRatio(ratio);
    const quint64 premultiplied = static_cast<quint64>(a) << 48 |
                                  static_cast<quint64>(Div255(qRed(colour) * a)) << 32 |
                                  static_cast<quint64>(Div255(qGreen(colour) * a)) << 16 |
                                  static_cast<quint64>(Div255(qBlue(colour) * a));
    constexpr quint64 kOnes = 0x0001000100010001ULL;
    constexpr quint64 kLow = 0x00FF00FF00FF00FFULL;
    size_t i = 0;
    for (int y = 0; y < size.height(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(tint.scanLine(y));
        for (int x = 0; x < size.width(); ++x, ++i) {
            // Each lane: component * through <= 255 * 255, then / 255 rounded down.
            const quint64 v = premultiplied * shape.through[i];
            const quint64 q = ((v + kOnes + ((v >> 8) & kLow)) >> 8) & kLow;
            const quint64 sum = q + shape.lit[i];
            out[x] = static_cast<QRgb>((sum >> 24 & 0xFF000000u) | (sum >> 16 & 0x00FF0000u) |
                                       (sum >> 8 & 0x0000FF00u) | (sum & 0x000000FFu));
        }
    }
    return tint;
}

}  // namespace

size_t qHash(const KeyTints::Key& key, size_t seed) {
    return qHashMulti(seed, key.width, key.height, key.ratioMilli, key.sheen, key.colour);
}

QImage KeyTints::Get(QSize size, qreal ratio, const QPixmap& sheen, const QString& sheenName,
                     QColor colour) {
    if (size.isEmpty()) return {};
    // The middle of the colour's 5-bit step.
    auto step = [](int component) { return (component & 0xF8) | 0x04; };
    const QRgb quantised =
        qRgba(step(colour.red()), step(colour.green()), step(colour.blue()),
              colour.alpha() == 255 ? 255 : (colour.alpha() == 0 ? 0 : step(colour.alpha())));
    const int ratioMilli = static_cast<int>(std::lround(ratio * 1000));
    const QString sheenKey = sheen.isNull() ? QString() : sheenName;
    Cache& cache = TheCache();
    const Key key{size.width(), size.height(), ratioMilli, sheenKey, quantised};
    return cache.tints.Get(key, [&] {
        const ShapeKey shapeKey{size.width(), size.height(), ratioMilli, sheenKey};
        auto shape = cache.shapes.find(shapeKey);
        if (shape == cache.shapes.end())
            shape = cache.shapes.insert(shapeKey, MakeShape(size, ratio, sheen));
        return MakeTint(shape.value(), quantised, ratio);
    });
}

long long KeyTints::Made() {
    return TheCache().tints.Made();
}

int KeyTints::Held() {
    return TheCache().tints.Held();
}

qsizetype KeyTints::HeldBytes() {
    return TheCache().tints.HeldBytes();
}

void KeyTints::Clear() {
    TheCache().tints.Clear();
    TheCache().shapes.clear();
}

}  // namespace vq::app
