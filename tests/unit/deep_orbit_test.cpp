// Reference orbits in MPFR, the return to a minibrot's nucleus, and the
// scene a deep picture is drawn from.
#include "deep/deep_picture.h"
#include "deep/location.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <tuple>
#include <vector>

static Big number(const char* text)
{
    Big b;
    EXPECT_TRUE(parseDecimal(text, b)) << text;
    return b;
}

// The nucleus of a period-179 minibrot, to 80 digits.
static const char* const nucleusRe =
    "-0.7405600355582276320723920247594565056074014536949824422330334653941101447501815";
static const char* const nucleusIm =
    "0.1325911215370178001393539672861959840110670074843048953842447230802404745045606";

static ReferenceOrbit orbitOf(const Big& cre, const Big& cim, int limit, long precision = 320)
{
    ReferenceOrbit orbit;
    EXPECT_TRUE(computeOrbit(Big(0.0, 64), Big(0.0, 64), cre, cim, limit, precision, nullptr, orbit));
    return orbit;
}

// Escape is |z|^2 > 256, strictly: 2 under z^2 reaches 16, whose square
// is exactly 256, and goes on to 256; the limit ends an orbit before that. Inside the rabbit's bulb the orbit is drawn to a 3-cycle,
// so the plain double iteration's rounding stays small and the two agree;
// a cancel flag already set stops a long orbit within the first few
// hundred steps.
TEST(DeepOrbit, OrbitsInMpfr)
{
    using C = std::complex<double>;
    for (const auto& [z0, c, limit, escaped, expected] :
         {std::tuple{C(2, 0), C(0, 0), 100, true, std::vector<C>{2, 4, 16, 256}},
          {C(2, 0), C(0, 0), 2, false, {2, 4, 16}},
          {C(0, 0), C(1, 0), 100, true, {0, 1, 2, 5, 26}},
          {C(0, 0), C(0, 2), 100, true, {0, C(0, 2), C(-4, 2), C(12, -14)}},
          {C(0, 0), C(-1, 0), 6, false, {0, -1, 0, -1, 0, -1, 0}}}) {
        ReferenceOrbit orbit;
        ASSERT_TRUE(computeOrbit(Big(z0.real(), 64), Big(z0.imag(), 64), Big(c.real(), 64), Big(c.imag(), 64), limit,
                                 64, nullptr, orbit));
        EXPECT_TRUE(orbit.end == int(expected.size()) - 1 && orbit.escaped == escaped) << z0 << " " << c << ": " << orbit.end;
        ASSERT_EQ(orbit.re.size(), expected.size());
        for (size_t n = 0; n < expected.size(); ++n)
            EXPECT_TRUE(orbit.re[n] == expected[n].real() && orbit.im[n] == expected[n].imag()) << c << " step " << n;
    }
    const C c(-0.12, 0.74);
    const ReferenceOrbit orbit = orbitOf(Big(c.real(), 64), Big(c.imag(), 64), 1000);
    ASSERT_TRUE(orbit.end == 1000 && !orbit.escaped && orbit.re.size() == 1001);
    C z = 0;
    for (int n = 1; n <= 1000; ++n) {
        z = z * z + c;
        ASSERT_LT(std::abs(z - C(orbit.re[size_t(n)], orbit.im[size_t(n)])), 1e-12) << n;
    }
    const std::atomic<bool> cancelled{true};
    ReferenceOrbit stopped;
    std::atomic<double> progress{0};
    EXPECT_FALSE(computeOrbit(Big(0.0, 64), Big(0.0, 64), Big(c.real(), 64), Big(c.imag(), 64), 100000, 64, &cancelled, stopped,
                              {&progress, 0, 1}));
    EXPECT_LE(stopped.re.size(), 257u);
    EXPECT_EQ(progress.load(), 0.0);
    // Progress runs over its share as the orbit goes, to its end.
    ReferenceOrbit whole;
    EXPECT_TRUE(computeOrbit(Big(0.0, 64), Big(0.0, 64), Big(c.real(), 64), Big(c.imag(), 64), 1000, 64, nullptr, whole,
                             {&progress, 0.5, 0.5}));
    EXPECT_EQ(progress.load(), 1.0);
}

// Steps that pass 0 closer than doubles hold keep an exponent: c = -1 +
// 2^-2000 comes back to about -2^-2000 every other step, far below
// double's 2^-1074, and to about -1 in between.
TEST(DeepOrbit, TinyStepsKeepTheirExponent)
{
    Big c(-1.0, 2100);
    Big eps(1.0, 2100);
    mpfr_mul_2si(eps.v, eps.v, -2000, MPFR_RNDN);
    mpfr_add(c.v, c.v, eps.v, MPFR_RNDN);
    const ReferenceOrbit orbit = orbitOf(c, Big(0.0, 64), 6, 2100);
    ASSERT_EQ(orbit.end, 6);
    const ComplexExp z2 = referenceAt(orbit, 2), z4 = referenceAt(orbit, 4);
    EXPECT_NEAR(log2Of(magnitude(z2)), -2000, 1e-9);
    EXPECT_NEAR(log2Of(magnitude(z4)), -2000, 1e-6);
    EXPECT_LT(z2.re, 0);
    EXPECT_EQ(referenceAt(orbit, 3).e, 1);  // -1 + tiny: an ordinary step
    EXPECT_EQ(orbit.tiny.size(), 3u);
}

