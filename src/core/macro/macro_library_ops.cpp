#include "core/macro/macro_library_ops.h"

#include <algorithm>
#include <system_error>

#include "core/device/key_assignment.h"
#include "core/keyboard/keyboard_model.h"
#include "core/mouse/mouse_model.h"
#include "core/profile/profile_file.h"
#include "core/profile/profile_payload.h"
#include "core/profile/profile_store.h"
#include "core/util/atomic_file.h"
#include "core/util/ini_file.h"
#include "core/util/log.h"

namespace vq {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTextTooMany = "message_text_17";
constexpr std::string_view kTextNameTaken = "message_text_5";
// A macro file is a small text; anything larger is not one.
constexpr size_t kMaxMacroFileBytes = 4u << 20;

// A user's name as a message may show it: one line, not endless.
std::string Shown(std::string_view name) {
    std::string shown;
    for (char c : name.substr(0, 60))
        shown += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    return name.size() > 60 ? shown + "..." : shown;
}

MacroOutcome Failure(MacroResult result, std::string detail, std::string_view textId = {},
                     int textArg = 0) {
    MacroOutcome outcome;
    outcome.result = result;
    outcome.textId = std::string(textId);
    outcome.textArg = textArg;
    outcome.detail = std::move(detail);
    Logf(LogLevel::Warning, "macro: %s", outcome.detail.c_str());
    return outcome;
}

MacroOutcome Success(std::string name, int index, std::string detail) {
    MacroOutcome outcome;
    outcome.name = std::move(name);
    outcome.index = index;
    outcome.detail = std::move(detail);
    return outcome;
}

// Refuses a name that cannot be a macro file's name.
std::optional<MacroOutcome> CheckName(std::string_view name) {
    const NameCheck check = CheckFileStem(name, kMacroExtension);
    if (check == NameCheck::Ok) return std::nullopt;
    return Failure(MacroResult::BadName,
                   "the name \"" + Shown(name) + "\" cannot be used: " + DescribeNameCheck(check));
}

bool FileExists(const std::optional<fs::path>& path) {
    std::error_code ec;
    return path && fs::exists(*path, ec);
}

std::optional<MacroOutcome> CheckTaken(const MacroLibrary& library,
                                       std::span<const std::string> names, std::string_view name,
                                       std::optional<int> except) {
    const std::optional<int> other = FindMacroName(names, name);
    if (other && other != except)
        return Failure(MacroResult::DuplicateName,
                       "a macro named \"" + Shown(names[static_cast<size_t>(*other)]) + "\" exists",
                       kTextNameTaken);
    if (!except || !EqualsNoCase(names[static_cast<size_t>(*except)], name)) {
        const std::optional<fs::path> path = library.MacroPath(name);
        if (FileExists(path))
            return Failure(MacroResult::Exists,
                           "the file " + Utf8FromPath(*path) +
                               " is in the macro folder but the library does not list it; remove "
                               "it or choose another name");
    }
    return std::nullopt;
}

std::optional<MacroOutcome> CheckRoom(std::span<const std::string> names) {
    if (names.size() < static_cast<size_t>(kMaxMacros)) return std::nullopt;
    return Failure(MacroResult::TooMany,
                   "the library holds " + std::to_string(kMaxMacros) + " macros already",
                   kTextTooMany, kMaxMacros);
}

MacroOutcome WriteFailure(const std::string& what) {
    return Failure(MacroResult::WriteFailed, what + " could not be written");
}

// Writes the index; a refusal names the entry that the index cannot hold.
std::optional<MacroOutcome> WriteIndex(MacroLibrary& library, std::span<const std::string> names) {
    std::string bad;
    switch (library.WriteNames(names, &bad)) {
        case MacroResult::Ok:
            return std::nullopt;
        case MacroResult::BadName:
        case MacroResult::DuplicateName:
            return Failure(MacroResult::BadName, "the macro index lists \"" + Shown(bad) +
                                                     "\", which is not a usable macro name; "
                                                     "nothing was changed");
        default:
            return WriteFailure("the macro index " + Utf8FromPath(library.IndexPath()));
    }
}

// The type byte of an entry that plays a macro.
bool PlaysMacro(const KeyAssignment& code) {
    return code.type == key_type::kMacro || code.type == key_type::kMacroCounted;
}

}  // namespace

