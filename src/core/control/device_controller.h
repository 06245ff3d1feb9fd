#pragma once
// A device's controller: the one owner of its DeviceSession, its model, the record flush and the
// saves of its selected profiles. Every device exchange runs on the controller's own thread, from
// a queue; callers (the window, the command-line tool, the presence and listener threads) post
// typed edits and commands and hear back through events. Nothing here waits for the caller.
//
// Writes are coalesced: an edit marks the record for the flush (sent once, `flushDelay` after
// the first mark) and its profile families for saving (each family written once, `saveDelay`
// after the last edit). Shutdown sends and saves what is pending.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/device/device_kind.h"
#include "core/device/device_search.h"
#include "core/device/device_session.h"
#include "core/profile/profile_payload.h"
#include "core/profile/profile_request.h"
#include "core/util/serial_executor.h"

namespace vq {

class ProfileStore;

enum class ControllerEventType {
    Arrived,          // the configuration collection was found and opened
    Removed,          // the device went away
    FirstPassShow,    // present on the presence's first pass: the window may show itself
    StillPresent,     // a presence probe found the device still there
    ModelChanged,     // the model was replaced or changed by the device: show it again
    ProfileSelected,  // `family`'s list selection is now `index` (see `followed`)
    ProfileEdited,    // a profile operation ended: `operation`, its `result`, the `listing`
                      // (also sent for the keyboard family that shares the link edited, with
                      // `index` -1)
    Progress,         // `value` 0-100 while a long transfer runs; -1 when it is over
    Failed,           // `what` failed with `result`; `textId` is the message to show, if any
};

// Why the model changed.
enum class ModelUpdate { Read, Reloaded, SlotSelected, ProfileLoaded, ButtonAssigned, Reset };

struct ControllerEvent {
    DeviceKind kind = DeviceKind::Mouse;
    ControllerEventType type = ControllerEventType::ModelChanged;
    ModelUpdate update = ModelUpdate::Read;
    // The record was replaced as a whole: the page lays out its effect again.
    bool fullRefresh = false;
    ProfileFamily family = ProfileFamily::Device;
    int index = -1;
    int value = 0;
    int result = 1;
    std::string textId;
    std::string what;
    // ProfileSelected: the profile was put in force for the program in front (or the selection
    // brought back when it left), not chosen: the stored selection did not change.
    bool followed = false;
    // ProfileEdited: the operation; `result` 1 done, 0 refused (`textId` the message to show,
    // `what` why in English); `index` and `name` the profile it ended on.
    ProfileOperation operation = ProfileOperation::Add;
    std::string name;
    // ProfileSelected and ProfileEdited: the family's list as it is now.
    std::shared_ptr<const FamilyListing> listing;
};

// Called on the controller's thread: an implementation that reaches a window posts to it.
class ControllerObserver {
  public:
    virtual ~ControllerObserver() = default;
    virtual void OnControllerEvent(const ControllerEvent& event) = 0;
};

struct ControllerTiming {
    std::chrono::milliseconds fullReadDelay{500};  // after an arrival
    std::chrono::milliseconds liveReadDelay{10};   // after a "record changed" notification
    std::chrono::milliseconds flushDelay{100};     // first mark → record sent
    std::chrono::milliseconds saveDelay{250};      // last edit → profiles written
    std::chrono::milliseconds resetSettle{500};    // factory reset → the mouse read back
};

// Which selected profiles an edit saves.
enum SaveFamilies : unsigned {
    kSaveNone = 0,
    kSaveDevice = 1u << 0,
    kSaveLight = 1u << 1,
    kSaveKey = 1u << 2,
    kSaveLightAndDevice = kSaveLight | kSaveDevice,
};

class DeviceController {
  public:
    DeviceController(DeviceKind kind, HidBackend* backend, TransportTiming transport,
                     ProfileStore* store, ControllerTiming timing);
    virtual ~DeviceController();
    DeviceController(const DeviceController&) = delete;
    DeviceController& operator=(const DeviceController&) = delete;

    DeviceKind Kind() const { return kind_; }
    // For the presence and listener threads, and for reading state; device commands go through
    // the controller.
    DeviceSession& Session() { return session_; }
    const DeviceSession& Session() const { return session_; }
    bool IsConnected() const { return session_.IsConnected(); }
    ProfileStore* Store() const { return store_; }
    const ControllerTiming& Timing() const { return timing_; }

    // Set before the first command; events are dropped while none is set.
    void SetObserver(ControllerObserver* observer) { observer_.store(observer); }

