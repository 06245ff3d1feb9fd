#pragma once
// The mouse's controller: its session, its model, the arrival and read-back sequences, the onboard
// slots, the profile selections and every typed edit of the live record. See DeviceController for
// the threading and the coalescing of writes.

#include <atomic>

#include "core/control/device_controller.h"
#include "core/device/presence.h"
#include "core/macro/key_page_save.h"
#include "core/mouse/mouse_device.h"
#include "core/mouse/mouse_model.h"
#include "core/mouse/pointer_settings.h"

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

    // ---- more lighting edits
    // An effect of the alternative effect lists (0-6): the mode alone (neither the last mode
    // nor the seven colours change), and the mouse leaves the cross-device light sync.
    void SetLightModeFromList(int mode);
    // The arrow buttons beside the direction options: direction 0 or 1, the light profile
    // alone saved.
    void StepLightDirection(int direction);
    // The light settings block (record bytes 1-8) as a whole, as the light sync copies it from
    // another device; `families` saved and the page shown again.
    void SetLightBlock(std::span<const uint8_t, 8> block, unsigned families);

    // ---- buttons (key layer [slot]; the record of button n is bytes 3n to 3n + 2)
    // Stores a button's function in the layer in use. The change stays in memory (nothing is
    // sent or saved) until the key layer is saved; the answer is a ModelChanged event with
    // ModelUpdate::ButtonAssigned. The only button with the left click keeps it: taking it away
    // is refused with a Failed event ("message_text_6").
    void AssignButton(int button, KeyAssignment code);
    // The button's factory function back into the layer in use.
    void RestoreButtonDefault(int button);
    // Sends the key layer in use: Begin, WriteIndexedBlock of layer [slot] at index slot, End;
    // then saves the selected device profile. Progress events mark the start (0) and the end
    // (-1); a layer the mouse did not take is a Failed event.
    void SaveKeyLayer();
    int SaveKeyLayerNow();
    // The key page's save: the cursor scripts, the whole macro library as one image, then the
    // key layer in use (each between Begin and End), then the selected device profile. A
    // library too large for the mouse or a write the mouse refuses stops the save before the
    // key layer (which names macros by their place in the library) and is a Failed event with
    // the message to show (`value` carries its number, if any). Progress events run from 0 to
    // 100 and end with -1. Returns the key layer's result (0 when it was not sent).
    void SaveKeyPage();
    // `result`, when given, gets what each step did (for the command-line tool).
    int SaveKeyPageNow(KeyPageSaveResult* result = nullptr);

    // ---- macros and cursor scripts
    // After macro `deleted` left the library: a button that played it gets its factory function
    // back and a button that played a later macro follows it to its new index, in the five key
    // layers and in the key layer of every stored device and key profile. Nothing is sent. The
    // answer is a ModelChanged event with ModelUpdate::ButtonAssigned.
    void RepairMacroKeys(int deleted);
    // The script page's send: the four cursor scripts as one image (Begin, WriteScriptData in
    // chunks, End). Progress events per report, then -1; a write the mouse refused or did not
    // answer is a Failed event with the message to show.
    void SendCursorScripts();
    TransferResult SendCursorScriptsNow();
    // Loads the selected device profile into the model without sending anything (the tool's
    // save keeps the profile's record when it writes the profile back).
    void LoadStoredDeviceProfile();

    // ---- the computer's pointer
    // Where pointer speed and wheel lines are applied (null: nowhere). Set before the first
    // command; the target must outlive the controller.
    void SetSystemPointer(SystemPointerTarget* target);
    SystemPointerTarget* SystemPointer() const { return pointer_ ? pointer_->Target() : nullptr; }
    // The speed (limited to 1-20) is stored and applied; the light and device profiles saved.
    // The record is not marked changed.
    void SetPointerSpeed(int speed);
    // The wheel lines are stored (low 8 bits) and applied unchanged; the light and device
    // profiles saved.
    void SetWheelLines(int lines);
    // Waits for the pointer applies queued so far (tests).
    bool WaitPointerIdle(std::chrono::milliseconds limit = std::chrono::milliseconds(10000));

    // ---- factory reset
    // The system gets the usual pointer speed (10) and wheel lines (3) (the model keeps its
    // values), the mouse gets its reset command, and once it has had a moment the mouse is
    // read back (key layers, then its live record) so that the page shows what it now holds.
    void FactoryReset();
    int FactoryResetNow();

  protected:
    std::optional<int> SendDirtyRecord() override;
    ProfilePayloadModel& PayloadModel() override { return model_; }
    void ApplyProfile(ProfileFamily family, int index) override;
    void ApplyReset(ProfileFamily family, int index) override;
    void ForgetDirtyRecord() override { model_.ClearDirty(); }

  private:
    class ModelHooks;
    template <typename Edit>
    void EditRecord(unsigned families, Edit edit);
    int RunReadAll(MouseReadReport* report = nullptr);
    int RunReadLive(MouseReadReport* report = nullptr);
    // The record was replaced as a whole: the effect and the heights are stored again.
    void FullRefresh();
    void EmitModelChanged(ModelUpdate update, bool fullRefresh,
                          ProfileFamily family = ProfileFamily::Device);
    void RunArrival();

    int RunSaveKeyLayer();
    int RunSaveKeyPage(KeyPageSaveResult* out = nullptr);
    TransferResult RunSendCursorScripts();
    // Progress events for `done` of `total` reports, one per whole percent (`shown`: the one
    // already shown).
    TransferProgress ProgressEvents(int shown = -1);
    // True (and a Failed event with "message_text_6") when `code` would take the left click
    // from the only button of the layer that has it.
    bool KeepsTheOnlyLeftClick(int layer, int button, const KeyAssignment& code);
    int RunFactoryReset();
    int RunResetReadBack();
    void ApplySystemPointer();

    std::unique_ptr<ModelHooks> hooks_;
    std::unique_ptr<PointerApplier> pointer_;
    MouseModel model_;
    std::atomic<bool> mouseEvent_{false};
};

}  // namespace vq
