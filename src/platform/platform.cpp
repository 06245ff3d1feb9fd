#include "platform/hid_system.h"

namespace vq::platform {

std::unique_ptr<HidBackend> CreateSystemHidBackend(std::string* whyNot) {
    if (whyNot) *whyNot = "this build has no access to real HID devices yet; use --simulate";
    return nullptr;
}

}  // namespace vq::platform
