#pragma once
// A simulated mouse on a virtual bus with a connected mouse session, for tests. The wire costs
// nothing and the time limits are short, so tests run fast.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/device/device_search.h"
#include "core/device/device_session.h"
#include "sim/sim_mouse.h"

namespace vq::test {

inline TransportTiming FastTiming() {
    return {/*write*/ 200, /*read*/ 30, /*attempts*/ 4, /*end*/ 0};
}

class SimMouseTest : public ::testing::Test {
  protected:
    SimMouseTest() {
        bus.SetTiming({std::chrono::microseconds{0}, std::chrono::microseconds{0}});
        mouse = std::make_unique<sim::SimMouse>(bus);
        mouse->Plug();
        session = std::make_unique<DeviceSession>(&bus, FastTiming());
        session->SetIdentity(DeviceKind::Mouse);
    }

    void Connect() {
        std::lock_guard lock(session->IoLock());
        ASSERT_EQ(ConnectConfigCollection(*session), SearchResult::Connected);
        bus.ClearTranscript();
    }

    // The device's own time limits on a bus whose clock moves only while a request waits:
    // exact timing, and no time spent.
    void UseDeviceTimingOnManualClock() {
        bus.UseManualClock(true);
        session->SetTiming({/*write*/ 1000, /*read*/ 300, /*attempts*/ 4, /*end*/ 0});
    }
    // Milliseconds on the bus's clock since `since`.
    double MsSince(std::chrono::steady_clock::time_point since) const {
        return std::chrono::duration<double, std::milli>(bus.Now() - since).count();
    }

    // Requests written to the configuration collection since the last clear.
    std::vector<std::vector<uint8_t>> Requests() const {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& e : bus.Transcript())
            if (e.direction == TraceDirection::ToDevice && e.usagePage == kConfigUsagePage)
                out.push_back(e.bytes);
        return out;
    }

    sim::VirtualHidBus bus;
    std::unique_ptr<sim::SimMouse> mouse;
    std::unique_ptr<DeviceSession> session;
};

}  // namespace vq::test
