#pragma once
// The mouse presence thread: while the mouse is connected it probes the mouse's configuration
// collection every pass and notices when it leaves; while it is not, it searches for it and
// connects it. Arrival and removal reach the window as queued calls; the first pass that finds
// the mouse asks the window to show itself.

#include <chrono>
#include <functional>

#include "core/util/worker_set.h"

namespace vq {
class DeviceSession;
}

namespace vq::app {

struct MousePresenceEvents {
    std::function<void()> arrived;    // the session was just connected
    std::function<void()> left;       // the session was just disconnected
    std::function<void()> firstFind;  // the first pass connected the mouse
};

void RunMousePresence(WorkerSet::Context& context, DeviceSession& session,
                      const MousePresenceEvents& events, std::chrono::milliseconds period);

}  // namespace vq::app
