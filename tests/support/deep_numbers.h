// Arbitrary-precision numbers in the deep tests: written as decimals, and
// how many pixels apart two of them lie.
#pragma once

#include "deep/location.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

inline Big number(const char* text)
{
    Big b;
    EXPECT_TRUE(parseDecimal(text, b)) << text;
    return b;
}

// |a - b| in pixels of 2^log2Pixel, for differences far below a double's range.
inline double pixelsApart(const Big& a, const Big& b, double log2Pixel)
{
    Big d(std::max(a.precision(), b.precision()) + 64);
    mpfr_sub(d.v, a.v, b.v, MPFR_RNDN);
    return std::exp2(log2Magnitude(d) - log2Pixel);
}
