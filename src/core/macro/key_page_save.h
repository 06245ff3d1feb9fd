#pragma once
// The key page's save ("ms_key_butt_prosave", "kb_key_butt_prosave"): the mouse's cursor
// scripts, the whole macro library as one image, then the key layer of the current slot, each
// between Begin and End, in that order.
//
// The key layer names macros by their index in the library, so it is sent only when the macros
// it names are on the device: a library too large for the device's memory ("message_text_16")
// and a macro or script write that the device refuses or does not answer stop the save before
// the key layer, and the user is told. An empty library sends no macro data (the device keeps
// what it has) but still the key layer. A device that is not connected gets nothing.
//
// The snapshot (what is sent) is taken from the model and the files first; SaveKeyPage then
// only talks to the device, so the controller can run both on its own thread.

#include <optional>
#include <string>
#include <vector>

#include "core/macro/cursor_scripts.h"
#include "core/macro/macro_image.h"
#include "core/macro/macro_library_ops.h"

namespace vq {

class DeviceSession;
class MouseModel;
class KeyboardModel;

struct KeyPageSave {
    // The mouse's cursor scripts in index order; none for the keyboard.
    std::vector<std::vector<MacroAction>> scripts;
    // The macro library in library order.
    std::vector<std::vector<MacroAction>> macros;
    // The device's macro memory in bytes; 0 when its information was never read, which refuses
    // every library that is not empty.
    size_t macroCapacity = 0;
    // The layer of the current slot and its index.
    KeyLayerImage keyLayer{};
    int layerIndex = 0;
};

// The mouse: scripts from the mouse folder (`scripts` may be empty for none), the library, the
// capacity of the information record, key layer [slot].
KeyPageSave MouseKeyPageSave(const MouseModel& model, const MacroLibrary& macros,
                             const CursorScripts* scripts);
// The keyboard: the library, the capacity, the first keyCount × 3 bytes of layer L.
KeyPageSave KeyboardKeyPageSave(const KeyboardModel& model, const MacroLibrary& macros);

struct KeyPageSaveResult {
    TransferResult scripts;
    TransferResult macros;
    int keyLayer = 0;  // WriteIndexedBlock's result; 0 when it was not sent
    bool keyLayerSent = false;
    // Whether the caller saves the profiles that hold the key layer (not when the library was
    // refused for its size, as then nothing at all is sent).
    bool saveProfiles = true;
    // The message to show (the first failure), empty when all went well.
    std::string textId;
    int textArg = 0;
    std::string detail;

    bool Ok() const { return textId.empty() && detail.empty(); }
};

// Sends what `save` holds. `progress` (may be empty) is called with reports done of the total
// as the steps complete, from the calling thread.
KeyPageSaveResult SaveKeyPage(DeviceSession& session, const KeyPageSave& save,
                              const TransferProgress& progress = {});

}  // namespace vq
