#include "core/mouse/pointer_settings.h"

#include <algorithm>

#include "core/mouse/button_panel.h"  // ParseEditNumber
#include "core/util/log.h"
#include "core/util/serial_executor.h"

namespace vq {

namespace {

constexpr const char* kSpeedKey = "pointer speed";
constexpr const char* kWheelKey = "wheel lines";

}  // namespace

int PointerSpeedFromSlider(int position) {
    return 2 * std::max(position, 0) + 2;
}

uint8_t LimitPointerSpeed(int speed) {
    return static_cast<uint8_t>(std::clamp(speed, kPointerSpeedMin, kPointerSpeedMax));
}

std::optional<std::string> LimitWheelText(std::string_view text) {
    if (text.empty()) return std::nullopt;
    const long n = ParseEditNumber(text);
    if (n > kWheelLinesMax) return std::to_string(kWheelLinesMax);
    if (n < kWheelLinesMin) return std::to_string(kWheelLinesMin);
    return std::nullopt;
}

int WheelLinesUp(std::string_view text) {
    long n = ParseEditNumber(text);
    if (n <= 0) n = 1;
    return static_cast<int>(std::min<long>(n + 1, kWheelLinesMax));
}

int WheelLinesDown(std::string_view text) {
    long n = std::min<long>(ParseEditNumber(text), kWheelLinesMax) - 1;
    return static_cast<int>(n <= 0 ? 1 : n);
}

int PointerSliderFor(PointerPath path, uint8_t pointerSpeed) {
    switch (path) {
        case PointerPath::DeviceProfile:
            return pointerSpeed / 2 - 1;
        case PointerPath::LightProfile:
            return pointerSpeed / 2;
        case PointerPath::DeviceDefault:
            return 4;
        case PointerPath::LightDefault:
        case PointerPath::FactoryReset:
            return kResetPointerSlider;
    }
    return kResetPointerSlider;
}

PointerApplier::PointerApplier(SystemPointerTarget* target)
    : target_(target), executor_(std::make_unique<SerialExecutor>("pointer apply")) {}

PointerApplier::~PointerApplier() {
    executor_->Stop();
}

void PointerApplier::SetTarget(SystemPointerTarget* target) {
    target_.store(target);
    // An apply that took the old target before the store ends before this empty task runs.
    if (!executor_->OnThread()) executor_->RunAndWait([] {});
}

void PointerApplier::ApplySpeed(int speed) {
    if (!Target()) return;
    // A later value replaces one that has not been applied yet.
    executor_->PostAfter(
        kSpeedKey, std::chrono::milliseconds(0),
        [this, speed] {
            SystemPointerTarget* target = Target();
            if (!target) return;
            if (!target->CanSetSpeed()) {
                static std::atomic<bool> said{false};
                if (!said.exchange(true))
                    Log(LogLevel::Info,
                        "the pointer speed cannot be set on this system; it is kept in the "
                        "profiles only");
                return;
            }
            if (target->SetSpeed(speed))
                applied_.fetch_add(1);
            else
                Logf(LogLevel::Warning, "the system refused the pointer speed %d", speed);
        },
        SerialExecutor::Timing::Restart);
}

void PointerApplier::ApplyWheelLines(int lines) {
    if (!Target()) return;
    executor_->PostAfter(
        kWheelKey, std::chrono::milliseconds(0),
        [this, lines] {
            SystemPointerTarget* target = Target();
            if (!target) return;
            if (!target->CanSetWheelLines()) {
                static std::atomic<bool> said{false};
                if (!said.exchange(true))
                    Log(LogLevel::Info,
                        "the wheel lines cannot be set on this system; they are kept in the "
                        "profiles only");
                return;
            }
            if (target->SetWheelLines(lines))
                applied_.fetch_add(1);
            else
                Logf(LogLevel::Warning, "the system refused %d wheel lines", lines);
        },
        SerialExecutor::Timing::Restart);
}

bool PointerApplier::WaitIdle(std::chrono::milliseconds limit) {
    return executor_->WaitIdle(limit);
}

}  // namespace vq
