#include "platform/language_hint.h"

#ifdef _WIN32
#include <windows.h>

#include <cwchar>
#endif

namespace vq::platform {

#ifdef _WIN32

namespace {

std::wstring KeyPath() {
    wchar_t path[260];
    std::swprintf(path, 260, L"SOFTWARE\\%hs", kLanguageHintKey);
    return path;
}

}  // namespace

std::optional<std::string> ReadLanguageHint() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    wchar_t value[260] = {};
    DWORD type = 0;
    DWORD size = sizeof value - sizeof(wchar_t);
    const LONG status =
        RegQueryValueExW(key, L"LANGUAGE", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    std::string text;
    for (const wchar_t* p = value; *p; ++p)
        text += static_cast<char>(*p < 128 ? *p : '?');
    return text;
}

bool WriteLanguageHint(const std::string& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath().c_str(), 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return false;
    std::wstring wide(value.begin(), value.end());
    const LONG status =
        RegSetValueExW(key, L"LANGUAGE", 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                       static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

#else

std::optional<std::string> ReadLanguageHint() {
    return std::nullopt;
}
bool WriteLanguageHint(const std::string&) {
    return false;
}

#endif

}  // namespace vq::platform
