#include "cli/peripheral_commands.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <mutex>
#include <ostream>

#include "core/control/light_device_controllers.h"
#include "core/device/key_assignment.h"
#include "core/keyboard/keyboard_key_names.h"
#include "core/macro/macro_file.h"
#include "core/mouse/button_names.h"
#include "core/profile/profile_store.h"
#include "core/util/file_names.h"
#include "platform/folders.h"

namespace vq::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitNoDevice = 3;
constexpr int kExitDeviceError = 4;
constexpr int kExitFiles = 6;

// Nothing is sent or saved but what the command asks for, when it asks.
ControllerTiming CommandTiming() {
    constexpr std::chrono::hours kNever{24};
    return {kNever, kNever, kNever, kNever};
}

int Usage(std::ostream& err, const std::string& why) {
    err << "quilletctl: " << why << "\n";
    return kExitUsage;
}

std::optional<int> Number(const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<uint8_t> Byte(const std::string& text) {
    int value = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* first = text.data() + (hex ? 2 : 0);
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), value, hex ? 16 : 10);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 255)
        return std::nullopt;
    return static_cast<uint8_t>(value);
}

std::optional<Rgb> Colour(const std::string& text) {
    if (text.size() != 6) return std::nullopt;
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + 6, value, 16);
    if (ec != std::errc() || end != text.data() + 6) return std::nullopt;
    return Rgb{static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
               static_cast<uint8_t>(value)};
}

bool Same(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A key's function as the command line gives it: "default", a key-table name
// ("keyboard_key_A"), the three bytes "TYPE,PARAM1,PARAM2" (decimal or 0x hex) or, as the
// mouse's command spells them, "code:TTPPQQ" (hexadecimal). Nothing when it is none of these.
struct KeyFunction {
    bool factory = false;
    KeyAssignment code{};
};
std::optional<KeyFunction> ParseKeyFunction(const std::string& text) {
    if (Same(text, "default")) return KeyFunction{true, {}};
    if (text.size() == 11 && Same(text.substr(0, 5), "code:")) {
        uint32_t value = 0;
        const char* first = text.data() + 5;
        const auto [end, ec] = std::from_chars(first, first + 6, value, 16);
        if (ec != std::errc() || end != first + 6) return std::nullopt;
        return KeyFunction{false,
                           {static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value)}};
    }
    for (const KeyDefinition& row : KeyTable())
        if (Same(row.textId, text)) return KeyFunction{false, row.Code()};
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1)
        parts.push_back(text.substr(start, comma - start));
    parts.push_back(text.substr(start));
    if (parts.size() != 3) return std::nullopt;
    const auto t = Byte(parts[0]), p1 = Byte(parts[1]), p2 = Byte(parts[2]);
    if (!t || !p1 || !p2) return std::nullopt;
    return KeyFunction{false, {*t, *p1, *p2}};
}

// What is wrong with a key's function, or nothing. Besides ParseKeyFunction's forms, a key takes
// the mouse buttons' names (key:NAME, macro:NAME from the keyboard's library, the panel's list
// names, dpi-off); `macroNames` empty: macros are not looked up yet.
std::string KeyFunctionProblem(const std::string& text,
                               const std::optional<std::vector<std::string>>& macroNames,
                               KeyFunction* function = nullptr) {
    if (const std::optional<KeyFunction> plain = ParseKeyFunction(text)) {
        if (function) *function = *plain;
        return {};
    }
    constexpr std::string_view kMacro = "macro:";
    if (!macroNames && text.size() > kMacro.size() && text.compare(0, kMacro.size(), kMacro) == 0)
        return {};
    const ParsedButtonFunction named = ParseButtonFunction(
        text, macroNames ? *macroNames : std::vector<std::string>{}, "the keyboard's library");
    if (!named.Ok())
        return "the function must be default, a key name such as keyboard_key_A or key:A, "
               "macro:NAME, a list name, TYPE,PARAM1,PARAM2 or code:TTPPQQ (" +
               named.error + ")";
    if (named.code && named.code->type == key_type::kCursorScript)
        return "cursor scripts are the mouse's; a key cannot play one";
    if (function) *function = KeyFunction{named.factory, named.code.value_or(KeyAssignment{})};
    return {};
}

