#pragma once
// The window's animation clock: six byte counters advanced every 10 ms on the window's thread and
// read by the light renderers on their threads. The first counter runs 0, 1 and raises the shared
// tick flag each time it wraps; the second, third, fourth and fifth wrap at 2, 3, 4 and 5; the
// sixth runs free.

#include <array>
#include <atomic>
#include <cstdint>

namespace vq {

class AnimationCounters {
  public:
    static constexpr int kCounters = 6;

    void Advance();
    uint8_t Counter(int index) const;
    // Reads and clears the tick flag.
    bool TakeTick();
    bool Tick() const { return tick_.load(std::memory_order_acquire); }

  private:
    std::array<std::atomic<uint8_t>, kCounters> counters_{};
    std::atomic<bool> tick_{false};
};

}  // namespace vq
