#pragma once
// The default profiles that ship in the program folder: their file names and their payloads,
// built from the models' factory settings. The build generates the files from these; the profile
// store reads them to seed a first run and to reset a profile.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/keyboard/keyboard_model.h"
#include "core/profile/profile_payload.h"

namespace vq {

struct ShippedDefault {
    DeviceKind kind;
    ProfileFamily family;
    KeyboardVariant variant;  // the keyboard's; FullColour for the other kinds
    // The name the profile store looks for in the program folder.
    std::string FileName() const;
};

// Every shipped default profile, mouse first, then keyboard (variant 0, then 1), then mousepad.
std::span<const ShippedDefault> ShippedDefaults();
// The payload a default file carries (PayloadSize(kind, family) bytes).
std::vector<uint8_t> ShippedDefaultPayload(const ShippedDefault& entry);

}  // namespace vq
