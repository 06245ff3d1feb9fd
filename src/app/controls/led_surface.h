#pragma once
// The LEDs of a device picture (the mouse's, the mousepad's zones) drawn by one widget over a
// picture of what lies beneath them (see parts_surface.h for how it lies over them and when it
// steps aside). A paint copies what lies beneath and draws each LED's look on it.

#include <vector>

#include "app/controls/parts_surface.h"

namespace vq::app {

class CLedPreviewUI;

class CLedSurfaceUI : public CPartsSurfaceUI {
    Q_OBJECT
  public:
    // Puts a surface over `leds` (children of one widget; others, hidden ones and those without a
    // size draw themselves). Returns null when no LED qualifies.
    static CLedSurfaceUI* Attach(const std::vector<CLedPreviewUI*>& leds);
    ~CLedSurfaceUI() override;

  protected:
    void PaintParts(QPainter& painter, const QRect& dirty, bool overWindow) override;

  private:
    explicit CLedSurfaceUI(QWidget* parent);
};

}  // namespace vq::app
