#pragma once
// A profile operation as one value, so that the window can hand it to the thread that owns the
// device's model and hear back what the family looks like afterwards.

#include <filesystem>
#include <string>
#include <vector>

#include "core/profile/profile_store.h"

namespace vq {

enum class ProfileOperation { Add, Delete, Copy, Rename, Import, Export, Reset, Link, Unlink };
const char* ProfileOperationName(ProfileOperation operation);  // "add", ...
// Whether the operation ends with a profile of the family selected (and loaded and sent).
bool SelectsAfterwards(ProfileOperation operation);

struct ProfileRequest {
    ProfileOperation operation = ProfileOperation::Add;
    ProfileFamily family = ProfileFamily::Device;
    // The profile it works on, by name (matched as the store matches names); empty: the stored
    // selection. Add, Import and Reset take none.
    std::string profile;
    // Rename: the new name. Link: the program's full path.
    std::string text;
    // Import: the file to read. Export: the file to write.
    std::filesystem::path file;
};

// A family as its list shows it: the names, the stored selection and each profile's link.
struct FamilyListing {
    std::vector<std::string> names;
    int selected = -1;
    std::vector<ProfileLink> links;  // one per name
    bool operator==(const FamilyListing&) const = default;
};
FamilyListing ListFamily(const ProfileStore& store, DeviceKind kind, ProfileFamily family);

// The message of the program's language files that tells a user why the operation did nothing
// ("" when it did its work).
std::string ProfileTextId(const ProfileResult& result);

// Runs the request on the store. Reset sets `model` from the shipped default and saves it (see
// ProfileStore::ResetProfile); the others leave the model alone.
ProfileResult RunProfileRequest(ProfileStore& store, DeviceKind kind, const ProfileRequest& request,
                                ProfilePayloadModel* model);

}  // namespace vq
