#include "app/mouse_presence.h"

#include <mutex>

#include "core/device/device_search.h"
#include "core/device/device_session.h"
#include "core/util/log.h"

namespace vq::app {

void RunMousePresence(WorkerSet::Context& context, DeviceSession& session,
                      const MousePresenceEvents& events, std::chrono::milliseconds period) {
    context.stop.Reset();
    bool firstPass = true;
    for (;;) {
        if (context.StopRequested(std::chrono::milliseconds(1))) break;
        {
            std::lock_guard lock(session.IoLock());
            if (session.IsConnected()) {
                if (!session.Device().Probe()) {
                    session.SetConnected(false);
                    session.SetLightSync(false);
                    session.Device().Close();
                    Log(LogLevel::Info, "the mouse was removed");
                    if (events.left) events.left();
                }
            } else {
                const SearchResult result = ConnectConfigCollection(session);
                if (result == SearchResult::EnumerationFailed) {
                    Log(LogLevel::Warning,
                        "the HID interfaces could not be listed; the mouse is no longer watched");
                    return;
                }
                if (result == SearchResult::Connected) {
                    Log(LogLevel::Info, "the mouse was connected");
                    if (events.arrived) events.arrived();
                }
                if (firstPass && session.IsConnected() && events.firstFind) events.firstFind();
                firstPass = false;
            }
        }
        if (context.StopRequested(period)) break;
    }
    Log(LogLevel::Debug, "鼠标设备侦测线程设定退出");
}

}  // namespace vq::app
