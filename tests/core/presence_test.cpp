// The presence and listener loops against the simulated mouse: arrival, removal, a lost link,
// notifications and shutdown of an untimed read.

#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

#include "core/device/presence.h"
#include "support/sim_fixture.h"

namespace vq::test {
namespace {

using namespace std::chrono_literals;

// Records what the loops tell the window; waits for a count with a generous limit.
class Recorder : public PresenceObserver, public ListenerObserver {
  public:
    void OnArrived() override { Add(arrived); }
    void OnRemoved() override { Add(removed); }
    void OnFirstPassShow() override { Add(shows); }
    void OnDeviceEvent(DeviceEvent event) override {
        std::lock_guard lock(mutex);
        events.push_back(event);
        cv.notify_all();
    }
    bool WaitFor(const int& counter, int atLeast) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, 5s, [&] { return counter >= atLeast; });
    }
    bool WaitForEvents(size_t atLeast) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, 5s, [&] { return events.size() >= atLeast; });
    }
    int Count(const int& counter) {
        std::lock_guard lock(mutex);
        return counter;
    }
    std::vector<DeviceEvent> Events() {
        std::lock_guard lock(mutex);
        return events;
    }

    int arrived = 0, removed = 0, shows = 0;

  private:
    void Add(int& counter) {
        std::lock_guard lock(mutex);
        ++counter;
        cv.notify_all();
    }
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<DeviceEvent> events;
};

constexpr PresenceTiming kFastPresence{5ms, 5ms};
constexpr ListenerTiming kFastListener{5ms, 1ms, 5ms};

class Presence : public SimMouseTest {
  protected:
    // Waits until the bus has at least n open handles (the listener has opened its collection).
    void WaitForHandles(size_t n) {
        const auto until = std::chrono::steady_clock::now() + 5s;
        while (bus.OpenHandleCount() < n) {
            ASSERT_LT(std::chrono::steady_clock::now(), until) << "no listener handle";
            std::this_thread::sleep_for(1ms);
        }
    }
    void StartPresence() {
        presence = std::jthread([this](std::stop_token stop) {
            RunPresenceLoop(*session, recorder, stop, kFastPresence);
        });
    }
    void StartListener() {
        listener = std::jthread([this](std::stop_token stop) {
            RunListenerLoop(&bus, DeviceKind::Mouse, *session, recorder, stop, kFastListener);
        });
    }
    void TearDown() override {
        listener = {};
        presence = {};
    }
    Recorder recorder;
    std::jthread presence, listener;
};

TEST_F(Presence, MousePresentAtStartConnectsAndAsksToShowOnce) {
    StartPresence();
    ASSERT_TRUE(recorder.WaitFor(recorder.arrived, 1));
    ASSERT_TRUE(recorder.WaitFor(recorder.shows, 1));
    EXPECT_TRUE(session->IsConnected());
    EXPECT_EQ(session->Begin(), kResultSuccess);
    // Further passes only probe.
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(recorder.Count(recorder.arrived), 1);
    EXPECT_EQ(recorder.Count(recorder.shows), 1);
}

TEST_F(Presence, MousePluggedInLaterConnectsWithoutTheShowRequest) {
    mouse->Unplug();
    StartPresence();
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(session->IsConnected());
    mouse->Plug();
    ASSERT_TRUE(recorder.WaitFor(recorder.arrived, 1));
    EXPECT_TRUE(session->IsConnected());
    presence = {};
    EXPECT_EQ(recorder.Count(recorder.shows), 0);
}

TEST_F(Presence, UnplugIsNoticedAndAReplugConnectsAgain) {
    StartPresence();
    ASSERT_TRUE(recorder.WaitFor(recorder.arrived, 1));
    session->SetLightSync(true);
    mouse->Unplug();
    ASSERT_TRUE(recorder.WaitFor(recorder.removed, 1));
    EXPECT_FALSE(session->IsConnected());
    EXPECT_FALSE(session->LightSync());
    mouse->Plug();
    ASSERT_TRUE(recorder.WaitFor(recorder.arrived, 2));
    EXPECT_EQ(recorder.Count(recorder.removed), 1);
}

TEST_F(Presence, ALostLinkReconnectsSilentlyOrAnnouncesTheRemoval) {
    StartPresence();
    ASSERT_TRUE(recorder.WaitFor(recorder.arrived, 1));
    // A failed write drops the link while the mouse stays: the next pass reopens it.
    bus.SetWritesStall(true);
    session->SetTiming({5, 5, 4, 0});
    EXPECT_EQ(session->Begin(), kResultLinkLost);
    bus.SetWritesStall(false);
    ASSERT_TRUE(recorder.WaitFor(recorder.arrived, 2));
    EXPECT_EQ(recorder.Count(recorder.removed), 0);
    // The link is lost and the mouse is gone before a probe saw it: still announced.
    presence = {};
    bus.SetWritesStall(true);
    EXPECT_EQ(session->Begin(), kResultLinkLost);
    mouse->Unplug();
    bus.SetWritesStall(false);
    StartPresence();
    std::this_thread::sleep_for(30ms);
    // A new loop never announced the mouse, so it has nothing to take back.
    EXPECT_EQ(recorder.Count(recorder.removed), 0);
}

