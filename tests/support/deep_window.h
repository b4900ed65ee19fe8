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

}  // namespace fx
