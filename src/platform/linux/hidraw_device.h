#pragma once
// A hidraw node's own file as a RawHidDevice: reads and writes go straight to the node, and a
// read waits on the file together with a wake-up descriptor, so that it needs no time limit to
// notice that its owner wants it back.

#include <memory>
#include <string>

#include "platform/linux/raw_hid.h"

namespace vq::platform {

// Opens a hidraw node for reading and writing; null, with the reason in `why`, when the node
// cannot be opened or is not a hidraw node.
std::unique_ptr<RawHidDevice> OpenHidrawNode(const std::string& node, std::string* why);

// Takes over an open descriptor that carries one report per read and per write (a hidraw node;
// tests use a sequenced-packet socket). Null, with the descriptor closed, when no wake-up
// descriptor can be made.
std::unique_ptr<RawHidDevice> AdoptReportDescriptor(int fd);

}  // namespace vq::platform
