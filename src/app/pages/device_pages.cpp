#include "app/pages/device_pages.h"

#include "app/main_window.h"
#include "core/macro/macro_file.h"

namespace vq::app {

DevicePages::DevicePages(CMainWnd& window)
    : mouse(window, window.Mouse(), window.Session(DeviceKind::Mouse)), profiles(window, mouse) {
    mouse.SetMacroNames([&window] {
        const auto folder = window.Store().KindFolder(DeviceKind::Mouse);
        return folder ? MacroLibrary(DeviceKind::Mouse, *folder).ReadNames()
                      : std::vector<std::string>{};
    });
    mouse.Register();
    profiles.Register();
    window.OnPageUpdate(DeviceKind::Mouse, [this] { mouse.ShowMouseSettings(); });
}

}  // namespace vq::app
