#include "core/profile/profile_request.h"

#include <algorithm>

#include "core/util/ini_file.h"

namespace vq {

const char* ProfileOperationName(ProfileOperation operation) {
    switch (operation) {
        case ProfileOperation::Add:
            return "add";
        case ProfileOperation::Delete:
            return "delete";
        case ProfileOperation::Copy:
            return "copy";
        case ProfileOperation::Rename:
            return "rename";
        case ProfileOperation::Import:
            return "import";
        case ProfileOperation::Export:
            return "export";
        case ProfileOperation::Reset:
            return "reset";
        case ProfileOperation::Link:
            return "link";
        case ProfileOperation::Unlink:
            return "unlink";
    }
    return "?";
}

bool SelectsAfterwards(ProfileOperation operation) {
    return operation == ProfileOperation::Add || operation == ProfileOperation::Delete ||
           operation == ProfileOperation::Copy || operation == ProfileOperation::Import;
}

std::string ProfileTextId(const ProfileResult& result) {
    // A profile of another device reads as a profile file: it says what it is instead.
    if (result.error == ProfileError::WrongKind) return "message_profile_wrong_kind";
    if (!result.textId.empty() || result.ok()) return result.textId;
    switch (result.error) {
        case ProfileError::None:
            return {};
        case ProfileError::NoSuchFamily:
        case ProfileError::NoSelection:
            return "message_profile_gone";
        case ProfileError::LastProfile:
            return "message_text_11";
        case ProfileError::EmptyName:
            return "message_text_14";
        case ProfileError::NameTaken:
            return "message_text_15";
        case ProfileError::BadName:
            return "message_profile_bad_name";
        case ProfileError::TooMany:
            return "message_profile_too_many";
        case ProfileError::FileInTheWay:
            return "message_profile_file_in_way";
        case ProfileError::SourceMissing:
            return "message_text_8";
        case ProfileError::SourceBadFormat:
            return "message_text_9";
        case ProfileError::WrongKind:
            return "message_profile_wrong_kind";
        case ProfileError::AlreadyLinked:
            return "message_text_13";
        case ProfileError::NotAProgramPath:
            return "message_profile_not_program";
        case ProfileError::IndexUnreadable:
            return "message_profile_index_unreadable";
        case ProfileError::WriteFailed:
            return "message_profile_write_failed";
        case ProfileError::Busy:
            return "message_profile_busy";
    }
    return "message_profile_write_failed";
}

FamilyListing ListFamily(const ProfileStore& store, DeviceKind kind, ProfileFamily family) {
    FamilyListing listing;
    if (!HasFamily(kind, family)) return listing;
    // One read of the index for the names and the links alike.
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    const IniDocument doc = LoadIniFile(store.IndexPath(kind)).document;
    const int count =
        std::clamp(doc.ReadInt(schema.countSection, kCountKey, 0), 0, ProfileStore::kMaxProfiles);
    for (int i = 0; i < count; ++i) {
        const std::string key = std::to_string(i);
        listing.names.push_back(doc.ReadString(schema.nameSection, key, "0"));
        ProfileLink link;
        link.linked = doc.ReadString(schema.linkFlagSection, key, "0") != "0";
        link.programPath = doc.ReadString(schema.linkPathSection, key, "0");
        listing.links.push_back(std::move(link));
    }
    const int select = doc.ReadInt(schema.selectSection, kSelectKey, 0);
    listing.selected = select >= 0 && select < count ? select : -1;
    return listing;
}

ProfileResult RunProfileRequest(ProfileStore& store, DeviceKind kind, const ProfileRequest& request,
                                ProfilePayloadModel* model) {
    const ProfileTarget target =
        request.profile.empty() ? ProfileTarget::Selected() : ProfileTarget::Named(request.profile);
    const ProfileFamily family = request.family;
    switch (request.operation) {
        case ProfileOperation::Add:
            return store.AddProfile(kind, family);
        case ProfileOperation::Delete:
            return store.DeleteProfile(kind, family, target);
        case ProfileOperation::Copy:
            return store.CopyProfile(kind, family, target);
        case ProfileOperation::Rename:
            return store.RenameProfile(kind, family, target, request.text);
        case ProfileOperation::Import:
            return store.ImportProfile(kind, family, request.file);
        case ProfileOperation::Export:
            return store.ExportProfile(kind, family, target, request.file);
        case ProfileOperation::Reset:
            return store.ResetProfile(kind, family, model);
        case ProfileOperation::Link:
            return store.LinkProfile(kind, family, target, request.text);
        case ProfileOperation::Unlink:
            return store.UnlinkProfile(kind, family, target);
    }
    return {};
}

}  // namespace vq
