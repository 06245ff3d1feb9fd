#include "app/pages/light_preview_painter.h"

#include <QEvent>
#include <QWidget>

#include "app/main_window.h"

namespace vq::app {

LightPreviewPainter::LightPreviewPainter(CMainWnd& window, std::function<void(bool)> setVisible,
                                         std::function<void()> paint, std::function<void()> hide,
                                         std::chrono::milliseconds interval)
    : window_(window),
      setVisible_(std::move(setVisible)),
      paint_(std::move(paint)),
      hide_(std::move(hide)),
      interval_(interval) {
    pace_.setSingleShot(true);
    connect(&pace_, &QTimer::timeout, this, [this] { PaintNow(); });
    window_.installEventFilter(this);
}

LightPreviewPainter::~LightPreviewPainter() {
    pace_.stop();
    window_.removeEventFilter(this);
}

void LightPreviewPainter::Attach(QWidget* area) {
    if (!area || area_) return;
    area_ = area;
    area_->installEventFilter(this);
    Update();
}

bool LightPreviewPainter::Visible() const {
    return area_ && area_->isVisible() && window_.isVisible() && !window_.isMinimized();
}

void LightPreviewPainter::Update() {
    const bool visible = Visible();
    if (visible == visible_) return;
    visible_ = visible;
    setVisible_(visible);
    if (visible) {
        // The picture published before it was hidden is shown until the next frame.
        RequestPaint();
    } else {
        // A paint that waited for its turn is dropped with the timer (and may be asked again).
        pace_.stop();
        queued_.store(false);
        if (hide_) hide_();
    }
}

void LightPreviewPainter::RequestPaint() {
    if (queued_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            const auto since = std::chrono::steady_clock::now() - lastPaint_;
            if (since >= interval_) {
                PaintNow();
            } else if (!pace_.isActive()) {
                pace_.start(static_cast<int>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(interval_ - since)
                        .count()));
            }
        },
        Qt::QueuedConnection);
}

void LightPreviewPainter::PaintNow() {
    queued_.store(false);
    if (!visible_) return;
    lastPaint_ = std::chrono::steady_clock::now();
    ++paints_;
    paint_();
}

bool LightPreviewPainter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::WindowStateChange:
            if (watched == area_ || watched == &window_)
                QMetaObject::invokeMethod(
                    this, [this] { Update(); }, Qt::QueuedConnection);
            break;
        default:
            break;
    }
    return false;
}

}  // namespace vq::app
