#pragma once
// One serialised edit of a kind's profile index and files (see profile_store.h): the process-wide
// lock, the journal, the staged files, and the commit that writes the index last.

#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/profile/profile_store.h"

namespace vq {

// What the index says of one family, as an edit sees it.
struct FamilyList {
    std::vector<std::string> names;
    int select = 0;  // the stored "select", as it is
};

class ProfileStore::Edit {
  public:
    // Takes the lock, makes the kind folder, finishes or undoes an interrupted edit and reads the
    // index. When any of that fails, ok() is false and Failure() says why; nothing was changed.
    Edit(const ProfileStore& store, DeviceKind kind);
    ~Edit();
    Edit(const Edit&) = delete;
    Edit& operator=(const Edit&) = delete;

    bool ok() const { return failure_.ok(); }
    const ProfileResult& Failure() const { return failure_; }

    const std::filesystem::path& Folder() const { return folder_; }
    const std::filesystem::path& IndexFile() const { return indexFile_; }
    bool IndexExists() const { return indexExists_; }
    IniDocument& Index() { return index_; }

    FamilyList List(ProfileFamily family) const;
    // Whether the folder holds an entry of that file name (without regard to case).
    bool FileExists(std::string_view fileName);
    // The folder's entries with the family's extension whose stem is a safe name.
    std::vector<std::string> FamilyFiles(ProfileFamily family);

    // Files the commit writes before the index (each must not exist yet) and removes after it.
    void Create(std::filesystem::path file, std::vector<uint8_t> bytes);
    void MakeObsolete(std::filesystem::path file);
    // Writes the journal (when files are staged), the new files, the index, then removes the
    // obsolete files and the journal. A failure before the index is written undoes the new files.
    ProfileResult Commit();

    // The journal's recovery for one kind folder, under the lock: keeps each named file whose
    // name the index lists in its family, removes the others, removes the journal.
    static ProfileResult RecoverJournal(const ProfileStore& store, DeviceKind kind,
                                        const std::filesystem::path& folder);

  private:
    ProfileResult WriteFile(const std::filesystem::path& file, std::span<const uint8_t> bytes);
    ProfileResult RemoveFile(const std::filesystem::path& file);

    struct Staged {
        std::filesystem::path file;
        std::vector<uint8_t> bytes;
    };
    const ProfileStore& store_;
    DeviceKind kind_;
    std::unique_lock<std::recursive_mutex> lock_;
    // The data folder's lock file, when this edit took (or shares) it.
    std::filesystem::path processLock_;
    ProfileResult failure_;
    std::filesystem::path folder_;
    std::filesystem::path indexFile_;
    bool indexExists_ = false;
    IniDocument index_;
    std::vector<Staged> created_;
    std::vector<std::filesystem::path> obsolete_;
    bool listed_ = false;
    std::set<std::string> entries_;  // lower-case names of the folder's entries
};

// Lower-case ASCII, for matching names the way the index and the file system do.
std::string FoldCase(std::string_view text);
// The failure results shared by the store's parts.
ProfileResult FileFailure(ProfileError error, const std::filesystem::path& file,
                          FileProblem problem);
ProfileResult ReadFailure(ProfileReadResult read, const std::filesystem::path& file);

}  // namespace vq
