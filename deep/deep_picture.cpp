#include "deep/deep_picture.h"
#include "deep/iteration_limit.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

void centreOf(const Big& lo, const Big& hi, Big& centre)
{
    centre.setPrecision(std::max(lo.precision(), hi.precision()) + 1);
    mpfr_add(centre.v, lo.v, hi.v, MPFR_RNDN);
    mpfr_div_2ui(centre.v, centre.v, 1, MPFR_RNDN);
}

// The first `limit` steps of an orbit computed further.
void cutOrbit(ReferenceOrbit& orbit, int limit)
{
    if (orbit.end <= limit) return;
    orbit.end = limit, orbit.escaped = false;
    orbit.re.resize(size_t(limit) + 1), orbit.im.resize(size_t(limit) + 1);
    while (!orbit.tiny.empty() && orbit.tiny.back().first > limit) orbit.tiny.pop_back();
}

// Everything of a scene but its orbits, which are in place: pixel sizes,
// the nucleus cut, the jump tables and the number format.
void completeScene(const DeepRequest& r, int limit, DeepScene& s)
{
    s.julia = r.julia;
    s.width = r.width;
    s.height = r.height;
    s.limit = limit;
    s.pixelWidth = pixelSideOf(r.view.left, r.view.right, r.width);
    s.pixelHeight = pixelSideOf(r.view.bottom, r.view.top, r.height);
    const FloatExp halfW = s.pixelWidth * floatExp(0.5 * r.width), halfH = s.pixelHeight * floatExp(0.5 * r.height);
    s.dcMax = floatExp(std::hypot(halfW.m, std::ldexp(halfH.m, int(std::max(-2000LL, halfH.e - halfW.e)))), halfW.e);
    s.references = r.julia ? 2 : 1;
    if (const int period = r.julia ? 0 : nucleusReturn(s.orbits[0], minOf(s.pixelWidth, s.pixelHeight))) {
        s.orbits[0].end = period;
        s.orbits[0].escaped = false;
        s.period = period;
    }
    for (int k = 0; k < s.references; ++k) s.tables[k] = buildBla(s.orbits[k], !r.julia, s.dcMax);
    s.format = chooseFormat(s);
}

}  // namespace

FloatExp pixelSideOf(const Big& lo, const Big& hi, int pixels)
{
    Big side(std::max(lo.precision(), hi.precision()));
    mpfr_sub(side.v, hi.v, lo.v, MPFR_RNDN);
    mpfr_div_si(side.v, side.v, pixels, MPFR_RNDN);
    return floatExpOf(side);
}

bool deepDrawable(const DeepView& view, int width, int height)
{
    if (width <= 0 || height <= 0) return false;
    const double log2Pixel = log2PixelSize(view, width, height);
    return std::isfinite(log2Pixel) && log2Pixel >= -double(deepDepthBits);
}

// Floats, but where the pixels' orbits are long next to a minibrot (see
// README, Deep views): measured on the benchmark's views.
DeepFormat chooseFormat(const DeepScene& s)
{
    DeepFormat f;
    f.wide = false;
    // Jumps pay where the first one any pixel takes is long; else the lookups
    // cost more than the steps they save.
    f.skip = firstJumpSteps(s.tables[0], s.dcMax) >= 32;
    return f;
}

bool computeReferences(const DeepRequest& r, int limit, long precision, const std::atomic<bool>* cancel,
                       ReferenceOrbit orbits[2], std::atomic<double>* progress)
{
    // A Julia constant keeps the precision it was picked at, however
    // shallow the Julia view.
    if (r.julia) precision = std::max({precision, r.constantRe.precision(), r.constantIm.precision()});
    Big cre(precision), cim(precision), zero(0.0, 64);
    centreOf(r.view.left, r.view.right, cre);
    centreOf(r.view.bottom, r.view.top, cim);
    if (!r.julia) return computeOrbit(zero, zero, cre, cim, limit, precision, cancel, orbits[0], {progress, 0, 1});
    return computeOrbit(cre, cim, r.constantRe, r.constantIm, limit, precision, cancel, orbits[0], {progress, 0, 0.5}) &&
           computeOrbit(zero, zero, r.constantRe, r.constantIm, limit, precision, cancel, orbits[1], {progress, 0.5, 0.5});
}

bool sceneFromReferences(const DeepRequest& r, const ReferenceOrbit orbits[2], int limit, DeepScene& s)
{
    if (!deepDrawable(r.view, r.width, r.height)) return false;
    const auto start = std::chrono::steady_clock::now();
    s = DeepScene{};
    for (int k = 0; k < (r.julia ? 2 : 1); ++k) {
        s.orbits[k] = orbits[k];
        cutOrbit(s.orbits[k], limit);
    }
    completeScene(r, limit, s);
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return true;
}

bool prepareScene(const DeepRequest& r, const std::atomic<bool>* cancel, DeepScene& s, std::atomic<double>* progress)
{
    if (!deepDrawable(r.view, r.width, r.height)) return false;
    const auto start = std::chrono::steady_clock::now();
    s = DeepScene{};
    const int rule = r.limit > 0 ? r.limit : deepIterationLimit(log2PixelSize(r.view, r.width, r.height));
    const int limit = limitWithinMemory(rule, r.julia ? 2 : 1, physicalMemoryBytes());
    if (!computeReferences(r, limit, precisionFor(r.view, r.width, r.height), cancel, s.orbits, progress)) return false;
    completeScene(r, limit, s);
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return true;
}
