#include "core/mouse/mouse_model.h"

#include <algorithm>
#include <charconv>

#include "core/util/log.h"

namespace vq {

namespace {

constexpr std::string_view kSlotControlPrefix = "ms_profile_";

bool SizeIs(std::span<const uint8_t> payload, size_t expected, const char* family) {
    if (payload.size() == expected) return true;
    Logf(LogLevel::Error, "mouse %s payload of %zu bytes refused (expected %zu)", family,
         payload.size(), expected);
    return false;
}

uint8_t OneIfZero(uint8_t v) {
    return v == 0 ? 1 : v;
}

}  // namespace

std::optional<int> MouseSlotFromControlName(std::string_view name) {
    if (!name.starts_with(kSlotControlPrefix)) return std::nullopt;
    const std::string_view digits = name.substr(kSlotControlPrefix.size());
    if (digits.empty() || digits.size() > 3) return std::nullopt;
    int n = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
    if (!IsMouseSlot(n)) return std::nullopt;
    return n;
}

MouseModel::MouseModel(MouseModelObserver* observer) : observer_(observer) {}

MouseRecord MouseModel::Record() const {
    std::lock_guard lock(mutex_);
    return record_;
}

MouseLightSnapshot MouseModel::LightSnapshot() const {
    std::lock_guard lock(mutex_);
    MouseLightSnapshot s;
    s.lightMode = record_.lightMode();
    s.brightness = record_.brightness();
    s.lightSpeed = record_.lightSpeed();
    s.lightDirection = record_.lightDirection();
    s.sevenColor = record_.sevenColor();
    s.color = record_.lightColor();
    s.activeStage = record_.activeStage();
    for (int i = 0; i < MouseRecord::kStages; ++i)
        s.stageColor[i] = record_.StageColor(i);
    s.lastMode = record_.lastMode();
    return s;
}

void MouseModel::SetRecord(const MouseRecord& record) {
    std::lock_guard lock(mutex_);
    record_ = record;
}

int MouseModel::ActiveLayer() const {
    std::lock_guard lock(mutex_);
    const int slot = record_.slot();
    return IsMouseSlot(slot) ? slot : 0;
}

uint8_t MouseModel::PointerSpeed() const {
    std::lock_guard lock(mutex_);
    return pointerSpeed_;
}

uint8_t MouseModel::WheelLines() const {
    std::lock_guard lock(mutex_);
    return wheelLines_;
}

void MouseModel::SetPointerSpeed(uint8_t speed) {
    std::lock_guard lock(mutex_);
    pointerSpeed_ = speed;
}

void MouseModel::SetWheelLines(uint8_t lines) {
    std::lock_guard lock(mutex_);
    wheelLines_ = lines;
}

std::optional<MouseStoredRecord> MouseModel::StoredRecord(int slot) const {
    if (!IsMouseSlot(slot)) return std::nullopt;
    std::lock_guard lock(mutex_);
    return stored_[static_cast<size_t>(slot)];
}

std::optional<MouseKeyLayer> MouseModel::KeyLayer(int layer) const {
    if (!IsMouseSlot(layer)) return std::nullopt;
    std::lock_guard lock(mutex_);
    return layers_[static_cast<size_t>(layer)];
}

MouseKeyLayer MouseModel::FactoryBlock() const {
    std::lock_guard lock(mutex_);
    return factory_;
}

KeyAssignment MouseModel::ButtonAssignment(int layer, int button) const {
    if (!IsMouseSlot(layer) || button < 0) return {};
    std::lock_guard lock(mutex_);
    return KeyAssignment::At(layers_[static_cast<size_t>(layer)], static_cast<size_t>(button));
}

KeyAssignment MouseModel::FactoryAssignment(int button) const {
    if (button < 0) return {};
    std::lock_guard lock(mutex_);
    return KeyAssignment::At(factory_, static_cast<size_t>(button));
}

bool MouseModel::SetButtonAssignment(int layer, int button, const KeyAssignment& code) {
    if (!IsMouseSlot(layer) || button < 0) return false;
    std::lock_guard lock(mutex_);
    return code.StoreAt(layers_[static_cast<size_t>(layer)], static_cast<size_t>(button));
}

bool MouseModel::SetKeyLayer(int layer, const MouseKeyLayer& image) {
    if (!IsMouseSlot(layer)) return false;
    std::lock_guard lock(mutex_);
    layers_[static_cast<size_t>(layer)] = image;
    return true;
}

MouseInfo MouseModel::Info() const {
    std::lock_guard lock(mutex_);
    return info_;
}

bool MouseModel::HasInfo() const {
    std::lock_guard lock(mutex_);
    return hasInfo_;
}

void MouseModel::SetInfo(const MouseInfo& info) {
    std::lock_guard lock(mutex_);
    info_ = info;
    hasInfo_ = true;
}

void MouseModel::SetFactoryBlock(const MouseKeyLayer& block) {
    std::lock_guard lock(mutex_);
    factory_ = block;
}

void MouseModel::MarkMouseChanged(bool saveLight) {
    dirty_.store(true);
    if (MouseModelObserver* observer = Observer()) {
        if (saveLight) observer->SaveSelectedLightProfile();
        observer->SaveSelectedDeviceProfile();
    }
}

void MouseModel::StoreLiveRecordLocked() {
    const int slot = record_.slot();
    if (!IsMouseSlot(slot)) {
        Logf(LogLevel::Warning, "live mouse record names slot %d; not kept as a stored record",
             slot);
        return;
    }
    std::copy(record_.bytes.begin(), record_.bytes.end(),
              stored_[static_cast<size_t>(slot)].begin());
}

void MouseModel::StoreLiveRecord() {
    std::lock_guard lock(mutex_);
    StoreLiveRecordLocked();
}

void MouseModel::StoreLiveRecordAt(int slot) {
    if (!IsMouseSlot(slot)) return;
    std::lock_guard lock(mutex_);
    std::copy(record_.bytes.begin(), record_.bytes.end(),
              stored_[static_cast<size_t>(slot)].begin());
}

void MouseModel::TakeReadRecord(int slot, std::span<const uint8_t, MouseRecord::kWireSize> wire) {
    if (!IsMouseSlot(slot)) return;
    std::lock_guard lock(mutex_);
    MouseStoredRecord& stored = stored_[static_cast<size_t>(slot)];
    std::copy(wire.begin(), wire.end(), stored.begin());
    stored[MouseRecord::kSlot] = static_cast<uint8_t>(slot);
    record_ = MouseRecord::FromBytes(stored);
}

void MouseModel::TakeStoredRecordZero() {
    std::lock_guard lock(mutex_);
    record_ = MouseRecord::FromBytes(stored_[0]);
    record_.SetSlot(0);
}

std::vector<uint8_t> MouseModel::BuildDevicePayload() {
    std::lock_guard lock(mutex_);
    MouseStoredRecord& stored = stored_[0];
    std::copy(record_.bytes.begin(), record_.bytes.end(), stored.begin());
    stored[kStoredWheelLines] = wheelLines_;
    std::vector<uint8_t> payload(layers_[0].begin(), layers_[0].end());
    payload.insert(payload.end(), stored.begin(), stored.end());
    return payload;
}

std::vector<uint8_t> MouseModel::BuildLightPayload() {
    std::lock_guard lock(mutex_);
    MouseStoredRecord& stored = stored_[0];
    std::copy(record_.bytes.begin(), record_.bytes.end(), stored.begin());
    stored[kStoredPointerSpeed] = pointerSpeed_;
    stored[kStoredLightWheelLines] = wheelLines_;
    return {stored.begin(), stored.end()};
}

std::vector<uint8_t> MouseModel::BuildKeyPayload() const {
    std::lock_guard lock(mutex_);
    return {layers_[0].begin(), layers_[0].end()};
}

bool MouseModel::LoadDevicePayload(std::span<const uint8_t> payload) {
    if (!SizeIs(payload, kMouseDevicePayloadSize, "device")) return false;
    // Ask the system before taking the lock: the observer may do anything.
    MouseModelObserver* observer = Observer();
    const uint8_t systemSpeed = observer ? observer->SystemPointerSpeed() : 0;
    std::lock_guard lock(mutex_);
    std::copy_n(payload.begin(), kMouseKeyLayerSize, layers_[0].begin());
    std::copy_n(payload.begin() + kMouseKeyLayerSize, kMouseStoredRecordSize, stored_[0].begin());
    record_ = MouseRecord::FromBytes(stored_[0]);
    wheelLines_ = OneIfZero(stored_[0][kStoredWheelLines]);
    // The device payload carries no pointer speed: it comes from the system. When the system's
    // speed cannot be read, the one the model has (from the light profile) is kept, so that a
    // later save of the light profile does not replace the user's value.
    if (systemSpeed != 0) pointerSpeed_ = systemSpeed;
    return true;
}

bool MouseModel::LoadLightPayload(std::span<const uint8_t> payload) {
    if (!SizeIs(payload, kMouseLightPayloadSize, "light")) return false;
    std::lock_guard lock(mutex_);
    std::copy(payload.begin(), payload.end(), stored_[0].begin());
    record_ = MouseRecord::FromBytes(stored_[0]);
    pointerSpeed_ = OneIfZero(stored_[0][kStoredPointerSpeed]);
    wheelLines_ = OneIfZero(stored_[0][kStoredLightWheelLines]);
    return true;
}

bool MouseModel::LoadKeyPayload(std::span<const uint8_t> payload) {
    if (!SizeIs(payload, kMouseKeyPayloadSize, "key")) return false;
    std::lock_guard lock(mutex_);
    std::copy(payload.begin(), payload.end(), layers_[0].begin());
    return true;
}

std::vector<uint8_t> MouseModel::BuildPayload(ProfileFamily family) {
    switch (family) {
        case ProfileFamily::Device:
            return BuildDevicePayload();
        case ProfileFamily::Light:
            return BuildLightPayload();
        case ProfileFamily::Key:
            return BuildKeyPayload();
    }
    return {};
}

bool MouseModel::LoadPayload(ProfileFamily family, std::span<const uint8_t> payload) {
    switch (family) {
        case ProfileFamily::Device:
            return LoadDevicePayload(payload);
        case ProfileFamily::Light:
            return LoadLightPayload(payload);
        case ProfileFamily::Key:
            return LoadKeyPayload(payload);
    }
    return false;
}

}  // namespace vq
