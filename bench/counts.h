// The work each program does for a pass and the detail it shows, counted on
// the CPU: the product's orbits come from the tests' copy of its arithmetic,
// the yardsticks' from their plain loop, and a double-precision orbit run to
// the product's limit says which pixels really escape. Iteration counts are
// not read from the GPU.
#pragma once

#include "bench/bench.h"

#include <vector>

namespace bench {

struct Counts {
    long long iterations = 0;       // z <- z^2 + c steps over the whole pass
    long long blockIterations = 0;  // the same with every 4x4 block at its slowest pixel
    long long atLimit = 0;          // steps spent on pixels that never escape
    long resolved = 0;              // escaping pixels that escape in the double reference too
};

struct ViewCounts {
    Counts product, textbook, earlyExit, textbookAtLimit, earlyExitAtLimit;
    long deepEscaped = 0;      // pixels that escape in the double reference
    long stoppedEscaping = 0;  // of them, pixels the product stops as interior before its limit
};

// `limits` holds the product's limit at each pixel, row 0 at the bottom;
// the yardsticks "at limit" run `steps` steps.
ViewCounts countView(const View& v, const std::vector<float>& limits, int steps);

// The product's limit formula at the view's exact (unrounded) footprint.
float nominalLimit(const View& v);

}  // namespace bench
