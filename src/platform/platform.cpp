#include "platform/hid_system.h"

#if defined(_WIN32)
#include "platform/win32/hid_win32.h"
#elif defined(__linux__)
#include "platform/linux/hidraw_backend.h"
#endif

namespace vq::platform {

std::unique_ptr<HidBackend> CreateSystemHidBackend(std::string* whyNot) {
#if defined(_WIN32)
    if (whyNot) whyNot->clear();
    return std::make_unique<Win32HidBackend>();
#elif defined(__linux__)
    if (whyNot) whyNot->clear();
    return std::make_unique<HidrawBackend>(CreateHidapiRawApi());
#else
    if (whyNot) *whyNot = "this build has no access to real HID devices; use --simulate";
    return nullptr;
#endif
}

}  // namespace vq::platform
