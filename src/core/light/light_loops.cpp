#include "core/light/light_loops.h"

#include <chrono>

#include "core/util/log.h"

namespace vq::light {

// ---- clock ---------------------------------------------------------------------------------

uint64_t SystemLightClock::NowMs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

bool SystemLightClock::Sleep(std::stop_token stop, uint32_t ms) {
    if (ms == 0 || stop.stop_requested()) return stop.stop_requested();
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, stop, std::chrono::milliseconds(ms), [] { return false; });
    return stop.stop_requested();
}

// ---- keyboard ------------------------------------------------------------------------------

KeyboardLightLoop::KeyboardLightLoop(DeviceSession& session, KeyboardModel& model,
                                     LightShared& shared, LightClock& clock)
    : session_(session), model_(model), shared_(shared), clock_(clock) {}

void KeyboardLightLoop::Run(std::stop_token stop) {
    if (!clock_.Sleep(stop, kStartDelayMs))
        while (Pass(stop)) {
        }
    Log(LogLevel::Debug, "键盘灯光线程设定退出 (keyboard light thread ends)");
}

void KeyboardLightLoop::RestartEffect() {
    restart_.store(true);
    shared_.wake.Notify();
}

void KeyboardLightLoop::PressKey(int button) {
    if (button < 0 || button >= kButtons) return;
    pressed_[static_cast<size_t>(button / 64)].fetch_or(uint64_t{1} << (button % 64));
}

bool KeyboardLightLoop::Idle(std::stop_token stop, uint64_t seen) {
    ++stats_.idleWaits;
    return !clock_.WaitForWake(stop, shared_.wake, seen, shared_.idleRecheckMs);
}

void KeyboardLightLoop::TakeRequests(const KeyboardLightSnapshot& s) {
    const int variant = static_cast<int>(s.variant);
    // A new mode starts from its reset state however it arrived (the mode list, a profile, the
    // light sync); the mode list asks for it even when the mode stays.
    if (restart_.exchange(false) || variant != lastVariant_ || s.light.mode != lastMode_) {
        effects_.SelectMode(s.variant, s.light.mode);
        lastVariant_ = variant;
        lastMode_ = s.light.mode;
    }
    for (size_t word = 0; word < pressed_.size(); ++word) {
        uint64_t bits = pressed_[word].exchange(0);
        for (int bit = 0; bits != 0; ++bit, bits >>= 1)
            if (bits & 1u) effects_.SeedWave(static_cast<int>(word * 64) + bit);
    }
}

bool KeyboardLightLoop::Pass(std::stop_token stop) {
    ++stats_.passes;
    const uint64_t seen = shared_.wake.Generation();
    KeyboardLightSnapshot s = model_.LightSnapshot();
    if (clock_.Sleep(stop, KeyboardDelayMs(s.light.mode, s.light.speed))) return false;
    if (!session_.IsConnected() || session_.LightSync()) {
        sent_.Forget();
        return Idle(stop, seen);
    }
    const bool output = shared_.lightOutput.load();
    if (!output) sent_.Forget();
    if (!output && !shared_.keyboardPreview.Visible()) return Idle(stop, seen);
    if (const uint32_t extra = KeyboardExtraSleepMs(s.variant, s.light.mode);
        extra != 0 && clock_.Sleep(stop, extra))
        return false;
    s = model_.LightSnapshot();
    TakeRequests(s);
    const RenderResult r = effects_.Render(s);
    bool wroteNew = false;
    if (r.rendered) {
        ++stats_.rendered;
        if (r.advanceBreath)
            model_.EditRecord([](LightRecord& record) {
                uint8_t& counter = record.bytes[9];
                counter = static_cast<uint8_t>((counter + 1) % 3);
            });
        shared_.keyboardPreview.Publish(effects_.Output());
        if (output) {
            std::span<const uint8_t> frame;
            if (s.variant == KeyboardVariant::FullColour) {
                BuildKeyboardFrame(effects_.Output(), frame_);
                frame = frame_;
            } else {
                BuildLevelFrame(effects_.Output(), std::span<uint8_t, kLevelFrameSize>(
                                                       frame_.data(), kLevelFrameSize));
                frame = std::span<const uint8_t>(frame_.data(), kLevelFrameSize);
            }
            wroteNew = SendFrame(session_, sent_, frame, stats_) == FrameSend::Accepted;
        }
    }
    effects_.EndPass();
    if ((!r.rendered || IsKeyboardStillMode(s.variant, s.light.mode)) && !wroteNew)
        return Idle(stop, seen);
    return !stop.stop_requested();
}

// ---- mousepad ------------------------------------------------------------------------------

MousepadLightLoop::MousepadLightLoop(DeviceSession& session, MousepadModel& model,
                                     LightShared& shared, LightClock& clock)
    : session_(session), model_(model), shared_(shared), clock_(clock) {}

void MousepadLightLoop::Run(std::stop_token stop) {
    if (!clock_.Sleep(stop, kStartDelayMs))
        while (Pass(stop)) {
        }
    Log(LogLevel::Debug, "鼠标垫灯光线程设定退出 (mousepad light thread ends)");
}

void MousepadLightLoop::RestartEffect() {
    restart_.store(true);
    shared_.wake.Notify();
}

void MousepadLightLoop::TriggerFlash() {
    flash_.store(true);
    shared_.wake.Notify();
}

