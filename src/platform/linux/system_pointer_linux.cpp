// Linux desktops keep the pointer speed and the wheel lines each in their own settings, with
// no common place a program may change them: the values stay in the profiles, and the log says
// once that they are not applied here.

#include <atomic>

#include "core/util/log.h"
#include "platform/system_pointer.h"

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
    return std::make_unique<UnavailableSystemPointer>();
}

}  // namespace vq::platform
