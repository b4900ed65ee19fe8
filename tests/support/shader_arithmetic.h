// The fractal programs' arithmetic on the CPU, in the shaders' single
// precision: the one copy that the test reference and the benchmark both
// hold the GLSL files to. A change to the programs' limit, bailout or
// interior test is made here too.
#pragma once

#include <algorithm>
#include <cmath>

namespace fx {

constexpr float bailout = 256.0f;  // on |z|^2
constexpr int hardLimit = 4096;

// The limit for a pixel footprint f (the larger side of a pixel in the
// complex plane): 260 at 3/800, 128 more per halving, at most 4096, in
// whole rounds of the programs' four-step loop.
inline float iterationLimit(float footprint)
{
    const float f = std::max(footprint, 1e-30f);
    const float limit = std::min(260.0f + 128.0f * std::max(0.0f, std::log2(0.00375f / f)), float(hardLimit));
    return 4.0f * std::floor(limit / 4.0f);
}

// The Mandelbrot program's test for the main cardioid and the period-2 bulb.
inline bool inCardioidOrBulb(float cx, float cy)
{
    const float xq = cx - 0.25f;
    const float q = xq * xq + cy * cy;
    if (q * (q + xq) <= 0.25f * cy * cy) return true;
    const float xb = cx + 1.0f;
    return xb * xb + cy * cy <= 0.0625f;
}

}  // namespace fx
