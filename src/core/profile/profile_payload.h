#pragma once
// What the profile store knows of a device's settings: per kind and family a payload of fixed
// size, built from the device's model and loaded back into it. The models implement
// ProfilePayloadModel; the store moves the bytes between them and the profile files.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/device/device_kind.h"

namespace vq {

// The three profile families: the whole setting image (key block then light block), the
// lighting alone, the key assignments alone.
enum class ProfileFamily { Device = 0, Light = 1, Key = 2 };

// The key-assignment block that starts every device payload and is the whole key payload.
inline constexpr size_t kProfileKeyBlockSize = 512;

// The kind code in a profile file's header: 1 keyboard, 2 mouse, 3 mousepad.
constexpr uint16_t KindCode(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Keyboard:
            return 1;
        case DeviceKind::Mouse:
            return 2;
        case DeviceKind::Mousepad:
            return 3;
    }
    return 0;
}

// The mousepad has the light family only.
constexpr bool HasFamily(DeviceKind kind, ProfileFamily family) {
    return kind != DeviceKind::Mousepad || family == ProfileFamily::Light;
}

constexpr size_t ProfileLightPayloadSize(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Keyboard:
            return 1958;
        case DeviceKind::Mouse:
            return 64;
        case DeviceKind::Mousepad:
            return 64;
    }
    return 0;
}

// Payload bytes of a family's profile file; 0 when the kind has no such family.
constexpr size_t PayloadSize(DeviceKind kind, ProfileFamily family) {
    if (!HasFamily(kind, family)) return 0;
    switch (family) {
        case ProfileFamily::Device:
            return kProfileKeyBlockSize + ProfileLightPayloadSize(kind);
        case ProfileFamily::Light:
            return ProfileLightPayloadSize(kind);
        case ProfileFamily::Key:
            return kProfileKeyBlockSize;
    }
    return 0;
}

static_assert(PayloadSize(DeviceKind::Mouse, ProfileFamily::Device) == 576);
static_assert(PayloadSize(DeviceKind::Keyboard, ProfileFamily::Device) == 2470);
static_assert(PayloadSize(DeviceKind::Mousepad, ProfileFamily::Key) == 0);

// One device kind's settings model as the profile store sees it.
class ProfilePayloadModel {
  public:
    virtual ~ProfilePayloadModel() = default;
    // The family's payload built from the model, PayloadSize(kind, family) bytes. A device
    // payload is the key block immediately followed by the light block.
    virtual std::vector<uint8_t> BuildPayload(ProfileFamily family) = 0;
    // Sets the model from a payload of PayloadSize(kind, family) bytes. Returns false when the
    // model does not hold that family (nothing is changed then).
    virtual bool LoadPayload(ProfileFamily family, std::span<const uint8_t> payload) = 0;
};

}  // namespace vq
