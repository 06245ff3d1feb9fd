#pragma once
// The computer's pointer speed and wheel lines, which travel with the mouse's profiles: how the
// page's slider and wheel edit map to the values, which slider position each profile path
// shows, and the worker that applies the values to the system one after another.
//
// The system itself is behind SystemPointerTarget (the platform's pointer settings, a fake in
// tests). Applies run in order on the applier's own thread, never on the caller's: a system
// call that hangs (a broadcast to a window that does not answer) holds up nothing else, and a
// value set while an earlier one still waits replaces it, so the last value set is the one the
// system ends with.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vq {

class SerialExecutor;

inline constexpr int kPointerSpeedMin = 1;
inline constexpr int kPointerSpeedMax = 20;
inline constexpr int kWheelLinesMin = 1;
inline constexpr int kWheelLinesMax = 100;
// What a factory reset gives the system (and the slider position that shows it).
inline constexpr int kResetPointerSpeed = 10;
inline constexpr int kResetWheelLines = 3;
inline constexpr int kResetPointerSlider = 5;

// The slider's position v stands for the speed 2v + 2 (a negative position counts as 0).
int PointerSpeedFromSlider(int position);
// A speed limited to 1-20, as it is applied (and stored back).
uint8_t LimitPointerSpeed(int speed);

// The wheel edit's text rules: a number above 100 becomes "100", one below 1 becomes "1"; an
// empty text stands. The corrected text, or nothing when the text stands.
std::optional<std::string> LimitWheelText(std::string_view text);
// The up and down buttons beside the wheel edit: the number they put there.
int WheelLinesUp(std::string_view text);
int WheelLinesDown(std::string_view text);

// The ways new values reach the page, with the slider position each shows.
enum class PointerPath {
    DeviceProfile,  // a device profile was selected (the speed is the system's)
    LightProfile,   // a light profile was selected (the speed is the file's)
    DeviceDefault,  // the device profile was reset to the shipped default
    LightDefault,   // the light profile was reset to the shipped default
    FactoryReset,   // the mouse was reset (the model keeps its values)
};
int PointerSliderFor(PointerPath path, uint8_t pointerSpeed);

// The system's pointer settings.
class SystemPointerTarget {
  public:
    virtual ~SystemPointerTarget() = default;
    // What this system lets the program set; a value it cannot set is never applied.
    virtual bool CanSetSpeed() const = 0;
    virtual bool CanSetWheelLines() const = 0;
    // Why not, for the user (a text id or a sentence); empty when both can be set.
    virtual std::string Limitation() const { return {}; }
    // The system's pointer speed (1-20); nothing when it cannot be read.
    virtual std::optional<int> Speed() = 0;
    virtual bool SetSpeed(int speed) = 0;
    virtual bool SetWheelLines(int lines) = 0;
};

class PointerApplier {
  public:
    // `target` may be null (nothing is applied); it must live until it is replaced or the
    // applier is gone.
    explicit PointerApplier(SystemPointerTarget* target = nullptr);
    ~PointerApplier();
    PointerApplier(const PointerApplier&) = delete;
    PointerApplier& operator=(const PointerApplier&) = delete;

    SystemPointerTarget* Target() const { return target_.load(); }
    // Applies from now on go to `target` (null: none). Returns once no apply uses the target
    // it replaces, so that the caller may destroy that one.
    void SetTarget(SystemPointerTarget* target);
    // Queue an apply; returns at once.
    void ApplySpeed(int speed);
    void ApplyWheelLines(int lines);
    // Waits until every queued apply has run (tests, shutdown). False when `limit` passed.
    bool WaitIdle(std::chrono::milliseconds limit = std::chrono::milliseconds(10000));
    // Applies that reached the system (for tests).
    int Applied() const { return applied_.load(); }

  private:
    std::atomic<SystemPointerTarget*> target_;
    std::atomic<int> applied_{0};
    std::unique_ptr<SerialExecutor> executor_;
};

}  // namespace vq
