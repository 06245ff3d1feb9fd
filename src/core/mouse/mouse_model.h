#pragma once
// The mouse's settings model as the program holds it: the live record mirrored to the mouse, the
// five stored records, the five key layers, the factory key block, the information record and the
// two system values that travel with the record (pointer speed, wheel lines). Also the three
// profile payloads built from it and loaded into it, and the device operations that fill it from
// the mouse and send it back.
//
// Threads: the window's thread edits the model; the presence thread loads profiles into it; the
// light threads read the lighting fields. Every access goes through the model and takes its lock,
// so a reader always sees a whole record. The lock is never held during device I/O or while the
// observer is called.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/device/key_assignment.h"
#include "core/mouse/mouse_defaults.h"
#include "core/mouse/mouse_record.h"
#include "core/profile/profile_payload.h"

namespace vq {

class DeviceSession;

inline constexpr int kMouseSlots = 5;
inline constexpr int kMouseButtons = 8;
inline constexpr size_t kMouseStoredRecordSize = 64;
inline constexpr size_t kMouseKeyLayerSize = 512;
// Profile payload sizes.
inline constexpr size_t kMouseDevicePayloadSize =
    PayloadSize(DeviceKind::Mouse, ProfileFamily::Device);
inline constexpr size_t kMouseLightPayloadSize =
    PayloadSize(DeviceKind::Mouse, ProfileFamily::Light);
inline constexpr size_t kMouseKeyPayloadSize = PayloadSize(DeviceKind::Mouse, ProfileFamily::Key);
static_assert(kMouseDevicePayloadSize == kMouseKeyLayerSize + kMouseStoredRecordSize);
static_assert(kMouseLightPayloadSize == kMouseStoredRecordSize);
// Where a stored record keeps the system values in the payloads.
inline constexpr size_t kStoredPointerSpeed = 54;     // light payload
inline constexpr size_t kStoredWheelLines = 54;       // device payload
inline constexpr size_t kStoredLightWheelLines = 55;  // light payload

constexpr bool IsMouseSlot(int n) {
    return n >= 0 && n < kMouseSlots;
}

// The slot named by a control "ms_profile_<n>", only for n in 0-4.
std::optional<int> MouseSlotFromControlName(std::string_view name);

// The answer of ReadInfo.
struct MouseInfo {
    static constexpr size_t kSize = 33;
    std::array<uint8_t, kSize> bytes{};

    uint8_t MacroUnits() const { return bytes[6]; }  // macro memory in 128-byte units
    size_t MacroCapacity() const { return size_t{bytes[6]} * 128; }
    uint16_t SensorCode() const { return static_cast<uint16_t>(bytes[9] | (bytes[10] << 8)); }
};

// What the light preview reads on every frame, taken in one piece.
struct MouseLightSnapshot {
    uint8_t lightMode = 0, brightness = 0, lightSpeed = 0, lightDirection = 0, sevenColor = 0;
    Rgb color;
    uint8_t activeStage = 0;
    std::array<Rgb, MouseRecord::kStages> stageColor{};
    uint8_t lastMode = 0;
};

// Why the page should show the model again.
enum class MouseUpdate { Read, Reloaded, SlotSelected };

// What the model needs of the program around it. Every method has a do-nothing default.
class MouseModelObserver {
  public:
    virtual ~MouseModelObserver() = default;
    // Write the model into the selected profile of the mouse's light / device family. Called
    // without the model's lock held: building the payload takes it.
    virtual void SaveSelectedLightProfile() {}
    virtual void SaveSelectedDeviceProfile() {}
    // The system's current pointer speed (1-20); 0 when it cannot be read. Asked by a device
    // payload load, which may run on the presence thread: it must not touch the window.
    virtual uint8_t SystemPointerSpeed() { return 0; }
    // The model was replaced from the mouse: show it (and for a slot switch, hide the
    // key-function panel). Called on the thread that ran the operation.
    virtual void MouseSettingsReplaced(MouseUpdate) {}
};

class MouseModel : public ProfilePayloadModel {
  public:
    explicit MouseModel(MouseModelObserver* observer = nullptr);
    MouseModel(const MouseModel&) = delete;
    MouseModel& operator=(const MouseModel&) = delete;

    void SetObserver(MouseModelObserver* observer) { observer_.store(observer); }

