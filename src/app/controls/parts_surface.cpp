#include "app/controls/parts_surface.h"

#include <QChildEvent>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace vq::app {

CPartsSurfaceUI::CPartsSurfaceUI(QWidget* parent) : QWidget(parent) {
    // Clicks and hover reach the parts and what lies between them, as they did before.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

CPartsSurfaceUI::~CPartsSurfaceUI() = default;

QWidget* CPartsSurfaceUI::Choose(const std::vector<QWidget*>& candidates, int margin,
                                 std::vector<QWidget*>& chosen, QRect& area) {
    QWidget* parent = nullptr;
    chosen.clear();
    area = QRect();
    for (QWidget* part : candidates) {
        if (!part || part->isHidden() || part->size().isEmpty() || part->isWindow()) continue;
        if (!parent) parent = part->parentWidget();
        if (!parent || part->parentWidget() != parent) continue;
        chosen.push_back(part);
        area |= part->geometry();
    }
    if (chosen.empty()) return nullptr;
    area = area.adjusted(-margin, -margin, margin, margin) & parent->rect();
    return parent;
}

void CPartsSurfaceUI::Take(const std::vector<QWidget*>& parts, const QRect& area) {
    setGeometry(area);
    parts_.assign(parts.begin(), parts.end());
    sortedParts_.assign(parts.begin(), parts.end());
    std::sort(sortedParts_.begin(), sortedParts_.end());
    // Where it may lie depends on what its siblings do: watch them and their parent.
    if (QWidget* parent = parentWidget()) {
        parent->installEventFilter(this);
        for (QObject* child : parent->children())
            if (child != this && child->isWidgetType()) child->installEventFilter(this);
    }
    Restack();
}

bool CPartsSurfaceUI::Mine(const QObject* object) const {
    return std::binary_search(sortedParts_.begin(), sortedParts_.end(), object);
}

bool CPartsSurfaceUI::Draws(const QWidget* part) const {
    return part && Mine(part) && part->parentWidget() == parentWidget() && !isHidden() &&
           geometry().contains(part->geometry());
}

void CPartsSurfaceUI::RepaintPart(QWidget& part, CPartsSurfaceUI* surface) {
    if (surface && surface->Draws(&part))
        surface->PartChanged(part.geometry());
    else
        part.update();
}

bool CPartsSurfaceUI::MayLieOverParts() const {
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
        // Shown and reaching into the surface: one of its parts, wholly on it.
        if (!Mine(w) || !geometry().contains(w->geometry())) return false;
    }
    return true;
}

bool CPartsSurfaceUI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget()) {
        if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved) {
            QObject* child = static_cast<QChildEvent*>(event)->child();
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

void CPartsSurfaceUI::AskRestack() {
    if (restackAsked_) return;
    // Not in the middle of whatever changed: once this turn's changes are in.
    restackAsked_ = true;
    QMetaObject::invokeMethod(this, &CPartsSurfaceUI::Restack, Qt::QueuedConnection);
}

void CPartsSurfaceUI::Restack() {
    restackAsked_ = false;
    QWidget* parent = parentWidget();
    if (!parent) return;
    const bool over = MayLieOverParts();
    if (over) {
        // Right over the highest of its parts; moved only when not there already (a move
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
    // Hidden, it draws nothing and its parts draw themselves, as if it were not there.
    // Shown again, it draws what lies beneath afresh (its Show event).
    setVisible(over);
}

bool CPartsSurfaceUI::event(QEvent* event) {
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

void CPartsSurfaceUI::PartChanged(const QRect& partGeometry) {
    const bool first = pending_.isEmpty();
    pending_ |= partGeometry.translated(-pos());
    if (!first) return;
    // Asked once the changes of this turn of the event loop are in.
    QMetaObject::invokeMethod(
        this,
        [this] {
            update(pending_);
            asked_ |= pending_;
            pending_ = QRect();
        },
        Qt::QueuedConnection);
}

namespace {

// How `w` is rendered where the window would paint it: its background only if the window
// paints one for it.
QWidget::RenderFlags OwnPicture(const QWidget* w) {
    return w->autoFillBackground() || w->testAttribute(Qt::WA_StyledBackground)
               ? QWidget::DrawWindowBackground
               : QWidget::RenderFlags();
}

}  // namespace

void CPartsSurfaceUI::RenderBeneath() {
    beneathStale_ = false;
    const qreal ratio = devicePixelRatioF();
    beneath_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    beneath_.setDevicePixelRatio(ratio);
    beneath_.fill(Qt::transparent);
    {
        // What the window paints under the surface: from the window down to the surface's
        // parent, each widget's own picture and then its children under the branch that leads
        // to the surface, each where it overlaps the surface; at the parent, its children under
        // the surface but for the parts.
        std::vector<QWidget*> chain;
        for (QWidget* w = this; w; w = w->isWindow() ? nullptr : w->parentWidget())
            chain.push_back(w);
        std::reverse(chain.begin(), chain.end());
        QWidget* top = chain.front();
        const QRect area(mapTo(top, QPoint(0, 0)), size());  // in the window's coordinates
        QPainter painter(&beneath_);
        for (size_t level = 0; level + 1 < chain.size(); ++level) {
            QWidget* w = chain[level];
            const QPoint at = w == top ? QPoint(0, 0) : w->mapTo(top, QPoint(0, 0));
            const QRect overlap = area.translated(-at) & w->rect();  // in w's coordinates
            if (overlap.isEmpty()) continue;
            w->render(&painter, overlap.topLeft() + at - area.topLeft(), QRegion(overlap),
                      OwnPicture(w));
            for (QObject* child : w->children()) {
                if (child == chain[level + 1]) break;
                auto* c = qobject_cast<QWidget*>(child);
                if (!c || c->isHidden() || c->isWindow() || Mine(c)) continue;
                const QRect part = c->geometry() & overlap;
                if (part.isEmpty()) continue;
                c->render(&painter, part.topLeft() + at - area.topLeft(),
                          QRegion(part.translated(-c->pos())),
                          OwnPicture(c) | QWidget::DrawChildren);
            }
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
    BeneathRedrawn();
}

void CPartsSurfaceUI::paintEvent(QPaintEvent* event) {
    ++paints_;
    // Whether the window painted what lies beneath for this paint.
    const bool paintedBeneath = !testAttribute(Qt::WA_OpaquePaintEvent);
    // A paint of more than the parts asked for: the window repaints the area for its own
    // reasons (shown again, or something beneath changed), so what lies beneath is looked at
    // again.
    if (!asked_.contains(event->rect())) beneathStale_ = true;
    asked_ = QRect();
    if (beneathStale_ || beneath_.devicePixelRatio() != devicePixelRatioF()) RenderBeneath();
    if (opaque_ == paintedBeneath) {
        // From the next paint on, the window paints beneath the surface or leaves it out.
        setAttribute(Qt::WA_OpaquePaintEvent, opaque_);
        if (!opaque_) update();
    }
    QPainter painter(this);
    PaintParts(painter, event->rect(), paintedBeneath);
}

}  // namespace vq::app
