#include "app/controls/color_palette.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace vq::app {

namespace {

constexpr int kBarHeight = 12;
constexpr int kGap = 6;
constexpr int kRadius = 6;

}  // namespace

ColorPalette::ColorPalette(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    SetSelectColor(selected_);
}

QRect ColorPalette::FieldRect() const {
    return QRect(0, 0, width(), std::max(1, height() - kBarHeight - kGap));
}

QRect ColorPalette::BarRect() const {
    return QRect(0, height() - kBarHeight, width(), kBarHeight);
}

void ColorPalette::SetSelectColor(QRgb argb) {
    const QColor c = QColor::fromRgb(argb);
    int h = 0;
    int s = 0;
    int v = 0;
    c.getHsv(&h, &s, &v);
    // Greys have no hue: keep the one shown.
    if (h >= 0) hue_ = h;
    if (v > 0) saturation_ = s;
    const bool valueChanged = v != value_;
    value_ = v;
    selected_ = 0xFF000000u | (argb & 0xFFFFFFu);
    if (valueChanged || field_.isNull()) RebuildField();
    RebuildBar();
    update();
}

void ColorPalette::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RebuildField();
    RebuildBar();
}

void ColorPalette::RebuildField() {
    const QRect r = FieldRect();
    if (r.width() <= 0 || r.height() <= 0) return;
    if (field_.size() != r.size()) field_ = QImage(r.size(), QImage::Format_RGB32);
    const int w = r.width();
    const int h = r.height();
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(field_.scanLine(y));
        const int s = h > 1 ? 255 - y * 255 / (h - 1) : 255;
        for (int x = 0; x < w; ++x) {
            const int hue = w > 1 ? x * 359 / (w - 1) : 0;
            line[x] = QColor::fromHsv(hue, s, value_).rgb();
        }
    }
}

void ColorPalette::RebuildBar() {
    const QRect r = BarRect();
    if (r.width() <= 0) return;
    if (bar_.size() != r.size()) bar_ = QImage(r.size(), QImage::Format_RGB32);
    const int w = r.width();
    for (int x = 0; x < w; ++x) {
        const int v = w > 1 ? x * 255 / (w - 1) : 255;
        const QRgb c = QColor::fromHsv(hue_, saturation_, v).rgb();
        for (int y = 0; y < r.height(); ++y) {
            reinterpret_cast<QRgb*>(bar_.scanLine(y))[x] = c;
        }
    }
}

void ColorPalette::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect fr = FieldRect();
    const QRect br = BarRect();
    QPainterPath fieldClip;
    fieldClip.addRoundedRect(QRectF(fr), kRadius, kRadius);
    p.setClipPath(fieldClip);
    p.drawImage(fr.topLeft(), field_);
    p.setClipping(false);
    QPainterPath barClip;
    barClip.addRoundedRect(QRectF(br), br.height() / 2.0, br.height() / 2.0);
    p.setClipPath(barClip);
    p.drawImage(br.topLeft(), bar_);
    p.setClipping(false);

    const QColor frame = hasFocus() ? QColor(0x19, 0xb4, 0xe8) : QColor(0x3b, 0x40, 0x4a);
    p.setPen(QPen(frame, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(fr).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
    p.drawRoundedRect(QRectF(br).adjusted(0.5, 0.5, -0.5, -0.5), br.height() / 2.0,
                      br.height() / 2.0);

    // Field marker: a ring at (hue, saturation) filled with the selected colour.
    const qreal mx = fr.left() + (fr.width() > 1 ? hue_ * (fr.width() - 1) / 359.0 : 0);
    const qreal my =
        fr.top() + (fr.height() > 1 ? (255 - saturation_) * (fr.height() - 1) / 255.0 : 0);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor::fromRgb(selected_));
    p.drawEllipse(QPointF(mx, my), 6, 6);
    p.setPen(QPen(QColor(0, 0, 0, 120), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(mx, my), 7.5, 7.5);

    // Bar marker: a small ring at the brightness.
    const qreal bx = br.left() + (br.width() > 1 ? value_ * (br.width() - 1) / 255.0 : 0);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor::fromRgb(selected_));
    p.drawEllipse(QPointF(std::clamp<qreal>(bx, br.left() + 5, br.right() - 5), br.center().y()), 5,
                  5);
}

void ColorPalette::PickAt(const QPoint& pos, Drag part) {
    if (part == Drag::Field) {
        const QRect r = FieldRect();
        const int x = std::clamp(pos.x(), r.left(), r.right());
        const int y = std::clamp(pos.y(), r.top(), r.bottom());
        hue_ = r.width() > 1 ? (x - r.left()) * 359 / (r.width() - 1) : 0;
        saturation_ = r.height() > 1 ? 255 - (y - r.top()) * 255 / (r.height() - 1) : 255;
        RebuildBar();
    } else if (part == Drag::Bar) {
        const QRect r = BarRect();
        const int x = std::clamp(pos.x(), r.left(), r.right());
        value_ = r.width() > 1 ? (x - r.left()) * 255 / (r.width() - 1) : 255;
        RebuildField();
    }
    Commit();
}

void ColorPalette::Commit() {
    selected_ = QColor::fromHsv(hue_, saturation_, value_).rgba();
    update();
    emit colorChanged(selected_);
}

void ColorPalette::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint pos = event->position().toPoint();
    drag_ = BarRect().adjusted(0, -kGap / 2, 0, 0).contains(pos) ? Drag::Bar : Drag::Field;
    PickAt(pos, drag_);
}

void ColorPalette::mouseMoveEvent(QMouseEvent* event) {
    if (drag_ == Drag::None) return;
    PickAt(event->position().toPoint(), drag_);
}

void ColorPalette::mouseReleaseEvent(QMouseEvent* /*event*/) {
    drag_ = Drag::None;
}

void ColorPalette::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
            hue_ = (hue_ + 359 - 3) % 360;
            break;
        case Qt::Key_Right:
            hue_ = (hue_ + 3) % 360;
            break;
        case Qt::Key_Up:
            saturation_ = std::min(255, saturation_ + 8);
            break;
        case Qt::Key_Down:
            saturation_ = std::max(0, saturation_ - 8);
            break;
        case Qt::Key_PageUp:
            value_ = std::min(255, value_ + 8);
            RebuildField();
            break;
        case Qt::Key_PageDown:
            value_ = std::max(0, value_ - 8);
            RebuildField();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    RebuildBar();
    Commit();
}

}  // namespace vq::app
