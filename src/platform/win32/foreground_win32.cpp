// A thread of its own holds an out-of-context event hook for foreground changes and runs the
// message loop that delivers them; between events it sleeps in GetMessageW. Stop posts WM_QUIT
// to it and waits for it to end.

#if defined(_WIN32)

#include "platform/win32/foreground_win32.h"

#include <windows.h>
// clang-format off
#include <tlhelp32.h>
// clang-format on

#include <future>
#include <thread>

#include "core/util/log.h"
#include "platform/win32/wide_text.h"

namespace vq::platform {

std::string ProgramOfProcessId(unsigned long processId) {
    if (processId == 0) return {};
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) {
        Logf(LogLevel::Debug, "文件名字访问失败 (process %lu, error %lu)", processId,
             GetLastError());
        return {};
    }
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    const bool found = Module32FirstW(snapshot, &module) != FALSE;
    CloseHandle(snapshot);
    return found ? Utf8FromWide(module.szExePath) : std::string();
}

namespace {

class Win32ForegroundProgram;
// The follower whose thread is running the hook callback (one per thread).
thread_local Win32ForegroundProgram* t_follower = nullptr;

class Win32ForegroundProgram : public ForegroundProgram {
  public:
    ~Win32ForegroundProgram() override { Stop(); }

    bool Start(Changed changed, std::string* whyNot) override {
        Stop();
        changed_ = std::move(changed);
        reported_ = false;
        std::promise<std::string> started;  // "" when the hook is in place
        std::future<std::string> result = started.get_future();
        thread_ = std::thread([this, &started] { Run(started); });
        const std::string why = result.get();
        if (!why.empty()) {
            thread_.join();
            changed_ = nullptr;
            if (whyNot) *whyNot = why;
            return false;
        }
        return true;
    }

    void Stop() override {
        if (!thread_.joinable()) return;
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
        changed_ = nullptr;
    }

    void Report() {
        DWORD processId = 0;
        if (HWND window = GetForegroundWindow()) GetWindowThreadProcessId(window, &processId);
        const std::string program = ProgramOfProcessId(processId);
        if (reported_ && program == last_) return;
        last_ = program;
        reported_ = true;
        if (changed_) changed_(program);
    }

  private:
    static void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND, LONG, LONG, DWORD, DWORD) {
        if (event == EVENT_SYSTEM_FOREGROUND && t_follower) t_follower->Report();
    }

    void Run(std::promise<std::string>& started) {
        threadId_ = GetCurrentThreadId();
        MSG msg;
        PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue
        t_follower = this;
        HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND,
                                             nullptr, OnEvent, 0, 0, WINEVENT_OUTOFCONTEXT);
        if (!hook) {
            started.set_value("the system refused the foreground event hook (error " +
                              std::to_string(GetLastError()) + ")");
            return;
        }
        started.set_value({});
        Report();
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
        UnhookWinEvent(hook);
        t_follower = nullptr;
    }

    Changed changed_;
    std::thread thread_;
    DWORD threadId_ = 0;
    std::string last_;
    bool reported_ = false;
};

}  // namespace

std::unique_ptr<ForegroundProgram> CreateWin32ForegroundProgram() {
    return std::make_unique<Win32ForegroundProgram>();
}

}  // namespace vq::platform

#endif
