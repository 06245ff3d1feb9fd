#include "core/defaults/shipped_defaults.h"

#include "core/keyboard/keyboard_defaults.h"
#include "core/mouse/mouse_model.h"
#include "core/profile/profile_store.h"

namespace vq {

namespace {

using F = ProfileFamily;
using V = KeyboardVariant;
constexpr DeviceKind kMs = DeviceKind::Mouse, kKb = DeviceKind::Keyboard,
                     kMp = DeviceKind::Mousepad;

constexpr ShippedDefault kDefaults[] = {
    {kMs, F::Device, V::FullColour},   {kMs, F::Light, V::FullColour},
    {kMs, F::Key, V::FullColour},      {kKb, F::Device, V::FullColour},
    {kKb, F::Light, V::FullColour},    {kKb, F::Key, V::FullColour},
    {kKb, F::Device, V::SingleColour}, {kKb, F::Light, V::SingleColour},
    {kKb, F::Key, V::SingleColour},    {kMp, F::Light, V::FullColour},
};

}  // namespace

std::span<const ShippedDefault> ShippedDefaults() {
    return kDefaults;
}

std::string ShippedDefault::FileName() const {
    return DefaultFileName(kind, family, static_cast<int>(variant));
}

std::vector<uint8_t> ShippedDefaultPayload(const ShippedDefault& entry) {
    switch (entry.kind) {
        case DeviceKind::Mouse: {
            MouseModel model;
            ApplyMouseDefaults(model);
            return model.BuildPayload(entry.family);
        }
        case DeviceKind::Keyboard: {
            KeyboardModel model;
            ApplyKeyboardDefaults(model, entry.variant);
            return model.BuildPayload(entry.family);
        }
        case DeviceKind::Mousepad: {
            MousepadModel model;
            ApplyMousepadDefaults(model);
            return model.BuildPayload(entry.family);
        }
    }
    return {};
}

}  // namespace vq
