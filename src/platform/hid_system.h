#pragma once
// The operating system's HID access for this build.

#include <memory>
#include <string>

#include "core/device/hid_backend.h"

namespace vq::platform {

// The system's HID backend, or null with the reason in `whyNot` when this build has none.
std::unique_ptr<HidBackend> CreateSystemHidBackend(std::string* whyNot);

}  // namespace vq::platform
