#pragma once
// The device pages the window drives: built once the window's skin is loaded.

#include "app/pages/mouse_page.h"
#include "app/pages/profile_lists.h"

namespace vq::app {

class CMainWnd;

struct DevicePages {
    explicit DevicePages(CMainWnd& window);
    MousePage mouse;
    ProfileLists profiles;
};

}  // namespace vq::app
