#include "cli/profile_commands.h"

#include <functional>
#include <map>
#include <memory>
#include <ostream>

#include "core/keyboard/keyboard_model.h"
#include "core/keyboard/mousepad_model.h"
#include "core/mouse/mouse_model.h"
#include "core/profile/profile_store.h"
#include "core/profile/startup_fill.h"
#include "core/util/file_names.h"
#include "platform/folders.h"
#include "platform/process_lock.h"

namespace vq::cli {

const char* const kProfileUsage =
    "  profile list KIND FAMILY            the family's profiles ('*' selected, '->' linked)\n"
    "  profile add KIND FAMILY [NAME]      a profile from the shipped default (default name\n"
    "                                      profileN), selected\n"
    "  profile delete KIND FAMILY NAME\n"
    "  profile copy KIND FAMILY NAME       a copy named \"NAME copy\", selected\n"
    "  profile rename KIND FAMILY NAME NEW\n"
    "  profile import KIND FAMILY FILE [NAME]\n"
    "  profile export KIND FAMILY NAME FILE\n"
    "  profile reset KIND FAMILY           the selected profile to the shipped default\n"
    "  profile select KIND FAMILY NAME\n"
    "  profile link KIND FAMILY NAME PROGRAM\n"
    "  profile unlink KIND FAMILY NAME\n"
    "             KIND ms, kb or mp; FAMILY device, light or key (mp: light only)\n";

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 5;  // the operation refused (a name, the last profile, a link, ...)
constexpr int kExitFiles = 6;    // a folder, index, default or profile file problem

// The store on the chosen folders, or a message why there is none.
std::unique_ptr<ProfileStore> OpenStore(const FileOptions& options, std::ostream& err) {
    platform::SystemDocumentsFolder documents;
    std::optional<std::filesystem::path> explicitData;
    if (options.dataDir) explicitData = PathFromUtf8(*options.dataDir);
    const std::optional<std::filesystem::path> data = ResolveDataFolder(explicitData, &documents);
    if (!data) {
        err << "quilletctl: no data folder: give --data-dir DIR or set QUILLET_DATA_DIR\n";
        return nullptr;
    }
    std::optional<std::filesystem::path> program;
    if (options.programDir)
        program = PathFromUtf8(*options.programDir);
    else
        program = platform::ShippedFilesFolder();
    if (!program) {
        err << "quilletctl: the program's folder is not known: give --program-dir DIR\n";
        return nullptr;
    }
    auto store = std::make_unique<ProfileStore>(*data, *program);
    // The window may be editing the same profiles.
    store->SetProcessLocks(&platform::SystemProcessLocks());
    return store;
}

// A user's name as a message shows it: control characters escaped, not endless.
std::string Shown(const std::string& name) {
    const std::string shown = EscapeForDisplay(name.substr(0, 60));
    return name.size() > 60 ? shown + "..." : shown;
}

std::string FamilyLabel(DeviceKind kind, ProfileFamily family) {
    return std::string(DeviceKindPrefix(kind)) + " " + FamilyName(family);
}

std::string FileShown(const std::filesystem::path& path) {
    return EscapeForDisplay(Utf8FromPath(path));
}

// Reports a family whose fill failed; true when it did.
bool ReportFillFailure(const FamilyFill& fill, std::ostream& err) {
    const std::string what = FamilyLabel(fill.kind, fill.family);
    switch (fill.result) {
        case FamilyFillResult::Listed:
        case FamilyFillResult::Seeded:
            return false;
        case FamilyFillResult::Relisted:
            err << "quilletctl: " << what << ": the index had no list of these profiles; the "
                << fill.index.names.size() << " profile files in the folder are listed\n";
            return false;
        case FamilyFillResult::DefaultMissing:
            err << "quilletctl: " << what << ": the shipped default " << FileShown(fill.file)
                << " is missing\n";
            return true;
        case FamilyFillResult::DefaultBadFormat:
            err << "quilletctl: " << what << ": the shipped default " << FileShown(fill.file)
                << " is not a profile file\n";
            return true;
        case FamilyFillResult::IndexUnreadable:
            err << "quilletctl: " << what << ": the profile index " << FileShown(fill.file)
                << " cannot be read (" << DescribeFileProblem(fill.problem)
                << "); nothing was changed\n";
            return true;
        case FamilyFillResult::WriteFailed:
            err << "quilletctl: " << what << ": " << FileShown(fill.file)
                << " could not be written: " << DescribeFileProblem(fill.problem) << "\n";
            return true;
    }
    return true;
}

// The start-up fill of one kind, as the program does it; false when it failed.
bool FillKind(ProfileStore& store, DeviceKind kind, std::vector<FamilyFill>& fills,
              std::ostream& err) {
    const KindFill fill = FillKindAtStart(store, kind);
    bool ok = true;
    if (!fill.recovery.ok()) {
        err << "quilletctl: " << DeviceKindPrefix(kind) << ": "
            << DescribeProfileResult(fill.recovery) << "\n";
        ok = false;
    }
    if (!fill.cursorScriptsSeeded)
        err << "quilletctl: warning: the cursor scripts could not all be copied from "
            << FileShown(store.ProgramFolder()) << "\n";
    for (const FamilyFill& family : fill.families) {
        if (ReportFillFailure(family, err)) ok = false;
        fills.push_back(family);
    }
    return ok;
}

int ExitFor(const ProfileResult& result) {
    switch (result.error) {
        case ProfileError::None:
            return kExitOk;
        case ProfileError::SourceMissing:
        case ProfileError::SourceBadFormat:
        case ProfileError::IndexUnreadable:
        case ProfileError::WriteFailed:
            return kExitFiles;
        case ProfileError::NoSuchFamily:
            return kExitUsage;
        default:
            return kExitRefused;
    }
}

// A model of the kind holding the selected profiles, as the program's would after its saves.
std::unique_ptr<ProfilePayloadModel> ModelFromProfiles(ProfileStore& store, DeviceKind kind) {
    std::unique_ptr<ProfilePayloadModel> model;
    switch (kind) {
        case DeviceKind::Mouse:
            model = std::make_unique<MouseModel>();
            break;
        case DeviceKind::Keyboard:
            model = std::make_unique<KeyboardModel>();
            break;
        case DeviceKind::Mousepad:
            model = std::make_unique<MousepadModel>();
            break;
    }
    for (ProfileFamily family : FamiliesOf(kind))
        store.LoadProfile(kind, family, store.ReadIndex(kind, family).selected, *model);
    return model;
}

struct Verb {
    size_t minOperands, maxOperands;  // after KIND FAMILY
    std::function<ProfileResult(ProfileStore&, DeviceKind, ProfileFamily,
                                const std::vector<std::string>&)>
        run;
    const char* done;  // "added", ...
};

const std::map<std::string, Verb>& Verbs() {
    using S = ProfileStore;
    using A = const std::vector<std::string>&;
    using K = DeviceKind;
    using F = ProfileFamily;
    static const std::map<std::string, Verb> verbs = {
        {"add",
         {0, 1,
          [](S& s, K k, F f, A a) {
              return a.empty() ? s.AddProfile(k, f) : s.AddProfile(k, f, a[0]);
          },
          "added"}},
        {"delete",
         {1, 1,
          [](S& s, K k, F f, A a) { return s.DeleteProfile(k, f, ProfileTarget::Named(a[0])); },
          "deleted"}},
        {"copy",
         {1, 1, [](S& s, K k, F f, A a) { return s.CopyProfile(k, f, ProfileTarget::Named(a[0])); },
          "copied to"}},
        {"rename",
         {2, 2,
          [](S& s, K k, F f, A a) {
              return s.RenameProfile(k, f, ProfileTarget::Named(a[0]), a[1]);
          },
          "renamed to"}},
        {"import",
         {1, 2,
          [](S& s, K k, F f, A a) {
              return a.size() == 1 ? s.ImportProfile(k, f, PathFromUtf8(a[0]))
                                   : s.ImportProfile(k, f, PathFromUtf8(a[0]), a[1]);
          },
          "imported as"}},
        {"export",
         {2, 2,
          [](S& s, K k, F f, A a) {
              return s.ExportProfile(k, f, ProfileTarget::Named(a[0]), PathFromUtf8(a[1]));
          },
          "exported"}},
        {"reset",
         {0, 0,
          [](S& s, K k, F f, A) {
              const std::unique_ptr<ProfilePayloadModel> model = ModelFromProfiles(s, k);
              return s.ResetProfile(k, f, model.get());
          },
          "reset to the shipped default:"}},
        {"select",
         {1, 1,
          [](S& s, K k, F f, A a) {
              ProfileResult r;
              const FamilyIndex index = s.ReadIndex(k, f);
              for (size_t i = 0; i < index.names.size() && r.index < 0; ++i)
                  if (index.names[i] == a[0]) r.index = static_cast<int>(i);
              for (size_t i = 0; i < index.names.size() && r.index < 0; ++i)
                  if (EqualsNoCase(index.names[i], a[0])) r.index = static_cast<int>(i);
              if (r.index < 0) {
                  r.error = ProfileError::NoSelection;
                  r.name = a[0];
                  return r;
              }
              r.name = index.names[static_cast<size_t>(r.index)];
              if (!s.SetSelection(k, f, r.index)) {
                  r.error = ProfileError::WriteFailed;
                  r.file = s.IndexPath(k);
              }
              return r;
          },
          "selected"}},
        {"link",
         {2, 2,
          [](S& s, K k, F f, A a) { return s.LinkProfile(k, f, ProfileTarget::Named(a[0]), a[1]); },
          "linked"}},
        {"unlink",
         {1, 1,
          [](S& s, K k, F f, A a) { return s.UnlinkProfile(k, f, ProfileTarget::Named(a[0])); },
          "unlinked"}},
    };
    return verbs;
}

int ListFamily(ProfileStore& store, DeviceKind kind, ProfileFamily family, std::ostream& out) {
    const FamilyIndex index = store.ReadIndex(kind, family);
    for (size_t i = 0; i < index.names.size(); ++i) {
        out << (static_cast<int>(i) == index.selected ? "* " : "  ") << Shown(index.names[i]);
        const ProfileLink link = store.Link(kind, family, static_cast<int>(i));
        if (link.linked) out << "  -> " << EscapeForDisplay(link.programPath);
        out << "\n";
    }
    return kExitOk;
}

}  // namespace

