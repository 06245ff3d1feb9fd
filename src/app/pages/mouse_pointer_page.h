#pragma once
// The computer's values on the mouse's sensor page: the pointer speed slider, the wheel lines
// edit with its buttons, and the factory reset. The values go to the mouse's controller, which
// stores, applies and saves them; a value this system does not let a program set has its
// control disabled, with a tooltip that says why.

#include "app/pages/page_base.h"
#include "core/mouse/pointer_settings.h"

namespace vq::app {

class MousePointerPage : public PageBase {
  public:
    using PageBase::PageBase;
    void Register();
    // A profile brought new values: the slider shows the path's position, the edit the lines.
    void ShowProfileValues(PointerPath path);
    void FactoryReset();

  private:
    void ShowSlider(int position);
    void ShowWheel(int lines);
    void StepWheel(bool up);
    void ShowAvailability();

    PointerPath shown_ = PointerPath::DeviceProfile;  // the path of the values shown last
};

}  // namespace vq::app
