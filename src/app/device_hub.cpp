#include "app/device_hub.h"

#include <QMetaObject>
#include <QTimer>

#include "core/util/log.h"

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
    for (DeviceController* c : {static_cast<DeviceController*>(keyboard_.get()),
                                static_cast<DeviceController*>(mouse_.get()),
                                static_cast<DeviceController*>(mousepad_.get())})
        c->SetObserver(this);

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
    for (auto& [slot, worker] : workerBodies_)
        if (!workers_.Start(slot, worker.first, worker.second))
            Logf(LogLevel::Error, "worker thread %d (%s) not started", slot, worker.first.c_str());
    // A keyboard or mousepad that is not there keeps the model of its selected profiles.
    QTimer::singleShot(options_.startReadDelay, this, [this] {
        if (shutDown_) return;
        keyboard_->ReadAll(true);
        mousepad_->ReadAll(true);
    });
}

WorkerSet::StopOutcome DeviceHub::Shutdown() {
    if (shutDown_) return stopOutcome_;
    shutDown_ = true;
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

void DeviceHub::OnControllerEvent(const ControllerEvent& event) {
    QMetaObject::invokeMethod(
        this, [this, event] { emit Event(event); }, Qt::QueuedConnection);
}

void DeviceHub::OnDeviceEvent(DeviceEvent event) {
    switch (event) {
        case DeviceEvent::MouseLiveRead:
        case DeviceEvent::MouseFullRead:
        case DeviceEvent::MouseEventFlag:
            mouse_->OnDeviceEvent(event);
            return;
        case DeviceEvent::KeyboardLiveRead:
        case DeviceEvent::KeyboardFullRead:
            keyboard_->OnDeviceEvent(event);
            return;
    }
}

}  // namespace vq::app
