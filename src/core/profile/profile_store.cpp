#include "core/profile/profile_store.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "core/profile/profile_edit.h"
#include "core/util/file_thread_guard.h"
#include "core/util/ini_file.h"
#include "core/util/log.h"

namespace vq {

namespace fs = std::filesystem;

// ---- names of things

namespace {

constexpr ProfileFamilySchema kDeviceSchema = {"PROFILEDEVICECOUNT",  "PROFILEDEVICENAME",
                                               "PROFILEDEVICESELECT", "PROFILELIKEDEVICEEXE",
                                               "DEVICEPROCESS",       ".config"};
// The keyboard's device family keeps its link paths with its key family's.
constexpr ProfileFamilySchema kKeyboardDeviceSchema = {
    "PROFILEDEVICECOUNT",   "PROFILEDEVICENAME", "PROFILEDEVICESELECT",
    "PROFILELIKEDEVICEEXE", "PROCESS",           ".config"};
constexpr ProfileFamilySchema kLightSchema = {"PROFILEDENGCOUNT",  "PROFILEDENGNAME",
                                              "PROFILEDENGSELECT", "PROFILELIKEDENGEXE",
                                              "DENGPROCESS",       ".led"};
constexpr ProfileFamilySchema kKeySchema = {"PROFILECOUNT",   "PROFILENAME", "PROFILESELECT",
                                            "PROFILELIKEEXE", "PROCESS",     ".pro"};

std::string IndexKey(int index) {
    return std::to_string(index);
}

}  // namespace

const ProfileFamilySchema& FamilySchema(DeviceKind kind, ProfileFamily family) {
    if (!HasFamily(kind, family)) return kLightSchema;
    switch (family) {
        case ProfileFamily::Device:
            return kind == DeviceKind::Keyboard ? kKeyboardDeviceSchema : kDeviceSchema;
        case ProfileFamily::Light:
            return kLightSchema;
        case ProfileFamily::Key:
            return kKeySchema;
    }
    return kLightSchema;
}

std::string IndexFileName(DeviceKind kind) {
    return std::string(DeviceKindPrefix(kind)) + "Profile.ini";
}

const char* FamilyName(ProfileFamily family) {
    switch (family) {
        case ProfileFamily::Device:
            return "device";
        case ProfileFamily::Light:
            return "light";
        case ProfileFamily::Key:
            return "key";
    }
    return "?";
}

std::optional<ProfileFamily> ParseFamily(std::string_view name) {
    for (ProfileFamily f : {ProfileFamily::Device, ProfileFamily::Light, ProfileFamily::Key})
        if (name == FamilyName(f)) return f;
    return std::nullopt;
}

std::optional<DeviceKind> ParseKind(std::string_view prefix) {
    for (DeviceKind k : {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad})
        if (prefix == DeviceKindPrefix(k)) return k;
    return std::nullopt;
}

std::vector<ProfileFamily> FamiliesOf(DeviceKind kind) {
    if (kind == DeviceKind::Mousepad) return {ProfileFamily::Light};
    return {ProfileFamily::Device, ProfileFamily::Light, ProfileFamily::Key};
}

std::string DefaultFileName(DeviceKind kind, ProfileFamily family, int keyboardVariant) {
    switch (kind) {
        case DeviceKind::Mouse:
            switch (family) {
                case ProfileFamily::Device:
                    return "msdevicedefault.config";
                case ProfileFamily::Light:
                    return "msdengdefault.led";
                case ProfileFamily::Key:
                    return "mskeydefault.pro";
            }
            break;
        case DeviceKind::Keyboard: {
            const bool v1 = keyboardVariant == 1;
            switch (family) {
                case ProfileFamily::Device:
                    return v1 ? "kbdevice15default.config" : "kbdevicedefault.config";
                case ProfileFamily::Light:
                    return v1 ? "kb15dengdefault.led" : "kbdengdefault.led";
                case ProfileFamily::Key:
                    return v1 ? "kbkey15default.pro" : "kbkeydefault.pro";
            }
            break;
        }
        case DeviceKind::Mousepad:
            return "mpdengdefault.led";
    }
    return {};
}

// ---- the data folder

std::optional<fs::path> ResolveDataFolder(const std::optional<fs::path>& explicitFolder,
                                          const char* environmentValue,
                                          DocumentsFolderSource* documents) {
    if (explicitFolder && !explicitFolder->empty()) return *explicitFolder;
    if (environmentValue && *environmentValue) return PathFromUtf8(environmentValue);
    if (!documents) return std::nullopt;
    const std::optional<fs::path> folder = documents->DocumentsFolder();
    if (!folder || folder->empty()) return std::nullopt;
    return *folder / PathFromUtf8(kDataFolderName);
}

std::optional<fs::path> ResolveDataFolder(const std::optional<fs::path>& explicitFolder,
                                          DocumentsFolderSource* documents) {
    return ResolveDataFolder(explicitFolder, std::getenv(kDataFolderEnvironment), documents);
}

// ---- results

const char* FamilyFillResultName(FamilyFillResult result) {
    switch (result) {
        case FamilyFillResult::Listed:
            return "listed";
        case FamilyFillResult::Seeded:
            return "seeded";
        case FamilyFillResult::DefaultMissing:
            return "default missing";
        case FamilyFillResult::DefaultBadFormat:
            return "default has a bad format";
        case FamilyFillResult::WriteFailed:
            return "write failed";
        case FamilyFillResult::Relisted:
            return "listed from the folder";
        case FamilyFillResult::IndexUnreadable:
            return "index unreadable";
    }
    return "?";
}

// ---- the store

ProfileStore::ProfileStore(fs::path dataFolder, fs::path programFolder, int keyboardVariant)
    : dataFolder_(std::move(dataFolder)),
      programFolder_(std::move(programFolder)),
      keyboardVariant_(keyboardVariant),
      files_(&SystemProfileFiles()) {}

fs::path ProfileStore::LockFile() const {
    return dataFolder_ / PathFromUtf8(kLockFileName);
}

std::optional<fs::path> ProfileStore::KindFolder(DeviceKind kind, FileProblem* why) const {
    const fs::path folder = dataFolder_ / DeviceKindPrefix(kind);
    NoteFileAccess(folder, "folder check");
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::error_code made = ec;
    if (!fs::is_directory(folder, ec)) {
        FileProblem problem = made ? FileProblemFromError(made) : FileProblem::Other;
        // A file where a folder on the way should be reads as "exists" to create_directories.
        if (made == std::errc::file_exists || made == std::errc::not_a_directory)
            problem = FileProblem::NotAFolder;
        if (why) *why = problem;
        Logf(LogLevel::Error, "the folder %s could not be created: %s",
             Utf8FromPath(folder).c_str(), DescribeFileProblem(problem));
        return std::nullopt;
    }
    if (why) *why = FileProblem::None;
    return folder;
}

fs::path ProfileStore::IndexPath(DeviceKind kind) const {
    const fs::path folder = KindFolder(kind).value_or(dataFolder_ / DeviceKindPrefix(kind));
    return FindFileNoCase(folder, IndexFileName(kind));
}

std::optional<fs::path> ProfileStore::ProfilePath(DeviceKind kind, ProfileFamily family,
                                                  std::string_view name) const {
    const std::string_view extension = FamilySchema(kind, family).extension;
    const NameCheck check = CheckFileStem(name, extension);
    if (check != NameCheck::Ok) {
        Logf(LogLevel::Warning, "profile name \"%.*s\" refused: %s",
             static_cast<int>(std::min<size_t>(name.size(), 300)), name.data(),
             DescribeNameCheck(check));
        return std::nullopt;
    }
    const std::optional<fs::path> folder = KindFolder(kind);
    if (!folder) return std::nullopt;
    return FindFileNoCase(*folder, std::string(name) + std::string(extension));
}

fs::path ProfileStore::DefaultPath(DeviceKind kind, ProfileFamily family) const {
    return FindFileNoCase(programFolder_, DefaultFileName(kind, family, KeyboardVariant()));
}

FamilyIndex ProfileStore::ReadIndex(DeviceKind kind, ProfileFamily family) const {
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    const IniDocument doc = LoadIniFile(IndexPath(kind)).document;
    FamilyIndex index;
    int count = doc.ReadInt(schema.countSection, kCountKey, 0);
    if (count > kMaxProfiles) {
        Logf(LogLevel::Warning, "%s lists %d %s profiles; only the first %d are used",
             IndexFileName(kind).c_str(), count, FamilyName(family), kMaxProfiles);
        count = kMaxProfiles;
    }
    for (int i = 0; i < count; ++i)
        index.names.push_back(doc.ReadString(schema.nameSection, IndexKey(i), "0"));
    const int selected = doc.ReadInt(schema.selectSection, kSelectKey, 0);
    index.selected = selected >= 0 && selected < count ? selected : -1;
    return index;
}

int ProfileStore::StoredSelection(DeviceKind kind, ProfileFamily family) const {
    return ReadIniInt(IndexPath(kind), FamilySchema(kind, family).selectSection, kSelectKey, 0);
}

bool ProfileStore::SetSelection(DeviceKind kind, ProfileFamily family, int index) {
    Edit edit(*this, kind);
    if (!edit.ok()) return false;
    if (!edit.Index().Write(FamilySchema(kind, family).selectSection, kSelectKey, IndexKey(index)))
        return false;
    return edit.Commit().ok();
}

ProfileLink ProfileStore::Link(DeviceKind kind, ProfileFamily family, int index) const {
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    const IniDocument doc = LoadIniFile(IndexPath(kind)).document;
    ProfileLink link;
    link.linked = doc.ReadString(schema.linkFlagSection, IndexKey(index), "0") != "0";
    link.programPath = doc.ReadString(schema.linkPathSection, IndexKey(index), "0");
    return link;
}

ProfileReadResult ProfileStore::ReadDefault(DeviceKind kind, ProfileFamily family,
                                            std::span<uint8_t> buffer) const {
    const fs::path path = DefaultPath(kind, family);
    const ProfileReadResult result = ReadProfileFile(path, buffer);
    if (result != ProfileReadResult::Ok)
        Logf(LogLevel::Error, "the shipped default %s: %s", Utf8FromPath(path).c_str(),
             ProfileReadResultName(result));
    return result;
}

ProfileReadResult ProfileStore::LoadProfile(DeviceKind kind, ProfileFamily family, int index,
                                            ProfilePayloadModel& model) const {
    const FamilyIndex list = ReadIndex(kind, family);
    std::optional<fs::path> path;
    if (index >= 0 && index < static_cast<int>(list.names.size()))
        path = ProfilePath(kind, family, list.names[static_cast<size_t>(index)]);
    else
        Logf(LogLevel::Warning, "no %s %s profile at index %d", DeviceKindPrefix(kind),
             FamilyName(family), index);
    std::vector<uint8_t> payload(PayloadSize(kind, family), 0);
    const ProfileReadResult result =
        path ? ReadProfileFile(*path, payload) : ProfileReadResult::Missing;
    const std::string where = path ? Utf8FromPath(*path) : std::string("(no file)");
    switch (result) {
        case ProfileReadResult::Missing:
            Logf(LogLevel::Debug, "配置文件丢失 %s", where.c_str());
            return result;
        case ProfileReadResult::BadFormat:
            Logf(LogLevel::Debug, "配置文件格式错误 %s", where.c_str());
            return result;
        case ProfileReadResult::Ok:
            break;
    }
    if (!model.LoadPayload(family, payload)) {
        Logf(LogLevel::Error, "the %s model did not take the %s payload of %s",
             DeviceKindPrefix(kind), FamilyName(family), where.c_str());
        return ProfileReadResult::BadFormat;
    }
    return ProfileReadResult::Ok;
}

SaveResult ProfileStore::SaveSelectedProfile(DeviceKind kind, ProfileFamily family,
                                             ProfilePayloadModel& model) const {
    return SaveProfile(kind, family, ProfileTarget::Selected(), model);
}

SaveResult ProfileStore::SaveProfile(DeviceKind kind, ProfileFamily family,
                                     const ProfileTarget& target,
                                     ProfilePayloadModel& model) const {
    // Under the edit lock, so that a save never writes the file of a profile being deleted.
    Edit edit(*this, kind);
    if (!edit.ok()) return SaveResult::WriteFailed;
    const FamilyList list = edit.List(family);
    const int count = static_cast<int>(list.names.size());
    int selected = target.name.empty() ? (target.index < 0 ? list.select : target.index) : -1;
    for (int i = 0; i < count && !target.name.empty() && selected < 0; ++i)
        if (list.names[static_cast<size_t>(i)] == target.name) selected = i;
    for (int i = 0; i < count && !target.name.empty() && selected < 0; ++i)
        if (EqualsNoCase(list.names[static_cast<size_t>(i)], target.name)) selected = i;
    // A selection past the list would name a deleted profile left in the index.
    if (selected < 0 || selected >= count) {
        Logf(LogLevel::Warning, "no %s %s profile to save (select=%d, %d listed); not saved",
             DeviceKindPrefix(kind), FamilyName(family), selected, count);
        return SaveResult::NoSelection;
    }
    const std::optional<fs::path> path =
        ProfilePath(kind, family, list.names[static_cast<size_t>(selected)]);
    if (!path) return SaveResult::BadName;
    const std::vector<uint8_t> payload = model.BuildPayload(family);
    if (payload.size() != PayloadSize(kind, family)) {
        Logf(LogLevel::Error, "the %s model built %d bytes for a %s profile, not %d; not saved",
             DeviceKindPrefix(kind), static_cast<int>(payload.size()), FamilyName(family),
             static_cast<int>(PayloadSize(kind, family)));
        return SaveResult::WriteFailed;
    }
    FileProblem why = FileProblem::None;
    if (files_->Write(*path, EncodeProfileFile(payload, KindCode(kind)), &why))
        return SaveResult::Saved;
    Logf(LogLevel::Debug, "文件打开失败 %s", Utf8FromPath(*path).c_str());
    return SaveResult::WriteFailed;
}

FamilyFill ProfileStore::InitProfileFamily(DeviceKind kind, ProfileFamily family) {
    FamilyFill fill{kind, family, FamilyFillResult::Listed, {}, {}, FileProblem::None};
    Edit edit(*this, kind);
    if (!edit.ok()) {
        const ProfileResult& failure = edit.Failure();
        fill.result = failure.error == ProfileError::IndexUnreadable
                          ? FamilyFillResult::IndexUnreadable
                          : FamilyFillResult::WriteFailed;
        fill.file = failure.file;
        fill.problem = failure.problem;
        return fill;
    }
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    FamilyList list = edit.List(family);
    if (!list.names.empty()) {
        fill.index.names = std::move(list.names);
        fill.index.selected =
            list.select >= 0 && list.select < static_cast<int>(fill.index.names.size())
                ? list.select
                : -1;
        return fill;
    }

    // No list of the family: a first run, or an index that lost the family's sections. Profile
    // files already in the folder are the user's: they are listed, never replaced.
    std::vector<std::string> found = edit.FamilyFiles(family);
    if (!found.empty()) {
        const size_t extension = schema.extension.size();
        for (std::string& file : found)
            file.resize(file.size() - extension);
        std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
            const std::string fa = FoldCase(a), fb = FoldCase(b);
            return fa != fb ? fa < fb : a < b;
        });
        if (found.size() > static_cast<size_t>(kMaxProfiles)) found.resize(kMaxProfiles);
        IniDocument& doc = edit.Index();
        bool written =
            doc.Write(schema.countSection, kCountKey, IndexKey(static_cast<int>(found.size())));
        for (size_t i = 0; i < found.size(); ++i) {
            const std::string key = IndexKey(static_cast<int>(i));
            written = written && doc.Write(schema.nameSection, key, found[i]) &&
                      doc.Write(schema.linkFlagSection, key, "0");
        }
        written = written && doc.Write(schema.selectSection, kSelectKey, "0");
        const ProfileResult committed = written ? edit.Commit() : ProfileResult{};
        if (!written || !committed.ok()) {
            fill.result = FamilyFillResult::WriteFailed;
            fill.file = edit.IndexFile();
            fill.problem = committed.problem;
            return fill;
        }
        Logf(LogLevel::Warning,
             "%s had no list of the %s %s profiles; the %d found in %s are listed",
             IndexFileName(kind).c_str(), DeviceKindPrefix(kind), FamilyName(family),
             static_cast<int>(found.size()), Utf8FromPath(edit.Folder()).c_str());
        fill.result = FamilyFillResult::Relisted;
        fill.index = FamilyIndex{std::move(found), 0};
        return fill;
    }

    // First run: "profile1" from the shipped default.
    const std::string name = "profile1";
    fill.index = FamilyIndex{{name}, -1};
    std::vector<uint8_t> payload(PayloadSize(kind, family), 0);
    switch (ReadDefault(kind, family, payload)) {
        case ProfileReadResult::Missing:
            fill.result = FamilyFillResult::DefaultMissing;
            fill.file = DefaultPath(kind, family);
            return fill;
        case ProfileReadResult::BadFormat:
            fill.result = FamilyFillResult::DefaultBadFormat;
            fill.file = DefaultPath(kind, family);
            return fill;
        case ProfileReadResult::Ok:
            break;
    }
    const std::optional<fs::path> path = ProfilePath(kind, family, name);
    if (!path) {
        fill.result = FamilyFillResult::WriteFailed;
        return fill;
    }
    edit.Create(*path, EncodeProfileFile(payload, KindCode(kind)));
    IniDocument& doc = edit.Index();
    const bool written = doc.Write(schema.countSection, kCountKey, "1") &&
                         doc.Write(schema.linkFlagSection, "0", "0") &&
                         doc.Write(schema.nameSection, "0", name) &&
                         doc.Write(schema.selectSection, kSelectKey, "0");
    const ProfileResult committed = written ? edit.Commit() : ProfileResult{};
    if (!written || !committed.ok()) {
        fill.result = FamilyFillResult::WriteFailed;
        fill.file = committed.file;
        fill.problem = committed.problem;
        return fill;
    }
    fill.result = FamilyFillResult::Seeded;
    fill.index.selected = 0;
    return fill;
}

std::vector<FamilyFill> ProfileStore::InitProfileKind(DeviceKind kind) {
    std::vector<FamilyFill> fills;
    Recover(kind);
    for (ProfileFamily family : FamiliesOf(kind)) {
        fills.push_back(InitProfileFamily(kind, family));
        const FamilyFillResult result = fills.back().result;
        if (result == FamilyFillResult::DefaultMissing ||
            result == FamilyFillResult::DefaultBadFormat ||
            result == FamilyFillResult::IndexUnreadable)
            break;
    }
    return fills;
}

}  // namespace vq
