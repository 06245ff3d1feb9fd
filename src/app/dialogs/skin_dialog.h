#pragma once
// The frame shared by the program's small skinned windows (the About window and the colour
// palette dialog): a frameless dialog built from a layout of the skin, with rounded corners,
// dragged by its caption strip, whose buttons report their clicks by control name.

#include <QDialog>
#include <QString>

class QAbstractButton;

namespace vq::app {

class SkinDialog : public QDialog {
    Q_OBJECT

  public:
    // Builds the layout `layoutFile` of the current skin into the dialog. When the skin or the
    // layout is missing the dialog stays empty (the loader has logged the fault).
    SkinDialog(const QString& layoutFile, QWidget* parent);

    // The result the dialog was closed with (0 while it is open or was never closed).
    int ClosedWith() const { return closedWith_; }

    // The height of the strip at the top by which the window can be dragged.
    static constexpr int kCaptionHeight = 40;
    static constexpr int kCornerRadius = 12;

  protected:
    // A click on a named button of the layout.
    virtual void OnClick(const QString& name, QAbstractButton* button) = 0;
    // Closes with a result (also for a dialog that is not modal).
    void CloseWith(int result);

    // Whether a point (in the dialog's coordinates) drags the window: inside the caption strip
    // and not over a button or a text.
    bool IsCaptionPoint(const QPoint& pos) const;

    QWidget* Content() const { return content_; }
    template <typename T>
    T* Control(const QString& name) const {
        return content_ ? content_->findChild<T*>(name) : nullptr;
    }

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QWidget* content_ = nullptr;
    int closedWith_ = 0;
    bool dragging_ = false;
    QPoint dragOffset_;
};

}  // namespace vq::app
