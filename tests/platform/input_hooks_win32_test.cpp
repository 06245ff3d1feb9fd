// The desktop's key capture on Windows: the hook records as events, the keys that still reach
// the programs, and the hooks' delivery on the installing thread, run under Wine with input
// injected by SendInput.

#if defined(_WIN32)

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "core/macro/input_event.h"
#include "platform/win32/input_hooks_win32.h"

namespace vq::test {
namespace {

using platform::HookInputCapture;

TEST(Win32InputHooks, HookRecordsBecomeEvents) {
    KBDLLHOOKSTRUCT key{};
    key.vkCode = VK_RETURN;
    key.scanCode = 0x1C;
    key.flags = LLKHF_EXTENDED;
    key.time = 1234;
    auto e = HookInputCapture::KeyEvent(WM_KEYDOWN, key);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind, InputEventKind::KeyDown);
    EXPECT_EQ(e->virtualKey, VK_RETURN);
    EXPECT_TRUE(e->extended);
    EXPECT_EQ(e->timeMs, 1234u);
    EXPECT_EQ(TableVirtualKey(*e), 0x101);  // the keypad Enter
    key.flags = LLKHF_UP;
    e = HookInputCapture::KeyEvent(WM_SYSKEYUP, key);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind, InputEventKind::KeyUp);
    EXPECT_FALSE(e->extended);
    EXPECT_EQ(TableVirtualKey(*e), VK_RETURN);
    EXPECT_FALSE(HookInputCapture::KeyEvent(WM_CHAR, key));

    MSLLHOOKSTRUCT mouse{};
    mouse.mouseData = static_cast<DWORD>(XBUTTON2) << 16;
    auto b = HookInputCapture::ButtonEvent(WM_XBUTTONDOWN, mouse);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->kind, InputEventKind::ButtonDown);
    EXPECT_EQ(b->button, PointerButton::Forward);
    b = HookInputCapture::ButtonEvent(WM_RBUTTONUP, mouse);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->kind, InputEventKind::ButtonUp);
    EXPECT_EQ(b->button, PointerButton::Right);
    EXPECT_FALSE(HookInputCapture::ButtonEvent(WM_MOUSEMOVE, mouse));
    EXPECT_FALSE(HookInputCapture::ButtonEvent(WM_MOUSEWHEEL, mouse));

    for (DWORD lock : {DWORD{VK_CAPITAL}, DWORD{VK_NUMLOCK}, DWORD{VK_SCROLL}})
        EXPECT_TRUE(HookInputCapture::PassesOn(lock)) << lock;
    for (DWORD held : {DWORD{'A'}, DWORD{VK_F5}, DWORD{VK_RETURN}, DWORD{VK_LSHIFT}})
        EXPECT_FALSE(HookInputCapture::PassesOn(held)) << held;
}

void Press(WORD vk) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

// Runs the thread's message loop (where the hooks are called) until `done` or about 2 s.
template <typename Done>
void Pump(Done done) {
    for (int i = 0; i < 200 && !done(); ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

TEST(Win32InputHooks, InjectedKeysReachTheSinkOnTheInstallingThreadUntilStop) {
    HookInputCapture capture;
    std::vector<InputEvent> seen;
    const DWORD thread = GetCurrentThreadId();
    bool otherThread = false;
    platform::CaptureRequest request;
    request.mode = platform::CaptureMode::SingleKey;
    ASSERT_TRUE(capture.Start(request, [&](const InputEvent& e) {
        otherThread |= GetCurrentThreadId() != thread;
        seen.push_back(e);
    }));
    EXPECT_TRUE(capture.Active());
    Press(VK_F5);
    Pump([&] { return seen.size() >= 2; });
    if (seen.empty()) GTEST_SKIP() << "this system delivers no injected input to the hooks";
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, InputEventKind::KeyDown);
    EXPECT_EQ(seen[0].virtualKey, VK_F5);
    EXPECT_EQ(seen[1].kind, InputEventKind::KeyUp);
    EXPECT_FALSE(otherThread);
    capture.Stop();
    EXPECT_FALSE(capture.Active());
    Press(VK_F6);
    Pump([] { return false; });
    EXPECT_EQ(seen.size(), 2u);
    // A second capture replaces the first: only one sink hears a key.
    HookInputCapture other;
    std::vector<InputEvent> heard;
    ASSERT_TRUE(capture.Start(request, [&](const InputEvent& e) { seen.push_back(e); }));
    ASSERT_TRUE(other.Start(request, [&](const InputEvent& e) { heard.push_back(e); }));
    EXPECT_FALSE(capture.Active());
    Press(VK_F7);
    Pump([&] { return heard.size() >= 2; });
    EXPECT_EQ(heard.size(), 2u);
    EXPECT_EQ(seen.size(), 2u);
}

}  // namespace
}  // namespace vq::test

#endif
