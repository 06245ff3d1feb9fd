#pragma once
// The on-screen keyboard's keys drawn by one widget.
//
// A light preview changes most of the keys many times a second. Drawn as 100-odd widgets, each
// changed key made the window work out and paint everything under it again (the keyboard's case,
// the page, the window's background) and then the key: a few milliseconds of the window's thread
// per picture. The surface draws them all. It keeps two pictures: under the lights, what lies
// beneath the keys with every key's cap on it; over the lights, every key's label and marker. A
// paint copies the first, draws each key's light and lays the second over it; a key's part of
// either picture is made again only when the key's look changed (pressed, hovered, relabelled,
// marked). The keys draw nothing of their own while the surface draws them.
//
// The surface lies directly over the highest of its keys, so that the window, asked to paint it,
// has nothing else to work out: over an opaque picture it does not look at the hundred keys
// beneath. Whenever something among its keys would be hidden by it (a key moved off the surface,
// one shown that was hidden when it was made, another widget put between them) it hides itself
// and the keys draw themselves, as if it were not there; it comes back once its keys are alone.
//
// The keys stay the widgets the user works with: the surface lets the mouse through, so they take
// the clicks, the hover and the tooltips, and whatever makes a key repaint repaints the surface.
// Where what lies beneath is not opaque (a skin that lets the window show through between the
// keys), the surface lets the window paint it as usual; the picture is the same either way.

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace vq::app {

class CDeviceKeyButtonUI;

class CKeySurfaceUI : public QWidget {
    Q_OBJECT
  public:
    // Puts a surface under `keys` (children of one widget; keys with another parent, hidden or
    // without a size are left to draw themselves), covering them with `margin` pixels around.
    // Returns null when no key qualifies.
    static CKeySurfaceUI* Attach(const std::vector<CDeviceKeyButtonUI*>& keys, int margin = 2);
    ~CKeySurfaceUI() override;

    // A key drawn here changed (`keyGeometry` in the parent's coordinates). The changes of one
    // turn of the event loop are gathered into one rectangle and one request: a preview's picture
    // changes most keys, and one paint of one rectangle costs the window far less than a hundred
    // small ones.
    void KeyChanged(const QRect& keyGeometry);

    // True when what lies under the keys is opaque and the window paints nothing beneath them.
    bool Opaque() const { return opaque_; }
    int PaintCount() const { return paints_; }
    // True while it lies over its keys and draws them (false: it is hidden while something among
    // them would be hidden by it, and the keys draw themselves).
    bool OverKeys() const { return overKeys_; }
    // The keys this surface draws.
    int KeyCount() const { return static_cast<int>(keys_.size()); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit CKeySurfaceUI(QWidget* parent);
    // Renders the widgets under the surface into `beneath_`, decides whether it is opaque, and
    // makes both layers again.
    void RenderBeneath();
    // Brings the keys' parts of the two layers up to date within `area`.
    void UpdateLayers(const QRect& area);
    // Makes `area` of both layers again from what lies beneath and the keys' looks.
    void ComposeLayers(const QRect& area);
    QRect KeyRect(const CDeviceKeyButtonUI& key) const;
    bool Mine(const QObject* object) const;
    // Whether `key` lies wholly on the surface (with the same parent).
    bool Covers(const CDeviceKeyButtonUI& key) const;
    // Whether it may lie over its keys now: every shown widget between the lowest and the
    // highest of them that reaches into the surface is a key it draws.
    bool MayLieOverKeys() const;
    // Lies over its keys or under them, as MayLieOverKeys says.
    void Restack();
    // Restack once the changes of this turn of the event loop are in.
    void AskRestack();
    // Where key `index` is drawn here now (empty while it is not).
    QRect DrawnRect(size_t index) const;

    std::vector<QPointer<CDeviceKeyButtonUI>> keys_;
    std::vector<const QObject*> sortedKeys_;  // the same, by address, to tell them apart
    // The look number of each key as the layers show it (-1: not drawn yet).
    std::vector<int> composed_;
    // Where each key was when the layers took it.
    std::vector<QRect> composedAt_;
    QImage beneath_;
    QImage under_;
    QImage over_;
    QRect pending_;
    bool beneathStale_ = true;
    bool opaque_ = false;
    bool overKeys_ = false;
    bool restackAsked_ = false;
    int paints_ = 0;
};

}  // namespace vq::app
