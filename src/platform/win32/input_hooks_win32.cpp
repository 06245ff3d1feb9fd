#if defined(_WIN32)

#include "platform/win32/input_hooks_win32.h"

#include "core/util/log.h"

namespace vq::platform {

namespace {

// The capture whose hooks are installed (one at a time: a Start replaces the one before). The
// hook procedures run on the installing thread only.
HookInputCapture* g_active = nullptr;

}  // namespace

HookInputCapture::HookInputCapture() = default;

HookInputCapture::~HookInputCapture() {
    Stop();
}

bool HookInputCapture::Start(const CaptureRequest& request, Sink sink) {
    if (g_active) g_active->Stop();
    Stop();
    if (!sink) return false;
    const HINSTANCE module = GetModuleHandleW(nullptr);
    if (request.keyboard) {
        keyboard_ = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardProc, module, 0);
        if (!keyboard_) {
            Logf(LogLevel::Error, "the keyboard hook could not be installed (error %lu)",
                 GetLastError());
            return false;
        }
    }
    if (request.mouse) {
        mouse_ = SetWindowsHookExW(WH_MOUSE_LL, MouseProc, module, 0);
        if (!mouse_) {
            Logf(LogLevel::Error, "the mouse hook could not be installed (error %lu)",
                 GetLastError());
            Stop();
            return false;
        }
    }
    sink_ = std::move(sink);
    g_active = this;
    return true;
}

void HookInputCapture::Stop() {
    if (keyboard_) UnhookWindowsHookEx(keyboard_);
    if (mouse_) UnhookWindowsHookEx(mouse_);
    keyboard_ = nullptr;
    mouse_ = nullptr;
    sink_ = nullptr;
    if (g_active == this) g_active = nullptr;
}

bool HookInputCapture::Active() const {
    return keyboard_ != nullptr || mouse_ != nullptr;
}

uint32_t HookInputCapture::NowMs() const {
    return GetTickCount();
}

std::optional<InputEvent> HookInputCapture::KeyEvent(WPARAM message, const KBDLLHOOKSTRUCT& r) {
    InputEvent e;
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            e.kind = InputEventKind::KeyDown;
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            e.kind = InputEventKind::KeyUp;
            break;
        default:
            return std::nullopt;
    }
    e.virtualKey = static_cast<uint16_t>(r.vkCode);
    e.scanCode = static_cast<uint16_t>(r.scanCode);
    e.extended = (r.flags & LLKHF_EXTENDED) != 0;
    e.timeMs = r.time;
    return e;
}

std::optional<InputEvent> HookInputCapture::ButtonEvent(WPARAM message, const MSLLHOOKSTRUCT& r) {
    InputEvent e;
    e.timeMs = r.time;
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            e.button = PointerButton::Left;
            break;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            e.button = PointerButton::Right;
            break;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
            e.button = PointerButton::Middle;
            break;
        case WM_XBUTTONDOWN:
        case WM_XBUTTONUP:
            e.button =
                HIWORD(r.mouseData) == XBUTTON2 ? PointerButton::Forward : PointerButton::Back;
            break;
        default:
            return std::nullopt;
    }
    const bool down = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN ||
                      message == WM_MBUTTONDOWN || message == WM_XBUTTONDOWN;
    e.kind = down ? InputEventKind::ButtonDown : InputEventKind::ButtonUp;
    return e;
}

bool HookInputCapture::PassesOn(DWORD vk) {
    return vk == VK_CAPITAL || vk == VK_NUMLOCK || vk == VK_SCROLL;
}

LRESULT CALLBACK HookInputCapture::KeyboardProc(int code, WPARAM message, LPARAM data) {
    if (code != HC_ACTION || !g_active || !data)
        return CallNextHookEx(nullptr, code, message, data);
    const auto& record = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
    if (const std::optional<InputEvent> e = KeyEvent(message, record)) {
        // The sink may stop the capture; it stays alive for this call.
        Sink sink = g_active->sink_;
        if (sink) sink(*e);
    }
    if (PassesOn(record.vkCode)) return CallNextHookEx(nullptr, code, message, data);
    return 1;  // held back from every program
}

LRESULT CALLBACK HookInputCapture::MouseProc(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION && g_active && data) {
        const auto& record = *reinterpret_cast<const MSLLHOOKSTRUCT*>(data);
        if (const std::optional<InputEvent> e = ButtonEvent(message, record)) {
            Sink sink = g_active->sink_;
            if (sink) sink(*e);
        }
    }
    return CallNextHookEx(nullptr, code, message, data);
}

std::unique_ptr<InputCapture> CreateDesktopInputCapture() {
    return std::make_unique<HookInputCapture>();
}

}  // namespace vq::platform

#endif
