#include "app/dialogs/skin_dialog.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QVBoxLayout>
#include <QWindow>

#include "app/skin_ui.h"

namespace vq::app {

SkinDialog::SkinDialog(const QString& layoutFile, QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (SkinUi* skin = SkinUi::Current()) content_ = skin->Load(layoutFile, this);
    if (content_ != nullptr) {
        layout->addWidget(content_);
        const QSize size =
            content_->minimumSize().isEmpty() ? content_->sizeHint() : content_->minimumSize();
        setFixedSize(size);
        for (QAbstractButton* button : content_->findChildren<QAbstractButton*>()) {
            connect(button, &QAbstractButton::clicked, this,
                    [this, button]() { OnClick(button->objectName(), button); });
        }
    }
}

void SkinDialog::CloseWith(int result) {
    closedWith_ = result;
    done(result);
}

bool SkinDialog::IsCaptionPoint(const QPoint& pos) const {
    if (pos.y() < 0 || pos.y() >= kCaptionHeight || !rect().contains(pos)) return false;
    // Buttons and texts are client area: they keep their clicks and do not drag.
    for (QWidget* w = childAt(pos); w != nullptr && w != this; w = w->parentWidget()) {
        if (qobject_cast<QAbstractButton*>(w) != nullptr) return false;
        if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && label->pixmap().isNull()) {
            return false;
        }
    }
    return true;
}

void SkinDialog::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && IsCaptionPoint(pos)) {
        // The window system moves the window where it can; otherwise the dialog follows the
        // pointer itself.
        if (windowHandle() != nullptr && windowHandle()->startSystemMove()) return;
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        return;
    }
    QDialog::mousePressEvent(event);
}

void SkinDialog::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        move(event->globalPosition().toPoint() - dragOffset_);
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void SkinDialog::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QDialog::mouseReleaseEvent(event);
}

void SkinDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // Rounded corners: the window's region is a rounded rectangle of its size.
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

}  // namespace vq::app
