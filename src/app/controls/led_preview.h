#pragma once
// One LED of a device picture: a spot that shows a colour at an opacity. The light previews of the
// mouse and mousepad pages set these many times a second, so the widget repaints only when what
// it shows changes to the eye (colour and opacity told apart to 5 bits), and a paint is one
// picture: the spot's look is drawn once for each shape, size and look and shared by every LED
// that shows it.

#include <QBrush>
#include <QPen>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <cstdint>

#include "app/controls/parts_surface.h"

class QPainter;

namespace vq::app {

class CLedPreviewUI : public QWidget {
    Q_OBJECT
    // "ellipse" (a round spot), "bar" (a rounded strip) or "glow" (a soft logo glow).
    Q_PROPERTY(QString shape READ Shape WRITE SetShape)
    // The picture-control interface of the light previews, also reachable by property name.
    Q_PROPERTY(bool isChangerColor READ IsChangerColor WRITE SetIsChangerColor)
    Q_PROPERTY(uint changerColor READ ChangerColor WRITE SetChangerColor)
    Q_PROPERTY(int changerAlpha READ Alpha WRITE SetChangerAlpha)

  public:
    explicit CLedPreviewUI(QWidget* parent = nullptr);

    // Colour changing on/off. Off shows the unlit socket whatever colour was set.
    void SetIsChangerColor(bool on);
    bool IsChangerColor() const { return changer_; }
    // The preview's packed colour: red | blue << 8 | green << 16 (the packing the light threads
    // produce). Only the low 24 bits are used.
    void SetChangerColor(std::uint32_t packed);
    // Opacity 0 (dark) to 255 (full).
    void SetChangerAlpha(int alpha);
    // Colour and opacity in one call; a plain 0xRRGGBB colour.
    void SetLed(QRgb rgb, int alpha);

    QRgb Color() const { return rgb_; }
    // The colour in the preview packing (red | blue << 8 | green << 16).
    std::uint32_t ChangerColor() const;
    int Alpha() const { return alpha_; }
    // Paint events handled so far (tests check that unchanged values cause no repaint).
    int PaintCount() const { return paints_; }
    // Pictures of LED looks drawn so far by all LEDs, and those held now with their pixels' size
    // (tests and measurements).
    static long long LooksMade();
    static int LooksHeld();
    static qsizetype LooksHeldBytes();

    QString Shape() const;
    void SetShape(const QString& shape);

    QSize sizeHint() const override { return {14, 14}; }

    // The surface that draws this LED (a CLedSurfaceUI over it), or none: the LED draws itself.
    // While drawn there its own paint draws nothing and its repaints go to the surface.
    void SetDrawnBy(CPartsSurfaceUI* surface);
    bool DrawnBy(const CPartsSurfaceUI* surface) const;
    // Draws the LED as it looks now with the painter's origin at its top left corner.
    void DrawLook(QPainter& painter) const;
    // Draws the spot's shapes one by one with the painter: what DrawLook's picture stands for.
    void PaintShapes(QPainter& painter) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    enum class Kind { Ellipse, Bar, Glow };
    enum class Layer { Socket, Halo, Core, Shine };
    void Change(QRgb rgb, int alpha);
    // Asks for the LED to be drawn again (by itself or by its surface).
    void Repaint();
    // What the spot shows: the stepped colour and opacity, 0 when unlit.
    QRgb Look() const;
    // One of the spot's shapes, antialiased, in `brush` (the socket with its rim).
    void DrawLayer(QPainter& painter, Layer layer, const QBrush& brush) const;
    // The picture of `look`: the socket, then the halo, the core and the highlight laid over it
    // through their coverage.
    QImage MakeLook(QRgb look, qreal ratio) const;
    void UpdateShapes();

    Kind kind_ = Kind::Ellipse;
    bool changer_ = false;
    QRgb rgb_ = 0;
    int alpha_ = 0;
    int paints_ = 0;

    QRectF socket_;
    QRectF halo_;
    QRectF core_;
    QRectF shine_;
    qreal radius_ = 0;
    QBrush socketBrush_;
    QPen socketPen_;
    QPointer<CPartsSurfaceUI> drawnBy_;
};

}  // namespace vq::app
