#include "app/device_hub.h"

#include <QMetaObject>
#include <QTimer>

#include "core/util/log.h"
#include "platform/process_lock.h"

namespace vq::app {

DeviceHub::DeviceHub(Options options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      store_(options_.dataFolder, options_.programFolder),
      mouse_(std::make_unique<MouseController>(options_.backend, options_.timing, &store_,
                                               options_.controller)),
      keyboard_(std::make_unique<KeyboardController>(options_.backend, options_.timing, &store_,
                                                     options_.controller)),
      mousepad_(std::make_unique<MousepadController>(options_.backend, options_.timing, &store_,
                                                     options_.controller)) {
    qRegisterMetaType<vq::ControllerEvent>();
    follower_ = std::make_unique<LinkedProfileFollower>(store_, *mouse_, ProfileFamily::Device);
    foreground_ = options_.foreground;
    if (!foreground_) {
        ownForeground_ = platform::CreateSystemForegroundProgram();
        foreground_ = ownForeground_.get();
    }
    // quilletctl may be editing the same profiles.
    store_.SetProcessLocks(&platform::SystemProcessLocks());
    for (DeviceController* c : {static_cast<DeviceController*>(keyboard_.get()),
                                static_cast<DeviceController*>(mouse_.get()),
                                static_cast<DeviceController*>(mousepad_.get())})
        c->SetObserver(this);

    // The light threads look again whenever what they read changes.
    keyboard_->SetLightListener([this] { light_.wake.Notify(); });
    mousepad_->SetLightListener([this] { light_.wake.Notify(); });
    light::LightClock& clock = options_.lightClock ? *options_.lightClock : systemClock_;
    keyboardLight_ = std::make_unique<light::KeyboardLightLoop>(
        keyboard_->Session(), keyboard_->LightModel(), light_, clock);
    mousepadLight_ = std::make_unique<light::MousepadLightLoop>(
        mousepad_->Session(), mousepad_->LightModel(), light_, clock);
    syncLoop_ = std::make_unique<light::LightSyncLoop>(
        keyboard_->Session(), mouse_->Session(), mousepad_->Session(), syncBlock_, light_, clock);
    SetWorker(kKeyboardLight, "keyboard light",
              [this](WorkerSet::Context& context) { keyboardLight_->Run(context.token); });
    SetWorker(kMousepadLight, "mousepad light",
              [this](WorkerSet::Context& context) { mousepadLight_->Run(context.token); });
    SetWorker(kLightSync, "light sync",
              [this](WorkerSet::Context& context) { syncLoop_->Run(context.token); });

    // The threads that have nothing to watch in this system end at once.
    auto endsAtOnce = [](WorkerSet::Context&) {};
    SetWorker(kKeyboardPresence, "keyboard presence", endsAtOnce);
    SetWorker(kMousepadPresence, "mousepad presence", endsAtOnce);
    SetWorker(kKeyboardLightWatcher, "keyboard light process watcher", endsAtOnce);
    SetWorker(kKeyboardKeyWatcher, "keyboard key process watcher", endsAtOnce);
    SetWorker(kMousePresence, "mouse presence", [this](WorkerSet::Context& context) {
        RunPresenceLoop(mouse_->Session(), *mouse_, context.token, options_.presence);
    });
    SetWorker(kMouseListener, "mouse listener", [this](WorkerSet::Context& context) {
        RunListenerLoop(options_.backend, DeviceKind::Mouse, mouse_->Session(), *this,
                        context.token, options_.listener);
    });
    SetWorker(kKeyboardListener, "keyboard listener", [this](WorkerSet::Context& context) {
        RunListenerLoop(options_.backend, DeviceKind::Keyboard, mouse_->Session(), *this,
                        context.token, options_.listener);
    });
}

DeviceHub::~DeviceHub() {
    Shutdown();
    for (DeviceController* c : {static_cast<DeviceController*>(keyboard_.get()),
                                static_cast<DeviceController*>(mouse_.get()),
                                static_cast<DeviceController*>(mousepad_.get())})
        c->SetObserver(nullptr);
}

DeviceController& DeviceHub::Controller(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Keyboard:
            return *keyboard_;
        case DeviceKind::Mousepad:
            return *mousepad_;
        case DeviceKind::Mouse:
            break;
    }
    return *mouse_;
}

bool DeviceHub::AnyConnected() const {
    return keyboard_->IsConnected() || mouse_->IsConnected() || mousepad_->IsConnected();
}

void DeviceHub::SetWorker(int slot, std::string name, WorkerBody body) {
    workerBodies_[slot] = {std::move(name), std::move(body)};
}

void DeviceHub::RefuseRequestsFrom(std::thread::id thread) {
    keyboard_->Session().RefuseRequestsFrom(thread);
    mouse_->Session().RefuseRequestsFrom(thread);
    mousepad_->Session().RefuseRequestsFrom(thread);
}

void DeviceHub::Start() {
    if (started_ || shutDown_) return;
    started_ = true;
    mouse_->LoadStoredSettings();
    keyboard_->LoadStoredSettings();
    mousepad_->LoadStoredSettings();
    for (auto& [slot, worker] : workerBodies_)
        if (!workers_.Start(slot, worker.first, worker.second))
            Logf(LogLevel::Error, "worker thread %d (%s) not started", slot, worker.first.c_str());
    // The mouse's linked device profiles follow the program in front, told by the desktop's
    // events (the platform logs once when it cannot). The follower reads the profile index, so
    // each change is looked at on the mouse's controller, in the order the changes came, even
    // when the desktop tells of one on the window's thread.
    std::string why;
    if (!foreground_->Start(
            [follower = follower_.get(), mouse = mouse_.get()](const std::string& program) {
                mouse->RunTask([follower, program] { follower->ForegroundChanged(program); });
            },
            &why))
        followWhyNot_ = why.empty() ? std::string("unknown") : why;
    // A keyboard or mousepad that is not there keeps the model of its selected profiles.
    QTimer::singleShot(options_.startReadDelay, this, [this] {
        if (shutDown_) return;
        if (options_.connectKeyboardAndMousepad) {
            keyboard_->ConnectAndRead();
            mousepad_->ConnectAndRead();
            return;
        }
        keyboard_->ReadAll(true);
        mousepad_->ReadAll(true);
    });
}

WorkerSet::StopOutcome DeviceHub::Shutdown() {
    if (shutDown_) return stopOutcome_;
    shutDown_ = true;
    // No program change is followed any more.
    if (started_) foreground_->Stop();
    stopOutcome_ = workers_.StopAll(options_.shutdownLimit);
    if (stopOutcome_ == WorkerSet::StopOutcome::AllEnded) {
        Log(LogLevel::Debug, "所有对象处于激发状态");
    } else {
        Log(LogLevel::Debug, "所有对象处于非激发状态，超时");
        for (const std::string& name : workers_.StillRunning())
            Logf(LogLevel::Error, "the %s thread did not end in time", name.c_str());
    }
    // A change made in the last moments still reaches the device and the disk.
    keyboard_->Shutdown();
    mouse_->Shutdown();
    mousepad_->Shutdown();
    return stopOutcome_;
}

bool DeviceHub::StartLightSync(int source) {
    LightSettings s;
    switch (source) {
        case 1:
            s = keyboard_->Model().Light();
            break;
        case 2:
            s = LightSettings::From(mouse_->Model().Record().bytes);
            break;
        case 3:
            s = mousepad_->Model().Light();
            break;
        default:
            Logf(LogLevel::Warning, "同步失败 (light sync from source %d)", source);
            return false;
    }
    std::array<uint8_t, LightSettings::kSize + 1> block{};
    s.StoreInto(block);
    const std::span<const uint8_t, 8> bytes(block.data() + 1, 8);
    // The other two devices take the settings (their pages follow their controllers' events)
    // and their profiles are saved: the mousepad's light profile, the others' light and device.
    if (source != 1) keyboard_->SetLightSettings(s, kSaveLightAndDevice);
    if (source != 2) mouse_->SetLightBlock(bytes, kSaveLightAndDevice);
    if (source != 3) mousepad_->SetLightSettings(s, kSaveLight);
    syncBlock_.SetSettings(s);
    keyboard_->Session().SetLightSync(true);
    mouse_->Session().SetLightSync(true);
    mousepad_->Session().SetLightSync(true);
    light_.wake.Notify();
    return true;
}

void DeviceHub::SetLightOutput(bool on) {
    light_.lightOutput.store(on);
    light_.wake.Notify();
}

void DeviceHub::OnControllerEvent(const ControllerEvent& event) {
    // Arrivals, removals and new models change what the light threads do.
    if (event.type == ControllerEventType::Arrived || event.type == ControllerEventType::Removed ||
        event.type == ControllerEventType::ModelChanged)
        light_.wake.Notify();
    // On the controller's thread: the follower hears of selections and edits in their order.
    if (event.kind == DeviceKind::Mouse) follower_->OnControllerEvent(event);
    QMetaObject::invokeMethod(
        this, [this, event] { emit Event(event); }, Qt::QueuedConnection);
}

void DeviceHub::OnDeviceEvent(DeviceEvent event) {
    switch (event) {
        case DeviceEvent::MouseLiveRead:
        case DeviceEvent::MouseFullRead:
            mouse_->OnDeviceEvent(event);
            return;
        case DeviceEvent::MouseEventFlag:
            mouse_->OnDeviceEvent(event);
            // The mousepad's flash effect answers the mouse's event.
            mousepadLight_->TriggerFlash();
            return;
        case DeviceEvent::KeyboardLiveRead:
        case DeviceEvent::KeyboardFullRead:
            keyboard_->OnDeviceEvent(event);
            return;
    }
}

}  // namespace vq::app
