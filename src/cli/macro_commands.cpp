#include "cli/macro_commands.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <ostream>

#include "cli/mouse_commands.h"
#include "core/control/mouse_controller.h"
#include "core/device/command_report.h"
#include "core/device/device_search.h"
#include "core/device/device_session.h"
#include "core/keyboard/keyboard_defaults.h"
#include "core/macro/cursor_scripts.h"
#include "core/macro/key_page_save.h"
#include "core/macro/macro_library_ops.h"
#include "core/mouse/mouse_defaults.h"
#include "core/mouse/mouse_device.h"
#include "core/mouse/mouse_model.h"
#include "core/profile/profile_store.h"
#include "core/util/file_names.h"
#include "platform/folders.h"
#include "platform/process_lock.h"

namespace vq::cli {

namespace {

namespace fs = std::filesystem;

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitNoDevice = 3;
constexpr int kExitDevice = 4;
constexpr int kExitRefused = 5;
constexpr int kExitFiles = 6;

const char* kMacroUsage =
    "quilletctl: usage: macro list | show NAME | add NAME | delete NAME | rename OLD NEW |\n"
    "                   import FILE | export NAME FILE   (--kind ms|kb, default ms)\n";

struct Verb {
    const char* name;
    size_t operands;
};
constexpr Verb kVerbs[] = {{"list", 0},   {"show", 1},   {"add", 1},   {"delete", 1},
                           {"rename", 2}, {"import", 1}, {"export", 2}};

int ExitFor(const MacroOutcome& outcome) {
    switch (outcome.result) {
        case MacroResult::Ok:
            return kExitOk;
        case MacroResult::WriteFailed:
        case MacroResult::ReadFailed:
        case MacroResult::Missing:
            return kExitFiles;
        default:
            return kExitRefused;
    }
}

int Report(const MacroOutcome& outcome, std::ostream& out, std::ostream& err) {
    if (outcome.Ok())
        out << outcome.detail << "\n";
    else
        err << "quilletctl: " << outcome.detail << "\n";
    return ExitFor(outcome);
}

// One line for an action: what happens, then the pause after it.
std::string Describe(const MacroAction& a) {
    std::string what;
    switch (a.EventType()) {
        case kMacroMoveHorizontal:
            what =
                std::string("move ") + (a.Pressed() ? "left " : "right ") + std::to_string(a.code);
            break;
        case kMacroMoveVertical:
            what = std::string("move ") + (a.Pressed() ? "up " : "down ") + std::to_string(a.code);
            break;
        default:
            what = a.label + (a.Pressed() ? " down" : " up");
            break;
    }
    return what + ", " + std::to_string(a.DelayMs()) + " ms";
}

std::optional<fs::path> DataFolder(const FileOptions& files, std::ostream& err) {
    platform::SystemDocumentsFolder documents;
    std::optional<fs::path> explicitData;
    if (files.dataDir) explicitData = PathFromUtf8(*files.dataDir);
    std::optional<fs::path> data = ResolveDataFolder(explicitData, &documents);
    if (!data) err << "quilletctl: no data folder: give --data-dir DIR or set QUILLET_DATA_DIR\n";
    return data;
}

}  // namespace

int MacroCommand(const FileOptions& files, const MacroOptions& options,
                 const std::vector<std::string>& operands, std::ostream& out, std::ostream& err) {
    const std::optional<DeviceKind> kind = ParseKind(options.kind);
    if (!kind || *kind == DeviceKind::Mousepad) {
        err << "quilletctl: macros belong to the mouse (ms) or the keyboard (kb), not \""
            << options.kind << "\"\n";
        return kExitUsage;
    }
    const Verb* verb = nullptr;
    if (!operands.empty())
        for (const Verb& v : kVerbs)
            if (operands[0] == v.name) verb = &v;
    if (!verb || operands.size() != verb->operands + 1) {
        err << kMacroUsage;
        return kExitUsage;
    }
    const std::string verbName = verb->name;
    const std::optional<fs::path> data = DataFolder(files, err);
    if (!data) return kExitFiles;
    const bool writes = verbName != "list" && verbName != "show" && verbName != "export";
    // A read needs no folder: a missing one is an empty library.
    ProfileStore store(*data, files.programDir ? PathFromUtf8(*files.programDir) : *data);
    fs::path folder = *data / DeviceKindPrefix(*kind);
    if (writes) {
        const std::optional<fs::path> made = store.KindFolder(*kind);
        if (!made) {
            err << "quilletctl: the folder " << Utf8FromPath(folder) << " could not be created\n";
            return kExitFiles;
        }
        folder = *made;
    }
    MacroLibrary library(*kind, folder);

    if (verbName == "list") {
        const std::vector<std::string> names = library.ReadNames();
        for (size_t i = 0; i < names.size(); ++i)
            out << i << " " << names[i] << " (" << library.ReadMacro(names[i]).size()
                << " actions)\n";
        return kExitOk;
    }
    if (verbName == "show") {
        const std::vector<std::string> names = library.ReadNames();
        const std::optional<int> index = FindMacroName(names, operands[1]);
        if (!index) {
            err << "quilletctl: there is no macro named \"" << operands[1] << "\"\n";
            return kExitRefused;
        }
        const std::string& name = names[static_cast<size_t>(*index)];
        const std::vector<MacroAction> actions = library.ReadMacro(name);
        out << name << " (index " << *index << ", " << actions.size() << " actions)\n";
        for (size_t i = 0; i < actions.size(); ++i)
            out << "  " << i << ": " << Describe(actions[i]) << "   ["
                << FormatMacroAction(actions[i]) << "]\n";
        return kExitOk;
    }
    if (verbName == "add") return Report(AddMacro(library, operands[1]), out, err);
    if (verbName == "rename")
        return Report(RenameMacro(library, operands[1], operands[2]), out, err);
    if (verbName == "import")
        return Report(ImportMacro(library, PathFromUtf8(operands[1])), out, err);
    if (verbName == "export")
        return Report(
            ExportMacro(library, operands[1], PathFromUtf8(operands[2]), ExportMode::KeepExisting),
            out, err);

    // delete: the profiles' key layers play macros by index and follow the deletion.
    const std::vector<std::string> names = library.ReadNames();
    const std::optional<int> index = FindMacroName(names, operands[1]);
    if (!index) {
        err << "quilletctl: there is no macro named \"" << operands[1] << "\"\n";
        return kExitRefused;
    }
    const std::vector<std::string> playing = ProfilesPlayingMacro(store, *kind, *index);
    if (!playing.empty() && !options.yes) {
        err << "quilletctl: the macro \"" << names[static_cast<size_t>(*index)]
            << "\" is assigned to buttons in the profiles";
        for (const std::string& p : playing)
            err << " " << p;
        err << "; give --yes to delete it (those buttons get their default function back)\n";
        return kExitRefused;
    }
    const MacroOutcome deleted = DeleteMacro(library, names[static_cast<size_t>(*index)]);
    if (!deleted.Ok()) return Report(deleted, out, err);
    const KeyLayerImage factory =
        *kind == DeviceKind::Mouse ? DefaultMouseKeyLayer() : DefaultKeyboardKeyLayer();
    KeyRepairCount repaired;
    const bool saved = RepairProfilesAfterDelete(store, *kind, *index, factory, &repaired);
    out << deleted.detail << "\n";
    if (repaired.restored + repaired.renumbered > 0)
        out << "profiles: " << repaired.restored << " buttons restored, " << repaired.renumbered
            << " renumbered\n";
    if (!saved) {
        err << "quilletctl: a profile could not be repaired; see the log\n";
        return kExitFiles;
    }
    return kExitOk;
}

namespace {

// The data and program folders and the mouse's folder, seeded as at the program's start.
struct MouseFolders {
    std::unique_ptr<ProfileStore> store;
    fs::path folder;
    fs::path program;
};

std::optional<MouseFolders> OpenMouseFolders(const FileOptions& files, std::ostream& err) {
    const std::optional<fs::path> data = DataFolder(files, err);
    if (!data) return std::nullopt;
    std::optional<fs::path> program;
    if (files.programDir)
        program = PathFromUtf8(*files.programDir);
    else
        program = platform::ProgramFolder();
    if (!program) {
        err << "quilletctl: the program's folder is not known: give --program-dir DIR\n";
        return std::nullopt;
    }
    MouseFolders folders;
    folders.store = std::make_unique<ProfileStore>(*data, *program);
    folders.store->SetProcessLocks(&platform::SystemProcessLocks());
    const std::optional<fs::path> folder = folders.store->KindFolder(DeviceKind::Mouse);
    if (!folder) {
        err << "quilletctl: the folder " << Utf8FromPath(*data / "ms") << " could not be created\n";
        return std::nullopt;
    }
    folders.folder = *folder;
    folders.program = *program;
    if (!SeedMacroLibrary(DeviceKind::Mouse, *folder, *program).ok)
        err << "quilletctl: warning: the cursor scripts could not all be copied from "
            << Utf8FromPath(*program) << "\n";
    return folders;
}

// Notes a profile that the controller could not save.
class ProfileSaveWatch : public ControllerObserver {
  public:
    void OnControllerEvent(const ControllerEvent& event) override {
        if (event.type == ControllerEventType::Failed && event.what.rfind("saving", 0) == 0)
            failed_.store(true);
    }
    bool Failed() const { return failed_.load(); }

