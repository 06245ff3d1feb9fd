#include "core/control/mouse_controller.h"

#include <algorithm>

#include "core/mouse/mouse_device.h"
#include "core/mouse/mouse_facts.h"
#include "core/profile/profile_store.h"
#include "core/util/log.h"

namespace vq {

namespace {

constexpr const char* kFullReadKey = "full read";
constexpr const char* kLiveReadKey = "live read";

}  // namespace

// What the model's own operations ask of the program: the saves go to the controller's
// coalesced writer; the system's pointer speed is not known here (the model keeps the stored
// one).
class MouseController::ModelHooks : public MouseModelObserver {
  public:
    explicit ModelHooks(MouseController& c) : c_(c) {}
    void SaveSelectedLightProfile() override { c_.QueueSave(kSaveLight); }
    void SaveSelectedDeviceProfile() override { c_.QueueSave(kSaveDevice); }
    uint8_t SystemPointerSpeed() override { return 0; }

  private:
    MouseController& c_;
};

MouseController::MouseController(HidBackend* backend, TransportTiming transport,
                                 ProfileStore* store, ControllerTiming timing)
    : DeviceController(DeviceKind::Mouse, backend, transport, store, timing),
      hooks_(std::make_unique<ModelHooks>(*this)),
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
    // sent. The full read follows a moment later.
    if (Store()) {
        const int select = Store()->StoredSelection(DeviceKind::Mouse, ProfileFamily::Device);
        const FamilyIndex index = Store()->ReadIndex(DeviceKind::Mouse, ProfileFamily::Device);
        if (select >= 0 && select < static_cast<int>(index.names.size())) {
            LoadSelected(ProfileFamily::Device, select);
            ControllerEvent selected;
            selected.type = ControllerEventType::ProfileSelected;
            selected.family = ProfileFamily::Device;
            selected.index = select;
            Emit(selected);
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

void MouseController::EmitModelChanged(ModelUpdate update, bool fullRefresh) {
    ControllerEvent changed;
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
            Logf(LogLevel::Info, "pointer speed %u and wheel lines %u kept in the profile",
                 model_.PointerSpeed(), model_.WheelLines());
            FullRefresh();
            WriteMouseRecord(Session(), model_);
            WriteMouseKeyLayer(Session(), model_, 0);
            EmitModelChanged(ModelUpdate::ProfileLoaded, true);
            return;
        case ProfileFamily::Light:
            model_.SetDirty();
            MarkChanged(kSaveNone);
            EmitModelChanged(ModelUpdate::ProfileLoaded, false);
            return;
        case ProfileFamily::Key:
            WriteMouseKeyLayer(Session(), model_, 0);
            EmitModelChanged(ModelUpdate::ProfileLoaded, false);
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

}  // namespace vq
