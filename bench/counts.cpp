// CPU counts of the benchmark's programs over the pixel centres of a pass.
#include "bench/counts.h"
#include "tests/support/shader_arithmetic.h"

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

// The early-exit loop of `steps` steps at bailout radius 2: the steps it
// takes, and whether it escaped.
int earlyExitIterations(const View& v, float sx, float sy, int steps, bool& escaped)
{
    float zx = v.julia ? sx : 0.0f, zy = v.julia ? sy : 0.0f;
    const float cx = v.julia ? v.cr : sx, cy = v.julia ? v.ci : sy;
    for (int n = 1; n <= steps; ++n) {
        const float x = zx * zx - zy * zy + cx;
        zy = 2.0f * zx * zy + cy;
        zx = x;
        escaped = zx * zx + zy * zy > 4.0f;
        if (escaped) return n;
    }
    return steps;
}

// Whether the point escapes within `limit` steps at the product's bailout,
// in double. An orbit that repeats a value exactly is periodic in this
// arithmetic and can never escape, so it stops there.
bool deepEscapes(const View& v, double sx, double sy, int limit)
{
    double zx = v.julia ? sx : 0.0, zy = v.julia ? sy : 0.0;
    const double cx = v.julia ? v.cr : sx, cy = v.julia ? v.ci : sy;
    double savedX = zx, savedY = zy;
    for (int i = 1, nextSave = 1; i <= limit; ++i) {
        const double x = zx * zx - zy * zy + cx;
        zy = 2 * zx * zy + cy;
        zx = x;
        if (zx * zx + zy * zy > fx::bailout) return true;
        if (zx == savedX && zy == savedY) return false;
        if (i == nextSave) savedX = zx, savedY = zy, nextSave *= 2;
    }
    return false;
}

// Per-pixel steps of one program, to add up once the pass is done.
struct Tally {
    Counts counts;
    std::vector<int> steps = std::vector<int>(pixelCount);
    void add(size_t i, int n, bool escaped, bool deep)
    {
        steps[i] = n;
        counts.iterations += n;
        counts.resolved += escaped && deep;
        if (!escaped) counts.atLimit += n;
    }
    Counts done()
    {
        counts.blockIterations = blockCost(steps);
        return counts;
    }
};

// The textbook shader runs all its steps everywhere and resolves the same
// escaping pixels as the early-exit loop of as many steps.
Counts textbookCounts(const Counts& earlyExit, int steps, long long atLimitPixels)
{
    Counts c;
    c.iterations = c.blockIterations = static_cast<long long>(steps) * pixelCount;
    c.resolved = earlyExit.resolved;
    c.atLimit = steps * atLimitPixels;
    return c;
}

}  // namespace

float nominalLimit(const View& v)
{
    return fx::iterationLimit(std::max((v.right - v.left) / passSize, (v.top - v.bottom) / passSize));
}

ViewCounts countView(const View& v, const std::vector<float>& limits, int steps)
{
    ViewCounts r;
    Tally product, earlyExit, earlyExitAtLimit;
    long escaped256 = 0, escapedAtLimit = 0;
    const fx::Trap trap = fx::juliaTrap(v.cr, v.ci);
    for (int y = 0; y < passSize; ++y) {
        const float sy = pixelCoordinate(v.bottom, v.top, y);
        for (int x = 0; x < passSize; ++x) {
            const float sx = pixelCoordinate(v.left, v.right, x);
            const size_t i = size_t(y) * passSize + x;
            const bool deep = deepEscapes(v, sx, sy, static_cast<int>(limits[i]));
            r.deepEscaped += deep;
            const fx::Orbit o = v.julia ? fx::juliaOrbit(sx, sy, v.cr, v.ci, limits[i], trap)
                                        : fx::mandelbrotOrbit(sx, sy, limits[i]);
            product.add(i, static_cast<int>(o.n), o.escaped, deep);
            r.stoppedEscaping += deep && !o.escaped && o.n < limits[i];
            bool e = false;
            const int n256 = earlyExitIterations(v, sx, sy, 256, e);
            earlyExit.add(i, n256, e, deep);
            escaped256 += e;
            const int nAtLimit = earlyExitIterations(v, sx, sy, steps, e);
            earlyExitAtLimit.add(i, nAtLimit, e, deep);
            escapedAtLimit += e;
        }
    }
    r.product = product.done();
    r.earlyExit = earlyExit.done();
    r.earlyExitAtLimit = earlyExitAtLimit.done();
    r.textbook = textbookCounts(r.earlyExit, 256, pixelCount - escaped256);
    r.textbookAtLimit = textbookCounts(r.earlyExitAtLimit, steps, pixelCount - escapedAtLimit);
    return r;
}

}  // namespace bench
