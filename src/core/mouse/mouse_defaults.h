#pragma once
// The mouse's out-of-the-box settings: one source for the simulated mouse's firmware and for the
// shipped default profiles.

#include <array>
#include <cstdint>

namespace vq {

using MouseStoredRecord = std::array<uint8_t, 64>;
using MouseKeyLayer = std::array<uint8_t, 512>;

// The factory record of a slot (bytes 0-53 in the live-record layout, the rest zero).
MouseStoredRecord DefaultMouseRecord(uint8_t slot);
// The factory key layer: each of the eight buttons does what its place on the mouse suggests.
MouseKeyLayer DefaultMouseKeyLayer();

class MouseModel;
// Puts the factory settings into a model: key layer 0 and the factory block, stored record 0 and
// the live record of slot 0, the system values below.
void ApplyMouseDefaults(MouseModel& model);

// The system values a fresh profile carries.
inline constexpr uint8_t kDefaultPointerSpeed = 10;
inline constexpr uint8_t kDefaultWheelLines = 3;

}  // namespace vq
