#pragma once
// The out-of-the-box settings of the keyboard (both variants) and of the mousepad, as the
// shipped default profiles carry them.

#include "core/keyboard/keyboard_model.h"
#include "core/keyboard/mousepad_model.h"

namespace vq {

// The keys of the keyboard in its key order (the on-screen buttons without the gaps), each with
// its own function.
int DefaultKeyboardKeyCount();
KeyboardKeyLayer DefaultKeyboardKeyLayer();

// Puts the factory settings into a model: key layer 0, the record, the custom colour store.
void ApplyKeyboardDefaults(KeyboardModel& model, KeyboardVariant variant);
void ApplyMousepadDefaults(MousepadModel& model);

}  // namespace vq
