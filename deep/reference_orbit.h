// Reference orbits for perturbation: one point's orbit under z^2 + c,
// iterated at the precision the view needs and kept as doubles.
//
// Precision: each Z_n comes from the exact orbit rounded once to a double,
// so rounding never accumulates along it; its error is relative to the
// pixel's small difference from the reference, not to the point itself,
// which is why depth costs nothing here (float's 24 bits, though, add up to
// visible errors over thousands of steps; doubles do not). Doubles hold
// |Z| below 16 and above 1e-308; a reference that passes closer to 0 than
// that contributes nothing measurable there anyway.
#pragma once

#include "deep/big.h"

#include <atomic>
#include <vector>

constexpr double orbitBailout = 256.0;  // on |z|^2, as every program of the viewer

struct ReferenceOrbit {
    std::vector<double> re, im;  // Z_0 .. Z_end
    int end = 0;                 // the last step computed
    bool escaped = false;        // |Z_end|^2 > orbitBailout, else end is the limit
};

// A Mandelbrot reference that returns to 0 (a minibrot's nucleus, or next
// to one) ends there: the first step n at which |Z_n| is below 2^-20 of the
// smallest difference any pixel can have from it then, which is at least
// half a pixel times |dZ_n/dc|. Each pixel then rebases at every return,
// as it would have at most a hair's breadth later, and all of them go
// through the period alike: that is what lets the jumps skip the period
// and the cycle test see it. 0 when the orbit has no such step while
// pixels still follow it (|dZ/dc| pixel below 1).
int nucleusReturn(const ReferenceOrbit& orbit, double pixel);

// The orbit of z0 under z^2 + c at `precision` bits, until it escapes or
// `limit` steps are done. False when `cancel` turned true on the way.
bool computeOrbit(const Big& z0re, const Big& z0im, const Big& cre, const Big& cim, int limit, long precision,
                  const std::atomic<bool>* cancel, ReferenceOrbit& orbit);