std::optional<int> FindMacroName(std::span<const std::string> names, std::string_view name) {
    for (size_t i = 0; i < names.size(); ++i)
        if (EqualsNoCase(names[i], name)) return static_cast<int>(i);
    return std::nullopt;
}

std::string NextMacroName(const MacroLibrary& library, std::span<const std::string> names) {
    for (size_t n = names.size() + 1;; ++n) {
        std::string name = "name_" + std::to_string(n);
        if (!FindMacroName(names, name) && !FileExists(library.MacroPath(name))) return name;
    }
}

MacroOutcome AddMacro(MacroLibrary& library, std::optional<std::string_view> name) {
    std::vector<std::string> names = library.ReadNames();
    if (auto refused = CheckRoom(names)) return *refused;
    std::string newName;
    if (name) {
        if (auto refused = CheckName(*name)) return *refused;
        if (auto refused = CheckTaken(library, names, *name, std::nullopt)) return *refused;
        newName = std::string(*name);
    } else {
        newName = NextMacroName(library, names);
    }
    names.push_back(newName);
    if (auto failed = WriteIndex(library, names)) return *failed;
    return Success(newName, static_cast<int>(names.size()) - 1, "added " + Shown(newName));
}

MacroOutcome RenameMacro(MacroLibrary& library, std::string_view oldName,
                         std::string_view newName) {
    std::vector<std::string> names = library.ReadNames();
    const std::optional<int> index = FindMacroName(names, oldName);
    if (!index)
        return Failure(MacroResult::NoSuchMacro,
                       "there is no macro named \"" + Shown(oldName) + "\"");
    const std::string current = names[static_cast<size_t>(*index)];
    if (current == newName) return Success(current, *index, "the name is unchanged");
    if (auto refused = CheckName(newName)) return *refused;
    if (auto refused = CheckTaken(library, names, newName, index)) return *refused;

    const std::optional<fs::path> from = library.MacroPath(current);
    const std::optional<fs::path> to = library.MacroPath(newName);
    if (!from || !to) return Failure(MacroResult::BadName, "the macro's file cannot be named");
    const bool caseOnly = EqualsNoCase(current, newName);
    std::error_code ec;
    const bool hasFile = fs::exists(*from, ec);
    if (hasFile && !caseOnly) {
        // The new file first, with its own name inside; the old one goes after the index.
        const IniLoad load = LoadIniFile(*from);
        if (load.status != IniLoadStatus::Ok)
            return Failure(MacroResult::ReadFailed,
                           "the macro file " + Utf8FromPath(*from) + " could not be read");
        IniDocument doc = load.document;
        if (library.Kind() == DeviceKind::Mouse && !doc.Write("MACROSELECTNAME", "name", newName))
            return Failure(MacroResult::BadName, "the name cannot be stored in the macro file");
        if (!SaveIniFile(*to, doc)) return WriteFailure("the macro file " + Utf8FromPath(*to));
    } else if (hasFile) {
        if (library.RenameMacroFile(current, newName) != MacroResult::Ok)
            return WriteFailure("the macro file " + Utf8FromPath(*from));
    }
    names[static_cast<size_t>(*index)] = std::string(newName);
    if (auto failed = WriteIndex(library, names)) {
        // Undo the file half so that the index and the files agree.
        if (hasFile && !caseOnly)
            fs::remove(*to, ec);
        else if (hasFile)
            library.RenameMacroFile(newName, current);
        return *failed;
    }
    if (hasFile && !caseOnly) {
        fs::remove(*from, ec);
        if (ec)
            Logf(LogLevel::Warning, "macro: the old file %s stays: %s", Utf8FromPath(*from).c_str(),
                 ec.message().c_str());
    }
    return Success(std::string(newName), *index,
                   "renamed " + Shown(current) + " to " + Shown(newName));
}

MacroOutcome SaveMacro(MacroLibrary& library, std::string_view name,
                       std::span<const MacroAction> actions) {
    const std::vector<std::string> names = library.ReadNames();
    const std::optional<int> index = FindMacroName(names, name);
    if (!index)
        return Failure(MacroResult::NoSuchMacro, "there is no macro named \"" + Shown(name) + "\"");
    const std::string& listed = names[static_cast<size_t>(*index)];
    const MacroResult written = library.WriteMacro(listed, actions);
    if (written == MacroResult::BadName)
        return Failure(written, "the macro's actions cannot be stored under its name");
    if (written != MacroResult::Ok) return WriteFailure("the macro " + Shown(listed));
    return Success(listed, *index, "saved " + Shown(listed));
}

