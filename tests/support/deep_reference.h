// The reference past double precision: a pixel's escape count by a plain
// MPFR iteration of z^2 + c from the pixel's centre (as the GPU places it:
// the view's centre plus (i + 0.5 - width / 2) pixels), and the colour the
// viewer gives a count.
#pragma once

#include "deep/colour_depth.h"
#include "deep/deep_picture.h"

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

// mu0 of a picture from the smallest escaping count m on its border: 3
// below it up to m = 3, 1 below from m = 11, linearly in between. Every
// stride-th border pixel (deep down MPFR is slow; counts there vary
// smoothly along the border).
inline double mpfrColourOffset(const DeepRequest& r, const DeepScene& s, int stride = 1)
{
    double least = 1e300;
    for (int i = 0; i < r.width; i += stride)
        for (int j : {0, r.height - 1})
            if (const double c = mpfrCount(r, s, i, j); c >= 0) least = std::min(least, c);
    for (int j = 1; j < r.height - 1; j += stride)
        for (int i : {0, r.width - 1})
            if (const double c = mpfrCount(r, s, i, j); c >= 0) least = std::min(least, c);
    return std::max(0.0, least - 3.0 + 2.0 * std::clamp((least - 3.0) / 8.0, 0.0, 1.0));
}

// The 8-bit colour of a count: the table read with linear filtering at
// (0.5 + 511 s) / 512, s = log(mu - mu0 + 1) / log(limit - mu0 + 1), 1 inside.
inline void countColour(double mu, int limit, double mu0, const std::vector<float>& table, std::uint8_t rgb[3])
{
    const double s = mu < 0 ? 1.0 : std::clamp(std::log(std::max(mu - mu0, 0.0) + 1) / std::log(limit - mu0 + 1), 0.0, 1.0);
    const double x = (0.5 + s * 511.0) - 0.5, frac = x - std::floor(x);
    const int i0 = std::clamp(int(std::floor(x)), 0, 511), i1 = std::min(i0 + 1, 511);
    for (int k = 0; k < 3; ++k)
        rgb[k] = std::uint8_t(std::lround(std::clamp((1 - frac) * table[4 * i0 + k] + frac * table[4 * i1 + k], 0.0, 1.0) * 255));
}

}  // namespace fx
