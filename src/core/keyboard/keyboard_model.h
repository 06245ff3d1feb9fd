#pragma once
// The keyboard's settings model: its information record, factory key block, five key layers,
// live record (21 bytes) and five stored records, the custom colour store of the per-key effect,
// and the profile payloads built from them and loaded into them.
//
// Threads: the window's thread edits the model, the presence and watcher threads may load
// profiles, and the keyboard light thread reads the light settings and the custom store on every
// frame. Every access goes through the model and takes its lock.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "core/device/key_assignment.h"
#include "core/keyboard/light_record.h"
#include "core/profile/profile_payload.h"

namespace vq {

inline constexpr int kKeyboardLayers = 5;
inline constexpr int kKeyboardRecords = 5;
inline constexpr size_t kKeyboardKeyLayerSize = 512;
inline constexpr int kKeyboardLeds = 126;  // 6 rows of 21
inline constexpr int kCustomLayouts = 5;
inline constexpr size_t kCustomLayoutSize = 378;  // 126 LEDs x red, green, blue
// Profile payload sizes.
inline constexpr size_t kKeyboardDevicePayloadSize =
    PayloadSize(DeviceKind::Keyboard, ProfileFamily::Device);
inline constexpr size_t kKeyboardLightPayloadSize =
    PayloadSize(DeviceKind::Keyboard, ProfileFamily::Light);
inline constexpr size_t kKeyboardKeyPayloadSize =
    PayloadSize(DeviceKind::Keyboard, ProfileFamily::Key);
static_assert(kKeyboardLightPayloadSize ==
              LightRecord::kStoredSize + 4 + kCustomLayouts * kCustomLayoutSize);
static_assert(kKeyboardDevicePayloadSize == kKeyboardKeyLayerSize + kKeyboardLightPayloadSize);

using KeyboardKeyLayer = std::array<uint8_t, kKeyboardKeyLayerSize>;
using CustomLayout = std::array<uint8_t, kCustomLayoutSize>;

// Variant 0: a full-colour LED per key; variant 1: single-colour LEDs with a level per key.
enum class KeyboardVariant : uint8_t { FullColour = 0, SingleColour = 1 };

// The answer of ReadInfo.
struct KeyboardInfo {
    static constexpr size_t kSize = 33;
    std::array<uint8_t, kSize> bytes{};
    uint8_t KeyCount() const { return bytes[5]; }
    uint8_t MacroUnits() const { return bytes[6]; }
};

// What the keyboard light thread reads on every frame, taken in one piece.
struct KeyboardLightSnapshot {
    LightSettings light;
    KeyboardVariant variant = KeyboardVariant::FullColour;
    uint8_t customSlot = 0;
    Rgb customColour;
    CustomLayout layout{};  // the layout of customSlot (zeros when it names none)
};

class KeyboardModel : public ProfilePayloadModel {
  public:
    KeyboardModel() = default;
    KeyboardModel(const KeyboardModel&) = delete;
    KeyboardModel& operator=(const KeyboardModel&) = delete;

    KeyboardVariant Variant() const { return variant_.load(); }
    void SetVariant(KeyboardVariant v) { variant_.store(v); }

    // ---- live and stored records
    LightRecord Record() const;
    void SetRecord(const LightRecord& record);
    template <typename Edit>
    void EditRecord(Edit&& edit) {
        std::lock_guard lock(mutex_);
        edit(record_);
    }
    LightSettings Light() const { return Record().Light(); }
    void SetLight(const LightSettings& s) {
        EditRecord([&](LightRecord& r) { r.SetLight(s); });
    }
    std::optional<StoredLightRecord> StoredRecord(int index) const;
    void SetStoredRecord(int index, const StoredLightRecord& record);
    // Live record := the first 21 bytes of stored record 0.
    void TakeStoredRecordZero();
    // The key layer in use: the live index byte when it names a layer, else 0.
    int ActiveLayer() const;

    // ---- key layers, factory block, information
    std::optional<KeyboardKeyLayer> KeyLayer(int layer) const;
    bool SetKeyLayer(int layer, const KeyboardKeyLayer& image);
    KeyAssignment KeyAt(int layer, int key) const;
    bool SetKeyAt(int layer, int key, const KeyAssignment& code);
    KeyboardKeyLayer FactoryBlock() const;
    void SetFactoryBlock(const KeyboardKeyLayer& block);
    KeyAssignment FactoryAt(int key) const;
    KeyboardInfo Info() const;
    void SetInfo(const KeyboardInfo& info);
    bool HasInfo() const;
    int KeyCount() const;  // 0 until the keyboard has answered ReadInfo

    // ---- custom colour store
    uint8_t CustomSlot() const;
    // Only 0-4 are taken; returns false for any other slot.
    bool SetCustomSlot(uint8_t slot);
    Rgb CustomColour() const;
    void SetCustomColour(Rgb colour);
    std::optional<CustomLayout> Layout(int slot) const;
    bool SetLayout(int slot, const CustomLayout& layout);
    // Paints one LED of the shown layout: the custom colour (variant 0) or full level (variant
    // 1). LEDs outside 0-125, and a slot byte that names no layout, change nothing.
    bool PaintLed(int led);
    // "All bright": variant 0 paints every black LED of the shown layout with the custom colour,
    // variant 1 turns every dark level on. "All off": every LED of the shown layout dark.
    void LightAllLeds();
    void DarkenAllLeds();

    KeyboardLightSnapshot LightSnapshot() const;

    // ---- the record-changed flag of the flush
    void SetDirty() { dirty_.store(true); }
    bool IsDirty() const { return dirty_.load(); }
    bool TakeDirty() { return dirty_.exchange(false); }

    // ---- profile payloads
    // light (".led", 1958): stored record 0 (refreshed from the live bytes), custom slot and
    // colour (4 bytes), the five custom layouts.
    std::vector<uint8_t> BuildLightPayload();
    // device (".config", 2470): key layer 0, then the light payload.
    std::vector<uint8_t> BuildDevicePayload();
    // key (".pro", 512): key layer 0.
    std::vector<uint8_t> BuildKeyPayload() const;
    // Each load refuses (false, model unchanged) a payload of another size.
    bool LoadLightPayload(std::span<const uint8_t> payload);
    bool LoadDevicePayload(std::span<const uint8_t> payload);
    bool LoadKeyPayload(std::span<const uint8_t> payload);
    // The same, by family, for the profile store.
    std::vector<uint8_t> BuildPayload(ProfileFamily family) override;
    bool LoadPayload(ProfileFamily family, std::span<const uint8_t> payload) override;

  private:
    void AppendLightPayloadLocked(std::vector<uint8_t>& out);
    void LoadLightPayloadLocked(std::span<const uint8_t> payload);
    CustomLayout* ShownLayoutLocked();

    mutable std::mutex mutex_;
    std::atomic<KeyboardVariant> variant_{KeyboardVariant::FullColour};
    LightRecord record_;
    std::array<StoredLightRecord, kKeyboardRecords> stored_{};
    std::array<KeyboardKeyLayer, kKeyboardLayers> layers_{};
    KeyboardKeyLayer factory_{};
    KeyboardInfo info_;
    bool hasInfo_ = false;
    uint8_t customSlot_ = 0;
    Rgb customColour_;
    std::array<CustomLayout, kCustomLayouts> layouts_{};
    std::atomic<bool> dirty_{false};
};

}  // namespace vq
