// Reference orbits for perturbation: one point's orbit under z^2 + c,
// iterated at the precision the view needs and kept as doubles.
//
// Precision: each Z_n comes from the exact orbit rounded once to a double,
// so rounding never accumulates along it; its error is relative to the
// pixel's small difference from the reference, not to the point itself,
// which is why depth costs nothing here. The GPU reads Z as floats (or
// doubles, see render/deep_layout.h). Where an orbit passes 0 closer than
// 2^-960 (next to a minibrot's nucleus, at any depth), its steps keep an
// exponent of their own (`tiny`): the pixels there differ from it by as
// little, and a double of 0 would lose them.
#pragma once

#include "deep/big.h"
#include "deep/floatexp.h"

#include <atomic>
#include <utility>
#include <vector>

constexpr double orbitBailout = 256.0;  // on |z|^2, as every program of the viewer

struct ReferenceOrbit {
    std::vector<double> re, im;  // Z_0 .. Z_end, each times 2^-exponent of its step (0 but at tiny steps)
    std::vector<std::pair<int, long long>> tiny;  // (step, exponent) where |Z| < 2^-960, by step
    int end = 0;                 // the last step computed
    bool escaped = false;        // |Z_end|^2 > orbitBailout, else end is the limit
};

// Step n of the orbit at any magnitude.
ComplexExp referenceAt(const ReferenceOrbit& orbit, int n);

// The bytes the CPU keeps per step of an orbit.
constexpr int orbitBytesPerStep = 2 * sizeof(double);

// A Mandelbrot reference that returns to 0 (a minibrot's nucleus, or next
// to one) ends there: the first step n at which |Z_n| is below 2^-20 of the
// smallest difference any pixel can have from it then, which is at least
// half a pixel times |dZ_n/dc|. Each pixel then rebases at every return,
// as it would have at most a hair's breadth later, and all of them go
// through the period alike: that is what lets the jumps skip the period
// and the cycle test see it. 0 when the orbit has no such step while
// pixels still follow it (|dZ/dc| pixel below 1). Any depth: dZ/dc, the
// pixel and |Z_n| are floatexp (|Z_n| at a deep minibrot's return can be
// 2^-10000).
int nucleusReturn(const ReferenceOrbit& orbit, FloatExp pixel);

// Where an orbit reports how far it is: `done` (if given) goes from `from`
// to from + share as the orbit goes from step 0 to its limit.
struct OrbitProgress {
    std::atomic<double>* done = nullptr;
    double from = 0, share = 1;
};

// The orbit of z0 under z^2 + c at `precision` bits, until it escapes or
// `limit` steps are done. False when `cancel` turned true on the way.
bool computeOrbit(const Big& z0re, const Big& z0im, const Big& cre, const Big& cim, int limit, long precision,
                  const std::atomic<bool>* cancel, ReferenceOrbit& orbit, OrbitProgress progress = {});
