#pragma once
// A placeholder that hosts another window: the hosted window follows the control's rectangle
// and is shown or hidden with it (also when an ancestor is hidden or the top window moves).

#include <QPointer>
#include <QWidget>

namespace vq::app {

class CWndUI : public QWidget {
    Q_OBJECT

  public:
    explicit CWndUI(QWidget* parent = nullptr);
    ~CWndUI() override;

    // Hosts a window (a child of another widget, or a top-level window); nullptr releases it.
    // The control does not own it.
    void Attach(QWidget* hosted);
    QWidget* Hosted() const { return hosted_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Follow();

    QPointer<QWidget> hosted_;
    QPointer<QWidget> watchedWindow_;
};

}  // namespace vq::app
