#include "core/mouse/mouse_defaults.h"

#include <algorithm>

#include "core/device/key_assignment.h"
#include "core/mouse/mouse_model.h"
#include "core/mouse/mouse_record.h"

namespace vq {

MouseStoredRecord DefaultMouseRecord(uint8_t slot) {
    MouseRecord r;
    r.SetSlot(slot);
    r.SetLightMode(1);  // breathing
    r.SetBrightness(3);
    r.SetLightSpeed(2);
    r.SetLightDirection(1);
    r.SetSevenColor(0);
    r.SetLightColor({0x00, 0xA0, 0xFF});
    r.SetReportRate(3);  // 1000 reports a second
    static constexpr uint16_t kStageDpi[MouseRecord::kStages] = {400,  800,  1600, 3200,
                                                                 4800, 6400, 12000};
    static constexpr Rgb kStageColours[MouseRecord::kStages] = {
        {255, 0, 0},   {0, 255, 0},   {0, 0, 255},    {255, 255, 0},
        {0, 255, 255}, {255, 0, 255}, {255, 255, 255}};
    for (int s = 0; s < MouseRecord::kStages; ++s) {
        r.SetStageSteps(s, static_cast<uint16_t>(kStageDpi[s] / MouseRecord::kDpiStep));
        r.SetStageColor(s, kStageColours[s]);
    }
    r.SetActiveStage(1);  // 800 DPI
    r.SetLiftHeight(1);   // middle
    r.SetLineAdjust(0);
    r.SetLastMode(1);
    MouseStoredRecord stored{};
    std::copy(r.bytes.begin(), r.bytes.end(), stored.begin());
    return stored;
}

MouseKeyLayer DefaultMouseKeyLayer() {
    static constexpr KeyAssignment kButtons[8] = {
        {key_type::kMouseButton, 0x01, 0},  // left
        {key_type::kMouseButton, 0x04, 0},  // wheel: middle click
        {key_type::kMouseButton, 0x02, 0},  // right
        {key_type::kMouseButton, 0x10, 0},  // forward
        {key_type::kMouseButton, 0x08, 0},  // back
        {key_type::kDpi, 0x01, 0},          // DPI: step through the stages
        {key_type::kDpi, 0x02, 0},          // second DPI button: the second DPI function
        {key_type::kDpiShift, 0x02, 0},     // DPI shift while held
    };
    MouseKeyLayer layer{};
    for (size_t n = 0; n < std::size(kButtons); ++n)
        kButtons[n].StoreAt(layer, n);
    return layer;
}

void ApplyMouseDefaults(MouseModel& model) {
    const MouseKeyLayer layer = DefaultMouseKeyLayer();
    model.SetKeyLayer(0, layer);
    model.SetFactoryBlock(layer);
    model.SetRecord(MouseRecord::FromBytes(DefaultMouseRecord(0)));
    model.SetPointerSpeed(kDefaultPointerSpeed);
    model.SetWheelLines(kDefaultWheelLines);
}

}  // namespace vq
