#pragma once
// The light threads' loops: the keyboard's, the mousepad's and the light sync's. Each renders
// a frame per pass from a snapshot of its model, sends it with WriteLightFrame and publishes its
// preview; none touches a window. Each runs on a std::jthread (or a worker of the program) as
// loop.Run(stopToken).
//
// Time comes from a LightClock, so tests run the loops on simulated time. A loop that has
// nothing to do (its device absent or driven by the sync, a still effect already on the device,
// the output off and the preview hidden) waits on the shared LightWake instead of passing: call
// Notify() after changing anything a loop reads (a model's light settings or custom colours, a
// session's connection or light-sync flag, the output flag, a preview's visibility). Without a
// notification an idle loop looks again after LightShared::idleRecheckMs.
//
// A frame equal to the last one the device accepted is not sent again; the memory of it is
// dropped whenever the device may have lost it (absent, driven by the sync, output off, a failed
// write).

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <stop_token>

#include "core/device/device_session.h"
#include "core/keyboard/keyboard_model.h"
#include "core/keyboard/mousepad_model.h"
#include "core/light/keyboard_effects.h"
#include "core/light/light_sync.h"
#include "core/light/mousepad_effects.h"

namespace vq::light {

// Something a waiting light loop should look at.
class LightWake {
  public:
    void Notify() {
        {
            std::lock_guard lock(mutex_);
            ++generation_;
        }
        cv_.notify_all();
    }
    uint64_t Generation() const {
        std::lock_guard lock(mutex_);
        return generation_;
    }
    // Waits up to `ms` for a notification after `seen`; true when stop was requested.
    bool WaitPast(std::stop_token stop, uint64_t seen, uint32_t ms) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, stop, std::chrono::milliseconds(ms),
                     [&] { return generation_ != seen; });
        return stop.stop_requested();
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable_any cv_;
    uint64_t generation_ = 0;
};

class LightClock {
  public:
    virtual ~LightClock() = default;
    // A millisecond tick count.
    virtual uint64_t NowMs() = 0;
    // Sleeps `ms`; true when stop was requested (before or during the sleep).
    virtual bool Sleep(std::stop_token stop, uint32_t ms) = 0;
    // Waits up to `ms` for `wake` to move past `seen`; true when stop was requested.
    virtual bool WaitForWake(std::stop_token stop, LightWake& wake, uint64_t seen, uint32_t ms) = 0;
};

// The system's steady clock.
class SystemLightClock : public LightClock {
  public:
    uint64_t NowMs() override;
    bool Sleep(std::stop_token stop, uint32_t ms) override;
    bool WaitForWake(std::stop_token stop, LightWake& wake, uint64_t seen, uint32_t ms) override {
        return wake.WaitPast(stop, seen, ms);
    }

  private:
    std::mutex mutex_;
    std::condition_variable_any cv_;
};

// The latest picture of a device's lights for its page. The light thread publishes; the
// window's thread reads. Nothing is published while the page is hidden.
template <size_t N>
class LightPreview {
  public:
    using Cells = std::array<LightCell, N>;
    void SetVisible(bool visible) { visible_.store(visible); }
    bool Visible() const { return visible_.load(); }
    // Called on the light thread after a changed picture was published (for instance to queue
    // a repaint on the window's thread). Set it before the light threads start.
    void SetListener(std::function<void()> listener) { listener_ = std::move(listener); }
    void Publish(std::span<const LightCell, N> cells) {
        if (!Visible()) return;
        {
            std::lock_guard lock(mutex_);
            if (std::equal(cells.begin(), cells.end(), cells_.begin())) return;
            std::copy(cells.begin(), cells.end(), cells_.begin());
            ++generation_;
        }
        if (listener_) listener_();
    }
    Cells Picture() const {
        std::lock_guard lock(mutex_);
        return cells_;
    }
    uint64_t Generation() const {
        std::lock_guard lock(mutex_);
        return generation_;
    }

  private:
    std::atomic<bool> visible_{false};
    std::function<void()> listener_;
    mutable std::mutex mutex_;
    Cells cells_{};
    uint64_t generation_ = 0;
};

// The colour value the page's LED pictures take: red | blue << 8 | green << 16.
inline uint32_t PreviewColourValue(const LightCell& c) {
    return c.red | (uint32_t{c.blue} << 8) | (uint32_t{c.green} << 16);
}

// What the loops share with the program.
struct LightShared {
    LightWake wake;
    // The window's light-output flag: cleared while the system is suspended.
    std::atomic<bool> lightOutput{true};
    LightPreview<kButtons> keyboardPreview;
    LightPreview<kZones> mousepadPreview;
    LightPreview<kMouseLeds> mouseSyncPreview;  // the mouse's LEDs while the sync drives them
    uint32_t idleRecheckMs = 1000;
};

