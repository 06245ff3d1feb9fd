// The XDG autostart entry: a desktop entry in the user's autostart folder.

#include <cstdlib>
#include <system_error>

#include "core/util/atomic_file.h"
#include "core/util/file_names.h"
#include "core/util/log.h"
#include "platform/autostart.h"
#include "platform/folders.h"

namespace vq::platform {

namespace fs = std::filesystem;

namespace {

class DesktopEntryAutostart : public Autostart {
  public:
    explicit DesktopEntryAutostart(fs::path entry) : entry_(std::move(entry)) {}

    std::string Where() const override { return Utf8FromPath(entry_); }

    bool Enabled() const override {
        std::error_code ec;
        return fs::is_regular_file(entry_, ec);
    }

    bool Enable(const fs::path& program, std::string* error) override {
        const std::optional<std::string> text = AutostartDesktopEntry(program);
        if (!text) {
            if (error) *error = "the program's path cannot be written in a desktop entry";
            return false;
        }
        std::error_code ec;
        fs::create_directories(entry_.parent_path(), ec);
        if (ec) {
            if (error)
                *error =
                    "cannot create " + Utf8FromPath(entry_.parent_path()) + ": " + ec.message();
            return false;
        }
        if (!WriteFileAtomic(entry_, *text)) {
            if (error) *error = "cannot write " + Where();
            return false;
        }
        return true;
    }

    bool Disable(std::string* error) override {
        std::error_code ec;
        fs::remove(entry_, ec);
        if (ec) {
            if (error) *error = "cannot remove " + Where() + ": " + ec.message();
            return false;
        }
        return true;
    }

  private:
    fs::path entry_;
};

}  // namespace

std::unique_ptr<Autostart> CreateUserAutostart(std::string* error) {
    fs::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        config = PathFromUtf8(xdg);
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        config = PathFromUtf8(home) / ".config";
    } else {
        if (error) *error = "neither XDG_CONFIG_HOME nor HOME is set";
        return nullptr;
    }
    return std::make_unique<DesktopEntryAutostart>(config / "autostart" /
                                                   (std::string(kShareFolderName) + ".desktop"));
}

std::unique_ptr<Autostart> CreateAutostartAt(const std::string& place) {
    return std::make_unique<DesktopEntryAutostart>(PathFromUtf8(place));
}

}  // namespace vq::platform
