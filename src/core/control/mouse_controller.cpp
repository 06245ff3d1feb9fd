#include "core/control/mouse_controller.h"

#include <algorithm>
#include <thread>

#include "core/macro/cursor_scripts.h"
#include "core/macro/key_page_save.h"
#include "core/macro/macro_file.h"
#include "core/macro/macro_library_ops.h"
#include "core/mouse/button_panel.h"
#include "core/mouse/mouse_defaults.h"
#include "core/mouse/mouse_device.h"
#include "core/mouse/mouse_facts.h"
#include "core/profile/profile_store.h"
#include "core/util/log.h"

namespace vq {

namespace {

constexpr const char* kFullReadKey = "full read";
constexpr const char* kLiveReadKey = "live read";
constexpr const char* kResetReadKey = "reset read";

}  // namespace

// What the model's own operations ask of the program: the saves go to the controller's
// coalesced writer; the system's pointer speed comes from the system pointer, when there is one
// that can tell it (otherwise the model keeps the stored one).
class MouseController::ModelHooks : public MouseModelObserver {
  public:
    explicit ModelHooks(MouseController& c) : c_(c) {}
    void SaveSelectedLightProfile() override { c_.QueueSave(kSaveLight); }
    void SaveSelectedDeviceProfile() override { c_.QueueSave(kSaveDevice); }
    uint8_t SystemPointerSpeed() override {
        SystemPointerTarget* target = c_.SystemPointer();
        const std::optional<int> speed = target ? target->Speed() : std::nullopt;
        return speed ? LimitPointerSpeed(*speed) : uint8_t{0};
    }

