// CPU counts of the benchmark's programs over the pixel centres of a pass.
#include "bench/counts.h"
#include "tests/support/shader_arithmetic.h"

#include <cmath>

namespace bench {
namespace {

// The complex coordinate at the centre of pixel i, counted from the bottom
// or left as GL rows are; the rasteriser interpolates it linearly in float.
float pixelCoordinate(float lo, float hi, int i)
{
    return static_cast<float>(double(lo) + (double(hi) - double(lo)) * (i + 0.5) / passSize);
}

// A software rasteriser runs neighbouring fragments in SIMD lanes, and a
// loop runs until its last lane is done; charging each 4x4 block its
// slowest pixel models that cost.
long long blockCost(const std::vector<int>& perPixel)
{
    long long total = 0;
    for (int by = 0; by < passSize; by += 4) {
        for (int bx = 0; bx < passSize; bx += 4) {
            int slowest = 0;
            for (int y = by; y < by + 4; ++y) {
                for (int x = bx; x < bx + 4; ++x) slowest = std::max(slowest, perPixel[size_t(y) * passSize + x]);
            }
            total += 16LL * slowest;
        }
    }
    return total;
}

// The early-exit loop: the count n it colours with is one less than the steps
// it took when it escaped.
int earlyExitIterations(const View& v, float sx, float sy, bool& escaped)
{
    float zx = v.julia ? sx : 0.0f, zy = v.julia ? sy : 0.0f;
    const float cx = v.julia ? v.cr : sx, cy = v.julia ? v.ci : sy;
    for (int n = 0; n < 256; ++n) {
        const float x = zx * zx - zy * zy + cx;
        zy = 2.0f * zx * zy + cy;
        zx = x;
        if (zx * zx + zy * zy > 4.0f) {
            escaped = true;
            return n + 1;
        }
    }
    escaped = false;
    return 256;
}

// Whether the point escapes at all, in double with a far higher limit and a
// cycle check so interior points end early: the detail there is to show.
bool deepEscapes(const View& v, double sx, double sy)
{
    constexpr int deepLimit = 100000;
    if (!v.julia && fx::inCardioidOrBulb(float(sx), float(sy))) return false;
    double zx = v.julia ? sx : 0.0, zy = v.julia ? sy : 0.0;
    const double cx = v.julia ? v.cr : sx, cy = v.julia ? v.ci : sy;
    double savedX = zx, savedY = zy;
    int nextSave = 16;
    for (int i = 1; i <= deepLimit; ++i) {
        const double x = zx * zx - zy * zy + cx;
        zy = 2 * zx * zy + cy;
        zx = x;
        if (zx * zx + zy * zy > 256.0) return true;
        if (std::fabs(zx - savedX) < 1e-15 && std::fabs(zy - savedY) < 1e-15) return false;
        if (i == nextSave) {
            savedX = zx, savedY = zy;
            nextSave *= 2;
        }
    }
    return false;
}

void add(Counts& c, int steps, bool escaped)
{
    c.iterations += steps;
    c.escaped += escaped;
    if (!escaped) c.atLimit += steps;
}

}  // namespace

float nominalLimit(const View& v)
{
    return fx::iterationLimit(std::max((v.right - v.left) / passSize, (v.top - v.bottom) / passSize));
}

ViewCounts countView(const View& v, const std::vector<float>& limits)
{
    ViewCounts r;
    std::vector<int> productSteps(pixelCount), earlyExitSteps(pixelCount);
    for (int y = 0; y < passSize; ++y) {
        const float sy = pixelCoordinate(v.bottom, v.top, y);
        for (int x = 0; x < passSize; ++x) {
            const float sx = pixelCoordinate(v.left, v.right, x);
            const size_t i = size_t(y) * passSize + x;
            const fx::Orbit o = v.julia ? fx::juliaOrbit(sx, sy, v.cr, v.ci, limits[i])
                                        : fx::mandelbrotOrbit(sx, sy, limits[i]);
            productSteps[i] = static_cast<int>(o.n);
            add(r.product, productSteps[i], o.escaped);
            bool e = false;
            earlyExitSteps[i] = earlyExitIterations(v, sx, sy, e);
            add(r.earlyExit, earlyExitSteps[i], e);
            r.deepEscaped += deepEscapes(v, sx, sy);
        }
    }
    r.product.blockIterations = blockCost(productSteps);
    r.earlyExit.blockIterations = blockCost(earlyExitSteps);
    // The textbook shader runs all 256 steps everywhere and resolves the
    // same escaping pixels as the early-exit loop.
    r.textbook.iterations = r.textbook.blockIterations = 256LL * pixelCount;
    r.textbook.escaped = r.earlyExit.escaped;
    r.textbook.atLimit = 256LL * (pixelCount - r.earlyExit.escaped);
    return r;
}

}  // namespace bench
