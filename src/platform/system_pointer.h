#pragma once
// The computer's own pointer speed and wheel lines, which the mouse page keeps with the mouse's
// profiles. On Windows they are the system parameters the control panel sets, stored for the
// user; under X the pointer speed is libinput's acceleration of every pointer (the wheel lines
// have no common setting there); elsewhere the values are not applied, and the log says so.

#include <memory>
#include <optional>

namespace vq::platform {

inline constexpr int kMinPointerSpeed = 1;
inline constexpr int kMaxPointerSpeed = 20;

class SystemPointer {
  public:
    virtual ~SystemPointer() = default;
    // Whether this system's values can be read and applied at all.
    virtual bool Available() const = 0;
    // Each value on its own: a desktop may have a setting for one and not the other.
    virtual bool SpeedAvailable() const { return Available(); }
    virtual bool WheelLinesAvailable() const { return Available(); }
    // The pointer speed (1-20); nothing when it cannot be read.
    virtual std::optional<int> Speed() = 0;
    // Applies and stores a speed of 1-20; false for any other value or when it failed.
    virtual bool SetSpeed(int speed) = 0;
    // Lines per wheel notch; nothing when it cannot be read.
    virtual std::optional<unsigned> WheelLines() = 0;
    // Applies and stores the wheel lines and tells the running programs; false when it failed.
    virtual bool SetWheelLines(unsigned lines) = 0;
};

// The running system's.
std::unique_ptr<SystemPointer> CreateSystemPointer();

}  // namespace vq::platform