MacroOutcome DeleteMacro(MacroLibrary& library, std::string_view name) {
    std::vector<std::string> names = library.ReadNames();
    const std::optional<int> index = FindMacroName(names, name);
    if (!index)
        return Failure(MacroResult::NoSuchMacro, "there is no macro named \"" + Shown(name) + "\"");
    const std::string removed = names[static_cast<size_t>(*index)];
    names.erase(names.begin() + *index);
    if (auto failed = WriteIndex(library, names)) return *failed;
    // A file that cannot be removed only stays as a spare: the library is already consistent.
    if (library.DeleteMacroFile(removed) != MacroResult::Ok)
        Logf(LogLevel::Warning, "macro: the file of the deleted macro %s stays",
             Shown(removed).c_str());
    return Success(removed, *index, "deleted " + Shown(removed));
}

MacroOutcome ImportMacro(MacroLibrary& library, const fs::path& source) {
    const FileBytes file = ReadWholeFile(source, kMaxMacroFileBytes);
    switch (file.status) {
        case FileReadStatus::Ok:
            break;
        case FileReadStatus::Missing:
            return Failure(MacroResult::ReadFailed,
                           "the file " + Utf8FromPath(source) + " does not exist");
        case FileReadStatus::TooLarge:
            return Failure(MacroResult::NotMacroFile,
                           "the file " + Utf8FromPath(source) + " is too large for a macro file");
        case FileReadStatus::Failed:
            return Failure(MacroResult::ReadFailed,
                           "the file " + Utf8FromPath(source) + " could not be read");
    }
    int badRecord = -1;
    const ActionFileCheck check =
        CheckActionFile(file.bytes, kMaxImportedActions, nullptr, &badRecord);
    if (check != ActionFileCheck::Ok) {
        std::string why = DescribeActionFileCheck(check);
        if (check == ActionFileCheck::BadRecord) why += ": record " + std::to_string(badRecord);
        return Failure(MacroResult::NotMacroFile,
                       "the file " + Utf8FromPath(source) + " was not imported: " + why);
    }
    std::vector<std::string> names = library.ReadNames();
    if (auto refused = CheckRoom(names)) return *refused;
    const std::string name = NextMacroName(library, names);
    const std::optional<fs::path> target = library.MacroPath(name);
    if (!target) return Failure(MacroResult::BadName, "no file name for the new macro");
    // The file first: a crash before the index is written leaves only a spare file.
    if (!WriteFileAtomic(*target, file.bytes))
        return WriteFailure("the macro file " + Utf8FromPath(*target));
    names.push_back(name);
    if (auto failed = WriteIndex(library, names)) {
        std::error_code ec;
        fs::remove(*target, ec);
        return *failed;
    }
    return Success(name, static_cast<int>(names.size()) - 1,
                   "imported " + Utf8FromPath(source) + " as " + name);
}

MacroOutcome ExportMacro(const MacroLibrary& library, std::string_view name, const fs::path& target,
                         ExportMode mode) {
    const std::vector<std::string> names = library.ReadNames();
    const std::optional<int> index = FindMacroName(names, name);
    if (!index)
        return Failure(MacroResult::NoSuchMacro, "there is no macro named \"" + Shown(name) + "\"");
    const std::string& listed = names[static_cast<size_t>(*index)];
    std::error_code ec;
    if (mode == ExportMode::KeepExisting && fs::exists(target, ec))
        return Failure(MacroResult::Exists,
                       "the file " + Utf8FromPath(target) + " exists and was left as it is");
    const std::optional<fs::path> source = library.MacroPath(listed);
    if (!source) return Failure(MacroResult::BadName, "the macro's file cannot be named");
    FileBytes file = ReadWholeFile(*source, kMaxMacroFileBytes);
    if (file.status == FileReadStatus::Missing) {
        // Never saved: an empty macro, as the library reads it.
        IniDocument doc;
        doc.Write("MACROACTIONCOUNT", "count", "0");
        if (library.Kind() == DeviceKind::Mouse) doc.Write("MACROSELECTNAME", "name", listed);
        file.bytes = doc.Serialize();
        file.status = FileReadStatus::Ok;
    }
    if (file.status != FileReadStatus::Ok)
        return Failure(MacroResult::ReadFailed,
                       "the macro file " + Utf8FromPath(*source) + " could not be read");
    if (!WriteFileAtomic(target, file.bytes)) return WriteFailure(Utf8FromPath(target));
    return Success(listed, *index, "exported " + Shown(listed) + " to " + Utf8FromPath(target));
}

