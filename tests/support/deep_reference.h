// The reference past double precision: a pixel's escape count by a plain
// MPFR iteration of z^2 + c from the pixel's centre (as the GPU places it:
// the view's centre plus (i + 0.5 - width / 2) pixels), the colour range
// the viewer gives a picture, and the colour of a count.
#pragma once

#include "deep/colour_depth.h"
#include "deep/deep_picture.h"
#include "render/schedule.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace fx {

// Pixel (i, j) from the bottom-left, moved by `shift` pixels (-0.7 shift
// vertically); -1 when it does not escape within the scene's limit.
inline double mpfrCount(const DeepRequest& r, const DeepScene& s, int i, int j, double shift = 0)
{
    const long precision = std::max({precisionFor(r.view, r.width, r.height), r.constantRe.precision(), 64L}) + 32;
    Big x(precision), y(precision), cx(precision), cy(precision), t(precision), u(precision);
    mpfr_add(x.v, r.view.left.v, r.view.right.v, MPFR_RNDN);
    mpfr_div_2ui(x.v, x.v, 1, MPFR_RNDN);
    mpfr_set_d(t.v, (i + 0.5 - 0.5 * r.width) * s.pixelWidth, MPFR_RNDN);
    mpfr_add_d(t.v, t.v, shift * s.pixelWidth, MPFR_RNDN);
    mpfr_add(x.v, x.v, t.v, MPFR_RNDN);
    mpfr_add(y.v, r.view.bottom.v, r.view.top.v, MPFR_RNDN);
    mpfr_div_2ui(y.v, y.v, 1, MPFR_RNDN);
    mpfr_set_d(t.v, (j + 0.5 - 0.5 * r.height) * s.pixelHeight, MPFR_RNDN);
    mpfr_add_d(t.v, t.v, -0.7 * shift * s.pixelHeight, MPFR_RNDN);
    mpfr_add(y.v, y.v, t.v, MPFR_RNDN);
    if (r.julia) mpfr_set(cx.v, r.constantRe.v, MPFR_RNDN), mpfr_set(cy.v, r.constantIm.v, MPFR_RNDN);
    else mpfr_set(cx.v, x.v, MPFR_RNDN), mpfr_set(cy.v, y.v, MPFR_RNDN), mpfr_set_zero(x.v, 1), mpfr_set_zero(y.v, 1);
    for (int n = 1; n <= s.limit; ++n) {
        mpfr_mul(t.v, x.v, y.v, MPFR_RNDN);
        mpfr_sqr(u.v, x.v, MPFR_RNDN);
        mpfr_sqr(x.v, y.v, MPFR_RNDN);
        mpfr_sub(x.v, u.v, x.v, MPFR_RNDN);
        mpfr_add(x.v, x.v, cx.v, MPFR_RNDN);
        mpfr_mul_2ui(y.v, t.v, 1, MPFR_RNDN);
        mpfr_add(y.v, y.v, cy.v, MPFR_RNDN);
        const double a = x.toDouble(), b = y.toDouble(), r2 = a * a + b * b;
        if (r2 > 256) return std::max(n - std::log2(std::log2(r2)) + 3, 0.0);
    }
    return -1;
}

// The colour range of a picture by the viewer's rule, from MPFR's counts:
// mu0 from the smallest escaping count m on its border (3 below it up to m
// = 3, 1 below from m = 11, linearly in between); mu1 the limit up to m =
// 3, from there on the way (t = (m - 3) / 8, at most 1), in log(mu - mu0 +
// 1), to the 99th percentile of the escaping counts of the coarse pass's
// samples (every 8th pixel, where render/schedule.h puts them).
struct MpfrRange {
    double mu0 = 0, mu1 = 0;
};
inline MpfrRange mpfrColourRange(const DeepRequest& r, const DeepScene& s)
{
    double least = 1e300;
    for (int i = 0; i < r.width; ++i)
        for (int j : {0, r.height - 1})
            if (const double c = mpfrCount(r, s, i, j); c >= 0) least = std::min(least, c);
    for (int j = 1; j < r.height - 1; ++j)
        for (int i : {0, r.width - 1})
            if (const double c = mpfrCount(r, s, i, j); c >= 0) least = std::min(least, c);
    MpfrRange range{std::max(0.0, least - 3.0 + 2.0 * std::clamp((least - 3.0) / 8.0, 0.0, 1.0)), double(s.limit)};
    const double t = std::clamp((least - 3.0) / 8.0, 0.0, 1.0);
    if (t <= 0) return range;
    SampleGrid g;
    resetGrid(g, r.width, r.height);
    const Lattice l = passLattice(g, coarsePass);
    std::vector<double> counts;
    for (int j = 0; j < l.rows; ++j)
        for (int i = 0; i < l.columns; ++i)
            if (const double c = mpfrCount(r, s, l.x0 + i * l.step, l.y0 + j * l.step); c >= 0) counts.push_back(c);
    std::sort(counts.begin(), counts.end());
    if (counts.empty() || counts[size_t(0.99 * double(counts.size() - 1) + 0.5)] <= range.mu0) return range;
    const double top = std::min(counts[size_t(0.99 * double(counts.size() - 1) + 0.5)], double(s.limit));
    range.mu1 = std::min<double>(s.limit, range.mu0 - 1 + std::exp((1 - t) * std::log(s.limit - range.mu0 + 1) +
                                                                  t * std::log(top - range.mu0 + 1)));
    return range;
}

// The 8-bit colour of a count: the table read with linear filtering at
// (0.5 + 511 s) / 512, s = log(mu - mu0 + 1) / log(mu1 - mu0 + 1), clamped, 1 inside.
inline void countColour(double mu, const MpfrRange& range, const std::vector<float>& table, std::uint8_t rgb[3])
{
    const double s = mu < 0 ? 1.0
                            : std::clamp(std::log(std::max(mu - range.mu0, 0.0) + 1) / std::log(range.mu1 - range.mu0 + 1), 0.0, 1.0);
    const double x = (0.5 + s * 511.0) - 0.5, frac = x - std::floor(x);
    const int i0 = std::clamp(int(std::floor(x)), 0, 511), i1 = std::min(i0 + 1, 511);
    for (int k = 0; k < 3; ++k)
        rgb[k] = std::uint8_t(std::lround(std::clamp((1 - frac) * table[4 * i0 + k] + frac * table[4 * i1 + k], 0.0, 1.0) * 255));
}

}  // namespace fx
