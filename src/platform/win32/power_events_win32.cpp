#include <windows.h>

#include "platform/power_events.h"

namespace vq::platform {

PowerChange PowerChangeOfMessage(const void* message) {
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg == nullptr || msg->message != WM_POWERBROADCAST) return PowerChange::None;
    if (msg->wParam == PBT_APMSUSPEND) return PowerChange::Suspending;
    if (msg->wParam == PBT_APMRESUMEAUTOMATIC) return PowerChange::Resumed;
    return PowerChange::None;
}

}  // namespace vq::platform
