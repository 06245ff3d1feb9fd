#pragma once
// The operations that fill the mouse model from the mouse and send it back, each a sequence of
// commands on the mouse's DeviceSession. Results are the command results (1 success).

#include <optional>
#include <string>

#include "core/mouse/mouse_model.h"

namespace vq {

class DeviceSession;

// What a read says beyond its result, for a caller that reports it (the command-line tool).
struct MouseReadReport {
    // The step whose failure the result is ("Begin", "ReadIndexedBlock 2", ...); empty when
    // every step was answered.
    std::string failedStep;
    // The onboard slot the mouse said it is on; -1 when it was not read.
    int mouseSlot = -1;
};

// The full read after the mouse has connected: information, factory key block and the five key
// layers between Begin and End; then the live record from stored record 0 (slot 0), a save of
// the selected device profile and a full refresh. A read that is not answered leaves its part of
// the model as it was. Returns 1 when every read was answered, else the first failure.
int ReadMouse(DeviceSession& session, MouseModel& model, MouseReadReport* report = nullptr);

// The re-read of the live record after the mouse reported a change of its settings. Stops at
// the first read that is not answered, leaving the live record as it was.
int ReloadMouseRecord(DeviceSession& session, MouseModel& model, MouseReadReport* report = nullptr);

// Switches the mouse to onboard slot n (0-4; any other n does nothing and returns 0). Reads the
// mouse's slot first and stops when it is n already. When the mouse's slot cannot be read, or
// the switch is refused, nothing is switched and the model is unchanged.
int SelectMouseSlot(DeviceSession& session, MouseModel& model, int n);

// The mouse part of the 100 ms flush: when the record is marked changed, sends the 54 live bytes
// and two zeros at address 0 and clears the mark. Empty when there was nothing to send.
std::optional<int> FlushMouseRecord(DeviceSession& session, MouseModel& model);

// Sends the live record (54 bytes) at address 0, as a device-profile selection does.
int WriteMouseRecord(DeviceSession& session, MouseModel& model);
// Sends key layer `layer` to the mouse at the same index. A layer outside 0-4 sends nothing
// and returns the bad-index result.
int WriteMouseKeyLayer(DeviceSession& session, const MouseModel& model, int layer);

}  // namespace vq
