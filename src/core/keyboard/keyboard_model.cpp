#include "core/keyboard/keyboard_model.h"

#include <algorithm>

#include "core/util/log.h"

namespace vq {

namespace {

bool SizeIs(std::span<const uint8_t> payload, size_t expected, const char* family) {
    if (payload.size() == expected) return true;
    Logf(LogLevel::Error, "keyboard %s payload of %zu bytes refused (expected %zu)", family,
         payload.size(), expected);
    return false;
}

bool InRange(int v, int count) {
    return v >= 0 && v < count;
}

}  // namespace

LightRecord KeyboardModel::Record() const {
    std::lock_guard lock(mutex_);
    return record_;
}

void KeyboardModel::SetRecord(const LightRecord& record) {
    std::lock_guard lock(mutex_);
    record_ = record;
}

std::optional<StoredLightRecord> KeyboardModel::StoredRecord(int index) const {
    if (!InRange(index, kKeyboardRecords)) return std::nullopt;
    std::lock_guard lock(mutex_);
    return stored_[static_cast<size_t>(index)];
}

void KeyboardModel::SetStoredRecord(int index, const StoredLightRecord& record) {
    if (!InRange(index, kKeyboardRecords)) return;
    std::lock_guard lock(mutex_);
    stored_[static_cast<size_t>(index)] = record;
}

void KeyboardModel::TakeStoredRecordZero() {
    std::lock_guard lock(mutex_);
    record_ = LightRecord::FromBytes(stored_[0]);
}

int KeyboardModel::ActiveLayer() const {
    std::lock_guard lock(mutex_);
    const int index = record_.index();
    return InRange(index, kKeyboardLayers) ? index : 0;
}

std::optional<KeyboardKeyLayer> KeyboardModel::KeyLayer(int layer) const {
    if (!InRange(layer, kKeyboardLayers)) return std::nullopt;
    std::lock_guard lock(mutex_);
    return layers_[static_cast<size_t>(layer)];
}

bool KeyboardModel::SetKeyLayer(int layer, const KeyboardKeyLayer& image) {
    if (!InRange(layer, kKeyboardLayers)) return false;
    std::lock_guard lock(mutex_);
    layers_[static_cast<size_t>(layer)] = image;
    return true;
}

KeyAssignment KeyboardModel::KeyAt(int layer, int key) const {
    if (!InRange(layer, kKeyboardLayers) || key < 0) return {};
    std::lock_guard lock(mutex_);
    return KeyAssignment::At(layers_[static_cast<size_t>(layer)], static_cast<size_t>(key));
}

bool KeyboardModel::SetKeyAt(int layer, int key, const KeyAssignment& code) {
    if (!InRange(layer, kKeyboardLayers) || key < 0) return false;
    std::lock_guard lock(mutex_);
    return code.StoreAt(layers_[static_cast<size_t>(layer)], static_cast<size_t>(key));
}

KeyboardKeyLayer KeyboardModel::FactoryBlock() const {
    std::lock_guard lock(mutex_);
    return factory_;
}

void KeyboardModel::SetFactoryBlock(const KeyboardKeyLayer& block) {
    std::lock_guard lock(mutex_);
    factory_ = block;
}

KeyAssignment KeyboardModel::FactoryAt(int key) const {
    if (key < 0) return {};
    std::lock_guard lock(mutex_);
    return KeyAssignment::At(factory_, static_cast<size_t>(key));
}

KeyboardInfo KeyboardModel::Info() const {
    std::lock_guard lock(mutex_);
    return info_;
}

void KeyboardModel::SetInfo(const KeyboardInfo& info) {
    std::lock_guard lock(mutex_);
    info_ = info;
    hasInfo_ = true;
}

bool KeyboardModel::HasInfo() const {
    std::lock_guard lock(mutex_);
    return hasInfo_;
}

int KeyboardModel::KeyCount() const {
    std::lock_guard lock(mutex_);
    return hasInfo_ ? info_.KeyCount() : 0;
}

uint8_t KeyboardModel::CustomSlot() const {
    std::lock_guard lock(mutex_);
    return customSlot_;
}

bool KeyboardModel::SetCustomSlot(uint8_t slot) {
    if (!InRange(slot, kCustomLayouts)) return false;
    std::lock_guard lock(mutex_);
    customSlot_ = slot;
    return true;
}

Rgb KeyboardModel::CustomColour() const {
    std::lock_guard lock(mutex_);
    return customColour_;
}

void KeyboardModel::SetCustomColour(Rgb colour) {
    std::lock_guard lock(mutex_);
    customColour_ = colour;
}

std::optional<CustomLayout> KeyboardModel::Layout(int slot) const {
    if (!InRange(slot, kCustomLayouts)) return std::nullopt;
    std::lock_guard lock(mutex_);
    return layouts_[static_cast<size_t>(slot)];
}

bool KeyboardModel::SetLayout(int slot, const CustomLayout& layout) {
    if (!InRange(slot, kCustomLayouts)) return false;
    std::lock_guard lock(mutex_);
    layouts_[static_cast<size_t>(slot)] = layout;
    return true;
}

CustomLayout* KeyboardModel::ShownLayoutLocked() {
    // A profile file may carry any slot byte; it never indexes past the five layouts.
    if (!InRange(customSlot_, kCustomLayouts)) return nullptr;
    return &layouts_[customSlot_];
}

bool KeyboardModel::PaintLed(int led) {
    if (!InRange(led, kKeyboardLeds)) return false;
    const KeyboardVariant variant = Variant();
    std::lock_guard lock(mutex_);
    CustomLayout* layout = ShownLayoutLocked();
    if (!layout) return false;
    const auto at = static_cast<size_t>(led);
    if (variant == KeyboardVariant::SingleColour) {
        (*layout)[at] = 255;
    } else {
        (*layout)[3 * at] = customColour_.red;
        (*layout)[3 * at + 1] = customColour_.green;
        (*layout)[3 * at + 2] = customColour_.blue;
    }
    return true;
}

void KeyboardModel::LightAllLeds() {
    const KeyboardVariant variant = Variant();
    std::lock_guard lock(mutex_);
    CustomLayout* layout = ShownLayoutLocked();
    if (!layout) return;
    for (size_t led = 0; led < kKeyboardLeds; ++led) {
        if (variant == KeyboardVariant::SingleColour) {
            if ((*layout)[led] == 0) (*layout)[led] = 255;
            continue;
        }
        uint8_t* rgb = layout->data() + 3 * led;
        if (rgb[0] == 0 && rgb[1] == 0 && rgb[2] == 0) {
            rgb[0] = customColour_.red;
            rgb[1] = customColour_.green;
            rgb[2] = customColour_.blue;
        }
    }
}

void KeyboardModel::DarkenAllLeds() {
    const KeyboardVariant variant = Variant();
    std::lock_guard lock(mutex_);
    CustomLayout* layout = ShownLayoutLocked();
    if (!layout) return;
    const size_t bytes =
        variant == KeyboardVariant::SingleColour ? kKeyboardLeds : 3 * kKeyboardLeds;
    std::fill_n(layout->begin(), bytes, uint8_t{0});
}

KeyboardLightSnapshot KeyboardModel::LightSnapshot() const {
    KeyboardLightSnapshot s;
    s.variant = Variant();
    std::lock_guard lock(mutex_);
    s.light = record_.Light();
    s.customSlot = customSlot_;
    s.customColour = customColour_;
    if (InRange(customSlot_, kCustomLayouts)) s.layout = layouts_[customSlot_];
    return s;
}

void KeyboardModel::AppendLightPayloadLocked(std::vector<uint8_t>& out) {
    StoredLightRecord& stored = stored_[0];
    std::copy(record_.bytes.begin(), record_.bytes.end(), stored.begin());
    out.insert(out.end(), stored.begin(), stored.end());
    out.push_back(customSlot_);
    out.push_back(customColour_.red);
    out.push_back(customColour_.green);
    out.push_back(customColour_.blue);
    for (const CustomLayout& layout : layouts_)
        out.insert(out.end(), layout.begin(), layout.end());
}

void KeyboardModel::LoadLightPayloadLocked(std::span<const uint8_t> payload) {
    auto at = payload.begin();
    std::copy_n(at, LightRecord::kStoredSize, stored_[0].begin());
    at += LightRecord::kStoredSize;
    record_ = LightRecord::FromBytes(stored_[0]);
    customSlot_ = at[0];
    customColour_ = {at[1], at[2], at[3]};
    at += 4;
    for (CustomLayout& layout : layouts_) {
        std::copy_n(at, kCustomLayoutSize, layout.begin());
        at += kCustomLayoutSize;
    }
    if (!InRange(customSlot_, kCustomLayouts))
        Logf(LogLevel::Warning, "keyboard light profile names custom layout %u of 0-4",
             customSlot_);
}

std::vector<uint8_t> KeyboardModel::BuildLightPayload() {
    std::vector<uint8_t> out;
    out.reserve(kKeyboardLightPayloadSize);
    std::lock_guard lock(mutex_);
    AppendLightPayloadLocked(out);
    return out;
}

std::vector<uint8_t> KeyboardModel::BuildDevicePayload() {
    std::vector<uint8_t> out;
    out.reserve(kKeyboardDevicePayloadSize);
    std::lock_guard lock(mutex_);
    out.assign(layers_[0].begin(), layers_[0].end());
    AppendLightPayloadLocked(out);
    return out;
}

std::vector<uint8_t> KeyboardModel::BuildKeyPayload() const {
    std::lock_guard lock(mutex_);
    return {layers_[0].begin(), layers_[0].end()};
}

bool KeyboardModel::LoadLightPayload(std::span<const uint8_t> payload) {
    if (!SizeIs(payload, kKeyboardLightPayloadSize, "light")) return false;
    std::lock_guard lock(mutex_);
    LoadLightPayloadLocked(payload);
    return true;
}

bool KeyboardModel::LoadDevicePayload(std::span<const uint8_t> payload) {
    if (!SizeIs(payload, kKeyboardDevicePayloadSize, "device")) return false;
    std::lock_guard lock(mutex_);
    std::copy_n(payload.begin(), kKeyboardKeyLayerSize, layers_[0].begin());
    LoadLightPayloadLocked(payload.subspan(kKeyboardKeyLayerSize));
    return true;
}

bool KeyboardModel::LoadKeyPayload(std::span<const uint8_t> payload) {
    if (!SizeIs(payload, kKeyboardKeyPayloadSize, "key")) return false;
    std::lock_guard lock(mutex_);
    std::copy(payload.begin(), payload.end(), layers_[0].begin());
    return true;
}

std::vector<uint8_t> KeyboardModel::BuildPayload(ProfileFamily family) {
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

bool KeyboardModel::LoadPayload(ProfileFamily family, std::span<const uint8_t> payload) {
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
