#include "core/light/light_tables.h"

#include <algorithm>

namespace vq::light {

namespace {
constexpr uint8_t N = kNoButton;
}  // namespace

const std::array<uint8_t, 5> kLevelTable = {45, 97, 149, 201, 255};

uint8_t LevelOf(uint8_t brightness) {
    return kLevelTable[std::min<size_t>(brightness, kLevelTable.size() - 1)];
}

// Modes 0, 4, 7 and 12 start faster (2, 3, 3, 3 ms at speed 0), every other mode at 9 ms;
// speeds 1-4 pause 13, 27, 37 and 45 ms in every mode. Speeds 5-14 are never set by the page;
// they take the slowest pause, so that a profile carrying one runs slowly rather than wildly.
const std::array<uint8_t, kDelayRows* kDelayColumns> kDelayTable = [] {
    std::array<uint8_t, kDelayRows * kDelayColumns> t{};
    for (int mode = 0; mode < kDelayRows; ++mode) {
        uint8_t* row = t.data() + mode * kDelayColumns;
        row[0] = mode == 0 ? 2 : (mode == 4 || mode == 7 || mode == 12) ? 3 : 9;
        row[1] = 13;
        row[2] = 27;
        row[3] = 37;
        for (int speed = 4; speed < kDelayColumns; ++speed)
            row[speed] = 45;
    }
    return t;
}();

uint32_t KeyboardDelayMs(uint8_t mode, uint8_t speed) {
    const int row = std::min<int>(mode, kDelayRows - 1);
    const int column = std::min<int>(speed, kDelayColumns - 1);
    return kDelayTable[static_cast<size_t>(row * kDelayColumns + column)];
}

const std::array<uint8_t, kMpDelayRows* kDelayColumns> kMpDelayTable = [] {
    std::array<uint8_t, kMpDelayRows * kDelayColumns> t{};
    for (int mode = 0; mode < kMpDelayRows; ++mode)
        for (int speed = 0; speed < kDelayColumns; ++speed)
            t[static_cast<size_t>(mode * kDelayColumns + speed)] =
                static_cast<uint8_t>(9 + 4 * speed);
    return t;
}();

uint32_t MousepadDelayMs(uint8_t mode, uint8_t speed) {
    // Mode 9 (no effect) lies past the table's nine rows; it pauses like the last row.
    const int row = std::min<int>(mode, kMpDelayRows - 1);
    const int column = std::min<int>(speed, kDelayColumns - 1);
    return kMpDelayTable[static_cast<size_t>(row * kDelayColumns + column)];
}

// clang-format off
const std::array<std::array<uint8_t, kRows>, kColumns> kColumnTable = {{
    {N, N, N, N, N, 105},          // 0
    {N, 21, 42, 63, 84, 106},      // 1
    {0, 22, 43, 64, 85, 107},      // 2
    {1, 23, 44, 65, 86, N},        // 3
    {2, 24, 45, 66, 87, N},        // 4
    {3, 25, 46, 67, 88, N},        // 5
    {4, 26, 47, 68, 89, 108},      // 6
    {N, 27, 48, 69, 90, N},        // 7
    {5, 28, 49, 70, 91, N},        // 8
    {6, 29, 50, 71, 92, 109},      // 9
    {7, 30, 51, 72, 93, N},        // 10
    {8, 31, 52, 73, 94, 110},      // 11
    {9, 32, 53, 74, N, N},         // 12
    {10, 33, 54, N, N, 111},       // 13
    {11, 34, 55, 75, 95, N},       // 14
    {12, N, N, N, N, 112},         // 15
    {13, 35, 56, N, N, 113},       // 16
    {14, 36, 57, N, 96, 114},      // 17
    {15, 37, 58, N, N, 115},       // 18
    {N, 38, 59, 76, 97, 116},      // 19
    {N, 39, 60, 77, 98, N},        // 20
    {N, 40, 61, 78, 99, 117},      // 21
    {N, 41, N, 119, 118, N},       // 22
}};
// clang-format on

namespace {

// Appends first, first-1, ..., last (or upwards when last > first).
template <size_t Size>
constexpr void Run(std::array<uint8_t, Size>& out, size_t& at, int first, int last) {
    const int step = last >= first ? 1 : -1;
    for (int v = first;; v += step) {
        out[at++] = static_cast<uint8_t>(v);
        if (v == last) break;
    }
}

}  // namespace

const std::array<uint8_t, kButtons> kKeyOrder = [] {
    std::array<uint8_t, kButtons> t{};
    t.fill(N);
    size_t at = 0;
    Run(t, at, 15, 0);
    Run(t, at, 21, 21);
    Run(t, at, 42, 42);
    Run(t, at, 63, 63);
    Run(t, at, 84, 84);
    Run(t, at, 105, 119);
    Run(t, at, 41, 22);
    Run(t, at, 43, 43);
    Run(t, at, 64, 64);
    Run(t, at, 85, 99);
    Run(t, at, 78, 78);
    Run(t, at, 61, 44);
    Run(t, at, 65, 77);
    return t;
}();

const std::array<uint8_t, 106> kSnakePath = [] {
    std::array<uint8_t, 106> t{};
    size_t at = 0;
    Run(t, at, 0, 15);
    Run(t, at, 41, 21);
    Run(t, at, 42, 61);
    Run(t, at, 119, 119);
    Run(t, at, 78, 75);
    Run(t, at, N, N);
    Run(t, at, 74, 63);
    Run(t, at, 84, 84);
    Run(t, at, N, N);
    Run(t, at, 85, 99);
    Run(t, at, 118, 105);
    return t;
}();

// clang-format off
const std::array<uint8_t, 104> kRandomKeys = {
    88, 24, 101, 57, 49, 20, 5, 14, 16, 69, 35, 34, 83, 94, 6, 61, 10, 23, 39, 3, 102, 17, 65,
    22, 36, 51, 78, 18, 38, 53, 2, 62, 64, 90, 96, 74, 91, 80, 86, 89, 43, 28, 58, 59, 12, 66,
    97, 9, 48, 95, 77, 70, 72, 56, 44, 99, 68, 98, 71, 27, 81, 1, 0, 87, 92, 40, 25, 26, 7, 30,
    50, 84, 15, 60, 54, 21, 45, 67, 19, 103, 33, 41, 55, 52, 13, 47, 42, 93, 46, 75, 37, 73, 32,
    79, 8, 29, 31, 4, 85, 76, 100, 82, 11, 63,
};

const std::array<std::array<uint8_t, 12>, 12> kDiagonalGrid = {{
    {51, N, N, N, N, N, N, N, N, N, N, N},
    {30, 50, 71, 72, 52, 31, N, N, N, N, N, N},
    {8, 29, 49, 70, 91, 92, 93, 73, 53, 32, N, N},
    {7, 28, 48, 69, 90, 109, 94, 74, 54, 33, 9, N},
    {6, 27, 47, 68, 89, 110, 95, 75, 55, 34, 10, 11},
    {5, 26, 46, 67, 88, 108, 111, 112, 56, 35, 12, N},
    {4, 25, 45, 66, 87, 113, 96, 57, 36, 13, N, N},
    {3, 24, 44, 65, 86, 114, 115, 58, 37, 15, 14, N},
    {2, 23, 43, 64, 85, 107, 97, 76, 59, 38, N, N},
    {1, 22, 42, 63, 84, 106, 116, 98, 77, 60, 39, N},
    {0, 21, 105, 117, 99, 78, 61, 40, N, N, N, N},
    {118, 119, 41, N, N, N, N, N, N, N, N, N},
}};
// clang-format on

namespace {

// The wheel's moving component: rising over a sextant, and falling in the next one.
constexpr std::array<uint8_t, 32> kRise = {1,   3,   5,   7,   10,  14,  18,  22,  26,  32,  38,
                                           44,  50,  57,  65,  73,  81,  89,  99,  109, 119, 129,
                                           140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
constexpr std::array<uint8_t, 32> kDrop = {248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124,
                                           114, 104, 94,  85,  77,  69,  61,  53,  47,  41,  35,
                                           29,  24,  20,  16,  12,  8,   6,   4,   2,   0};

}  // namespace

// Entries 0-191: the hue wheel, six sextants of 32: red -> yellow (green rises), -> green (red
// falls), -> cyan (blue rises), -> blue (green falls), -> magenta (red rises), -> red (blue
// falls). Entry 0 is (255, 1, 0), 31 yellow, 63 green, 127 blue, 191 red.
// Entries 192-447: 256 assorted colours. The first ten are the device's (red, orange, yellow,
// green, cyan, blue, violet, white, black, deep blue); the other 246 are ours: hues a golden
// angle apart at three saturations (full, 3/4, 1/2) and four values (full, full, 0.8, 0.6), so
// that neighbouring entries differ clearly.
const std::array<Rgb, 448> kColourTable = [] {
    std::array<Rgb, 448> t{};
    for (int i = 0; i < 32; ++i) {
        const uint8_t up = kRise[static_cast<size_t>(i)], down = kDrop[static_cast<size_t>(i)];
        t[static_cast<size_t>(i)] = {255, up, 0};
        t[static_cast<size_t>(32 + i)] = {down, 255, 0};
        t[static_cast<size_t>(64 + i)] = {0, 255, up};
        t[static_cast<size_t>(96 + i)] = {0, down, 255};
        t[static_cast<size_t>(128 + i)] = {up, 0, 255};
        t[static_cast<size_t>(160 + i)] = {255, 0, down};
    }
    // clang-format off
    constexpr Rgb kAssorted[256] = {
    {255, 0, 0}, {255, 96, 0}, {255, 255, 0}, {0, 255, 0},
    {0, 255, 255}, {0, 0, 255}, {128, 0, 255}, {255, 255, 255},
    {0, 0, 0}, {0, 0, 160}, {255, 0, 0}, {64, 255, 120},
    {202, 128, 255}, {255, 223, 0}, {64, 223, 255}, {255, 128, 196},
    {51, 204, 0}, {58, 51, 204}, {204, 136, 102}, {0, 153, 96},
    {144, 38, 153}, {137, 153, 76}, {0, 127, 255}, {255, 64, 103},
    {128, 255, 138}, {96, 0, 255}, {255, 192, 64}, {128, 255, 250},
    {204, 0, 153}, {121, 204, 51}, {102, 119, 204}, {153, 20, 0},
    {38, 153, 86}, {131, 76, 153}, {254, 255, 0}, {64, 199, 255},
    {255, 128, 180}, {31, 255, 0}, {96, 64, 255}, {255, 186, 128},
    {0, 204, 154}, {204, 51, 197}, {170, 204, 102}, {0, 57, 153},
    {153, 38, 47}, {76, 153, 93}, {129, 0, 255}, {255, 216, 64},
    {128, 244, 255}, {255, 0, 158}, {127, 255, 64}, {128, 132, 255},
    {204, 52, 0}, {51, 204, 135}, {188, 102, 204}, {133, 153, 0},
    {38, 105, 153}, {153, 76, 98}, {0, 255, 2}, {121, 64, 255},
    {255, 203, 128}, {0, 255, 225}, {255, 64, 222}, {196, 255, 128},
    {0, 50, 204}, {204, 58, 51}, {102, 204, 137}, {97, 0, 153},
    {153, 144, 38}, {76, 136, 153}, {255, 0, 126}, {102, 255, 64},
    {139, 128, 255}, {255, 98, 0}, {64, 255, 193}, {251, 128, 255},
    {151, 204, 0}, {51, 120, 204}, {204, 102, 118}, {0, 153, 20},
    {87, 38, 153}, {153, 131, 76}, {0, 253, 255}, {255, 64, 197},
    {179, 255, 128}, {0, 29, 255}, {255, 98, 64}, {128, 255, 187},
    {155, 0, 204}, {196, 204, 51}, {102, 169, 204}, {153, 0, 56},
    {47, 153, 38}, {93, 76, 153}, {255, 130, 0}, {64, 255, 217},
    {255, 128, 243}, {157, 255, 0}, {64, 125, 255}, {255, 128, 131},
    {0, 204, 53}, {136, 51, 204}, {204, 188, 102}, {0, 132, 153},
    {153, 38, 104}, {98, 153, 76}, {3, 0, 255}, {255, 122, 64},
    {128, 255, 203}, {226, 0, 255}, {221, 255, 64}, {128, 195, 255},
    {204, 0, 48}, {51, 204, 59}, {137, 102, 204}, {153, 98, 0},
    {38, 153, 145}, {153, 76, 136}, {124, 255, 0}, {64, 101, 255},
    {255, 140, 128}, {0, 255, 99}, {194, 64, 255}, {255, 252, 128},
    {0, 150, 204}, {204, 51, 119}, {117, 204, 102}, {21, 0, 153},
    {153, 88, 38}, {76, 153, 132}, {255, 0, 251}, {196, 255, 64},
    {128, 179, 255}, {255, 0, 28}, {64, 255, 99}, {188, 128, 255},
    {204, 156, 0}, {51, 195, 204}, {204, 102, 168}, {55, 153, 0},
    {38, 46, 153}, {153, 94, 76}, {0, 255, 132}, {218, 64, 255},
    {242, 255, 128}, {0, 155, 255}, {255, 64, 124}, {131, 255, 128},
    {55, 0, 204}, {204, 137, 51}, {102, 204, 189}, {153, 0, 131},
    {103, 153, 38}, {76, 97, 153}, {255, 5, 0}, {64, 255, 123},
    {204, 128, 255}, {255, 228, 0}, {64, 219, 255}, {255, 128, 194},
    {47, 204, 0}, {60, 51, 204}, {204, 138, 102}, {0, 153, 99},
    {146, 38, 153}, {136, 153, 76}, {0, 122, 255}, {255, 64, 100},
    {128, 255, 141}, {101, 0, 255}, {255, 195, 64}, {128, 255, 252},
    {204, 0, 149}, {118, 204, 51}, {102, 117, 204}, {153, 22, 0},
    {38, 153, 89}, {132, 76, 153}, {249, 255, 0}, {64, 195, 255},
    {255, 128, 178}, {26, 255, 0}, {100, 64, 255}, {255, 189, 128},
    {0, 204, 158}, {204, 51, 194}, {168, 204, 102}, {0, 54, 153},
    {153, 38, 45}, {76, 153, 94}, {133, 0, 255}, {255, 220, 64},
    {128, 241, 255}, {255, 0, 153}, {123, 255, 64}, {128, 130, 255},
    {204, 56, 0}, {51, 204, 138}, {189, 102, 204}, {130, 153, 0},
    {38, 102, 153}, {153, 76, 97}, {0, 255, 6}, {124, 64, 255},
    {255, 205, 128}, {0, 255, 230}, {255, 64, 218}, {193, 255, 128},
    {0, 46, 204}, {204, 61, 51}, {102, 204, 139}, {100, 0, 153},
    {153, 146, 38}, {76, 135, 153}, {255, 0, 121}, {99, 255, 64},
    {142, 128, 255}, {255, 102, 0}, {64, 255, 196}, {253, 128, 255},
    {147, 204, 0}, {51, 117, 204}, {204, 102, 116}, {0, 153, 23},
    {89, 38, 153}, {153, 133, 76}, {0, 248, 255}, {255, 64, 194},
    {177, 255, 128}, {0, 25, 255}, {255, 101, 64}, {128, 255, 190},
    {159, 0, 204}, {193, 204, 51}, {102, 167, 204}, {153, 0, 53},
    {44, 153, 38}, {95, 76, 153}, {255, 135, 0}, {64, 255, 221},
    {255, 128, 241}, {152, 255, 0}, {64, 122, 255}, {255, 128, 129},
    {0, 204, 57}, {139, 51, 204}, {204, 190, 102}, {0, 129, 153},
    {153, 38, 102}, {96, 153, 76}, {8, 0, 255}, {255, 125, 64},
    {128, 255, 206}, {231, 0, 255}, {217, 255, 64}, {128, 193, 255},
    };
    // clang-format on
    std::copy(std::begin(kAssorted), std::end(kAssorted), t.begin() + kHueSteps);
    return t;
}();

const std::array<uint8_t, 64> kFall = {
    255, 248, 241, 234, 227, 220, 213, 206, 200, 194, 188, 182, 176, 170, 164, 158,
    152, 146, 140, 134, 129, 124, 119, 114, 109, 104, 99,  94,  89,  85,  81,  77,
    73,  69,  65,  61,  57,  53,  49,  45,  42,  39,  36,  33,  30,  27,  24,  22,
    20,  18,  16,  14,  12,  10,  9,   8,   7,   6,   5,   4,   3,   2,   1,   0};

// Fall reversed, then Fall: 0 ... 255, 255 ... 0.
const std::array<uint8_t, 128> kBreath128 = [] {
    std::array<uint8_t, 128> t{};
    for (size_t i = 0; i < 64; ++i) {
        t[i] = kFall[63 - i];
        t[64 + i] = kFall[i];
    }
    return t;
}();

// The first 48 values of Fall reversed (22 ... 255), then the same 48 (255 ... 22).
const std::array<uint8_t, 96> kWave96 = [] {
    std::array<uint8_t, 96> t{};
    for (size_t i = 0; i < 48; ++i) {
        t[i] = kFall[47 - i];
        t[48 + i] = kFall[i];
    }
    return t;
}();

// A quick rise, Fall from 255 down to 3, then 2, 2, 1, 0 and darkness to the end.
const std::array<uint8_t, 192> kPulse192 = [] {
    std::array<uint8_t, 192> t{};
    constexpr uint8_t kRiseUp[] = {0,  4,  8,   14,  22,  33,  45,  61,
                                   77, 94, 114, 134, 158, 182, 206, 234};
    size_t at = 0;
    for (uint8_t v : kRiseUp)
        t[at++] = v;
    for (size_t i = 0; i <= 60; ++i)
        t[at++] = kFall[i];
    for (uint8_t v : {2, 2, 1, 0})
        t[at++] = v;
    return t;
}();

// Columns 0-2 are the device's. The others are ours, of the same kind: each column starts 44
// later than the one before (modulo 192) and falls by 20 per row, wrapping to 190 below zero,
// so that neighbouring columns rain out of step.
const std::array<std::array<uint8_t, kRows>, kColumns> kRainStart = {{
    {72, 52, 32, 12, 182, 162},     // 0
    {72, 52, 32, 12, 182, 162},     // 1
    {120, 100, 80, 60, 40, 20},     // 2
    {164, 144, 124, 104, 84, 64},   // 3
    {16, 186, 166, 146, 126, 106},  // 4
    {60, 40, 20, 0, 170, 150},      // 5
    {104, 84, 64, 44, 24, 4},       // 6
    {148, 128, 108, 88, 68, 48},    // 7
    {0, 170, 150, 130, 110, 90},    // 8
    {44, 24, 4, 174, 154, 134},     // 9
    {88, 68, 48, 28, 8, 178},       // 10
    {132, 112, 92, 72, 52, 32},     // 11
    {176, 156, 136, 116, 96, 76},   // 12
    {28, 8, 178, 158, 138, 118},    // 13
    {72, 52, 32, 12, 182, 162},     // 14
    {116, 96, 76, 56, 36, 16},      // 15
    {160, 140, 120, 100, 80, 60},   // 16
    {12, 182, 162, 142, 122, 102},  // 17
    {56, 36, 16, 186, 166, 146},    // 18
    {100, 80, 60, 40, 20, 0},       // 19
    {144, 124, 104, 84, 64, 44},    // 20
    {188, 168, 148, 128, 108, 88},  // 21
    {40, 20, 0, 170, 150, 130},     // 22
}};

// Ours: the first stage sweeps the keyboard's columns 1-20 from left to right, six keys at a
// time; the second lights pairs from the outside of the top and bottom rows inwards, ending on
// L (button 72), whose fading ends the stage.
const std::array<std::array<uint8_t, 6>, 20> kScriptKeys = [] {
    std::array<std::array<uint8_t, 6>, 20> t{};
    for (size_t i = 0; i < t.size(); ++i)
        t[i] = kColumnTable[i + 1];
    return t;
}();

// clang-format off
const std::array<std::array<uint8_t, 2>, 16> kScriptPairs = {{
    {0, 15}, {1, 14}, {2, 13}, {3, 12}, {4, 11}, {5, 10}, {6, 9}, {7, 8},
    {105, 119}, {106, 118}, {107, 117}, {108, 116}, {109, 115}, {110, 114}, {111, 113}, {112, 72},
}};

// Ours: the fifteen zones around the pad's edge seen from above: the top edge left to right
// (0-6), down the right edge (7-9), and the bottom edge back from right to left (10-14).
const std::array<std::array<int8_t, kZoneGridColumns>, kZoneGridRows> kZoneGrid = {{
    {0, 1, 2, 3, 4, 5, 6},
    {-1, -1, -1, -1, -1, -1, 7},
    {-1, -1, -1, -1, -1, -1, 8},
    {-1, -1, -1, -1, -1, -1, 9},
    {-1, -1, 14, 13, 12, 11, 10},
}};
// clang-format on

// Ours: group g (column g of kZoneGrid) follows bit 2g + 1, so that the six-bit block of the
// pattern (0x3F00 shifted right step by step) crosses the pad from the right to the left.
const std::array<uint8_t, kZoneGridColumns> kBlinkGroupBit = {1, 3, 5, 7, 9, 11, 13};

// The mouse's LEDs in three rows of six under the light sync's columns 0-5. Column 6 lists LED 0
// twice and an LED past the mouse's twenty; painting it would give LED 0 the colour of column 6
// and break the wave on the mouse, so it paints nothing.
const std::array<std::array<uint8_t, 3>, 7> kMouseSyncColumns = {{
    {0, 6, 12},
    {1, 7, 13},
    {2, 8, 14},
    {3, 9, 15},
    {4, 10, 16},
    {5, 11, 17},
    {kNoMouseLed, kNoMouseLed, kNoMouseLed},
}};

}  // namespace vq::light
