#pragma once
// The few hidraw, hidapi and sysfs calls the Linux backend makes, behind an interface so that
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

// One open hidraw node. Its owner calls Read and Write from one thread at a time; Wake may be
// called from any thread while the device exists. Destroying it closes it.
//
// Reports are the node's bytes as the kernel gives them: a device with numbered reports has
// its report ID in the first byte, one without has none (the same bytes hidapi's hid_read and
// hid_write pass through).
class RawHidDevice {
  public:
    virtual ~RawHidDevice() = default;
    // The bytes written, or -1.
    virtual int Write(std::span<const uint8_t> report) = 0;
    // Waits for one input report: the bytes read; 0 when nothing came within `timeoutMs` or
    // the wait was woken; -1 when the device failed (it was unplugged). A negative `timeoutMs`
    // waits without a limit.
    virtual int Read(std::span<uint8_t> buffer, int timeoutMs) = 0;
    // Ends the Read in progress, or the next one if none is, with 0. Several wakes before a
    // Read count as one.
    virtual void Wake() = 0;
};

inline constexpr int kRawWaitForever = -1;

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

// The real calls: hidapi's listing, the node's own file for report I/O and its sysfs entry.
std::shared_ptr<RawHidApi> CreateHidapiRawApi();

}  // namespace vq::platform
