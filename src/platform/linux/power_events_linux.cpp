#include "platform/power_events.h"

namespace vq::platform {

PowerChange PowerChangeOfMessage(const void*) {
    return PowerChange::None;
}

}  // namespace vq::platform
