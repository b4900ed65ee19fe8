// A window of the viewer at a view past double precision, judged against
// MPFR: the request the window draws, and sampled pixels coloured from
// MPFR's counts by the viewer's colour rule.
#pragma once

#include "support/deep_reference.h"
#include "support/gestures.h"

#include <random>

namespace fx {

// A window at its default size, the Julia window's constant given.
inline DeepRequest requestAt(bool julia, const char* re, const char* im, const char* extent, const char* cre = "0",
                             const char* cim = "0")
{
    DeepRequest r;
    EXPECT_TRUE(requestAt(r, julia, re, im, extent, cre, cim));
    return r;
}

// Sampled pixels below the editor, coloured from MPFR's counts through the
// window's default table, against the window: within 3 levels but for a few
// (a count on a knife's edge may land a step apart).
inline AssertionResult showsMpfrColours(const Image& shown, const DeepRequest& r, int windowNumber)
{
    DeepScene s;
    if (!prepareScene(r, nullptr, s)) return AssertionFailure() << "no scene";
    const Mapping map = mpfrMapping(r, s);
    const std::vector<float> table = defaults(windowNumber).colourTable;
    std::mt19937 random(11);
    int off = 0;
    for (int k = 0; k < 150; ++k) {
        const int x = int(random() % 800), y = 40 + int(random() % 760);
        std::uint8_t expected[3];
        countColour(mpfrCount(r, s, x, 799 - y), map, table, expected);
        const std::uint8_t* got = shown.at(x, y);
        off += std::max({std::abs(got[0] - expected[0]), std::abs(got[1] - expected[1]), std::abs(got[2] - expected[2])}) > 3;
    }
    return off <= 2 ? AssertionSuccess() : AssertionFailure() << off << " of 150 sampled pixels off";
}

// The mapping aside, for the Mandelbrot window's default black-to-white
// table: sampled pixels below the editor white where MPFR keeps them
// inside, and the grey levels of the others in the order of MPFR's counts
// (Spearman's rank correlation at least 0.97; counts past the mapping's
// top share the white).
inline AssertionResult showsMpfrOrder(const Image& shown, const DeepRequest& r)
{
    DeepScene s;
    if (!prepareScene(r, nullptr, s)) return AssertionFailure() << "no scene";
    std::mt19937 random(11);
    std::vector<std::pair<double, double>> escaping;
    int wrongSide = 0;
    for (int k = 0; k < 150; ++k) {
        const int x = int(random() % 800), y = 40 + int(random() % 760);
        const double mu = mpfrCount(r, s, x, 799 - y);
        const int grey = shown.at(x, y)[0];
        if (mu < 0) wrongSide += grey != 255;
        else escaping.emplace_back(mu, grey);
    }
    const double rank = rankCorrelation(escaping);
    if (wrongSide == 0 && escaping.size() > 20 && rank >= 0.97) return AssertionSuccess();
    return AssertionFailure() << wrongSide << " inside pixels not white, " << escaping.size() << " escaping, rank " << rank;
}

}  // namespace fx
