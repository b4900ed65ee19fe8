// The fractal programs' arithmetic on the CPU, in the shaders' single
// precision: the one copy that the test reference and the benchmark both
// hold the GLSL files to. A change to the programs' limit, bailout, loop or
// interior test is made here too.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>

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

// Where an orbit stopped: after n steps at z, escaped or not.
struct Orbit {
    float n = 0;
    float zx = 0, zy = 0;
    bool escaped = false;
};

// The Julia program's stop discs about an attracting fixed point or 2-cycle
// of z^2 + c (radius 0: none); julia_fragment.glsl derives the bounds.
struct StopDiscs {
    std::complex<double> centre[2];
    double radius[2] = {0, 0};
    bool contain(double x, double y) const
    {
        for (int k = 0; k < 2; ++k)
            if (std::abs(std::complex<double>(x, y) - centre[k]) < radius[k]) return true;
        return false;
    }
};

inline StopDiscs stopDiscs(double cr, double ci)
{
    const std::complex<double> c(cr, ci);
    StopDiscs d;
    const std::complex<double> a = 0.5 * (1.0 - std::sqrt(1.0 - 4.0 * c));
    const double m = 2.0 * std::abs(a);
    if (m < 1.0) {
        d.centre[0] = d.centre[1] = a;
        if (m < 1.0 - 1e-4) d.radius[0] = d.radius[1] = 0.5 * (1.0 - m);
        return d;
    }
    const std::complex<double> root = std::sqrt(-3.0 - 4.0 * c);
    d.centre[0] = 0.5 * (-1.0 + root);
    d.centre[1] = 0.5 * (-1.0 - root);
    const double A = 2.0 * std::abs(d.centre[0]), B = 2.0 * std::abs(d.centre[1]);
    if (A * B >= 1.0 - 1e-4) return d;
    d.radius[0] = 0.5 * (1.0 - A * B) / (A * A + 2.0 * A + B + 1.0);
    d.radius[1] = 0.5 * (1.0 - A * B) / (B * B + 2.0 * B + A + 1.0);
    return d;
}

// z <- z^2 + c from z until it escapes, runs `limit` steps, or (every four
// steps, as the programs test) lies in a stop disc.
inline Orbit iterate(Orbit o, float cx, float cy, float limit, const StopDiscs& discs)
{
    o.escaped = o.zx * o.zx + o.zy * o.zy > bailout;
    while (!o.escaped && o.n < limit) {
        const float x = o.zx * o.zx - o.zy * o.zy + cx;
        o.zy = 2.0f * o.zx * o.zy + cy;
        o.zx = x;
        o.n += 1.0f;
        o.escaped = o.zx * o.zx + o.zy * o.zy > bailout;
        if (!o.escaped && std::fmod(o.n, 4.0f) == 0.0f && discs.contain(o.zx, o.zy)) break;
    }
    return o;
}

inline Orbit mandelbrotOrbit(float cx, float cy, float limit)
{
    if (inCardioidOrBulb(cx, cy)) return Orbit{};
    return iterate(Orbit{}, cx, cy, limit, StopDiscs{});
}

inline Orbit juliaOrbit(float zx, float zy, float cr, float ci, float limit)
{
    return iterate(Orbit{0, zx, zy, false}, cr, ci, limit, stopDiscs(cr, ci));
}

}  // namespace fx
