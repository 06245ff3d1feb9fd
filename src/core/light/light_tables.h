#pragma once
// The constant data of the light effects: levels, pauses, the physical arrangement of the
// keyboard's keys, the colour tables and the curves. Key numbers are on-screen button numbers
// (row * 21 + column); kNoButton marks an empty place. The values themselves are in
// light_tables.cpp, where each table says which values are the devices' and which are ours.

#include <array>
#include <cstdint>

#include "core/mouse/mouse_record.h"  // Rgb

namespace vq::light {

inline constexpr uint8_t kNoButton = 126;
inline constexpr int kButtons = 126;
inline constexpr int kColumns = 23;  // the keyboard as 23 physical columns
inline constexpr int kRows = 6;

// Brightness 0-4 to a level. Brightness above 4 (a profile may carry anything) is taken as 4.
extern const std::array<uint8_t, 5> kLevelTable;
uint8_t LevelOf(uint8_t brightness);

// The pause before each keyboard frame: 17 rows (modes) of 15 columns (speeds).
inline constexpr int kDelayRows = 17, kDelayColumns = 15;
extern const std::array<uint8_t, kDelayRows * kDelayColumns> kDelayTable;
// The pause for a mode and speed; out-of-table modes and speeds take the nearest row/column.
uint32_t KeyboardDelayMs(uint8_t mode, uint8_t speed);

// The mousepad's pauses: 9 rows of 15, every row 9 + 4 * speed.
inline constexpr int kMpDelayRows = 9;
extern const std::array<uint8_t, kMpDelayRows * kDelayColumns> kMpDelayTable;
uint32_t MousepadDelayMs(uint8_t mode, uint8_t speed);

// The buttons of each physical column, row 0 at the top.
extern const std::array<std::array<uint8_t, kRows>, kColumns> kColumnTable;
// A serpentine walk over the 104 keys, then kNoButton to 126 entries.
extern const std::array<uint8_t, kButtons> kKeyOrder;
inline constexpr int kKeyOrderKeys = 104;
// The snake's path (106 places, kNoButton lights nothing).
extern const std::array<uint8_t, 106> kSnakePath;
// A fixed shuffle of the positions 0-103 of kKeyOrder.
extern const std::array<uint8_t, 104> kRandomKeys;
// Keys along 12 diagonals.
extern const std::array<std::array<uint8_t, 12>, 12> kDiagonalGrid;

// One 448-entry colour table: the 192-entry hue wheel followed by 256 assorted colours. A hue
// of 192-255 given to the wheel reads the assorted colours.
extern const std::array<Rgb, 448> kColourTable;
inline constexpr int kHueSteps = 192;
inline const Rgb* HueWheel() {
    return kColourTable.data();
}
inline const Rgb* Palette256() {
    return kColourTable.data() + kHueSteps;
}

extern const std::array<uint8_t, 64> kFall;
extern const std::array<uint8_t, 128> kBreath128;
extern const std::array<uint8_t, 96> kWave96;
extern const std::array<uint8_t, 192> kPulse192;

// Starting values of the rain effects, parallel to kColumnTable.
extern const std::array<std::array<uint8_t, kRows>, kColumns> kRainStart;
// The scripted show's first two stages: six keys per step, then pairs.
extern const std::array<std::array<uint8_t, 6>, 20> kScriptKeys;
extern const std::array<std::array<uint8_t, 2>, 16> kScriptPairs;

// ---- the mousepad
inline constexpr int kZones = 15;
inline constexpr int kZoneGridRows = 5, kZoneGridColumns = 7;
// Zone numbers by place on the pad; -1 = none.
extern const std::array<std::array<int8_t, kZoneGridColumns>, kZoneGridRows> kZoneGrid;
// The bit of the blink bar's pattern that each zone group (a kZoneGrid column) follows.
extern const std::array<uint8_t, kZoneGridColumns> kBlinkGroupBit;

// ---- the mouse in the light sync: three LEDs for each of the columns 0-6; kNoMouseLed skips.
inline constexpr int kMouseLeds = 20;
inline constexpr uint8_t kNoMouseLed = 0xFF;
extern const std::array<std::array<uint8_t, 3>, 7> kMouseSyncColumns;

}  // namespace vq::light
