#pragma once
// The mouse's sensor page: the seven stages (slider, value, colour, range labels, the active
// stage), the report rate, the lift-off height and the line adjustment. Edits go to the mouse's
// controller; Show puts a record on the page without storing anything.

#include "app/pages/page_base.h"
#include "core/mouse/mouse_record.h"

namespace vq::app {

class MouseSensorPage : public PageBase {
  public:
    using PageBase::PageBase;
    void Register();
    void Show(const MouseRecord& record, uint16_t sensorCode);

    // The stage's colour button: the palette dialog beside the pointer; a chosen colour goes
    // to the stage.
    void PickStageColor(int stage);

  private:
    void ShowStageValue(int stage, bool store);
    void SetHoverBorder(int stage, bool on);
    void ChooseLiftHeight(int height);
    void ShowLiftHeight(int height);
    void ShowRangeLabels(uint16_t sensorCode);
    void MarkActiveStage(uint8_t activeStage);
};

}  // namespace vq::app
