#include "cli/mouse_commands.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <span>

#include "core/control/mouse_controller.h"
#include "core/device/command_report.h"
#include "core/device/device_search.h"
#include "core/macro/macro_file.h"
#include "core/mouse/button_names.h"
#include "core/mouse/button_panel.h"
#include "core/mouse/mouse_facts.h"
#include "core/profile/profile_store.h"
#include "core/util/file_names.h"
#include "platform/folders.h"
#include "platform/process_lock.h"

namespace vq::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitNoDevice = 3;
constexpr int kExitDeviceError = 4;
constexpr int kExitRefused = 5;
constexpr int kExitFiles = 6;

std::string Hex4(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", value);
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

int Fail(std::ostream& err, const std::string& what, int result) {
    err << "quilletctl: " << what << ": " << Describe(result) << "\n";
    return kExitDeviceError;
}

// The full read, then the live record. Nothing when both were answered, else the exit code
// (with the failed step written).
std::optional<int> ReadBoth(MouseController& mouse, MouseReadReport& report, std::ostream& err) {
    int result = mouse.ReadAllNow(&report);
    if (result != kResultSuccess) return Fail(err, report.failedStep, result);
    result = mouse.ReadLiveNow(&report);
    if (result != kResultSuccess) return Fail(err, report.failedStep, result);
    return std::nullopt;
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

// The eight buttons of the layer in use, by name.
struct ButtonRow {
    KeyAssignment code;
    std::string name;
    bool factory = false;
};
using ButtonRows = std::vector<ButtonRow>;

ButtonRows Buttons(const MouseModel& model, std::span<const std::string> macroNames) {
    ButtonRows rows;
    const int layer = model.ActiveLayer();
    for (int b = 0; b < kMouseButtons; ++b) {
        const KeyAssignment code = model.ButtonAssignment(layer, b);
        rows.push_back(
            {code, ButtonFunctionName(code, macroNames), code == model.FactoryAssignment(b)});
    }
    return rows;
}

std::string JsonString(std::string_view text) {
    std::string s = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            s += '\\';
            s += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            s += escaped;
        } else {
            s += c;
        }
    }
    return s + "\"";
}

void PrintButtonsText(const ButtonRows& rows, std::ostream& out) {
    for (size_t b = 0; b < rows.size(); ++b)
        out << "button " << b + 1 << ": " << rows[b].name << (rows[b].factory ? "  (factory)" : "")
            << "\n";
}

void PrintRecordJson(const MouseRecord& r, std::ostream& out, const ButtonRows* buttons = nullptr) {
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
    out << "  \"lineAdjust\": " << int{r.lineAdjust()};
    if (buttons) {
        out << ",\n  \"buttons\": [";
        for (size_t b = 0; b < buttons->size(); ++b) {
            const ButtonRow& row = (*buttons)[b];
            out << (b ? ",\n    " : "\n    ") << "{\"button\": " << b + 1
                << ", \"function\": " << JsonString(row.name) << ", \"code\": ["
                << int{row.code.type} << ", " << int{row.code.param1} << ", "
                << int{row.code.param2} << "], \"factory\": " << (row.factory ? "true" : "false")
                << "}";
        }
        out << "\n  ]";
    }
    out << "\n}\n";
}

// The record as the mouse holds it: the model keeps the live record as slot 0, the mouse says
// which slot it is on.
void PrintRecord(MouseRecord record, const MouseReadReport& report, const MouseOptions& options,
                 std::ostream& out, const ButtonRows* buttons = nullptr) {
    if (report.mouseSlot >= 0) record.SetSlot(static_cast<uint8_t>(report.mouseSlot));
    if (options.json) {
        PrintRecordJson(record, out, buttons);
        return;
    }
    PrintRecordText(record, out);
    if (buttons) PrintButtonsText(*buttons, out);
}

// ---- operands

