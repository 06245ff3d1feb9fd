#pragma once
// The light sync: one effect over the keyboard, the mouse and the mousepad as one surface 23
// columns wide, the sync's own settings block, and the hand-over of the devices to it.

#include <array>
#include <cstdint>
#include <mutex>

#include "core/device/device_session.h"
#include "core/keyboard/keyboard_model.h"
#include "core/keyboard/light_record.h"
#include "core/keyboard/mousepad_model.h"
#include "core/light/keyboard_effects.h"
#include "core/light/mousepad_effects.h"
#include "core/mouse/mouse_model.h"

namespace vq::light {

inline constexpr size_t kMouseFrameSize = 60;  // 20 LEDs x red, green, blue
using MouseLeds = std::array<LightCell, kMouseLeds>;

// The sync's own light settings: written by the window's thread, read by the sync thread.
class SyncBlock {
  public:
    LightSettings Settings() const {
        std::lock_guard lock(mutex_);
        return settings_;
    }
    void SetSettings(const LightSettings& s) {
        std::lock_guard lock(mutex_);
        settings_ = s;
    }

  private:
    mutable std::mutex mutex_;
    LightSettings settings_;
};

// The devices and models that the sync reads and hands over.
struct LightSyncDevices {
    DeviceSession& keyboardSession;
    DeviceSession& mouseSession;
    DeviceSession& mousepadSession;
    KeyboardModel& keyboard;
    MouseModel& mouse;
    MousepadModel& mousepad;
};

// What starting the sync asks of the program around it; called on the caller's thread, in the
// order the program shows and saves (pages first, then profiles).
class LightSyncObserver {
  public:
    virtual ~LightSyncObserver() = default;
    virtual void RefreshPage(DeviceKind) {}
    virtual void SaveLightProfile(DeviceKind) {}
    virtual void SaveDeviceProfile(DeviceKind) {}
};

// The same-mode buttons: source 1 keyboard, 2 mouse, 3 mousepad. Copies the source's light
// settings to the other two devices and to the sync block, refreshes and saves the other two,
// and sets every device's light-sync flag. Any other source only logs; false then.
bool StartLightSync(int source, LightSyncDevices& devices, SyncBlock& block,
                    LightSyncObserver& observer);

// One frame of the sync's effect for every device at once.
struct SyncFrames {
    std::array<uint8_t, kKeyboardFrameSize> keyboard{};
    std::array<uint8_t, kMouseFrameSize> mouse{};
    std::array<uint8_t, kZoneFrameSize> mousepad{};
    KeyOutput keyboardPreview{};
    MouseLeds mousePreview{};
    ZoneOutput mousepadPreview{};
};

class SyncEffects {
  public:
    // Renders the block's effect (modes 0-3); false (nothing rendered) for any other mode.
    bool Render(const LightSettings& sync, SyncFrames& out);
    uint8_t AuxPhase() const { return auxPhase_; }
    void SetAuxPhase(uint8_t p) { auxPhase_ = p; }

  private:
    uint8_t StepAuxPhase(uint8_t direction, uint8_t period);
    uint8_t auxPhase_ = 0;
};

// The pause after the effect's frames (colour cycle 6 ms, static 5 ms).
uint32_t SyncAfterSleepMs(uint8_t mode);
// The pause in place of a device's frame when it is not in the sync.
uint32_t SyncStandInSleepMs(DeviceKind kind, uint8_t mode);

}  // namespace vq::light
