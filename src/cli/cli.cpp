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
#include "cli/profile_commands.h"
#include "core/device/device_search.h"
#include "core/device/device_session.h"
#include "core/mouse/mouse_record.h"
#include "core/util/atomic_file.h"
#include "platform/folders.h"
#include "platform/hid_system.h"
#include "sim/sim_mouse.h"

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
    "  serve-sim PATH\n"
    "             serve the simulated mouse on a Unix domain socket (see docs/virtual-device.md);\n"
    "             standard input takes unplug, plug, press, notify HHHH, delay MS,\n"
    "             late N MS, flood on|off and quit\n"
    "options:\n"
    "  --simulate          use the simulated mouse instead of real devices\n"
    "  --device-socket PATH\n"
    "                      use the device served on that socket instead of real devices\n"
    "  --trace             write every report to standard error\n"
    "  --json              print `read` as JSON\n"
    "  --data-dir DIR      the data folder (default: $QUILLET_DATA_DIR, else\n"
    "                      Documents/Varnhold Quillet)\n"
    "  --program-dir DIR   where the shipped defaults are (default: beside quilletctl)\n"
    "  --kind ms|kb        the macro library to work on (default ms)\n"
    "  --yes               delete a macro even when buttons are assigned to it\n";

struct Options {
    bool simulate = false;
    std::optional<std::string> deviceSocket;
    bool trace = false;
    bool json = false;
    std::string command;
    std::vector<std::string> operands;  // the words after the command
    FileOptions files;
    MacroOptions macro;
};

std::string Hex(uint32_t value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", width, value);
    return buffer;
}

std::string Bytes(std::span<const uint8_t> bytes) {
    std::string s;
    char hex[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(hex, sizeof hex, "%s%02x", i ? " " : "", bytes[i]);
        s += hex;
    }
    return s;
}

std::string ColourHex(Rgb c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", c.red, c.green, c.blue);
    return buffer;
}

// The devices behind the command: the system's HID access or a simulated mouse.
struct Environment {
    std::unique_ptr<HidBackend> system;
    std::unique_ptr<sim::VirtualHidBus> bus;
    std::unique_ptr<sim::SimMouse> mouse;
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

#if defined(_WIN32)
const char* kAccessHint = "it is in use by another program, or this user may not open it";
#else
const char* kAccessHint =
    "this user may not open it; see \"Using a real mouse on Linux\" in README.md "
    "(a udev rule gives the logged-in user access)";
#endif

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
    if (denied > 0) err << "quilletctl: a device of ours was found but " << kAccessHint << "\n";
    return kExitOk;
}

// The first path of the mouse that this user may not open, if any.
std::optional<std::string> DeniedMousePath(HidBackend* backend) {
    HidDeviceList list(backend);
    if (!list.Enumerate()) return std::nullopt;
    while (auto path = list.NextPath())
        if (VendorIdFromPath(*path) == kVendorId && ProductIdFromPath(*path) == kMouseProductId &&
            backend->DiagnoseOpenFailure(*path) == HidOpenFailure::AccessDenied)
            return path;
    return std::nullopt;
}

// Opens the mouse's configuration collection or says why not.
bool ConnectMouse(DeviceSession& session, std::ostream& err) {
    session.SetIdentity(DeviceKind::Mouse);
    std::lock_guard lock(session.IoLock());
    switch (ConnectConfigCollection(session)) {
        case SearchResult::Connected:
            return true;
        case SearchResult::NotFound:
            if (auto denied = DeniedMousePath(session.Device().Backend())) {
                err << "quilletctl: permission denied opening the mouse at " << *denied << ": "
                    << kAccessHint << "\n";
                return false;
            }
            err << "quilletctl: no mouse found (vendor 0x0C45, product 0x7643); is it plugged in "
                   "and may this user open it?\n";
            return false;
        case SearchResult::EnumerationFailed:
            err << "quilletctl: the HID interfaces could not be listed\n";
            return false;
    }
    return false;
}

const char* Describe(int result) {
    switch (result) {
        case kResultNoAnswer:
            return "the mouse did not answer";
        case kResultLinkLost:
            return "the link to the mouse was lost";
        case kResultRefusedFF:
            return "the mouse refused the request (status 0xFF)";
        case kResultRefusedFE:
            return "the mouse refused the request (status 0xFE)";
        case kResultBadIndex:
            return "block index out of range";
        default:
            return "unexpected result";
    }
}

int Fail(std::ostream& err, const char* what, int result) {
    err << "quilletctl: " << what << ": " << Describe(result) << "\n";
    return kExitDeviceError;
}

int InfoCommand(Environment& env, std::ostream& out, std::ostream& err) {
    DeviceSession session(env.backend);
    if (!ConnectMouse(session, err)) return kExitNoDevice;
    std::array<uint8_t, kInfoSize> info{};
    const int begin = session.Begin();
    const int read = session.ReadInfo(info);
    const int end = session.End();
    if (read != kResultSuccess) return Fail(err, "ReadInfo", read);
    if (begin != kResultSuccess) return Fail(err, "Begin", begin);
    if (end != kResultSuccess) return Fail(err, "End", end);
    out << "macro capacity: " << info[6] * 128 << " bytes (" << int{info[6]} << " x 128)\n";
    out << "sensor code: " << Hex(static_cast<uint32_t>(info[9] | (info[10] << 8)), 4) << "\n";
    out << "raw: " << Bytes(info) << "\n";
    return kExitOk;
}

