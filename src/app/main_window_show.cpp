// The window shown and hidden: bringing it to the front, the tray's click, the device tabs
// that come and go with their devices, and the window's own show, hide, close and move events.

#include <QAbstractButton>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>

#include "app/main_window.h"
#include "app/msg_wnd.h"
#include "app/pages/device_pages.h"
#include "core/util/log.h"

namespace vq::app {

void CMainWnd::BringToFront() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void CMainWnd::ShowOrWarn() {
    if (shutDown_) return;
    if (AnyConnected()) {
        BringToFront();
        return;
    }
    hide();
    if (warningOpen_) return;
    warningOpen_ = true;
    ShowMessage(this, {}, "message_text_1", true);
    warningOpen_ = false;
}

void CMainWnd::OnTrayLeftClick() {
    if (!AnyConnected()) {
        ShowOrWarn();
        return;
    }
    bool visible = isVisible();
    if (isMinimized()) visible = !visible;
    if (visible) {
        hide();
        return;
    }
    BringToFront();
    update();
    StartTimer(WindowTimer::Repaint);
}

void CMainWnd::MouseArrived() {
    // The controller selects and sends the stored device profile and reads the mouse; the
    // window shows the mouse's tab.
    if (auto* tab = Control<QAbstractButton>("ms_tab")) {
        tab->show();
        tab->setChecked(true);
        router_.Fire("selectchanged", tab, 1);
    }
    if (QWidget* panel = Control("ms_tab_panel")) panel->show();
    ShowConnectionState();
}

// The keyboard's and the mousepad's tabs are there while their devices are.
void CMainWnd::ShowDeviceTab(DeviceKind kind, bool shown) {
    const char* prefix = DeviceKindPrefix(kind);
    if (QWidget* tab = Control(QStringLiteral("%1_tab").arg(prefix))) tab->setVisible(shown);
    ShowConnectionState();
}

void CMainWnd::MouseLeft() {
    if (QWidget* tab = Control("ms_tab")) tab->hide();
    ShowConnectionState();
}

void CMainWnd::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    UpdateAnimation();
}

void CMainWnd::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A hidden window animates nothing.
    UpdateAnimation();
}

void CMainWnd::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        for (const auto& handler : deactivateHandlers_)
            handler();
}

void CMainWnd::closeEvent(QCloseEvent* event) {
    // Closing the window keeps the program in the tray; only "exit" ends it.
    if (!shutDown_) {
        event->ignore();
        hide();
        return;
    }
    QWidget::closeEvent(event);
}

bool CMainWnd::eventFilter(QObject* watched, QEvent* event) {
    // The first paint of the window: it is on the screen. Work that waited for it runs next.
    if (watched == root_ && event->type() == QEvent::Paint && !everShown_) {
        everShown_ = true;
        QTimer::singleShot(0, this, [this] { emit FirstShown(); });
    }
    // The caption bar moves the window.
    if (watched == captionBar_ && captionBar_) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
                if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                    const auto* mouse = static_cast<QMouseEvent*>(event);
                    if (windowHandle() && windowHandle()->startSystemMove()) return true;
                    dragging_ = true;
                    dragOffset_ = mouse->globalPosition().toPoint() - frameGeometry().topLeft();
                    return true;
                }
                break;
            case QEvent::MouseMove:
                if (dragging_) {
                    const auto* mouse = static_cast<QMouseEvent*>(event);
                    move(mouse->globalPosition().toPoint() - dragOffset_);
                    return true;
                }
                break;
            case QEvent::MouseButtonRelease:
                dragging_ = false;
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace vq::app
