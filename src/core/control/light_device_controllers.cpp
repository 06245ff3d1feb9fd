#include "core/control/light_device_controllers.h"

#include <algorithm>
#include <thread>

#include "core/keyboard/keyboard_defaults.h"
#include "core/keyboard/keyboard_layout.h"
#include "core/macro/key_page_save.h"
#include "core/macro/macro_file.h"
#include "core/macro/macro_library_ops.h"
#include "core/profile/profile_store.h"
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

uint8_t Level(int level) {
    return static_cast<uint8_t>(std::clamp(level, 0, 4));
}

uint8_t SpeedFromSlider(int pos) {
    return static_cast<uint8_t>(std::clamp(4 - pos, 0, 4));
}

// A device that no presence thread watches: found once, its arrival announced.
bool ConnectOnce(DeviceController& controller, std::function<void(ControllerEvent)> emit) {
    SearchResult found = SearchResult::NotFound;
    {
        std::lock_guard lock(controller.Session().IoLock());
        found = ConnectConfigCollection(controller.Session());
    }
    if (found != SearchResult::Connected) {
        Logf(LogLevel::Debug, "%s: not found", DeviceKindPrefix(controller.Kind()));
        return false;
    }
    ControllerEvent arrived;
    arrived.type = ControllerEventType::Arrived;
    emit(arrived);
    return true;
}

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

void KeyboardController::RepairMacroKeys(int deleted) {
    if (deleted < 0) return;
    Post([this, deleted] {
        RepairKeyboardKeysAfterDelete(model_, deleted);
        if (Store() && !RepairProfilesAfterDelete(*Store(), DeviceKind::Keyboard, deleted,
                                                  KeyLayerImage(DefaultKeyboardKeyLayer())))
            EmitFailed("repairing the profiles' keys after a macro was deleted", 0);
        ControllerEvent changed;
        changed.type = ControllerEventType::ModelChanged;
        changed.update = ModelUpdate::ButtonAssigned;
        Emit(changed);
    });
}

