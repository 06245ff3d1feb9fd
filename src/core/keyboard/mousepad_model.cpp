#include "core/keyboard/mousepad_model.h"

#include <algorithm>

#include "core/util/log.h"

namespace vq {

namespace {
bool IsRecordIndex(int index) {
    return index >= 0 && index < kMousepadRecords;
}
}  // namespace

LightRecord MousepadModel::Record() const {
    std::lock_guard lock(mutex_);
    return record_;
}

void MousepadModel::SetRecord(const LightRecord& record) {
    std::lock_guard lock(mutex_);
    record_ = record;
}

MousepadLightSnapshot MousepadModel::LightSnapshot() const {
    std::lock_guard lock(mutex_);
    return {record_.Light(), record_.bytes[kMousepadBreathCounter]};
}

void MousepadModel::AdvanceBreathCounter() {
    std::lock_guard lock(mutex_);
    uint8_t& counter = record_.bytes[kMousepadBreathCounter];
    counter = static_cast<uint8_t>((counter + 1) % 3);
}

std::optional<StoredLightRecord> MousepadModel::StoredRecord(int index) const {
    if (!IsRecordIndex(index)) return std::nullopt;
    std::lock_guard lock(mutex_);
    return stored_[static_cast<size_t>(index)];
}

void MousepadModel::SetStoredRecord(int index, std::span<const uint8_t> image) {
    if (!IsRecordIndex(index)) return;
    std::lock_guard lock(mutex_);
    StoredLightRecord& stored = stored_[static_cast<size_t>(index)];
    std::copy_n(image.begin(), std::min(image.size(), stored.size()), stored.begin());
}

void MousepadModel::StoreLiveRecord() {
    std::lock_guard lock(mutex_);
    const int index = record_.index();
    if (!IsRecordIndex(index)) return;
    std::copy(record_.bytes.begin(), record_.bytes.end(),
              stored_[static_cast<size_t>(index)].begin());
}

bool MousepadModel::TakeStoredRecord(int index) {
    if (!IsRecordIndex(index)) {
        Logf(LogLevel::Warning, "mousepad record %d does not exist; the live record is kept",
             index);
        return false;
    }
    std::lock_guard lock(mutex_);
    record_ = LightRecord::FromBytes(stored_[static_cast<size_t>(index)]);
    record_.SetIndex(static_cast<uint8_t>(index));
    return true;
}

std::vector<uint8_t> MousepadModel::BuildLightPayload() {
    std::lock_guard lock(mutex_);
    StoredLightRecord& stored = stored_[0];
    std::copy(record_.bytes.begin(), record_.bytes.end(), stored.begin());
    return {stored.begin(), stored.end()};
}

bool MousepadModel::LoadLightPayload(std::span<const uint8_t> payload) {
    if (payload.size() != kMousepadLightPayloadSize) {
        Logf(LogLevel::Error, "mousepad light payload of %zu bytes refused (expected %zu)",
             payload.size(), kMousepadLightPayloadSize);
        return false;
    }
    std::lock_guard lock(mutex_);
    std::copy(payload.begin(), payload.end(), stored_[0].begin());
    record_ = LightRecord::FromBytes(stored_[0]);
    return true;
}

std::vector<uint8_t> MousepadModel::BuildPayload(ProfileFamily family) {
    if (family != ProfileFamily::Light) return {};
    return BuildLightPayload();
}

bool MousepadModel::LoadPayload(ProfileFamily family, std::span<const uint8_t> payload) {
    if (family != ProfileFamily::Light) {
        Log(LogLevel::Error, "the mousepad has light profiles only");
        return false;
    }
    return LoadLightPayload(payload);
}

}  // namespace vq
