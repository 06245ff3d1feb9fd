#include "core/control/light_device_controllers.h"

#include "core/util/log.h"

namespace vq {

namespace {

// A 21-byte live record goes out as 56 bytes at address 0.
std::optional<int> SendLightRecord(DeviceSession& session, const LightRecord& record) {
    std::array<uint8_t, LightRecord::kWireSize> wire{};
    std::copy(record.bytes.begin(), record.bytes.end(), wire.begin());
    return session.WriteParams(wire, 0);
}

// The read-backs' saves go to the controller's coalesced writer.
class SaveHooks : public ReadBackObserver {
  public:
    explicit SaveHooks(std::function<void(unsigned)> save, std::function<void()> tooLarge)
        : save_(std::move(save)), tooLarge_(std::move(tooLarge)) {}
    void SaveSelectedKeyProfile() override { save_(kSaveKey); }
    void SaveSelectedDeviceProfile() override { save_(kSaveDevice); }
    void SaveSelectedLightProfile() override { save_(kSaveLight); }
    void KeyTableTooLarge() override {
        if (tooLarge_) tooLarge_();
    }

  private:
    std::function<void(unsigned)> save_;
    std::function<void()> tooLarge_;
};

}  // namespace

// ---- keyboard ----------------------------------------------------------------------------------

class KeyboardController::Hooks : public SaveHooks {
    using SaveHooks::SaveHooks;
};

KeyboardController::KeyboardController(HidBackend* backend, TransportTiming transport,
                                       ProfileStore* store, ControllerTiming timing)
    : DeviceController(DeviceKind::Keyboard, backend, transport, store, timing),
      hooks_(std::make_unique<Hooks>([this](unsigned families) { QueueSave(families); },
                                     [this] {
                                         EmitFailed("the keyboard's key table", kResultRefusedFF,
                                                    "message_text_11");
                                     })) {}

KeyboardController::~KeyboardController() {
    Shutdown();
}

void KeyboardController::Finish(ReadBackResult result, ModelUpdate update) {
    ControllerEvent changed;
    changed.type = ControllerEventType::ModelChanged;
    changed.update = update;
    changed.fullRefresh = result == ReadBackResult::Done;
    Emit(changed);
}

void KeyboardController::ReadAll(bool onlyWhenConnected) {
    Post([this, onlyWhenConnected] {
        if (onlyWhenConnected && !IsConnected()) {
            Finish(ReadBackResult::Partial, ModelUpdate::Read);
            return;
        }
        Finish(ReadKeyboard(Session(), model_, *hooks_), ModelUpdate::Read);
    });
}

void KeyboardController::ReadLive() {
    Post([this] {
        Finish(ReloadKeyboardRecord(Session(), model_, *hooks_), ModelUpdate::Reloaded);
    });
}

void KeyboardController::OnDeviceEvent(DeviceEvent event) {
    if (event == DeviceEvent::KeyboardFullRead) ReadAll();
    if (event == DeviceEvent::KeyboardLiveRead) ReadLive();
}

void KeyboardController::MarkRecordChanged(unsigned families) {
    Post([this, families] {
        model_.SetDirty();
        MarkChanged(families);
    });
}

std::optional<int> KeyboardController::SendDirtyRecord() {
    if (!model_.TakeDirty()) return std::nullopt;
    return SendLightRecord(Session(), model_.Record());
}

void KeyboardController::ApplyProfile(ProfileFamily family, int) {
    if (family == ProfileFamily::Device) model_.TakeStoredRecordZero();
    if (family != ProfileFamily::Key) {
        model_.SetDirty();
        MarkChanged(kSaveNone);
    }
    if (family != ProfileFamily::Light)
        if (auto layer = model_.KeyLayer(0)) Session().WriteIndexedBlock(*layer, 0);
    Finish(ReadBackResult::Partial, ModelUpdate::ProfileLoaded);
}

// ---- mousepad ----------------------------------------------------------------------------------

class MousepadController::Hooks : public SaveHooks {
    using SaveHooks::SaveHooks;
};

MousepadController::MousepadController(HidBackend* backend, TransportTiming transport,
                                       ProfileStore* store, ControllerTiming timing)
    : DeviceController(DeviceKind::Mousepad, backend, transport, store, timing),
      hooks_(std::make_unique<Hooks>([this](unsigned families) { QueueSave(families); },
                                     std::function<void()>{})) {}

MousepadController::~MousepadController() {
    Shutdown();
}

void MousepadController::ReadAll(bool onlyWhenConnected) {
    Post([this, onlyWhenConnected] {
        ReadBackResult result = ReadBackResult::Partial;
        if (!onlyWhenConnected || IsConnected()) result = ReadMousepad(Session(), model_, *hooks_);
        ControllerEvent changed;
        changed.type = ControllerEventType::ModelChanged;
        changed.update = ModelUpdate::Read;
        changed.fullRefresh = result == ReadBackResult::Done;
        Emit(changed);
    });
}

void MousepadController::MarkRecordChanged(unsigned families) {
    Post([this, families] {
        model_.SetDirty();
        MarkChanged(families);
    });
}

std::optional<int> MousepadController::SendDirtyRecord() {
    if (!model_.TakeDirty()) return std::nullopt;
    return SendLightRecord(Session(), model_.Record());
}

void MousepadController::ApplyProfile(ProfileFamily, int) {
    model_.SetDirty();
    MarkChanged(kSaveNone);
    ControllerEvent changed;
    changed.type = ControllerEventType::ModelChanged;
    changed.update = ModelUpdate::ProfileLoaded;
    Emit(changed);
}

}  // namespace vq
