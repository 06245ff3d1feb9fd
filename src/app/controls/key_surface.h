#pragma once
// The on-screen keyboard's keys drawn by one widget.
//
// A light preview changes most of the keys many times a second. Drawn as 100-odd widgets, each
// changed key made the window work out and paint everything under it again (the keyboard's case,
// the page, the window's background) and then the key: a few milliseconds of the window's thread
// per picture. The surface lies under the keys and draws them all. It keeps two pictures: under
// the lights, what lies beneath the keys with every key's cap on it; over the lights, every key's
// label and marker. A paint copies the first, draws each key's light and lays the second over
// it; a key's part of either picture is made again only when the key's look changed (pressed,
// hovered, relabelled, marked). The keys draw nothing of their own while the surface draws them.
//
// The keys stay the widgets the user works with: they take the clicks, the hover and the
// tooltips, and whatever makes a key repaint repaints the surface under it. Where what lies
// beneath is not opaque (a skin that lets the window show through between the keys), the surface
// lets the window paint it as usual; the picture is the same either way.

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
    // The keys this surface draws.
    int KeyCount() const { return static_cast<int>(keys_.size()); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

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
    // Where key `index` is drawn here now (empty while it is not).
    QRect DrawnRect(size_t index) const;

    std::vector<QPointer<CDeviceKeyButtonUI>> keys_;
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
    int paints_ = 0;
};

}  // namespace vq::app
