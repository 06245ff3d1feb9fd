#include "core/macro/macro_file.h"

#include <algorithm>
#include <system_error>

#include "core/util/atomic_file.h"
#include "core/util/ini_file.h"
#include "core/util/log.h"

namespace vq {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kActionCountSection = "MACROACTIONCOUNT";
constexpr std::string_view kActionSection = "MACROACTION";
constexpr std::string_view kSelectNameSection = "MACROSELECTNAME";
constexpr std::string_view kMacroCountSection = "MACROCOUNT";
constexpr std::string_view kMacroNameSection = "MACRONAME";
constexpr std::string_view kCursorCountSection = "CURSORCOUNT";
constexpr std::string_view kCursorNameSection = "CURSORNAME";
constexpr std::string_view kCountKey = "count";

// The most records an action file is read for; device memory holds far fewer.
constexpr int kMaxRecords = 10000;

std::string Key(int index) {
    return std::to_string(index);
}

// The leading signed decimal of a field, as the C library's atoi reads it.
int FieldNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    return LeadingInt(text.substr(i));
}

int ClampedCount(const IniDocument& doc, std::string_view section, const fs::path& path) {
    int count = doc.ReadInt(section, kCountKey, 0);
    if (count > kMaxRecords) {
        Logf(LogLevel::Warning, "%s claims %d entries; only %d are read",
             Utf8FromPath(path).c_str(), count, kMaxRecords);
        count = kMaxRecords;
    }
    return std::max(count, 0);
}

}  // namespace

// ---- records

std::optional<MacroAction> ParseMacroAction(std::string_view text) {
    if (std::count(text.begin(), text.end(), ',') < 5) return std::nullopt;
    MacroAction action;
    size_t cut = text.rfind(',');
    action.label = std::string(text.substr(cut + 1));
    std::string_view rest = text.substr(0, cut);
    // Each field after the last remaining comma, from the right.
    const auto takeLast = [&rest]() {
        const size_t comma = rest.rfind(',');
        const std::string_view field = rest.substr(comma + 1);
        rest = rest.substr(0, comma);
        return FieldNumber(field);
    };
    action.down = static_cast<uint16_t>(takeLast());
    action.code = static_cast<uint8_t>(takeLast());
    action.type = static_cast<uint8_t>(takeLast());
    action.delayHigh = static_cast<uint8_t>(takeLast());
    action.delayLow = static_cast<uint8_t>(FieldNumber(rest.substr(0, rest.find(','))));
    return action;
}

std::string FormatMacroAction(const MacroAction& a) {
    return std::to_string(a.delayLow) + "," + std::to_string(a.delayHigh) + "," +
           std::to_string(a.type) + "," + std::to_string(a.code) + "," + std::to_string(a.down) +
           "," + a.label;
}

// ---- action files

std::vector<std::optional<MacroAction>> ReadActionRecords(const fs::path& path) {
    const IniLoad load = LoadIniFile(path);
    std::vector<std::optional<MacroAction>> records;
    const int count = ClampedCount(load.document, kActionCountSection, path);
    records.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        records.push_back(ParseMacroAction(load.document.ReadString(kActionSection, Key(i), "0")));
    return records;
}

std::vector<MacroAction> ReadActionFile(const fs::path& path) {
    std::vector<MacroAction> actions;
    int index = 0;
    for (std::optional<MacroAction>& record : ReadActionRecords(path)) {
        if (record)
            actions.push_back(std::move(*record));
        else
            Logf(LogLevel::Warning, "%s: record %d is not an action; skipped",
                 Utf8FromPath(path).c_str(), index);
        ++index;
    }
    return actions;
}

bool WriteActionFile(const fs::path& path, std::span<const MacroAction> actions,
                     std::optional<std::string_view> selectName) {
    for (const MacroAction& action : actions)
        if (action.label.find_first_of(",\r\n") != std::string::npos) {
            Logf(LogLevel::Error, "%s: the label \"%s\" cannot be stored in a record",
                 Utf8FromPath(path).c_str(), action.label.c_str());
            return false;
        }
    return UpdateIniFile(path, [&](IniDocument& doc) {
        if (!doc.Write(kActionCountSection, kCountKey, Key(static_cast<int>(actions.size()))))
            return false;
        if (selectName && !doc.Write(kSelectNameSection, "name", *selectName)) return false;
        for (size_t i = 0; i < actions.size(); ++i)
            if (!doc.Write(kActionSection, Key(static_cast<int>(i)), FormatMacroAction(actions[i])))
                return false;
        return true;
    });
}

