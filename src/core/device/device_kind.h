#pragma once
// The three device kinds the program drives, and their prefixes in control names, folders and
// file names.

namespace vq {

enum class DeviceKind { Keyboard = 0, Mouse = 1, Mousepad = 2 };
const char* DeviceKindPrefix(DeviceKind kind);  // "kb", "ms", "mp"

}  // namespace vq