void KeyboardController::Finish(ReadBackResult result, ModelUpdate update) {
    ControllerEvent changed;
    changed.type = ControllerEventType::ModelChanged;
    changed.update = update;
    changed.fullRefresh = result == ReadBackResult::Done;
    Emit(changed);
    LightChanged();
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

ReadBackResult KeyboardController::ReadAllNow() {
    ReadBackResult result = ReadBackResult::Partial;
    executor_->RunAndWait([&] {
        result = ReadKeyboard(Session(), model_, *hooks_);
        Finish(result, ModelUpdate::Read);
    });
    return result;
}

ReadBackResult KeyboardController::ReadLiveNow() {
    ReadBackResult result = ReadBackResult::Partial;
    executor_->RunAndWait([&] {
        result = ReloadKeyboardRecord(Session(), model_, *hooks_);
        Finish(result, ModelUpdate::Reloaded);
    });
    return result;
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

void KeyboardController::LightChanged() {
    if (lightListener_) lightListener_();
}

void KeyboardController::LoadStoredSettings() {
    Post([this] {
        if (!Store()) return;
        // The light profile last: it is the one the lighting page's list shows.
        for (ProfileFamily family :
             {ProfileFamily::Device, ProfileFamily::Key, ProfileFamily::Light}) {
            const FamilyIndex index = Store()->ReadIndex(DeviceKind::Keyboard, family);
            if (index.selected >= 0)
                Store()->LoadProfile(DeviceKind::Keyboard, family, index.selected, model_);
        }
        Finish(ReadBackResult::Partial, ModelUpdate::ProfileLoaded);
    });
}

void KeyboardController::ConnectAndRead() {
    Post([this] {
        if (!ConnectOnce(*this, [this](ControllerEvent e) { Emit(std::move(e)); })) return;
        LightChanged();
        Finish(ReadKeyboard(Session(), model_, *hooks_), ModelUpdate::Read);
    });
}

void KeyboardController::SetLightMode(int mode) {
    if (mode < 0 || mode > 16) return;
    Post([this, mode] {
        model_.EditRecord([mode](LightRecord& r) { r.bytes[1] = static_cast<uint8_t>(mode); });
        model_.SetDirty();
        MarkChanged(kSaveLightAndDevice);
        // The keyboard runs its own effect again rather than the cross-device one.
        Session().SetLightSync(false);
        LightChanged();
    });
}

void KeyboardController::SetLightSettings(const LightSettings& s, unsigned families) {
    Post([this, s, families] {
        model_.SetLight(s);
        model_.SetDirty();
        MarkChanged(families);
        LightChanged();
        ControllerEvent changed;
        changed.type = ControllerEventType::ModelChanged;
        changed.update = ModelUpdate::Reloaded;
        changed.fullRefresh = true;
        Emit(changed);
    });
}

void KeyboardController::SetBrightness(int level) {
    Post([this, v = Level(level)] {
        model_.EditRecord([v](LightRecord& r) { r.bytes[2] = v; });
        model_.SetDirty();
        MarkChanged(kSaveLightAndDevice);
        LightChanged();
    });
}

void KeyboardController::SetLightSpeedFromSlider(int pos) {
    Post([this, v = SpeedFromSlider(pos)] {
        model_.EditRecord([v](LightRecord& r) { r.bytes[3] = v; });
        model_.SetDirty();
        MarkChanged(kSaveLightAndDevice);
        LightChanged();
    });
}

void KeyboardController::SetDirection(bool first) {
    Post([this, first] {
        model_.EditRecord([first](LightRecord& r) { r.bytes[4] = first ? 1 : 0; });
        model_.SetDirty();
        MarkChanged(kSaveLightAndDevice);
        LightChanged();
    });
}

void KeyboardController::SetColourful(bool on) {
    Post([this, on] {
        model_.EditRecord([on](LightRecord& r) { r.bytes[5] = on ? 1 : 0; });
        model_.SetDirty();
        MarkChanged(kSaveLightAndDevice);
        LightChanged();
    });
}

void KeyboardController::SetLightColour(Rgb colour, bool save) {
    Post([this, colour, save] {
        model_.EditRecord([colour](LightRecord& r) {
            r.bytes[5] = 0;
            r.bytes[6] = colour.red;
            r.bytes[7] = colour.green;
            r.bytes[8] = colour.blue;
        });
        model_.SetDirty();
        MarkChanged(save ? kSaveLightAndDevice : kSaveNone);
        LightChanged();
    });
}

template <typename Edit>
void KeyboardController::EditCustom(Edit edit) {
    Post([this, edit] {
        if (!edit(model_)) return;
        QueueSave(kSaveLightAndDevice);
        LightChanged();
    });
}

void KeyboardController::SetCustomSlot(int slot) {
    if (slot < 0 || slot >= kCustomLayouts) return;
    EditCustom([slot](KeyboardModel& m) { return m.SetCustomSlot(static_cast<uint8_t>(slot)); });
}

void KeyboardController::SetCustomColour(Rgb colour) {
    EditCustom([colour](KeyboardModel& m) {
        m.SetCustomColour(colour);
        return true;
    });
}

void KeyboardController::PaintButton(int button) {
    EditCustom([button](KeyboardModel& m) {
        const uint8_t mode = m.Light().mode;
        // Only the custom effect of each variant paints; a button without an LED paints nothing.
        if (m.Variant() == KeyboardVariant::SingleColour) {
            if (mode != 6) return false;
            const uint8_t level = ButtonLevel(button);
            return level != kNoKey && m.PaintLed(level);
        }
        if (mode != 8) return false;
        const uint8_t led = ButtonLed(button);
        return led != kNoKey && m.PaintLed(led);
    });
}

void KeyboardController::LightAllLeds() {
    EditCustom([](KeyboardModel& m) {
        m.LightAllLeds();
        return true;
    });
}

void KeyboardController::DarkenAllLeds() {
    EditCustom([](KeyboardModel& m) {
        m.DarkenAllLeds();
        return true;
    });
}

void KeyboardController::AssignKey(int key, KeyAssignment code) {
    Post([this, key, code] {
        if (key < 0 || key >= model_.KeyCount()) return;
        if (!model_.SetKeyAt(model_.ActiveLayer(), key, code)) return;
        ControllerEvent changed;
        changed.type = ControllerEventType::ModelChanged;
        changed.update = ModelUpdate::ButtonAssigned;
        Emit(changed);
    });
}

void KeyboardController::RestoreKeyDefault(int key) {
    Post([this, key] {
        if (key < 0 || key >= model_.KeyCount()) return;
        model_.SetKeyAt(model_.ActiveLayer(), key, model_.FactoryAt(key));
        ControllerEvent changed;
        changed.type = ControllerEventType::ModelChanged;
        changed.update = ModelUpdate::ButtonAssigned;
        Emit(changed);
    });
}

void KeyboardController::SaveKeyPage() {
    Post([this] { RunSaveKeyPage(); });
}

int KeyboardController::SaveKeyPageNow() {
    int result = 0;
    executor_->RunAndWait([&] { result = RunSaveKeyPage(); });
    return result;
}

int KeyboardController::RunSaveKeyPage() {
    const std::optional<std::filesystem::path> folder =
        Store() ? Store()->KindFolder(DeviceKind::Keyboard) : std::nullopt;
    ControllerEvent progress;
    progress.type = ControllerEventType::Progress;
    progress.value = 0;
    Emit(progress);
    const MacroLibrary library(DeviceKind::Keyboard, folder ? *folder : std::filesystem::path());
    KeyPageSave save = KeyboardKeyPageSave(model_, library);
    if (!folder) save.macros.clear();  // no library to send: the key block alone
    const KeyPageSaveResult r = vq::SaveKeyPage(Session(), save, [this](int done, int total) {
        ControllerEvent step;
        step.type = ControllerEventType::Progress;
        step.value = total > 0 ? done * 100 / total : 100;
        Emit(step);
    });
    if (!r.Ok()) {
        Logf(LogLevel::Warning, "the keyboard's key page save stopped: %s", r.detail.c_str());
        ControllerEvent failed;
        failed.type = ControllerEventType::Failed;
        failed.what = r.detail.empty() ? std::string("the keyboard's key page save") : r.detail;
        failed.result = r.keyLayer;
        failed.textId = r.textId;
        failed.value = r.textArg;
        Emit(failed);
    }
    if (r.saveProfiles) {
        QueueSave(kSaveKey | kSaveDevice);
        SaveQueuedNow();
    }
    progress.value = -1;
    Emit(progress);
    return r.keyLayerSent ? r.keyLayer : 0;
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
    LightChanged();
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
        LightChanged();
    });
}