bool WriteActionRecords(const fs::path& path,
                        std::span<const std::pair<int, MacroAction>> records) {
    for (const auto& [index, action] : records)
        if (index < 0 || action.label.find_first_of(",\r\n") != std::string::npos) {
            Logf(LogLevel::Error, "%s: record %d cannot be stored", Utf8FromPath(path).c_str(),
                 index);
            return false;
        }
    return UpdateIniFile(path, [&](IniDocument& doc) {
        for (const auto& [index, action] : records)
            if (!doc.Write(kActionSection, Key(index), FormatMacroAction(action))) return false;
        return true;
    });
}

ActionFileCheck CheckActionFile(std::span<const uint8_t> bytes, int maxActions, int* count,
                                int* badRecord) {
    // A text file: a NUL byte outside a UTF-16 text means some other kind of file.
    const bool utf16 = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    if (!utf16 && std::find(bytes.begin(), bytes.end(), uint8_t{0}) != bytes.end())
        return ActionFileCheck::NotIni;
    const IniDocument doc = IniDocument::Parse(bytes);
    if (!doc.HasSection(kActionCountSection)) return ActionFileCheck::NotIni;
    const std::optional<std::string> countText = doc.Find(kActionCountSection, kCountKey);
    if (!countText || countText->empty() ||
        countText->find_first_not_of("0123456789") != std::string::npos || countText->size() > 9)
        return ActionFileCheck::NoCount;
    const int n = LeadingInt(*countText);
    if (count) *count = n;
    if (n > maxActions) return ActionFileCheck::TooManyActions;
    for (int i = 0; i < n; ++i) {
        const std::optional<std::string> record = doc.Find(kActionSection, Key(i));
        if (!record || !ParseMacroAction(*record)) {
            if (badRecord) *badRecord = i;
            return ActionFileCheck::BadRecord;
        }
    }
    return ActionFileCheck::Ok;
}

const char* DescribeActionFileCheck(ActionFileCheck check) {
    switch (check) {
        case ActionFileCheck::Ok:
            return "";
        case ActionFileCheck::NotIni:
            return "it is not a macro file (no [MACROACTIONCOUNT] section)";
        case ActionFileCheck::NoCount:
            return "it is not a macro file (no action count)";
        case ActionFileCheck::TooManyActions:
            return "it holds too many actions";
        case ActionFileCheck::BadRecord:
            return "it is not a macro file (an action record is missing or damaged)";
    }
    return "?";
}

// ---- the library

const char* MacroResultText(MacroResult result) {
    switch (result) {
        case MacroResult::Ok:
            return "ok";
        case MacroResult::BadName:
            return "the name is not allowed";
        case MacroResult::DuplicateName:
            return "two macros have the same name";
        case MacroResult::TooMany:
            return "too many macros";
        case MacroResult::Missing:
            return "the macro file is missing";
        case MacroResult::Exists:
            return "a macro file of that name exists";
        case MacroResult::WriteFailed:
            return "the file could not be written";
        case MacroResult::NoSuchMacro:
            return "there is no macro of that name";
        case MacroResult::NotMacroFile:
            return "the file is not a macro file";
        case MacroResult::ReadFailed:
            return "the file could not be read";
        case MacroResult::Cancelled:
            return "nothing was done";
    }
    return "?";
}

std::string MacroIndexFileName(DeviceKind kind) {
    return std::string(DeviceKindPrefix(kind)) + "Macro.ini";
}

MacroLibrary::MacroLibrary(DeviceKind kind, fs::path kindFolder)
    : kind_(kind), folder_(std::move(kindFolder)) {}

fs::path MacroLibrary::IndexPath() const {
    return FindFileNoCase(folder_, MacroIndexFileName(kind_));
}

std::optional<fs::path> MacroLibrary::MacroPath(std::string_view name) const {
    const NameCheck check = CheckFileStem(name, kMacroExtension);
    if (check != NameCheck::Ok) {
        Logf(LogLevel::Warning, "macro name \"%.*s\" refused: %s",
             static_cast<int>(std::min<size_t>(name.size(), 300)), name.data(),
             DescribeNameCheck(check));
        return std::nullopt;
    }
    return FindFileNoCase(folder_, std::string(name) + std::string(kMacroExtension));
}

std::vector<std::string> MacroLibrary::ReadNames() const {
    const fs::path path = IndexPath();
    const IniLoad load = LoadIniFile(path);
    std::vector<std::string> names;
    const int count = ClampedCount(load.document, kMacroCountSection, path);
    for (int i = 0; i < count; ++i)
        names.push_back(load.document.ReadString(kMacroNameSection, Key(i), "0"));
    return names;
}