int ModeLimit(const std::string& kind) {
    return kind == "kb" ? 16 : 9;
}

std::string ColourHex(Rgb c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", c.red, c.green, c.blue);
    return buffer;
}

std::string CodeHex(const KeyAssignment& a) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%02x,0x%02x,0x%02x", a.type, a.param1, a.param2);
    return buffer;
}

std::unique_ptr<ProfileStore> CommandStore(const FileOptions& files) {
    if (!files.dataDir) return nullptr;
    std::filesystem::path program;
    if (files.programDir)
        program = PathFromUtf8(*files.programDir);
    else if (auto folder = platform::ProgramFolder())
        program = *folder;
    return std::make_unique<ProfileStore>(PathFromUtf8(*files.dataDir), program);
}

class FailureLog : public ControllerObserver {
  public:
    void OnControllerEvent(const ControllerEvent& event) override {
        if (event.type != ControllerEventType::Failed) return;
        std::lock_guard lock(mutex_);
        failures_.push_back(event.textId.empty() ? event.what
                                                 : event.what + " (" + event.textId + ")");
    }
    std::vector<std::string> Failures() const {
        std::lock_guard lock(mutex_);
        return failures_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> failures_;
};

void PrintLight(const LightSettings& s, bool json, std::ostream& out) {
    if (json) {
        out << "\"lighting\": {\"mode\": " << int{s.mode}
            << ", \"brightness\": " << int{s.brightness} << ", \"speed\": " << int{s.speed}
            << ", \"direction\": " << int{s.direction} << ", \"colourful\": " << int{s.colourful}
            << ", \"colour\": \"" << ColourHex(s.colour) << "\"}";
        return;
    }
    out << "lighting: mode " << int{s.mode} << ", brightness " << int{s.brightness} << ", speed "
        << int{s.speed} << ", direction " << int{s.direction} << ", "
        << (s.colourful ? "rainbow colours" : "colour " + ColourHex(s.colour)) << "\n";
}

void PrintKeyboard(const KeyboardModel& m, bool json, std::ostream& out) {
    const int keys = m.KeyCount();
    const int layer = m.ActiveLayer();
    if (json) {
        out << "{\"kind\": \"kb\", \"keys\": " << keys
            << ", \"variant\": " << static_cast<int>(m.Variant()) << ", ";
        PrintLight(m.Light(), true, out);
        out << ", \"customSlot\": " << int{m.CustomSlot()} << ", \"customColour\": \""
            << ColourHex(m.CustomColour()) << "\", \"assignments\": [";
        for (int k = 0; k < keys; ++k) {
            const KeyAssignment a = m.KeyAt(layer, k);
            out << (k ? ", " : "") << "[" << int{a.type} << ", " << int{a.param1} << ", "
                << int{a.param2} << "]";
        }
        out << "]}\n";
        return;
    }
    out << "keyboard: " << keys << " keys, variant " << static_cast<int>(m.Variant()) << "\n";
    PrintLight(m.Light(), false, out);
    out << "custom layout " << int{m.CustomSlot()} << ", painting colour "
        << ColourHex(m.CustomColour()) << "\n";
    out << "keys given another function:\n";
    int changed = 0;
    for (int k = 0; k < keys; ++k) {
        const KeyAssignment a = m.KeyAt(layer, k);
        if (a == m.FactoryAt(k)) continue;
        ++changed;
        out << "  key " << k << ": " << CodeHex(a) << " (factory " << CodeHex(m.FactoryAt(k))
            << ")\n";
    }
    if (changed == 0) out << "  none\n";
}

void PrintMousepad(const MousepadModel& m, bool json, std::ostream& out) {
    if (json) {
        out << "{\"kind\": \"mp\", ";
        PrintLight(m.Light(), true, out);
        out << "}\n";
        return;
    }
    out << "mousepad\n";
    PrintLight(m.Light(), false, out);
}

bool Connect(DeviceController& controller, std::ostream& err) {
    switch (controller.ConnectNow()) {
        case SearchResult::Connected:
            return true;
        case SearchResult::NotFound:
            err << "quilletctl: no "
                << (controller.Kind() == DeviceKind::Keyboard
                        ? "keyboard found (vendor 0x0C45, product 0x6556)"
                        : "mousepad found (vendor 0x0C45, product 0x5004)")
                << "; is it plugged in and may this user open it?\n";
            return false;
        case SearchResult::EnumerationFailed:
            err << "quilletctl: the HID interfaces could not be listed\n";
            return false;
    }
    return false;
}

// The light options onto a controller's edits.
template <typename Controller>
void ApplyLight(Controller& c, int mode, const MouseOptions& options) {
    if (options.brightness) c.SetBrightness(*Number(*options.brightness, 0, 4));
    if (options.speed) c.SetLightSpeedFromSlider(*Number(*options.speed, 0, 4));
    if (options.colour) c.SetLightColour(*Colour(*options.colour));
    c.SetLightMode(mode);
}

// Waits until the edits posted so far have run. Not WaitIdle: an edit arms the profile save's
// timer, which a command's timing puts a day away, and WaitIdle would wait out its whole limit.
void Applied(DeviceController& c) {
    c.RunAndWait([] {});
}

int Finish(DeviceController& c, FailureLog& failures, std::ostream& err) {
    c.Flush();
    c.WaitIdle();
    const std::vector<std::string> notSaved = failures.Failures();
    for (const std::string& what : notSaved)
        err << "quilletctl: " << what << " failed\n";
    return notSaved.empty() ? kExitOk : kExitFiles;
}

}  // namespace

