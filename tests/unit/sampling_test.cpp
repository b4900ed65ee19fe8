// The 512-texel colour table sampled from the control points.
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Rgb = std::array<float, 3>;

Rgb texel(const TransferFunction& tf, int i) { return {tf.sampledRed[i], tf.sampledGreen[i], tf.sampledBlue[i]}; }

void expectTexels(const TransferFunction& tf, std::initializer_list<std::pair<int, Rgb>> texels)
{
    for (const auto& [i, rgb] : texels) {
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(texel(tf, i)[c], rgb[c], 1e-6) << "texel " << i << "/" << c;
    }
}

void expectRange(const TransferFunction& tf, int first, int last, Rgb rgb)
{
    for (int i = first; i <= last; ++i) ASSERT_EQ(texel(tf, i), rgb) << "texel " << i;
}

// The texture gets the sampled channels with full alpha.
void expectOpaqueTableOfChannels(const TransferFunction& tf)
{
    ASSERT_EQ(tf.colourTable.size(), size_t(4 * tableSize));
    for (int i = 0; i < tableSize; ++i) {
        const float expected[] = {tf.sampledRed[i], tf.sampledGreen[i], tf.sampledBlue[i], 1.0f};
        for (int c = 0; c < 4; ++c) ASSERT_EQ(tf.colourTable[4 * i + c], expected[c]) << i << "/" << c;
    }
}

TEST(Sampling, DefaultTables)
{
    TransferFunction mandelbrot, julia;
    mandelbrot.initialiseModel(1);
    const auto grey = [](float v) { return Rgb{v, v, v}; };
    expectTexels(mandelbrot, {{0, grey(0)}, {1, grey(0.000011f)}, {128, grey(0.15625f)}, {256, grey(0.5f)},
                              {384, grey(0.84375f)}, {511, grey(0.999989f)}});
    expectOpaqueTableOfChannels(mandelbrot);

    // The yellow point at 0.05 falls between texels 25 and 26.
    julia.initialiseModel(2);
    const auto yellow = [](float v) { return Rgb{v, v, 0}; };
    expectTexels(julia, {{0, yellow(0)}, {13, yellow(0.511718f)}, {25, yellow(0.998378f)}, {26, yellow(0.999998f)},
                         {256, yellow(0.539437f)}, {511, yellow(0.000013f)}});
}

// Equal x is a hard edge; the texel on it takes the colour of whichever of
// the two came first in the list.
TEST(Sampling, EqualXMakesAHardEdge)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    tf.points.clear();
    for (float x : {0.0f, 0.5f}) tf.addPoint(x, 0, 0, 0);
    for (float x : {0.5f, 1.0f}) tf.addPoint(x, 1, 1, 1);
    expectRange(tf, 0, 256, {0, 0, 0});
    expectRange(tf, 257, 511, {1, 1, 1});

    tf.points.clear();
    tf.addPoint(1.0f, 0, 0, 0);
    tf.addPoint(0.5f, 1, 0, 0);
    tf.addPoint(0.5f, 0, 0, 0);
    tf.addPoint(0.0f, 0, 0, 0);
    EXPECT_EQ(tf.sampledRed[256], 1.0f);
    EXPECT_EQ(tf.sampledRed[257], 0.0f);
    EXPECT_GT(tf.sampledRed[255], 0.99f);
}

// Outside the outer points their colours hold; inside a segment the blend
// leaves both end colours with zero slope. One point colours everything and
// none (only a loaded file can leave none) gives black.
TEST(Sampling, EndColoursSinglePointAndEmptyList)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    tf.points = {ControlPoint{0.25f, 0.5f, 1, 0, 0}, ControlPoint{0.75f, 0.5f, 0, 0, 1}};
    tf.rebuild();
    expectRange(tf, 0, 128, {1, 0, 0});
    expectRange(tf, 384, 511, {0, 0, 1});
    expectTexels(tf, {{256, {0.5f, 0, 0.5f}}});
    EXPECT_LT(tf.sampledRed[129], 1.0f);
    EXPECT_GT(tf.sampledRed[129], 0.999f);
    EXPECT_LT(tf.sampledBlue[383], 1.0f);
    EXPECT_GT(tf.sampledBlue[383], 0.999f);

    tf.points = {ControlPoint{0.3f, 0.5f, 0.25f, 0.5f, 0.75f}};
    tf.rebuild();
    expectRange(tf, 0, 511, {0.25f, 0.5f, 0.75f});

    tf.points.clear();
    tf.rebuild();
    expectRange(tf, 0, 511, {0, 0, 0});
    expectOpaqueTableOfChannels(tf);
}

}  // namespace
