#include "core/control/device_controller.h"

#include "core/profile/profile_store.h"
#include "core/util/log.h"

namespace vq {

namespace {

constexpr const char* kFlushTimer = "flush";
constexpr const char* kSaveTimer = "save";

}  // namespace

DeviceController::DeviceController(DeviceKind kind, HidBackend* backend, TransportTiming transport,
                                   ProfileStore* store, ControllerTiming timing)
    : kind_(kind),
      session_(backend, transport),
      store_(store),
      timing_(timing),
      executor_(
          std::make_unique<SerialExecutor>(std::string(DeviceKindPrefix(kind)) + " controller")) {
    session_.SetIdentity(kind);
}

DeviceController::~DeviceController() {
    Shutdown();
}

void DeviceController::Post(std::function<void()> task) {
    if (!shutDown_.load()) executor_->Post(std::move(task));
}

void DeviceController::PostAfter(const std::string& key, std::chrono::milliseconds delay,
                                 std::function<void()> task, SerialExecutor::Timing timing) {
    if (!shutDown_.load()) executor_->PostAfter(key, delay, std::move(task), timing);
}

void DeviceController::Emit(ControllerEvent event) {
    event.kind = kind_;
    if (ControllerObserver* observer = observer_.load()) observer->OnControllerEvent(event);
}

void DeviceController::EmitFailed(std::string what, int result, std::string textId) {
    ControllerEvent event;
    event.type = ControllerEventType::Failed;
    event.what = std::move(what);
    event.result = result;
    event.textId = std::move(textId);
    Emit(std::move(event));
}

void DeviceController::Connect() {
    Post([this] { ConnectNow(); });
}

SearchResult DeviceController::ConnectNow() {
    SearchResult result = SearchResult::NotFound;
    const bool ran = executor_->RunAndWait([&] {
        std::lock_guard lock(session_.IoLock());
        result = ConnectConfigCollection(session_);
    });
    return ran ? result : SearchResult::NotFound;
}

void DeviceController::MarkChanged(unsigned families) {
    // The flush sends the record once, a moment after the first change of a burst.
    PostAfter(kFlushTimer, timing_.flushDelay, [this] { RunFlush(); });
    QueueSave(families);
}

void DeviceController::QueueSave(unsigned families) {
    if (families == kSaveNone || !store_) return;
    pendingSaves_.fetch_or(families);
    // The profiles are written once the burst of edits is over.
    PostAfter(
        kSaveTimer, timing_.saveDelay, [this] { SaveNowLocked(); },
        SerialExecutor::Timing::Restart);
}

void DeviceController::RunFlush() {
    const std::optional<int> result = SendDirtyRecord();
    if (result && *result != kResultSuccess && session_.IsConnected())
        Logf(LogLevel::Warning, "%s live record not sent (result %d)", DeviceKindPrefix(kind_),
             *result);
}

void DeviceController::SaveNowLocked() {
    const unsigned families = pendingSaves_.exchange(kSaveNone);
    if (!store_ || families == kSaveNone) return;
    // Light before device, as every edit saves them.
    constexpr std::pair<unsigned, ProfileFamily> kOrder[] = {{kSaveLight, ProfileFamily::Light},
                                                             {kSaveDevice, ProfileFamily::Device},
                                                             {kSaveKey, ProfileFamily::Key}};
    for (const auto& [bit, family] : kOrder) {
        if (!(families & bit) || !HasFamily(kind_, family)) continue;
        // While a followed profile is in force the model holds it, not the selection.
        const std::string followed = FollowedProfile(family);
        const SaveResult saved =
            followed.empty() ? store_->SaveSelectedProfile(kind_, family, PayloadModel())
                             : store_->SaveProfile(kind_, family, ProfileTarget::Named(followed),
                                                   PayloadModel());
        if (saved == SaveResult::Saved) {
            profileWrites_.fetch_add(1);
        } else if (saved != SaveResult::NoSelection) {
            Logf(LogLevel::Error, "the selected %s %s profile could not be saved",
                 DeviceKindPrefix(kind_), FamilyName(family));
            EmitFailed(std::string("saving the selected ") + FamilyName(family) + " profile", 0);
        }
    }
}

void DeviceController::SaveQueuedNow() {
    executor_->Cancel(kSaveTimer);
    SaveNowLocked();
}

void DeviceController::CancelFlush() {
    executor_->Cancel(kFlushTimer);
}

void DeviceController::Flush() {
    Post([this] {
        executor_->Cancel(kFlushTimer);
        RunFlush();
        executor_->Cancel(kSaveTimer);
        SaveNowLocked();
    });
}

int DeviceController::FlushNow() {
    int result = kResultSuccess;
    executor_->RunAndWait([&] {
        executor_->Cancel(kFlushTimer);
        result = SendDirtyRecord().value_or(kResultSuccess);
        executor_->Cancel(kSaveTimer);
        SaveNowLocked();
    });
    return result;
}

void DeviceController::DiscardPendingNow() {
    executor_->RunAndWait([&] {
        executor_->Cancel(kFlushTimer);
        ForgetDirtyRecord();
        executor_->Cancel(kSaveTimer);
        pendingSaves_.store(kSaveNone);
    });
}

void DeviceController::LoadSelected(ProfileFamily family, int index) {
    if (!store_) return;
    if (!store_->SetSelection(kind_, family, index))
        Logf(LogLevel::Warning, "%s profile selection %d not recorded", DeviceKindPrefix(kind_),
             index);
    const ProfileReadResult read = store_->LoadProfile(kind_, family, index, PayloadModel());
    if (read == ProfileReadResult::Missing) Log(LogLevel::Debug, "配置文件丢失");
    if (read == ProfileReadResult::BadFormat) Log(LogLevel::Debug, "配置文件格式错误");
}

void DeviceController::SelectProfile(ProfileFamily family, int index) {
    if (!HasFamily(kind_, family) || index < 0) return;
    Post([this, family, index] {
        // The edits so far belong to the profile they were made on.
        SaveQueuedNow();
        SetFollowed(family, {});
        LoadSelected(family, index);
        EmitSelected(family, index, false);
        ApplyProfile(family, index);
    });
}

void DeviceController::EmitSelected(ProfileFamily family, int index, bool followed) {
    ControllerEvent selected;
    selected.type = ControllerEventType::ProfileSelected;
    selected.family = family;
    selected.index = index;
    selected.followed = followed;
    if (store_)
        selected.listing =
            std::make_shared<const FamilyListing>(ListFamily(*store_, kind_, family));
    Emit(std::move(selected));
}

std::string DeviceController::FollowedProfile(ProfileFamily family) const {
    std::lock_guard lock(followedMutex_);
    return followed_[static_cast<int>(family)];
}

void DeviceController::SetFollowed(ProfileFamily family, std::string name) {
    std::lock_guard lock(followedMutex_);
    followed_[static_cast<int>(family)] = std::move(name);
}

int DeviceController::FollowedIndex(ProfileFamily family) {
    const std::string name = FollowedProfile(family);
    if (name.empty() || !store_) return -1;
    const FamilyIndex list = store_->ReadIndex(kind_, family);
    for (size_t i = 0; i < list.names.size(); ++i)
        if (list.names[i] == name) return static_cast<int>(i);
    SetFollowed(family, {});
    return -1;
}

void DeviceController::ApplyFollowedProfile(ProfileFamily family, int index) {
    if (!HasFamily(kind_, family) || index < 0) return;
    Post([this, family, index] {
        if (!store_) return;
        const FamilyIndex list = store_->ReadIndex(kind_, family);
        if (index >= static_cast<int>(list.names.size())) return;
        // The edits so far belong to the profile they were made on.
        SaveQueuedNow();
        SetFollowed(family, index == list.selected ? std::string()
                                                   : list.names[static_cast<size_t>(index)]);
        const ProfileReadResult read = store_->LoadProfile(kind_, family, index, PayloadModel());
        if (read != ProfileReadResult::Ok)
            Logf(LogLevel::Warning, "the %s %s profile %d in force was not loaded (%s)",
                 DeviceKindPrefix(kind_), FamilyName(family), index, ProfileReadResultName(read));
        EmitSelected(family, index, true);
        ApplyProfile(family, index);
        // A program coming to the front changes no file: what the apply would re-store waits for
        // the next edit.
        executor_->Cancel(kSaveTimer);
        pendingSaves_.store(kSaveNone);
    });
}

void DeviceController::RefreshListings() {
    Post([this] {
        if (!store_) return;
        for (ProfileFamily family : FamiliesOf(kind_)) {
            auto listing =
                std::make_shared<const FamilyListing>(ListFamily(*store_, kind_, family));
            std::shared_ptr<const FamilyListing>& last = listed_[static_cast<int>(family)];
            if (last && *last == *listing) continue;
            last = listing;
            ControllerEvent changed;
            changed.type = ControllerEventType::ProfileEdited;
            changed.family = family;
            changed.listing = std::move(listing);
            Emit(std::move(changed));
        }
    });
}

void DeviceController::EditProfile(ProfileRequest request) {
    Post([this, request = std::move(request)] { RunProfileEdit(request); });
}

ProfileResult DeviceController::EditProfileNow(const ProfileRequest& request) {
    ProfileResult result;
    result.error = ProfileError::NoSelection;
    executor_->RunAndWait([&] { result = RunProfileEdit(request); });
    return result;
}

ProfileResult DeviceController::RunProfileEdit(const ProfileRequest& request) {
    const ProfileFamily family = request.family;
    if (!store_ || !HasFamily(kind_, family)) {
        ProfileResult none;
        none.error = ProfileError::NoSuchFamily;
        return none;
    }
    // What was edited goes to the profile it was made on before anything moves.
    SaveQueuedNow();
    const std::string followed = FollowedProfile(family);
    const FamilyIndex before = store_->ReadIndex(kind_, family);
    const ProfileResult result = RunProfileRequest(*store_, kind_, request, &PayloadModel());

    ControllerEvent edited;
    edited.type = ControllerEventType::ProfileEdited;
    edited.family = family;
    edited.operation = request.operation;
    edited.index = result.index;
    edited.name = result.name;
    edited.result = result.ok() ? 1 : 0;
    edited.textId = ProfileTextId(result);
    edited.what = DescribeProfileResult(result);
    edited.listing = std::make_shared<const FamilyListing>(ListFamily(*store_, kind_, family));
    if (!result.ok())
        Logf(LogLevel::Warning, "%s %s profile %s: %s", DeviceKindPrefix(kind_), FamilyName(family),
             ProfileOperationName(request.operation), edited.what.c_str());
    Emit(std::move(edited));
    if (!result.ok()) return result;
    // The keyboard's device and key families keep their program paths in one section: a link
    // edit of one shows in the other's listing too.
    if (kind_ == DeviceKind::Keyboard && family != ProfileFamily::Light &&
        (request.operation == ProfileOperation::Link ||
         request.operation == ProfileOperation::Unlink)) {
        ControllerEvent sibling;
        sibling.type = ControllerEventType::ProfileEdited;
        sibling.family =
            family == ProfileFamily::Device ? ProfileFamily::Key : ProfileFamily::Device;
        sibling.operation = request.operation;
        sibling.listing =
            std::make_shared<const FamilyListing>(ListFamily(*store_, kind_, sibling.family));
        Emit(std::move(sibling));
    }

    if (SelectsAfterwards(request.operation)) {
        SetFollowed(family, {});
        LoadSelected(family, result.index);
        EmitSelected(family, result.index, false);
        ApplyProfile(family, result.index);
    } else if (request.operation == ProfileOperation::Reset) {
        // The model holds the selection's new content now.
        SetFollowed(family, {});
        EmitSelected(family, result.index, false);
        ApplyReset(family, result.index);
    } else if (request.operation == ProfileOperation::Rename && !followed.empty() &&
               result.index >= 0 && result.index < static_cast<int>(before.names.size()) &&
               before.names[static_cast<size_t>(result.index)] == followed) {
        SetFollowed(family, result.name);
    }
    return result;
}

void DeviceController::Shutdown() {
    std::lock_guard lock(shutdownMutex_);
    if (shutDown_.exchange(true)) return;
    // What is pending still reaches the device and the disk.
    executor_->RunAndWait([this] {
        executor_->Cancel(kFlushTimer);
        RunFlush();
        executor_->Cancel(kSaveTimer);
        SaveNowLocked();
    });
    executor_->Stop();
}

}  // namespace vq
