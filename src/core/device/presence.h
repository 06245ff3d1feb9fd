#pragma once
// The worker loops that keep the mouse session connected and listen on the devices' event
// collections. They run on their own threads and reach the window only through the observer
// interfaces, whose implementations must post to the window's thread and never block on it (a
// loop may hold the session's I/O lock while it calls them).

#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>

#include "core/device/device_session.h"

namespace vq {

class PresenceObserver {
  public:
    virtual ~PresenceObserver() = default;
    // The configuration collection was found and opened; the session is connected.
    virtual void OnArrived() = 0;
    // The device went away (a failed probe, or not found again after its link was lost).
    virtual void OnRemoved() = 0;
    // A probe found the device still there.
    virtual void OnStillPresent() {}
    // The device was present on the first pass: the window may show itself (once per run).
    virtual void OnFirstPassShow() = 0;
};

struct PresenceTiming {
    std::chrono::milliseconds passInterval{1500};
    std::chrono::milliseconds retryAfterListingFailure{5000};
};

// Mouse presence: probe while connected, search otherwise, every pass under the session's I/O
// lock. Returns when `stop` is requested.
void RunPresenceLoop(DeviceSession& session, PresenceObserver& observer, std::stop_token stop,
                     PresenceTiming timing = {});

// What a notification of an event collection asks of the window.
enum class DeviceEvent {
    MouseLiveRead,     // 0x0401 from the mouse while its session is connected
    MouseFullRead,     // 0x0402 from the mouse
    MouseEventFlag,    // 0x0403 from the mouse
    KeyboardLiveRead,  // 0x0401 from the keyboard
    KeyboardFullRead,  // 0x0402 from the keyboard
};

// Maps a notification usage; nothing for usages the window ignores. `mouseConnected` is the
// mouse session's state when the notification arrived.
std::optional<DeviceEvent> MapNotification(DeviceKind from, uint16_t usage, bool mouseConnected);

class ListenerObserver {
  public:
    virtual ~ListenerObserver() = default;
    virtual void OnDeviceEvent(DeviceEvent event) = 0;
};

struct ListenerTiming {
    std::chrono::milliseconds whileSearching{1000};
    // Pause before searching again after a failed read of a device that is still present, so
    // that a device that keeps failing reads does not spin the thread.
    std::chrono::milliseconds afterFailedRead{20};
    std::chrono::milliseconds retryAfterListingFailure{5000};
};

// Listener of one device's event collection (mouse or keyboard). Owns its HidDevice; the
// untimed read is woken when `stop` is requested. `mouseSession` tells whether the mouse is
// connected (0x0401 from the mouse is ignored otherwise).
void RunListenerLoop(HidBackend* backend, DeviceKind kind, const DeviceSession& mouseSession,
                     ListenerObserver& observer, std::stop_token stop, ListenerTiming timing = {});

}  // namespace vq
