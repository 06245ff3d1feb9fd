#pragma once
// The line protocol between the program and a device emulator on a local socket (written down
// for emulator authors in docs/virtual-device.md). One message per line, fields separated by
// single spaces, bytes in lower- or upper-case hexadecimal:
//
//   device -> program   VQHID 1
//                       INTERFACE <name> vid=0c45 pid=7643 ver=0100 mi=00 col=01 up=ff1c u=0092
//                                 in=64 out=64 feat=0
//                       READY
//                       INPUT <name> <hex bytes>
//                       UNPLUG <name>
//   program -> device   OUTPUT <name> <hex bytes>

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/hid_backend.h"

namespace vq::platform {

inline constexpr int kDeviceProtocolVersion = 1;
// Longer lines are refused: a report is never larger than 4 KiB.
inline constexpr size_t kMaxDeviceLineLength = 16384;
// The most interface names one emulator may announce; a peer that announces more is dropped.
inline constexpr size_t kMaxSocketInterfaces = 64;

struct SocketInterface {
    std::string name;  // no spaces, at most 200 characters
    HidAttributes attributes;
    HidCaps caps;
    uint32_t interfaceNumber = 0;
    uint32_t collectionNumber = 0;
};

enum class DeviceMessageKind { Hello, Interface, Ready, Input, Unplug, Output };

struct DeviceMessage {
    DeviceMessageKind kind = DeviceMessageKind::Ready;
    int version = 0;             // Hello
    SocketInterface interface;   // Interface
    std::string name;            // Input, Unplug, Output
    std::vector<uint8_t> bytes;  // Input, Output
};

// One line (without its newline) as a message; nothing, with the reason, when it is malformed.
std::optional<DeviceMessage> ParseDeviceLine(std::string_view line, std::string* error = nullptr);
// The line for a message, newline included.
std::string FormatDeviceLine(const DeviceMessage& message);

// The path under which the program lists an interface of the emulator:
// "<name>#vid_0c45&pid_7643&mi_00&col01".
std::string SocketInterfacePath(const SocketInterface& interface);

// Splits a byte stream into lines. Lines longer than the limit are dropped whole and counted.
class LineSplitter {
  public:
    void Feed(std::string_view data);
    std::optional<std::string> Next();
    size_t DroppedLines() const { return dropped_; }

  private:
    std::deque<std::string> lines_;
    std::string partial_;
    bool skipping_ = false;  // inside a line that was too long
    size_t dropped_ = 0;
};

}  // namespace vq::platform
