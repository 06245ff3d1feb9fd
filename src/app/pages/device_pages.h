#pragma once
// The device pages the window drives, built once the window's skin is loaded, and the routing of
// the controllers' events to them.

#include <memory>

#include "app/pages/mouse_buttons_page.h"
#include "app/pages/mouse_light_page.h"
#include "app/pages/mouse_pointer_page.h"
#include "app/pages/mouse_sensor_page.h"
#include "app/pages/profile_panel.h"

namespace vq {
struct ControllerEvent;
namespace platform {
class InputCapture;
}
}  // namespace vq

namespace vq::app {

class CMainWnd;
class DeviceHub;

struct DevicePages {
    DevicePages(CMainWnd& window, DeviceHub& hub);
    ~DevicePages();
    // Puts the mouse's model on its pages; `relayout` after a record replaced as a whole.
    void ShowMouseSettings(bool relayout);
    void OnEvent(const ControllerEvent& event);

    DeviceHub& hub;
    // The single-key capture of the key pages (one at a time).
    std::unique_ptr<platform::InputCapture> capture;
    // The system's pointer settings, applied by the mouse's controller.
    std::unique_ptr<SystemPointerTarget> pointerTarget;
    MouseSensorPage sensor;
    MouseLightPage light;
    MouseButtonsPage buttons;
    MousePointerPage pointer;
    ProfilePanel profiles;
};

}  // namespace vq::app
