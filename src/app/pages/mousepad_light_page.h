#pragma once
// The mousepad's lighting page: its ten effects with the controls each uses, brightness, speed,
// direction, the single colour or the rainbow colours, the light sync, the factory reset, and
// the preview of the light thread's frames on the 15 zones of the pad's picture. Edits go to the
// mousepad's controller; Show puts the model on the page without storing anything.

#include <QRgb>
#include <memory>

#include "app/pages/led_controls.h"
#include "app/pages/light_colour_fields.h"
#include "app/pages/light_preview_painter.h"
#include "app/pages/page_base.h"

namespace vq::app {

class MousepadLightPage : public PageBase {
  public:
    MousepadLightPage(CMainWnd& window, DeviceHub& hub);
    ~MousepadLightPage();
    void Register();
    void Show();

    void ChooseMode(int mode);
    void ChooseColour(QRgb argb);
    LightPreviewPainter& Painter() { return *painter_; }

  private:
    void PaintPreview();

    LightColourFields colours_;
    LedControls<15> zones_;
    std::unique_ptr<LightPreviewPainter> painter_;
};

}  // namespace vq::app
