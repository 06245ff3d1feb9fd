#pragma once
// The keyboard's and the mousepad's controllers: their sessions, models, read-backs, profile
// selections and the flush of their 21-byte live records. See DeviceController.

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

    // The full read; `onlyWhenConnected` leaves the model alone for a keyboard that is not there
    // (the start-up read), instead of logging a failed read for each part.
    void ReadAll(bool onlyWhenConnected = false);
    void ReadLive();
    // A notification of the keyboard's event collection.
    void OnDeviceEvent(DeviceEvent event);
    // Marks the live record changed (light edits of the keyboard page).
    void MarkRecordChanged(unsigned families);

  protected:
    std::optional<int> SendDirtyRecord() override;
    void ForgetDirtyRecord() override { static_cast<void>(model_.TakeDirty()); }
    ProfilePayloadModel& PayloadModel() override { return model_; }
    void ApplyProfile(ProfileFamily family, int index) override;

  private:
    class Hooks;
    void Finish(ReadBackResult result, ModelUpdate update);
    std::unique_ptr<Hooks> hooks_;
    KeyboardModel model_;
};

class MousepadController : public DeviceController {
  public:
    MousepadController(HidBackend* backend, TransportTiming transport, ProfileStore* store,
                       ControllerTiming timing = {});
    ~MousepadController() override;

    const MousepadModel& Model() const { return model_; }
    void ReadAll(bool onlyWhenConnected = false);
    void MarkRecordChanged(unsigned families);

  protected:
    std::optional<int> SendDirtyRecord() override;
    void ForgetDirtyRecord() override { static_cast<void>(model_.TakeDirty()); }
    ProfilePayloadModel& PayloadModel() override { return model_; }
    void ApplyProfile(ProfileFamily family, int index) override;

  private:
    class Hooks;
    std::unique_ptr<Hooks> hooks_;
    MousepadModel model_;
};

}  // namespace vq