  private:
    MouseController& c_;
};

MouseController::MouseController(HidBackend* backend, TransportTiming transport,
                                 ProfileStore* store, ControllerTiming timing)
    : DeviceController(DeviceKind::Mouse, backend, transport, store, timing),
      hooks_(std::make_unique<ModelHooks>(*this)),
      pointer_(std::make_unique<PointerApplier>()),
      model_(hooks_.get()) {}

MouseController::~MouseController() {
    Shutdown();
    model_.SetObserver(nullptr);
}

void MouseController::LoadStoredSettings() {
    Post([this] {
        if (!Store()) return;
        const FamilyIndex light = Store()->ReadIndex(DeviceKind::Mouse, ProfileFamily::Light);
        if (light.selected >= 0)
            Store()->LoadProfile(DeviceKind::Mouse, ProfileFamily::Light, light.selected, model_);
    });
}

// ---- presence ----------------------------------------------------------------------------------

void MouseController::OnArrived() {
    Post([this] { RunArrival(); });
}

void MouseController::RunArrival() {
    ControllerEvent arrived;
    arrived.type = ControllerEventType::Arrived;
    Emit(arrived);
    // The stored device profile is selected as though the user had chosen it: it is loaded and
    // sent. The full read follows a moment later. While the program in front has its own
    // profile in force, that one is sent instead, and the selection stays as it is.
    if (Store()) {
        const int select = Store()->StoredSelection(DeviceKind::Mouse, ProfileFamily::Device);
        const FamilyIndex index = Store()->ReadIndex(DeviceKind::Mouse, ProfileFamily::Device);
        if (const int followed = FollowedIndex(ProfileFamily::Device); followed >= 0) {
            Store()->LoadProfile(DeviceKind::Mouse, ProfileFamily::Device, followed, model_);
            EmitSelected(ProfileFamily::Device, followed, true);
            ApplyProfile(ProfileFamily::Device, followed);
        } else if (select >= 0 && select < static_cast<int>(index.names.size())) {
            LoadSelected(ProfileFamily::Device, select);
            EmitSelected(ProfileFamily::Device, select, false);
            ApplyProfile(ProfileFamily::Device, select);
        }
    }
    PostAfter(kFullReadKey, Timing().fullReadDelay, [this] { RunReadAll(); });
}

void MouseController::OnRemoved() {
    ControllerEvent removed;
    removed.type = ControllerEventType::Removed;
    Emit(removed);
}

void MouseController::OnStillPresent() {
    ControllerEvent present;
    present.type = ControllerEventType::StillPresent;
    Emit(present);
}

void MouseController::OnFirstPassShow() {
    ControllerEvent show;
    show.type = ControllerEventType::FirstPassShow;
    Emit(show);
}

void MouseController::OnDeviceEvent(DeviceEvent event) {
    switch (event) {
        case DeviceEvent::MouseLiveRead:
            PostAfter(kLiveReadKey, Timing().liveReadDelay, [this] {
                if (IsConnected()) RunReadLive();
            });
            return;
        case DeviceEvent::MouseFullRead:
            Post([this] { RunReadAll(); });
            return;
        case DeviceEvent::MouseEventFlag:
            mouseEvent_.store(true);
            return;
        default:
            return;
    }
}

// ---- read-backs and slots ----------------------------------------------------------------------

void MouseController::ReadAll() {
    Post([this] { RunReadAll(); });
}

void MouseController::ReadLive() {
    Post([this] { RunReadLive(); });
}

int MouseController::ReadAllNow(MouseReadReport* report) {
    int result = 0;
    executor_->RunAndWait([&] { result = RunReadAll(report); });
    return result;
}

int MouseController::ReadLiveNow(MouseReadReport* report) {
    int result = 0;
    executor_->RunAndWait([&] { result = RunReadLive(report); });
    return result;
}

int MouseController::RunReadAll(MouseReadReport* report) {
    const int result = ReadMouse(Session(), model_, report);
    if (model_.TakeFullRefresh()) FullRefresh();
    EmitModelChanged(ModelUpdate::Read, true);
    return result;
}

int MouseController::RunReadLive(MouseReadReport* report) {
    const int result = ReloadMouseRecord(Session(), model_, report);
    const bool replaced = model_.TakeFullRefresh();
    if (replaced) FullRefresh();
    EmitModelChanged(ModelUpdate::Reloaded, replaced);
    return result;
}

void MouseController::SelectSlot(int slot) {
    if (!IsMouseSlot(slot)) return;
    Post([this, slot] {
        SelectMouseSlot(Session(), model_, slot);
        EmitModelChanged(ModelUpdate::SlotSelected, false);
    });
}

void MouseController::FullRefresh() {
    model_.EditRecord([](MouseRecord& r) { ApplyFullRefresh(r); });
    model_.SetDirty();
    MarkChanged(kSaveLightAndDevice);
}

void MouseController::EmitModelChanged(ModelUpdate update, bool fullRefresh, ProfileFamily family) {
    ControllerEvent changed;
    changed.family = family;
    changed.type = ControllerEventType::ModelChanged;
    changed.update = update;
    changed.fullRefresh = fullRefresh;
    Emit(changed);
}

// ---- profiles ----------------------------------------------------------------------------------

void MouseController::ApplyProfile(ProfileFamily family, int) {
    // The writes of a selection go on their own, without Begin/End; a mouse that is not
    // connected makes them do nothing.
    switch (family) {
        case ProfileFamily::Device:
            ApplySystemPointer();
            FullRefresh();
            WriteMouseRecord(Session(), model_);
            WriteMouseKeyLayer(Session(), model_, 0);
            EmitModelChanged(ModelUpdate::ProfileLoaded, true);
            return;
        case ProfileFamily::Light:
            ApplySystemPointer();
            model_.SetDirty();
            MarkChanged(kSaveNone);
            EmitModelChanged(ModelUpdate::ProfileLoaded, false, ProfileFamily::Light);
            return;
        case ProfileFamily::Key:
            WriteMouseKeyLayer(Session(), model_, 0);
            EmitModelChanged(ModelUpdate::ProfileLoaded, false, ProfileFamily::Key);
            return;
    }
}

void MouseController::ApplyReset(ProfileFamily family, int index) {
    // The shipped default is in the model and in the selected profile's file; the computer's
    // pointer gets the usual speed, and the wheel lines of the family's default.
    switch (family) {
        case ProfileFamily::Device:
            model_.SetPointerSpeed(static_cast<uint8_t>(kResetPointerSpeed));
            model_.SetWheelLines(static_cast<uint8_t>(kResetWheelLines));
            ApplySystemPointer();
            FullRefresh();
            KeepQueuedSaves(kSaveDevice);
            WriteMouseKeyLayer(Session(), model_, 0);
            EmitModelChanged(ModelUpdate::ProfileLoaded, true);
            return;
        case ProfileFamily::Light:
            model_.SetPointerSpeed(static_cast<uint8_t>(kResetPointerSpeed));
            model_.SetWheelLines(1);
            ApplySystemPointer();
            model_.SetDirty();
            MarkChanged(kSaveLightAndDevice);
            EmitModelChanged(ModelUpdate::ProfileLoaded, false, ProfileFamily::Light);
            return;
        case ProfileFamily::Key:
            ApplyProfile(family, index);
            return;
    }
}

std::optional<int> MouseController::SendDirtyRecord() {
    return FlushMouseRecord(Session(), model_);
}

// ---- edits -------------------------------------------------------------------------------------

template <typename Edit>
void MouseController::EditRecord(unsigned families, Edit edit) {
    Post([this, families, edit = std::move(edit)] {
        model_.EditRecord(edit);
        model_.SetDirty();
        MarkChanged(families);
    });
}

void MouseController::SetStageDpi(int stage, int dpi) {
    if (stage < 1 || stage > MouseRecord::kStages) return;
    const uint16_t steps = DpiToSteps(dpi);
    EditRecord(kSaveLightAndDevice,
               [stage, steps](MouseRecord& r) { r.SetStageSteps(stage - 1, steps); });
}

void MouseController::SetStageColor(int stage, Rgb colour) {
    if (stage < 1 || stage > MouseRecord::kStages) return;
    // The stage colours belong to the device profile alone.
    EditRecord(kSaveDevice,
               [stage, colour](MouseRecord& r) { r.SetStageColor(stage - 1, colour); });
}

void MouseController::SetActiveStage(int stage) {
    if (stage < 1 || stage > MouseRecord::kStages) return;
    const auto index = static_cast<uint8_t>(stage - 1);
    EditRecord(kSaveLightAndDevice, [index](MouseRecord& r) { r.SetActiveStage(index); });
}

void MouseController::SetReportRate(int item) {
    if (item < 0 || item > 255) return;
    EditRecord(kSaveLightAndDevice,
               [item](MouseRecord& r) { r.SetReportRate(static_cast<uint8_t>(item)); });
}

void MouseController::SetLiftHeight(int height) {
    const auto h = static_cast<uint8_t>(height == 1 || height == 2 ? height : 0);
    EditRecord(kSaveLightAndDevice, [h](MouseRecord& r) { r.SetLiftHeight(h); });
}

void MouseController::SetLineAdjust(bool on) {
    EditRecord(kSaveLightAndDevice, [on](MouseRecord& r) { r.SetLineAdjust(on ? 1 : 0); });
}

void MouseController::SetLightMode(int mode) {
    if (!LightModeLayoutOf(mode)) return;
    EditRecord(kSaveLightAndDevice, [mode](MouseRecord& r) { ApplyLightMode(r, mode); });
}

void MouseController::SetBrightness(int level) {
    const auto b = static_cast<uint8_t>(std::clamp(level, 0, kBrightnessMax));
    EditRecord(kSaveLightAndDevice, [b](MouseRecord& r) { r.SetBrightness(b); });
}

void MouseController::SetLightSpeed(int shown) {
    const uint8_t speed = LightSpeedFromSlider(shown);
    EditRecord(kSaveLightAndDevice, [speed](MouseRecord& r) { r.SetLightSpeed(speed); });
}

void MouseController::SetLightColor(Rgb colour) {
    EditRecord(kSaveLightAndDevice, [colour](MouseRecord& r) {
        r.SetLightColor(colour);
        r.SetSevenColor(0);
    });
}

void MouseController::SetSevenColor(bool on) {
    EditRecord(kSaveLightAndDevice, [on](MouseRecord& r) { r.SetSevenColor(on ? 1 : 0); });
}

void MouseController::SetLightDirection(bool left) {
    EditRecord(left ? kSaveLightAndDevice : kSaveLight,
               [left](MouseRecord& r) { r.SetLightDirection(left ? 1 : 0); });
}

void MouseController::SetLightModeFromList(int mode) {
    if (mode < 0 || mode >= kLightModeDark) return;
    Post([this, mode] {
        model_.EditRecord([mode](MouseRecord& r) { r.SetLightMode(static_cast<uint8_t>(mode)); });
        model_.SetDirty();
        MarkChanged(kSaveLightAndDevice);
        // The mouse runs its own effect again rather than the cross-device one.
        Session().SetLightSync(false);
    });
}

void MouseController::SetLightBlock(std::span<const uint8_t, 8> block, unsigned families) {
    std::array<uint8_t, 8> bytes{};
    std::copy(block.begin(), block.end(), bytes.begin());
    Post([this, bytes, families] {
        model_.EditRecord([&bytes](MouseRecord& r) {
            std::copy(bytes.begin(), bytes.end(), r.bytes.begin() + 1);
        });
        model_.SetDirty();
        MarkChanged(families);
        EmitModelChanged(ModelUpdate::Reloaded, true);
    });
}

void MouseController::StepLightDirection(int direction) {
    const auto d = static_cast<uint8_t>(direction != 0 ? 1 : 0);
    EditRecord(kSaveLight, [d](MouseRecord& r) { r.SetLightDirection(d); });
}

// ---- buttons -----------------------------------------------------------------------------------

bool MouseController::KeepsTheOnlyLeftClick(int layer, int button, const KeyAssignment& code) {
    // One button always keeps the left click: without it the mouse could not click at all.
    const std::optional<MouseKeyLayer> current = model_.KeyLayer(layer);
    if (!current || !IsOnlyLeftClick(*current, button) ||
        code == model_.ButtonAssignment(layer, button))
        return false;
    Logf(LogLevel::Warning, "button %d is the only left click: not reassigned", button + 1);
    EmitFailed("assigning button " + std::to_string(button + 1), 0, "message_text_6");
    return true;
}

void MouseController::AssignButton(int button, KeyAssignment code) {
    if (button < 0 || button >= kMouseButtons) return;
    Post([this, button, code] {
        // The layer in use; the change is sent with the key page's save.
        const int layer = model_.ActiveLayer();
        if (KeepsTheOnlyLeftClick(layer, button, code)) return;
        if (!model_.SetButtonAssignment(layer, button, code)) return;
        EmitModelChanged(ModelUpdate::ButtonAssigned, false);
    });
}

void MouseController::RestoreButtonDefault(int button) {
    if (button < 0 || button >= kMouseButtons) return;
    Post([this, button] {
        const int layer = model_.ActiveLayer();
        const KeyAssignment factory = model_.FactoryAssignment(button);
        if (KeepsTheOnlyLeftClick(layer, button, factory)) return;
        if (!model_.SetButtonAssignment(layer, button, factory)) return;
        EmitModelChanged(ModelUpdate::ButtonAssigned, false);
    });
}

void MouseController::SaveKeyLayer() {
    Post([this] { RunSaveKeyLayer(); });
}

int MouseController::SaveKeyLayerNow() {
    int result = 0;
    executor_->RunAndWait([&] { result = RunSaveKeyLayer(); });
    return result;
}

int MouseController::RunSaveKeyLayer() {
    ControllerEvent progress;
    progress.type = ControllerEventType::Progress;
    progress.value = 0;
    Emit(progress);
    const int layer = model_.ActiveLayer();
    int result = Session().Begin();
    if (result == kResultSuccess) {
        result = WriteMouseKeyLayer(Session(), model_, layer);
        const int end = Session().End();
        if (result == kResultSuccess) result = end;
    }
    if (result != kResultSuccess) {
        if (IsConnected())
            Logf(LogLevel::Warning, "mouse key layer %d not taken (result %d)", layer, result);
        EmitFailed("sending the key layer", result);
    }
    // The device profile holds the layer; it is saved whatever the mouse said, as the layer is
    // what the user chose.
    QueueSave(kSaveDevice);
    SaveQueuedNow();
    progress.value = -1;
    Emit(progress);
    return result;
}

void MouseController::SaveKeyPage() {
    Post([this] { RunSaveKeyPage(); });
}

int MouseController::SaveKeyPageNow(KeyPageSaveResult* out) {
    int result = 0;
    executor_->RunAndWait([&] { result = RunSaveKeyPage(out); });
    return result;
}

TransferProgress MouseController::ProgressEvents(int shown) {
    return [this, shown](int done, int total) mutable {
        const int percent = total > 0 ? done * 100 / total : 100;
        if (percent == shown) return;
        shown = percent;
        ControllerEvent step;
        step.type = ControllerEventType::Progress;
        step.value = percent;
        Emit(step);
    };
}

int MouseController::RunSaveKeyPage(KeyPageSaveResult* out) {
    const std::optional<std::filesystem::path> folder =
        Store() ? Store()->KindFolder(DeviceKind::Mouse) : std::nullopt;
    if (!folder) {
        // Without the mouse's folder there is no library to send: the layer alone.
        Log(LogLevel::Warning, "the mouse's folder is not there; the key layer is sent alone");
        return RunSaveKeyLayer();
    }
    ControllerEvent progress;
    progress.type = ControllerEventType::Progress;
    progress.value = 0;
    Emit(progress);
    const MacroLibrary library(DeviceKind::Mouse, *folder);
    const CursorScripts scripts(*folder, Store()->ProgramFolder());
    const KeyPageSaveResult r =
        vq::SaveKeyPage(Session(), MouseKeyPageSave(model_, library, &scripts), ProgressEvents(0));
    if (out) *out = r;
    if (!r.Ok()) {
        Logf(LogLevel::Warning, "the key page's save stopped: %s", r.detail.c_str());
        ControllerEvent failed;
        failed.type = ControllerEventType::Failed;
        failed.what = r.detail.empty() ? std::string("the key page's save") : r.detail;
        failed.result = r.keyLayer;
        failed.textId = r.textId;
        failed.value = r.textArg;
        Emit(failed);
    }
    if (r.saveProfiles) {
        QueueSave(kSaveDevice);
        SaveQueuedNow();
    }
    progress.value = -1;
    Emit(progress);
    return r.keyLayerSent ? r.keyLayer : 0;
}

// ---- macros and cursor scripts ----------------------------------------------------------------

void MouseController::RepairMacroKeys(int deleted) {
    if (deleted < 0) return;
    Post([this, deleted] {
        // The buttons go back to the mouse's own factory functions when the mouse has told
        // them, else to the program's.
        const KeyLayerImage factory =
            model_.HasInfo() ? model_.FactoryBlock() : KeyLayerImage(DefaultMouseKeyLayer());
        KeyRepairCount layers;
        for (int l = 0; l < kMouseSlots; ++l) {
            std::optional<MouseKeyLayer> layer = model_.KeyLayer(l);
            if (!layer) continue;
            const KeyRepairCount part =
                RepairLayerAfterDelete(*layer, factory, kMouseMacroEntries, deleted);
            if (part.restored + part.renumbered == 0) continue;
            model_.SetKeyLayer(l, *layer);
            layers.restored += part.restored;
            layers.renumbered += part.renumbered;
        }
        if (Store()) {
            KeyRepairCount files;
            if (!RepairProfilesAfterDelete(*Store(), DeviceKind::Mouse, deleted, factory, &files))
                EmitFailed("repairing the profiles' buttons after a macro was deleted", 0);
            Logf(LogLevel::Info,
                 "macro %d deleted: %d buttons restored and %d renumbered on the mouse's layers, "
                 "%d and %d in the profiles",
                 deleted, layers.restored, layers.renumbered, files.restored, files.renumbered);
        }
        EmitModelChanged(ModelUpdate::ButtonAssigned, false);
    });
}

void MouseController::SendCursorScripts() {
    Post([this] { RunSendCursorScripts(); });
}

TransferResult MouseController::SendCursorScriptsNow() {
    TransferResult result;
    executor_->RunAndWait([&] { result = RunSendCursorScripts(); });
    return result;
}

TransferResult MouseController::RunSendCursorScripts() {
    TransferResult result;
    const std::optional<std::filesystem::path> folder =
        Store() ? Store()->KindFolder(DeviceKind::Mouse) : std::nullopt;
    if (!folder) {
        result.status = TransferStatus::NothingToSend;
        result.detail = "the mouse's folder is not there; no scripts were sent";
        Log(LogLevel::Warning, result.detail);
        return result;
    }
    const CursorScripts scripts(*folder, Store()->ProgramFolder());
    const std::vector<std::vector<MacroAction>> all = scripts.ReadAll();
    const std::optional<std::vector<uint8_t>> image =
        all.empty() ? std::nullopt : BuildScriptImage(all);
    const int total = image ? 2 + ImageReports(image->size()) : 0;
    TransferProgress progress = ProgressEvents();
    int done = 0;
    progress(done, total);
    result = TransferCursorScripts(Session(), all, [&] { progress(++done, total); });
    if (result.status == TransferStatus::Failed) {
        ControllerEvent failed;
        failed.type = ControllerEventType::Failed;
        failed.what = result.detail;
        failed.result = result.command;
        failed.textId = result.textId;
        Emit(failed);
    } else if (result.status == TransferStatus::TooLarge) {
        // Not sent and, as the program has always done, not a message: the log says it.
        Log(LogLevel::Warning, result.detail);
    }
    ControllerEvent over;
    over.type = ControllerEventType::Progress;
    over.value = -1;
    Emit(over);
    return result;
}

void MouseController::LoadStoredDeviceProfile() {
    Post([this] {
        if (!Store()) return;
        const int select = Store()->StoredSelection(DeviceKind::Mouse, ProfileFamily::Device);
        if (select >= 0)
            Store()->LoadProfile(DeviceKind::Mouse, ProfileFamily::Device, select, model_);
    });
}

// ---- the computer's pointer --------------------------------------------------------------------

void MouseController::SetSystemPointer(SystemPointerTarget* target) {
    pointer_->SetTarget(target);
}

void MouseController::ApplySystemPointer() {
    pointer_->ApplySpeed(LimitPointerSpeed(model_.PointerSpeed()));
    pointer_->ApplyWheelLines(model_.WheelLines());
}

void MouseController::SetPointerSpeed(int speed) {
    const uint8_t limited = LimitPointerSpeed(speed);
    Post([this, limited] {
        model_.SetPointerSpeed(limited);
        pointer_->ApplySpeed(limited);
        QueueSave(kSaveLightAndDevice);
    });
}

void MouseController::SetWheelLines(int lines) {
    const auto stored = static_cast<uint8_t>(lines & 0xFF);
    Post([this, stored] {
        model_.SetWheelLines(stored);
        pointer_->ApplyWheelLines(stored);
        QueueSave(kSaveLightAndDevice);
    });
}

bool MouseController::WaitPointerIdle(std::chrono::milliseconds limit) {
    return pointer_->WaitIdle(limit);
}

// ---- factory reset -----------------------------------------------------------------------------

void MouseController::FactoryReset() {
    Post([this] {
        if (RunFactoryReset() == kResultSuccess)
            PostAfter(kResetReadKey, Timing().resetSettle, [this] { RunResetReadBack(); });
    });
}

int MouseController::FactoryResetNow() {
    int result = 0;
    executor_->RunAndWait([&] { result = RunFactoryReset(); });
    if (result != kResultSuccess) return result;
    std::this_thread::sleep_for(Timing().resetSettle);
    executor_->RunAndWait([&] { result = RunResetReadBack(); });
    return result;
}

int MouseController::RunFactoryReset() {
    // The system's values go back to the usual ones; the model and the profiles keep theirs.
    pointer_->ApplySpeed(kResetPointerSpeed);
    pointer_->ApplyWheelLines(kResetWheelLines);
    // A record edit waiting for the flush would undo the reset: it is dropped.
    CancelFlush();
    model_.ClearDirty();
    const int result = Session().FactoryReset();
    if (result != kResultSuccess) {
        if (IsConnected()) Logf(LogLevel::Warning, "mouse factory reset not answered (%d)", result);
        EmitFailed("the factory reset", result);
    }
    return result;
}

int MouseController::RunResetReadBack() {
    if (!IsConnected()) return 0;
    // The key layers and the factory block, then the mouse's own record (the full read alone
    // would put the profile's record back).
    int result = ReadMouse(Session(), model_);
    model_.TakeFullRefresh();
    const int live = ReloadMouseRecord(Session(), model_);
    if (result == kResultSuccess) result = live;
    if (model_.TakeFullRefresh()) FullRefresh();
    EmitModelChanged(ModelUpdate::Reset, true);
    return result;
}

}  // namespace vq
