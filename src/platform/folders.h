#pragma once
// The system's folders and file durability for the core's file layer.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "core/profile/profile_store.h"
#include "core/util/atomic_file.h"

namespace vq::platform {

// The user's Documents folder: on Windows the shell's personal folder (created when missing);
// on Linux $XDG_DOCUMENTS_DIR, the entry of the user-dirs file, or ~/Documents.
class SystemDocumentsFolder : public DocumentsFolderSource {
  public:
    std::optional<std::filesystem::path> DocumentsFolder() override;
};

// The running program's file, and its folder.
std::optional<std::filesystem::path> ProgramFile();
std::optional<std::filesystem::path> ProgramFolder();

// The name of the installed program's shared folder, under the install's share folder.
inline constexpr const char* kShareFolderName = "varnhold-quillet";

// Where the program's shipped files are (the skin folder, the default profiles and cursor
// scripts): beside the program when they are there (a build folder, a Windows install), else in
// ../share/varnhold-quillet next to the program's folder (an install under a prefix). When
// neither has them, the program's folder, so that what is missing is reported there.
std::filesystem::path ShippedFilesFolderFor(const std::filesystem::path& programFolder);
// The same for the running program; nothing when its folder is not known.
std::optional<std::filesystem::path> ShippedFilesFolder();

// A folder of this user's own under the system's temporary folder, for throw-away data, made
// when missing: on Linux "NAME-UID" with access for the user alone, or a new folder of a unique
// name when another user holds that one; on Windows NAME in the user's own temporary folder.
// Nothing when no folder can be made.
std::optional<std::filesystem::path> UserTemporaryFolder(const std::string& name);

// Flushes written files to the disk (fsync / FlushFileBuffers). Install with InstallFileSync.
std::shared_ptr<FileSync> CreateSystemFileSync();

}  // namespace vq::platform
