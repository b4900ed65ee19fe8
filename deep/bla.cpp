#include "deep/bla.h"

#include <algorithm>
#include <cmath>

namespace {

BlaNode singleStep(double zr, double zi, bool withDc)
{
    BlaNode s{2 * zr, 2 * zi, withDc ? 1.0 : 0.0, 0, 0};
    s.radius = blaEpsilon * std::hypot(s.ar, s.ai);
    return s;
}

// x, then y.
BlaNode merge(const BlaNode& x, const BlaNode& y, double dcMax)
{
    BlaNode z;
    z.ar = y.ar * x.ar - y.ai * x.ai;
    z.ai = y.ar * x.ai + y.ai * x.ar;
    z.br = y.ar * x.br - y.ai * x.bi + y.br;
    z.bi = y.ar * x.bi + y.ai * x.br + y.bi;
    const double ax = std::hypot(x.ar, x.ai), bx = std::hypot(x.br, x.bi);
    const double reach = ax > 0 ? std::max(0.0, (y.radius - bx * dcMax) / ax) : x.radius;
    z.radius = std::min(x.radius, reach);
    // A map that overflowed is of no use to any pixel.
    if (!std::isfinite(z.ar + z.ai + z.br + z.bi + z.radius)) z = BlaNode{};
    return z;
}

void findTopJumps(BlaTable& t, int end)
{
    t.topLevel.assign(static_cast<size_t>(end) + 1, 0);
    t.topRadius.assign(static_cast<size_t>(end) + 1, 0.0);
    for (int m = 0; m < end; ++m) {
        int l = 0;
        // A jump lands before the reference's last step, so that the exact
        // step after it always finds Z there and the rebase test sees the end.
        while (l + 1 < static_cast<int>(t.levels.size()) && (m & ((2 << l) - 1)) == 0 && m + (2 << l) < end)
            ++l;
        t.topLevel[size_t(m)] = l;
        t.topRadius[size_t(m)] = l > 0 ? t.levels[size_t(l)][size_t(m >> l)].radius : 0.0;
    }
}

}  // namespace

BlaTable buildBla(const ReferenceOrbit& orbit, bool withDc, double dcMax)
{
    BlaTable t;
    t.levels.emplace_back();
    for (int m = 0; m < orbit.end; ++m) t.levels[0].push_back(singleStep(orbit.re[size_t(m)], orbit.im[size_t(m)], withDc));
    while (static_cast<int>(t.levels.size()) < blaLevels && t.levels.back().size() >= 2) {
        const std::vector<BlaNode>& below = t.levels.back();
        std::vector<BlaNode> level;
        for (size_t j = 0; 2 * j + 1 < below.size(); ++j) level.push_back(merge(below[2 * j], below[2 * j + 1], dcMax));
        t.levels.push_back(std::move(level));
    }
    findTopJumps(t, orbit.end);
    return t;
}
