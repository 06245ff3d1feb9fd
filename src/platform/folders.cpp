#include "platform/folders.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <shlobj.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "core/util/file_names.h"
#include "core/util/log.h"

namespace vq::platform {

namespace fs = std::filesystem;

#ifdef _WIN32

std::optional<fs::path> SystemDocumentsFolder::DocumentsFolder() {
    wchar_t buffer[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, 0, buffer))) {
        Log(LogLevel::Error, "the Documents folder is not known");
        return std::nullopt;
    }
    return fs::path(buffer);
}

std::optional<fs::path> ProgramFile() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::nullopt;
        if (n < buffer.size()) {
            buffer.resize(n);
            return fs::path(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

namespace {
class WindowsFileSync : public FileSync {
  public:
    bool SyncFile(const fs::path& file) override {
        HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const bool ok = FlushFileBuffers(h) != 0;
        CloseHandle(h);
        return ok;
    }
    // A rename on NTFS is journalled; there is no folder handle to flush.
    bool SyncFolder(const fs::path&) override { return true; }
};
}  // namespace

std::shared_ptr<FileSync> CreateSystemFileSync() {
    return std::make_shared<WindowsFileSync>();
}

std::optional<fs::path> UserTemporaryFolder(const std::string& name) {
    std::error_code ec;
    const fs::path folder = fs::temp_directory_path(ec) / PathFromUtf8(name);
    if (ec) return std::nullopt;
    fs::create_directories(folder, ec);
    if (ec) {
        Logf(LogLevel::Error, "cannot make %s: %s", Utf8FromPath(folder).c_str(),
             ec.message().c_str());
        return std::nullopt;
    }
    return folder;
}

#else

namespace {

std::optional<fs::path> HomeFolder() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return std::nullopt;
    return PathFromUtf8(home);
}

// XDG_DOCUMENTS_DIR="$HOME/Documents" from the user-dirs file, if it has that line.
std::optional<fs::path> FromUserDirsFile(const fs::path& home) {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const fs::path config =
        (configHome && *configHome) ? PathFromUtf8(configHome) : home / ".config";
    std::ifstream in(config / "user-dirs.dirs");
    const std::string prefix = "XDG_DOCUMENTS_DIR=";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) != 0) continue;
        std::string value = line.substr(prefix.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            return home / PathFromUtf8(value.substr(5)).relative_path();
        if (!value.empty() && value.front() == '/') return PathFromUtf8(value);
    }
    return std::nullopt;
}

class PosixFileSync : public FileSync {
  public:
    bool SyncFile(const fs::path& file) override { return SyncPath(file, O_RDONLY); }
    bool SyncFolder(const fs::path& folder) override {
        return SyncPath(folder, O_RDONLY | O_DIRECTORY);
    }

  private:
    static bool SyncPath(const fs::path& path, int flags) {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
        if (fd < 0) return false;
        const bool ok = ::fsync(fd) == 0;
        ::close(fd);
        return ok;
    }
};

}  // namespace

std::optional<fs::path> SystemDocumentsFolder::DocumentsFolder() {
    const char* xdg = std::getenv("XDG_DOCUMENTS_DIR");
    if (xdg && *xdg == '/') return PathFromUtf8(xdg);
    const std::optional<fs::path> home = HomeFolder();
    if (!home) {
        Log(LogLevel::Error, "the Documents folder is not known: HOME is not set");
        return std::nullopt;
    }
    if (std::optional<fs::path> fromFile = FromUserDirsFile(*home)) return fromFile;
    return *home / "Documents";
}

std::optional<fs::path> ProgramFile() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return std::nullopt;
    return exe;
}

std::shared_ptr<FileSync> CreateSystemFileSync() {
    return std::make_shared<PosixFileSync>();
}

std::optional<fs::path> UserTemporaryFolder(const std::string& name) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) return std::nullopt;
    const uid_t uid = ::getuid();
    const fs::path folder = base / (name + "-" + std::to_string(uid));
    if (::mkdir(folder.c_str(), 0700) == 0) return folder;
    if (errno == EEXIST) {
        // Only a real folder of this user's: not a link, not another user's folder.
        struct stat st {};
        if (::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid)
            return folder;
        Logf(LogLevel::Warning, "%s is not this user's folder; a new folder is used",
             folder.c_str());
    }
    std::string pattern = Utf8FromPath(base / (name + "-XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr) {
        Logf(LogLevel::Error, "cannot make a folder in %s", base.c_str());
        return std::nullopt;
    }
    return PathFromUtf8(pattern);
}

#endif

std::optional<fs::path> ProgramFolder() {
    std::optional<fs::path> file = ProgramFile();
    if (!file) return std::nullopt;
    return file->parent_path();
}

namespace {
// A folder holds the shipped files when it has the skin or the mouse's default profile.
bool HoldsShippedFiles(const fs::path& folder) {
    std::error_code ec;
    return fs::is_directory(folder / "skin", ec) ||
           fs::is_regular_file(folder / "msdevicedefault.config", ec);
}
}  // namespace

fs::path ShippedFilesFolderFor(const fs::path& programFolder) {
    if (HoldsShippedFiles(programFolder)) return programFolder;
    const fs::path shared = programFolder.parent_path() / "share" / kShareFolderName;
    if (HoldsShippedFiles(shared)) return shared;
    return programFolder;
}

std::optional<fs::path> ShippedFilesFolder() {
    std::optional<fs::path> folder = ProgramFolder();
    if (!folder) return std::nullopt;
    return ShippedFilesFolderFor(*folder);
}

}  // namespace vq::platform