// The last frame a device accepted.
template <size_t N>
class FrameMemory {
  public:
    bool Same(std::span<const uint8_t> frame) const {
        return valid_ && frame.size() == length_ &&
               std::equal(frame.begin(), frame.end(), bytes_.begin());
    }
    void Remember(std::span<const uint8_t> frame) {
        length_ = std::min(frame.size(), N);
        std::copy_n(frame.begin(), length_, bytes_.begin());
        valid_ = true;
    }
    void Forget() { valid_ = false; }

  private:
    std::array<uint8_t, N> bytes_{};
    size_t length_ = 0;
    bool valid_ = false;
};

struct LightLoopStats {
    std::atomic<uint64_t> passes{0};
    std::atomic<uint64_t> rendered{0};   // frames computed
    std::atomic<uint64_t> written{0};    // frames handed to WriteLightFrame
    std::atomic<uint64_t> unchanged{0};  // frames not sent because the device has them
    std::atomic<uint64_t> idleWaits{0};
};

// What one write attempt did.
enum class FrameSend { NotSent, Unchanged, Accepted, Failed };

// Sends `frame` unless the device has it already; remembers what it accepted.
template <size_t N>
FrameSend SendFrame(DeviceSession& session, FrameMemory<N>& memory, std::span<const uint8_t> frame,
                    LightLoopStats& stats) {
    if (memory.Same(frame)) {
        ++stats.unchanged;
        return FrameSend::Unchanged;
    }
    ++stats.written;
    if (session.WriteLightFrame(frame) == kResultSuccess) {
        memory.Remember(frame);
        return FrameSend::Accepted;
    }
    memory.Forget();
    return FrameSend::Failed;
}

class KeyboardLightLoop {
  public:
    static constexpr uint32_t kStartDelayMs = 1000;
    KeyboardLightLoop(DeviceSession& session, KeyboardModel& model, LightShared& shared,
                      LightClock& clock);

    void Run(std::stop_token stop);
    // One pass; false when stop was requested.
    bool Pass(std::stop_token stop);

    // ---- from the window's thread
    // The mode list was used: the effect starts again from its reset state before the next
    // frame (also when the same mode is chosen again).
    void RestartEffect();
    // A key was clicked on the lighting page in the reactive mode.
    void PressKey(int button);

    const LightLoopStats& Stats() const { return stats_; }
    // For tests and benchmarks: the engine, used only while the loop is not running.
    KeyboardEffects& Effects() { return effects_; }

  private:
    bool Idle(std::stop_token stop, uint64_t seen);
    void TakeRequests(const KeyboardLightSnapshot& s);

    DeviceSession& session_;
    KeyboardModel& model_;
    LightShared& shared_;
    LightClock& clock_;
    KeyboardEffects effects_;
    std::atomic<bool> restart_{false};
    std::array<std::atomic<uint64_t>, 2> pressed_{};
    int lastVariant_ = -1, lastMode_ = -1;
    std::array<uint8_t, kKeyboardFrameSize> frame_{};
    FrameMemory<kKeyboardFrameSize> sent_;
    LightLoopStats stats_;
};

class MousepadLightLoop {
  public:
    static constexpr uint32_t kStartDelayMs = 3000;
    MousepadLightLoop(DeviceSession& session, MousepadModel& model, LightShared& shared,
                      LightClock& clock);

    void Run(std::stop_token stop);
    bool Pass(std::stop_token stop);

    // ---- from other threads
    void RestartEffect();
    // The mouse reported its event (usage 0x0403): the flash mode flashes once.
    void TriggerFlash();

    const LightLoopStats& Stats() const { return stats_; }
    MousepadEffects& Effects() { return effects_; }

  private:
    bool Idle(std::stop_token stop, uint64_t seen);

    DeviceSession& session_;
    MousepadModel& model_;
    LightShared& shared_;
    LightClock& clock_;
    MousepadEffects effects_;
    std::atomic<bool> restart_{false};
    std::atomic<bool> flash_{false};
    int lastMode_ = -1;
    FrameMemory<kZoneLongFrameSize> sent_;
    LightLoopStats stats_;
};

class LightSyncLoop {
  public:
    LightSyncLoop(DeviceSession& keyboard, DeviceSession& mouse, DeviceSession& mousepad,
                  SyncBlock& block, LightShared& shared, LightClock& clock);

    void Run(std::stop_token stop);
    bool Pass(std::stop_token stop);

    const LightLoopStats& Stats() const { return stats_; }
    SyncEffects& Effects() { return effects_; }
    const SyncFrames& Frames() const { return frames_; }

  private:
    bool Idle(std::stop_token stop, uint64_t seen);

    DeviceSession& keyboard_;
    DeviceSession& mouse_;
    DeviceSession& mousepad_;
    SyncBlock& block_;
    LightShared& shared_;
    LightClock& clock_;
    SyncEffects effects_;
    SyncFrames frames_;
    FrameMemory<kKeyboardFrameSize> keyboardSent_;
    FrameMemory<kMouseFrameSize> mouseSent_;
    FrameMemory<kZoneFrameSize> mousepadSent_;
    LightLoopStats stats_;
};

}  // namespace vq::light
