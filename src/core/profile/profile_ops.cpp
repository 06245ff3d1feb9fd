// The profile operations: add, delete, copy, rename, import, export, reset, and the application
// links. Each is one edit (profile_edit.h).

#include <algorithm>
#include <chrono>
#include <system_error>

#include "core/profile/profile_edit.h"
#include "core/profile/profile_store.h"
#include "core/util/log.h"

namespace vq {

namespace fs = std::filesystem;

namespace {

std::string Key(int index) {
    return std::to_string(index);
}

ProfileResult Refusal(ProfileError error, const char* textId = "") {
    ProfileResult result;
    result.error = error;
    result.textId = textId;
    return result;
}

ProfileResult Done(int index, std::string name) {
    ProfileResult result;
    result.index = index;
    result.name = std::move(name);
    return result;
}

// The index of the target in the list, or -1.
int Resolve(const FamilyList& list, const ProfileTarget& target) {
    const int n = static_cast<int>(list.names.size());
    if (!target.name.empty()) {
        for (int i = 0; i < n; ++i)
            if (list.names[static_cast<size_t>(i)] == target.name) return i;
        for (int i = 0; i < n; ++i)
            if (EqualsNoCase(list.names[static_cast<size_t>(i)], target.name)) return i;
        return -1;
    }
    const int index = target.index < 0 ? list.select : target.index;
    return index >= 0 && index < n ? index : -1;
}

bool Taken(const FamilyList& list, std::string_view name) {
    return std::any_of(list.names.begin(), list.names.end(),
                       [&](const std::string& listed) { return EqualsNoCase(listed, name); });
}

// The escaped form of a name for one line of text: control characters as \xNN.
std::string Shown(std::string_view text) {
    return EscapeForDisplay(text);
}

const char* KindWord(uint16_t code) {
    switch (code) {
        case 1:
            return "a keyboard";
        case 2:
            return "a mouse";
        case 3:
            return "a mousepad";
    }
    return "an unknown device's";
}

}  // namespace

std::string EscapeForDisplay(std::string_view text) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            shown += "\\x";
            shown += kHex[u >> 4];
            shown += kHex[u & 0xF];
        } else {
            shown += c;
        }
    }
    return shown;
}

std::optional<std::string> ProgramFileName(std::string_view programPath) {
    const size_t slash = programPath.find_last_of("\\/");
    if (slash == std::string_view::npos) return std::nullopt;
    return std::string(programPath.substr(slash + 1));
}

std::string DescribeProfileResult(const ProfileResult& r) {
    const std::string file = Shown(Utf8FromPath(r.file));
    const std::string name = "\"" + Shown(r.name) + "\"";
    switch (r.error) {
        case ProfileError::None:
            return "done";
        case ProfileError::NoSuchFamily:
            return "the mousepad has light profiles only";
        case ProfileError::NoSelection:
            return r.name.empty() ? "no profile is selected" : "there is no profile " + name;
        case ProfileError::LastProfile:
            return "it is the only profile of its family and cannot be deleted";
        case ProfileError::EmptyName:
            return "the name is empty";
        case ProfileError::NameTaken:
            return "a profile named " + name +
                   " exists (names are compared without regard to case)";
        case ProfileError::BadName:
            return "the name " + name + " cannot be used: " + DescribeNameCheck(r.nameCheck);
        case ProfileError::TooMany:
            return "the family has " + std::to_string(ProfileStore::kMaxProfiles) +
                   " profiles, the most it can list";
        case ProfileError::FileInTheWay:
            return "the file " + file + " is in the folder but not in the index; it is left alone";
        case ProfileError::SourceMissing:
            return file + " is missing";
        case ProfileError::SourceBadFormat:
            return file + " is not a profile file";
        case ProfileError::WrongKind:
            return file + " is " + KindWord(r.foundKindCode) +
                   " profile, written for another device; its bytes are not used";
        case ProfileError::AlreadyLinked:
            return "that program is linked to a profile of this family already";
        case ProfileError::NotAProgramPath:
            return "that is not the path of a program file";
        case ProfileError::IndexUnreadable:
            return "the profile index " + file + " cannot be read (" +
                   DescribeFileProblem(r.problem) + "); nothing was changed";
        case ProfileError::WriteFailed:
            return file + " could not be written: " + DescribeFileProblem(r.problem);
        case ProfileError::Busy:
            return "another program is changing the profiles (it holds " + file +
                   "); nothing was changed";
    }
    return "?";
}

