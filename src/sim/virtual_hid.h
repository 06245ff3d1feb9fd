#pragma once
// An in-process HID bus: device models attach interfaces to it, and the program reaches them
// through the ordinary HidBackend interface. It models the time each report takes on the wire,
// keeps a transcript of the newest reports, and lets a test unplug and replug interfaces.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/device/hid_device.h"

namespace vq::sim {

struct VirtualInterfaceInfo {
    std::string path;
    HidAttributes attributes;
    HidCaps caps;
};

// The device side of one interface.
class VirtualEndpoint {
  public:
    virtual ~VirtualEndpoint() = default;
    // A report the host wrote, after its time on the wire. Runs on the writing thread.
    virtual void OnOutputReport(std::span<const uint8_t> report) = 0;
    // Decodes an input report of this interface for the listeners.
    virtual std::optional<uint16_t> FirstInputUsage(std::span<const uint8_t> report) const = 0;
};

struct TranscriptEntry {
    TraceDirection direction;
    uint16_t usagePage;
    std::vector<uint8_t> bytes;
};

struct WireTiming {
    std::chrono::microseconds perReportOut{1000};  // host to device
    std::chrono::microseconds perReportIn{1000};   // device to host
};

class VirtualHidBus : public HidBackend {
  public:
    VirtualHidBus();
    ~VirtualHidBus() override;

    // ---- the device side
    // Attaches (or re-attaches) an interface; it is listed in attach order.
    void Attach(const VirtualInterfaceInfo& info, VirtualEndpoint* endpoint);
    // Detaches it: open handles fail every later request and pending ones wake with failure.
    void Detach(const std::string& path);
    bool IsAttached(const std::string& path) const;
    // Queues an input report to every open handle of `path`, readable after its time on the wire
    // plus `extraDelay`.
    void SendInput(const std::string& path, std::span<const uint8_t> report,
                   std::chrono::microseconds extraDelay = std::chrono::microseconds{0});

    void SetTiming(WireTiming timing);
    WireTiming Timing() const;
    // When set, writes never complete (the request stays pending until its time limit).
    void SetWritesStall(bool stall);
    // Decides for each report written from now on whether its write stalls (null: none do, but
    // for SetWritesStall). Runs on the writing thread, with no lock of the bus held.
    using WriteStalls = std::function<bool(std::span<const uint8_t> report)>;
    void SetWriteStalls(WriteStalls stalls);
    // When set, enumeration fails.
    void SetEnumerationFails(bool fail);

    // Runs the bus on a clock of its own that moves only when a request waits: a read jumps to
    // the moment its report arrives or to its time limit, a write to the end of its time on the
    // wire, a stalled write to its limit. Long time limits then cost no time at all. For one
    // thread driving a device; a wait that nothing on the bus can end returns at once.
    void UseManualClock(bool on);
    void AdvanceClock(std::chrono::microseconds by);
    std::chrono::steady_clock::time_point Now() const override;

    // The newest reports both ways, oldest first. The bus of a simulated device can run for days
    // (quillet --simulate, quilletctl serve-sim) with light frames going out many times a
    // second, so only the newest `TranscriptLimit` reports are kept (0: none).
    std::vector<TranscriptEntry> Transcript() const;
    void ClearTranscript();
    static constexpr size_t kDefaultTranscriptLimit = 16384;
    void SetTranscriptLimit(size_t limit);
    size_t TranscriptLimit() const;
    // Reports that fell out of the transcript (or were not kept) since the last clear.
    uint64_t TranscriptDropped() const;
    size_t OpenHandleCount() const;

    // ---- HidBackend
    bool Enumerate(std::vector<std::optional<std::string>>& paths) override;
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenFlags& flags) override;
    bool Probe(const std::string& path) override;

    struct Port;  // one open handle's queue

  private:
    struct Interface {
        VirtualInterfaceInfo info;
        VirtualEndpoint* endpoint = nullptr;
        bool attached = false;
        std::vector<std::weak_ptr<Port>> ports;
    };
    friend class VirtualHandle;
    void Record(TraceDirection dir, uint16_t usagePage, std::span<const uint8_t> bytes);
    bool DeliverOutput(const std::shared_ptr<Port>& port, std::span<const uint8_t> report,
                       uint32_t timeoutMs);

    mutable std::mutex mutex_;
    std::vector<std::string> order_;
    std::map<std::string, Interface> interfaces_;
    WireTiming timing_;
    void AdvanceClockTo(std::chrono::steady_clock::time_point t);
    bool ManualClock() const { return manualClock_.load(); }

    bool writesStall_ = false;
    std::shared_ptr<WriteStalls> writeStalls_;
    std::atomic<bool> manualClock_{false};
    mutable std::mutex clockMutex_;
    std::chrono::steady_clock::time_point manualNow_{};
    bool enumerationFails_ = false;
    mutable std::mutex transcriptMutex_;
    // A ring: once full, the oldest entry (and its buffer) is reused for the newest.
    std::vector<TranscriptEntry> transcript_;
    size_t transcriptStart_ = 0;  // the oldest entry's index once the ring is full
    size_t transcriptLimit_ = kDefaultTranscriptLimit;
    uint64_t transcriptDropped_ = 0;
};

}  // namespace vq::sim
