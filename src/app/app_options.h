#pragma once
// The command line of quillet.

#include <optional>
#include <string>
#include <vector>

namespace vq::app {

struct AppOptions {
    bool simulate = false;     // --simulate: the simulated mouse, plugged in
    bool simulateAll = false;  // --simulate all: the simulated keyboard and mousepad as well
    std::optional<std::string> deviceSocket;  // --device-socket PATH: an emulator's device
    bool trace = false;                       // --trace: every report to standard error
    bool verbose = false;                     // --verbose: debug lines to standard error
    bool help = false;                        // --help
    bool exitWhenShown = false;  // --exit-when-shown: report the start-up time and quit
    bool hideWhenShown = false;  // --hide-when-shown: close to the tray once shown (measuring)
    std::optional<std::string> dataDir;  // --data-dir DIR
    std::optional<std::string> skinDir;  // --skin DIR (default: the shipped skin)
    // Tools for skin authors; the program runs the tool and ends.
    bool listControls = false;  // --list-controls: every control of every layout and its kind
    bool checkSkin = false;     // --check-skin [DIR]: what a skin folder lacks
    std::optional<std::string> checkSkinDir;
    // --autostart on|off: start (or stop starting) the program at login, and quit.
    std::optional<bool> autostart;
};

extern const char* const kAppUsage;

// The options, or nothing with the reason in `error`.
std::optional<AppOptions> ParseAppOptions(const std::vector<std::string>& args, std::string* error);

}  // namespace vq::app
