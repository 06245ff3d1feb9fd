#ifdef _WIN32

#include <windows.h>

#include <string>

#include "core/util/log.h"
#include "platform/single_instance.h"

namespace vq::platform {

namespace {

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

constexpr wchar_t kReceiverClass[] = L"VarnholdQuilletInstanceReceiver";

// The first copy's show requests arrive as the registered message broadcast to every top-level
// window. A hidden top-level window of our own receives it on the UI thread, whose message loop
// (the GUI toolkit's) dispatches it.
class WindowsSingleInstance final : public SingleInstance {
  public:
    WindowsSingleInstance(const std::string& name, const std::string& message)
        : name_(Widen(name)), messageId_(RegisterWindowMessageW(Widen(message).c_str())) {}

    ~WindowsSingleInstance() override {
        if (window_) DestroyWindow(window_);
        if (mutex_) CloseHandle(mutex_);
    }

    Role Claim() override {
        HANDLE mutex = CreateMutexW(nullptr, TRUE, name_.c_str());
        if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
            DWORD recipients = BSM_APPLICATIONS;
            BroadcastSystemMessageW(BSF_POSTMESSAGE, &recipients, messageId_, 0, 0);
            CloseHandle(mutex);
            return Role::Second;
        }
        if (!mutex) Logf(LogLevel::Warning, "instance mutex: error %lu", GetLastError());
        mutex_ = mutex;  // null: no mutex could be made; the copy runs as the first
        CreateReceiver();
        return Role::First;
    }

    unsigned ShowMessageId() const override { return messageId_; }
    void SetShowHandler(ShowHandler handler) override { handler_ = std::move(handler); }
    int RequestDescriptor() const override { return -1; }
    int DispatchRequests() override { return 0; }

  private:
    static LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self =
            reinterpret_cast<WindowsSingleInstance*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == self->messageId_ && message != 0) {
            if (self->handler_) self->handler_(message);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void CreateReceiver() {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &WindowsSingleInstance::ReceiverProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kReceiverClass;
        RegisterClassW(&windowClass);  // fails harmlessly when already registered
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW, kReceiverClass, L"", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, instance, this);
        if (!window_) Logf(LogLevel::Warning, "show-request window: error %lu", GetLastError());
    }

    std::wstring name_;
    UINT messageId_ = 0;
    HANDLE mutex_ = nullptr;
    HWND window_ = nullptr;
    ShowHandler handler_;
};

}  // namespace

std::unique_ptr<SingleInstance> CreateSingleInstance(const std::string& name,
                                                     const std::string& message) {
    return std::make_unique<WindowsSingleInstance>(name, message);
}

}  // namespace vq::platform

#endif  // _WIN32