  private:
    std::atomic<bool> failed_{false};
};

void PrintTransfer(const char* what, const TransferResult& r, std::ostream& out) {
    out << what << ": " << TransferStatusName(r.status);
    if (r.status == TransferStatus::Sent) out << " (" << r.bytes << " bytes)";
    out << "\n";
}

}  // namespace

int ScriptCommand(const FileOptions& files, const std::vector<std::string>& operands,
                  std::ostream& out, std::ostream& err) {
    const char* usage =
        "quilletctl: usage: script show N | import N FILE | export N FILE | reset N  (N 1-4)\n";
    const std::string verb = operands.empty() ? "" : operands[0];
    const size_t wanted = verb == "show" || verb == "reset"      ? 2
                          : verb == "import" || verb == "export" ? 3
                                                                 : 0;
    if (wanted == 0 || operands.size() != wanted) {
        err << usage;
        return kExitUsage;
    }
    const std::string& number = operands[1];
    if (number.size() != 1 || number[0] < '1' || number[0] > '0' + kCursorSlots) {
        err << "quilletctl: the script number is 1 to " << kCursorSlots << ", not \"" << number
            << "\"\n";
        return kExitUsage;
    }
    const int slot = number[0] - '1';
    const std::optional<MouseFolders> folders = OpenMouseFolders(files, err);
    if (!folders) return kExitFiles;
    CursorScripts scripts(folders->folder, folders->program);

    if (verb == "show") {
        const std::optional<fs::path> path = scripts.ScriptPath(slot);
        if (!path) {
            err << "quilletctl: the mouse's macro index lists no script " << number << "\n";
            return kExitFiles;
        }
        out << "script " << number << " (" << Utf8FromPath(path->filename()) << ", "
            << scripts.ReadScript(slot).size() << " actions)\n";
        for (int b = 0; b < kBulletsPerScript; ++b) {
            const Bullet bullet = scripts.LoadBullet(slot, b);
            if (!bullet.delayMs && !bullet.dx && !bullet.dy) continue;
            out << "  bullet " << b + 1 << ": ";
            out << (bullet.delayMs ? std::to_string(*bullet.delayMs) + " ms" : "-") << ", ";
            out << (bullet.dx
                        ? std::string(bullet.left ? "left " : "right ") + std::to_string(*bullet.dx)
                        : "-")
                << ", ";
            out << (bullet.dy
                        ? std::string(bullet.up ? "up " : "down ") + std::to_string(*bullet.dy)
                        : "-")
                << "\n";
        }
        return kExitOk;
    }
    ScriptOutcome outcome;
    if (verb == "import")
        outcome = scripts.Import(slot, PathFromUtf8(operands[2]));
    else if (verb == "export")
        outcome = scripts.Export(slot, PathFromUtf8(operands[2]));
    else
        outcome = scripts.Reset(slot);
    if (outcome.Ok()) {
        out << outcome.detail << "\n";
        return kExitOk;
    }
    err << "quilletctl: " << outcome.detail << "\n";
    switch (outcome.result) {
        case MacroResult::WriteFailed:
        case MacroResult::ReadFailed:
        case MacroResult::Missing:
            return kExitFiles;
        default:
            return kExitRefused;
    }
}

int MouseSaveCommand(HidBackend* backend, const FileOptions& files, std::ostream& out,
                     std::ostream& err) {
    std::optional<MouseFolders> folders = OpenMouseFolders(files, err);
    if (!folders) return kExitFiles;
    // The same save as the key page's button, on the mouse's controller.
    ProfileSaveWatch saveFailed;
    MouseController mouse(backend, TransportTiming{}, folders->store.get(), MouseCommandTiming());
    mouse.SetObserver(&saveFailed);
    if (!ConnectMouse(mouse, backend, err)) return kExitNoDevice;
    // The device profile is written back with the key layer: it keeps its own record and
    // pointer values, as it does in the program, where the profile was loaded at the arrival.
    mouse.LoadStoredSettings();
    mouse.LoadStoredDeviceProfile();
    MouseReadReport report;
    const int read = mouse.ReadAllNow(&report);
    // The read's own re-stores are not sent; the save sends what it says.
    mouse.DiscardPendingNow();
    if (read != kResultSuccess) {
        err << "quilletctl: the mouse could not be read (" << read << ")";
        if (!report.failedStep.empty()) err << " at " << report.failedStep;
        err << "\n";
        return kExitDevice;
    }
    KeyPageSaveResult r;
    mouse.SaveKeyPageNow(&r);
    PrintTransfer("cursor scripts", r.scripts, out);
    PrintTransfer("macros", r.macros, out);
    out << "key layer " << mouse.Model().ActiveLayer() << ": "
        << (r.keyLayerSent ? "sent" : "not sent") << "\n";
    if (saveFailed.Failed()) err << "quilletctl: the selected device profile could not be saved\n";
    if (r.Ok()) return kExitOk;
    err << "quilletctl: " << r.detail << "\n";
    return r.macros.status == TransferStatus::TooLarge ? kExitRefused : kExitDevice;
}

}  // namespace vq::cli
