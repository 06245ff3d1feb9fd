#include "cli/profile_commands.h"

#include <memory>
#include <ostream>

#include "core/macro/macro_file.h"
#include "core/profile/profile_store.h"
#include "core/util/file_names.h"
#include "platform/folders.h"

namespace vq::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 5;  // a bad or taken name
constexpr int kExitFiles = 6;    // a folder, default or profile file problem

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
        program = platform::ProgramFolder();
    if (!program) {
        err << "quilletctl: the program's folder is not known: give --program-dir DIR\n";
        return nullptr;
    }
    return std::make_unique<ProfileStore>(*data, *program);
}

// A user's name as a message may show it: on one line, not endless.
std::string Shown(const std::string& name) {
    std::string shown;
    for (char c : name.substr(0, 60))
        shown += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    return name.size() > 60 ? shown + "..." : shown;
}

std::string FamilyLabel(DeviceKind kind, ProfileFamily family) {
    return std::string(DeviceKindPrefix(kind)) + " " + FamilyName(family);
}

// Reports a family whose first-run fill failed; true when it did.
bool ReportFillFailure(const ProfileStore& store, const FamilyFill& fill, std::ostream& err) {
    const std::string what = FamilyLabel(fill.kind, fill.family);
    const std::string file = Utf8FromPath(store.DefaultPath(fill.kind, fill.family));
    switch (fill.result) {
        case FamilyFillResult::Listed:
        case FamilyFillResult::Seeded:
            return false;
        case FamilyFillResult::DefaultMissing:
            err << "quilletctl: " << what << ": the shipped default " << file << " is missing\n";
            return true;
        case FamilyFillResult::DefaultBadFormat:
            err << "quilletctl: " << what << ": the shipped default " << file
                << " is not a profile file\n";
            return true;
        case FamilyFillResult::WriteFailed:
            err << "quilletctl: " << what << ": the first profile could not be written in "
                << Utf8FromPath(store.DataFolder()) << "\n";
            return true;
    }
    return true;
}

// The first-run fill of one kind, as the program does it at start.
bool FillKind(ProfileStore& store, DeviceKind kind, std::vector<FamilyFill>& fills,
              std::ostream& err) {
    bool ok = true;
    if (kind == DeviceKind::Mouse) {
        if (const std::optional<std::filesystem::path> folder = store.KindFolder(kind)) {
            MacroLibrary mouseMacros(kind, *folder);
            if (!mouseMacros.SeedCursorScripts(store.ProgramFolder()))
                err << "quilletctl: warning: the cursor scripts could not all be copied from "
                    << Utf8FromPath(store.ProgramFolder()) << "\n";
        }
    }
    for (FamilyFill& fill : store.InitProfileKind(kind)) {
        if (ReportFillFailure(store, fill, err)) ok = false;
        fills.push_back(std::move(fill));
    }
    return ok;
}

}  // namespace

int ProfilesCommand(const FileOptions& options, std::ostream& out, std::ostream& err) {
    std::unique_ptr<ProfileStore> store = OpenStore(options, err);
    if (!store) return kExitFiles;
    out << "data folder: " << Utf8FromPath(store->DataFolder()) << "\n";
    std::vector<FamilyFill> fills;
    bool ok = true;
    for (DeviceKind kind : {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad})
        ok = FillKind(*store, kind, fills, err) && ok;
    for (const FamilyFill& fill : fills) {
        if (fill.result != FamilyFillResult::Listed && fill.result != FamilyFillResult::Seeded)
            continue;
        out << FamilyLabel(fill.kind, fill.family) << ":";
        for (size_t i = 0; i < fill.index.names.size(); ++i)
            out << (i ? ", " : " ") << fill.index.names[i]
                << (static_cast<int>(i) == fill.index.selected ? "*" : "");
        out << "\n";
    }
    return ok ? kExitOk : kExitFiles;
}

int ProfileCommand(const FileOptions& options, const std::vector<std::string>& operands,
                   std::ostream& out, std::ostream& err) {
    if (operands.size() != 4 || operands[0] != "add") {
        err << "quilletctl: usage: profile add KIND FAMILY NAME (KIND ms, kb or mp; FAMILY "
               "device, light or key)\n";
        return kExitUsage;
    }
    const std::optional<DeviceKind> kind = ParseKind(operands[1]);
    const std::optional<ProfileFamily> family = ParseFamily(operands[2]);
    const std::string& name = operands[3];
    if (!kind) {
        err << "quilletctl: unknown kind " << operands[1] << " (ms, kb or mp)\n";
        return kExitUsage;
    }
    if (!family) {
        err << "quilletctl: unknown family " << operands[2] << " (device, light or key)\n";
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

    NameCheck why = NameCheck::Ok;
    const AddResult result = store->AddProfile(*kind, *family, name, &why);
    const std::string what = FamilyLabel(*kind, *family);
    switch (result) {
        case AddResult::Added:
            out << "added " << what << " profile " << Shown(name) << "\n";
            return kExitOk;
        case AddResult::BadName:
            err << "quilletctl: cannot add " << what << " profile \"" << Shown(name)
                << "\": " << DescribeNameCheck(why) << "\n";
            return kExitRefused;
        case AddResult::NameTaken:
            err << "quilletctl: cannot add " << what << " profile \"" << Shown(name)
                << "\": a profile of that name exists\n";
            return kExitRefused;
        case AddResult::DefaultMissing:
        case AddResult::DefaultBadFormat:
        case AddResult::WriteFailed:
            err << "quilletctl: cannot add " << what << " profile \"" << Shown(name)
                << "\": " << AddResultText(result) << "\n";
            return kExitFiles;
    }
    return kExitFiles;
}

}  // namespace vq::cli
