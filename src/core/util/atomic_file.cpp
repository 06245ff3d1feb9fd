#include "core/util/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <random>
#include <system_error>
#include <thread>

#include "core/util/file_names.h"
#include "core/util/file_thread_guard.h"
#include "core/util/log.h"

namespace vq {

namespace fs = std::filesystem;

namespace {

std::mutex g_hookMutex;
AtomicWriteFaultHook g_faultHook;
std::shared_ptr<FileSync> g_fileSync;

constexpr std::string_view kTempPrefix = ".vq-";
constexpr std::string_view kTempSuffix = ".tmp";

// True when the test seam lets `step` go ahead. A refusal leaves the hook's errno (or none).
bool StepAllowed(AtomicWriteStep step, const fs::path& target) {
    AtomicWriteFaultHook hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_faultHook;
    }
    if (!hook) return true;
    errno = 0;
    return hook(step, target);
}

// The problem behind the errno of the step that just failed.
FileProblem LastProblem() {
    const int error = errno;
    return error ? FileProblemFromError(std::error_code(error, std::generic_category()))
                 : FileProblem::Other;
}

std::shared_ptr<FileSync> CurrentSync() {
    std::lock_guard lock(g_hookMutex);
    return g_fileSync;
}

// A name no other writer uses at the same time: a per-process random stem and a counter.
std::string TemporaryName() {
    static const uint64_t stem = [] {
        std::random_device device;
        return (uint64_t{device()} << 32) ^ device();
    }();
    static std::atomic<uint64_t> counter{0};
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.*s%016" PRIx64 "-%" PRIu64 "%.*s",
                  static_cast<int>(kTempPrefix.size()), kTempPrefix.data(), stem,
                  counter.fetch_add(1), static_cast<int>(kTempSuffix.size()), kTempSuffix.data());
    return buffer;
}

// Replaces `target` by `temp`. Renames within the process are serialised, and a refused rename
// is tried again for a short while: on Windows a file cannot be replaced while another writer
// replaces it or a reader has it open, which passes in milliseconds.
bool RenameOver(const fs::path& temp, const fs::path& target, std::error_code& ec) {
    static std::mutex renameMutex;
    std::lock_guard lock(renameMutex);
    constexpr int kAttempts = 8;
    for (int attempt = 1;; ++attempt) {
        fs::rename(temp, target, ec);
        if (!ec || attempt == kAttempts) return !ec;
        std::this_thread::sleep_for(std::chrono::milliseconds(2 << attempt));
    }
}

void Fail(const fs::path& target, const char* what) {
    Logf(LogLevel::Error, "could not write %s: %s", Utf8FromPath(target).c_str(), what);
}

void RemoveQuietly(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
    if (ec)
        Logf(LogLevel::Warning, "could not remove the temporary file %s: %s",
             Utf8FromPath(path).c_str(), ec.message().c_str());
}

}  // namespace

bool WriteFileAtomic(const fs::path& target, std::span<const uint8_t> bytes) {
    return WriteFileAtomic(target, bytes, nullptr);
}

bool WriteFileAtomic(const fs::path& target, std::span<const uint8_t> bytes, FileProblem* why) {
    FileProblem ignored = FileProblem::None;
    FileProblem& problem = why ? *why : ignored;
    problem = FileProblem::None;
    NoteFileAccess(target, "write");
    std::error_code ec;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, ec)) {
        problem = fs::exists(folder, ec) || ec == std::errc::not_a_directory
                      ? FileProblem::NotAFolder
                      : FileProblem::NoFolder;
        Fail(target, problem == FileProblem::NotAFolder ? "its folder is not a folder"
                                                        : "its folder does not exist");
        return false;
    }
    if (fs::is_directory(target, ec)) {
        problem = FileProblem::FolderInTheWay;
        Fail(target, "a folder of that name is in the way");
        return false;
    }
    const fs::path temp = folder / TemporaryName();

    if (!StepAllowed(AtomicWriteStep::CreateTemporary, target)) {
        problem = LastProblem();
        Fail(target, "the temporary file could not be created");
        return false;
    }
    errno = 0;
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
        problem = LastProblem();
        Fail(target, "the temporary file could not be created");
        return false;
    }
    bool written = StepAllowed(AtomicWriteStep::WriteData, target);
    if (!written) problem = LastProblem();
    errno = 0;
    if (written && !bytes.empty())
        written = static_cast<bool>(out.write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size())));
    if (written) written = static_cast<bool>(out.flush());
    if (written) {
        out.close();
        written = !out.fail();
    }
    if (!written) {
        if (problem == FileProblem::None) problem = LastProblem();
        out.close();
        Fail(target, "the data could not be written (disk full?)");
        RemoveQuietly(temp);
        return false;
    }

    const std::shared_ptr<FileSync> sync = CurrentSync();
    bool synced = StepAllowed(AtomicWriteStep::Sync, target);
    if (synced && sync) {
        errno = 0;
        synced = sync->SyncFile(temp);
    }
    if (!synced) {
        problem = LastProblem();
        Fail(target, "the data could not be flushed to the disk");
        RemoveQuietly(temp);
        return false;
    }

    if (!StepAllowed(AtomicWriteStep::Rename, target)) {
        problem = LastProblem();
        Fail(target, "the new file could not replace the old one");
        RemoveQuietly(temp);
        return false;
    }
    if (!RenameOver(temp, target, ec)) {
        problem = FileProblemFromError(ec);
        Logf(LogLevel::Error, "could not write %s: the new file could not replace the old one: %s",
             Utf8FromPath(target).c_str(), ec.message().c_str());
        RemoveQuietly(temp);
        return false;
    }
    // The new content is in place; a failed folder sync only weakens durability.
    if (sync && !sync->SyncFolder(folder))
        Logf(LogLevel::Warning, "the folder of %s could not be synced",
             Utf8FromPath(target).c_str());
    return true;
}

