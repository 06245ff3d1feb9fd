#include "cli/cli.h"

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

#include "cli/device_socket_commands.h"
#include "cli/macro_commands.h"
#include "cli/mouse_commands.h"
#include "cli/peripheral_commands.h"
#include "cli/profile_commands.h"
#include "core/device/device_search.h"
#include "core/device/device_session.h"
#include "core/mouse/mouse_record.h"
#include "core/util/atomic_file.h"
#include "platform/folders.h"
#include "platform/hid_system.h"
#include "sim/sim_mouse.h"
#include "sim/sim_peripheral.h"

namespace vq::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitNoDevice = 3;
constexpr int kExitDeviceError = 4;

const char* kUsage =
    "usage: quilletctl [OPTIONS] COMMAND\n"
    "  list       the HID interfaces found\n"
    "  info       the mouse's information record\n"
    "  read       the mouse's settings (the full read at connect, then its live record)\n"
    "  profiles   create the first profiles where there are none and list every family's\n"
    "%PROFILE%"
    "  macro list | show NAME | add NAME | delete NAME | rename OLD NEW | import FILE |\n"
    "        export NAME FILE\n"
    "             the macro library of --kind ms (the mouse, default) or kb (the keyboard)\n"
    "  mouse dpi STAGE DPI | stage STAGE | colour STAGE RRGGBB | rate HZ | lift HEIGHT |\n"
    "        light MODE | button N FUNCTION | get | reset\n"
    "             change one of the mouse's settings, show them (get) or reset the mouse\n"
    "  mouse save the key page's save: cursor scripts, the macro library, then the key layer\n"
    "  get        with --kind kb or mp: the keyboard's or the mousepad's settings (the full\n"
    "             read and the live record; --json for JSON)\n"
    "  key KEY FUNCTION\n"
    "             with --kind kb: the key (its place 0-170, or the name of the key it types\n"
    "             from the factory: F5, key:F5, keyboard_key_F5) gets FUNCTION (default, a key\n"
    "             name such as keyboard_key_A or key:A, macro:NAME from the keyboard's library,\n"
    "             a list name, TYPE,PARAM1,PARAM2 or code:TTPPQQ), then the keyboard's macros\n"
    "             and keys are sent\n"
    "  light MODE [--brightness N] [--speed N] [--colour RRGGBB]\n"
    "             with --kind kb (effects 0-16) or mp (0-9): the lighting, sent to the device;\n"
    "             --speed 0-4 as the page shows it (4 the fastest)\n"
    "  script show N | import N FILE | export N FILE | reset N\n"
    "             the mouse's cursor (recoil) script N, 1 to 4\n"
    "  serve-sim PATH\n"
    "             serve the simulated mouse on a Unix domain socket (see docs/virtual-device.md);\n"
    "             standard input takes unplug, plug, press, notify HHHH, delay MS,\n"
    "             late N MS, flood on|off and quit\n"
    "options:\n"
    "  --simulate          use the simulated mouse instead of real devices\n"
    "  --simulate all      the same, with a simulated keyboard and mousepad as well\n"
    "  --device-socket PATH\n"
    "                      use the device served on that socket instead of real devices\n"
    "  --trace             write every report to standard error\n"
    "  --json              print `read` as JSON\n"
    "  --data-dir DIR      the data folder (default: $QUILLET_DATA_DIR, else\n"
    "                      Documents/Varnhold Quillet)\n"
    "  --program-dir DIR   where the shipped defaults are (default: beside quilletctl)\n"
    "  --kind ms|kb|mp     the device of macro, get, key and light (default ms)\n"
    "  --yes               delete a macro even when buttons are assigned to it\n";

struct Options {
    bool simulate = false;
    bool simulateAll = false;  // --simulate all: the keyboard and the mousepad too
    std::optional<std::string> deviceSocket;
    bool trace = false;
    bool json = false;
    std::string command;
    std::vector<std::string> operands;  // the words after the command
    FileOptions files;
    MacroOptions macro;
    MouseOptions mouse;
};

std::string Hex(uint32_t value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", width, value);
    return buffer;
}

