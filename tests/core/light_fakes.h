#pragma once
// Simulated time for the light loops, and the three simulated devices on one bus with
// connected sessions.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/device/device_search.h"
#include "core/device/device_session.h"
#include "core/light/light_loops.h"
#include "sim/sim_mouse.h"
#include "sim/sim_peripheral.h"

namespace vq::test {

// Time that passes only when a loop sleeps. On threads (`threaded`), sleeps yield and waits
// for the wake block for a real millisecond at most, so that the loops neither spin nor hang.
class FakeLightClock : public light::LightClock {
  public:
    explicit FakeLightClock(bool threaded = false) : threaded_(threaded) {}

    uint64_t NowMs() override { return now_.load(); }
    bool Sleep(std::stop_token stop, uint32_t ms) override {
        now_ += ms;
        Note(static_cast<int>(ms));
        if (threaded_) std::this_thread::yield();
        return stop.stop_requested();
    }
    bool WaitForWake(std::stop_token stop, light::LightWake& wake, uint64_t seen,
                     uint32_t ms) override {
        ++waits_;
        Note(-1);
        if (threaded_) return wake.WaitPast(stop, seen, 1);
        if (wake.Generation() == seen) now_ += ms;
        return stop.stop_requested();
    }
    void Advance(uint64_t ms) { now_ += ms; }

    // The sleeps since the last call, in order; -1 stands for a wait on the wake.
    std::vector<int> TakeSleeps() {
        std::lock_guard lock(mutex_);
        return std::exchange(sleeps_, {});
    }
    int Waits() const { return waits_.load(); }

  private:
    void Note(int ms) {
        std::lock_guard lock(mutex_);
        if (sleeps_.size() < 100000) sleeps_.push_back(ms);
    }
    bool threaded_;
    std::atomic<uint64_t> now_{0};
    std::atomic<int> waits_{0};
    std::mutex mutex_;
    std::vector<int> sleeps_;
};

inline TransportTiming LightTestTiming() {
    return {/*write*/ 200, /*read*/ 30, /*attempts*/ 2, /*end*/ 0};
}

// A keyboard, a mouse and a mousepad on one bus that costs no time, each with a session.
struct SimLightRig {
    SimLightRig() {
        bus.SetTiming({std::chrono::microseconds{0}, std::chrono::microseconds{0}});
        keyboard = std::make_unique<sim::SimKeyboard>(bus);
        mouse = std::make_unique<sim::SimMouse>(bus);
        mousepad = std::make_unique<sim::SimMousepad>(bus);
        keyboard->Plug();
        mouse->Plug();
        mousepad->Plug();
        keyboardSession.SetIdentity(DeviceKind::Keyboard);
        mouseSession.SetIdentity(DeviceKind::Mouse);
        mousepadSession.SetIdentity(DeviceKind::Mousepad);
    }
    static void Connect(DeviceSession& session) {
        std::lock_guard lock(session.IoLock());
        ASSERT_EQ(ConnectConfigCollection(session), SearchResult::Connected);
    }
    void ConnectAll() {
        Connect(keyboardSession);
        Connect(mouseSession);
        Connect(mousepadSession);
        bus.ClearTranscript();
    }
    // Light frame requests written to a device since the last clear, by product.
    int LightRequests() const {
        int n = 0;
        for (const auto& e : bus.Transcript())
            if (e.direction == TraceDirection::ToDevice && e.usagePage == kConfigUsagePage &&
                e.bytes.size() > 3 && e.bytes[3] == 0x12)
                ++n;
        return n;
    }

    sim::VirtualHidBus bus;
    std::unique_ptr<sim::SimKeyboard> keyboard;
    std::unique_ptr<sim::SimMouse> mouse;
    std::unique_ptr<sim::SimMousepad> mousepad;
    DeviceSession keyboardSession{&bus, LightTestTiming()};
    DeviceSession mouseSession{&bus, LightTestTiming()};
    DeviceSession mousepadSession{&bus, LightTestTiming()};
};

}  // namespace vq::test
