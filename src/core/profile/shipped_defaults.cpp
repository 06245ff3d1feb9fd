#include "core/profile/shipped_defaults.h"

#include "core/keyboard/keyboard_defaults.h"
#include "core/mouse/mouse_model.h"

namespace vq {

namespace {

using F = ProfileFamily;
using V = KeyboardVariant;
constexpr DeviceKind kMs = DeviceKind::Mouse, kKb = DeviceKind::Keyboard,
                     kMp = DeviceKind::Mousepad;

constexpr ShippedDefault kDefaults[] = {
    {"msdevicedefault.config", kMs, F::Device, V::FullColour},
    {"msdengdefault.led", kMs, F::Light, V::FullColour},
    {"mskeydefault.pro", kMs, F::Key, V::FullColour},
    {"kbdevicedefault.config", kKb, F::Device, V::FullColour},
    {"kbdengdefault.led", kKb, F::Light, V::FullColour},
    {"kbkeydefault.pro", kKb, F::Key, V::FullColour},
    {"kbdevice15default.config", kKb, F::Device, V::SingleColour},
    {"kb15dengdefault.led", kKb, F::Light, V::SingleColour},
    {"kbkey15default.pro", kKb, F::Key, V::SingleColour},
    {"mpdengdefault.led", kMp, F::Light, V::FullColour},
};

}  // namespace

std::span<const ShippedDefault> ShippedDefaults() {
    return kDefaults;
}

std::string_view ShippedDefaultFileName(DeviceKind kind, ProfileFamily family,
                                        KeyboardVariant variant) {
    if (kind != DeviceKind::Keyboard) variant = KeyboardVariant::FullColour;
    for (const ShippedDefault& d : kDefaults)
        if (d.kind == kind && d.family == family && d.variant == variant) return d.fileName;
    return {};
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
