#include "app/notify_router.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaMethod>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include "core/util/log.h"

namespace vq::app {

namespace {

constexpr const char* kRouted = "vqRouted";
constexpr const char* kUserAction = "vqUserAction";

QString Key(const QString& type, const QString& sender) {
    return type + QLatin1Char('\n') + sender.toLower();
}

bool UserActionArmed(const QWidget* widget) {
    return widget->property(kUserAction).toBool();
}

}  // namespace

NotifyRouter::NotifyRouter(QObject* parent) : QObject(parent) {}

void NotifyRouter::On(const QString& type, const QString& sender, Handler handler) {
    named_[Key(type, sender)].push_back(std::move(handler));
}

void NotifyRouter::OnAny(const QString& type, Handler handler) {
    any_[type].push_back(std::move(handler));
}

int NotifyRouter::Fire(const QString& type, QWidget* widget, int index) {
    Notification n;
    n.type = type;
    n.sender = widget ? widget->objectName() : QString();
    n.widget = widget;
    n.index = index;
    return Fire(n);
}

int NotifyRouter::Fire(const Notification& n) {
    Logf(LogLevel::Debug, "notify %s %s", n.type.toUtf8().constData(),
         n.sender.toUtf8().constData());
    if (recording_) recorded_.push_back(n);
    int ran = 0;
    // Copies: a handler may register further handlers.
    if (auto it = named_.constFind(Key(n.type, n.sender)); it != named_.constEnd()) {
        const std::vector<Handler> handlers = *it;
        for (const Handler& h : handlers) {
            h(n);
            ++ran;
        }
    }
    if (auto it = any_.constFind(n.type); it != any_.constEnd()) {
        const std::vector<Handler> handlers = *it;
        for (const Handler& h : handlers) {
            h(n);
            ++ran;
        }
    }
    return ran;
}

void NotifyRouter::Attach(QWidget* root) {
    if (!root) return;
    AttachWidget(root);
    const QList<QWidget*> children = root->findChildren<QWidget*>();
    for (QWidget* child : children)
        AttachWidget(child);
}

void NotifyRouter::ArmUserAction(QWidget* widget) {
    // Set while the widget handles one user input; the state changes that input causes happen
    // synchronously, so the flag is cleared once the event loop comes back.
    widget->setProperty(kUserAction, true);
    QTimer::singleShot(0, widget, [widget] { widget->setProperty(kUserAction, false); });
}

void NotifyRouter::ConnectButton(QWidget* widget) {
    auto* button = static_cast<QAbstractButton*>(widget);
    // A click on an option first unselects the group's selected option, then selects itself:
    // the toggles seen between the press and the click are the user's and are announced after
    // the click, in that order. Toggles from program code (no press) announce nothing.
    connect(button, &QAbstractButton::pressed, this, [this, button] {
        pressed_ = button;
        toggled_.clear();
        const quint64 press = ++pressSerial_;
        connect(
            button, &QAbstractButton::released, this,
            [this, press] {
                QTimer::singleShot(0, this, [this, press] {
                    if (pressSerial_ == press) {
                        pressed_ = nullptr;
                        toggled_.clear();
                    }
                });
            },
            Qt::SingleShotConnection);
    });
    connect(button, &QAbstractButton::toggled, this, [this, button](bool) {
        if (pressed_) toggled_.push_back(button);
    });
    connect(button, &QAbstractButton::clicked, this, [this, button] {
        const std::vector<QPointer<QAbstractButton>> toggled = std::move(toggled_);
        toggled_.clear();
        pressed_ = nullptr;
        ++pressSerial_;
        Fire(QStringLiteral("click"), button);
        for (const QPointer<QAbstractButton>& b : toggled)
            if (b) Fire(QStringLiteral("selectchanged"), b, b->isChecked() ? 1 : 0);
    });
}

void NotifyRouter::AttachWidget(QWidget* widget) {
    if (!widget || widget->objectName().isEmpty() || widget->objectName().startsWith("qt_") ||
        widget->property(kRouted).toBool())
        return;
    widget->setProperty(kRouted, true);
    widget->installEventFilter(this);

    if (qobject_cast<QAbstractButton*>(widget)) {
        ConnectButton(widget);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        connect(combo, &QComboBox::activated, this,
                [this, combo](int index) { Fire(QStringLiteral("itemselect"), combo, index); });
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(widget)) {
        connect(slider, &QAbstractSlider::actionTriggered, this,
                [this, slider](int) { ArmUserAction(slider); });
        connect(slider, &QAbstractSlider::valueChanged, this, [this, slider](int value) {
            if (UserActionArmed(slider) && !slider->isSliderDown())
                Fire(QStringLiteral("valuechanged"), slider, value);
        });
        connect(slider, &QAbstractSlider::sliderMoved, this, [this, slider](int value) {
            Fire(QStringLiteral("movevaluechanged"), slider, value);
        });
        connect(slider, &QAbstractSlider::sliderReleased, this,
                [this, slider] { Fire(QStringLiteral("valuechanged"), slider, slider->value()); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        connect(edit, &QLineEdit::textEdited, this,
                [this, edit](const QString&) { Fire(QStringLiteral("textchanged"), edit); });
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        list->viewport()->installEventFilter(this);
        connect(list, &QListWidget::currentRowChanged, this, [this, list](int row) {
            if (UserActionArmed(list)) Fire(QStringLiteral("itemselect"), list, row);
        });
        connect(list, &QListWidget::itemClicked, this, [this, list](QListWidgetItem* item) {
            Fire(QStringLiteral("itemclick"), list, list->row(item));
        });
    } else if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
        tree->viewport()->installEventFilter(this);
        connect(tree, &QTreeWidget::currentItemChanged, this,
                [this, tree](QTreeWidgetItem* item, QTreeWidgetItem*) {
                    if (UserActionArmed(tree))
                        Fire(QStringLiteral("itemselect"), tree,
                             item ? tree->indexOfTopLevelItem(item) : -1);
                });
        connect(tree, &QTreeWidget::itemClicked, this, [this, tree](QTreeWidgetItem* item, int) {
            Fire(QStringLiteral("itemclick"), tree, tree->indexOfTopLevelItem(item));
        });
    }

    // A colour palette announces its colour changes through a signal named colorChanged.
    const QMetaObject* meta = widget->metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == QMetaMethod::Signal && method.name() == "colorChanged") {
            const int slot = metaObject()->indexOfSlot("OnColorChanged()");
            QMetaObject::connect(widget, i, this, slot);
            break;
        }
    }
}

void NotifyRouter::OnColorChanged() {
    if (auto* widget = qobject_cast<QWidget*>(sender()))
        Fire(QStringLiteral("colorchanged"), widget);
}

bool NotifyRouter::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::Wheel: {
            // Item views: the view's own input (on the view or its viewport) is the user's.
            QWidget* view = widget;
            if (!view->property(kRouted).toBool() && view->parentWidget())
                view = view->parentWidget();
            if (qobject_cast<QListWidget*>(view) || qobject_cast<QTreeWidget*>(view))
                ArmUserAction(view);
            break;
        }
        case QEvent::FocusIn:
            if (widget->property(kRouted).toBool()) Fire(QStringLiteral("setfocus"), widget);
            break;
        case QEvent::FocusOut:
            if (widget->property(kRouted).toBool() &&
                static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
                Fire(QStringLiteral("killfocus"), widget);
            break;
        case QEvent::Enter:
            if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLabel*>(widget))
                Fire(QStringLiteral("msenter"), widget);
            break;
        case QEvent::Leave:
            if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLabel*>(widget))
                Fire(QStringLiteral("msleave"), widget);
            break;
        default:
            break;
    }
    return false;
}

}  // namespace vq::app