MacroLibraryFill SeedMacroLibrary(DeviceKind kind, const fs::path& kindFolder,
                                  const fs::path& programFolder) {
    MacroLibrary library(kind, kindFolder);
    MacroLibraryFill fill;
    if (kind == DeviceKind::Mouse) {
        fill.ok = library.SeedCursorScripts(programFolder);
        fill.cursorNames = library.CursorNames();
    }
    fill.names = library.ReadNames();
    return fill;
}

// ---- key assignments

bool LayerPlaysMacro(std::span<const uint8_t> layer, size_t entries, int index) {
    for (size_t e = 0; e < entries; ++e) {
        const KeyAssignment code = KeyAssignment::At(layer, e);
        if (PlaysMacro(code) && code.param1 == index) return true;
    }
    return false;
}

KeyRepairCount RepairLayerAfterDelete(std::span<uint8_t> layer, std::span<const uint8_t> factory,
                                      size_t entries, int deleted) {
    KeyRepairCount count;
    for (size_t e = 0; e < entries; ++e) {
        KeyAssignment code = KeyAssignment::At(layer, e);
        if (!PlaysMacro(code)) continue;
        if (code.param1 == deleted) {
            KeyAssignment::At(factory, e).StoreAt(layer, e);
            ++count.restored;
        } else if (code.param1 > deleted) {
            --code.param1;
            code.StoreAt(layer, e);
            ++count.renumbered;
        }
    }
    return count;
}

namespace {

void Add(KeyRepairCount& total, const KeyRepairCount& part) {
    total.restored += part.restored;
    total.renumbered += part.renumbered;
}

}  // namespace

bool MouseMacroInUse(const MouseModel& model, int index) {
    for (int l = 0; l < kMouseSlots; ++l)
        if (const auto layer = model.KeyLayer(l);
            layer && LayerPlaysMacro(*layer, kMouseMacroEntries, index))
            return true;
    return false;
}

KeyRepairCount RepairMouseKeysAfterDelete(MouseModel& model, int deleted) {
    KeyRepairCount total;
    const MouseKeyLayer factory = model.FactoryBlock();
    for (int l = 0; l < kMouseSlots; ++l) {
        std::optional<MouseKeyLayer> layer = model.KeyLayer(l);
        if (!layer) continue;
        const KeyRepairCount part =
            RepairLayerAfterDelete(*layer, factory, kMouseMacroEntries, deleted);
        if (part.restored + part.renumbered == 0) continue;
        model.SetKeyLayer(l, *layer);
        Add(total, part);
    }
    return total;
}

bool KeyboardMacroInUse(const KeyboardModel& model, int index) {
    for (int l = 0; l < kKeyboardLayers; ++l)
        if (const auto layer = model.KeyLayer(l);
            layer && LayerPlaysMacro(*layer, kKeyboardMacroEntries, index))
            return true;
    return false;
}

KeyRepairCount RepairKeyboardKeysAfterDelete(KeyboardModel& model, int deleted) {
    KeyRepairCount total;
    const KeyboardKeyLayer factory = model.FactoryBlock();
    for (int l = 0; l < kKeyboardLayers; ++l) {
        std::optional<KeyboardKeyLayer> layer = model.KeyLayer(l);
        if (!layer) continue;
        const KeyRepairCount part =
            RepairLayerAfterDelete(*layer, factory, kKeyboardMacroEntries, deleted);
        if (part.restored + part.renumbered == 0) continue;
        model.SetKeyLayer(l, *layer);
        Add(total, part);
    }
    return total;
}

