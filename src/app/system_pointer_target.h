#pragma once
// The system's pointer settings (the platform's) as the mouse's controller applies them.

#include <memory>

#include "core/mouse/pointer_settings.h"

namespace vq::platform {
class SystemPointer;
}

namespace vq::app {

class PlatformPointerTarget : public SystemPointerTarget {
  public:
    explicit PlatformPointerTarget(std::unique_ptr<platform::SystemPointer> pointer);
    ~PlatformPointerTarget() override;

    bool CanSetSpeed() const override;
    bool CanSetWheelLines() const override;
    std::string Limitation() const override;
    std::optional<int> Speed() override;
    bool SetSpeed(int speed) override;
    bool SetWheelLines(int lines) override;

  private:
    std::unique_ptr<platform::SystemPointer> pointer_;
};

// The running system's.
std::unique_ptr<SystemPointerTarget> MakeSystemPointerTarget();

}  // namespace vq::app
