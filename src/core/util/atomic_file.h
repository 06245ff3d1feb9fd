#pragma once
// The one way files are written: into a temporary file in the target's folder, flushed, then
// renamed over the target. A crash or a failed write leaves the previous file or the new one,
// never a torn one, and a failed write removes its temporary file. And the one way whole files
// are read back.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <system_error>
#include <vector>

namespace vq {

// Why a file could not be written or read, in terms a user can act on.
enum class FileProblem {
    None,
    NoFolder,        // the folder it goes into does not exist
    NotAFolder,      // a file stands where its folder (or a folder on the way) should be
    FolderInTheWay,  // a folder stands where the file should be
    NoPermission,    // the system refused access
    DiskFull,        // no space left (or the user's quota is used up)
    TooLarge,        // larger than the reader allows
    Other,
};
// A few words for a message: "the disk is full", "no permission", ...
const char* DescribeFileProblem(FileProblem problem);
// The problem behind a system error code (errno values and std::errc).
FileProblem FileProblemFromError(std::error_code error);

// Writes `bytes` to `target` atomically. The target's folder must exist. Returns false (and logs
// why) when anything failed; the previous content of `target` is then unchanged.
bool WriteFileAtomic(const std::filesystem::path& target, std::span<const uint8_t> bytes);
bool WriteFileAtomic(const std::filesystem::path& target, std::string_view text);
// The same, telling why it failed through `why` (set to None on success).
bool WriteFileAtomic(const std::filesystem::path& target, std::span<const uint8_t> bytes,
                     FileProblem* why);

enum class FileReadStatus {
    Ok,
    Missing,   // no such file, or it is not a regular file
    Failed,    // it exists but could not be opened or read
    TooLarge,  // it is larger than the caller's limit (ReadWholeFile only)
};

struct FileBytes {
    FileReadStatus status = FileReadStatus::Missing;
    std::vector<uint8_t> bytes;
    FileProblem problem = FileProblem::None;  // why, for Failed and TooLarge (and a folder)
};

inline constexpr size_t kDefaultReadLimit = 16u << 20;

// Reads a whole file of at most `limit` bytes.
FileBytes ReadWholeFile(const std::filesystem::path& path, size_t limit = kDefaultReadLimit);
// Reads the first `count` bytes of a file, or all of it when it is shorter.
FileBytes ReadFilePrefix(const std::filesystem::path& path, size_t count);

// Pushing written data to the storage device needs the operating system; the platform layer
// installs one at start. Without one, data is flushed to the system but not synced.
class FileSync {
  public:
    virtual ~FileSync() = default;
    // Makes the content of a closed file durable.
    virtual bool SyncFile(const std::filesystem::path& file) = 0;
    // Makes a rename inside `folder` durable.
    virtual bool SyncFolder(const std::filesystem::path& folder) = 0;
};
void InstallFileSync(std::shared_ptr<FileSync> sync);

// The steps of an atomic write, for the fault hook.
enum class AtomicWriteStep { CreateTemporary, WriteData, Sync, Rename };

// Test seam: when set, runs before each step of every atomic write; returning false makes that
// step fail as though the system had refused it. A refusing hook may set errno to the error the
// step is to fail with (ENOSPC, EACCES, ...). Pass an empty function to remove it.
using AtomicWriteFaultHook =
    std::function<bool(AtomicWriteStep step, const std::filesystem::path& target)>;
void SetAtomicWriteFaultHook(AtomicWriteFaultHook hook);

// True for the names of this writer's temporary files (so that listings can skip them).
bool IsAtomicTemporaryName(std::string_view fileName);

}  // namespace vq
