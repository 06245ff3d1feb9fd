#include "app/msg_wnd.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "app/skin_ui.h"
#include "core/util/log.h"

namespace vq::app {

namespace {
int g_openBoxes = 0;

// Centres `box` over `parent` (its stored geometry, which a hidden window keeps), or over the
// screen when there is no parent.
void CentreOver(QWidget* box, QWidget* parent) {
    box->adjustSize();
    QRect area;
    if (parent) {
        QWidget* window = parent->window();
        area = window->frameGeometry();
        if (!area.isValid()) area = window->geometry();
    } else if (QScreen* screen = box->screen()) {
        area = screen->availableGeometry();
    }
    if (!area.isValid()) return;
    box->move(area.center() - QPoint(box->width() / 2, box->height() / 2));
}
}  // namespace

CMsgWnd::CMsgWnd(QWidget* parent)
    : QDialog(parent ? parent->window() : nullptr, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName("MsgWnd");
    setWindowTitle("msgwnd");
    setModal(true);
    QWidget* content = nullptr;
    if (SkinUi* skin = SkinUi::Current()) content = skin->Load("XML_MSG", this);
    if (content) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(content);
        setFixedSize(content->size().expandedTo(content->minimumSizeHint()));
        title_ = findChild<QLabel*>("MessageTitle");
        text_ = findChild<QLabel*>("MessageText");
    }
    if (!title_ || !text_) {
        Log(LogLevel::Warning, "skin: the message layout lacks MessageTitle or MessageText");
        delete content;
        delete layout();
        BuildFallback();
    }
    const QList<QAbstractButton*> buttons = findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons)
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { OnClick(button->objectName()); });
}

void CMsgWnd::BuildFallback() {
    // The skin's message layout is missing: a plain box with the same controls, so that the
    // message still reaches the user.
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    title_ = new QLabel(this);
    title_->setObjectName("MessageTitle");
    auto* close = new QPushButton("×", this);
    close->setObjectName("closebtn");
    top->addWidget(title_, 1);
    top->addWidget(close);
    text_ = new QLabel(this);
    text_->setObjectName("MessageText");
    text_->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    auto* confirm = new QPushButton("OK", this);
    confirm->setObjectName("confirm_btn");
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("cancel_btn");
    buttons->addStretch();
    buttons->addWidget(confirm);
    buttons->addWidget(cancel);
    layout->addLayout(top);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);
    resize(360, 180);
}

void CMsgWnd::SetContent(const QString& title, const QString& text, bool isResourceText,
                         const QStringList& args) {
    SkinUi* skin = SkinUi::Current();
    if (!title.isEmpty()) {
        title_->setProperty("textId", QVariant());
        title_->setText(title);
    }
    if (!text.isEmpty()) {
        if (isResourceText && skin) {
            skin->SetTextId(text_, text, args);
        } else {
            text_->setProperty("textId", QVariant());
            text_->setText(FormatText(text, args));
        }
    }
}

void CMsgWnd::CloseAfter(int ms) {
    QTimer::singleShot(ms, this, [this] { Finish(0); });
}

void CMsgWnd::OnClick(const QString& name) {
    const QString lower = name.toLower();
    if (lower == "closebtn" || lower == "cancel_btn")
        Finish(0);
    else if (lower == "confirm_btn")
        Finish(1);
}

void CMsgWnd::Finish(int value) {
    result_ = value;
    done(value);
}

void CMsgWnd::keyPressEvent(QKeyEvent* event) {
    // Escape answers like the close button; Enter like the focused button (QDialog's default).
    if (event->key() == Qt::Key_Escape) {
        Finish(0);
        return;
    }
    QDialog::keyPressEvent(event);
}

namespace {

int Run(bool autoClose, QWidget* parent, const QString& title, const QString& text,
        bool isResourceText, const QStringList& args) {
    QPointer<CMsgWnd> box = new CMsgWnd(parent);
    box->SetContent(title, text, isResourceText, args);
    CentreOver(box, parent);
    if (autoClose) box->CloseAfter(CMsgWnd::kAutoCloseMs);
    ++g_openBoxes;
    box->exec();
    --g_openBoxes;
    // The parent may have been destroyed while the box was open, and the box with it.
    const int result = box ? box->Result() : 0;
    delete box;
    return result;
}

}  // namespace

int ShowMessage(QWidget* parent, const QString& title, const QString& text, bool isResourceText,
                const QStringList& args) {
    return Run(false, parent, title, text, isResourceText, args);
}

void ShowMessageTimed(bool autoClose, QWidget* parent, const QString& title, const QString& text,
                      bool isResourceText, const QStringList& args) {
    Run(autoClose, parent, title, text, isResourceText, args);
}

int OpenMessageBoxes() {
    return g_openBoxes;
}

}  // namespace vq::app
