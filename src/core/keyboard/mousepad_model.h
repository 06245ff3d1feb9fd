#pragma once
// The mousepad's settings model: its live record (21 bytes), five stored records and its one
// profile payload (".led"). The mousepad light thread reads the light settings on every frame
// and advances the breathing counter (byte 9); every access takes the model's lock.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "core/keyboard/light_record.h"
#include "core/profile/profile_payload.h"

namespace vq {

inline constexpr int kMousepadRecords = 5;
inline constexpr int kMousepadZones = 15;
inline constexpr size_t kMousepadLightPayloadSize =
    PayloadSize(DeviceKind::Mousepad, ProfileFamily::Light);
static_assert(kMousepadLightPayloadSize == LightRecord::kStoredSize);
inline constexpr size_t kMousepadBreathCounter = 9;

struct MousepadLightSnapshot {
    LightSettings light;
    uint8_t breathCounter = 0;
};

class MousepadModel : public ProfilePayloadModel {
  public:
    MousepadModel() = default;
    MousepadModel(const MousepadModel&) = delete;
    MousepadModel& operator=(const MousepadModel&) = delete;

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
    MousepadLightSnapshot LightSnapshot() const;
    // Breathing: the colour counter steps 0, 1, 2, 0, ... once per breath.
    void AdvanceBreathCounter();

    std::optional<StoredLightRecord> StoredRecord(int index) const;
    // Stored record [index] := the bytes read (at most 64); other indices are ignored.
    void SetStoredRecord(int index, std::span<const uint8_t> image);
    // Copies the live bytes into stored record [live index] when the index names a record.
    void StoreLiveRecord();
    // Live record := the first 21 bytes of stored record [index], live index := index.
    // False (nothing changed) for an index outside 0-4, as a mousepad might report.
    bool TakeStoredRecord(int index);

    void SetDirty() { dirty_.store(true); }
    bool IsDirty() const { return dirty_.load(); }
    bool TakeDirty() { return dirty_.exchange(false); }

    // ".led" (64): stored record 0, refreshed from the live bytes.
    std::vector<uint8_t> BuildLightPayload();
    // Refuses (false, model unchanged) a payload of another size.
    bool LoadLightPayload(std::span<const uint8_t> payload);
    // The light family only: any other family builds nothing and loads nothing.
    std::vector<uint8_t> BuildPayload(ProfileFamily family) override;
    bool LoadPayload(ProfileFamily family, std::span<const uint8_t> payload) override;

  private:
    mutable std::mutex mutex_;
    LightRecord record_;
    std::array<StoredLightRecord, kMousepadRecords> stored_{};
    std::atomic<bool> dirty_{false};
};

}  // namespace vq
