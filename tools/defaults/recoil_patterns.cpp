// The shipped recoil patterns. Each bullet's step is the pointer correction played after the
// shot: the first bullets of a burst climb hardest, so they pull down most; longer bursts drift
// sideways, which the horizontal steps follow. Reviewed like code: change a number here and the
// shipped "name_N.cur" files change with it.

#include "recoil_patterns.h"

namespace vq::tools {

namespace {

// clang-format off
const std::array<RecoilPattern, 4> kPatterns = {{
    // Slot 1: rifle, about 600 shots a minute. Strong climb that settles, then a slow sway to
    // the right and back.
    {"name_1", 10, 90, {{
        {0, 4}, {0, 5}, {0, 6}, {0, 7}, {0, 7}, {0, 8}, {0, 8}, {1, 8}, {1, 7}, {2, 7},
        {2, 6}, {1, 6}, {0, 5}, {-1, 5}, {-2, 5}, {-2, 4}, {-1, 4}, {0, 4}, {1, 4}, {2, 4},
        {2, 3}, {1, 3}, {0, 3}, {-1, 3}, {-2, 3}, {-1, 3}, {0, 3}, {1, 3}, {1, 3}, {0, 3},
    }}},
    // Slot 2: submachine gun, about 900 shots a minute. Light climb, quick jitter.
    {"name_2", 8, 59, {{
        {0, 2}, {0, 3}, {1, 3}, {-1, 3}, {0, 4}, {1, 4}, {-1, 4}, {0, 4}, {1, 3}, {-1, 3},
        {0, 3}, {1, 3}, {-1, 3}, {0, 3}, {1, 2}, {-1, 2}, {0, 2}, {1, 2}, {-1, 2}, {0, 2},
        {1, 2}, {-1, 2}, {0, 2}, {1, 2}, {-1, 2}, {0, 2}, {1, 2}, {-1, 2}, {0, 2}, {0, 2},
    }}},
    // Slot 3: light machine gun, about 550 shots a minute. Heavy, steady climb with a drift
    // to the right that grows over the belt.
    {"name_3", 12, 97, {{
        {0, 6}, {0, 7}, {0, 8}, {0, 9}, {1, 9}, {1, 9}, {1, 8}, {1, 8}, {2, 8}, {2, 8},
        {2, 7}, {2, 7}, {2, 7}, {3, 7}, {3, 7}, {3, 6}, {3, 6}, {3, 6}, {3, 6}, {3, 6},
        {2, 6}, {2, 6}, {2, 6}, {2, 5}, {2, 5}, {2, 5}, {2, 5}, {2, 5}, {2, 5}, {2, 5},
    }}},
    // Slot 4: marksman rifle, about 400 shots a minute. One big kick per shot, slightly to
    // the left and back.
    {"name_4", 10, 140, {{
        {0, 10}, {0, 11}, {-1, 11}, {-1, 12}, {0, 12}, {1, 12}, {0, 12}, {-1, 11}, {0, 11},
        {1, 11}, {0, 10}, {-1, 10}, {0, 10}, {1, 10}, {0, 10}, {-1, 10}, {0, 10}, {1, 10},
        {0, 9}, {-1, 9}, {0, 9}, {1, 9}, {0, 9}, {-1, 9}, {0, 9}, {1, 9}, {0, 9}, {-1, 9},
        {0, 9}, {0, 9},
    }}},
}};
// clang-format on

}  // namespace

const std::array<RecoilPattern, 4>& RecoilPatterns() {
    return kPatterns;
}

}  // namespace vq::tools
