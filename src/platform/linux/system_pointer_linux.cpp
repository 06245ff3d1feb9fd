// Under an X server whose pointers libinput drives, the pointer speed is their acceleration
// (platform/x11/pointer_x11.h). Elsewhere (another driver, a Wayland desktop, no display) Linux
// desktops keep the pointer speed and the wheel lines in their own settings, with no common
// place a program may change them: the values stay in the profiles, and the log says once that
// they are not applied here.

#include <atomic>

#include "core/util/log.h"
#include "platform/system_pointer.h"
#if defined(VQ_HAVE_XI)
#include "platform/x11/pointer_x11.h"
#endif

namespace vq::platform {

namespace {

class UnavailableSystemPointer : public SystemPointer {
  public:
    bool Available() const override { return false; }
    std::optional<int> Speed() override { return std::nullopt; }
    bool SetSpeed(int speed) override {
        Note("the pointer speed", speed);
        return false;
    }
    std::optional<unsigned> WheelLines() override { return std::nullopt; }
    bool SetWheelLines(unsigned lines) override {
        Note("the wheel lines", static_cast<int>(lines));
        return false;
    }

  private:
    void Note(const char* what, int value) {
        if (said_.exchange(true))
            Logf(LogLevel::Debug, "%s (%d) not applied on this system", what, value);
        else
            Logf(LogLevel::Info,
                 "this system's pointer speed and wheel lines cannot be set by a program: %s "
                 "(%d) is kept in the profile but not applied",
                 what, value);
    }

    std::atomic<bool> said_{false};
};

}  // namespace

std::unique_ptr<SystemPointer> CreateSystemPointer() {
#if defined(VQ_HAVE_XI)
    if (std::unique_ptr<SystemPointer> x11 = CreateX11SystemPointer()) {
        Log(LogLevel::Info, "pointer speed: the X server's libinput acceleration");
        return x11;
    }
#endif
    return std::make_unique<UnavailableSystemPointer>();
}

}  // namespace vq::platform
