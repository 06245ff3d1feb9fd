#include "app/app_options.h"

namespace vq::app {

const char* const kAppUsage =
    "usage: quillet [--simulate [all] | --device-socket PATH] [--trace] [--data-dir DIR] [--skin "
    "DIR] "
    "[--verbose]\n"
    "       quillet [--skin DIR] --list-controls | --check-skin [DIR]\n"
    "       quillet --autostart on|off\n"
    "  --simulate         run with the simulated mouse plugged in (demo mode; its own data\n"
    "                     folder unless --data-dir is given)\n"
    "  --simulate all     the same, with a simulated keyboard and mousepad as well\n"
    "  --device-socket PATH\n"
    "                     use the device an emulator serves on that socket (quilletctl serve-sim)\n"
    "  --trace            write every report to standard error\n"
    "  --data-dir DIR     keep settings, profiles and macros in DIR\n"
    "  --skin DIR         use the skin in DIR\n"
    "  --verbose          write the program's debug lines to standard error\n"
    "  --exit-when-shown  quit as soon as the window is shown and print the start-up time\n"
    "  --hide-when-shown  close the window to the tray as soon as it is shown (for measuring\n"
    "                     the program at rest)\n"
    "  --list-controls    print every control of the skin's layouts with its kind, and quit\n"
    "  --check-skin [DIR] list what the skin in DIR (default: the one in use) lacks of the\n"
    "                     layouts, controls, pictures and texts the program needs; exit code 1\n"
    "                     when anything is missing\n"
    "  --autostart on|off start the program (in the tray) when you log in, or no longer\n";

std::optional<AppOptions> ParseAppOptions(const std::vector<std::string>& args,
                                          std::string* error) {
    AppOptions options;
    auto fail = [&](const std::string& why) -> std::optional<AppOptions> {
        if (error) *error = why;
        return std::nullopt;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= args.size() || args[i + 1].empty()) return false;
            into = args[++i];
            return true;
        };
        if (arg == "--simulate") {
            options.simulate = true;
            if (i + 1 < args.size() && args[i + 1] == "all") {
                options.simulateAll = true;
                ++i;
            }
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--exit-when-shown") {
            options.exitWhenShown = true;
        } else if (arg == "--hide-when-shown") {
            options.hideWhenShown = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--data-dir") {
            if (!value(options.dataDir)) return fail("--data-dir needs a folder");
        } else if (arg == "--device-socket") {
            if (!value(options.deviceSocket))
                return fail("--device-socket needs the socket's path");
        } else if (arg == "--skin") {
            if (!value(options.skinDir)) return fail("--skin needs a folder");
        } else if (arg == "--list-controls") {
            options.listControls = true;
        } else if (arg == "--autostart") {
            std::optional<std::string> state;
            if (!value(state) || (*state != "on" && *state != "off"))
                return fail("--autostart needs on or off");
            options.autostart = *state == "on";
        } else if (arg == "--check-skin") {
            options.checkSkin = true;
            // The folder is optional: the next argument, unless it is an option.
            if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1].rfind("--", 0) != 0)
                options.checkSkinDir = args[++i];
        } else {
            return fail("unknown argument " + arg);
        }
    }
    if (options.simulate && options.deviceSocket)
        return fail("--simulate and --device-socket exclude each other");
    return options;
}

}  // namespace vq::app
