#pragma once
// A firmware model of the mouse: its configuration and event collections on a VirtualHidBus,
// its memories, its answers to every command, its notifications, and faults to inject.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/mouse/mouse_defaults.h"
#include "sim/virtual_hid.h"

namespace vq::sim {

struct SimMouseConfig {
    uint8_t macroCapacityUnits = 32;  // information byte 6, in 128-byte units
    uint16_t sensorCode = 0x3389;     // information bytes 9-10
    uint8_t keyCount = 0;             // information byte 5 (a keyboard reports its key count)
    // Interface paths carry the vendor and product in the system's usual form.
    std::string pathPrefix = "sim:hid#vid_0c45&pid_7643";
    bool eventCollectionFirst = false;  // list the event collection before the configuration one
    uint16_t productId = 0x7643;
    // The mouse answers with the request's bytes 0-6 (report ID, checksum, command, length,
    // address) in front of its status; when false, those answer bytes are zero but the ID.
    bool echoesRequests = true;
};

// What the mouse does with one request (see SimMouse::SetRequestFaults).
struct RequestFault {
    bool drop = false;                   // no answer at all
    bool unplug = false;                 // the mouse is unplugged as the request arrives
    std::optional<uint8_t> status;       // answers with this status instead of its own
    std::chrono::microseconds delay{0};  // answers this much later
};

class SimMouse {
  public:
    static constexpr size_t kSlots = 5;
    static constexpr size_t kRecordSize = 64;
    static constexpr size_t kKeyMemorySize = 4 * 126 + 512;
    static constexpr size_t kBlockSize = 512;
    static constexpr size_t kInfoSize = 33;
    static constexpr size_t kScriptMemorySize = 4 * 1024;
    static constexpr uint8_t kEventReportId = 0x03;
    static constexpr size_t kKeptLightFrames = 64;  // LightFrames() holds the newest ones

    SimMouse(VirtualHidBus& bus, SimMouseConfig config = {});
    ~SimMouse();
    SimMouse(const SimMouse&) = delete;
    SimMouse& operator=(const SimMouse&) = delete;

    std::string ConfigPath() const;
    std::string EventPath() const;

    void Plug();
    void Unplug();
    bool Plugged() const;

    // ---- memories (copies)
    std::array<uint8_t, kSlots * kRecordSize> ParamMemory() const;
    // The record the mouse uses now: the current slot's record with its slot byte.
    std::array<uint8_t, kRecordSize> CurrentRecord() const;
    uint8_t CurrentSlot() const;
    std::array<uint8_t, kKeyMemorySize> KeyMemory() const;
    std::array<uint8_t, kBlockSize> FactoryBlock() const;
    std::array<uint8_t, kInfoSize> Info() const;
    std::vector<uint8_t> MacroMemory() const;
    std::vector<uint8_t> ScriptMemory() const;
    std::vector<std::vector<uint8_t>> LightFrames() const;
    void SetParamByte(size_t address, uint8_t value);  // direct poke, as if by the mouse itself
    void FactoryReset();
    int ChecksumErrors() const;

    // ---- the user at the mouse
    // Cycles the active stage of the current record and notifies the host (usage 0x0401).
    void PressDpiButton();
    void SendNotification(uint16_t usage);

    // ---- faults
    void DropNextRequests(int n);  // no answer at all
    // Answers the nth request from now (1 = the next one) with this status.
    void FailRequest(int nth, uint8_t status);
    void SetAnswerDelayMs(int ms);  // slow answers
    // Answers the next n requests `ms` later than the others.
    void DelayNextAnswers(int n, int ms);
    // Decides the fault of every later request (a request that the faults above already drop is
    // not shown to it); null ends it. Runs on the writing thread, with no lock of the mouse held.
    using RequestFaults = std::function<RequestFault(std::span<const uint8_t> request)>;
    void SetRequestFaults(RequestFaults decide);
    // The bytes ReadParams of n bytes at `address` answers with now.
    std::vector<uint8_t> ParamBytes(size_t address, size_t n) const;
    int RequestCount() const;

    VirtualHidBus& Bus() { return bus_; }

  private:
    class ConfigEndpoint;
    class EventEndpoint;
    void HandleRequest(std::span<const uint8_t> report);
    void ResetLocked();
    uint8_t ReadParamLocked(size_t address) const;
    void WriteParamLocked(size_t address, uint8_t value);

    VirtualHidBus& bus_;
    SimMouseConfig config_;
    std::unique_ptr<ConfigEndpoint> configEndpoint_;
    std::unique_ptr<EventEndpoint> eventEndpoint_;

    mutable std::mutex mutex_;
    bool plugged_ = false;
    uint8_t currentSlot_ = 0;
    std::array<uint8_t, kSlots * kRecordSize> params_{};
    std::array<uint8_t, kKeyMemorySize> keys_{};
    std::array<uint8_t, kBlockSize> factory_{};
    std::array<uint8_t, kInfoSize> info_{};
    std::vector<uint8_t> macros_;
    std::vector<uint8_t> scripts_;
    std::vector<std::vector<uint8_t>> lightFrames_;
    int dropNext_ = 0;
    int failAt_ = 0;
    uint8_t failStatus_ = 0;
    int answerDelayMs_ = 0;
    int delayNext_ = 0;
    int delayNextMs_ = 0;
    std::mutex faultsMutex_;  // held while the decision runs, apart from mutex_
    RequestFaults faults_;
    int requests_ = 0;
    int checksumErrors_ = 0;
};

// The factory record of one slot and the factory key layer: the core's defaults, which the
// shipped profiles carry too.
inline std::array<uint8_t, SimMouse::kRecordSize> DefaultMouseRecord(uint8_t slot) {
    return vq::DefaultMouseRecord(slot);
}
inline std::array<uint8_t, SimMouse::kBlockSize> DefaultMouseKeyLayer() {
    return vq::DefaultMouseKeyLayer();
}

}  // namespace vq::sim
