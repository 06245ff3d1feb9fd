#pragma once
// The device side of the program: the profile store, one controller per device kind, and the
// worker threads that watch for the devices (presence, listeners, and the threads that have
// nothing to watch in this system). Controllers talk back through events, which the hub hands
// to the window's thread as the Event signal. Nothing here touches a widget.

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "core/control/light_device_controllers.h"
#include "core/control/linked_profile_follower.h"
#include "core/control/mouse_controller.h"
#include "core/device/presence.h"
#include "core/light/light_loops.h"
#include "core/profile/profile_store.h"
#include "core/util/worker_set.h"
#include "platform/foreground_program.h"

Q_DECLARE_METATYPE(vq::ControllerEvent)

namespace vq::app {

// Worker thread slots (each with the stop event of the same number; 12-14 have no thread).
enum WorkerSlot : int {
    kKeyboardPresence = 0,
    kMousePresence = 1,
    kMousepadPresence = 2,
    kMouseListener = 3,
    kKeyboardListener = 4,
    kKeyboardLight = 5,
    kMouseLight = 6,
    kMousepadLight = 7,
    kLightSync = 8,
    kKeyboardLightWatcher = 9,
    kKeyboardKeyWatcher = 10,
    kMouseWatcher = 11,
};

class DeviceHub : public QObject, private ControllerObserver, private ListenerObserver {
    Q_OBJECT
  public:
    struct Options {
        std::filesystem::path dataFolder;
        std::filesystem::path programFolder;
        HidBackend* backend = nullptr;
        TransportTiming timing{};
        PresenceTiming presence{};
        ListenerTiming listener{};
        ControllerTiming controller{};
        // The start-up reads of the keyboard and the mousepad.
        std::chrono::milliseconds startReadDelay{500};
        // The shutdown's limit for the worker threads.
        std::chrono::milliseconds shutdownLimit{10000};
        // The keyboard and the mousepad are looked for once at start (no presence thread
        // watches them): the simulated ones of the demo and the tests.
        bool connectKeyboardAndMousepad = false;
        // The light threads' time (tests); the system's clock when null. Not owned.
        light::LightClock* lightClock = nullptr;
        // Where the program in front comes from (null: the system's).
        platform::ForegroundProgram* foreground = nullptr;
    };
    using WorkerBody = WorkerSet::Body;

    explicit DeviceHub(Options options, QObject* parent = nullptr);
    ~DeviceHub() override;

    ProfileStore& Store() { return store_; }
    MouseController& Mouse() { return *mouse_; }
    KeyboardController& Keyboard() { return *keyboard_; }
    MousepadController& Mousepad() { return *mousepad_; }
    DeviceController& Controller(DeviceKind kind);
    bool AnyConnected() const;
    WorkerSet& Workers() { return workers_; }
    // The mouse's device profiles that follow the program in front.
    const LinkedProfileFollower& Follower() const { return *follower_; }
    // After Start: why the program in front cannot be followed here ("" when it can).
    const std::string& FollowWhyNot() const { return followWhyNot_; }

    // ---- the light threads (keyboard, mousepad, light sync)
    // What they share with the window: the wake, the output flag and the previews.
    light::LightShared& Light() { return light_; }
    light::KeyboardLightLoop& KeyboardLight() { return *keyboardLight_; }
    light::MousepadLightLoop& MousepadLight() { return *mousepadLight_; }
    light::LightSyncLoop& LightSyncLoop() { return *syncLoop_; }
    const light::SyncBlock& SyncBlock() const { return syncBlock_; }
    // The same-mode buttons: source 1 the keyboard, 2 the mouse, 3 the mousepad. The source's
    // light settings go to the other two devices (shown again and saved) and to the sync, and
    // every device is handed to the sync. false for any other source.
    bool StartLightSync(int source);
    // The window's light-output flag (cleared while the system sleeps).
    void SetLightOutput(bool on);

    // Runs `work` on the controller of `kind`, after what that controller was asked before (its
    // saves and edits of the same files), and hands what it returns to `done` on the hub's
    // thread, unless `receiver` is gone by then. The window's thread never waits for it; nothing
    // runs after the shutdown.
    template <typename Work, typename Done>
    void RunFileWork(DeviceKind kind, QObject* receiver, Work work, Done done) {
        using Result = decltype(work());
        ++fileWorkSent_;
        Controller(kind).RunTask([this, guard = QPointer<QObject>(receiver), work, done] {
            auto result = std::make_shared<Result>(work());
            QMetaObject::invokeMethod(
                this,
                [this, guard, done, result] {
                    ++fileWorkDone_;
                    if (guard) done(std::move(*result));
                },
                Qt::QueuedConnection);
        });
    }
    // File work handed over and not yet answered (on the hub's thread).
    int FileWorkWaiting() const { return fileWorkSent_ - fileWorkDone_; }

    // A worker for a slot, started by Start (replaces the built-in one, if any).
    void SetWorker(int slot, std::string name, WorkerBody body);
    // Every session refuses requests made on `thread` (the window's, in tests).
    void RefuseRequestsFrom(std::thread::id thread);

    // Loads what the files know before a device arrives, starts the worker threads and the
    // start-up reads.
    void Start();
    // Stops the worker threads (at most the shutdown limit), then sends and saves what the
    // controllers have pending. Safe to call more than once.
    WorkerSet::StopOutcome Shutdown();

  signals:
    // A controller's event, on the hub's thread.
    void Event(const vq::ControllerEvent& event);

  private:
    void OnControllerEvent(const ControllerEvent& event) override;
    void OnDeviceEvent(DeviceEvent event) override;

    Options options_;
    light::SystemLightClock systemClock_;
    light::LightShared light_;
    light::SyncBlock syncBlock_;
    ProfileStore store_;
    std::unique_ptr<MouseController> mouse_;
    std::unique_ptr<KeyboardController> keyboard_;
    std::unique_ptr<MousepadController> mousepad_;
    std::unique_ptr<light::KeyboardLightLoop> keyboardLight_;
    std::unique_ptr<light::MousepadLightLoop> mousepadLight_;
    std::unique_ptr<light::LightSyncLoop> syncLoop_;
    std::unique_ptr<platform::ForegroundProgram> ownForeground_;
    platform::ForegroundProgram* foreground_ = nullptr;
    // Fed by the program in front (its follower's thread) and the mouse's controller's events.
    std::unique_ptr<LinkedProfileFollower> follower_;
    std::string followWhyNot_;
    WorkerSet workers_;
    std::map<int, std::pair<std::string, WorkerBody>> workerBodies_;
    bool started_ = false;
    bool shutDown_ = false;
    // On the hub's thread.
    int fileWorkSent_ = 0;
    int fileWorkDone_ = 0;
    WorkerSet::StopOutcome stopOutcome_ = WorkerSet::StopOutcome::AllEnded;
};

}  // namespace vq::app
