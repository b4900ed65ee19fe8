// The numbers past double's range: floatexp arithmetic, the pixel a
// lattice of every stride-th pixel gives the program, and the bytes a
// step of a reference costs.
#include "render/deep_layout.h"

#include <gtest/gtest.h>

#include <cmath>

// Renormalised after every operation: products and quotients that leave
// double's range at either end, sums of numbers 2^3000 apart (the smaller
// is lost, not the larger), a difference that cancels to 0, comparisons
// across exponents and signs, and the doubles that come back: 0 below
// double's range, infinity above.
TEST(DeepNumbers, FloatExpHoldsWhatDoublesLose)
{
    const FloatExp tiny = floatExp(0.75, -3000), huge = floatExp(-0.625, 4000);
    EXPECT_TRUE(tiny.m == 0.75 && tiny.e == -3000 && floatExp(3.0).m == 0.75 && floatExp(3.0).e == 2);
    const FloatExp product = tiny * tiny * huge;
    EXPECT_DOUBLE_EQ(product.m, -0.75 * 0.75 * 0.625 * 2);
    EXPECT_EQ(product.e, -2001);
    EXPECT_NEAR(log2Of(tiny / huge), std::log2(0.75 / 0.625) - 7000, 1e-12);
    EXPECT_EQ(toDouble(tiny), 0.0);
    EXPECT_EQ(toDouble(huge), -INFINITY);
    EXPECT_EQ(toDouble(floatExp(0.5, -1070)), std::ldexp(0.5, -1070));  // a subnormal double still comes back
    EXPECT_EQ(toDouble(huge + tiny), toDouble(huge));
    EXPECT_DOUBLE_EQ(toDouble((tiny + floatExp(0.5, -3001)) / tiny), 4.0 / 3);
    EXPECT_TRUE(isZero(tiny - tiny) && isZero(floatExp(0.0)));
    EXPECT_TRUE(tiny < floatExp(0.5, -2999) && huge < tiny && !(tiny < tiny) && floatExp(-0.5, -9000) < FloatExp{});
    EXPECT_EQ(minOf(tiny, huge).e, huge.e);
    EXPECT_EQ(maxOf(tiny, FloatExp{}).e, tiny.e);
    Big big(1.0, 64);
    mpfr_mul_2si(big.v, big.v, -40000, MPFR_RNDN);
    mpfr_mul_d(big.v, big.v, -3.0, MPFR_RNDN);
    const FloatExp fromBig = floatExpOf(big);
    EXPECT_TRUE(fromBig.m == -0.75 && fromBig.e == -39998);
    EXPECT_EQ(log2Of(FloatExp{}), -INFINITY);
}

// Complex numbers share one exponent: the larger part's magnitude in
// [0.5, 1), products and sums across 2^5000, and the parts back at a
// chosen exponent.
TEST(DeepNumbers, ComplexExpKeepsBothParts)
{
    const ComplexExp a = complexExp(3, -1, -5000), b = complexExp(0, 2, 5000);
    EXPECT_TRUE(a.re == 0.75 && a.im == -0.25 && a.e == -4998);
    const ComplexExp p = a * b;  // (3 - i) 2i = 2 + 6i
    EXPECT_TRUE(p.re == 0.25 && p.im == 0.75 && p.e == 3) << p.re << " " << p.im << " " << p.e;
    const ComplexExp s = a + complexExp(1, 0, -4999);
    EXPECT_DOUBLE_EQ(reAt(s, -5000), 5);
    EXPECT_DOUBLE_EQ(imAt(s, -5000), -1);
    EXPECT_DOUBLE_EQ(toDouble(magnitude(complexExp(3, 4, -1))), 2.5);
    EXPECT_EQ(reAt(a, 0), 0.0);
    const ComplexExp zero = complexExp(0, 0, 99);
    EXPECT_TRUE(zero.re == 0 && zero.e == 0 && (zero + a).e == a.e);
}

// A lattice of every stride-th pixel: target pixel (i, j) is the
// picture's pixel (origin + i stride, ...), whose centre lies (p + 0.5 -
// W / 2) pixels from the reference; the program takes floor(gl_FragCoord)
// stride + offset, gl_FragCoord being i + 0.5. Pixel sizes of 2^-5000 and
// unequal sides keep one exponent.
TEST(DeepNumbers, LatticePixelsLieWhereThePictureHasThem)
{
    DeepScene scene;
    scene.width = 800, scene.height = 600;
    scene.pixelWidth = floatExp(0.75, -5000), scene.pixelHeight = floatExp(0.625, -5001);
    for (const TargetPlace place : {TargetPlace{0, 0, 1}, TargetPlace{16, 32, 1}, TargetPlace{0, 0, 2}, TargetPlace{3, 5, 4}}) {
        const DeepPixel p = deepPixel(scene, place);
        for (int i : {0, 1, 7, 199})
            for (int j : {0, 3, 149}) {
                const double x = (std::floor(i + 0.5) * p.stride + p.offset[0]) * p.size[0];
                const double y = (std::floor(j + 0.5) * p.stride + p.offset[1]) * p.size[1];
                const int px = place.originX + i * place.stride, py = place.originY + j * place.stride;
                ASSERT_DOUBLE_EQ(x, (px + 0.5 - 400) * 0.75 * std::ldexp(1.0, -5000 - p.exponent)) << place.stride << " " << i;
                ASSERT_DOUBLE_EQ(y, (py + 0.5 - 300) * 0.625 * std::ldexp(1.0, -5001 - p.exponent)) << place.stride << " " << j;
            }
        EXPECT_GE(p.exponent, -5000);
    }
}

// What a step costs while a picture is shown: 16 bytes of orbit and 16 of
// jumps in floats, 32 and 16 in doubles; the CPU's copies (16 + 20 a step)
// live only until the layout is made, the layout's until it is uploaded.
// A limit of 10,000,000 is then 305 MiB of textures for the Mandelbrot set.
TEST(DeepNumbers, BytesPerStep)
{
    EXPECT_EQ(layoutBytesPerStep(false), 32);
    EXPECT_EQ(layoutBytesPerStep(true), 48);
    EXPECT_LE(layoutBytesPerStep(true), 64);
    EXPECT_EQ(orbitBytesPerStep + tableBytesPerStep, 36);
    EXPECT_EQ(textureRows(10000001), 2442);
    EXPECT_EQ(textureRows(0), 1);
}
