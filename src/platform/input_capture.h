#pragma once
// Capturing the user's keyboard and mouse input for the macro recorder and for the key pages'
// single-key fields.
//
// One capture runs at a time: Start replaces whatever ran before. Events are delivered in the
// order they happened, on one thread (the window's thread where the system delivers its input
// there), to the sink given to Start; Stop returns after the last delivery, and no event is
// delivered after it.
//
// Where the system allows it, keystrokes are held back from other programs while a capture
// with the keyboard runs (the lock keys, Caps Lock, Num Lock and Scroll Lock, still reach
// them), and the mouse keeps working normally. What a platform can capture is its Reach.

#include <cstdint>
#include <functional>
#include <memory>

#include "core/macro/input_event.h"

namespace vq::platform {

enum class CaptureMode {
    SingleKey,  // a key page waits for one key for an assignment (keyboard only)
    Recording,  // the macro recorder
};

struct CaptureRequest {
    CaptureMode mode = CaptureMode::Recording;
    bool keyboard = true;
    bool mouse = false;
};

enum class CaptureReach {
    Desktop,      // input anywhere on the desktop (low-level hooks)
    OwnWindow,    // only input that reaches the program's own focused window
    Unavailable,  // nothing can be captured here
};

class InputCapture {
  public:
    using Sink = std::function<void(const InputEvent&)>;

    virtual ~InputCapture() = default;

    // Starts capturing; false (and logged) when the system refused, and nothing runs then.
    virtual bool Start(const CaptureRequest& request, Sink sink) = 0;
    virtual void Stop() = 0;
    virtual bool Active() const = 0;
    // The capture's clock, the one InputEvent::timeMs is measured on.
    virtual uint32_t NowMs() const = 0;
    virtual CaptureReach Reach() const = 0;
};

// The capture of input anywhere on the desktop, where the system has one (Windows: low-level
// hooks); null where it has none, and a program captures in its own window instead.
std::unique_ptr<InputCapture> CreateDesktopInputCapture();

}  // namespace vq::platform