// Near the nucleus Z_179 is dZ/dc times the offset, while the spread of the
// pixels about it is dZ/dc times half a pixel: an offset of 0.7 * 2^-21
// pixels is within 2^-20 of the spread, 1.4 * 2^-21 is not. At pixels of
// 1e-6, a view where the minibrot is far below a pixel, they scatter
// (|dZ/dc| pixel / 2 > 1) before the orbit comes back; a generic
// point near the boundary and an escaping one never come back.
TEST(DeepOrbit, ReturnToTheNucleus)
{
    const FloatExp pixel = floatExp(1.25e-22);
    for (const auto& [offset, returns] : {std::pair{0.0, true}, {0.7, true}, {1.4, false}, {-1.4, false}}) {
        Big re = number(nucleusRe);
        re.setPrecision(320);
        mpfr_add_d(re.v, re.v, offset * std::exp2(-21) * toDouble(pixel), MPFR_RNDN);
        const ReferenceOrbit orbit = orbitOf(re, number(nucleusIm), 1000);
        ASSERT_FALSE(orbit.escaped);
        EXPECT_EQ(nucleusReturn(orbit, pixel) == 179, returns) << offset << ": " << nucleusReturn(orbit, pixel);
    }
    EXPECT_EQ(nucleusReturn(orbitOf(number(nucleusRe), number(nucleusIm), 1000), floatExp(1e-6)), 0);
    EXPECT_EQ(nucleusReturn(orbitOf(number("-0.743643887037158704752191506114774"),
                                    number("0.131825904205311970493132056385139"), 5000), floatExp(1e-30)), 0);
    EXPECT_EQ(nucleusReturn(orbitOf(number("0.5"), number("0"), 100), floatExp(1e-3)), 0);
    // Past double's range: the nucleus of period 3 at -1.7549, placed to
    // 2^-1100 of a pixel of 2^-1000 off; |Z_3| is 2^-2100 times dZ/dc,
    // which a double would hold as 0 and pass as "below everything" at any
    // pixel, and the return is found where pixels of 2^-1000 still follow.
    Big nucleus(-1.75, 2400);
    for (int k = 0; k < 12; ++k) {  // Newton's method for f^3(c) = 0
        Big z(0.0, 2400), dz(0.0, 2400), t(0.0, 2400);
        for (int n = 0; n < 3; ++n) {
            mpfr_mul(t.v, z.v, dz.v, MPFR_RNDN);
            mpfr_mul_2ui(dz.v, t.v, 1, MPFR_RNDN);
            mpfr_add_ui(dz.v, dz.v, 1, MPFR_RNDN);
            mpfr_sqr(z.v, z.v, MPFR_RNDN);
            mpfr_add(z.v, z.v, nucleus.v, MPFR_RNDN);
        }
        mpfr_div(t.v, z.v, dz.v, MPFR_RNDN);
        mpfr_sub(nucleus.v, nucleus.v, t.v, MPFR_RNDN);
    }
    Big off(1.0, 2400);
    mpfr_mul_2si(off.v, off.v, -2100, MPFR_RNDN);
    mpfr_add(nucleus.v, nucleus.v, off.v, MPFR_RNDN);
    const ReferenceOrbit deep = orbitOf(nucleus, Big(0.0, 64), 100, 2400);
    EXPECT_LT(log2Of(magnitude(referenceAt(deep, 3))), -2000);
    EXPECT_EQ(nucleusReturn(deep, floatExp(0.5, -999)), 3);
    EXPECT_EQ(nucleusReturn(deep, floatExp(0.5, -2200)), 0) << "2^-20 of a pixel of 2^-2200 is closer than 2^-2100";
}

