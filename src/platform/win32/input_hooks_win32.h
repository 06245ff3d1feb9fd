#pragma once
// Input capture on Windows through the desktop's low-level keyboard and mouse hooks. The hooks
// are called on the thread that installed them, from its message loop (the window's thread),
// and deliver there. While the keyboard hook is installed every key is held back from all
// programs except the lock keys (Caps Lock, Num Lock, Scroll Lock); the mouse hook always passes
// its events on.

#if defined(_WIN32)

#include <windows.h>

#include <memory>
#include <optional>

#include "platform/input_capture.h"

namespace vq::platform {

class HookInputCapture : public InputCapture {
  public:
    HookInputCapture();
    ~HookInputCapture() override;

    bool Start(const CaptureRequest& request, Sink sink) override;
    void Stop() override;
    bool Active() const override;
    uint32_t NowMs() const override;
    CaptureReach Reach() const override { return CaptureReach::Desktop; }

    // The event of a keyboard hook's message; nothing for a message that is not a key's.
    static std::optional<InputEvent> KeyEvent(WPARAM message, const KBDLLHOOKSTRUCT& record);
    // The event of a mouse hook's message: the buttons only (moves and the wheel are not
    // events of a capture).
    static std::optional<InputEvent> ButtonEvent(WPARAM message, const MSLLHOOKSTRUCT& record);
    // Whether a key still reaches the programs while the keyboard hook holds keys back.
    static bool PassesOn(DWORD virtualKey);

  private:
    static LRESULT CALLBACK KeyboardProc(int code, WPARAM message, LPARAM data);
    static LRESULT CALLBACK MouseProc(int code, WPARAM message, LPARAM data);

    HHOOK keyboard_ = nullptr;
    HHOOK mouse_ = nullptr;
    Sink sink_;
};

}  // namespace vq::platform

#endif
