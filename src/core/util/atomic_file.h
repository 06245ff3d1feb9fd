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
#include <vector>

namespace vq {

// Writes `bytes` to `target` atomically. The target's folder must exist. Returns false (and logs
// why) when anything failed; the previous content of `target` is then unchanged.
bool WriteFileAtomic(const std::filesystem::path& target, std::span<const uint8_t> bytes);
bool WriteFileAtomic(const std::filesystem::path& target, std::string_view text);

enum class FileReadStatus {
    Ok,
    Missing,   // no such file, or it is not a regular file
    Failed,    // it exists but could not be opened or read
    TooLarge,  // it is larger than the caller's limit (ReadWholeFile only)
};

struct FileBytes {
    FileReadStatus status = FileReadStatus::Missing;
    std::vector<uint8_t> bytes;
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
// step fail as though the system had refused it. Pass an empty function to remove it.
using AtomicWriteFaultHook =
    std::function<bool(AtomicWriteStep step, const std::filesystem::path& target)>;
void SetAtomicWriteFaultHook(AtomicWriteFaultHook hook);

// True for the names of this writer's temporary files (so that listings can skip them).
bool IsAtomicTemporaryName(std::string_view fileName);

}  // namespace vq