// The devices behind the command: the system's HID access or a simulated mouse.
struct Environment {
    std::unique_ptr<HidBackend> system;
    std::unique_ptr<sim::VirtualHidBus> bus;
    std::unique_ptr<sim::SimMouse> mouse;
    std::unique_ptr<sim::SimKeyboardAndMousepad> peripherals;
    HidBackend* backend = nullptr;
};

bool MakeEnvironment(const Options& options, Environment& env, std::ostream& err) {
    if (options.deviceSocket) {
        std::string whyNot;
        env.system = ConnectDeviceSocket(*options.deviceSocket, &whyNot);
        if (!env.system) {
            err << "quilletctl: " << whyNot << "\n";
            return false;
        }
        env.backend = env.system.get();
        return true;
    }
    if (options.simulate) {
        env.bus = std::make_unique<sim::VirtualHidBus>();
        env.mouse = std::make_unique<sim::SimMouse>(*env.bus);
        env.mouse->Plug();
        if (options.simulateAll)
            env.peripherals = std::make_unique<sim::SimKeyboardAndMousepad>(*env.bus);
        env.backend = env.bus.get();
        return true;
    }
    std::string whyNot;
    env.system = platform::CreateSystemHidBackend(&whyNot);
    if (!env.system) {
        err << "quilletctl: " << whyNot << "\n";
        return false;
    }
    env.backend = env.system.get();
    return true;
}

