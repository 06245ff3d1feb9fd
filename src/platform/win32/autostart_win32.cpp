// Starting at login through the user's Run key: a value that holds the program's quoted path.

#include <windows.h>

#include "platform/autostart.h"
#include "platform/win32/wide_text.h"

namespace vq::platform {

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kValueName[] = L"Varnhold Quillet";

std::string ErrorText(LONG status) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide = text ? text : L"";
    if (text) LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' '))
        wide.pop_back();
    return wide.empty() ? "error " + std::to_string(status) : Utf8FromWide(wide);
}

class RunKeyAutostart : public Autostart {
  public:
    explicit RunKeyAutostart(std::wstring subkey) : subkey_(std::move(subkey)) {}

    std::string Where() const override {
        return "HKEY_CURRENT_USER\\" + Utf8FromWide(subkey_) + "\\" + Utf8FromWide(kValueName);
    }

    bool Enabled() const override {
        return RegGetValueW(HKEY_CURRENT_USER, subkey_.c_str(), kValueName, RRF_RT_REG_SZ, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS;
    }

    bool Enable(const std::filesystem::path& program, std::string* error) override {
        const std::wstring command = L"\"" + program.wstring() + L"\"";
        HKEY key = nullptr;
        LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, subkey_.c_str(), 0, nullptr, 0,
                                      KEY_SET_VALUE, nullptr, &key, nullptr);
        if (status == ERROR_SUCCESS) {
            status = RegSetValueExW(key, kValueName, 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(command.c_str()),
                                    static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
        if (status != ERROR_SUCCESS) {
            if (error) *error = "cannot write " + Where() + ": " + ErrorText(status);
            return false;
        }
        return true;
    }

    bool Disable(std::string* error) override {
        HKEY key = nullptr;
        LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, subkey_.c_str(), 0, KEY_SET_VALUE, &key);
        if (status == ERROR_FILE_NOT_FOUND) return true;
        if (status == ERROR_SUCCESS) {
            status = RegDeleteValueW(key, kValueName);
            RegCloseKey(key);
        }
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            if (error) *error = "cannot remove " + Where() + ": " + ErrorText(status);
            return false;
        }
        return true;
    }

  private:
    std::wstring subkey_;
};

}  // namespace

std::unique_ptr<Autostart> CreateUserAutostart(std::string*) {
    return std::make_unique<RunKeyAutostart>(kRunKey);
}

std::unique_ptr<Autostart> CreateAutostartAt(const std::string& place) {
    return std::make_unique<RunKeyAutostart>(WideFromUtf8(place));
}

}  // namespace vq::platform