bool MousepadLightLoop::Idle(std::stop_token stop, uint64_t seen) {
    ++stats_.idleWaits;
    return !clock_.WaitForWake(stop, shared_.wake, seen, shared_.idleRecheckMs);
}

bool MousepadLightLoop::Pass(std::stop_token stop) {
    ++stats_.passes;
    const uint64_t seen = shared_.wake.Generation();
    LightSettings s = model_.Light();
    if (clock_.Sleep(stop, MousepadDelayMs(s.mode, s.speed))) return false;
    if (!session_.IsConnected() || session_.LightSync()) {
        sent_.Forget();
        return Idle(stop, seen);
    }
    const bool output = shared_.lightOutput.load();
    if (!output) sent_.Forget();
    if (!output && !shared_.mousepadPreview.Visible()) return Idle(stop, seen);
    if (const uint32_t pre = MousepadPreSleepMs(s.mode, s.speed);
        pre != 0 && clock_.Sleep(stop, pre))
        return false;
    s = model_.Light();
    if (restart_.exchange(false) || s.mode != lastMode_) {
        effects_.SelectMode(s.mode);
        // An event from before the flash mode was chosen does not flash.
        if (s.mode != lastMode_) flash_.store(false);
        lastMode_ = s.mode;
    }
    const bool flash = flash_.exchange(false);
    const ZoneRender r = effects_.Render(s, flash, clock_.NowMs());
    bool wroteNew = false;
    if (r.rendered) {
        ++stats_.rendered;
        if (r.advanceBreath) model_.AdvanceBreathCounter();
        shared_.mousepadPreview.Publish(effects_.Preview());
        if (output)
            wroteNew = SendFrame(session_, sent_, effects_.Frame(r.frameLength), stats_) ==
                       FrameSend::Accepted;
        if (r.pauseAfterMs != 0 && clock_.Sleep(stop, r.pauseAfterMs)) return false;
    }
    const bool still = !r.rendered || s.mode == 3 || (s.mode == 8 && !effects_.Flashing());
    if (still && !wroteNew) return Idle(stop, seen);
    return !stop.stop_requested();
}

// ---- sync ----------------------------------------------------------------------------------

LightSyncLoop::LightSyncLoop(DeviceSession& keyboard, DeviceSession& mouse, DeviceSession& mousepad,
                             SyncBlock& block, LightShared& shared, LightClock& clock)
    : keyboard_(keyboard),
      mouse_(mouse),
      mousepad_(mousepad),
      block_(block),
      shared_(shared),
      clock_(clock) {}

void LightSyncLoop::Run(std::stop_token stop) {
    while (Pass(stop)) {
    }
    Log(LogLevel::Debug, "同步灯光线程设定退出 (light sync thread ends)");
}

bool LightSyncLoop::Idle(std::stop_token stop, uint64_t seen) {
    ++stats_.idleWaits;
    return !clock_.WaitForWake(stop, shared_.wake, seen, shared_.idleRecheckMs);
}

bool LightSyncLoop::Pass(std::stop_token stop) {
    ++stats_.passes;
    const uint64_t seen = shared_.wake.Generation();
    const LightSettings s = block_.Settings();
    if (clock_.Sleep(stop, 4u * s.speed)) return false;
    const bool kbSync = keyboard_.LightSync(), msSync = mouse_.LightSync(),
               mpSync = mousepad_.LightSync();
    const bool anyConnected =
        keyboard_.IsConnected() || mouse_.IsConnected() || mousepad_.IsConnected();
    if (!anyConnected || (!kbSync && !msSync && !mpSync) || !effects_.Render(s, frames_)) {
        // Nothing to drive: whatever the devices show now is their own threads' business.
        keyboardSent_.Forget();
        mouseSent_.Forget();
        mousepadSent_.Forget();
        return Idle(stop, seen);
    }
    ++stats_.rendered;
    if (kbSync) shared_.keyboardPreview.Publish(frames_.keyboardPreview);
    if (msSync) shared_.mouseSyncPreview.Publish(frames_.mousePreview);
    if (mpSync) shared_.mousepadPreview.Publish(frames_.mousepadPreview);

    const bool output = shared_.lightOutput.load();
    bool wroteNew = false;
    auto device = [&](DeviceSession& session, bool synced, DeviceKind kind, auto& memory,
                      std::span<const uint8_t> frame) {
        if (!synced) {
            memory.Forget();
            return !clock_.Sleep(stop, SyncStandInSleepMs(kind, s.mode));
        }
        // A synced device that is absent is skipped: nothing would reach it.
        if (!output || !session.IsConnected()) {
            memory.Forget();
            return true;
        }
        wroteNew |= SendFrame(session, memory, frame, stats_) == FrameSend::Accepted;
        return true;
    };
    if (!device(keyboard_, kbSync, DeviceKind::Keyboard, keyboardSent_, frames_.keyboard) ||
        !device(mouse_, msSync, DeviceKind::Mouse, mouseSent_, frames_.mouse) ||
        !device(mousepad_, mpSync, DeviceKind::Mousepad, mousepadSent_, frames_.mousepad))
        return false;
    if (const uint32_t after = SyncAfterSleepMs(s.mode); after != 0 && clock_.Sleep(stop, after))
        return false;
    if (s.mode == 3 && !wroteNew) return Idle(stop, seen);
    return !stop.stop_requested();
}

}  // namespace vq::light
