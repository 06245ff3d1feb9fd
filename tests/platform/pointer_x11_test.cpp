// The pointer speed under X: the speed <-> libinput acceleration mapping, and an X server whose
// pointers have no libinput property (a private Xvfb) is never taken for one that applies it.

#include <gtest/gtest.h>

#if defined(VQ_HAVE_XI)

#include <cmath>
#include <limits>

#include "platform/private_x_server.h"
#include "platform/x11/pointer_x11.h"

namespace vq::test {
namespace {

using platform::LibinputAccelFromSpeed;
using platform::SpeedFromLibinputAccel;

TEST(PointerX11, SpeedsMapToTheAccelerationAndBack) {
    EXPECT_DOUBLE_EQ(LibinputAccelFromSpeed(10), 0.0);  // the usual speed is the driver's default
    EXPECT_DOUBLE_EQ(LibinputAccelFromSpeed(20), 1.0);
    EXPECT_DOUBLE_EQ(LibinputAccelFromSpeed(15), 0.5);
    EXPECT_DOUBLE_EQ(LibinputAccelFromSpeed(1), -0.9);
    // Out of range speeds are the nearest ones.
    EXPECT_DOUBLE_EQ(LibinputAccelFromSpeed(0), -0.9);
    EXPECT_DOUBLE_EQ(LibinputAccelFromSpeed(99), 1.0);
    for (int speed = platform::kMinPointerSpeed; speed <= platform::kMaxPointerSpeed; ++speed) {
        EXPECT_EQ(SpeedFromLibinputAccel(LibinputAccelFromSpeed(speed)), speed) << speed;
        // The server keeps a float: the speed survives that too.
        EXPECT_EQ(SpeedFromLibinputAccel(static_cast<float>(LibinputAccelFromSpeed(speed))), speed)
            << speed;
    }
    // Values another program set are read as the nearest speed.
    EXPECT_EQ(SpeedFromLibinputAccel(-1.0), 1);
    EXPECT_EQ(SpeedFromLibinputAccel(0.349), 13);
    EXPECT_EQ(SpeedFromLibinputAccel(7.0), 20);
    EXPECT_EQ(SpeedFromLibinputAccel(std::numeric_limits<double>::quiet_NaN()), 10);
}

TEST(PointerX11, AServerWithoutLibinputPointersIsNotUsed) {
    PrivateXServer server;
    if (!server.Ready()) GTEST_SKIP() << "no Xvfb on this machine";
    // Xvfb's pointer has no libinput property: nothing would take a speed.
    EXPECT_EQ(platform::CreateX11SystemPointer(), nullptr);
    const std::unique_ptr<platform::SystemPointer> system = platform::CreateSystemPointer();
    ASSERT_NE(system, nullptr);
    EXPECT_FALSE(system->SpeedAvailable());
    EXPECT_FALSE(system->SetSpeed(12));
}

TEST(PointerX11, NoServerAtAllIsNotUsed) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    ::setenv("DISPLAY", ":99999", 1);
    EXPECT_EQ(platform::CreateX11SystemPointer(), nullptr);
    if (display)
        ::setenv("DISPLAY", saved.c_str(), 1);
    else
        ::unsetenv("DISPLAY");
}

}  // namespace
}  // namespace vq::test

#endif
