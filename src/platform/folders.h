#pragma once
// The system's folders and file durability for the core's file layer.

#include <filesystem>
#include <memory>
#include <optional>

#include "core/profile/profile_store.h"
#include "core/util/atomic_file.h"

namespace vq::platform {

// The user's Documents folder: on Windows the shell's personal folder (created when missing);
// on Linux $XDG_DOCUMENTS_DIR, the entry of the user-dirs file, or ~/Documents.
class SystemDocumentsFolder : public DocumentsFolderSource {
  public:
    std::optional<std::filesystem::path> DocumentsFolder() override;
};

// The folder of the running program, where its skin and shipped defaults are.
std::optional<std::filesystem::path> ProgramFolder();

// Flushes written files to the disk (fsync / FlushFileBuffers). Install with InstallFileSync.
std::shared_ptr<FileSync> CreateSystemFileSync();

}  // namespace vq::platform
