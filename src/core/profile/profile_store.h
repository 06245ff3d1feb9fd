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
// Every change of an index and its files is one serialised edit (ProfileEdit): a process-wide
// lock (and, when the platform gives one, the data folder's lock file that every program on these
// files takes: the window and quilletctl never lose each other's edits), and a journal in the kind
// folder that names the files an edit creates or makes obsolete. The index is written last,
// atomically, and decides: after a crash or a failed step, a file the journal names is kept when
// the index lists its name and removed when it does not. So the index and the files always show the
// state before an edit or after it, never a listed name without its file or a file without its
// entry. Files are replaced atomically, so the presence and watcher threads may read while the
// window's thread writes.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/device_kind.h"
#include "core/profile/profile_file.h"
#include "core/profile/profile_payload.h"
#include "core/util/atomic_file.h"
#include "core/util/file_names.h"
#include "core/util/ini_file.h"
#include "core/util/process_lock.h"

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

// ---- results

// What an index says of one family.
struct FamilyIndex {
    std::vector<std::string> names;  // in list order
    int selected = -1;               // the stored selection when it names a listed profile
};

enum class FamilyFillResult {
    Listed,            // the index listed the family's profiles
    Seeded,            // first run: "profile1" was created from the shipped default
    Relisted,          // the index had no list of the family; the files in the folder were listed
    DefaultMissing,    // first run, and the shipped default is missing
    DefaultBadFormat,  // first run, and the shipped default is not a profile file
    WriteFailed,       // first run, and "profile1" or the index could not be written
    IndexUnreadable,   // the index exists but cannot be read: nothing was written
};
const char* FamilyFillResultName(FamilyFillResult result);

struct FamilyFill {
    DeviceKind kind;
    ProfileFamily family;
    FamilyFillResult result;
    FamilyIndex index;  // what the family's list shows
    // For WriteFailed and IndexUnreadable: the file and what is wrong with it.
    std::filesystem::path file;
    FileProblem problem = FileProblem::None;
};

enum class SaveResult { Saved, NoSelection, BadName, WriteFailed };

// Why a profile operation did nothing.
enum class ProfileError {
    None,
    NoSuchFamily,     // the mousepad has the light family only
    NoSelection,      // the operation needs a selected (or named) profile that is listed
    LastProfile,      // delete: the family's only profile ("message_text_11")
    EmptyName,        // rename: "message_text_14"
    NameTaken,        // a listed profile has the name, this one included ("message_text_15")
    BadName,          // the name cannot be a file name (nameCheck says why)
    TooMany,          // the family lists kMaxProfiles already
    FileInTheWay,     // a file of the new name is in the folder without an entry
    SourceMissing,    // the default, the profile's file or the chosen file ("message_text_8")
    SourceBadFormat,  // not a profile file ("message_text_9")
    WrongKind,        // import: a profile written for another device kind
    AlreadyLinked,    // link: the program is linked to a profile of the family ("message_text_13")
    NotAProgramPath,  // link: the path has no folder part
    IndexUnreadable,  // the index exists but cannot be read (problem says why)
    Busy,             // another program kept the data folder's edit lock for too long
    WriteFailed,      // a file could not be written or removed (file and problem say which, why)
};

struct ProfileResult {
    ProfileError error = ProfileError::None;
    // The message text of the program's language files to show, "" when it has none for this.
    std::string textId;
    std::filesystem::path file;  // the file concerned, for the file errors
    FileProblem problem = FileProblem::None;
    NameCheck nameCheck = NameCheck::Ok;
    uint16_t foundKindCode = 0;  // WrongKind: the kind code in the file
    int index = -1;              // the profile the operation ended on
    std::string name;            // and its name
    bool ok() const { return error == ProfileError::None; }
};
// Text for one line of a terminal or a log: control characters (escape sequences, line breaks)
// as \xNN.
std::string EscapeForDisplay(std::string_view text);
// One line of English for a log or the command line ("the index ... cannot be read: ...").
std::string DescribeProfileResult(const ProfileResult& result);

// Which profile an operation works on.
struct ProfileTarget {
    static ProfileTarget Selected() { return {}; }
    static ProfileTarget At(int index) { return {index, {}}; }
    static ProfileTarget Named(std::string name) { return {-1, std::move(name)}; }
    int index = -1;    // with no name: -1 = the stored selection
    std::string name;  // matched without regard to case (an exact match first)
};

struct ProfileLink {
    bool linked = false;
    std::string programPath;
    bool operator==(const ProfileLink&) const = default;
};
// The file-name part of a program path (after the last '\\' or '/'); nothing when it has none.
std::optional<std::string> ProgramFileName(std::string_view programPath);

// The file steps of an edit. The store's own goes to the atomic writer; tests put faults in.
class ProfileFileLayer {
  public:
    virtual ~ProfileFileLayer() = default;
    virtual bool Write(const std::filesystem::path& file, std::span<const uint8_t> bytes,
                       FileProblem* why) = 0;
    // Removing a file that is not there succeeds.
    virtual bool Remove(const std::filesystem::path& file, FileProblem* why) = 0;
};
ProfileFileLayer& SystemProfileFiles();

// ---- the store

class ProfileStore {
  public:
    // Most profiles a family lists; an index that claims more is cut (and says so in the log),
    // and an add past it is refused.
    static constexpr int kMaxProfiles = 1000;
    // The journal of an edit in progress, in the kind folder.
    static constexpr std::string_view kJournalName = ".vq-profile-edit.journal";

    ProfileStore(std::filesystem::path dataFolder, std::filesystem::path programFolder,
                 int keyboardVariant = 0);

