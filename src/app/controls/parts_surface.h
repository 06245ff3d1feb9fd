#pragma once
// One widget that draws many small widgets of one parent (its parts: the keys of the on-screen
// keyboard, the LEDs of a device picture) over a picture of what lies beneath them.
//
// A light preview changes most parts many times a second. Drawn as separate widgets, each changed
// part made the window work out and paint everything under it again and then the part; and any
// paint near the parts made the window walk through all of them. The surface lies directly over
// the highest of its parts, so that the window, asked to paint it, has nothing else to work out:
// over an opaque picture it does not look at the parts beneath. The changes of one turn of the
// event loop are gathered into one rectangle and one paint.
//
// Whenever something among its parts would be hidden by it (a part moved off the surface, one
// shown that was hidden when it was made, another widget put between them) the surface hides
// itself and the parts draw themselves, as if it were not there; it comes back once its parts are
// alone. The parts stay the widgets the user works with: the surface lets the mouse through.
//
// What lies beneath is what the window paints there: the surface's siblings under it and, where
// they let it show, the parent, its siblings and so on up to the window. It is drawn again when
// the surface moves, shows or restacks, and whenever the window repaints the area for a reason of
// its own. Where even the window lets the desktop show through, the surface lets the window paint
// beneath it as usual; the picture is the same either way.

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace vq::app {

class CPartsSurfaceUI : public QWidget {
    Q_OBJECT
  public:
    ~CPartsSurfaceUI() override;

    // A part drawn here changed (`partGeometry` in the parent's coordinates).
    void PartChanged(const QRect& partGeometry);
    // True while this surface draws `part`: one of its parts, wholly on it, and the surface shown.
    bool Draws(const QWidget* part) const;
    // Asks for `part` to be drawn again: by `surface` (gathered with the turn's other changes)
    // while it draws the part, else by the part itself.
    static void RepaintPart(QWidget& part, CPartsSurfaceUI* surface);

    // True when what lies under the parts is opaque and the window paints nothing beneath them.
    bool Opaque() const { return opaque_; }
    int PaintCount() const { return paints_; }
    // True while it lies over its parts and draws them (false: hidden, the parts draw themselves).
    bool OverParts() const { return !isHidden(); }
    int PartCount() const { return static_cast<int>(parts_.size()); }

  protected:
    explicit CPartsSurfaceUI(QWidget* parent);
    // Of `candidates`, the shown, sized children of one widget (the first one's parent; the
    // others are left to draw themselves), and the area they cover with `margin` around. Returns
    // that parent, or null when none qualifies.
    static QWidget* Choose(const std::vector<QWidget*>& candidates, int margin,
                           std::vector<QWidget*>& chosen, QRect& area);
    // Takes `parts` (from Choose) over `area` and lies over them.
    void Take(const std::vector<QWidget*>& parts, const QRect& area);

    size_t Count() const { return parts_.size(); }
    QWidget* Part(size_t index) const { return parts_[index]; }
    // Where `part` is, in the surface's coordinates.
    QRect PartRect(const QWidget& part) const { return part.geometry().translated(-pos()); }
    // What lies beneath the parts, at the surface's device pixel ratio.
    const QImage& Beneath() const { return beneath_; }

    // What lies beneath was drawn again: whatever is made from it is to be made again.
    virtual void BeneathRedrawn() {}
    // Paints `dirty` (the surface's coordinates) with the parts. `overWindow`: the window painted
    // what lies beneath for this paint; otherwise the surface paints it too.
    virtual void PaintParts(QPainter& painter, const QRect& dirty, bool overWindow) = 0;

    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void RenderBeneath();
    bool Mine(const QObject* object) const;
    // Whether it may lie over its parts now: every shown widget from the lowest to the highest
    // of them that reaches into the surface is one of its parts, wholly on it.
    bool MayLieOverParts() const;
    // Lies over its parts, or hides, as MayLieOverParts says.
    void Restack();
    // Restack once the changes of this turn of the event loop are in.
    void AskRestack();

    std::vector<QPointer<QWidget>> parts_;
    std::vector<const QObject*> sortedParts_;  // the same, by address, to tell them apart
    QImage beneath_;
    QRect pending_;
    QRect asked_;  // what the parts asked to be painted since the last paint
    bool beneathStale_ = true;
    bool opaque_ = false;
    bool restackAsked_ = false;
    int paints_ = 0;
};

}  // namespace vq::app
