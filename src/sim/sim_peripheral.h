#pragma once
// Firmware models of the keyboard and the mousepad, like the mouse's: their configuration
// collection (and the keyboard's event collection) on a VirtualHidBus, their memories, their
// answers to every command, notifications and faults to inject.
//
// Memories: five 64-byte parameter records (addresses 0-63 reach the current record, whose
// byte 0 reads as the current index; a 1-byte write at 0 chooses the current record), the
// information record, the factory key block, the key memory (layer i at i x 126) and the macro
// memory. Light frames (command 0x12) are assembled from their chunks and the latest ones kept.

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/virtual_hid.h"

namespace vq::sim {

struct SimPeripheralConfig {
    uint16_t productId = 0;
    std::string pathPrefix;
    bool eventCollection = false;
    uint8_t keyCount = 0;                     // information byte 5
    uint8_t macroCapacityUnits = 0;           // information byte 6, in 128-byte units
    std::array<uint8_t, 64> defaultRecord{};  // each record's factory bytes (byte 0 = index)
    std::array<uint8_t, 512> factoryBlock{};
};

class SimPeripheral {
  public:
    static constexpr size_t kRecords = 5;
    static constexpr size_t kRecordSize = 64;
    static constexpr size_t kKeyMemorySize = 4 * 126 + 512;
    static constexpr size_t kBlockSize = 512;
    static constexpr size_t kInfoSize = 33;
    static constexpr size_t kKeptFrames = 64;  // the newest light frames kept
    static constexpr uint8_t kEventReportId = 0x03;

    SimPeripheral(VirtualHidBus& bus, SimPeripheralConfig config);
    virtual ~SimPeripheral();
    SimPeripheral(const SimPeripheral&) = delete;
    SimPeripheral& operator=(const SimPeripheral&) = delete;

    std::string ConfigPath() const;
    std::string EventPath() const;  // empty without an event collection

    void Plug();
    void Unplug();
    bool Plugged() const;

    // ---- memories (copies)
    std::array<uint8_t, kRecords * kRecordSize> ParamMemory() const;
    std::array<uint8_t, kRecordSize> CurrentRecord() const;
    uint8_t CurrentIndex() const;
    std::array<uint8_t, kInfoSize> Info() const;
    std::array<uint8_t, kBlockSize> FactoryBlock() const;
    std::array<uint8_t, kKeyMemorySize> KeyMemory() const;
    std::vector<uint8_t> MacroMemory() const;
    // The newest light frames, oldest first, and how many arrived in all.
    std::vector<std::vector<uint8_t>> LightFrames() const;
    uint64_t LightFrameCount() const;
    int FactoryResets() const;
    int ChecksumErrors() const;
    int RequestCount() const;

    void SetParamByte(size_t address, uint8_t value);  // as if by the device itself
    void FactoryReset();

    // ---- the user at the device
    void SendNotification(uint16_t usage);

    // ---- faults
    void DropNextRequests(int n);
    void FailRequest(int nth, uint8_t status);

    VirtualHidBus& Bus() { return bus_; }

  private:
    class ConfigEndpoint;
    class EventEndpoint;
    void HandleRequest(std::span<const uint8_t> report);
    void ResetLocked();
    uint8_t ReadParamLocked(size_t address) const;
    void WriteParamLocked(size_t address, uint8_t value);
    void TakeLightChunkLocked(size_t address, std::span<const uint8_t> chunk);

    VirtualHidBus& bus_;
    SimPeripheralConfig config_;
    std::unique_ptr<ConfigEndpoint> configEndpoint_;
    std::unique_ptr<EventEndpoint> eventEndpoint_;

    mutable std::mutex mutex_;
    bool plugged_ = false;
    uint8_t current_ = 0;
    std::array<uint8_t, kRecords * kRecordSize> params_{};
    std::array<uint8_t, kInfoSize> info_{};
    std::array<uint8_t, kKeyMemorySize> keys_{};
    std::vector<uint8_t> macros_;
    std::deque<std::vector<uint8_t>> frames_;
    uint64_t frameCount_ = 0;
    int resets_ = 0;
    int dropNext_ = 0;
    int failAt_ = 0;
    uint8_t failStatus_ = 0;
    int requests_ = 0;
    int checksumErrors_ = 0;
};

struct SimKeyboardConfig {
    // The keys the keyboard reports (information byte 5); the default is the full layout.
    int keyCount = -1;
    uint8_t macroCapacityUnits = 32;
    bool singleColour = false;  // the single-colour keyboard's factory record
};

// The keyboard (product 0x6556): a configuration and an event collection.
class SimKeyboard : public SimPeripheral {
  public:
    explicit SimKeyboard(VirtualHidBus& bus, SimKeyboardConfig config = {});
    // The user changes the light mode on the keyboard itself: the keyboard says its record
    // changed (usage 0x0401).
    void PressLightKey();
    // The user changes a setting that needs a full read (usage 0x0402).
    void ChangeKeysOnDevice();
};

// The mousepad (product 0x5004): a configuration collection only.
class SimMousepad : public SimPeripheral {
  public:
    explicit SimMousepad(VirtualHidBus& bus);
};

// The keyboard and the mousepad together, plugged in: the simulated devices besides the mouse.
struct SimKeyboardAndMousepad {
    explicit SimKeyboardAndMousepad(VirtualHidBus& bus) : keyboard(bus), mousepad(bus) {
        keyboard.Plug();
        mousepad.Plug();
    }
    SimKeyboard keyboard;
    SimMousepad mousepad;
};

}  // namespace vq::sim
