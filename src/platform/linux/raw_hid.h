#pragma once
// The few hidapi (hidraw) and sysfs calls the Linux backend makes, behind an interface so that
// tests can stand a scripted device in their place.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/device/hid_backend.h"

namespace vq::platform {

// One entry of hidapi's enumeration: a collection of one hidraw node.
struct RawInterfaceInfo {
    std::string node;  // "/dev/hidraw3"
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t releaseNumber = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    int interfaceNumber = -1;  // -1 when the bus has none
};

// One open hidapi device. Its owner calls it from one thread at a time; destroying it closes it.
class RawHidDevice {
  public:
    virtual ~RawHidDevice() = default;
    // hid_write: the bytes written, or -1.
    virtual int Write(std::span<const uint8_t> report) = 0;
    // hid_read_timeout: the bytes read, 0 when nothing came within `timeoutMs`, -1 when the
    // device failed (it was unplugged).
    virtual int Read(std::span<uint8_t> buffer, int timeoutMs) = 0;
};

class RawHidApi {
  public:
    virtual ~RawHidApi() = default;
    // Every collection of every hidraw node; false when the listing itself failed.
    virtual bool Enumerate(std::vector<RawInterfaceInfo>& out) = 0;
    // Opens a node for reading and writing; null on failure.
    virtual std::unique_ptr<RawHidDevice> Open(const std::string& node) = 0;
    // Whether the node exists (without opening it).
    virtual bool Exists(const std::string& node) = 0;
    // Why opening the node fails (missing, or this user may not open it).
    virtual HidOpenFailure Diagnose(const std::string& node) = 0;
    // The node's report descriptor; false when it cannot be read.
    virtual bool ReportDescriptor(const std::string& node, std::vector<uint8_t>& out) = 0;
};

// The real calls: hidapi's hidraw backend and the node's sysfs entry.
std::shared_ptr<RawHidApi> CreateHidapiRawApi();

}  // namespace vq::platform
