// The 512-texel colour table sampled from the control points.
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

namespace {

struct Texel {
    int index;
    float red, green, blue;
};

void expectTexels(const TransferFunction& tf, std::initializer_list<Texel> texels)
{
    for (const Texel& t : texels) {
        EXPECT_NEAR(tf.sampledRed[t.index], t.red, 1e-6) << "texel " << t.index;
        EXPECT_NEAR(tf.sampledGreen[t.index], t.green, 1e-6) << "texel " << t.index;
        EXPECT_NEAR(tf.sampledBlue[t.index], t.blue, 1e-6) << "texel " << t.index;
    }
}

void expectRange(const TransferFunction& tf, int first, int last, float r, float g, float b)
{
    for (int i = first; i <= last; ++i) {
        ASSERT_EQ(tf.sampledRed[i], r) << "texel " << i;
        ASSERT_EQ(tf.sampledGreen[i], g) << "texel " << i;
        ASSERT_EQ(tf.sampledBlue[i], b) << "texel " << i;
    }
}

void expectOpaqueTableOfChannels(const TransferFunction& tf)
{
    ASSERT_EQ(tf.colourTable.size(), size_t(4 * tableSize));
    for (int i = 0; i < tableSize; ++i) {
        ASSERT_EQ(tf.colourTable[4 * i + 0], tf.sampledRed[i]) << i;
        ASSERT_EQ(tf.colourTable[4 * i + 1], tf.sampledGreen[i]) << i;
        ASSERT_EQ(tf.colourTable[4 * i + 2], tf.sampledBlue[i]) << i;
        ASSERT_EQ(tf.colourTable[4 * i + 3], 1.0f) << i;
    }
}

TEST(Sampling, MandelbrotDefaultTable)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    expectTexels(tf, {{0, 0, 0, 0},
                      {1, 0.000011f, 0.000011f, 0.000011f},
                      {128, 0.15625f, 0.15625f, 0.15625f},
                      {256, 0.5f, 0.5f, 0.5f},
                      {384, 0.84375f, 0.84375f, 0.84375f},
                      {511, 0.999989f, 0.999989f, 0.999989f}});
    expectOpaqueTableOfChannels(tf);
}

// The yellow point at 0.05 falls between texels 25 and 26.
TEST(Sampling, JuliaDefaultTable)
{
    TransferFunction tf;
    tf.initialiseModel(2);
    expectTexels(tf, {{0, 0, 0, 0},
                      {13, 0.511718f, 0.511718f, 0},
                      {25, 0.998378f, 0.998378f, 0},
                      {26, 0.999998f, 0.999998f, 0},
                      {256, 0.539437f, 0.539437f, 0},
                      {511, 0.000013f, 0.000013f, 0}});
    expectOpaqueTableOfChannels(tf);
}

// Equal x is a hard edge; the texel on it takes the colour of whichever of
// the two came first in the list.
TEST(Sampling, EqualXMakesAHardEdge)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    tf.points.clear();
    tf.addPoint(0.0f, 0, 0, 0);
    tf.addPoint(0.5f, 0, 0, 0);
    tf.addPoint(0.5f, 1, 1, 1);
    tf.addPoint(1.0f, 1, 1, 1);
    expectRange(tf, 0, 256, 0, 0, 0);
    expectRange(tf, 257, 511, 1, 1, 1);

    tf.points.clear();
    tf.addPoint(1.0f, 0, 0, 0);
    tf.addPoint(0.5f, 1, 0, 0);
    tf.addPoint(0.5f, 0, 0, 0);
    tf.addPoint(0.0f, 0, 0, 0);
    EXPECT_EQ(tf.sampledRed[256], 1.0f);
    EXPECT_EQ(tf.sampledRed[257], 0.0f);
    EXPECT_GT(tf.sampledRed[255], 0.99f);
}

TEST(Sampling, SinglePointColoursEveryTexel)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    tf.points = {ControlPoint{0.3f, 0.5f, 0.25f, 0.5f, 0.75f}};
    tf.rebuild();
    expectRange(tf, 0, 511, 0.25f, 0.5f, 0.75f);
    expectOpaqueTableOfChannels(tf);
}

TEST(Sampling, EndColoursHoldBeyondTheOuterPoints)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    tf.points = {ControlPoint{0.25f, 0.5f, 1, 0, 0}, ControlPoint{0.75f, 0.5f, 0, 0, 1}};
    tf.rebuild();
    expectRange(tf, 0, 128, 1, 0, 0);    // up to and including 0.25
    expectRange(tf, 384, 511, 0, 0, 1);  // from 0.75 on
    expectTexels(tf, {{256, 0.5f, 0, 0.5f}});
    // Inside the segment the blend leaves both end colours with zero slope.
    EXPECT_LT(tf.sampledRed[129], 1.0f);
    EXPECT_GT(tf.sampledRed[129], 0.999f);
    EXPECT_LT(tf.sampledBlue[383], 1.0f);
    EXPECT_GT(tf.sampledBlue[383], 0.999f);
}

TEST(Sampling, EmptyListIsBlackAndOpaque)
{
    TransferFunction tf;
    tf.initialiseModel(2);
    tf.points.clear();
    tf.rebuild();
    expectRange(tf, 0, 511, 0, 0, 0);
    expectOpaqueTableOfChannels(tf);

    float rgb[3] = {0.5f, 0.5f, 0.5f};
    sampleAt({}, 0.5f, rgb);
    EXPECT_EQ(rgb[0], 0.0f);
    EXPECT_EQ(rgb[1], 0.0f);
    EXPECT_EQ(rgb[2], 0.0f);
}

}  // namespace
