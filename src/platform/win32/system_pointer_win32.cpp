// The pointer speed and the wheel lines through SystemParametersInfoW, stored in the user's
// profile (SPIF_UPDATEINIFILE). The new wheel lines are announced to every top-level window with
// WM_SETTINGCHANGE, posted without waiting for the windows to handle it, so that a window that
// does not answer never holds the caller.

#include <windows.h>

#include "core/util/log.h"
#include "platform/system_pointer.h"

namespace vq::platform {

namespace {

class WindowsSystemPointer : public SystemPointer {
  public:
    bool Available() const override { return true; }

    std::optional<int> Speed() override {
        int speed = 0;
        if (!SystemParametersInfoW(SPI_GETMOUSESPEED, 0, &speed, 0)) return std::nullopt;
        return speed;
    }

    bool SetSpeed(int speed) override {
        if (speed < kMinPointerSpeed || speed > kMaxPointerSpeed) return false;
        // The value itself travels in the pointer argument.
        if (!SystemParametersInfoW(SPI_SETMOUSESPEED, 0,
                                   reinterpret_cast<void*>(static_cast<INT_PTR>(speed)),
                                   SPIF_UPDATEINIFILE)) {
            Logf(LogLevel::Warning, "pointer speed %d not applied: error %lu", speed,
                 GetLastError());
            return false;
        }
        return true;
    }

    std::optional<unsigned> WheelLines() override {
        UINT lines = 0;
        if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) return std::nullopt;
        return lines;
    }

    bool SetWheelLines(unsigned lines) override {
        if (!SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, lines, nullptr, SPIF_UPDATEINIFILE)) {
            Logf(LogLevel::Warning, "wheel lines %u not applied: error %lu", lines, GetLastError());
            return false;
        }
        SendNotifyMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETWHEELSCROLLLINES, 0);
        return true;
    }
};

}  // namespace

std::unique_ptr<SystemPointer> CreateSystemPointer() {
    return std::make_unique<WindowsSystemPointer>();
}

}  // namespace vq::platform
