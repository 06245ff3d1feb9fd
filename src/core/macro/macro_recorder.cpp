#include "core/macro/macro_recorder.h"

#include <algorithm>

#include "core/macro/macro_edit.h"

namespace vq {

void MacroRecorder::Start(const RecordingOptions& options, std::vector<MacroAction> actions,
                          uint32_t nowMs) {
    options_ = options;
    actions_ = std::move(actions);
    recorded_ = 0;
    lastEventMs_ = nowMs;
    keysDown_.reset();
    lastMouse_.reset();
    recording_ = true;
}

std::vector<MacroAction> MacroRecorder::Stop() {
    recording_ = false;
    keysDown_.reset();
    lastMouse_.reset();
    return std::move(actions_);
}

bool MacroRecorder::Feed(const InputEvent& event) {
    if (!recording_) return false;
    switch (event.kind) {
        case InputEventKind::KeyDown:
        case InputEventKind::KeyUp:
            return options_.keys && FeedKey(event);
        case InputEventKind::ButtonDown:
        case InputEventKind::ButtonUp:
            return options_.clicks && FeedButton(event);
        case InputEventKind::Wheel:
        case InputEventKind::Move:
            return false;
    }
    return false;
}

bool MacroRecorder::FeedKey(const InputEvent& event) {
    const uint16_t vk = TableVirtualKey(event);
    const bool pressed = event.kind == InputEventKind::KeyDown;
    const bool known = vk < keysDown_.size();
    if (pressed) {
        if (known && keysDown_.test(vk)) return false;  // the system repeats a held key
        if (known) keysDown_.set(vk);
    } else if (known) {
        keysDown_.reset(vk);
    }
    std::optional<MacroAction> action = KeyActionForVirtualKey(vk, pressed);
    if (!action) return false;
    Append(std::move(*action), event.timeMs);
    return true;
}

bool MacroRecorder::FeedButton(const InputEvent& event) {
    int item = 0;
    switch (event.button) {
        case PointerButton::Left:
            item = 0;
            break;
        case PointerButton::Right:
            item = 2;
            break;
        case PointerButton::Middle:
            item = 4;
            break;
        default:
            return false;
    }
    const MouseMessage message{event.kind, event.button};
    if (lastMouse_ == message) return false;
    lastMouse_ = message;
    if (event.kind == InputEventKind::ButtonUp) ++item;
    MacroAction action = *MakeMouseAction(item);
    action.SetDelayMs(0);
    Append(std::move(action), event.timeMs);
    return true;
}

void MacroRecorder::Append(MacroAction action, uint32_t timeMs) {
    // Unsigned arithmetic keeps the difference right across the clock's wrap.
    const uint32_t elapsed = timeMs - lastEventMs_;
    lastEventMs_ = timeMs;
    const uint16_t delay = options_.fixedDelay
                               ? kFixedRecordedDelay
                               : static_cast<uint16_t>(std::min<uint32_t>(elapsed, 65535));
    if (recorded_ > 0) actions_.back().SetDelayMs(delay);
    action.SetDelayMs(0);
    actions_.push_back(std::move(action));
    ++recorded_;
}

}  // namespace vq