    // ---- commands (queued; the answer is an event)
    // One search for the device's configuration collection, without the arrival's actions.
    void Connect();
    // Selects profile `index` of `family`: records the selection, loads the profile and sends
    // what the family carries to the device.
    void SelectProfile(ProfileFamily family, int index);
    // Sends a record marked changed now, and writes the profiles waiting to be saved now.
    void Flush();
    // A profile operation, after the saves that are waiting (a copy or an export holds the
    // latest edits, and no save lands on a profile the operation moved). The answer is a
    // ProfileEdited event; an operation that ends with a selection then loads, announces and
    // sends it as SelectProfile does, and a reset applies the default it loaded.
    void EditProfile(ProfileRequest request);
    // Loads and sends profile `index` of `family` without recording it as the selection (the
    // profile of the program in front, or the selection brought back). While a profile other
    // than the selection is in force, the family's saves go to its file; selecting a profile
    // ends that. Nothing is written by the switch itself.
    void ApplyFollowedProfile(ProfileFamily family, int index);
    // The name of the profile in force when it is not the selection; "" when the selection is.
    std::string FollowedProfile(ProfileFamily family) const;
    // The profile files may have been changed by another program: each family whose listing
    // differs from the one this call last saw is announced as a ProfileEdited event with
    // `index` -1 (an answer to no operation).
    void RefreshListings();

    // Runs `task` on the controller's thread after what it was asked before: the file work of a
    // window that must not wait on the disk (it hears back through its own means). Ignored after
    // the shutdown.
    void RunTask(std::function<void()> task) { Post(std::move(task)); }

    // ---- the same, waiting (for the command-line tool and tests; never on a UI thread)
    SearchResult ConnectNow();
    // The result of the record's send; 1 when nothing was waiting.
    int FlushNow();
    ProfileResult EditProfileNow(const ProfileRequest& request);
    // Forgets the record send and the profile saves that are waiting, without doing them: a
    // command that only reads leaves the device and the files as they were.
    void DiscardPendingNow();
    bool WaitIdle(std::chrono::milliseconds limit = std::chrono::milliseconds(10000)) {
        return executor_->WaitIdle(limit);
    }
    // Runs `task` on the controller's thread and waits for it.
    bool RunAndWait(std::function<void()> task) { return executor_->RunAndWait(std::move(task)); }

    // Sends and saves what is pending, then stops the thread. Later commands are ignored. Safe
    // to call more than once; a derived class calls it first in its destructor.
    void Shutdown();

    // How many profile files the controller has written (for tests and benchmarks).
    int ProfileWrites() const { return profileWrites_.load(); }

  protected:
    // Runs on the controller's thread.
    void Post(std::function<void()> task);
    void PostAfter(const std::string& key, std::chrono::milliseconds delay,
                   std::function<void()> task,
                   SerialExecutor::Timing timing = SerialExecutor::Timing::Arm);
    void Emit(ControllerEvent event);
    void EmitFailed(std::string what, int result, std::string textId = {});
    // The record was edited: flush it soon, save `families` after the burst.
    void MarkChanged(unsigned families);
    // Saves `families` after the burst (without sending anything).
    void QueueSave(unsigned families);
    void SaveNowLocked();
    // Writes the families waiting to be saved now, instead of after the burst.
    void SaveQueuedNow();
    // Forgets a record send that waits for the flush (the mark stays with the model).
    void CancelFlush();
    // Loads profile `index` of `family` into the model, logging a file that is missing or bad.
    void LoadSelected(ProfileFamily family, int index);
    // Sends the record when it is marked changed: the result, nothing when it was not marked.
    virtual std::optional<int> SendDirtyRecord() = 0;
    // Clears the record's changed mark without sending it.
    virtual void ForgetDirtyRecord() = 0;
    virtual ProfilePayloadModel& PayloadModel() = 0;
    // What a profile selection sends and shows, after the load.
    virtual void ApplyProfile(ProfileFamily family, int index) = 0;
    // What a reset to the shipped default sends and shows, after the model took the default;
    // by default what a selection does.
    virtual void ApplyReset(ProfileFamily family, int index) { ApplyProfile(family, index); }
    // Keeps only `families` of the saves waiting.
    void KeepQueuedSaves(unsigned families) { pendingSaves_.fetch_and(families); }
    // The followed profile of the family when it is still listed (its index), else -1 (and it
    // is forgotten).
    int FollowedIndex(ProfileFamily family);
    // Announces the family's selection (or the profile in force) with its listing.
    void EmitSelected(ProfileFamily family, int index, bool followed);
    void RunFlush();

  private:
    DeviceKind kind_;
    DeviceSession session_;
    ProfileStore* store_;
    ControllerTiming timing_;
    std::atomic<ControllerObserver*> observer_{nullptr};
    std::atomic<unsigned> pendingSaves_{kSaveNone};
    std::atomic<int> profileWrites_{0};
    std::atomic<bool> shutDown_{false};
    std::mutex shutdownMutex_;
    mutable std::mutex followedMutex_;
    std::string followed_[3];  // per family, see FollowedProfile
    void SetFollowed(ProfileFamily family, std::string name);
    std::shared_ptr<const FamilyListing> listed_[3];  // RefreshListings's, on the thread
    ProfileResult RunProfileEdit(const ProfileRequest& request);

  protected:
    // Last, so that it is built after everything its tasks use (and a derived class stops it
    // before its own members go).
    std::unique_ptr<SerialExecutor> executor_;
};

}  // namespace vq