bool WriteFileAtomic(const fs::path& target, std::string_view text) {
    return WriteFileAtomic(target,
                           std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

namespace {

FileBytes ReadBytes(const fs::path& path, size_t limit, bool wholeOrNothing) {
    NoteFileAccess(path, "read");
    FileBytes result;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::is_regular_file(status)) {
        result.status = FileReadStatus::Missing;
        if (fs::is_directory(status)) result.problem = FileProblem::FolderInTheWay;
        return result;
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.problem = LastProblem();
        Logf(LogLevel::Warning, "could not open %s", Utf8FromPath(path).c_str());
        result.status = FileReadStatus::Failed;
        return result;
    }
    const uintmax_t size = fs::file_size(path, ec);
    if (!ec && wholeOrNothing && size > limit) {
        Logf(LogLevel::Warning, "%s is too large (%llu bytes, at most %llu)",
             Utf8FromPath(path).c_str(), static_cast<unsigned long long>(size),
             static_cast<unsigned long long>(limit));
        result.status = FileReadStatus::TooLarge;
        result.problem = FileProblem::TooLarge;
        return result;
    }
    // Read in pieces up to the limit: the size may change under us.
    constexpr size_t kPiece = 64 * 1024;
    while (result.bytes.size() < limit) {
        const size_t want = std::min(kPiece, limit - result.bytes.size());
        const size_t had = result.bytes.size();
        result.bytes.resize(had + want);
        in.read(reinterpret_cast<char*>(result.bytes.data() + had),
                static_cast<std::streamsize>(want));
        const size_t got = static_cast<size_t>(in.gcount());
        result.bytes.resize(had + got);
        if (got < want) break;
    }
    if (in.bad()) {
        result.problem = FileProblem::Other;
        Logf(LogLevel::Warning, "could not read %s", Utf8FromPath(path).c_str());
        result.bytes.clear();
        result.status = FileReadStatus::Failed;
        return result;
    }
    if (wholeOrNothing && result.bytes.size() == limit &&
        in.peek() != std::ifstream::traits_type::eof()) {
        Logf(LogLevel::Warning, "%s is too large (more than %llu bytes)",
             Utf8FromPath(path).c_str(), static_cast<unsigned long long>(limit));
        result.bytes.clear();
        result.status = FileReadStatus::TooLarge;
        result.problem = FileProblem::TooLarge;
        return result;
    }
    result.status = FileReadStatus::Ok;
    return result;
}

}  // namespace

FileBytes ReadWholeFile(const fs::path& path, size_t limit) {
    return ReadBytes(path, limit, true);
}

FileBytes ReadFilePrefix(const fs::path& path, size_t count) {
    return ReadBytes(path, count, false);
}

const char* DescribeFileProblem(FileProblem problem) {
    switch (problem) {
        case FileProblem::None:
            return "no problem";
        case FileProblem::NoFolder:
            return "its folder does not exist";
        case FileProblem::NotAFolder:
            return "a file stands where its folder should be";
        case FileProblem::FolderInTheWay:
            return "it is a folder, not a file";
        case FileProblem::NoPermission:
            return "no permission";
        case FileProblem::DiskFull:
            return "the disk is full";
        case FileProblem::TooLarge:
            return "it is too large";
        case FileProblem::Other:
            return "the system refused it";
    }
    return "?";
}

FileProblem FileProblemFromError(std::error_code error) {
    if (!error) return FileProblem::Other;
    const std::error_condition c = error.default_error_condition();
    if (c == std::errc::permission_denied || c == std::errc::operation_not_permitted ||
        c == std::errc::read_only_file_system)
        return FileProblem::NoPermission;
    if (c == std::errc::no_space_on_device) return FileProblem::DiskFull;
#ifdef EDQUOT
    if (c.category() == std::generic_category() && c.value() == EDQUOT)
        return FileProblem::DiskFull;
#endif
    if (c == std::errc::not_a_directory) return FileProblem::NotAFolder;
    if (c == std::errc::is_a_directory) return FileProblem::FolderInTheWay;
    if (c == std::errc::no_such_file_or_directory) return FileProblem::NoFolder;
    if (c == std::errc::file_too_large) return FileProblem::TooLarge;
    return FileProblem::Other;
}

void InstallFileSync(std::shared_ptr<FileSync> sync) {
    std::lock_guard lock(g_hookMutex);
    g_fileSync = std::move(sync);
}

void SetAtomicWriteFaultHook(AtomicWriteFaultHook hook) {
    std::lock_guard lock(g_hookMutex);
    g_faultHook = std::move(hook);
}

bool IsAtomicTemporaryName(std::string_view fileName) {
    return fileName.size() > kTempPrefix.size() + kTempSuffix.size() &&
           fileName.starts_with(kTempPrefix) && fileName.ends_with(kTempSuffix);
}

}  // namespace vq
