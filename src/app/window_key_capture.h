#pragma once
// Input capture inside the program's own window: while the window is the active one, its key
// presses and releases (and, when asked, its mouse buttons) are taken before any control sees
// them and delivered with the Windows virtual-key codes the key table uses. The lock keys still
// reach the window; every other captured key is held back from it, so that a key meant for an
// assignment never types into a field. Input that goes to other programs is not seen: the reach
// is the own window.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "platform/input_capture.h"

class QKeyEvent;

namespace vq::app {

class WindowKeyCapture : public QObject, public platform::InputCapture {
    Q_OBJECT
  public:
    explicit WindowKeyCapture(QWidget* window);
    ~WindowKeyCapture() override;

    bool Start(const platform::CaptureRequest& request, Sink sink) override;
    void Stop() override;
    bool Active() const override { return active_; }
    uint32_t NowMs() const override;
    platform::CaptureReach Reach() const override { return platform::CaptureReach::OwnWindow; }

    // The Windows virtual key of a key: Qt's key, the keypad flag and, where the system gives
    // one, its key symbol (which tells the left modifiers from the right ones). 0: none.
    static uint16_t VirtualKeyOf(int qtKey, bool keypad, quint32 nativeKeySymbol);
    static uint16_t VirtualKeyOf(const QKeyEvent& event);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool OwnWindowActive(QObject* watched) const;

    QPointer<QWidget> window_;
    platform::CaptureRequest request_;
    Sink sink_;
    bool active_ = false;
    QElapsedTimer clock_;
    // The key event handled last: a key that goes on to the parent widgets is seen once.
    const QEvent* lastEvent_ = nullptr;
    quint64 lastStamp_ = 0;
    int lastType_ = 0;
};

}  // namespace vq::app
