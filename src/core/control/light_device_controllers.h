#pragma once
// The keyboard's and the mousepad's controllers: their sessions, models, read-backs, profile
// selections and the flush of their 21-byte live records. See DeviceController.

#include <functional>

#include "core/control/device_controller.h"
#include "core/device/presence.h"
#include "core/keyboard/keyboard_device.h"
#include "core/keyboard/keyboard_model.h"
#include "core/keyboard/mousepad_model.h"

namespace vq {

class KeyboardController : public DeviceController {
  public:
    KeyboardController(HidBackend* backend, TransportTiming transport, ProfileStore* store,
                       ControllerTiming timing = {});
    ~KeyboardController() override;

    const KeyboardModel& Model() const { return model_; }
    // The model as the keyboard's light thread uses it (it advances the breathing counter of
    // the record); nothing else writes through it.
    KeyboardModel& LightModel() { return model_; }
    // Called on the controller's thread after every change of what the light thread reads (the
    // light settings, the custom colours, the connection). Set before the first command.
    void SetLightListener(std::function<void()> listener) { lightListener_ = std::move(listener); }

    // Loads the selected device, key and light profiles into the model without sending
    // anything (start-up: the pages show the files before, or without, a keyboard); the pages
    // hear of it as a loaded profile.
    void LoadStoredSettings();
    // Looks for the keyboard once and, when it is there, announces its arrival (an Arrived
    // event) and reads it: the way in for a keyboard that no presence thread watches.
    void ConnectAndRead();

    // ---- lighting edits (the record is sent by the flush; light then device profile saved)
    // An effect of the variant's list: it starts again from its reset state, and the keyboard
    // leaves the light sync.
    void SetLightMode(int mode);
    void SetBrightness(int level);          // 0-4
    void SetLightSpeedFromSlider(int pos);  // the slider's 0-4; the record keeps 4 - pos
    void SetDirection(bool first);
    void SetColourful(bool on);
    // The single colour (the rainbow colours go off). `save`: the profiles are saved too (the
    // R, G, B fields only mark the record).
    void SetLightColour(Rgb colour, bool save = true);
    // The light settings as a whole (the light sync's copy); `families` saved.
    void SetLightSettings(const LightSettings& s, unsigned families);
    // The custom layouts: the shown layout, the painting colour, one key painted (a button
    // without an LED paints nothing), every black key lit, every key dark. Profiles saved; the
    // record is not marked.
    void SetCustomSlot(int slot);
    void SetCustomColour(Rgb colour);
    void PaintButton(int button);
    void LightAllLeds();
    void DarkenAllLeds();

    // ---- keys (key layer in use; the change stays in memory until the key page is saved)
    void AssignKey(int key, KeyAssignment code);
    void RestoreKeyDefault(int key);
    // The key page's save: the keyboard's macro library as one image, then the key block of
    // the layer in use; the key and device profiles saved. Progress and Failed events as the
    // mouse's.
    void SaveKeyPage();
    int SaveKeyPageNow();

    // The full read; `onlyWhenConnected` leaves the model alone for a keyboard that is not there
    // (the start-up read), instead of logging a failed read for each part.
    void ReadAll(bool onlyWhenConnected = false);
    void ReadLive();
    // The same, waiting (the command-line tool; never on a window's thread).
    ReadBackResult ReadAllNow();
    ReadBackResult ReadLiveNow();
    // A notification of the keyboard's event collection.
    void OnDeviceEvent(DeviceEvent event);
    // Marks the live record changed (light edits of the keyboard page).
    void MarkRecordChanged(unsigned families);
    // After macro `deleted` left the keyboard's library: keys that played it get their factory
    // function back, keys that played a later macro follow it to its new index, in the model's
    // layers and in every stored device and key profile. Nothing is sent; the answer is a
    // ModelChanged event with ModelUpdate::ButtonAssigned.
    void RepairMacroKeys(int deleted);

  protected:
    std::optional<int> SendDirtyRecord() override;
    void ForgetDirtyRecord() override { static_cast<void>(model_.TakeDirty()); }
    ProfilePayloadModel& PayloadModel() override { return model_; }
    void ApplyProfile(ProfileFamily family, int index) override;

  private:
    class Hooks;
    void Finish(ReadBackResult result, ModelUpdate update);
    void LightChanged();
    // Edits the custom store on the controller's thread; saves the profiles when it changed.
    template <typename Edit>
    void EditCustom(Edit edit);
    int RunSaveKeyPage();
    std::unique_ptr<Hooks> hooks_;
    KeyboardModel model_;
    std::function<void()> lightListener_;
};

class MousepadController : public DeviceController {
  public:
    MousepadController(HidBackend* backend, TransportTiming transport, ProfileStore* store,
                       ControllerTiming timing = {});
    ~MousepadController() override;

    const MousepadModel& Model() const { return model_; }
    // See KeyboardController: the light thread's access, its listener, the way in without a
    // presence thread.
    MousepadModel& LightModel() { return model_; }
    void SetLightListener(std::function<void()> listener) { lightListener_ = std::move(listener); }
    void LoadStoredSettings();
    void ConnectAndRead();
    void ReadAll(bool onlyWhenConnected = false);
    ReadBackResult ReadAllNow();

    // ---- lighting edits (the record is sent by the flush; the light profile saved)
    // An effect of the list (0-9): the mousepad leaves the light sync.
    void SetLightMode(int mode);
    void SetBrightness(int level);
    void SetLightSpeedFromSlider(int pos);
    void SetDirection(bool first);
    void SetColourful(bool on);
    void SetLightColour(Rgb colour, bool save = true);
    void SetLightSettings(const LightSettings& s, unsigned families);
    // The factory reset: the reset command, a second for the mousepad to restore its records,
    // then the full read (a ModelChanged event with ModelUpdate::Reset).
    void FactoryReset(std::chrono::milliseconds settle = std::chrono::milliseconds(1000));
    void MarkRecordChanged(unsigned families);

  protected:
    std::optional<int> SendDirtyRecord() override;
    void ForgetDirtyRecord() override { static_cast<void>(model_.TakeDirty()); }
    ProfilePayloadModel& PayloadModel() override { return model_; }
    void ApplyProfile(ProfileFamily family, int index) override;

  private:
    class Hooks;
    void LightChanged();
    template <typename Edit>
    void EditLight(unsigned families, Edit edit);
    std::unique_ptr<Hooks> hooks_;
    MousepadModel model_;
    std::function<void()> lightListener_;
};

}  // namespace vq
