#include "app/controls/key_surface.h"

#include <QChildEvent>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

#include "app/controls/device_key_button.h"

namespace vq::app {

CKeySurfaceUI* CKeySurfaceUI::Attach(const std::vector<CDeviceKeyButtonUI*>& keys, int margin) {
    QWidget* parent = nullptr;
    std::vector<CDeviceKeyButtonUI*> taken;
    QRect area;
    for (CDeviceKeyButtonUI* key : keys) {
        if (!key || key->isHidden() || key->size().isEmpty() || key->isWindow()) continue;
        if (!parent) parent = key->parentWidget();
        if (!parent || key->parentWidget() != parent) continue;
        taken.push_back(key);
        area |= key->geometry();
    }
    if (taken.empty()) return nullptr;
    area = area.adjusted(-margin, -margin, margin, margin) & parent->rect();

    auto* surface = new CKeySurfaceUI(parent);
    surface->setObjectName(QStringLiteral("key_surface"));
    surface->setGeometry(area);
    surface->keys_.reserve(taken.size());
    for (CDeviceKeyButtonUI* key : taken) {
        surface->keys_.emplace_back(key);
        surface->sortedKeys_.push_back(key);
        key->SetDrawnBy(surface);
    }
    std::sort(surface->sortedKeys_.begin(), surface->sortedKeys_.end());
    // Where it may lie depends on what its siblings do: watch them and their parent.
    parent->installEventFilter(surface);
    for (QObject* child : parent->children())
        if (child != surface && child->isWidgetType()) child->installEventFilter(surface);
    surface->composed_.assign(taken.size(), -1);
    surface->composedAt_.assign(taken.size(), QRect());
    surface->Restack();
    return surface;
}

CKeySurfaceUI::CKeySurfaceUI(QWidget* parent) : QWidget(parent) {
    // Clicks and hover between the keys reach what lies beneath, as they did before.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

CKeySurfaceUI::~CKeySurfaceUI() {
    for (const QPointer<CDeviceKeyButtonUI>& key : keys_)
        if (key) key->SetDrawnBy(nullptr);
}

bool CKeySurfaceUI::Mine(const QObject* object) const {
    return std::binary_search(sortedKeys_.begin(), sortedKeys_.end(), object);
}

bool CKeySurfaceUI::Covers(const CDeviceKeyButtonUI& key) const {
    return key.parentWidget() == parentWidget() && geometry().contains(key.geometry());
}

bool CKeySurfaceUI::MayLieOverKeys() const {
    QWidget* parent = parentWidget();
    if (!parent) return false;
    const QObjectList& children = parent->children();
    qsizetype lowest = -1, highest = -1;
    for (qsizetype i = 0; i < children.size(); ++i)
        if (Mine(children[i])) {
            if (lowest < 0) lowest = i;
            highest = i;
        }
    if (lowest < 0) return false;
    for (qsizetype i = lowest; i <= highest; ++i) {
        auto* w = qobject_cast<QWidget*>(children[i]);
        if (!w || w == this || w->isHidden() || w->isWindow() ||
            !w->geometry().intersects(geometry()))
            continue;
        // Shown and reaching into the surface: it must be one of its keys, and wholly on it.
        if (!Mine(w) || !Covers(*static_cast<const CDeviceKeyButtonUI*>(w))) return false;
    }
    return true;
}

bool CKeySurfaceUI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget()) {
        if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved) {
            auto* child = static_cast<QChildEvent*>(event)->child();
            if (event->type() == QEvent::ChildAdded && child != this && child->isWidgetType())
                child->installEventFilter(this);
            AskRestack();
        }
        return false;
    }
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::ZOrderChange:
            AskRestack();
            break;
        default:
            break;
    }
    return false;
}

void CKeySurfaceUI::AskRestack() {
    if (restackAsked_) return;
    // Not in the middle of whatever changed: once this turn's changes are in.
    restackAsked_ = true;
    QMetaObject::invokeMethod(this, &CKeySurfaceUI::Restack, Qt::QueuedConnection);
}

void CKeySurfaceUI::Restack() {
    restackAsked_ = false;
    QWidget* parent = parentWidget();
    if (!parent) return;
    const bool over = MayLieOverKeys();
    if (over) {
        // Right over the highest of its keys; moved only when not there already (a move
        // repaints what lies beneath).
        const QObjectList& children = parent->children();
        QWidget* aboveHighest = nullptr;
        for (qsizetype i = children.size(); i-- > 0 && !Mine(children[i]);)
            if (children[i] != this && children[i]->isWidgetType())
                aboveHighest = static_cast<QWidget*>(children[i]);
        const qsizetype at = children.indexOf(this);
        const qsizetype want =
            aboveHighest ? children.indexOf(aboveHighest) - 1 : children.size() - 1;
        if (at != want) {
            if (aboveHighest)
                stackUnder(aboveHighest);
            else
                raise();
        }
    }
    // Hidden, it draws nothing and its keys draw themselves, as if it were not there.
    setVisible(over);
    if (over != overKeys_) {
        overKeys_ = over;
        beneathStale_ = true;
    }
}

bool CKeySurfaceUI::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::ZOrderChange:
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::StyleChange:
        case QEvent::PaletteChange:
        case QEvent::ParentChange:
            beneathStale_ = true;
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

