#include "app/controls/wnd_ui.h"

#include <QEvent>

namespace vq::app {

CWndUI::CWndUI(QWidget* parent) : QWidget(parent) {}

CWndUI::~CWndUI() {
    if (watchedWindow_) watchedWindow_->removeEventFilter(this);
}

void CWndUI::Attach(QWidget* hosted) {
    hosted_ = hosted;
    Follow();
}

void CWndUI::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The top window is known once the control is shown; watch it for moves.
    QWidget* top = window();
    if (top != watchedWindow_) {
        if (watchedWindow_) watchedWindow_->removeEventFilter(this);
        watchedWindow_ = top;
        if (top != this) top->installEventFilter(this);
    }
    Follow();
}

void CWndUI::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    Follow();
}

void CWndUI::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    Follow();
}

void CWndUI::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Follow();
}

bool CWndUI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedWindow_ &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
         event->type() == QEvent::LayoutRequest)) {
        Follow();
    }
    return QWidget::eventFilter(watched, event);
}

void CWndUI::Follow() {
    if (!hosted_) return;
    QWidget* hostParent = hosted_->parentWidget();
    QRect target = rect();
    if (hostParent == nullptr || hosted_->isWindow()) {
        // A separate window: placed in screen coordinates.
        target.moveTopLeft(mapToGlobal(QPoint(0, 0)));
    } else {
        // A child of some widget: placed in its parent's coordinates.
        target.moveTopLeft(hostParent->mapFromGlobal(mapToGlobal(QPoint(0, 0))));
    }
    if (hosted_->geometry() != target) hosted_->setGeometry(target);
    const bool shown = isVisible();
    if (hosted_->isVisible() != shown) hosted_->setVisible(shown);
}

}  // namespace vq::app
