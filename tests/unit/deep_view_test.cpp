// Arbitrary-precision views: the precision rule, the wheel step against the
// float path and at depth, the switch from the float programs, conversions.
#include "app/navigation.h"
#include "deep/location.h"
#include "support/deep_numbers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

static float ulp(float x) { return std::nextafter(std::fabs(x), INFINITY) - std::fabs(x); }

// ceil(log2(largest |bound| / smallest pixel side)) + 64, to a multiple of 32:
// at the start view log2(2 / 0.00375) = 9.06; a spread of exactly 64 is not
// rounded up; a long pixel counts with its narrow side; 0 costs no more than a pixel.
TEST(DeepView, PrecisionFollowsDepth)
{
    // Pixels of 1e-1000 about -0.75: log2(0.75) + 1000 log2(10) = 3321.51.
    const DeepView deep = viewAt(Location{number("-0.75"), number("0"), number("8e-998")}, 800, 800);
    for (const auto& [view, width, height, bits] :
         {std::tuple{deepFromFloat(-2, 1, -1.5f, 1.5f, 800, 800), 800, 800, 96L}, {deep, 800, 800, 3392L},
          {deepFromFloat(0, 1, 0, 1, 4096, 1), 4096, 1, 96L}, {deepFromFloat(0, 1, 0, 1, 1, 4096), 1, 4096, 96L},
          {deepFromFloat(0, 1, 0, 1, 1, 1), 1, 1, 64L}})
        EXPECT_EQ(precisionFor(view, width, height), bits) << width << "x" << height;
    for (const auto& [magnitude, pixel, bits] : {std::tuple{1.0, std::exp2(-64), 128L}, {1.0, std::exp2(-65), 160L},
                                                 {0.0, 1e-30, 64L}, {1e-40, 1e-30, 64L}, {1.0, 0.0, 64L}})
        EXPECT_EQ(precisionForScale(Big(magnitude, 64), Big(pixel, 64)), bits) << magnitude << " " << pixel;
    EXPECT_NEAR(log2PixelSize(deep, 800, 800), -1000 * std::log2(10.0), 1e-9);
}

// From float views each step equals zoomAxis (computed in double, rounded
// to float) to within float rounding, in both directions and off centre.
TEST(DeepView, StepsMatchTheFloatPath)
{
    const auto in = ZoomDirection::in, out = ZoomDirection::out;
    for (auto [left, right, bottom, top, px, py, direction] :
         {std::tuple{-2.0f, 1.0f, -1.5f, 1.5f, 0.3f, 0.7f, in}, {-2.0f, 2.0f, -2.0f, 2.0f, 0.9f, 0.1f, out},
          {-0.8f, -0.7f, 0.1f, 0.2f, 0.05f, 1.0f, in}}) {
        for (int step = 0; step < 20; ++step) {
            DeepView deep = deepFromFloat(left, right, bottom, top, 800, 800);
            ASSERT_TRUE(zoomAxis(left, right, px, direction) && zoomAxis(bottom, top, py, direction));
            zoomDeep(deep, px, py, direction, 800, 800);
            float l, r, b, t;
            roundToFloat(deep, l, r, b, t);
            const float x = 2 * std::max(ulp(left), ulp(right)), y = 2 * std::max(ulp(bottom), ulp(top));
            EXPECT_TRUE(std::fabs(l - left) <= x && std::fabs(r - right) <= x && std::fabs(b - bottom) <= y &&
                        std::fabs(t - top) <= y)
                << step << ": " << l << " " << r << " " << b << " " << t << " against " << left << " " << right << " "
                << bottom << " " << top;
        }
    }
}

// Where `point` lies between lo and hi, as the nearest float fraction.
static float fraction(const Big& point, const Big& lo, const Big& hi)
{
    Big offset(lo.precision()), extent(lo.precision());
    mpfr_sub(offset.v, point.v, lo.v, MPFR_RNDN);
    mpfr_sub(extent.v, hi.v, lo.v, MPFR_RNDN);
    mpfr_div(offset.v, offset.v, extent.v, MPFR_RNDN);
    return offset.toFloat();
}

