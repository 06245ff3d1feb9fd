#pragma once
// Notifications: each user action on a named widget reaches the handlers registered for its
// event name and the widget's name (compared without case), then the handlers registered for
// the event name alone. Event names:
//   "click"            a button was clicked (option buttons too)
//   "selectchanged"    an option's selected state changed by the user
//   "itemselect"       the user chose a combo item or a list row
//   "itemclick"        the user clicked a list item
//   "valuechanged"     the user set a slider (key, wheel, page step, end of a drag)
//   "movevaluechanged" the user drags a slider
//   "textchanged"      the user edited an edit's text
//   "killfocus" / "setfocus"  an edit lost or got the focus
//   "msenter" / "msleave"     the pointer entered or left a button or picture
//   "colorchanged"     a colour palette's colour changed
// Only user actions notify: a page that sets a control from its model does not run the user's
// handler. A program path that means to act as the user does calls Fire.

#include <QAbstractButton>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace vq::app {

struct Notification {
    QString type;    // event name
    QString sender;  // the widget's name as the skin spells it
    QPointer<QWidget> widget;
    int index = -1;  // item row or slider value, where the event has one
};

class NotifyRouter : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void(const Notification&)>;

    explicit NotifyRouter(QObject* parent = nullptr);

    // A handler for one event of one widget name.
    void On(const QString& type, const QString& sender, Handler handler);
    // A handler for an event of any widget (after the named handlers).
    void OnAny(const QString& type, Handler handler);

    // Connects every named widget in the tree (once per widget).
    void Attach(QWidget* root);
    void AttachWidget(QWidget* widget);

    // Delivers a notification; returns how many handlers ran.
    int Fire(const Notification& n);
    int Fire(const QString& type, QWidget* widget, int index = -1);

    // Every notification delivered, for tests and the debug log (off by default).
    void SetRecording(bool on) { recording_ = on; }
    const std::vector<Notification>& Recorded() const { return recorded_; }
    void ClearRecorded() { recorded_.clear(); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private slots:
    void OnColorChanged();

  private:
    void ConnectButton(QWidget* widget);
    void ArmUserAction(QWidget* widget);

    QHash<QString, std::vector<Handler>> named_;  // key: type + '\n' + lower-case sender
    QHash<QString, std::vector<Handler>> any_;
    // The button being pressed by the user and the options its click toggled.
    QPointer<QAbstractButton> pressed_;
    std::vector<QPointer<QAbstractButton>> toggled_;
    quint64 pressSerial_ = 0;
    bool recording_ = false;
    std::vector<Notification> recorded_;
};

}  // namespace vq::app