int ProfilesCommand(const FileOptions& options, std::ostream& out, std::ostream& err) {
    std::unique_ptr<ProfileStore> store = OpenStore(options, err);
    if (!store) return kExitFiles;
    out << "data folder: " << FileShown(store->DataFolder()) << "\n";
    std::vector<FamilyFill> fills;
    bool ok = true;
    for (DeviceKind kind : kFillOrder)
        ok = FillKind(*store, kind, fills, err) && ok;
    for (const FamilyFill& fill : fills) {
        if (fill.result != FamilyFillResult::Listed && fill.result != FamilyFillResult::Seeded &&
            fill.result != FamilyFillResult::Relisted)
            continue;
        out << FamilyLabel(fill.kind, fill.family) << ":";
        for (size_t i = 0; i < fill.index.names.size(); ++i)
            out << (i ? ", " : " ") << EscapeForDisplay(fill.index.names[i])
                << (static_cast<int>(i) == fill.index.selected ? "*" : "");
        out << "\n";
    }
    return ok ? kExitOk : kExitFiles;
}

int ProfileCommand(const FileOptions& options, const std::vector<std::string>& operands,
                   std::ostream& out, std::ostream& err) {
    const auto usage = [&] {
        err << "quilletctl: usage:\n" << kProfileUsage;
        return kExitUsage;
    };
    if (operands.size() < 3) return usage();
    const std::string& verbName = operands[0];
    const auto verb = Verbs().find(verbName);
    if (verbName != "list" && verb == Verbs().end()) {
        err << "quilletctl: unknown profile command " << Shown(verbName) << "\n";
        return usage();
    }
    const std::vector<std::string> rest(operands.begin() + 3, operands.end());
    if (verbName == "list"
            ? !rest.empty()
            : rest.size() < verb->second.minOperands || rest.size() > verb->second.maxOperands)
        return usage();
    const std::optional<DeviceKind> kind = ParseKind(operands[1]);
    const std::optional<ProfileFamily> family = ParseFamily(operands[2]);
    if (!kind) {
        err << "quilletctl: unknown kind " << Shown(operands[1]) << " (ms, kb or mp)\n";
        return kExitUsage;
    }
    if (!family) {
        err << "quilletctl: unknown family " << Shown(operands[2]) << " (device, light or key)\n";
        return kExitUsage;
    }
    if (!HasFamily(*kind, *family)) {
        err << "quilletctl: the mousepad has light profiles only\n";
        return kExitUsage;
    }
    std::unique_ptr<ProfileStore> store = OpenStore(options, err);
    if (!store) return kExitFiles;
    // The family must exist as the program would have made it at its first start.
    std::vector<FamilyFill> fills;
    if (!FillKind(*store, *kind, fills, err)) return kExitFiles;
    if (verbName == "list") return ListFamily(*store, *kind, *family, out);

    const ProfileResult result = verb->second.run(*store, *kind, *family, rest);
    const std::string what = FamilyLabel(*kind, *family);
    if (!result.ok()) {
        err << "quilletctl: cannot " << verbName << " " << what << " profile";
        if (!rest.empty() && verbName != "import") err << " \"" << Shown(rest[0]) << "\"";
        err << ": " << DescribeProfileResult(result) << "\n";
        return ExitFor(result);
    }
    out << verb->second.done << " " << what << " profile " << Shown(result.name) << "\n";
    return kExitOk;
}

}  // namespace vq::cli
