#include "app/controls/key_surface.h"

#include <QPainter>

#include "app/controls/device_key_button.h"

namespace vq::app {

CKeySurfaceUI* CKeySurfaceUI::Attach(const std::vector<CDeviceKeyButtonUI*>& keys, int margin) {
    std::vector<QWidget*> chosen;
    QRect area;
    QWidget* parent = Choose({keys.begin(), keys.end()}, margin, chosen, area);
    if (!parent) return nullptr;
    auto* surface = new CKeySurfaceUI(parent);
    surface->setObjectName(QStringLiteral("key_surface"));
    surface->composed_.assign(chosen.size(), -1);
    surface->composedAt_.assign(chosen.size(), QRect());
    surface->Take(chosen, area);
    for (QWidget* key : chosen)
        static_cast<CDeviceKeyButtonUI*>(key)->SetDrawnBy(surface);
    return surface;
}

CKeySurfaceUI::CKeySurfaceUI(QWidget* parent) : CPartsSurfaceUI(parent) {}

CKeySurfaceUI::~CKeySurfaceUI() {
    for (size_t i = 0; i < Count(); ++i)
        if (CDeviceKeyButtonUI* key = Key(i)) key->SetDrawnBy(nullptr);
}

CDeviceKeyButtonUI* CKeySurfaceUI::Key(size_t index) const {
    return static_cast<CDeviceKeyButtonUI*>(Part(index));
}

void CKeySurfaceUI::BeneathRedrawn() {
    const QImage& beneath = Beneath();
    under_ = QImage(beneath.size(), QImage::Format_ARGB32_Premultiplied);
    under_.setDevicePixelRatio(beneath.devicePixelRatio());
    over_ = under_;
    over_.detach();
    ComposeLayers(rect());
}

QRect CKeySurfaceUI::DrawnRect(size_t index) const {
    const CDeviceKeyButtonUI* key = Key(index);
    if (!key || key->isHidden() || !key->DrawnBy(this)) return {};
    return PartRect(*key);
}

void CKeySurfaceUI::ComposeLayers(const QRect& area) {
    const qreal ratio = under_.devicePixelRatio();
    const QRectF source(area.x() * ratio, area.y() * ratio, area.width() * ratio,
                        area.height() * ratio);
    QPainter under(&under_);
    QPainter over(&over_);
    under.setCompositionMode(QPainter::CompositionMode_Source);
    under.drawImage(QRectF(area), Beneath(), source);
    under.setCompositionMode(QPainter::CompositionMode_SourceOver);
    over.setCompositionMode(QPainter::CompositionMode_Source);
    over.fillRect(area, Qt::transparent);
    over.setCompositionMode(QPainter::CompositionMode_SourceOver);
    under.setClipRect(area);
    over.setClipRect(area);
    for (size_t i = 0; i < Count(); ++i) {
        const QRect at = DrawnRect(i);
        if (!at.intersects(area)) {
            // A key that left the area (hidden, moved, drawing itself) is gone from it now.
            if (composedAt_[i].intersects(area)) composedAt_[i] = QRect();
            continue;
        }
        CDeviceKeyButtonUI* key = Key(i);
        composed_[i] = key->PrepareLook(ratio);
        composedAt_[i] = at;
        under.translate(at.topLeft());
        key->DrawCap(under);
        under.translate(-at.topLeft());
        over.translate(at.topLeft());
        key->DrawLabel(over);
        over.translate(-at.topLeft());
    }
}

void CKeySurfaceUI::UpdateLayers(const QRect& area) {
    const qreal ratio = under_.devicePixelRatio();
    for (size_t i = 0; i < Count(); ++i) {
        const QRect at = DrawnRect(i);
        if (at != composedAt_[i]) {
            // Shown, hidden or moved: where it was and where it is now, made again.
            ComposeLayers(at | composedAt_[i]);
            continue;
        }
        if (!at.intersects(area) || Key(i)->PrepareLook(ratio) == composed_[i]) continue;
        // The key's own rectangle again, with any neighbour that reaches into it.
        ComposeLayers(at);
    }
}

void CKeySurfaceUI::PaintParts(QPainter& painter, const QRect& dirty, bool overWindow) {
    UpdateLayers(dirty);
    const qreal ratio = under_.devicePixelRatio();
    const QRectF source(dirty.x() * ratio, dirty.y() * ratio, dirty.width() * ratio,
                        dirty.height() * ratio);
    // Over a window that painted beneath, the caps; over nothing, beneath and the caps at once.
    if (!overWindow) painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(dirty), under_, source);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (size_t i = 0; i < Count(); ++i) {
        CDeviceKeyButtonUI* key = Key(i);
        if (!key || key->isHidden() || !key->DrawnBy(this)) continue;
        const QRect at = PartRect(*key);
        if (!at.intersects(dirty)) continue;
        painter.translate(at.topLeft());
        key->DrawLight(painter);
        painter.translate(-at.topLeft());
    }
    painter.drawImage(QRectF(dirty), over_, source);
}

}  // namespace vq::app
