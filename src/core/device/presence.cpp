#include "core/device/presence.h"

#include <algorithm>
#include <array>

#include "core/device/device_search.h"
#include "core/util/log.h"
#include "core/util/stop_wait.h"

namespace vq {

void RunPresenceLoop(DeviceSession& session, PresenceObserver& observer, std::stop_token stop,
                     PresenceTiming timing) {
    bool firstPass = true;
    // Whether the window was told of an arrival and not yet of a removal. A link lost by a failed
    // write clears `connected` without a probe; if the device is then not found again, the
    // window is still told it left.
    bool announced = false;
    for (;;) {
        if (WaitForStop(stop, std::chrono::milliseconds(1))) {
            Log(LogLevel::Debug, "鼠标设备侦测线程设定退出");
            return;
        }
        auto wait = timing.passInterval;
        {
            std::lock_guard lock(session.IoLock());
            if (session.IsConnected()) {
                if (!session.Device().Probe()) {
                    session.SetConnected(false);
                    session.SetLightSync(false);
                    session.Device().Close();
                    announced = false;
                    Log(LogLevel::Info, "mouse removed");
                    observer.OnRemoved();
                } else {
                    observer.OnStillPresent();
                }
            } else {
                switch (ConnectConfigCollection(session)) {
                    case SearchResult::Connected:
                        Logf(LogLevel::Info, "mouse connected at %s",
                             session.Device().Path().c_str());
                        announced = true;
                        observer.OnArrived();
                        break;
                    case SearchResult::NotFound:
                        if (announced) {
                            announced = false;
                            session.SetLightSync(false);
                            Log(LogLevel::Info, "mouse lost and not found again");
                            observer.OnRemoved();
                        }
                        break;
                    case SearchResult::EnumerationFailed:
                        // A listing can fail for a moment (a device being set up); keep
                        // watching rather than giving up until the next start.
                        Log(LogLevel::Warning, "HID interfaces could not be listed; retrying");
                        wait = timing.retryAfterListingFailure;
                        break;
                }
                if (firstPass && session.IsConnected()) observer.OnFirstPassShow();
                firstPass = false;
            }
        }
        if (WaitForStop(stop, wait)) {
            Log(LogLevel::Debug, "鼠标设备侦测线程设定退出");
            return;
        }
    }
}

std::optional<DeviceEvent> MapNotification(DeviceKind from, uint16_t usage, bool mouseConnected) {
    if (from == DeviceKind::Mouse) {
        switch (usage) {
            case 0x0401:
                if (mouseConnected) return DeviceEvent::MouseLiveRead;
                return std::nullopt;
            case 0x0402:
                return DeviceEvent::MouseFullRead;
            case 0x0403:
                return DeviceEvent::MouseEventFlag;
            default:
                return std::nullopt;
        }
    }
    if (from == DeviceKind::Keyboard) {
        switch (usage) {
            case 0x0401:
                return DeviceEvent::KeyboardLiveRead;
            case 0x0402:
                return DeviceEvent::KeyboardFullRead;
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

namespace {

// Reads notifications until the device fails a read, its handle is closed, or a stop is
// requested. A failed read ends the listening even when the interface is still present: after a
// quick replug the old handle never reads again, and the caller's search opens the new one.
void ListenUntilFailure(HidDevice& device, DeviceKind kind, const DeviceSession& mouseSession,
                        ListenerObserver& observer, std::stop_token stop) {
    std::array<uint8_t, 64> report{};
    const size_t length = std::clamp<size_t>(device.Caps().inputReportByteLength, 1, report.size());
    while (!stop.stop_requested()) {
        size_t got = 0;
        if (device.ReadReport(length, &got, report.data(), kInfinite) == 0) return;
        const auto usage = device.FirstInputUsage({report.data(), got});
        if (!usage) continue;
        if (auto event = MapNotification(kind, *usage, mouseSession.IsConnected()))
            observer.OnDeviceEvent(*event);
    }
}

}  // namespace

void RunListenerLoop(HidBackend* backend, DeviceKind kind, const DeviceSession& mouseSession,
                     ListenerObserver& observer, std::stop_token stop, ListenerTiming timing) {
    const char* exitLine =
        kind == DeviceKind::Mouse ? "鼠标同步线程设定测试退出" : "键盘同步线程设定退出";
    HidDevice device(backend);
    // A stop request closes the device, which wakes the untimed read below.
    std::stop_callback wake(stop, [&device] { device.Close(); });
    for (;;) {
        if (WaitForStop(stop, std::chrono::milliseconds(1))) {
            Log(LogLevel::Debug, exitLine);
            return;
        }
        auto wait = timing.whileSearching;
        switch (OpenEventCollection(device, kVendorId, ProductIdOf(kind))) {
            case SearchResult::Connected:
                ListenUntilFailure(device, kind, mouseSession, observer, stop);
                device.Close();
                // Still there (a read failed, or a quick replug): search again soon.
                if (device.Probe()) wait = timing.afterFailedRead;
                break;
            case SearchResult::NotFound:
                break;
            case SearchResult::EnumerationFailed:
                Log(LogLevel::Warning, "HID interfaces could not be listed; retrying");
                wait = timing.retryAfterListingFailure;
                break;
        }
        if (WaitForStop(stop, wait)) {
            Log(LogLevel::Debug, exitLine);
            return;
        }
    }
}

}  // namespace vq
