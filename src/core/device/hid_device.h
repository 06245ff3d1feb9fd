#pragma once
// HidDeviceList and HidDevice: the program's view of HID interfaces, on top of a HidBackend.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/hid_backend.h"

namespace vq {

// The result of one enumeration, handed out path by path.
class HidDeviceList {
  public:
    explicit HidDeviceList(HidBackend* backend) : backend_(backend) {}

    // Resets the cursor and lists the present interfaces. On failure the list is empty.
    bool Enumerate();
    // The next path, or nothing at the end of the list or at an entry that could not be read.
    std::optional<std::string> NextPath();
    // Releases every entry; `Count` keeps the value of the last enumeration.
    void ClearPaths();

    uint32_t Count() const { return count_; }
    bool HasPaths() const { return hasPaths_; }

  private:
    HidBackend* backend_;
    std::vector<std::optional<std::string>> paths_;
    bool hasPaths_ = false;
    uint32_t count_ = 0;
    uint32_t cursor_ = 0;
};

uint16_t VendorIdFromPath(std::string_view path);
uint16_t ProductIdFromPath(std::string_view path);
// The hexadecimal number after the first `marker` (case-insensitive), 0 when absent.
uint32_t HexNumberAfter(std::string_view path, std::string_view marker);

// Which collection a report belongs to, for tracing.
enum class TraceDirection { ToDevice, FromDevice };
using HidTraceSink =
    std::function<void(TraceDirection, uint16_t usagePage, std::span<const uint8_t> report)>;
// Installs a process-wide sink that sees every report written or received (null removes it).
void SetHidTraceSink(HidTraceSink sink);
// "> cfg 04 01 ..." — direction, collection and the bytes in two-digit hex.
std::string FormatTraceLine(TraceDirection dir, uint16_t usagePage,
                            std::span<const uint8_t> report);

// One HID interface, opened by path. Report I/O is serialised by its user (a DeviceSession's
// lock, or a listener that owns the device); Open and Close may come from any thread and wake a
// pending read or write, which then returns 0.
class HidDevice {
  public:
    explicit HidDevice(HidBackend* backend);
    ~HidDevice();
    HidDevice(const HidDevice&) = delete;
    HidDevice& operator=(const HidDevice&) = delete;

    HidDeviceList& List() { return list_; }
    HidBackend* Backend() const { return backend_; }

    bool Open(std::string_view path, bool readAccess, bool writeAccess, bool overlapped,
              bool exclusive);
    void Close();
    bool IsOpen() const;
    // Whether the interface at the stored path is still present.
    bool Probe() const;

    // Nonzero on success. `outCount` may be null.
    int ReadReport(size_t length, size_t* outCount, uint8_t* buffer, uint32_t timeoutMs);
    int WriteReport(size_t length, size_t* outCount, const uint8_t* buffer, uint32_t timeoutMs);

    // The backend's clock, which the time limits of the two calls above run on.
    std::chrono::steady_clock::time_point Now() const;

    // First usage of the first input data entry of a received report.
    std::optional<uint16_t> FirstInputUsage(std::span<const uint8_t> report) const;

    std::string Path() const;
    HidOpenFlags Flags() const;
    HidAttributes Attributes() const;
    HidCaps Caps() const;
    uint32_t InterfaceNumber() const;
    uint32_t CollectionNumber() const;
    bool Reading() const { return reading_.load(); }
    bool Writing() const { return writing_.load(); }

  private:
    std::shared_ptr<HidHandle> CurrentHandle() const;
    void CloseLocked(std::unique_lock<std::mutex>& lock);

    HidBackend* backend_;
    HidDeviceList list_;
    mutable std::mutex stateMutex_;  // guards the fields below, never held during I/O
    HidOpenFlags flags_;
    std::shared_ptr<HidHandle> handle_;
    std::string path_;
    HidAttributes attributes_;
    HidCaps caps_;
    uint32_t interfaceNumber_ = 0;
    uint32_t collectionNumber_ = 0;
    std::atomic<bool> reading_{false};
    std::atomic<bool> writing_{false};
};

}  // namespace vq