int ListCommand(Environment& env, std::ostream& out, std::ostream& err) {
    HidDevice device(env.backend);
    HidDeviceList& list = device.List();
    if (!list.Enumerate()) {
        err << "quilletctl: the HID interfaces could not be listed\n";
        return kExitDeviceError;
    }
    int shown = 0, ours = 0, denied = 0;
    while (auto path = list.NextPath()) {
        std::string line;
        if (device.Open(*path, false, false, true, false)) {
            const HidAttributes a = device.Attributes();
            const HidCaps c = device.Caps();
            line = Hex(a.vendorId, 4) + " " + Hex(a.productId, 4) + " " + Hex(c.usagePage, 4) +
                   " " + Hex(c.usage, 4);
            if (a.vendorId == kVendorId) ++ours;
            device.Close();
        } else {
            const bool refused =
                env.backend->DiagnoseOpenFailure(*path) == HidOpenFailure::AccessDenied;
            line = Hex(VendorIdFromPath(*path), 4) + " " + Hex(ProductIdFromPath(*path), 4) +
                   (refused ? " (not opened: permission denied)" : " (not opened)");
            if (refused && VendorIdFromPath(*path) == kVendorId) ++denied;
        }
        out << line << " " << *path << "\n";
        ++shown;
    }
    if (shown == 0) out << "no HID interfaces found\n";
    if (ours == 0 && denied == 0) out << "no mouse, keyboard or mousepad of ours found\n";
    if (denied > 0) err << "quilletctl: a device of ours was found but " << AccessHint() << "\n";
    return kExitOk;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::string usage = [] {
        std::string text = kUsage;
        text.replace(text.find("%PROFILE%"), 9, kProfileUsage);
        return text;
    }();
    const char* const kUsage = usage.c_str();
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--simulate") {
            options.simulate = true;
            if (i + 1 < args.size() && args[i + 1] == "all") {
                options.simulateAll = true;
                ++i;
            }
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--device-socket") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                err << "quilletctl: --device-socket needs the socket's path\n" << kUsage;
                return kExitUsage;
            }
            options.deviceSocket = args[++i];
        } else if (arg == "--data-dir" || arg == "--program-dir") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                err << "quilletctl: " << arg << " needs a folder\n" << kUsage;
                return kExitUsage;
            }
            (arg == "--data-dir" ? options.files.dataDir : options.files.programDir) = args[++i];
        } else if (arg == "--kind") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                err << "quilletctl: --kind needs ms or kb\n" << kUsage;
                return kExitUsage;
            }
            options.macro.kind = args[++i];
        } else if (arg == "--brightness" || arg == "--speed" || arg == "--colour") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                err << "quilletctl: " << arg << " needs a value\n" << kUsage;
                return kExitUsage;
            }
            (arg == "--brightness" ? options.mouse.brightness
             : arg == "--speed"    ? options.mouse.speed
                                   : options.mouse.colour) = args[++i];
        } else if (arg == "--yes") {
            options.macro.yes = true;
        } else if (arg == "--help" || arg == "-h") {
            out << kUsage;
            return kExitOk;
        } else if (!arg.empty() && arg[0] == '-') {
            err << "quilletctl: unknown option " << arg << "\n" << kUsage;
            return kExitUsage;
        } else if (options.command.empty()) {
            options.command = arg;
        } else {
            options.operands.push_back(arg);
        }
    }
    if (options.command.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    if (options.command == "profile" || options.command == "profiles") {
        InstallFileSync(platform::CreateSystemFileSync());
        if (options.command == "profile")
            return ProfileCommand(options.files, options.operands, out, err);
        if (!options.operands.empty()) {
            err << "quilletctl: unexpected argument " << options.operands[0] << "\n" << kUsage;
            return kExitUsage;
        }
        return ProfilesCommand(options.files, out, err);
    }
    if (options.command == "macro") {
        InstallFileSync(platform::CreateSystemFileSync());
        return MacroCommand(options.files, options.macro, options.operands, out, err);
    }
    if (options.command == "script") {
        InstallFileSync(platform::CreateSystemFileSync());
        return ScriptCommand(options.files, options.operands, out, err);
    }
    if (options.simulate && options.deviceSocket) {
        err << "quilletctl: --simulate and --device-socket exclude each other\n" << kUsage;
        return kExitUsage;
    }
    if (options.command == "serve-sim") return ServeSimCommand(options.operands, out, err);
    const bool peripheral = IsPeripheralCommand(options.command);
    if (peripheral) {
        options.mouse.json = options.json;
        if (auto bad = CheckPeripheralUsage(options.macro.kind, options.command, options.mouse,
                                            options.operands, err))
            return *bad;
    }
    const bool mouseSave =
        options.command == "mouse" && !options.operands.empty() && options.operands[0] == "save";
    if (!peripheral && options.command != "list" && options.command != "info" &&
        options.command != "read" && options.command != "mouse") {
        err << "quilletctl: unknown command " << options.command << "\n" << kUsage;
        return kExitUsage;
    }
    options.mouse.json = options.json;
    if (peripheral) {
        // Checked above.
    } else if (mouseSave) {
        if (options.operands.size() != 1) {
            err << "quilletctl: usage: mouse save\n" << kUsage;
            return kExitUsage;
        }
    } else if (options.command == "mouse") {
        if (auto bad = CheckMouseUsage(options.mouse, options.operands, err)) return *bad;
    } else if (!options.operands.empty()) {
        err << "quilletctl: unexpected argument " << options.operands[0] << "\n" << kUsage;
        return kExitUsage;
    }

    Environment env;
    if (!MakeEnvironment(options, env, err)) return kExitNoDevice;
    struct TraceGuard {
        bool on;
        ~TraceGuard() {
            if (on) SetHidTraceSink(nullptr);
        }
    } traceGuard{options.trace};
    if (options.trace)
        SetHidTraceSink([&err](TraceDirection dir, uint16_t page, std::span<const uint8_t> r) {
            err << FormatTraceLine(dir, page, r) << "\n";
        });

    if (options.command == "list") return ListCommand(env, out, err);
    if (peripheral) {
        if (options.files.dataDir) InstallFileSync(platform::CreateSystemFileSync());
        return PeripheralCommand(env.backend, options.files, options.macro.kind, options.command,
                                 options.mouse, options.operands, out, err);
    }
    if (options.command == "info") return InfoCommand(env.backend, out, err);
    if (options.command == "read") return ReadCommand(env.backend, options.mouse, out, err);
    if (mouseSave) {
        InstallFileSync(platform::CreateSystemFileSync());
        return MouseSaveCommand(env.backend, options.files, out, err);
    }
    if (options.files.dataDir) InstallFileSync(platform::CreateSystemFileSync());
    return MouseCommand(env.backend, options.files, options.mouse, options.operands, out, err);
}

}  // namespace vq::cli
