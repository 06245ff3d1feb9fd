#pragma once
// An input capture whose events the test delivers, on the test's thread, with chosen times.

#include <utility>
#include <vector>

#include "platform/input_capture.h"

namespace vq::test {

class FakeInputCapture : public platform::InputCapture {
  public:
    bool Start(const platform::CaptureRequest& request, Sink sink) override {
        starts.push_back(request);
        if (refuse) return false;
        sink_ = std::move(sink);
        return true;
    }
    void Stop() override { sink_ = nullptr; }
    bool Active() const override { return static_cast<bool>(sink_); }
    uint32_t NowMs() const override { return now; }
    platform::CaptureReach Reach() const override { return platform::CaptureReach::Desktop; }

    // Delivers an event when a capture runs; returns whether it was delivered.
    bool Deliver(const InputEvent& event) {
        if (!sink_) return false;
        sink_(event);
        return true;
    }
    bool Key(InputEventKind kind, uint16_t vk, uint32_t timeMs, bool extended = false) {
        InputEvent e;
        e.kind = kind;
        e.virtualKey = vk;
        e.extended = extended;
        e.timeMs = timeMs;
        return Deliver(e);
    }
    bool Button(InputEventKind kind, PointerButton button, uint32_t timeMs) {
        InputEvent e;
        e.kind = kind;
        e.button = button;
        e.timeMs = timeMs;
        return Deliver(e);
    }

    uint32_t now = 0;
    bool refuse = false;
    std::vector<platform::CaptureRequest> starts;

  private:
    Sink sink_;
};

}  // namespace vq::test
