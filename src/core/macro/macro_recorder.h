#pragma once
// Recording a macro from live input. The recorder turns the events of an input capture into
// macro actions appended to the editor's list: each key (from the key table's keyboard keys) and
// each left, right or middle button press and release becomes an action, and the time between
// two recorded events becomes the delay of the earlier one.
//
// - A held key repeats on the system; only its first press and its release are recorded.
// - The pause before the first event of a recording is not a delay of the macro: it is dropped,
//   and an action already in the list keeps its own delay.
// - A delay is at most 65535 ms; with the fixed-delay option every delay is 50 ms.
// - The last recorded action keeps delay 0.
// - The wheel and move options only make the capture take the mouse as well; wheel turns and
//   pointer moves are not recorded (a move is inserted by hand, with its distance). The side
//   buttons are not recorded either.
//
// Threads: a recorder belongs to one thread, the one the capture delivers its events on.

#include <bitset>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/macro/input_event.h"
#include "core/macro/macro_file.h"

namespace vq {

// The recording options of the macro page.
struct RecordingOptions {
    bool keys = true;         // "*_macro_keyboard_event"
    bool clicks = false;      // "*_macro_mouse_click"
    bool wheel = false;       // "*_macro_mouse_roller"
    bool moves = false;       // "*_macro_mouse_move"
    bool fixedDelay = false;  // "*_macro_check_time"

    bool CapturesKeyboard() const { return keys; }
    bool CapturesMouse() const { return clicks || wheel || moves; }
};

inline constexpr uint16_t kFixedRecordedDelay = 50;

class MacroRecorder {
  public:
    // Starts recording onto `actions` (the list the editor shows). `nowMs` is the capture's
    // clock at the start.
    void Start(const RecordingOptions& options, std::vector<MacroAction> actions, uint32_t nowMs);
    // Ends the recording and hands the list back.
    std::vector<MacroAction> Stop();
    bool Recording() const { return recording_; }
    const RecordingOptions& Options() const { return options_; }

    // Takes one event. True when it appended an action (the list changed).
    bool Feed(const InputEvent& event);

    const std::vector<MacroAction>& Actions() const { return actions_; }
    // Actions appended since Start.
    int Recorded() const { return recorded_; }

  private:
    bool FeedKey(const InputEvent& event);
    bool FeedButton(const InputEvent& event);
    void Append(MacroAction action, uint32_t timeMs);

    bool recording_ = false;
    RecordingOptions options_;
    std::vector<MacroAction> actions_;
    int recorded_ = 0;
    uint32_t lastEventMs_ = 0;
    std::bitset<0x200> keysDown_;
    struct MouseMessage {
        InputEventKind kind;
        PointerButton button;
        bool operator==(const MouseMessage&) const = default;
    };
    std::optional<MouseMessage> lastMouse_;
};

}  // namespace vq
