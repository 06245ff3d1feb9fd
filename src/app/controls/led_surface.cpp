#include "app/controls/led_surface.h"

#include <QPainter>

#include "app/controls/led_preview.h"

namespace vq::app {

CLedSurfaceUI* CLedSurfaceUI::Attach(const std::vector<CLedPreviewUI*>& leds) {
    std::vector<QWidget*> chosen;
    QRect area;
    QWidget* parent = Choose({leds.begin(), leds.end()}, 0, chosen, area);
    if (!parent) return nullptr;
    auto* surface = new CLedSurfaceUI(parent);
    surface->setObjectName(QStringLiteral("led_surface"));
    surface->Take(chosen, area);
    for (QWidget* led : chosen)
        static_cast<CLedPreviewUI*>(led)->SetDrawnBy(surface);
    return surface;
}

CLedSurfaceUI::CLedSurfaceUI(QWidget* parent) : CPartsSurfaceUI(parent) {}

CLedSurfaceUI::~CLedSurfaceUI() {
    for (size_t i = 0; i < Count(); ++i)
        if (auto* led = static_cast<CLedPreviewUI*>(Part(i))) led->SetDrawnBy(nullptr);
}

void CLedSurfaceUI::PaintParts(QPainter& painter, const QRect& dirty, bool overWindow) {
    if (!overWindow) {
        const qreal ratio = Beneath().devicePixelRatio();
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QRectF(dirty), Beneath(),
                          QRectF(dirty.x() * ratio, dirty.y() * ratio, dirty.width() * ratio,
                                 dirty.height() * ratio));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    for (size_t i = 0; i < Count(); ++i) {
        auto* led = static_cast<CLedPreviewUI*>(Part(i));
        if (!led || led->isHidden() || !led->DrawnBy(this)) continue;
        const QRect at = PartRect(*led);
        if (!at.intersects(dirty)) continue;
        painter.translate(at.topLeft());
        led->DrawLook(painter);
        painter.translate(-at.topLeft());
    }
}

}  // namespace vq::app