std::optional<int> CheckPeripheralUsage(const std::string& kind, const std::string& command,
                                        const MouseOptions& options,
                                        const std::vector<std::string>& operands,
                                        std::ostream& err) {
    if (kind != "kb" && kind != "mp")
        return Usage(err, command + " needs --kind kb (the keyboard) or --kind mp (the mousepad)");
    if (command != "light" && (options.brightness || options.speed || options.colour))
        return Usage(err, "--brightness, --speed and --colour go with light only");
    if (command == "get") {
        if (!operands.empty()) return Usage(err, "get takes no arguments");
        return std::nullopt;
    }
    if (command == "key") {
        if (kind != "kb") return Usage(err, "key is for the keyboard (--kind kb)");
        if (operands.size() != 2) return Usage(err, "usage: --kind kb key KEY FUNCTION");
        if (!Number(operands[0], 0, 170) && !KeyRowByName(operands[0]))
            return Usage(err,
                         "the key must be a number 0-170 or a key's name such as F5, key:F5 "
                         "or keyboard_key_F5, not \"" +
                             operands[0] + "\"");
        // A macro's name is looked up in the library once the command runs.
        if (const std::string why = KeyFunctionProblem(operands[1], std::nullopt); !why.empty())
            return Usage(err, why);
        return std::nullopt;
    }
    if (operands.size() != 1) return Usage(err, "usage: --kind " + kind + " light MODE");
    if (!Number(operands[0], 0, ModeLimit(kind)))
        return Usage(err, "the light mode must be 0-" + std::to_string(ModeLimit(kind)));
    if (options.brightness && !Number(*options.brightness, 0, 4))
        return Usage(err, "--brightness must be 0-4");
    if (options.speed && !Number(*options.speed, 0, 4))
        return Usage(err, "--speed must be 0-4 (4 the fastest)");
    if (options.colour && !Colour(*options.colour))
        return Usage(err, "--colour must be RRGGBB in hexadecimal");
    return std::nullopt;
}

