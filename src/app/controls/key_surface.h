#pragma once
// The on-screen keyboard's keys drawn by one widget (see parts_surface.h for how it lies over
// them and when it steps aside).
//
// It keeps two pictures: under the lights, what lies beneath the keys with every key's cap on it;
// over the lights, every key's label and marker. A paint copies the first, draws each key's light
// and lays the second over it; a key's part of either picture is made again only when the key's
// look changed (pressed, hovered, relabelled, marked). The keys draw nothing of their own while
// the surface draws them, and take the clicks, the hover and the tooltips as before.

#include <QImage>

#include <vector>

#include "app/controls/parts_surface.h"

namespace vq::app {

class CDeviceKeyButtonUI;

class CKeySurfaceUI : public CPartsSurfaceUI {
    Q_OBJECT
  public:
    // Puts a surface over `keys` (children of one widget; keys with another parent, hidden or
    // without a size are left to draw themselves), covering them with `margin` pixels around.
    // Returns null when no key qualifies.
    static CKeySurfaceUI* Attach(const std::vector<CDeviceKeyButtonUI*>& keys, int margin = 2);
    ~CKeySurfaceUI() override;

  protected:
    void BeneathRedrawn() override;
    void PaintParts(QPainter& painter, const QRect& dirty, bool overWindow) override;

  private:
    explicit CKeySurfaceUI(QWidget* parent);
    CDeviceKeyButtonUI* Key(size_t index) const;
    // Brings the keys' parts of the two layers up to date within `area`.
    void UpdateLayers(const QRect& area);
    // Makes `area` of both layers again from what lies beneath and the keys' looks.
    void ComposeLayers(const QRect& area);
    // Where key `index` is drawn here now (empty while it is not).
    QRect DrawnRect(size_t index) const;

    // The look number of each key as the layers show it (-1: not drawn yet).
    std::vector<int> composed_;
    // Where each key was when the layers took it.
    std::vector<QRect> composedAt_;
    QImage under_;
    QImage over_;
};

}  // namespace vq::app
