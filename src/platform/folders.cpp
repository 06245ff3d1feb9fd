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
#include <unistd.h>
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

std::optional<fs::path> ProgramFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::nullopt;
        if (n < buffer.size()) {
            buffer.resize(n);
            return fs::path(buffer).parent_path();
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

std::optional<fs::path> ProgramFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return std::nullopt;
    return exe.parent_path();
}

std::shared_ptr<FileSync> CreateSystemFileSync() {
    return std::make_shared<PosixFileSync>();
}

#endif

}  // namespace vq::platform
