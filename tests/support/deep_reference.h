// The reference past double precision: a pixel's escape count by a plain
// MPFR iteration of z^2 + c from the pixel's centre (as the GPU places it:
// the view's centre plus (i + 0.5 - width / 2) pixels), the colour range
// the viewer gives a picture, and the colour of a count.
#pragma once

#include "deep/colour_depth.h"
#include "deep/deep_picture.h"
#include "deep/location.h"
#include "render/schedule.h"
#include "support/mapping.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace fx {

// A view of width x height pixels at a location given in decimals, and the
// Julia constant; false when a decimal does not parse.
inline bool requestAt(DeepRequest& r, bool julia, const char* re, const char* im, const char* extent, const char* cre,
                      const char* cim, int width = 800, int height = 800)
{
    Location at;
    r.julia = julia;
    r.width = width, r.height = height;
    const bool read = parseDecimal(re, at.re) && parseDecimal(im, at.im) && parseDecimal(extent, at.extent) &&
                      parseDecimal(cre, r.constantRe) && parseDecimal(cim, r.constantIm);
    r.view = viewAt(at, width, height);
    return read;
}

// Pixel (i, j) from the bottom-left, moved by `shift` pixels (-0.7 shift
// vertically); -1 when it does not escape within the scene's limit.
inline double mpfrCount(const DeepRequest& r, const DeepScene& s, int i, int j, double shift = 0)
{
    const long precision = std::max({precisionFor(r.view, r.width, r.height), r.constantRe.precision(), 64L}) + 32;
    Big x(precision), y(precision), cx(precision), cy(precision), t(precision), u(precision);
    mpfr_add(x.v, r.view.left.v, r.view.right.v, MPFR_RNDN);
    mpfr_div_2ui(x.v, x.v, 1, MPFR_RNDN);
    mpfr_set_d(t.v, (i + 0.5 - 0.5 * r.width + shift) * s.pixelWidth.m, MPFR_RNDN);
    mpfr_mul_2si(t.v, t.v, long(s.pixelWidth.e), MPFR_RNDN);
    mpfr_add(x.v, x.v, t.v, MPFR_RNDN);
    mpfr_add(y.v, r.view.bottom.v, r.view.top.v, MPFR_RNDN);
    mpfr_div_2ui(y.v, y.v, 1, MPFR_RNDN);
    mpfr_set_d(t.v, (j + 0.5 - 0.5 * r.height - 0.7 * shift) * s.pixelHeight.m, MPFR_RNDN);
    mpfr_mul_2si(t.v, t.v, long(s.pixelHeight.e), MPFR_RNDN);
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
        if (mpfr_get_exp(x.v) < 3 && mpfr_get_exp(y.v) < 3) continue;  // |z|^2 < 128
        const double a = x.toDouble(), b = y.toDouble(), r2 = a * a + b * b;
        if (r2 > 256) return std::max(n - std::log2(std::log2(r2)) + 3, 0.0);
    }
    return -1;
}

// Spearman's rank correlation of pairs (ranks averaged over ties).
inline double rankCorrelation(const std::vector<std::pair<double, double>>& pairs)
{
    const auto ranks = [&](bool second) {
        std::vector<size_t> order(pairs.size());
        for (size_t k = 0; k < order.size(); ++k) order[k] = k;
        const auto key = [&](size_t k) { return second ? pairs[k].second : pairs[k].first; };
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return key(a) < key(b); });
        std::vector<double> rank(pairs.size());
        for (size_t a = 0; a < order.size();) {
            size_t b = a;
            while (b + 1 < order.size() && key(order[b + 1]) == key(order[a])) ++b;
            for (size_t k = a; k <= b; ++k) rank[order[k]] = 0.5 * double(a + b);
            a = b + 1;
        }
        return rank;
    };
    const std::vector<double> x = ranks(false), y = ranks(true);
    const double n = double(pairs.size()), mean = 0.5 * (n - 1);
    double sxy = 0, sxx = 0, syy = 0;
    for (size_t k = 0; k < pairs.size(); ++k)
        sxy += (x[k] - mean) * (y[k] - mean), sxx += (x[k] - mean) * (x[k] - mean), syy += (y[k] - mean) * (y[k] - mean);
    return sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 1.0;
}

// The viewer's mapping of a picture (support/reference.h's mappingFor) from
// MPFR's counts: its border's smallest, and the coarse pass's samples
// (every 8th pixel, where render/schedule.h puts them).
inline Mapping mpfrMapping(const DeepRequest& r, const DeepScene& s)
{
    double least = 1e300;
    for (int i = 0; i < r.width; ++i)
        for (int j : {0, r.height - 1})
            if (const double c = mpfrCount(r, s, i, j); c >= 0) least = std::min(least, c);
    for (int j = 1; j < r.height - 1; ++j)
        for (int i : {0, r.width - 1})
            if (const double c = mpfrCount(r, s, i, j); c >= 0) least = std::min(least, c);
    std::vector<float> sample;
    SampleGrid g;
    resetGrid(g, r.width, r.height);
    const Lattice l = passLattice(g, coarsePass);
    for (int j = 0; j < l.rows && least > 3; ++j)
        for (int i = 0; i < l.columns; ++i) sample.push_back(float(mpfrCount(r, s, l.x0 + i * l.step, l.y0 + j * l.step)));
    return mappingFor(least, s.limit, sample);
}

// The 8-bit colour of a count: the table read with linear filtering at
// (0.5 + 511 s) / 512, s the mapping's position of the count.
inline void countColour(double mu, const Mapping& map, const std::vector<float>& table, std::uint8_t rgb[3])
{
    const double s = map.at(mu);
    const double x = (0.5 + s * 511.0) - 0.5, frac = x - std::floor(x);
    const int i0 = std::clamp(int(std::floor(x)), 0, 511), i1 = std::min(i0 + 1, 511);
    for (int k = 0; k < 3; ++k)
        rgb[k] = std::uint8_t(std::lround(std::clamp((1 - frac) * table[4 * i0 + k] + frac * table[4 * i1 + k], 0.0, 1.0) * 255));
}

}  // namespace fx