std::optional<int> ParseInt(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

std::optional<Rgb> ParseColour(std::string text) {
    if (!text.empty() && text[0] == '#') text.erase(0, 1);
    if (text.size() != 6) return std::nullopt;
    uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, 16);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return Rgb{static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
               static_cast<uint8_t>(value)};
}

std::string RateList() {
    std::string list;
    for (int hz : ReportRatesHz())
        list += (list.empty() ? "" : ", ") + std::to_string(hz);
    return list;
}

std::string ModeList() {
    std::string list;
    for (int mode = 0; mode < kLightModes; ++mode)
        list += (mode ? ", " : "") + std::to_string(mode) + " " + LightModeName(mode);
    return list;
}

// A checked `mouse` command: the edits it makes, in order.
struct MouseEdit {
    std::vector<std::function<void(MouseController&)>> edits;
};

int Usage(std::ostream& err, const std::string& message) {
    err << "quilletctl: " << message << "\n";
    return kExitUsage;
}

// Reads the operands into the edits, or writes why not and gives the exit code.
std::optional<int> ParseMouse(const MouseOptions& options, const std::vector<std::string>& words,
                              MouseEdit& edit, std::ostream& err) {
    const std::string what = words.empty() ? std::string() : words[0];
    const size_t want = (what == "dpi" || what == "colour" || what == "button") ? 3
                        : (what == "stage" || what == "rate" || what == "lift" || what == "light")
                            ? 2
                        : (what == "get" || what == "reset") ? 1
                                                             : 0;
    constexpr const char* kSettings =
        "dpi, stage, colour, rate, lift, light, button, get, reset or save";
    if (want == 0)
        return Usage(err, what.empty() ? std::string("mouse needs ") + kSettings
                                       : "unknown mouse setting " + what + " (" + kSettings + ")");
    if (words.size() != want)
        return Usage(err, "mouse " + what + (words.size() < want ? " needs " : " takes only ") +
                              (what == "dpi"      ? "STAGE and DPI"
                               : what == "colour" ? "STAGE and RRGGBB"
                               : what == "button" ? "N (1-8) and FUNCTION"
                               : what == "stage"  ? "STAGE (1-7)"
                               : what == "rate"   ? "HZ"
                               : what == "lift"   ? "low, middle or high"
                               : what == "light"  ? "MODE"
                                                  : "nothing more"));
    if (what != "light" && (options.brightness || options.speed || options.colour))
        return Usage(err, "--brightness, --speed and --colour go with mouse light only");

    auto stageOf = [&](const std::string& word) -> std::optional<int> {
        const std::optional<int> stage = ParseInt(word);
        if (!stage || *stage < 1 || *stage > MouseRecord::kStages) return std::nullopt;
        return stage;
    };
    if (what == "dpi") {
        const std::optional<int> stage = stageOf(words[1]);
        if (!stage) return Usage(err, "the stage must be 1-7, not " + words[1]);
        const std::optional<int> dpi = ParseInt(words[2]);
        if (!dpi || *dpi < 0 || *dpi > kMaxStageDpi)
            return Usage(err,
                         "the DPI must be 0-" + std::to_string(kMaxStageDpi) + ", not " + words[2]);
        edit.edits.push_back([s = *stage, d = *dpi](MouseController& m) { m.SetStageDpi(s, d); });
    } else if (what == "colour") {
        const std::optional<int> stage = stageOf(words[1]);
        if (!stage) return Usage(err, "the stage must be 1-7, not " + words[1]);
        const std::optional<Rgb> colour = ParseColour(words[2]);
        if (!colour) return Usage(err, "the colour must be RRGGBB in hexadecimal, not " + words[2]);
        edit.edits.push_back(
            [s = *stage, c = *colour](MouseController& m) { m.SetStageColor(s, c); });
    } else if (what == "button") {
        const std::optional<int> button = ParseInt(words[1]);
        if (!button || *button < 1 || *button > kMouseButtons)
            return Usage(
                err, "the button must be 1-" + std::to_string(kMouseButtons) + ", not " + words[1]);
        // The function is read once the macro library is known; a name that cannot be right
        // whatever the library holds is refused here.
        const ParsedButtonFunction parsed = ParseButtonFunction(words[2], {});
        if (!parsed.Ok() && !parsed.macroName) return Usage(err, parsed.error);
    } else if (what == "get" || what == "reset") {
        // No operands.
    } else if (what == "stage") {
        const std::optional<int> stage = stageOf(words[1]);
        if (!stage) return Usage(err, "the stage must be 1-7, not " + words[1]);
        edit.edits.push_back([s = *stage](MouseController& m) { m.SetActiveStage(s); });
    } else if (what == "rate") {
        const std::optional<int> hz = ParseInt(words[1]);
        const std::optional<int> item = hz ? ReportRateItem(*hz) : std::nullopt;
        if (!item)
            return Usage(err,
                         "the report rate must be one of " + RateList() + " Hz, not " + words[1]);
        edit.edits.push_back([i = *item](MouseController& m) { m.SetReportRate(i); });
    } else if (what == "lift") {
        const std::optional<int> height = LiftHeightFromName(words[1]);
        if (!height)
            return Usage(err, "the lift-off height must be low, middle or high, not " + words[1]);
        edit.edits.push_back([h = *height](MouseController& m) { m.SetLiftHeight(h); });
    } else {
        const std::optional<int> mode = LightModeFromName(words[1]);
        if (!mode) return Usage(err, "the light mode must be one of " + ModeList());
        edit.edits.push_back([m = *mode](MouseController& c) { c.SetLightMode(m); });
        if (options.brightness) {
            const std::optional<int> level = ParseInt(*options.brightness);
            if (!level || *level < 0 || *level > kBrightnessMax)
                return Usage(err, "--brightness must be 0-" + std::to_string(kBrightnessMax));
            edit.edits.push_back([l = *level](MouseController& c) { c.SetBrightness(l); });
        }
        if (options.speed) {
            const std::optional<int> speed = ParseInt(*options.speed);
            if (!speed || *speed < 0 || *speed > kLightSpeedMax)
                return Usage(err, "--speed must be 0-" + std::to_string(kLightSpeedMax) + " (" +
                                      std::to_string(kLightSpeedMax) + " the fastest)");
            edit.edits.push_back([s = *speed](MouseController& c) { c.SetLightSpeed(s); });
        }
        if (options.colour) {
            const std::optional<Rgb> colour = ParseColour(*options.colour);
            if (!colour) return Usage(err, "--colour must be RRGGBB in hexadecimal");
            edit.edits.push_back([c = *colour](MouseController& m) { m.SetLightColor(c); });
        }
    }
    return std::nullopt;
}

