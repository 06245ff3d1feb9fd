#pragma once
// The four cursor scripts shipped with the mouse: one recoil pattern per gun slot, 30 bullets.

#include <array>
#include <cstdint>
#include <string_view>

namespace vq::tools {

struct RecoilStep {
    int dx;  // horizontal correction: negative moves left, positive right (-255 .. 255)
    int dy;  // vertical correction: positive pulls down, negative up (-255 .. 255)
};

struct RecoilPattern {
    std::string_view name;  // the script's file name without ".cur"
    uint16_t triggerMs;     // how long the left button is held for one shot
    uint16_t intervalMs;    // the rest of the time between two shots: the bullet's delay
    std::array<RecoilStep, 30> steps;
};

const std::array<RecoilPattern, 4>& RecoilPatterns();

}  // namespace vq::tools
