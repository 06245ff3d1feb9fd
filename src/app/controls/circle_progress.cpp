#include "app/controls/circle_progress.h"

#include <QPainter>

#include <algorithm>

namespace vq::app {

CCircleProgressUI::CCircleProgressUI(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
}

void CCircleProgressUI::SetBackgroundColor(const QColor& c) {
    background_ = c;
    update();
}

void CCircleProgressUI::SetForegroundColor(const QColor& c) {
    foreground_ = c;
    update();
}

void CCircleProgressUI::SetInnerColor(const QColor& c) {
    inner_ = c;
    update();
}

double CCircleProgressUI::SweepDegrees() const {
    const int span = maximum() - minimum();
    if (span <= 0) return 0.0;
    const int done = std::clamp(value() - minimum(), 0, span);
    return done * 360.0 / span;
}

void CCircleProgressUI::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setBrush(background_);
    p.drawEllipse(r);
    const double sweep = SweepDegrees();
    if (sweep > 0.0) {
        p.setBrush(foreground_);
        // Starts at the bottom and runs clockwise (Qt counts angles anticlockwise in 1/16ths).
        p.drawPie(r, -90 * 16, -static_cast<int>(sweep * 16.0));
    }
    p.setBrush(inner_);
    p.drawEllipse(r.adjusted(10, 10, -10, -10));
}

}  // namespace vq::app