// A view 1e-19 wide about the nucleus at 800 x 800: pixels of 1.25e-22,
// 64.70 halvings below 3/800, so the limit is 260 + 128 * 64.70 = 8541.8,
// down to 8540; the reference ends at the nucleus. A Julia view 4 x 2 at
// 800 x 200 (pixels 0.005 by 0.01, the larger one under 3/800 keeps 260)
// has the orbits of its centre and of 0, no dc, and no end at a return;
// its constant, the nucleus to 80 digits, places the orbit of 0 back at 0
// far closer than the view's 96 bits would (they leave 2^-96 times dZ/dc).
TEST(DeepOrbit, PreparedScenes)
{
    DeepRequest mandelbrot;
    mandelbrot.view = viewAt(Location{number(nucleusRe), number(nucleusIm), number("1e-19")}, 800, 800);
    mandelbrot.width = mandelbrot.height = 800;
    DeepScene scene;
    ASSERT_TRUE(prepareScene(mandelbrot, nullptr, scene));
    EXPECT_EQ(scene.limit, 8540);
    EXPECT_NEAR(toDouble(scene.pixelWidth), 1.25e-22, 1e-34);
    EXPECT_NEAR(toDouble(scene.pixelHeight), 1.25e-22, 1e-34);
    EXPECT_NEAR(toDouble(scene.dcMax), 400 * std::sqrt(2.0) * 1.25e-22, 1e-32);
    EXPECT_TRUE(scene.references == 1 && scene.orbits[0].end == 179 && scene.period == 179 && !scene.orbits[0].escaped)
        << scene.orbits[0].end;
    EXPECT_TRUE(scene.tables[0].log2Radius.size() == 179 && scene.tables[0].nodes[2].br != 0);
    mandelbrot.limit = 100000;  // a limit asked for replaces the rule's
    ASSERT_TRUE(prepareScene(mandelbrot, nullptr, scene));
    EXPECT_EQ(scene.limit, 100000);

    DeepRequest julia;
    julia.julia = true;
    julia.view = deepFromFloat(-1.5f, 2.5f, -0.75f, 1.25f, 800, 200);
    julia.width = 800, julia.height = 200;
    julia.constantRe = number(nucleusRe), julia.constantIm = number(nucleusIm);
    ASSERT_TRUE(prepareScene(julia, nullptr, scene));
    EXPECT_TRUE(scene.references == 2 && scene.limit == 260 && toDouble(scene.pixelWidth) == 0.005 &&
                toDouble(scene.pixelHeight) == 0.01 && scene.period == 0);
    EXPECT_DOUBLE_EQ(toDouble(scene.dcMax), std::sqrt(5.0));
    const ReferenceOrbit &centre = scene.orbits[0], &zero = scene.orbits[1];
    EXPECT_TRUE(centre.re[0] == 0.5 && centre.im[0] == 0.25 && zero.re[0] == 0 && zero.im[0] == 0);
    EXPECT_TRUE(zero.end == 260 && !zero.escaped) << zero.end;
    EXPECT_LT(std::hypot(zero.re[179], zero.im[179]), 1e-40);
    for (const BlaTable& table : scene.tables)
        for (const JumpNode& node : table.nodes) ASSERT_TRUE(node.br == 0 && node.bi == 0);

    const std::atomic<bool> cancelled{true};
    EXPECT_FALSE(prepareScene(mandelbrot, &cancelled, scene));
}

// The format's jumps: a picture gets them where the first jump every
// pixel could take is 32 steps or longer. At the Misiurewicz point i at
// 1e-1000 it is thousands of steps (d stays linear for most of the
// orbit); at the start view's scale, pixels of 1/8, none is valid at all.
// Floats either way: no measured picture needed doubles.
TEST(DeepOrbit, FormatFollowsTheFirstJump)
{
    for (const auto& [extent, skip] : {std::pair{"1e-1000", true}, {"100", false}}) {
        DeepRequest request;
        request.view = viewAt(Location{number("0"), number("1"), number(extent)}, 800, 800);
        request.width = request.height = 800;
        DeepScene scene;
        ASSERT_TRUE(prepareScene(request, nullptr, scene));
        EXPECT_EQ(scene.format.skip, skip) << extent << ": first jump " << firstJumpSteps(scene.tables[0], scene.dcMax);
        EXPECT_EQ(scene.format.skip, firstJumpSteps(scene.tables[0], scene.dcMax) >= 32) << extent;
        EXPECT_FALSE(scene.format.wide);
    }
}

// Any depth down to 2^-deepDepthBits (a view 1e-5000 wide is drawn); no
// picture without pixels. The limit itself: a view just past it is not.
TEST(DeepOrbit, DrawableViews)
{
    const DeepView wide = viewAt(Location{number("-0.75"), number("0.1"), number("1e-5000")}, 800, 800);
    for (const auto& [view, width, height, drawable] :
         {std::tuple{&wide, 800, 800, true}, {&wide, 1000, 800, true}, {&wide, 0, 800, false}}) {
        EXPECT_EQ(deepDrawable(*view, width, height), drawable) << width << "x" << height;
    }
    Big extent(1.0, 64);
    mpfr_mul_2si(extent.v, extent.v, -deepDepthBits + 8, MPFR_RNDN);  // pixels of 2^-deepDepthBits * 256 / 800
    const DeepView last = viewAt(Location{Big(0.0, 64), Big(0.0, 64), extent}, 200, 200);
    const DeepView past = viewAt(Location{Big(0.0, 64), Big(0.0, 64), extent}, 300, 300);
    EXPECT_TRUE(deepDrawable(last, 200, 200));
    EXPECT_FALSE(deepDrawable(past, 300, 300));
    DeepRequest request;
    request.view = past, request.width = request.height = 300;
    DeepScene scene;
    EXPECT_FALSE(prepareScene(request, nullptr, scene));
}