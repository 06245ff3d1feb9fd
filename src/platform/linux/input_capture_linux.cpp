// No capture of the whole desktop here: the program takes keys in its own window.

#include "platform/input_capture.h"

namespace vq::platform {

std::unique_ptr<InputCapture> CreateDesktopInputCapture() {
    return nullptr;
}

}  // namespace vq::platform