// The profile store of an explicit --data-dir; none without one.
std::unique_ptr<ProfileStore> CommandStore(const FileOptions& files) {
    if (!files.dataDir) return nullptr;
    std::filesystem::path program;
    if (files.programDir)
        program = PathFromUtf8(*files.programDir);
    else if (auto folder = platform::ProgramFolder())
        program = *folder;
    auto store = std::make_unique<ProfileStore>(PathFromUtf8(*files.dataDir), program);
    // The window may be editing the same profiles.
    store->SetProcessLocks(&platform::SystemProcessLocks());
    return store;
}

// Keeps the failures the controller reports while the command runs (a profile not saved).
class FailureLog : public ControllerObserver {
  public:
    void OnControllerEvent(const ControllerEvent& event) override {
        if (event.type != ControllerEventType::Failed) return;
        std::lock_guard lock(mutex_);
        failures_.push_back(event.what);
    }
    std::vector<std::string> Failures() const {
        std::lock_guard lock(mutex_);
        return failures_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> failures_;
};

}  // namespace

// The tool sends and saves only when it says so (FlushNow): no timer of the controller's may
// send a record that has not been read from the mouse yet.
ControllerTiming MouseCommandTiming() {
    constexpr std::chrono::hours kNever{24};
    // A factory reset is still read back after the mouse's usual moment.
    return {kNever, kNever, kNever, kNever, std::chrono::milliseconds(500)};
}