ReadBackResult MousepadController::ReadAllNow() {
    ReadBackResult result = ReadBackResult::Partial;
    executor_->RunAndWait([&] {
        result = ReadMousepad(Session(), model_, *hooks_);
        LightChanged();
    });
    return result;
}

void MousepadController::MarkRecordChanged(unsigned families) {
    Post([this, families] {
        model_.SetDirty();
        MarkChanged(families);
    });
}

void MousepadController::LightChanged() {
    if (lightListener_) lightListener_();
}

void MousepadController::LoadStoredSettings() {
    Post([this] {
        if (!Store()) return;
        const FamilyIndex index = Store()->ReadIndex(DeviceKind::Mousepad, ProfileFamily::Light);
        if (index.selected >= 0)
            Store()->LoadProfile(DeviceKind::Mousepad, ProfileFamily::Light, index.selected,
                                 model_);
        ControllerEvent changed;
        changed.type = ControllerEventType::ModelChanged;
        changed.update = ModelUpdate::ProfileLoaded;
        changed.family = ProfileFamily::Light;
        Emit(changed);
        LightChanged();
    });
}

void MousepadController::ConnectAndRead() {
    Post([this] {
        if (!ConnectOnce(*this, [this](ControllerEvent e) { Emit(std::move(e)); })) return;
        LightChanged();
        const ReadBackResult result = ReadMousepad(Session(), model_, *hooks_);
        ControllerEvent changed;
        changed.type = ControllerEventType::ModelChanged;
        changed.update = ModelUpdate::Read;
        changed.fullRefresh = result == ReadBackResult::Done;
        Emit(changed);
        LightChanged();
    });
}

template <typename Edit>
void MousepadController::EditLight(unsigned families, Edit edit) {
    Post([this, families, edit] {
        model_.EditRecord(edit);
        model_.SetDirty();
        MarkChanged(families);
        LightChanged();
    });
}

void MousepadController::SetLightMode(int mode) {
    if (mode < 0 || mode > 9) return;
    EditLight(kSaveLight, [this, mode](LightRecord& r) {
        r.bytes[1] = static_cast<uint8_t>(mode);
        // The mousepad runs its own effect again rather than the cross-device one.
        Session().SetLightSync(false);
    });
}

void MousepadController::SetBrightness(int level) {
    EditLight(kSaveLight, [v = Level(level)](LightRecord& r) { r.bytes[2] = v; });
}

void MousepadController::SetLightSpeedFromSlider(int pos) {
    EditLight(kSaveLight, [v = SpeedFromSlider(pos)](LightRecord& r) { r.bytes[3] = v; });
}

void MousepadController::SetDirection(bool first) {
    EditLight(kSaveLight, [first](LightRecord& r) { r.bytes[4] = first ? 1 : 0; });
}

void MousepadController::SetColourful(bool on) {
    EditLight(kSaveLight, [on](LightRecord& r) { r.bytes[5] = on ? 1 : 0; });
}

void MousepadController::SetLightColour(Rgb colour, bool save) {
    EditLight(save ? kSaveLight : kSaveNone, [colour](LightRecord& r) {
        r.bytes[5] = 0;
        r.bytes[6] = colour.red;
        r.bytes[7] = colour.green;
        r.bytes[8] = colour.blue;
    });
}

void MousepadController::SetLightSettings(const LightSettings& s, unsigned families) {
    Post([this, s, families] {
        model_.SetLight(s);
        model_.SetDirty();
        MarkChanged(families);
        LightChanged();
        ControllerEvent changed;
        changed.type = ControllerEventType::ModelChanged;
        changed.update = ModelUpdate::Reloaded;
        changed.fullRefresh = true;
        Emit(changed);
    });
}

void MousepadController::FactoryReset(std::chrono::milliseconds settle) {
    Post([this, settle] {
        if (!IsConnected()) return;
        const ReadBackResult result = ResetMousepad(Session(), model_, *hooks_, settle);
        ControllerEvent changed;
        changed.type = ControllerEventType::ModelChanged;
        changed.update = ModelUpdate::Reset;
        changed.fullRefresh = result == ReadBackResult::Done;
        Emit(changed);
        LightChanged();
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
    LightChanged();
}

}  // namespace vq
