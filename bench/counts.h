// The work each program does for a pass and the detail it shows, counted on
// the CPU: the product's orbits come from the tests' copy of its arithmetic,
// the yardstick's from its plain loop, and a double-precision orbit says
// which pixels really escape. Iteration counts are not read from the GPU.
#pragma once

#include "bench/bench.h"

#include <vector>

namespace bench {

struct Counts {
    long long iterations = 0;       // z <- z^2 + c steps over the whole pass
    long long blockIterations = 0;  // the same with every 4x4 block at its slowest pixel
    long escaped = 0;               // pixels that leave the bailout within the limit
    long long atLimit = 0;          // steps spent on pixels that never leave it
};

struct ViewCounts {
    Counts product, textbook, earlyExit;
    long deepEscaped = 0;  // pixels that escape in the double reference
};

// `limits` holds the product's limit at each pixel, row 0 at the bottom.
ViewCounts countView(const View& v, const std::vector<float>& limits);

// The product's limit formula at the view's exact (unrounded) footprint.
float nominalLimit(const View& v);

}  // namespace bench
