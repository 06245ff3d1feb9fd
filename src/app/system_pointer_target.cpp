#include "app/system_pointer_target.h"

#include "platform/system_pointer.h"

namespace vq::app {

PlatformPointerTarget::PlatformPointerTarget(std::unique_ptr<platform::SystemPointer> pointer)
    : pointer_(std::move(pointer)) {}

PlatformPointerTarget::~PlatformPointerTarget() = default;

bool PlatformPointerTarget::CanSetSpeed() const {
    return pointer_ && pointer_->SpeedAvailable();
}

bool PlatformPointerTarget::CanSetWheelLines() const {
    return pointer_ && pointer_->WheelLinesAvailable();
}

std::string PlatformPointerTarget::Limitation() const {
    if (!CanSetSpeed()) return "ui_pointer_unavailable_tip";
    if (!CanSetWheelLines()) return "ui_wheel_unavailable_tip";
    return {};
}

std::optional<int> PlatformPointerTarget::Speed() {
    return pointer_ ? pointer_->Speed() : std::nullopt;
}

bool PlatformPointerTarget::SetSpeed(int speed) {
    return pointer_ && pointer_->SetSpeed(speed);
}

bool PlatformPointerTarget::SetWheelLines(int lines) {
    return pointer_ && lines >= 0 && pointer_->SetWheelLines(static_cast<unsigned>(lines));
}

std::unique_ptr<SystemPointerTarget> MakeSystemPointerTarget() {
    return std::make_unique<PlatformPointerTarget>(platform::CreateSystemPointer());
}

}  // namespace vq::app