// Opens the mouse's configuration collection or says why not.
bool ConnectMouse(MouseController& mouse, HidBackend* backend, std::ostream& err) {
    switch (mouse.ConnectNow()) {
        case SearchResult::Connected:
            return true;
        case SearchResult::NotFound:
            if (auto denied = DeniedMousePath(backend)) {
                err << "quilletctl: permission denied opening the mouse at " << *denied << ": "
                    << AccessHint() << "\n";
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

const char* AccessHint() {
#if defined(_WIN32)
    return "it is in use by another program, or this user may not open it";
#else
    return "this user may not open it; see \"Using a real mouse on Linux\" in README.md "
           "(a udev rule gives the logged-in user access)";
#endif
}

int InfoCommand(HidBackend* backend, std::ostream& out, std::ostream& err) {
    MouseController mouse(backend, TransportTiming{}, nullptr, MouseCommandTiming());
    if (!ConnectMouse(mouse, backend, err)) return kExitNoDevice;
    MouseReadReport report;
    const int result = mouse.ReadAllNow(&report);
    // Reading changes nothing on the mouse.
    mouse.DiscardPendingNow();
    if (result != kResultSuccess) return Fail(err, report.failedStep, result);
    const MouseInfo info = mouse.Model().Info();
    out << "macro capacity: " << info.MacroCapacity() << " bytes (" << int{info.MacroUnits()}
        << " x 128)\n";
    out << "sensor code: " << Hex4(info.SensorCode()) << "\n";
    out << "raw: " << Bytes(info.bytes) << "\n";
    return kExitOk;
}

int ReadCommand(HidBackend* backend, const MouseOptions& options, std::ostream& out,
                std::ostream& err) {
    MouseController mouse(backend, TransportTiming{}, nullptr, MouseCommandTiming());
    if (!ConnectMouse(mouse, backend, err)) return kExitNoDevice;
    MouseReadReport report;
    const std::optional<int> failed = ReadBoth(mouse, report, err);
    // The read's own re-stores are not sent: `read` leaves the mouse as it found it, and prints
    // the record as it was read.
    mouse.DiscardPendingNow();
    if (failed) return *failed;
    const std::optional<MouseStoredRecord> read = mouse.Model().StoredRecord(0);
    PrintRecord(read ? MouseRecord::FromBytes(*read) : mouse.Model().Record(), report, options,
                out);
    return kExitOk;
}

std::optional<int> CheckMouseUsage(const MouseOptions& options,
                                   const std::vector<std::string>& operands, std::ostream& err) {
    MouseEdit edit;
    return ParseMouse(options, operands, edit, err);
}

namespace {

// The mouse's macro library by name (empty without --data-dir or a library).
std::vector<std::string> MacroNames(ProfileStore* store) {
    if (!store) return {};
    const std::optional<std::filesystem::path> folder = store->KindFolder(DeviceKind::Mouse);
    if (!folder) return {};
    return MacroLibrary(DeviceKind::Mouse, *folder).ReadNames();
}

// `mouse button N FUNCTION`: the function stored in the layer in use, which is then sent.
int AssignButtonCommand(MouseController& mouse, ProfileStore* store, const FailureLog& failures,
                        const MouseOptions& options, const std::vector<std::string>& operands,
                        const MouseReadReport& report, std::ostream& out, std::ostream& err) {
    const int button = *ParseInt(operands[1]) - 1;
    const std::vector<std::string> macros = MacroNames(store);
    const ParsedButtonFunction parsed = ParseButtonFunction(operands[2], macros);
    if (!parsed.Ok()) {
        err << "quilletctl: " << parsed.error
            << (parsed.macroName && !store ? " (give --data-dir DIR to use its macros)" : "")
            << "\n";
        return kExitRefused;
    }
    const MouseModel& model = mouse.Model();
    const int layer = model.ActiveLayer();
    const KeyAssignment code = parsed.factory ? model.FactoryAssignment(button) : *parsed.code;
    if (const std::optional<MouseKeyLayer> current = model.KeyLayer(layer);
        current && IsOnlyLeftClick(*current, button) &&
        code != model.ButtonAssignment(layer, button)) {
        err << "quilletctl: button " << button + 1
            << " is the mouse's only left click; give another button the left click first\n";
        return kExitRefused;
    }
    if (parsed.factory)
        mouse.RestoreButtonDefault(button);
    else
        mouse.AssignButton(button, code);
    const int sent = mouse.SaveKeyLayerNow();
    if (sent != kResultSuccess) return Fail(err, "sending the key layer", sent);
    const std::vector<std::string> notSaved = failures.Failures();
    for (const std::string& what : notSaved)
        err << "quilletctl: " << what << " failed\n";
    const ButtonRows rows = Buttons(mouse.Model(), macros);
    PrintRecord(mouse.Model().Record(), report, options, out, &rows);
    return notSaved.empty() ? kExitOk : kExitFiles;
}

}  // namespace

int MouseCommand(HidBackend* backend, const FileOptions& files, const MouseOptions& options,
                 const std::vector<std::string>& operands, std::ostream& out, std::ostream& err) {
    MouseEdit edit;
    if (const std::optional<int> bad = ParseMouse(options, operands, edit, err)) return *bad;
    const std::string& verb = operands[0];
    const std::unique_ptr<ProfileStore> store = CommandStore(files);
    FailureLog failures;
    MouseController mouse(backend, TransportTiming{}, store.get(), MouseCommandTiming());
    mouse.SetObserver(&failures);
    if (!ConnectMouse(mouse, backend, err)) return kExitNoDevice;
    // The pointer speed lives only in the light profile: known before the profiles are saved.
    if (store) mouse.LoadStoredSettings();
    if (verb == "reset") {
        // The mouse goes back to its factory settings and is read back.
        const int result = mouse.FactoryResetNow();
        if (result != kResultSuccess) return Fail(err, "factory reset", result);
    }
    MouseReadReport report;
    if (const std::optional<int> failed = ReadBoth(mouse, report, err)) {
        // Nothing is sent or saved over what could not be read.
        mouse.DiscardPendingNow();
        return *failed;
    }
    if (verb == "get" || verb == "reset") {
        // Reading changes nothing on the mouse.
        mouse.DiscardPendingNow();
        const ButtonRows rows = Buttons(mouse.Model(), MacroNames(store.get()));
        const std::optional<MouseStoredRecord> read = mouse.Model().StoredRecord(0);
        PrintRecord(read ? MouseRecord::FromBytes(*read) : mouse.Model().Record(), report, options,
                    out, &rows);
        return kExitOk;
    }
    if (verb == "button") {
        // Only the key layer changes: the read's own re-stores are not sent.
        mouse.DiscardPendingNow();
        return AssignButtonCommand(mouse, store.get(), failures, options, operands, report, out,
                                   err);
    }
    for (const auto& apply : edit.edits)
        apply(mouse);
    const int sent = mouse.FlushNow();
    if (sent != kResultSuccess) return Fail(err, "WriteParams", sent);
    const std::vector<std::string> notSaved = failures.Failures();
    for (const std::string& what : notSaved)
        err << "quilletctl: " << what << " failed\n";
    PrintRecord(mouse.Model().Record(), report, options, out);
    return notSaved.empty() ? kExitOk : kExitFiles;
}

}  // namespace vq::cli