TEST_F(Presence, LinkLostThenUnpluggedWhileTheLoopRunsIsAnnounced) {
    StartPresence();
    ASSERT_TRUE(recorder.WaitFor(recorder.arrived, 1));
    {
        // Hold the lock so that the loop cannot probe between the lost link and the unplug.
        std::lock_guard lock(session->IoLock());
        session->SetConnected(false);
        mouse->Unplug();
    }
    ASSERT_TRUE(recorder.WaitFor(recorder.removed, 1));
}

TEST_F(Presence, NotificationsBecomeWindowEvents) {
    StartListener();
    // Not connected: the live read-back request is dropped, the full read goes through.
    WaitForHandles(1);
    mouse->SendNotification(0x0401);
    mouse->SendNotification(0x0402);
    ASSERT_TRUE(recorder.WaitForEvents(1));
    Connect();
    mouse->PressDpiButton();
    mouse->SendNotification(0x0403);
    mouse->SendNotification(0x0999);  // ignored
    ASSERT_TRUE(recorder.WaitForEvents(3));
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(recorder.Events(),
              (std::vector<DeviceEvent>{DeviceEvent::MouseFullRead, DeviceEvent::MouseLiveRead,
                                        DeviceEvent::MouseEventFlag}));
}

TEST_F(Presence, ListenerFollowsTheMouseAcrossAReplug) {
    StartListener();
    WaitForHandles(1);
    mouse->Unplug();
    mouse->Plug();
    WaitForHandles(1);
    mouse->SendNotification(0x0402);
    ASSERT_TRUE(recorder.WaitForEvents(1));
}

TEST_F(Presence, StopWakesTheUntimedReadAndEndsBothLoops) {
    StartPresence();
    StartListener();
    ASSERT_TRUE(recorder.WaitFor(recorder.arrived, 1));
    WaitForHandles(2);
    presence.request_stop();
    listener.request_stop();
    presence.join();
    listener.join();
    // The listener's handle is closed; only the session's stays open.
    EXPECT_EQ(bus.OpenHandleCount(), 1u);
}

TEST(NotificationMap, UsagesByDevice) {
    EXPECT_EQ(MapNotification(DeviceKind::Mouse, 0x0401, true), DeviceEvent::MouseLiveRead);
    EXPECT_EQ(MapNotification(DeviceKind::Mouse, 0x0401, false), std::nullopt);
    EXPECT_EQ(MapNotification(DeviceKind::Keyboard, 0x0401, false), DeviceEvent::KeyboardLiveRead);
    EXPECT_EQ(MapNotification(DeviceKind::Keyboard, 0x0402, false), DeviceEvent::KeyboardFullRead);
    EXPECT_EQ(MapNotification(DeviceKind::Keyboard, 0x0403, true), std::nullopt);
    EXPECT_EQ(MapNotification(DeviceKind::Mousepad, 0x0402, true), std::nullopt);
}

}  // namespace
}  // namespace vq::test

namespace vq::test {
namespace {

// Presence, both listeners and a command-sending thread while the mouse is plugged and
// unplugged again and again, then everything stops: run under ThreadSanitizer in CI.
TEST_F(Presence, PlugUnplugAndQuitRepeatedlyWhileCommandsRun) {
    for (int round = 0; round < 5; ++round) {
        StartPresence();
        StartListener();
        std::jthread keyboardListener([this](std::stop_token stop) {
            RunListenerLoop(&bus, DeviceKind::Keyboard, *session, recorder, stop, kFastListener);
        });
        std::jthread commands([this](std::stop_token stop) {
            std::array<uint8_t, 56> record{};
            while (!stop.stop_requested()) {
                session->ReadParams(record, 56, 0);
                session->WriteLightFrame(record);
                std::this_thread::sleep_for(1ms);
            }
        });
        for (int i = 0; i < 4; ++i) {
            std::this_thread::sleep_for(3ms);
            mouse->Unplug();
            std::this_thread::sleep_for(3ms);
            mouse->Plug();
            mouse->PressDpiButton();
        }
        commands = {};
        keyboardListener = {};
        listener = {};
        presence = {};
        EXPECT_LE(bus.OpenHandleCount(), 1u) << "round " << round;
    }
    EXPECT_GE(recorder.Count(recorder.arrived), 1);
}

}  // namespace
}  // namespace vq::test