    // ---- the live record
    MouseRecord Record() const;
    MouseLightSnapshot LightSnapshot() const;
    // Runs edit(record) under the lock. Keep it short; it must not call back into the model.
    template <typename Edit>
    void EditRecord(Edit&& edit) {
        std::lock_guard lock(mutex_);
        edit(record_);
    }
    void SetRecord(const MouseRecord& record);
    // The key layer in use: the live slot, or 0 while the slot byte is not a slot (a profile
    // file may carry anything there).
    int ActiveLayer() const;

    // ---- system values
    uint8_t PointerSpeed() const;
    uint8_t WheelLines() const;
    void SetPointerSpeed(uint8_t speed);
    void SetWheelLines(uint8_t lines);

    // ---- stored records, key layers, factory block, information
    std::optional<MouseStoredRecord> StoredRecord(int slot) const;
    std::optional<MouseKeyLayer> KeyLayer(int layer) const;
    MouseKeyLayer FactoryBlock() const;
    // Button n's record in a layer; zeros for a layer or button out of range.
    KeyAssignment ButtonAssignment(int layer, int button) const;
    KeyAssignment FactoryAssignment(int button) const;
    // Stores a button's record; false (nothing stored) for a layer or button out of range.
    bool SetButtonAssignment(int layer, int button, const KeyAssignment& code);
    bool SetKeyLayer(int layer, const MouseKeyLayer& image);
    MouseInfo Info() const;
    bool HasInfo() const;  // a ReadInfo has been answered

    // ---- flags
    // What every edit of the record calls: mark it for the next flush, then save the selected
    // light profile (when saveLight) and the selected device profile.
    void MarkMouseChanged(bool saveLight);
    bool IsDirty() const { return dirty_.load(); }
    void ClearDirty() { dirty_.store(false); }
    // Clears the mark and says whether it was set.
    bool TakeDirty() { return dirty_.exchange(false); }
    void SetDirty() { dirty_.store(true); }
    void RequestFullRefresh() { fullRefresh_.store(true); }
    bool FullRefreshPending() const { return fullRefresh_.load(); }
    // Clears the flag and says whether it was set.
    bool TakeFullRefresh() { return fullRefresh_.exchange(false); }

    // ---- profile payloads
    // device (".config", 576): key layer 0, then stored record 0 with the wheel lines at 54.
    std::vector<uint8_t> BuildDevicePayload();
    // light (".led", 64): stored record 0 with the pointer speed at 54, the wheel lines at 55.
    std::vector<uint8_t> BuildLightPayload();
    // key (".pro", 512): key layer 0.
    std::vector<uint8_t> BuildKeyPayload() const;
    // Each load refuses (false, model unchanged) a payload of another size. A device payload
    // takes the pointer speed from the system (keeping the model's when the system gives none); a
    // zero wheel value becomes 1.
    bool LoadDevicePayload(std::span<const uint8_t> payload);
    bool LoadLightPayload(std::span<const uint8_t> payload);
    bool LoadKeyPayload(std::span<const uint8_t> payload);
    // The same, by family, for the profile store.
    std::vector<uint8_t> BuildPayload(ProfileFamily family) override;
    bool LoadPayload(ProfileFamily family, std::span<const uint8_t> payload) override;

    // ---- used by the device operations (mouse_device.h)
    MouseModelObserver* Observer() const { return observer_.load(); }
    void SetInfo(const MouseInfo& info);
    void SetFactoryBlock(const MouseKeyLayer& block);
    // Copies the live record into stored record [slot] when the slot byte names a slot.
    void StoreLiveRecord();
    // Copies the live record into stored record [slot] (0-4; others are ignored).
    void StoreLiveRecordAt(int slot);
    // Stored record [slot] := the 56 bytes read (byte 0 := slot), live record := its 54 bytes.
    void TakeReadRecord(int slot, std::span<const uint8_t, MouseRecord::kWireSize> wire);
    // Live record := stored record 0, slot 0.
    void TakeStoredRecordZero();

  private:
    static constexpr size_t kLayers = kMouseSlots;
    void StoreLiveRecordLocked();

    mutable std::mutex mutex_;
    MouseRecord record_;
    std::array<MouseStoredRecord, kMouseSlots> stored_{};
    std::array<MouseKeyLayer, kLayers> layers_{};
    MouseKeyLayer factory_{};
    MouseInfo info_;
    bool hasInfo_ = false;
    uint8_t pointerSpeed_ = 0;
    uint8_t wheelLines_ = 0;
    std::atomic<bool> dirty_{false};
    std::atomic<bool> fullRefresh_{false};
    std::atomic<MouseModelObserver*> observer_;
};

}  // namespace vq