// ---- start

ProfileResult ProfileStore::Recover(DeviceKind kind, std::chrono::seconds staleAfter) {
    FileProblem problem = FileProblem::None;
    const std::optional<fs::path> folder = KindFolder(kind, &problem);
    if (!folder)
        return FileFailure(ProfileError::WriteFailed, dataFolder_ / DeviceKindPrefix(kind),
                           problem);
    // The atomic writer's temporary files that a crash left; younger ones may be another
    // writer's in flight.
    const auto now = fs::file_time_type::clock::now();
    std::error_code ec;
    for (fs::directory_iterator it(*folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = Utf8FromPath(it->path().filename());
        if (!IsAtomicTemporaryName(name)) continue;
        std::error_code timeError;
        const auto written = fs::last_write_time(it->path(), timeError);
        if (timeError || now - written < staleAfter) continue;
        FileProblem why = FileProblem::None;
        if (files_->Remove(it->path(), &why))
            Logf(LogLevel::Info, "removed the stale temporary file %s", name.c_str());
    }
    Edit edit(*this, kind);
    return edit.ok() ? ProfileResult{} : edit.Failure();
}

// ---- operations

ProfileResult ProfileStore::Append(DeviceKind kind, ProfileFamily family,
                                   std::optional<std::string_view> name,
                                   std::span<const uint8_t> payload,
                                   const std::function<std::string(int attempt)>& autoName) {
    Edit edit(*this, kind);
    if (!edit.ok()) return edit.Failure();
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    const FamilyList list = edit.List(family);
    const int count = static_cast<int>(list.names.size());
    if (count >= kMaxProfiles) return Refusal(ProfileError::TooMany);

    std::string chosen;
    if (name) {
        chosen = std::string(*name);
        if (chosen.empty()) return Refusal(ProfileError::EmptyName, "message_text_14");
        ProfileResult bad = Refusal(ProfileError::BadName);
        bad.nameCheck = CheckFileStem(chosen, schema.extension);
        bad.name = chosen;
        if (bad.nameCheck != NameCheck::Ok) return bad;
        if (Taken(list, chosen)) {
            ProfileResult taken = Refusal(ProfileError::NameTaken, "message_text_15");
            taken.name = chosen;
            return taken;
        }
    } else {
        // The first generated name that no profile has and no file in the folder uses.
        for (int attempt = 0;; ++attempt) {
            chosen = autoName(attempt);
            ProfileResult bad = Refusal(ProfileError::BadName);
            bad.nameCheck = CheckFileStem(chosen, schema.extension);
            bad.name = chosen;
            if (bad.nameCheck != NameCheck::Ok) return bad;
            if (!Taken(list, chosen) && !edit.FileExists(chosen + std::string(schema.extension)))
                break;
        }
    }
    const std::optional<fs::path> path = ProfilePath(kind, family, chosen);
    if (!path) return Refusal(ProfileError::BadName);
    edit.Create(*path, EncodeProfileFile(payload, KindCode(kind)));
    IniDocument& doc = edit.Index();
    const std::string key = Key(count);
    if (!doc.Write(schema.countSection, kCountKey, Key(count + 1)) ||
        !doc.Write(schema.nameSection, key, chosen) ||
        !doc.Write(schema.linkFlagSection, key, "0") ||
        !doc.Write(schema.selectSection, kSelectKey, key))
        return FileFailure(ProfileError::WriteFailed, edit.IndexFile(), FileProblem::Other);
    if (ProfileResult r = edit.Commit(); !r.ok()) return r;
    return Done(count, chosen);
}

ProfileResult ProfileStore::AddProfile(DeviceKind kind, ProfileFamily family,
                                       std::optional<std::string_view> name) {
    if (!HasFamily(kind, family)) return Refusal(ProfileError::NoSuchFamily);
    std::vector<uint8_t> payload(PayloadSize(kind, family), 0);
    if (const ProfileReadResult read = ReadDefault(kind, family, payload);
        read != ProfileReadResult::Ok)
        return ReadFailure(read, DefaultPath(kind, family));
    return Append(kind, family, name, payload,
                  [](int attempt) { return "profile" + std::to_string(attempt + 1); });
}

ProfileResult ProfileStore::ImportProfile(DeviceKind kind, ProfileFamily family,
                                          const fs::path& source,
                                          std::optional<std::string_view> name) {
    if (!HasFamily(kind, family)) return Refusal(ProfileError::NoSuchFamily);
    std::vector<uint8_t> payload(PayloadSize(kind, family), 0);
    uint16_t code = 0;
    if (const ProfileReadResult read = ReadProfileFile(source, payload, &code);
        read != ProfileReadResult::Ok)
        return ReadFailure(read, source);
    // Its bytes mean something else on another device: refused rather than sent.
    if (code != KindCode(kind)) {
        ProfileResult wrong = ReadFailure(ProfileReadResult::BadFormat, source);
        wrong.error = ProfileError::WrongKind;
        wrong.foundKindCode = code;
        return wrong;
    }
    return Append(kind, family, name, payload,
                  [](int attempt) { return "profile" + std::to_string(attempt + 1); });
}

ProfileResult ProfileStore::CopyProfile(DeviceKind kind, ProfileFamily family,
                                        const ProfileTarget& target) {
    if (!HasFamily(kind, family)) return Refusal(ProfileError::NoSuchFamily);
    std::string sourceName;
    std::vector<uint8_t> payload(PayloadSize(kind, family), 0);
    {
        Edit edit(*this, kind);
        if (!edit.ok()) return edit.Failure();
        const FamilyList list = edit.List(family);
        const int index = Resolve(list, target);
        if (index < 0) {
            ProfileResult none = Refusal(ProfileError::NoSelection);
            none.name = target.name;
            return none;
        }
        sourceName = list.names[static_cast<size_t>(index)];
        const std::optional<fs::path> path = ProfilePath(kind, family, sourceName);
        if (!path)
            return ReadFailure(ProfileReadResult::Missing,
                               edit.Folder() / PathFromUtf8(sourceName));
        if (const ProfileReadResult read = ReadProfileFile(*path, payload);
            read != ProfileReadResult::Ok)
            return ReadFailure(read, *path);
        // The edit lock is recursive: the append below sees the same index.
        return Append(kind, family, std::nullopt, payload, [&](int attempt) {
            std::string name = sourceName;
            for (int i = 0; i <= attempt; ++i)
                name += " copy";
            return name;
        });
    }
}

ProfileResult ProfileStore::DeleteProfile(DeviceKind kind, ProfileFamily family,
                                          const ProfileTarget& target) {
    if (!HasFamily(kind, family)) return Refusal(ProfileError::NoSuchFamily);
    Edit edit(*this, kind);
    if (!edit.ok()) return edit.Failure();
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    const FamilyList list = edit.List(family);
    const int s = Resolve(list, target);
    if (s < 0) {
        ProfileResult none = Refusal(ProfileError::NoSelection);
        none.name = target.name;
        return none;
    }
    const int n = static_cast<int>(list.names.size());
    if (n == 1) return Refusal(ProfileError::LastProfile, "message_text_11");

    IniDocument& doc = edit.Index();
    // The old links, read before any is moved.
    std::vector<std::optional<std::string>> flags, paths;
    for (int i = 0; i < n; ++i) {
        flags.push_back(doc.Find(schema.linkFlagSection, Key(i)));
        paths.push_back(doc.Find(schema.linkPathSection, Key(i)));
    }
    bool written = doc.Write(schema.countSection, kCountKey, Key(n - 1));
    for (int i = 0; i < n - 1 && written; ++i) {
        const size_t from = static_cast<size_t>(i < s ? i : i + 1);
        written = doc.Write(schema.nameSection, Key(i), list.names[from]);
        // The links move down with their profiles; a key that was missing stays missing.
        if (written && i >= s) {
            const auto move = [&](std::string_view section,
                                  const std::optional<std::string>& value) {
                if (value) return doc.Write(section, Key(i), *value);
                doc.DeleteKey(section, Key(i));
                return true;
            };
            written = move(schema.linkFlagSection, flags[from]) &&
                      move(schema.linkPathSection, paths[from]);
        }
    }
    written = written && doc.Write(schema.selectSection, kSelectKey, Key(n - 2));
    if (!written)
        return FileFailure(ProfileError::WriteFailed, edit.IndexFile(), FileProblem::Other);

    const std::string& name = list.names[static_cast<size_t>(s)];
    // The file goes unless another entry of the list names it too.
    int sharing = 0;
    for (const std::string& other : list.names)
        if (EqualsNoCase(other, name)) ++sharing;
    if (sharing == 1)
        if (const std::optional<fs::path> path = ProfilePath(kind, family, name))
            edit.MakeObsolete(*path);
    if (ProfileResult r = edit.Commit(); !r.ok()) return r;
    return Done(n - 2, list.names[static_cast<size_t>(n - 2 < s ? n - 2 : n - 1)]);
}

ProfileResult ProfileStore::RenameProfile(DeviceKind kind, ProfileFamily family,
                                          const ProfileTarget& target, std::string_view newName) {
    if (!HasFamily(kind, family)) return Refusal(ProfileError::NoSuchFamily);
    if (newName.empty()) return Refusal(ProfileError::EmptyName, "message_text_14");
    Edit edit(*this, kind);
    if (!edit.ok()) return edit.Failure();
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    const FamilyList list = edit.List(family);
    const int s = Resolve(list, target);
    if (s < 0) {
        ProfileResult none = Refusal(ProfileError::NoSelection);
        none.name = target.name;
        return none;
    }
    // Any profile's name, its own included: a rename to the same name or a change of case only
    // is refused.
    if (Taken(list, newName)) {
        ProfileResult taken = Refusal(ProfileError::NameTaken, "message_text_15");
        taken.name = std::string(newName);
        return taken;
    }
    ProfileResult bad = Refusal(ProfileError::BadName);
    bad.nameCheck = CheckFileStem(newName, schema.extension);
    bad.name = std::string(newName);
    if (bad.nameCheck != NameCheck::Ok) return bad;

    const std::string& oldName = list.names[static_cast<size_t>(s)];
    const std::optional<fs::path> from = ProfilePath(kind, family, oldName);
    const std::optional<fs::path> to = ProfilePath(kind, family, newName);
    if (!from)
        return ReadFailure(ProfileReadResult::Missing, edit.Folder() / PathFromUtf8(oldName));
    if (!to) return bad;
    std::vector<uint8_t> payload(PayloadSize(kind, family), 0);
    if (const ProfileReadResult read = ReadProfileFile(*from, payload);
        read != ProfileReadResult::Ok)
        return ReadFailure(read, *from);
    edit.Create(*to, EncodeProfileFile(payload, KindCode(kind)));
    int sharing = 0;
    for (const std::string& other : list.names)
        if (EqualsNoCase(other, oldName)) ++sharing;
    if (sharing == 1) edit.MakeObsolete(*from);
    if (!edit.Index().Write(schema.nameSection, Key(s), newName))
        return FileFailure(ProfileError::WriteFailed, edit.IndexFile(), FileProblem::Other);
    if (ProfileResult r = edit.Commit(); !r.ok()) return r;
    return Done(s, std::string(newName));
}

ProfileResult ProfileStore::ExportProfile(DeviceKind kind, ProfileFamily family,
                                          const ProfileTarget& target,
                                          const fs::path& destination) const {
    if (!HasFamily(kind, family)) return Refusal(ProfileError::NoSuchFamily);
    Edit edit(*this, kind);
    if (!edit.ok()) return edit.Failure();
    const FamilyList list = edit.List(family);
    const int s = Resolve(list, target);
    if (s < 0) {
        ProfileResult none = Refusal(ProfileError::NoSelection);
        none.name = target.name;
        return none;
    }
    const std::string& name = list.names[static_cast<size_t>(s)];
    const std::optional<fs::path> path = ProfilePath(kind, family, name);
    if (!path) return ReadFailure(ProfileReadResult::Missing, edit.Folder() / PathFromUtf8(name));
    std::vector<uint8_t> payload(PayloadSize(kind, family), 0);
    if (const ProfileReadResult read = ReadProfileFile(*path, payload);
        read != ProfileReadResult::Ok)
        return ReadFailure(read, *path);
    FileProblem why = FileProblem::Other;
    if (!files_->Write(destination, EncodeProfileFile(payload, KindCode(kind)), &why))
        return FileFailure(ProfileError::WriteFailed, destination, why);
    return Done(s, name);
}

ProfileResult ProfileStore::ResetProfile(DeviceKind kind, ProfileFamily family,
                                         ProfilePayloadModel* model) {
    if (!HasFamily(kind, family)) return Refusal(ProfileError::NoSuchFamily);
    const size_t size = PayloadSize(kind, family);
    std::vector<uint8_t> payload(size, 0);
    if (const ProfileReadResult read = ReadDefault(kind, family, payload);
        read != ProfileReadResult::Ok)
        return ReadFailure(read, DefaultPath(kind, family));

    Edit edit(*this, kind);
    if (!edit.ok()) return edit.Failure();
    const FamilyList list = edit.List(family);
    const int s = Resolve(list, ProfileTarget::Selected());
    if (s < 0) return Refusal(ProfileError::NoSelection);
    const std::string& name = list.names[static_cast<size_t>(s)];
    const std::optional<fs::path> path = ProfilePath(kind, family, name);
    if (!path) return ReadFailure(ProfileReadResult::Missing, edit.Folder() / PathFromUtf8(name));

    // The mouse's and the mousepad's light default sets the first 56 bytes of the stored record;
    // the rest keeps what the model (or the profile) holds.
    constexpr size_t kResetLightBytes = 56;
    const bool partial = family == ProfileFamily::Light && kind != DeviceKind::Keyboard;
    if (partial) {
        std::vector<uint8_t> current(size, 0);
        bool have = false;
        if (model) {
            current = model->BuildPayload(family);
            have = current.size() == size;
        } else {
            have = ReadProfileFile(*path, current) == ProfileReadResult::Ok;
        }
        if (have)
            std::copy(current.begin() + kResetLightBytes, current.end(),
                      payload.begin() + kResetLightBytes);
    }
    // The saves in the order the program makes them.
    std::vector<std::pair<ProfileFamily, std::vector<uint8_t>>> saves;
    if (model) {
        if (!model->LoadPayload(family, payload)) return Refusal(ProfileError::NoSuchFamily);
        saves.emplace_back(family, model->BuildPayload(family));
        if (kind == DeviceKind::Mouse && family == ProfileFamily::Light)
            saves.emplace_back(ProfileFamily::Device, model->BuildPayload(ProfileFamily::Device));
    } else {
        saves.emplace_back(family, payload);
    }
    for (const auto& [savedFamily, bytes] : saves) {
        const FamilyList saved = savedFamily == family ? list : edit.List(savedFamily);
        const int index = Resolve(saved, ProfileTarget::Selected());
        if (index < 0 || bytes.size() != PayloadSize(kind, savedFamily)) continue;
        const std::optional<fs::path> file =
            ProfilePath(kind, savedFamily, saved.names[static_cast<size_t>(index)]);
        if (!file) continue;
        FileProblem why = FileProblem::Other;
        if (!files_->Write(*file, EncodeProfileFile(bytes, KindCode(kind)), &why))
            return FileFailure(ProfileError::WriteFailed, *file, why);
    }
    return Done(s, name);
}

// ---- application links

ProfileResult ProfileStore::LinkProfile(DeviceKind kind, ProfileFamily family,
                                        const ProfileTarget& target, std::string_view programPath) {
    if (!HasFamily(kind, family)) return Refusal(ProfileError::NoSuchFamily);
    Edit edit(*this, kind);
    if (!edit.ok()) return edit.Failure();
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    const FamilyList list = edit.List(family);
    const int s = Resolve(list, target);
    if (s < 0) {
        ProfileResult none = Refusal(ProfileError::NoSelection);
        none.name = target.name;
        return none;
    }
    IniDocument& doc = edit.Index();
    for (int i = 0; i < static_cast<int>(list.names.size()); ++i)
        if (doc.ReadString(schema.linkFlagSection, Key(i), "0") == "1" &&
            EqualsNoCase(doc.ReadString(schema.linkPathSection, Key(i), "0"), programPath)) {
            ProfileResult linked = Refusal(ProfileError::AlreadyLinked, "message_text_13");
            linked.index = i;
            linked.name = list.names[static_cast<size_t>(i)];
            return linked;
        }
    if (!ProgramFileName(programPath) || programPath.size() > kIniValueUnits)
        return Refusal(ProfileError::NotAProgramPath);
    if (!doc.Write(schema.linkFlagSection, Key(s), "1") ||
        !doc.Write(schema.linkPathSection, Key(s), programPath))
        return Refusal(ProfileError::NotAProgramPath);
    if (ProfileResult r = edit.Commit(); !r.ok()) return r;
    return Done(s, list.names[static_cast<size_t>(s)]);
}

ProfileResult ProfileStore::UnlinkProfile(DeviceKind kind, ProfileFamily family,
                                          const ProfileTarget& target) {
    if (!HasFamily(kind, family)) return Refusal(ProfileError::NoSuchFamily);
    Edit edit(*this, kind);
    if (!edit.ok()) return edit.Failure();
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    const FamilyList list = edit.List(family);
    const int s = Resolve(list, target);
    if (s < 0) {
        ProfileResult none = Refusal(ProfileError::NoSelection);
        none.name = target.name;
        return none;
    }
    IniDocument& doc = edit.Index();
    if (!doc.Write(schema.linkFlagSection, Key(s), "0") ||
        !doc.Write(schema.linkPathSection, Key(s), " "))
        return FileFailure(ProfileError::WriteFailed, edit.IndexFile(), FileProblem::Other);
    if (ProfileResult r = edit.Commit(); !r.ok()) return r;
    return Done(s, list.names[static_cast<size_t>(s)]);
}

int ProfileStore::LinkedProfile(DeviceKind kind, ProfileFamily family,
                                std::string_view programPath) const {
    if (programPath.empty() || !HasFamily(kind, family)) return -1;
    const ProfileFamilySchema& schema = FamilySchema(kind, family);
    const IniDocument doc = LoadIniFile(IndexPath(kind)).document;
    const int count = std::clamp(doc.ReadInt(schema.countSection, kCountKey, 0), 0, kMaxProfiles);
    for (int i = 0; i < count; ++i)
        if (doc.ReadString(schema.linkFlagSection, Key(i), "0") == "1" &&
            EqualsNoCase(doc.ReadString(schema.linkPathSection, Key(i), "0"), programPath))
            return i;
    return -1;
}

}  // namespace vq
