#include "core/profile/profile_edit.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "core/util/log.h"

namespace vq {

namespace fs = std::filesystem;

namespace {

// Every edit of every kind in the process, one at a time: edits are rare and short.
std::recursive_mutex& EditMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

// The data folders' lock files this process holds, with the number of edits that share each
// (an edit may run inside another on the same thread). Guarded by the edit mutex.
struct HeldLock {
    std::unique_ptr<ProcessLock> lock;
    int users = 0;
};
std::map<fs::path, HeldLock>& HeldLocks() {
    static std::map<fs::path, HeldLock> held;
    return held;
}

constexpr std::string_view kJournalSection = "EDIT";

std::string Key(int index) {
    return std::to_string(index);
}

class SystemFiles : public ProfileFileLayer {
  public:
    bool Write(const fs::path& file, std::span<const uint8_t> bytes, FileProblem* why) override {
        return WriteFileAtomic(file, bytes, why);
    }
    bool Remove(const fs::path& file, FileProblem* why) override {
        std::error_code ec;
        fs::remove(file, ec);
        if (!ec) return true;
        if (why) *why = FileProblemFromError(ec);
        Logf(LogLevel::Error, "could not remove %s: %s", Utf8FromPath(file).c_str(),
             ec.message().c_str());
        return false;
    }
};

// The family of a profile file name by its extension, and its stem.
std::optional<std::pair<ProfileFamily, std::string>> FamilyOfFile(DeviceKind kind,
                                                                  std::string_view fileName) {
    for (ProfileFamily family : FamiliesOf(kind)) {
        const std::string_view extension = FamilySchema(kind, family).extension;
        if (fileName.size() > extension.size() &&
            EqualsNoCase(fileName.substr(fileName.size() - extension.size()), extension))
            return std::pair{family,
                             std::string(fileName.substr(0, fileName.size() - extension.size()))};
    }
    return std::nullopt;
}

bool Listed(const FamilyList& list, std::string_view name) {
    return std::any_of(list.names.begin(), list.names.end(),
                       [&](const std::string& listed) { return EqualsNoCase(listed, name); });
}

// Reads the index file: Ok with its document, missing (a new document), or unreadable.
ProfileResult ReadIndexFile(const fs::path& file, IniDocument& doc, bool& exists) {
    const FileBytes bytes = ReadWholeFile(file);
    exists = bytes.status != FileReadStatus::Missing || bytes.problem != FileProblem::None;
    if (bytes.status == FileReadStatus::Ok) {
        doc = IniDocument::Parse(bytes.bytes);
        return {};
    }
    if (bytes.status == FileReadStatus::Missing && bytes.problem == FileProblem::None) {
        doc = IniDocument();
        return {};
    }
    Logf(LogLevel::Error, "the profile index %s cannot be read: %s; it is left as it is",
         Utf8FromPath(file).c_str(), DescribeFileProblem(bytes.problem));
    return FileFailure(ProfileError::IndexUnreadable, file, bytes.problem);
}

}  // namespace

ProfileFileLayer& SystemProfileFiles() {
    static SystemFiles files;
    return files;
}

std::string FoldCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

ProfileResult FileFailure(ProfileError error, const fs::path& file, FileProblem problem) {
    ProfileResult result;
    result.error = error;
    result.file = file;
    result.problem = problem;
    return result;
}

ProfileResult ReadFailure(ProfileReadResult read, const fs::path& file) {
    ProfileResult result;
    result.file = file;
    if (read == ProfileReadResult::Missing) {
        result.error = ProfileError::SourceMissing;
        result.textId = "message_text_8";
    } else {
        result.error = ProfileError::SourceBadFormat;
        result.textId = "message_text_9";
    }
    return result;
}

ProfileStore::Edit::Edit(const ProfileStore& store, DeviceKind kind)
    : store_(store), kind_(kind), lock_(EditMutex()) {
    FileProblem problem = FileProblem::None;
    const std::optional<fs::path> folder = store.KindFolder(kind, &problem);
    if (!folder) {
        failure_ = FileFailure(ProfileError::WriteFailed,
                               store.DataFolder() / DeviceKindPrefix(kind), problem);
        return;
    }
    folder_ = *folder;
    if (store.processLocks_) {
        // Other programs' edits of these files wait for this one, and this one for theirs.
        const fs::path lockFile = store.LockFile();
        HeldLock& held = HeldLocks()[lockFile];
        if (!held.lock) {
            FileProblem why = FileProblem::None;
            held.lock = store.processLocks_->Acquire(lockFile, store.processLockLimit_, &why);
            if (!held.lock) {
                HeldLocks().erase(lockFile);
                Logf(LogLevel::Error, "the profiles' edit lock %s: %s",
                     Utf8FromPath(lockFile).c_str(),
                     why == FileProblem::None ? "another program held it too long"
                                              : DescribeFileProblem(why));
                failure_ = why == FileProblem::None
                               ? FileFailure(ProfileError::Busy, lockFile, why)
                               : FileFailure(ProfileError::WriteFailed, lockFile, why);
                return;
            }
        }
        ++held.users;
        processLock_ = lockFile;
    }
    failure_ = RecoverJournal(store, kind, folder_);
    if (!failure_.ok()) return;
    indexFile_ = store.IndexPath(kind);
    failure_ = ReadIndexFile(indexFile_, index_, indexExists_);
}

ProfileStore::Edit::~Edit() {
    if (processLock_.empty()) return;
    // Still under the edit mutex (the members go after this).
    const auto held = HeldLocks().find(processLock_);
    if (held != HeldLocks().end() && --held->second.users <= 0) HeldLocks().erase(held);
}

FamilyList ProfileStore::Edit::List(ProfileFamily family) const {
    const ProfileFamilySchema& schema = FamilySchema(kind_, family);
    FamilyList list;
    int count = index_.ReadInt(schema.countSection, kCountKey, 0);
    if (count > kMaxProfiles) {
        Logf(LogLevel::Warning, "%s lists %d %s profiles; only the first %d are used",
             IndexFileName(kind_).c_str(), count, FamilyName(family), kMaxProfiles);
        count = kMaxProfiles;
    }
    for (int i = 0; i < count; ++i)
        list.names.push_back(index_.ReadString(schema.nameSection, Key(i), "0"));
    list.select = index_.ReadInt(schema.selectSection, kSelectKey, 0);
    return list;
}

bool ProfileStore::Edit::FileExists(std::string_view fileName) {
    if (!listed_) {
        std::error_code ec;
        for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec))
            entries_.insert(FoldCase(Utf8FromPath(it->path().filename())));
        listed_ = true;
    }
    return entries_.contains(FoldCase(fileName));
}

