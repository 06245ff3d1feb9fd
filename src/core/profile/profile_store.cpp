#include "core/profile/profile_store.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

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
    }
    return "?";
}

const char* AddResultText(AddResult result) {
    switch (result) {
        case AddResult::Added:
            return "added";
        case AddResult::BadName:
            return "the name is not allowed";
        case AddResult::NameTaken:
            return "a profile of that name exists";
        case AddResult::DefaultMissing:
            return "the shipped default file is missing";
        case AddResult::DefaultBadFormat:
            return "the shipped default file is not a profile file";
        case AddResult::WriteFailed:
            return "the profile could not be written";
    }
    return "?";
}

// ---- the store

ProfileStore::ProfileStore(fs::path dataFolder, fs::path programFolder, int keyboardVariant)
    : dataFolder_(std::move(dataFolder)),
      programFolder_(std::move(programFolder)),
      keyboardVariant_(keyboardVariant) {}

std::optional<fs::path> ProfileStore::KindFolder(DeviceKind kind) const {
    const fs::path folder = dataFolder_ / DeviceKindPrefix(kind);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
        Logf(LogLevel::Error, "the folder %s could not be created", Utf8FromPath(folder).c_str());
        return std::nullopt;
    }
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
    return WriteIniString(IndexPath(kind), FamilySchema(kind, family).selectSection, kSelectKey,
                          IndexKey(index));
}

ProfileLink ProfileStore::Link(DeviceKind kind, ProfileFamily family, int index) const {
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    const IniDocument doc = LoadIniFile(IndexPath(kind)).document;
    ProfileLink link;
    link.linked = doc.ReadString(schema.linkFlagSection, IndexKey(index), "0") != "0";
    link.programPath = doc.ReadString(schema.linkPathSection, IndexKey(index), "0");
    return link;
}

bool ProfileStore::SetLink(DeviceKind kind, ProfileFamily family, int index,
                           const ProfileLink& link) {
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    return UpdateIniFile(IndexPath(kind), [&](IniDocument& doc) {
        return doc.Write(schema.linkFlagSection, IndexKey(index), link.linked ? "1" : "0") &&
               doc.Write(schema.linkPathSection, IndexKey(index), link.programPath);
    });
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
    const FamilyIndex list = ReadIndex(kind, family);
    const int selected = StoredSelection(kind, family);
    // A selection past the list would name a deleted profile left in the index.
    if (selected < 0 || selected >= static_cast<int>(list.names.size())) {
        Logf(LogLevel::Warning, "no %s %s profile is selected (select=%d, %d listed); not saved",
             DeviceKindPrefix(kind), FamilyName(family), selected,
             static_cast<int>(list.names.size()));
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
    return WriteProfileFile(*path, payload, KindCode(kind)) ? SaveResult::Saved
                                                            : SaveResult::WriteFailed;
}

FamilyFill ProfileStore::InitProfileFamily(DeviceKind kind, ProfileFamily family) {
    FamilyFill fill{kind, family, FamilyFillResult::Listed, ReadIndex(kind, family)};
    if (!fill.index.names.empty()) return fill;

    // First run (or an index without this family): "profile1" from the shipped default.
    const std::string name = "profile1";
    fill.index = FamilyIndex{{name}, -1};
    std::vector<uint8_t> payload(PayloadSize(kind, family), 0);
    switch (ReadDefault(kind, family, payload)) {
        case ProfileReadResult::Missing:
            fill.result = FamilyFillResult::DefaultMissing;
            return fill;
        case ProfileReadResult::BadFormat:
            fill.result = FamilyFillResult::DefaultBadFormat;
            return fill;
        case ProfileReadResult::Ok:
            break;
    }
    const std::optional<fs::path> path = ProfilePath(kind, family, name);
    // Without its file the profile is not entered in the index, so the next start tries again.
    if (!path || !WriteProfileFile(*path, payload, KindCode(kind))) {
        fill.result = FamilyFillResult::WriteFailed;
        return fill;
    }
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    const bool indexed = UpdateIniFile(IndexPath(kind), [&](IniDocument& doc) {
        return doc.Write(schema.countSection, kCountKey, "1") &&
               doc.Write(schema.linkFlagSection, "0", "0") &&
               doc.Write(schema.nameSection, "0", name) &&
               doc.Write(schema.selectSection, kSelectKey, "0");
    });
    if (!indexed) {
        fill.result = FamilyFillResult::WriteFailed;
        return fill;
    }
    fill.result = FamilyFillResult::Seeded;
    fill.index.selected = 0;
    return fill;
}

std::vector<FamilyFill> ProfileStore::InitProfileKind(DeviceKind kind) {
    std::vector<FamilyFill> fills;
    for (ProfileFamily family : FamiliesOf(kind)) {
        fills.push_back(InitProfileFamily(kind, family));
        const FamilyFillResult result = fills.back().result;
        if (result == FamilyFillResult::DefaultMissing ||
            result == FamilyFillResult::DefaultBadFormat)
            break;
    }
    return fills;
}

AddResult ProfileStore::AddProfile(DeviceKind kind, ProfileFamily family, std::string_view name,
                                   NameCheck* why) {
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    const NameCheck check = CheckFileStem(name, schema.extension);
    if (why) *why = check;
    if (check != NameCheck::Ok) return AddResult::BadName;
    const FamilyIndex list = ReadIndex(kind, family);
    for (const std::string& existing : list.names)
        if (EqualsNoCase(existing, name)) return AddResult::NameTaken;

    std::vector<uint8_t> payload(PayloadSize(kind, family), 0);
    switch (ReadDefault(kind, family, payload)) {
        case ProfileReadResult::Missing:
            return AddResult::DefaultMissing;
        case ProfileReadResult::BadFormat:
            return AddResult::DefaultBadFormat;
        case ProfileReadResult::Ok:
            break;
    }
    const std::optional<fs::path> path = ProfilePath(kind, family, name);
    if (!path || !WriteProfileFile(*path, payload, KindCode(kind))) return AddResult::WriteFailed;
    const int count = static_cast<int>(list.names.size()) + 1;
    const bool indexed = UpdateIniFile(IndexPath(kind), [&](IniDocument& doc) {
        return doc.Write(schema.countSection, kCountKey, IndexKey(count)) &&
               doc.Write(schema.nameSection, IndexKey(count - 1), name) &&
               doc.Write(schema.linkFlagSection, IndexKey(count - 1), "0");
    });
    return indexed ? AddResult::Added : AddResult::WriteFailed;
}

}  // namespace vq
