#include "core/util/animation_counters.h"

namespace vq {

namespace {
// The value at which each counter restarts from 0 (0: wraps at 256).
constexpr std::array<unsigned, AnimationCounters::kCounters> kWrapAt = {2, 2, 3, 4, 5, 0};
}  // namespace

void AnimationCounters::Advance() {
    for (int i = 0; i < kCounters; ++i) {
        std::atomic<uint8_t>& counter = counters_[static_cast<size_t>(i)];
        unsigned next = counter.load(std::memory_order_relaxed) + 1u;
        const unsigned wrap = kWrapAt[static_cast<size_t>(i)];
        if (wrap != 0 && next >= wrap) {
            next = 0;
            if (i == 0) tick_.store(true, std::memory_order_release);
        }
        counter.store(static_cast<uint8_t>(next), std::memory_order_relaxed);
    }
}

uint8_t AnimationCounters::Counter(int index) const {
    if (index < 0 || index >= kCounters) return 0;
    return counters_[static_cast<size_t>(index)].load(std::memory_order_relaxed);
}

bool AnimationCounters::TakeTick() {
    return tick_.exchange(false, std::memory_order_acq_rel);
}

}  // namespace vq
