#pragma once
// quilletctl's commands on the mouse, all through the mouse's controller: `info`, `read` and the
// settings commands `mouse dpi|stage|colour|rate|lift|light|button|get|reset`.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/profile_commands.h"

namespace vq {
class HidBackend;
class MouseController;
struct ControllerTiming;
}  // namespace vq

namespace vq::cli {

struct MouseOptions {
    bool json = false;  // --json: print the record as JSON
    // `mouse light`'s options, as given.
    std::optional<std::string> brightness;  // --brightness N
    std::optional<std::string> speed;       // --speed N
    std::optional<std::string> colour;      // --colour RRGGBB
};

// Why this user may not open a device of ours, for the messages that say so.
const char* AccessHint();

// The controller timing of a mouse command: nothing is sent or saved by a timer, only when the
// command says so.
ControllerTiming MouseCommandTiming();
// Opens the mouse's configuration collection through its controller, or says why not.
bool ConnectMouse(MouseController& mouse, HidBackend* backend, std::ostream& err);

// The mouse's information record (after the full read).
int InfoCommand(HidBackend* backend, std::ostream& out, std::ostream& err);
// The full read, then the mouse's live record, printed. Writes nothing to the mouse.
int ReadCommand(HidBackend* backend, const MouseOptions& options, std::ostream& out,
                std::ostream& err);
// `mouse dpi STAGE DPI | stage STAGE | colour STAGE RRGGBB | rate HZ | lift low|middle|high |
// light MODE`: the full read, the mouse's live record, the change, the record sent; then the
// record printed. With --data-dir the mouse's selected light and device profiles are saved as
// the program would.
// `mouse button N FUNCTION`: the function stored in button N (1-8) of the layer in use and the
// layer sent (names as ButtonFunctionName gives them; macros need --data-dir). `mouse get`: the
// record and the eight buttons' functions. `mouse reset`: the factory reset, then the mouse read
// back and printed as `get` prints it. Exit code 5 when a function is refused (an unknown name,
// the only left click taken away).
int MouseCommand(HidBackend* backend, const FileOptions& files, const MouseOptions& options,
                 const std::vector<std::string>& operands, std::ostream& out, std::ostream& err);
// Checks the operands of a `mouse` command before any device is opened: the exit code of a
// usage error (with its message written), or nothing when they are good.
std::optional<int> CheckMouseUsage(const MouseOptions& options,
                                   const std::vector<std::string>& operands, std::ostream& err);

}  // namespace vq::cli