void PrintRecordText(const MouseRecord& r, std::ostream& out) {
    out << "slot: " << int{r.slot()} << "\n";
    out << "lighting: mode " << int{r.lightMode()} << ", brightness " << int{r.brightness()}
        << ", speed " << int{r.lightSpeed()} << ", direction " << int{r.lightDirection()}
        << ", seven colours " << (r.sevenColor() ? "on" : "off") << ", colour "
        << ColourHex(r.lightColor()) << "\n";
    out << "report rate: item " << int{r.reportRate()} << "\n";
    for (int s = 0; s < MouseRecord::kStages; ++s)
        out << "stage " << s + 1 << ": " << r.StageDpi(s) << " DPI, colour "
            << ColourHex(r.StageColor(s)) << (s == r.activeStage() ? "  (active)" : "") << "\n";
    out << "active stage: " << r.activeStage() + 1 << "\n";
    out << "lift-off height: " << int{r.liftHeight()} << "\n";
    out << "line adjustment: " << (r.lineAdjust() ? "on" : "off") << "\n";
}

void PrintRecordJson(const MouseRecord& r, std::ostream& out) {
    const Rgb c = r.lightColor();
    out << "{\n  \"slot\": " << int{r.slot()} << ",\n";
    out << "  \"lighting\": {\"mode\": " << int{r.lightMode()}
        << ", \"brightness\": " << int{r.brightness()} << ", \"speed\": " << int{r.lightSpeed()}
        << ", \"direction\": " << int{r.lightDirection()}
        << ", \"sevenColor\": " << (r.sevenColor() ? "true" : "false") << ", \"color\": ["
        << int{c.red} << ", " << int{c.green} << ", " << int{c.blue} << "]},\n";
    out << "  \"reportRate\": " << int{r.reportRate()} << ",\n";
    out << "  \"stages\": [";
    for (int s = 0; s < MouseRecord::kStages; ++s) {
        const Rgb sc = r.StageColor(s);
        out << (s ? ", " : "") << "{\"dpi\": " << r.StageDpi(s) << ", \"color\": [" << int{sc.red}
            << ", " << int{sc.green} << ", " << int{sc.blue} << "]}";
    }
    out << "],\n";
    out << "  \"activeStage\": " << int{r.activeStage()} << ",\n";
    out << "  \"liftHeight\": " << int{r.liftHeight()} << ",\n";
    out << "  \"lineAdjust\": " << int{r.lineAdjust()} << "\n}\n";
}

int ReadCommand(Environment& env, const Options& options, std::ostream& out, std::ostream& err) {
    DeviceSession session(env.backend);
    if (!ConnectMouse(session, err)) return kExitNoDevice;
    // The connect read: information, factory block, the five key layers.
    std::array<uint8_t, kInfoSize> info{};
    std::array<uint8_t, kMaxBlockLength> block{};
    struct Step {
        const char* name;
        std::function<int()> run;
    };
    const std::vector<Step> steps = {
        {"Begin", [&] { return session.Begin(); }},
        {"ReadInfo", [&] { return session.ReadInfo(info); }},
        {"ReadBlock", [&] { return session.ReadBlock(block); }},
        {"ReadIndexedBlock 0", [&] { return session.ReadIndexedBlock(block, 0); }},
        {"ReadIndexedBlock 1", [&] { return session.ReadIndexedBlock(block, 1); }},
        {"ReadIndexedBlock 2", [&] { return session.ReadIndexedBlock(block, 2); }},
        {"ReadIndexedBlock 3", [&] { return session.ReadIndexedBlock(block, 3); }},
        {"ReadIndexedBlock 4", [&] { return session.ReadIndexedBlock(block, 4); }},
        {"End", [&] { return session.End(); }},
    };
    for (const Step& step : steps) {
        const int result = step.run();
        if (result != kResultSuccess) return Fail(err, step.name, result);
    }
    std::array<uint8_t, MouseRecord::kWireSize> wire{};
    const int result = session.ReadParams(wire, MouseRecord::kWireSize, 0);
    if (result != kResultSuccess) return Fail(err, "ReadParams", result);
    MouseRecord record;
    std::copy_n(wire.begin(), MouseRecord::kSize, record.bytes.begin());
    if (options.json)
        PrintRecordJson(record, out);
    else
        PrintRecordText(record, out);
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
    if (options.simulate && options.deviceSocket) {
        err << "quilletctl: --simulate and --device-socket exclude each other\n" << kUsage;
        return kExitUsage;
    }
    if (options.command == "serve-sim") return ServeSimCommand(options.operands, out, err);
    if (options.command != "list" && options.command != "info" && options.command != "read") {
        err << "quilletctl: unknown command " << options.command << "\n" << kUsage;
        return kExitUsage;
    }
    if (!options.operands.empty()) {
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
    if (options.command == "info") return InfoCommand(env, out, err);
    return ReadCommand(env, options, out, err);
}

}  // namespace vq::cli
