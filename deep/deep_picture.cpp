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

}  // namespace

bool deepDrawable(const DeepView& view, int width, int height)
{
    if (width <= 0 || height <= 0) return false;
    return log2PixelSize(view, width, height) >= std::log2(deepSmallestPixel) &&
           std::min(pixelSide(view.left, view.right, width), pixelSide(view.bottom, view.top, height)) >=
               deepSmallestPixel;
}

bool computeReferences(const DeepRequest& r, int limit, long precision, const std::atomic<bool>* cancel,
                       ReferenceOrbit orbits[2])
{
    // A Julia constant keeps the precision it was picked at, however
    // shallow the Julia view.
    if (r.julia) precision = std::max({precision, r.constantRe.precision(), r.constantIm.precision()});
    Big cre(precision), cim(precision), zero(0.0, 64);
    centreOf(r.view.left, r.view.right, cre);
    centreOf(r.view.bottom, r.view.top, cim);
    return r.julia ? computeOrbit(cre, cim, r.constantRe, r.constantIm, limit, precision, cancel, orbits[0]) &&
                         computeOrbit(zero, zero, r.constantRe, r.constantIm, limit, precision, cancel, orbits[1])
                   : computeOrbit(zero, zero, cre, cim, limit, precision, cancel, orbits[0]);
}

bool sceneFromReferences(const DeepRequest& r, const ReferenceOrbit orbits[2], int limit, DeepScene& s)
{
    if (!deepDrawable(r.view, r.width, r.height)) return false;
    const auto start = std::chrono::steady_clock::now();
    s = DeepScene{};
    s.julia = r.julia;
    s.width = r.width;
    s.height = r.height;
    s.limit = limit;
    s.pixelWidth = pixelSide(r.view.left, r.view.right, r.width);
    s.pixelHeight = pixelSide(r.view.bottom, r.view.top, r.height);
    s.dcMax = std::hypot(0.5 * r.width * s.pixelWidth, 0.5 * r.height * s.pixelHeight);
    s.references = r.julia ? 2 : 1;
    for (int k = 0; k < s.references; ++k) {
        ReferenceOrbit& orbit = s.orbits[k];
        orbit = orbits[k];
        if (orbit.end <= limit) continue;
        orbit.end = limit, orbit.escaped = false;
        orbit.re.resize(size_t(limit) + 1), orbit.im.resize(size_t(limit) + 1);
    }
    if (const int period = r.julia ? 0 : nucleusReturn(s.orbits[0], std::min(s.pixelWidth, s.pixelHeight))) {
        s.orbits[0].end = period;
        s.orbits[0].escaped = false;
    }
    for (int k = 0; k < s.references; ++k) s.tables[k] = buildBla(s.orbits[k], !r.julia, s.dcMax);
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return true;
}

bool prepareScene(const DeepRequest& r, const std::atomic<bool>* cancel, DeepScene& s)
{
    if (!deepDrawable(r.view, r.width, r.height)) return false;
    const auto start = std::chrono::steady_clock::now();
    const int rule = r.limit > 0 ? r.limit : deepIterationLimit(log2PixelSize(r.view, r.width, r.height));
    const int limit = limitWithinMemory(rule, r.julia ? 2 : 1, physicalMemoryBytes());
    ReferenceOrbit orbits[2];
    if (!computeReferences(r, limit, precisionFor(r.view, r.width, r.height), cancel, orbits)) return false;
    if (!sceneFromReferences(r, orbits, limit, s)) return false;
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return true;
}