MacroResult MacroLibrary::WriteNames(std::span<const std::string> names, std::string* badName) {
    if (names.size() > static_cast<size_t>(kMaxMacros)) return MacroResult::TooMany;
    for (size_t i = 0; i < names.size(); ++i) {
        if (CheckFileStem(names[i], kMacroExtension) != NameCheck::Ok) {
            if (badName) *badName = names[i];
            return MacroResult::BadName;
        }
        for (size_t j = 0; j < i; ++j)
            if (EqualsNoCase(names[i], names[j])) {
                if (badName) *badName = names[i];
                return MacroResult::DuplicateName;
            }
    }
    const bool saved = UpdateIniFile(IndexPath(), [&](IniDocument& doc) {
        for (const std::string& key : doc.KeyNames(kMacroNameSection))
            doc.DeleteKey(kMacroNameSection, key);
        if (!doc.Write(kMacroCountSection, kCountKey, Key(static_cast<int>(names.size()))))
            return false;
        for (size_t i = 0; i < names.size(); ++i)
            if (!doc.Write(kMacroNameSection, Key(static_cast<int>(i)), names[i])) return false;
        return true;
    });
    return saved ? MacroResult::Ok : MacroResult::WriteFailed;
}

std::vector<MacroAction> MacroLibrary::ReadMacro(std::string_view name) const {
    const std::optional<fs::path> path = MacroPath(name);
    if (!path) return {};
    return ReadActionFile(*path);
}

MacroResult MacroLibrary::WriteMacro(std::string_view name, std::span<const MacroAction> actions) {
    const std::optional<fs::path> path = MacroPath(name);
    if (!path) return MacroResult::BadName;
    const std::optional<std::string_view> selectName =
        kind_ == DeviceKind::Mouse ? std::optional<std::string_view>(name) : std::nullopt;
    return WriteActionFile(*path, actions, selectName) ? MacroResult::Ok : MacroResult::WriteFailed;
}

MacroResult MacroLibrary::DeleteMacroFile(std::string_view name) {
    const std::optional<fs::path> path = MacroPath(name);
    if (!path) return MacroResult::BadName;
    std::error_code ec;
    fs::remove(*path, ec);
    if (ec) {
        Logf(LogLevel::Error, "could not delete %s: %s", Utf8FromPath(*path).c_str(),
             ec.message().c_str());
        return MacroResult::WriteFailed;
    }
    return MacroResult::Ok;
}

MacroResult MacroLibrary::RenameMacroFile(std::string_view oldName, std::string_view newName) {
    const std::optional<fs::path> from = MacroPath(oldName);
    const std::optional<fs::path> to = MacroPath(newName);
    if (!from || !to) return MacroResult::BadName;
    std::error_code ec;
    if (!fs::exists(*from, ec)) return MacroResult::Ok;
    const bool sameFile = EqualsNoCase(oldName, newName);
    if (!sameFile && fs::exists(*to, ec)) return MacroResult::Exists;
    // `to` found the existing file for a change of case; aim at the new spelling instead.
    const fs::path target =
        sameFile ? folder_ / PathFromUtf8(std::string(newName) + std::string(kMacroExtension))
                 : *to;
    fs::rename(*from, target, ec);
    if (ec) {
        Logf(LogLevel::Error, "could not rename %s: %s", Utf8FromPath(*from).c_str(),
             ec.message().c_str());
        return MacroResult::WriteFailed;
    }
    if (kind_ == DeviceKind::Mouse) WriteIniString(target, kSelectNameSection, "name", newName);
    return MacroResult::Ok;
}

std::vector<std::string> MacroLibrary::CursorNames() const {
    const fs::path path = IndexPath();
    const IniLoad load = LoadIniFile(path);
    std::vector<std::string> names;
    const int count = ClampedCount(load.document, kCursorCountSection, path);
    for (int i = 0; i < count; ++i)
        names.push_back(load.document.ReadString(kCursorNameSection, Key(i), "0"));
    return names;
}

bool MacroLibrary::SeedCursorScripts(const fs::path& programFolder) {
    if (ReadIniInt(IndexPath(), kCursorCountSection, kCountKey, 0) != 0) return true;
    bool ok = UpdateIniFile(IndexPath(), [&](IniDocument& doc) {
        bool written = doc.Write(kCursorCountSection, kCountKey, Key(kCursorScripts));
        for (int i = 0; i < kCursorScripts; ++i)
            written = written && doc.Write(kCursorNameSection, Key(i), "name_" + Key(i + 1));
        return written;
    });
    for (int i = 0; i < kCursorScripts; ++i) {
        const std::string file = "name_" + Key(i + 1) + std::string(kCursorExtension);
        const fs::path target = FindFileNoCase(folder_, file);
        std::error_code ec;
        if (fs::exists(target, ec)) continue;
        const fs::path source = FindFileNoCase(programFolder, file);
        const FileBytes bytes = ReadWholeFile(source);
        if (bytes.status != FileReadStatus::Ok) {
            Logf(LogLevel::Error, "the shipped cursor script %s could not be read",
                 Utf8FromPath(source).c_str());
            ok = false;
            continue;
        }
        ok = WriteFileAtomic(target, bytes.bytes) && ok;
    }
    return ok;
}

}  // namespace vq