std::vector<std::string> ProfileStore::Edit::FamilyFiles(ProfileFamily family) {
    const std::string_view extension = FamilySchema(kind_, family).extension;
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = Utf8FromPath(it->path().filename());
        if (!it->is_regular_file(ec) || IsAtomicTemporaryName(name)) continue;
        const auto found = FamilyOfFile(kind_, name);
        if (!found || found->first != family) continue;
        if (name.size() <= extension.size() ||
            CheckFileStem(found->second, extension) != NameCheck::Ok)
            continue;
        files.push_back(name);
    }
    return files;
}

void ProfileStore::Edit::Create(fs::path file, std::vector<uint8_t> bytes) {
    created_.push_back({std::move(file), std::move(bytes)});
}

void ProfileStore::Edit::MakeObsolete(fs::path file) {
    obsolete_.push_back(std::move(file));
}

ProfileResult ProfileStore::Edit::WriteFile(const fs::path& file, std::span<const uint8_t> bytes) {
    FileProblem why = FileProblem::Other;
    if (store_.files_->Write(file, bytes, &why)) return {};
    return FileFailure(ProfileError::WriteFailed, file,
                       why == FileProblem::None ? FileProblem::Other : why);
}

ProfileResult ProfileStore::Edit::RemoveFile(const fs::path& file) {
    FileProblem why = FileProblem::Other;
    if (store_.files_->Remove(file, &why)) return {};
    return FileFailure(ProfileError::WriteFailed, file,
                       why == FileProblem::None ? FileProblem::Other : why);
}

