#pragma once
// The mouse's controller: its session, its model, the arrival and read-back sequences, the onboard
// slots, the profile selections and every typed edit of the live record. See DeviceController for
// the threading and the coalescing of writes.

#include <atomic>

#include "core/control/device_controller.h"
#include "core/device/presence.h"
#include "core/mouse/mouse_device.h"
#include "core/mouse/mouse_model.h"

namespace vq {

class MouseController : public DeviceController, public PresenceObserver {
  public:
    MouseController(HidBackend* backend, TransportTiming transport, ProfileStore* store,
                    ControllerTiming timing = {});
    ~MouseController() override;

    // Readers take snapshots (Record(), LightSnapshot(), KeyLayer(), ...); only the controller
    // writes the model.
    const MouseModel& Model() const { return model_; }

    // Loads the selected light profile into the model without sending anything, so that the
    // values that only the files carry (the pointer speed) are known before the mouse arrives.
    void LoadStoredSettings();

    // ---- presence (the presence thread, the session's lock held: nothing here waits)
    void OnArrived() override;
    void OnRemoved() override;
    void OnStillPresent() override;
    void OnFirstPassShow() override;
    // A notification of the mouse's event collection.
    void OnDeviceEvent(DeviceEvent event);
    // Reads and clears the flag the mouse's 0x0403 notification raises.
    bool TakeMouseEventFlag() { return mouseEvent_.exchange(false); }

    // ---- commands
    void ReadAll();   // the full read (information, factory block, key layers)
    void ReadLive();  // the live record after the mouse changed it
    void SelectSlot(int slot);

    // ---- edits of the live record (stage 1-7; values out of range are clamped)
    void SetStageDpi(int stage, int dpi);
    void SetStageColor(int stage, Rgb colour);
    // The stage the mouse uses (1-7). The mouse sets it itself with its DPI button; this is for
    // a user who chooses it here.
    void SetActiveStage(int stage);
    void SetReportRate(int item);
    void SetLiftHeight(int height);  // 0 low, 1 middle, 2 high
    void SetLineAdjust(bool on);
    void SetLightMode(int mode);     // 0-7
    void SetBrightness(int level);   // 0-4
    void SetLightSpeed(int shown);   // 0-4 as the page shows it (4 the fastest)
    void SetLightColor(Rgb colour);  // one colour: the seven colours go off
    void SetSevenColor(bool on);
    // The direction options: the left one saves the light and device profiles, the right one
    // only the light profile.
    void SetLightDirection(bool left);

    // ---- waiting forms for the command-line tool and tests (never on a UI thread)
    // `report`, when given, says which step failed first and the slot the mouse reported.
    int ReadAllNow(MouseReadReport* report = nullptr);
    int ReadLiveNow(MouseReadReport* report = nullptr);

  protected:
    std::optional<int> SendDirtyRecord() override;
    ProfilePayloadModel& PayloadModel() override { return model_; }
    void ApplyProfile(ProfileFamily family, int index) override;
    void ForgetDirtyRecord() override { model_.ClearDirty(); }

  private:
    class ModelHooks;
    template <typename Edit>
    void EditRecord(unsigned families, Edit edit);
    int RunReadAll(MouseReadReport* report = nullptr);
    int RunReadLive(MouseReadReport* report = nullptr);
    // The record was replaced as a whole: the effect and the heights are stored again.
    void FullRefresh();
    void EmitModelChanged(ModelUpdate update, bool fullRefresh);
    void RunArrival();

    std::unique_ptr<ModelHooks> hooks_;
    MouseModel model_;
    std::atomic<bool> mouseEvent_{false};
};

}  // namespace vq
