// Reference orbits for perturbation: one point's orbit under z^2 + c,
// iterated at the precision the view needs and kept as doubles.
//
// Precision: each Z_n comes from the exact orbit rounded once, so rounding
// never accumulates along it; the GPU keeps Z_n as floats, and a float's
// 24 bits in Z_n are an error relative to the pixel's small difference from
// the reference, not to the point itself, which is why depth costs nothing
// here. Doubles hold |Z| below 16 and above 1e-308; a reference that passes
// closer to 0 than that contributes nothing measurable there anyway.
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

// The orbit of z0 under z^2 + c at `precision` bits, until it escapes or
// `limit` steps are done. False when `cancel` turned true on the way.
bool computeOrbit(const Big& z0re, const Big& z0im, const Big& cre, const Big& cim, int limit, long precision,
                  const std::atomic<bool>* cancel, ReferenceOrbit& orbit);
