// The fractal programs' arithmetic on the CPU in single precision, the one
// copy the tests and the benchmark hold the GLSL files to: change both. The
// GPU may fuse multiply-adds, so orbits near the set can end a step apart.
#pragma once

#include <algorithm>
#include <cmath>

namespace fx {

constexpr float bailout = 256.0f;  // on |z|^2
constexpr int hardLimit = 4096;

// The limit for a pixel footprint f (the larger side of a pixel in the
// complex plane): 260 at 3/800, 128 more per halving, at most 4096, rounded
// down to a multiple of 4.
inline float iterationLimit(float footprint)
{
    const float f = std::max(footprint, 1e-30f);
    const float limit = std::min(260.0f + 128.0f * std::max(0.0f, std::log2(0.00375f / f)), float(hardLimit));
    return 4.0f * std::floor(limit / 4.0f);
}

// The Mandelbrot program's test for the main cardioid and the period-2 bulb.
inline bool inCardioidOrBulb(float cx, float cy)
{
    const float xq = cx - 0.25f, q = xq * xq + cy * cy, xb = cx + 1.0f;
    return q * (q + xq) <= 0.25f * cy * cy || xb * xb + cy * cy <= 0.0625f;
}

// Where an orbit ended: after n steps, escaped with |z|^2 = r, or not.
struct Orbit { float n = 0, r = 0; bool escaped = false; };

// z <- z^2 + c
inline void step(float& x, float& y, float cx, float cy)
{
    const float nx = x * x - y * y + cx;
    y = 2.0f * x * y + cy, x = nx;
}

// Eight steps, as the programs' rounds take them.
struct Round { float x[8], y[8], r[8]; };

inline Round round8(float x, float y, float cx, float cy)
{
    Round d;
    for (int k = 0; k < 8; ++k) step(x, y, cx, cy), d.x[k] = x, d.y[k] = y, d.r[k] = x * x + y * y;
    return d;
}

// Rounds until one escapes, the limit is near, or `settled` (after each
// round) stops the orbit; then the first step past the bailout, if any.
template <typename Settled>
Orbit iterate(float x, float y, float cx, float cy, float limit, Settled settled)
{
    float n = 0;
    for (; n + 8 <= limit; n += 8) {
        const Round d = round8(x, y, cx, cy);
        if (d.r[0] > bailout || d.r[3] > bailout || d.r[7] > bailout) break;
        x = d.x[7], y = d.y[7];
        if (settled(d, n + 8)) return Orbit{n + 8, 0, false};
    }
    const Round d = round8(x, y, cx, cy);
    const int k = static_cast<int>(std::find_if(d.r, d.r + 8, [](float r) { return r > bailout; }) - d.r);
    if (k == 8 || n + k + 1 > limit) return Orbit{limit, 0, false};
    return Orbit{n + k + 1, d.r[k], true};
}

// mandelbrot_fragment.glsl's settled(): Brent's saved value after 16, 32,
// ... steps, an exact repeat, or a repeat within 1e-4 with the interval's
// derivative below 0.1.
inline Orbit mandelbrotOrbit(float cx, float cy, float limit)
{
    if (inCardioidOrBulb(cx, cy)) return Orbit{};
    float savedX = 0, savedY = 0, nextSave = 16, contraction = 1;
    return iterate(0, 0, cx, cy, limit, [&](const Round& d, float n) {
        for (float r : d.r) contraction *= 4.0f * r;
        const float x = d.x[7], y = d.y[7], dx = x - savedX, dy = y - savedY;
        if ((dx == 0 && dy == 0) || (dx * dx + dy * dy < 1e-8f && contraction < 0.01f)) return true;
        if (n == nextSave) savedX = x, savedY = y, nextSave *= 2, contraction = 1;
        return false;
    });
}

// julia_vertex.glsl's disc about a point of the attracting cycle of
// z^2 + c that orbits never leave; radius 0 where there is none.
struct Trap { float x = 0, y = 0, radius2 = 0; };

inline float length(float x, float y) { return std::sqrt(x * x + y * y); }

// Whether the disc of radius r0 about (wx, wy) comes back into itself after
// p steps, by julia_vertex.glsl's bound.
inline bool trapHolds(float wx, float wy, float cr, float ci, int p, float r0)
{
    float r = r0, multiplier = 1, x = wx, y = wy;
    for (int k = 0; k < p; ++k) {
        const float a = 2.0f * length(x, y);
        multiplier *= a;
        r = r * (a + r) + 1e-6f;
        step(x, y, cr, ci);
    }
    return multiplier < 1 && r + length(x - wx, y - wy) <= 0.5f * r0 * (1 + multiplier);
}

// The first return of the settled point (wx, wy) to within 1e-5, or 0.
inline int cyclePeriod(float wx, float wy, float cr, float ci)
{
    float x = wx, y = wy;
    for (int k = 1; k <= 64; ++k)
        if (step(x, y, cr, ci), (x - wx) * (x - wx) + (y - wy) * (y - wy) < 1e-10f) return k;
    return 0;
}

inline Trap juliaTrap(float cr, float ci)
{
    float x = 0, y = 0;
    for (int i = 0; i < 2048; ++i)
        if (step(x, y, cr, ci), x * x + y * y > 256.0f) return Trap{};
    const int p = cyclePeriod(x, y, cr, ci);
    float r0 = 1;
    for (int i = 0; p && i < 40; ++i, r0 *= 0.7f)
        if (trapHolds(x, y, cr, ci, p, r0)) return Trap{x, y, r0 * r0};
    return Trap{};
}

// julia_fragment.glsl: an orbit in the trap after any of a round's last
// four steps is interior.
inline Orbit juliaOrbit(float zx, float zy, float cr, float ci, float limit, const Trap& trap)
{
    return iterate(zx, zy, cr, ci, limit, [&trap](const Round& d, float) {
        for (int k = 4; k < 8; ++k) {
            const float dx = d.x[k] - trap.x, dy = d.y[k] - trap.y;
            if (dx * dx + dy * dy < trap.radius2) return true;
        }
        return false;
    });
}

}  // namespace fx