ProfileResult ProfileStore::Edit::Commit() {
    if (!ok()) return failure_;
    const fs::path journal = folder_ / PathFromUtf8(kJournalName);
    const bool journalled = !created_.empty() || !obsolete_.empty();
    if (journalled) {
        // A new file must not replace one that is in the folder without an entry.
        for (const Staged& staged : created_) {
            std::error_code ec;
            if (fs::exists(staged.file, ec)) {
                ProfileResult result;
                result.error = ProfileError::FileInTheWay;
                result.file = staged.file;
                return result;
            }
        }
        IniDocument record;
        int n = 0;
        bool written = true;
        for (const Staged& staged : created_)
            written = written &&
                      record.Write(kJournalSection, Key(n++), Utf8FromPath(staged.file.filename()));
        for (const fs::path& file : obsolete_)
            written =
                written && record.Write(kJournalSection, Key(n++), Utf8FromPath(file.filename()));
        written = written && record.Write(kJournalSection, kCountKey, Key(n));
        if (!written) return FileFailure(ProfileError::WriteFailed, journal, FileProblem::Other);
        if (ProfileResult r = WriteFile(journal, record.Serialize()); !r.ok()) return r;
    }
    // Undoes the new files; the journal stays when that fails, for the next edit to finish.
    const auto undo = [&](size_t written, ProfileResult failure) {
        bool undone = true;
        for (size_t i = 0; i < written; ++i)
            undone = RemoveFile(created_[i].file).ok() && undone;
        if (undone && journalled) RemoveFile(journal);
        return failure;
    };
    for (size_t i = 0; i < created_.size(); ++i)
        if (ProfileResult r = WriteFile(created_[i].file, created_[i].bytes); !r.ok())
            return undo(i, r);
    if (ProfileResult r = WriteFile(indexFile_, index_.Serialize()); !r.ok())
        return undo(created_.size(), r);
    // Done: the index holds the new state. What is left is tidying, which the journal finishes
    // if it fails here.
    bool tidy = true;
    for (const fs::path& file : obsolete_)
        tidy = RemoveFile(file).ok() && tidy;
    if (journalled && tidy) RemoveFile(journal);
    created_.clear();
    obsolete_.clear();
    return {};
}

ProfileResult ProfileStore::Edit::RecoverJournal(const ProfileStore& store, DeviceKind kind,
                                                 const fs::path& folder) {
    std::lock_guard lock(EditMutex());
    const fs::path journal = folder / PathFromUtf8(kJournalName);
    std::error_code ec;
    if (!fs::exists(journal, ec)) return {};
    const FileBytes bytes = ReadWholeFile(journal);
    if (bytes.status != FileReadStatus::Ok) {
        // Not written by us (it is always small and readable): leave it and refuse to edit.
        return FileFailure(ProfileError::WriteFailed, journal,
                           bytes.problem == FileProblem::None ? FileProblem::Other : bytes.problem);
    }
    const IniDocument record = IniDocument::Parse(bytes.bytes);
    IniDocument index;
    bool indexExists = false;
    const fs::path indexFile = store.IndexPath(kind);
    if (ProfileResult r = ReadIndexFile(indexFile, index, indexExists); !r.ok()) return r;

    // The lists of the index, as an edit would read them.
    const auto list = [&](ProfileFamily family) {
        const ProfileFamilySchema& schema = FamilySchema(kind, family);
        FamilyList l;
        const int count = std::min(index.ReadInt(schema.countSection, kCountKey, 0), kMaxProfiles);
        for (int i = 0; i < count; ++i)
            l.names.push_back(index.ReadString(schema.nameSection, Key(i), "0"));
        return l;
    };
    const int count = record.ReadInt(kJournalSection, kCountKey, 0);
    int removed = 0;
    for (int i = 0; i < count && i < 4 * kMaxProfiles; ++i) {
        const std::optional<std::string> name = record.Find(kJournalSection, Key(i));
        if (!name || name->empty()) continue;
        const auto family = FamilyOfFile(kind, *name);
        // Only our own profile files, by a plain name inside the folder.
        if (!family || CheckFileStem(family->second, FamilySchema(kind, family->first).extension) !=
                           NameCheck::Ok)
            continue;
        if (Listed(list(family->first), family->second)) continue;
        const fs::path file = FindFileNoCase(folder, *name);
        if (!fs::exists(file, ec)) continue;
        FileProblem why = FileProblem::Other;
        if (!store.files_->Remove(file, &why))
            return FileFailure(ProfileError::WriteFailed, file, why);
        ++removed;
    }
    FileProblem why = FileProblem::Other;
    if (!store.files_->Remove(journal, &why))
        return FileFailure(ProfileError::WriteFailed, journal, why);
    Logf(LogLevel::Warning, "an interrupted profile edit in %s was finished (%d file%s removed)",
         Utf8FromPath(folder).c_str(), removed, removed == 1 ? "" : "s");
    return {};
}

}  // namespace vq
