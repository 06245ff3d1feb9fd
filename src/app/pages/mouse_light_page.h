#pragma once
// The mouse's lighting page: the effect with the controls it uses, brightness, speed, the single
// colour (palette, preview, R/G/B), the seven colours and the direction. Edits go to the mouse's
// controller; Show puts a record on the page without storing anything.

#include <QRgb>
#include <memory>

#include "app/pages/light_colour_fields.h"
#include "app/pages/mouse_light_animator.h"
#include "app/pages/page_base.h"
#include "core/mouse/mouse_record.h"

namespace vq::app {

class MouseLightPage : public PageBase {
  public:
    MouseLightPage(CMainWnd& window, DeviceHub& hub);
    ~MouseLightPage();
    void Register();
    // The animation of the page's mouse picture.
    MouseLightAnimator& Animator() { return *animator_; }
    // `relayout`: the record was replaced as a whole, so the effect's controls are laid out again.
    void Show(const MouseRecord& record, bool relayout);

  private:
    void ChooseLightMode(int mode);
    void ChooseAlternativeMode(int list, int mode);
    void LayOutMode(int mode, uint8_t sevenColour);
    void ChooseColour(QRgb argb);
    void ShowDirection(bool left);

    LightColourFields colours_;
    std::unique_ptr<MouseLightAnimator> animator_;
};

}  // namespace vq::app
