#include "platform/hid_system.h"

#if defined(__linux__)
#include "platform/linux/hidraw_backend.h"
#endif

namespace vq::platform {

std::unique_ptr<HidBackend> CreateSystemHidBackend(std::string* whyNot) {
#if defined(__linux__)
    if (whyNot) whyNot->clear();
    return std::make_unique<HidrawBackend>(CreateHidapiRawApi());
#else
    if (whyNot) *whyNot = "this build has no access to real HID devices; use --simulate";
    return nullptr;
#endif
}

}  // namespace vq::platform