// 3200 steps in at a boundary point (to pixels of 2^-1000, some 1e-301) and
// out again to the start's pixel size (a step out widens by 1.2, not 1.25,
// so that takes more steps), the pointer following the point as a hand
// would: every step keeps the point under the pointer to about 2^-64 of a
// pixel, the point stays under the pointer to 1e-3 of a pixel (within half
// a float step of the pointer fraction, some 3e-5 of a pixel), and the
// precision follows the depth by the rule above. (A pointer held still
// would not stay on the point: each step's rounding, 2^-64 of that step's
// pixel, grows by 1.25 per step in later pixels.)
TEST(DeepView, ThousandsOfStepsKeepThePointUnderThePointer)
{
    const Big re = number("-0.743643887037158704752191506114774"), im = number("0.131825904205311970493132056385139");
    DeepView view = deepFromFloat(-2, 1, -1.5f, 1.5f, 800, 800);
    double pixel = log2PixelSize(view, 800, 800), deepest = pixel;
    for (int k = 0; k < 3200 || pixel < std::log2(0.00375); ++k) {
        const float px = fraction(re, view.left, view.right), py = fraction(im, view.bottom, view.top);
        Big x, y, before, beforeY;
        pointAt(view, px, py, before, beforeY);
        zoomDeep(view, px, py, k < 3200 ? ZoomDirection::in : ZoomDirection::out, 800, 800);
        pointAt(view, px, py, x, y);
        pixel = log2PixelSize(view, 800, 800), deepest = std::min(deepest, pixel);
        double magnitude = -INFINITY;
        for (const Big* b : {&view.left, &view.right, &view.bottom, &view.top}) magnitude = std::max(magnitude, log2Magnitude(*b));
        const long bits = view.left.precision(), needed = long(std::ceil(magnitude - pixel)) + 64;
        const double apart = std::max(pixelsApart(x, re, pixel), pixelsApart(y, im, pixel));
        const double moved = std::max(pixelsApart(x, before, pixel), pixelsApart(y, beforeY, pixel));
        ASSERT_TRUE(apart < 1e-3 && moved < 1e-15 && bits >= needed && bits < needed + 32 && bits % 32 == 0 && x.precision() == bits)
            << "step " << k << ": " << apart << " pixels off, moved " << moved << ", " << bits << " bits for " << needed;
    }
    EXPECT_TRUE(deepest < -1000 && view.top.precision() == 96) << deepest;
}

// Each axis needs switchUlps float steps per pixel (1 to 2: 2^-23 per step,
// and so across 1 by the larger bound); equality still resolves. A Julia view about 0 at constant 0.75 must also
// part neighbours after z^2 + c: h^2 >= 4 * 2^-24, so h >= 2^-11 and an
// extent of 0.390625 at 800 pixels is the last one; off the origin far
// smaller views stay in single precision.
TEST(DeepView, TheSwitchToPerturbation)
{
    const float resolved = 1 + 3200 * std::exp2(-23.0f), tooNarrow = 1 + 3199 * std::exp2(-23.0f);
    for (const auto& [lo, hi, pixels, expected] :
         {std::tuple{1.0f, resolved, 800, true}, {1.0f, tooNarrow, 800, false}, {-resolved, -1.0f, 800, true},
          {-tooNarrow, -1.0f, 800, false}, {1.0f, resolved, 801, false}, {resolved, 1.0f, 800, false},
          {1.0f, 1.0f, 800, false}, {-3e38f, 3e38f, 800, false}, {1.0f, INFINITY, 800, false}, {0.0f, 1.0f, 0, false},
          {2 - resolved, resolved, 2000, false}})
        EXPECT_EQ(floatResolves(lo, hi, pixels), expected) << lo << " " << hi << " " << pixels;
    const float a = 0.1953125f, below = std::nextafter(a, 0.0f);
    for (const auto& [left, right, bottom, top, julia, expected] :
         {std::tuple{-a, a, -a, a, true, true}, {-below, below, -below, below, true, false},
          {-below, below, -below, below, false, true}, {0.495f, 0.505f, -0.005f, 0.005f, true, true},
          {-0.005f, 0.005f, 0.495f, 0.505f, true, true}, {-0.005f, 0.005f, -0.505f, -0.495f, true, true},
          {-0.005f, 0.005f, -0.005f, 0.005f, true, false}, {1.0f, tooNarrow, 1.0f, 1.0f + 1, false, false}})
        EXPECT_EQ(floatResolvesView(left, right, bottom, top, 800, 800, julia, 0.75f, 0), expected)
            << left << " " << right << " " << bottom << " " << top << " julia " << julia;
}

// Floats go in exactly and come back unchanged; a point picked in a view is
// exact there and carries the view's precision, and so does a copy.
TEST(DeepView, FloatsInAndOutAndPointsOfAView)
{
    const DeepView start = deepFromFloat(-2, 1, -1.5f, 1.5f, 800, 800);
    float l, r, b, t;
    roundToFloat(start, l, r, b, t);
    EXPECT_TRUE(l == -2 && r == 1 && b == -1.5f && t == 1.5f && start.left.precision() == 96);
    EXPECT_DOUBLE_EQ(log2PixelSize(start, 800, 800), std::log2(0.00375));
    EXPECT_DOUBLE_EQ(log2PixelSize(start, 800, 400), std::log2(3.0 / 400));
    Big re, im;
    pointAt(start, 0.25f, 0.75f, re, im);
    EXPECT_TRUE(re.toDouble() == -1.25 && im.toDouble() == 0.75 && re.precision() == 96);
    DeepView deep = viewAt(Location{number("-1.5"), number("0.25"), number("1e-500")}, 800, 800);
    pointAt(deep, 0.5f, 1.0f, re, im);
    EXPECT_EQ(re.precision(), deep.left.precision());
    EXPECT_LT(pixelsApart(re, number("-1.5"), log2PixelSize(deep, 800, 800)), 1e-6);
    Big top(2000);
    mpfr_add(top.v, number("0.25").v, number("5e-501").v, MPFR_RNDN);
    EXPECT_LT(pixelsApart(im, top, log2PixelSize(deep, 800, 800)), 1e-6);
    Big copy(1.0, 64), moved = deep.right;
    copy = deep.right;
    re = std::move(moved);
    EXPECT_TRUE(mpfr_equal_p(copy.v, deep.right.v) && mpfr_equal_p(re.v, deep.right.v) && copy.precision() == re.precision());
}