int PeripheralCommand(HidBackend* backend, const FileOptions& files, const std::string& kind,
                      const std::string& command, const MouseOptions& options,
                      const std::vector<std::string>& operands, std::ostream& out,
                      std::ostream& err) {
    const std::unique_ptr<ProfileStore> store = CommandStore(files);
    if (store) store->InitProfileKind(kind == "kb" ? DeviceKind::Keyboard : DeviceKind::Mousepad);
    FailureLog failures;
    if (kind == "mp") {
        MousepadController pad(backend, TransportTiming{}, store.get(), CommandTiming());
        pad.SetObserver(&failures);
        if (!Connect(pad, err)) return kExitNoDevice;
        if (pad.ReadAllNow() != ReadBackResult::Done) {
            pad.DiscardPendingNow();
            err << "quilletctl: the mousepad did not answer its read\n";
            return kExitDeviceError;
        }
        if (command == "get") {
            pad.DiscardPendingNow();
            PrintMousepad(pad.Model(), options.json, out);
            return kExitOk;
        }
        ApplyLight(pad, *Number(operands[0], 0, 9), options);
        Applied(pad);
        if (const int sent = pad.FlushNow(); sent != kResultSuccess) {
            err << "quilletctl: the mousepad did not take its record (result " << sent << ")\n";
            return kExitDeviceError;
        }
        PrintMousepad(pad.Model(), options.json, out);
        return Finish(pad, failures, err);
    }

    KeyboardController keyboard(backend, TransportTiming{}, store.get(), CommandTiming());
    keyboard.SetObserver(&failures);
    if (!Connect(keyboard, err)) return kExitNoDevice;
    if (store) keyboard.LoadStoredSettings();
    const ReadBackResult read = keyboard.ReadAllNow();
    if (read == ReadBackResult::BlockRefused) {
        keyboard.DiscardPendingNow();
        err << "quilletctl: the keyboard reports more keys than a key block can carry "
               "(message_text_11)\n";
        return kExitDeviceError;
    }
    if (read != ReadBackResult::Done || keyboard.ReadLiveNow() != ReadBackResult::Done) {
        keyboard.DiscardPendingNow();
        err << "quilletctl: the keyboard did not answer its read\n";
        return kExitDeviceError;
    }
    if (command == "get") {
        keyboard.DiscardPendingNow();
        PrintKeyboard(keyboard.Model(), options.json, out);
        return kExitOk;
    }
    if (command == "light") {
        ApplyLight(keyboard, *Number(operands[0], 0, 16), options);
        Applied(keyboard);
        if (const int sent = keyboard.FlushNow(); sent != kResultSuccess) {
            err << "quilletctl: the keyboard did not take its record (result " << sent << ")\n";
            return kExitDeviceError;
        }
        PrintKeyboard(keyboard.Model(), options.json, out);
        return Finish(keyboard, failures, err);
    }
    std::optional<int> key = Number(operands[0], 0, 170);
    if (!key) {
        key = FindKeyboardKey(keyboard.Model(), *KeyRowByName(operands[0]));
        if (!key) {
            keyboard.DiscardPendingNow();
            err << "quilletctl: the keyboard has no key \"" << operands[0] << "\"\n";
            return kExitUsage;
        }
    }
    if (*key >= keyboard.Model().KeyCount()) {
        keyboard.DiscardPendingNow();
        err << "quilletctl: the keyboard has keys 0-" << keyboard.Model().KeyCount() - 1 << "\n";
        return kExitUsage;
    }
    std::vector<std::string> macroNames;
    if (store)
        if (const auto folder = store->KindFolder(DeviceKind::Keyboard))
            macroNames = MacroLibrary(DeviceKind::Keyboard, *folder).ReadNames();
    KeyFunction function;
    if (const std::string why = KeyFunctionProblem(operands[1], macroNames, &function);
        !why.empty()) {
        keyboard.DiscardPendingNow();
        err << "quilletctl: " << why << "\n";
        return kExitUsage;
    }
    if (function.factory)
        keyboard.RestoreKeyDefault(*key);
    else
        keyboard.AssignKey(*key, function.code);
    Applied(keyboard);
    const int sent = keyboard.SaveKeyPageNow();
    if (sent != kResultSuccess) {
        for (const std::string& what : failures.Failures())
            err << "quilletctl: " << what << "\n";
        err << "quilletctl: the key block was not taken (result " << sent << ")\n";
        return kExitDeviceError;
    }
    PrintKeyboard(keyboard.Model(), options.json, out);
    return Finish(keyboard, failures, err);
}

}  // namespace vq::cli
