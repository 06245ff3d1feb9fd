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
        const SaveResult saved = store_->SaveSelectedProfile(kind_, family, PayloadModel());
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
        LoadSelected(family, index);
        ControllerEvent selected;
        selected.type = ControllerEventType::ProfileSelected;
        selected.family = family;
        selected.index = index;
        Emit(selected);
        ApplyProfile(family, index);
    });
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