    const std::filesystem::path& DataFolder() const { return dataFolder_; }
    const std::filesystem::path& ProgramFolder() const { return programFolder_; }
    int KeyboardVariant() const { return keyboardVariant_.load(); }
    void SetKeyboardVariant(int variant) { keyboardVariant_.store(variant); }
    // Tests put faults into the file steps of every edit; nullptr restores the system's.
    void SetFileLayer(ProfileFileLayer* files) { files_ = files ? files : &SystemProfileFiles(); }
    // The lock every edit takes on the data folder's lock file (kLockFileName), so that other
    // processes' edits of the same files wait for it; null: none (this process alone). An edit
    // that waits longer than `limit` is refused as Busy. Set before the first edit.
    void SetProcessLocks(ProcessLocks* locks,
                         std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        processLocks_ = locks;
        processLockLimit_ = limit;
    }
    static constexpr std::string_view kLockFileName = ".vq-profile-edit.lock";
    std::filesystem::path LockFile() const;

    // The kind folder, created with the data folder when missing; nothing when it cannot be
    // (`why` then says why).
    std::optional<std::filesystem::path> KindFolder(DeviceKind kind,
                                                    FileProblem* why = nullptr) const;
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
    // The link of the profile at `index` (a missing flag reads as not linked).
    ProfileLink Link(DeviceKind kind, ProfileFamily family, int index) const;

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
    // The same into the file of another profile (a linked one in force); a named target that is
    // no longer listed is NoSelection.
    SaveResult SaveProfile(DeviceKind kind, ProfileFamily family, const ProfileTarget& target,
                           ProfilePayloadModel& model) const;

    // ---- start
    // Lists the family. On the first run (no list of the family in the index) the profile files
    // already in the folder are listed; only when there are none is "profile1" created from the
    // shipped default. An existing file is never overwritten here, and an index that exists but
    // cannot be read is IndexUnreadable with nothing written.
    FamilyFill InitProfileFamily(DeviceKind kind, ProfileFamily family);
    // The kind's families in order, after finishing or undoing an interrupted edit; stops after a
    // family whose shipped default failed or whose index cannot be read, so the later families
    // of the kind are neither listed nor created.
    std::vector<FamilyFill> InitProfileKind(DeviceKind kind);
    // Finishes or undoes an edit that a crash or a failed step left behind (the journal), and
    // removes the atomic writer's temporary files older than `staleAfter` from the kind folder.
    // Every edit does the first part itself before it starts.
    ProfileResult Recover(DeviceKind kind,
                          std::chrono::seconds staleAfter = std::chrono::seconds(60));

    // ---- operations; each is one serialised edit, and refuses with the text to show
    // Add: the first free "profileN" (N from 1, compared without regard to case, skipping
    // names whose file is in the folder), or `name` when given; the shipped default's content;
    // appended, unlinked, and selected.
    ProfileResult AddProfile(DeviceKind kind, ProfileFamily family,
                             std::optional<std::string_view> name = std::nullopt);
    // Delete: refused for the only profile; the later profiles' links move down with them;
    // the last profile is selected.
    ProfileResult DeleteProfile(DeviceKind kind, ProfileFamily family,
                                const ProfileTarget& target = {});
    // Copy: "NAME copy" (" copy" again while the name is taken), appended and selected.
    ProfileResult CopyProfile(DeviceKind kind, ProfileFamily family,
                              const ProfileTarget& target = {});
    // Rename: refused when empty, when any profile (the renamed one included) has the name
    // without regard to case. The selection stays.
    ProfileResult RenameProfile(DeviceKind kind, ProfileFamily family, const ProfileTarget& target,
                                std::string_view newName);
    // Import: a new profile (named as Add names it, or `name`) with the payload of `source`, a
    // profile file of this kind; selected. A file written for another device kind is refused.
    ProfileResult ImportProfile(DeviceKind kind, ProfileFamily family,
                                const std::filesystem::path& source,
                                std::optional<std::string_view> name = std::nullopt);
    // Export: the profile's payload with the kind's code, written to `destination`.
    ProfileResult ExportProfile(DeviceKind kind, ProfileFamily family, const ProfileTarget& target,
                                const std::filesystem::path& destination) const;
    // Reset: the stored selection from the shipped default. With a model, the model is set from
    // the default (the mouse and mousepad light families take its first 56 bytes only) and saved
    // as the program saves it: the family's profile, and for the mouse's light family the device
    // profile after it. Without one, the selected file is rewritten the same way.
    ProfileResult ResetProfile(DeviceKind kind, ProfileFamily family,
                               ProfilePayloadModel* model = nullptr);

    // ---- application links
    // Links the profile to a program file; refused when a profile of the family is linked to
    // that path already (without regard to case; the profile itself included).
    ProfileResult LinkProfile(DeviceKind kind, ProfileFamily family, const ProfileTarget& target,
                              std::string_view programPath);
    ProfileResult UnlinkProfile(DeviceKind kind, ProfileFamily family,
                                const ProfileTarget& target = {});
    // The first listed profile linked to `programPath` (without regard to case), or -1.
    int LinkedProfile(DeviceKind kind, ProfileFamily family, std::string_view programPath) const;

  private:
    class Edit;
    ProfileResult Append(DeviceKind kind, ProfileFamily family,
                         std::optional<std::string_view> name, std::span<const uint8_t> payload,
                         const std::function<std::string(int attempt)>& autoName);

    std::filesystem::path dataFolder_;
    std::filesystem::path programFolder_;
    std::atomic<int> keyboardVariant_{0};
    ProfileFileLayer* files_;
    ProcessLocks* processLocks_ = nullptr;
    std::chrono::milliseconds processLockLimit_{5000};
};

}  // namespace vq
