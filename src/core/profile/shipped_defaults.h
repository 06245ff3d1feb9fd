#pragma once
// The default profiles that ship in the program folder: their file names and their payloads,
// built from the models' factory settings. The build generates the files from these; the profile
// store reads them to seed a first run and to reset a profile.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/keyboard/keyboard_model.h"
#include "core/profile/profile_payload.h"

namespace vq {

struct ShippedDefault {
    std::string_view fileName;
    DeviceKind kind;
    ProfileFamily family;
    KeyboardVariant variant;  // the keyboard's; FullColour for the other kinds
};

// Every shipped default profile, mouse first, then keyboard (variant 0, then 1), then mousepad.
std::span<const ShippedDefault> ShippedDefaults();
// The default file of a kind and family ("" when the kind has no such family). The keyboard's
// variant 1 has its own files, with "15" in their names.
std::string_view ShippedDefaultFileName(DeviceKind kind, ProfileFamily family,
                                        KeyboardVariant variant = KeyboardVariant::FullColour);
// The payload a default file carries (PayloadSize(kind, family) bytes).
std::vector<uint8_t> ShippedDefaultPayload(const ShippedDefault& entry);

}  // namespace vq
