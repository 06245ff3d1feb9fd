#pragma once
// quilletctl and the device socket: `serve-sim PATH` serves the simulated mouse to another
// process, and `--device-socket PATH` uses a device served that way.

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "core/device/hid_backend.h"

namespace vq::cli {

// Serves the simulated mouse at PATH until "quit" on standard input or SIGINT/SIGTERM. Standard
// input also takes "unplug", "plug", "press" (the DPI button) and "notify HEX" (a notification
// usage).
int ServeSimCommand(const std::vector<std::string>& operands, std::ostream& out, std::ostream& err);

// The backend of a device served at `path`; null with the reason when there is none.
std::unique_ptr<HidBackend> ConnectDeviceSocket(const std::string& path, std::string* whyNot);

}  // namespace vq::cli