namespace {

size_t EntriesOf(DeviceKind kind) {
    return kind == DeviceKind::Mouse ? kMouseMacroEntries : kKeyboardMacroEntries;
}

// Runs `visit` on the payload of every device and key profile of the kind; `visit` returns true
// when it changed the payload, which is then written back.
template <typename Visit>
bool ForEachKeyProfile(const ProfileStore& store, DeviceKind kind, Visit&& visit) {
    bool ok = true;
    for (ProfileFamily family : {ProfileFamily::Device, ProfileFamily::Key}) {
        if (!HasFamily(kind, family)) continue;
        for (const std::string& name : store.ReadIndex(kind, family).names) {
            const std::optional<fs::path> path = store.ProfilePath(kind, family, name);
            if (!path) continue;
            std::vector<uint8_t> payload(PayloadSize(kind, family), 0);
            if (payload.size() < kProfileKeyBlockSize) continue;
            if (ReadProfileFile(*path, payload) != ProfileReadResult::Ok) continue;
            if (!visit(name, std::span<uint8_t>(payload).first(kProfileKeyBlockSize))) continue;
            if (!WriteProfileFile(*path, payload, KindCode(kind))) ok = false;
        }
    }
    return ok;
}

}  // namespace

std::vector<std::string> ProfilesPlayingMacro(const ProfileStore& store, DeviceKind kind,
                                              int index) {
    std::vector<std::string> playing;
    ForEachKeyProfile(store, kind, [&](const std::string& name, std::span<uint8_t> layer) {
        if (LayerPlaysMacro(layer, EntriesOf(kind), index) &&
            std::find(playing.begin(), playing.end(), name) == playing.end())
            playing.push_back(name);
        return false;
    });
    return playing;
}

bool RepairProfilesAfterDelete(const ProfileStore& store, DeviceKind kind, int deleted,
                               const KeyLayerImage& factory, KeyRepairCount* count) {
    KeyRepairCount total;
    const bool ok = ForEachKeyProfile(store, kind, [&](const std::string&, std::span<uint8_t> l) {
        const KeyRepairCount part = RepairLayerAfterDelete(l, factory, EntriesOf(kind), deleted);
        Add(total, part);
        return part.restored + part.renumbered > 0;
    });
    if (count) *count = total;
    return ok;
}

}  // namespace vq

namespace vq {

MacroKeyLayers MouseMacroKeyLayers(MouseModel& model) {
    return {[&model](int index) { return MouseMacroInUse(model, index); },
            [&model](int deleted) { return RepairMouseKeysAfterDelete(model, deleted); }};
}

MacroKeyLayers KeyboardMacroKeyLayers(KeyboardModel& model) {
    return {[&model](int index) { return KeyboardMacroInUse(model, index); },
            [&model](int deleted) { return RepairKeyboardKeysAfterDelete(model, deleted); }};
}

MacroOutcome AskBeforeDelete(bool inUse, bool editOpen,
                             const std::function<bool(std::string_view textId)>& ask) {
    if (inUse && !ask("message_text_2"))
        return Failure(MacroResult::Cancelled, "the macro is in use; it was kept");
    if (editOpen)
        return Failure(MacroResult::Cancelled, "an edit is open; save or cancel it first",
                       "message_text_3");
    if (!ask("message_text_4")) return Failure(MacroResult::Cancelled, "the macro was kept");
    return MacroOutcome{};
}

MacroOutcome DeleteMacroAsked(MacroLibrary& library, std::string_view name,
                              const MacroKeyLayers& layers, bool editOpen,
                              const std::function<bool(std::string_view textId)>& ask,
                              KeyRepairCount* repaired) {
    const std::vector<std::string> names = library.ReadNames();
    const std::optional<int> index = FindMacroName(names, name);
    if (!index)
        return Failure(MacroResult::NoSuchMacro, "there is no macro named \"" + Shown(name) + "\"");
    // The repair belongs to the deletion: it runs after the last question, never before.
    const MacroOutcome asked = AskBeforeDelete(layers.inUse && layers.inUse(*index), editOpen, ask);
    if (!asked.Ok()) return asked;
    MacroOutcome outcome = DeleteMacro(library, names[static_cast<size_t>(*index)]);
    if (!outcome.Ok()) return outcome;
    const KeyRepairCount count = layers.repair ? layers.repair(*index) : KeyRepairCount{};
    if (repaired) *repaired = count;
    return outcome;
}

}  // namespace vq
