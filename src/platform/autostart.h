#pragma once
// Starting the program when the user logs in: on Linux the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/varnhold-quillet.desktop (~/.config when the variable is not set),
// on Windows the value "Varnhold Quillet" under the user's
// Software\Microsoft\Windows\CurrentVersion\Run key. Nothing needs administrator rights.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace vq::platform {

class Autostart {
  public:
    virtual ~Autostart() = default;
    // Where the entry lives, as a user can find it (a file, or a registry value).
    virtual std::string Where() const = 0;
    // Whether an entry is there now.
    virtual bool Enabled() const = 0;
    // Writes the entry so that `program` starts at login (replacing an older entry); false with
    // the reason in `error` when it cannot be written.
    virtual bool Enable(const std::filesystem::path& program, std::string* error) = 0;
    // Removes the entry; true also when there was none.
    virtual bool Disable(std::string* error) = 0;
};

// The user's own entry; null, with the reason in `error`, when its place is not known (no home
// folder).
std::unique_ptr<Autostart> CreateUserAutostart(std::string* error);

// An entry at another place, for tests: on Linux the entry file's path, on Windows the subkey of
// HKEY_CURRENT_USER that takes the value.
std::unique_ptr<Autostart> CreateAutostartAt(const std::string& place);

// The desktop entry that starts `program` (Linux's autostart entry and the menu's share it);
// nothing when the path cannot be written in an entry (a line break).
std::optional<std::string> AutostartDesktopEntry(const std::filesystem::path& program);

}  // namespace vq::platform
