#pragma once
// The device pages the window drives, built once the window's skin is loaded, and the routing of
// the controllers' events to them.

#include <memory>

#include "app/pages/keyboard_keys_page.h"
#include "app/pages/keyboard_light_page.h"
#include "app/pages/led_controls.h"
#include "app/pages/macro_page.h"
#include "app/pages/mouse_buttons_page.h"
#include "app/pages/mouse_cursor_page.h"
#include "app/pages/mouse_light_page.h"
#include "app/pages/mouse_pointer_page.h"
#include "app/pages/mouse_sensor_page.h"
#include "app/pages/mousepad_light_page.h"
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
    // Puts the keyboard's (or the mousepad's) model on its pages.
    void ShowKeyboardSettings();
    void ShowMousepadSettings();
    void OnEvent(const ControllerEvent& event);

    DeviceHub& hub;
    // The mouse's LEDs on its lighting page, looked up once (before the painter that uses them).
    std::unique_ptr<LedControls<20>> mouseLeds;
    // The mouse's LEDs on its lighting page while the light sync drives the mouse (its own
    // preview stands still then).
    std::unique_ptr<LightPreviewPainter> mouseSync;
    // The single-key capture of the key pages (one at a time).
    std::unique_ptr<platform::InputCapture> capture;
    // The system's pointer settings, applied by the mouse's controller.
    std::unique_ptr<SystemPointerTarget> pointerTarget;
    MouseSensorPage sensor;
    MouseLightPage light;
    MouseButtonsPage buttons;
    MousePointerPage pointer;
    KeyboardLightPage keyboardLight;
    KeyboardKeysPage keyboardKeys;
    MousepadLightPage mousepadLight;
    ProfilePanel profiles;
    MacroPage mouseMacros;
    MacroPage keyboardMacros;
    MouseCursorPage cursor;
};

}  // namespace vq::app
