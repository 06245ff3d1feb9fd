#pragma once
// The operating system's side of HID access: list present interfaces, open one by path, and
// move single reports with a time limit. Backends (Windows, Linux, the in-process virtual bus,
// a socket-attached emulator) implement these two interfaces; the rest of the program only sees
// HidDevice and HidDeviceList.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vq {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

struct HidOpenFlags {
    bool readAccess = false;
    bool writeAccess = false;
    bool overlapped = false;
    bool exclusive = false;
};

struct HidAttributes {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t versionNumber = 0;
};

// The parts of the top-level collection's capabilities that the program uses.
struct HidCaps {
    uint16_t usage = 0;
    uint16_t usagePage = 0;
    uint16_t inputReportByteLength = 0;
    uint16_t outputReportByteLength = 0;
    uint16_t featureReportByteLength = 0;
};

// One open interface. Read and Write block the calling thread until the report moved, the time
// limit passed, the device failed the request, or Cancel was called from another thread. They
// never return while the operating system may still touch the caller's buffer.
class HidHandle {
  public:
    virtual ~HidHandle() = default;

    virtual HidAttributes Attributes() const = 0;
    virtual HidCaps Caps() const = 0;

    // true when a report was received; `transferred` is the byte count (0 on failure).
    virtual bool Read(std::span<uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) = 0;
    // true when the report was written in time.
    virtual bool Write(std::span<const uint8_t> report, size_t& transferred,
                       uint32_t timeoutMs) = 0;

    // Wakes every pending Read/Write with failure. Thread-safe; may be called more than once.
    virtual void Cancel() = 0;

    // Decodes a received input report and gives the first usage of its first input data entry
    // (what the event listeners act on); nothing when the report carries no usage.
    virtual std::optional<uint16_t> FirstInputUsage(std::span<const uint8_t> report) = 0;
};

// Why an interface could not be opened, as far as the backend can tell.
enum class HidOpenFailure { Unknown, NotPresent, AccessDenied };

class HidBackend {
  public:
    virtual ~HidBackend() = default;

    // Lists the present HID interfaces in the system's order. An entry that could not be read is
    // an empty optional. false when the listing itself failed.
    virtual bool Enumerate(std::vector<std::optional<std::string>>& paths) = 0;

    // Opens one interface; null when it cannot be opened or its capabilities cannot be read.
    virtual std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenFlags& flags) = 0;

    // Whether the interface at `path` is still present (an open without access rights).
    virtual bool Probe(const std::string& path) = 0;

    // The clock that the time limits of Read and Write run on. A simulated bus may keep its own.
    virtual std::chrono::steady_clock::time_point Now() const {
        return std::chrono::steady_clock::now();
    }

    // Asked after a failed Open, so that the user can be told what to do about it.
    virtual HidOpenFailure DiagnoseOpenFailure(const std::string& path) {
        (void)path;
        return HidOpenFailure::Unknown;
    }
};

}  // namespace vq
