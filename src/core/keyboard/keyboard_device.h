#pragma once
// The read-backs of the keyboard and the mousepad: command sequences on their DeviceSessions
// that fill their models. A read that is not answered leaves its part of the model as it was.

#include <chrono>

#include "core/keyboard/keyboard_model.h"
#include "core/keyboard/mousepad_model.h"

namespace vq {

class DeviceSession;

// What the read-backs need of the program around them.
class ReadBackObserver {
  public:
    virtual ~ReadBackObserver() = default;
    virtual void SaveSelectedKeyProfile() {}
    virtual void SaveSelectedDeviceProfile() {}
    virtual void SaveSelectedLightProfile() {}
    // The keyboard announced a key table larger than a block can carry (message_text_11).
    virtual void KeyTableTooLarge() {}
};

enum class ReadBackResult {
    Done,          // every read was answered
    Partial,       // some reads were not answered; their parts of the model are unchanged
    BlockRefused,  // the keyboard's key count needs more than 512 bytes: stopped before End
};

// Full read (start-up and the keyboard's "settings changed" notification): Begin, ReadInfo,
// block length from the key count, the factory block, key layer 0, End; then the key and device
// profiles are saved when the key layer was read.
ReadBackResult ReadKeyboard(DeviceSession& session, KeyboardModel& model,
                            ReadBackObserver& observer);

// Live read (the keyboard's "record changed" notification): the record of slot 0, without
// Begin/End; the device profile is saved when it was read.
ReadBackResult ReloadKeyboardRecord(DeviceSession& session, KeyboardModel& model,
                                    ReadBackObserver& observer);

// Full read of the mousepad: Begin, ReadInfo, the five stored records, the current index, End;
// the live record follows the index, and the light profile is saved.
ReadBackResult ReadMousepad(DeviceSession& session, MousepadModel& model,
                            ReadBackObserver& observer);

// The mousepad's factory reset: FactoryReset, a wait while the mousepad restores its records
// (1 s on the device), then the full read. The reset's own result is returned when it failed.
ReadBackResult ResetMousepad(DeviceSession& session, MousepadModel& model,
                             ReadBackObserver& observer,
                             std::chrono::milliseconds settle = std::chrono::milliseconds(1000));

}  // namespace vq
