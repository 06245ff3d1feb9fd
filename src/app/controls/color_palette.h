#pragma once
// A colour palette: a field of hues (left to right) and saturations (top to bottom) at the
// brightness chosen on the bar beneath it. The user picks with the mouse (or the arrow keys);
// every pick emits colorChanged. Setting the colour from code emits nothing.

#include <QColor>
#include <QImage>
#include <QWidget>

namespace vq::app {

class ColorPalette : public QWidget {
    Q_OBJECT
    // The selected colour by property name (as the main window sets the start colour).
    Q_PROPERTY(QColor color READ Color WRITE SetColor)

  public:
    explicit ColorPalette(QWidget* parent = nullptr);

    // The selected colour, opaque 0xFFRRGGBB.
    QRgb SelectColor() const { return selected_; }
    // Selects a colour and moves the markers to it; no colorChanged.
    void SetSelectColor(QRgb argb);
    QColor Color() const { return QColor::fromRgba(selected_); }
    void SetColor(const QColor& colour) { SetSelectColor(colour.rgba()); }

    QSize sizeHint() const override { return {196, 118}; }
    QSize minimumSizeHint() const override { return {64, 40}; }

  signals:
    // The user picked a colour (opaque 0xFFRRGGBB).
    void colorChanged(QRgb argb);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    enum class Drag { None, Field, Bar };
    QRect FieldRect() const;
    QRect BarRect() const;
    void RebuildField();
    void RebuildBar();
    void PickAt(const QPoint& pos, Drag part);
    void Commit();

    // Hue 0-359, saturation and value 0-255: kept apart from the RGB value so that picking black
    // or grey does not lose the hue the markers show.
    int hue_ = 195;
    int saturation_ = 255;
    int value_ = 203;
    QRgb selected_ = 0xFF0199CB;
    Drag drag_ = Drag::None;
    QImage field_;
    QImage bar_;
};

}  // namespace vq::app
