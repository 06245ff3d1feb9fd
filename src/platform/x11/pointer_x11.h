#pragma once
// The pointer speed of an X server whose pointers are driven by libinput: every pointer's
// "libinput Accel Speed" property (-1 to 1, 0 the driver's default).

#include <memory>

#include "platform/system_pointer.h"

namespace vq::platform {

// The program's speed (1-20, 10 the usual one) as an acceleration value and back: 10 is 0,
// every step one tenth, 20 the fastest (1); the slowest speeds stop at -0.9.
double LibinputAccelFromSpeed(int speed);
int SpeedFromLibinputAccel(double accel);

// The X server's pointer, or nothing when no X server can be reached or none of its pointers
// has the property (another driver, or an X server of a Wayland desktop).
std::unique_ptr<SystemPointer> CreateX11SystemPointer();

}  // namespace vq::platform