void CKeySurfaceUI::KeyChanged(const QRect& keyGeometry) {
    const bool first = pending_.isEmpty();
    pending_ |= keyGeometry.translated(-pos());
    if (!first) return;
    // Asked once the changes of this turn of the event loop are in.
    QMetaObject::invokeMethod(
        this,
        [this] {
            update(pending_);
            pending_ = QRect();
        },
        Qt::QueuedConnection);
}

void CKeySurfaceUI::RenderBeneath() {
    beneathStale_ = false;
    const qreal ratio = devicePixelRatioF();
    beneath_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    beneath_.setDevicePixelRatio(ratio);
    beneath_.fill(Qt::transparent);
    if (QWidget* parent = parentWidget()) {
        QPainter painter(&beneath_);
        // The siblings under the surface, lowest first, each where it overlaps the surface, but
        // for the keys drawn here.
        for (QObject* child : parent->children()) {
            if (child == this) break;
            auto* w = qobject_cast<QWidget*>(child);
            if (!w || w->isHidden() || w->isWindow()) continue;
            if (Mine(w)) continue;
            const QRect overlap = w->geometry() & geometry();
            if (overlap.isEmpty()) continue;
            // Its background only where the window would paint it.
            const bool background =
                w->autoFillBackground() || w->testAttribute(Qt::WA_StyledBackground);
            w->render(&painter, overlap.topLeft() - pos(), QRegion(overlap.translated(-w->pos())),
                      background ? QWidget::DrawWindowBackground | QWidget::DrawChildren
                                 : QWidget::RenderFlags(QWidget::DrawChildren));
        }
    }
    // Opaque only if no pixel lets anything further down show.
    bool opaque = true;
    for (int y = 0; y < beneath_.height() && opaque; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(beneath_.constScanLine(y));
        opaque = std::all_of(row, row + beneath_.width(),
                             [](QRgb pixel) { return qAlpha(pixel) == 255; });
    }
    opaque_ = opaque;
    under_ = QImage(beneath_.size(), QImage::Format_ARGB32_Premultiplied);
    under_.setDevicePixelRatio(ratio);
    over_ = under_;
    over_.detach();
    ComposeLayers(rect());
}

QRect CKeySurfaceUI::KeyRect(const CDeviceKeyButtonUI& key) const {
    return key.geometry().translated(-pos());
}

QRect CKeySurfaceUI::DrawnRect(size_t index) const {
    const CDeviceKeyButtonUI* key = keys_[index];
    if (!key || key->isHidden() || !key->DrawnBy(this)) return {};
    return KeyRect(*key);
}

void CKeySurfaceUI::ComposeLayers(const QRect& area) {
    const qreal ratio = under_.devicePixelRatio();
    const QRectF source(area.x() * ratio, area.y() * ratio, area.width() * ratio,
                        area.height() * ratio);
    QPainter under(&under_);
    QPainter over(&over_);
    under.setCompositionMode(QPainter::CompositionMode_Source);
    under.drawImage(QRectF(area), beneath_, source);
    under.setCompositionMode(QPainter::CompositionMode_SourceOver);
    over.setCompositionMode(QPainter::CompositionMode_Source);
    over.fillRect(area, Qt::transparent);
    over.setCompositionMode(QPainter::CompositionMode_SourceOver);
    under.setClipRect(area);
    over.setClipRect(area);
    for (size_t i = 0; i < keys_.size(); ++i) {
        const QRect at = DrawnRect(i);
        if (!at.intersects(area)) {
            // A key that left the area (hidden, moved, drawing itself) is gone from it now.
            if (composedAt_[i].intersects(area)) composedAt_[i] = QRect();
            continue;
        }
        CDeviceKeyButtonUI* key = keys_[i];
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
    for (size_t i = 0; i < keys_.size(); ++i) {
        const QRect at = DrawnRect(i);
        if (at != composedAt_[i]) {
            // Shown, hidden or moved: where it was and where it is now, made again.
            ComposeLayers(at | composedAt_[i]);
            continue;
        }
        if (!at.intersects(area) || keys_[i]->PrepareLook(ratio) == composed_[i]) continue;
        // The key's own rectangle again, with any neighbour that reaches into it.
        ComposeLayers(at);
    }
}

void CKeySurfaceUI::paintEvent(QPaintEvent* event) {
    ++paints_;
    // Whether the window painted what lies beneath for this paint.
    const bool paintedBeneath = !testAttribute(Qt::WA_OpaquePaintEvent);
    if (beneathStale_ || beneath_.devicePixelRatio() != devicePixelRatioF()) RenderBeneath();
    if (opaque_ == paintedBeneath) {
        // From the next paint on, the window paints beneath the surface or leaves it out.
        setAttribute(Qt::WA_OpaquePaintEvent, opaque_);
        if (!opaque_) update();
    }
    const QRect dirty = event->rect();
    UpdateLayers(dirty);

    QPainter painter(this);
    const qreal ratio = under_.devicePixelRatio();
    const QRectF source(dirty.x() * ratio, dirty.y() * ratio, dirty.width() * ratio,
                        dirty.height() * ratio);
    // Over a window that painted beneath, the caps; over nothing, beneath and the caps at once.
    if (!paintedBeneath) painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(dirty), under_, source);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (const QPointer<CDeviceKeyButtonUI>& key : keys_) {
        if (!key || key->isHidden() || !key->DrawnBy(this)) continue;
        const QRect at = KeyRect(*key);
        if (!at.intersects(dirty)) continue;
        painter.translate(at.topLeft());
        key->DrawLight(painter);
        painter.translate(-at.topLeft());
    }
    painter.drawImage(QRectF(dirty), over_, source);
}

}  // namespace vq::app
