#pragma once
// A progress indicator drawn as a ring: a full disc in the background colour, a pie from the
// bottom, clockwise, as far as the value, in the foreground colour, and an inner disc that leaves
// a ring 10 pixels wide. The colours may come from the style sheet
// (qproperty-backgroundColor, qproperty-foregroundColor, qproperty-innerColor).

#include <QColor>
#include <QProgressBar>

namespace vq::app {

class CCircleProgressUI : public QProgressBar {
    Q_OBJECT
    Q_PROPERTY(QColor backgroundColor READ BackgroundColor WRITE SetBackgroundColor)
    Q_PROPERTY(QColor foregroundColor READ ForegroundColor WRITE SetForegroundColor)
    Q_PROPERTY(QColor innerColor READ InnerColor WRITE SetInnerColor)

  public:
    explicit CCircleProgressUI(QWidget* parent = nullptr);

    QColor BackgroundColor() const { return background_; }
    void SetBackgroundColor(const QColor& c);
    QColor ForegroundColor() const { return foreground_; }
    void SetForegroundColor(const QColor& c);
    QColor InnerColor() const { return inner_; }
    void SetInnerColor(const QColor& c);

    // The pie's sweep in degrees for the current value: value x 360 / (maximum - minimum), with
    // the value counted from the minimum and limited to one turn; 0 for an empty range.
    double SweepDegrees() const;

    QSize sizeHint() const override { return {48, 48}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor background_{0x2a, 0x2e, 0x36};
    QColor foreground_{0x19, 0xb4, 0xe8};
    QColor inner_{Qt::white};
};

}  // namespace vq::app
