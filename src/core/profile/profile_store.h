#pragma once
// The profiles on disk. Per device kind a folder ("ms", "kb", "mp") in the data folder holds an
// INI index ("msProfile.ini", ...) and one profile file per profile and family: name + ".config"
// (device), ".led" (light) or ".pro" (key). The index lists per family the names in list order,
// the selected one and the application each profile is linked to. The store moves payload bytes
// between these files and a device's ProfilePayloadModel; it knows of a payload only its size.
//
// File names match without regard to case on every platform: "x.pro" and "x.PRO" are one file.
// Names that are not safe file names are refused; nothing is written for them.
//
// Threads: index changes are serialised by the INI layer, files are replaced atomically, so the
// presence and watcher threads may read while the window's thread writes.

#include <atomic>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/device_kind.h"
#include "core/profile/profile_file.h"
#include "core/profile/profile_payload.h"
#include "core/util/file_names.h"

namespace vq {

// ---- names of things

// The index sections and the file extension of one family.
struct ProfileFamilySchema {
    std::string_view countSection;
    std::string_view nameSection;
    std::string_view selectSection;
    std::string_view linkFlagSection;
    std::string_view linkPathSection;
    std::string_view extension;
};
// The mousepad has only the light family; asking for another gives the light family's schema.
const ProfileFamilySchema& FamilySchema(DeviceKind kind, ProfileFamily family);

inline constexpr std::string_view kCountKey = "count";
inline constexpr std::string_view kSelectKey = "select";

std::string IndexFileName(DeviceKind kind);    // "msProfile.ini", ...
const char* FamilyName(ProfileFamily family);  // "device", "light", "key"
std::optional<ProfileFamily> ParseFamily(std::string_view name);
std::optional<DeviceKind> ParseKind(std::string_view prefix);  // "ms", "kb", "mp"
// The families of a kind in the order they are filled: device, light, key.
std::vector<ProfileFamily> FamiliesOf(DeviceKind kind);
// The shipped default of a family in the program folder; the keyboard has two model variants.
std::string DefaultFileName(DeviceKind kind, ProfileFamily family, int keyboardVariant);

// ---- the data folder

inline constexpr std::string_view kDataFolderName = "Varnhold Quillet";
inline constexpr const char* kDataFolderEnvironment = "QUILLET_DATA_DIR";

// The user's Documents folder comes from the platform.
class DocumentsFolderSource {
  public:
    virtual ~DocumentsFolderSource() = default;
    virtual std::optional<std::filesystem::path> DocumentsFolder() = 0;
};

// The data folder: `explicitFolder` when given (a program's --data-dir), else the environment
// value when set and not empty, else Documents + "Varnhold Quillet". Nothing when none is known.
std::optional<std::filesystem::path> ResolveDataFolder(
    const std::optional<std::filesystem::path>& explicitFolder, const char* environmentValue,
    DocumentsFolderSource* documents);
// The same with the environment variable QUILLET_DATA_DIR read from the process.
std::optional<std::filesystem::path> ResolveDataFolder(
    const std::optional<std::filesystem::path>& explicitFolder, DocumentsFolderSource* documents);

// ---- the store

// What an index says of one family.
struct FamilyIndex {
    std::vector<std::string> names;  // in list order
    int selected = -1;               // the stored selection when it names a listed profile
};

enum class FamilyFillResult {
    Listed,            // the index listed the family's profiles
    Seeded,            // first run: "profile1" was created from the shipped default
    DefaultMissing,    // first run, and the shipped default is missing
    DefaultBadFormat,  // first run, and the shipped default is not a profile file
    WriteFailed,       // first run, and "profile1" or the index could not be written
};
const char* FamilyFillResultName(FamilyFillResult result);

struct FamilyFill {
    DeviceKind kind;
    ProfileFamily family;
    FamilyFillResult result;
    FamilyIndex index;  // what the family's list shows
};

enum class SaveResult { Saved, NoSelection, BadName, WriteFailed };
enum class AddResult { Added, BadName, NameTaken, DefaultMissing, DefaultBadFormat, WriteFailed };
const char* AddResultText(AddResult result);

struct ProfileLink {
    bool linked = false;
    std::string programPath;
};

class ProfileStore {
  public:
    // Most profiles a family lists; an index that claims more is cut (and says so in the log).
    static constexpr int kMaxProfiles = 1000;

    ProfileStore(std::filesystem::path dataFolder, std::filesystem::path programFolder,
                 int keyboardVariant = 0);

    const std::filesystem::path& DataFolder() const { return dataFolder_; }
    const std::filesystem::path& ProgramFolder() const { return programFolder_; }
    int KeyboardVariant() const { return keyboardVariant_.load(); }
    void SetKeyboardVariant(int variant) { keyboardVariant_.store(variant); }

    // The kind folder, created with the data folder when missing; nothing when it cannot be.
    std::optional<std::filesystem::path> KindFolder(DeviceKind kind) const;
    std::filesystem::path IndexPath(DeviceKind kind) const;
    // A profile's file: kind folder + name + extension, matched without regard to case.
    // Nothing for a name that is not a safe file name (or when the folder cannot be made).
    std::optional<std::filesystem::path> ProfilePath(DeviceKind kind, ProfileFamily family,
                                                     std::string_view name) const;
    std::filesystem::path DefaultPath(DeviceKind kind, ProfileFamily family) const;

    // ---- the index
    FamilyIndex ReadIndex(DeviceKind kind, ProfileFamily family) const;
    // The stored "select" as it is (it may name no listed profile).
    int StoredSelection(DeviceKind kind, ProfileFamily family) const;
    bool SetSelection(DeviceKind kind, ProfileFamily family, int index);
    ProfileLink Link(DeviceKind kind, ProfileFamily family, int index) const;
    bool SetLink(DeviceKind kind, ProfileFamily family, int index, const ProfileLink& link);

    // ---- files
    // Reads a family's shipped default (payload size of the family) into `buffer`.
    ProfileReadResult ReadDefault(DeviceKind kind, ProfileFamily family,
                                  std::span<uint8_t> buffer) const;
    // Reads the profile at `index` and hands its payload to the model. Missing and BadFormat
    // leave the model untouched. An index outside the list is Missing.
    ProfileReadResult LoadProfile(DeviceKind kind, ProfileFamily family, int index,
                                  ProfilePayloadModel& model) const;
    // Writes the model's payload into the file of the stored selection.
    SaveResult SaveSelectedProfile(DeviceKind kind, ProfileFamily family,
                                   ProfilePayloadModel& model) const;
    // Lists the family, or on the first run creates "profile1" from the shipped default.
    FamilyFill InitProfileFamily(DeviceKind kind, ProfileFamily family);
    // The kind's families in order; stops after a family whose shipped default failed, so the
    // later families of the kind are neither listed nor created.
    std::vector<FamilyFill> InitProfileKind(DeviceKind kind);
    // Adds a profile named `name` with the shipped default's content at the end of the list.
    // The selection is not changed. Nothing is written when the name is bad or taken or the
    // default cannot be read.
    AddResult AddProfile(DeviceKind kind, ProfileFamily family, std::string_view name,
                         NameCheck* why = nullptr);

  private:
    std::filesystem::path dataFolder_;
    std::filesystem::path programFolder_;
    std::atomic<int> keyboardVariant_{0};
};

}  // namespace vq
