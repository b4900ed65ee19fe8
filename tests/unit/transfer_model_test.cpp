// The transfer function's point list and its 512-texel colour table:
// defaults, the stable sort, picking, and the smoothstep sampling.
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <tuple>

namespace {

constexpr float pixel = 1.0f / 512.0f;
using Rgb = std::array<float, 3>;

Rgb texel(const TransferFunction& tf, int i) { return {tf.sampledRed[i], tf.sampledGreen[i], tf.sampledBlue[i]}; }

void expectTexels(const TransferFunction& tf, std::initializer_list<std::pair<int, Rgb>> texels)
{
    for (const auto& [i, rgb] : texels)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(texel(tf, i)[c], rgb[c], 1e-6) << "texel " << i << "/" << c;
}

void expectRange(const TransferFunction& tf, int first, int last, Rgb rgb)
{
    for (int i = first; i <= last; ++i) ASSERT_EQ(texel(tf, i), rgb) << "texel " << i;
}

// The defaults, on the middle line, and their tables: the texture gets the
// sampled channels with full alpha; the yellow point at 0.05 falls between
// texels 25 and 26.
TEST(TransferModel, DefaultsOfBothWindowsAndTheirTables)
{
    TransferFunction mandelbrot, julia;
    mandelbrot.initialiseModel(1);
    julia.initialiseModel(2);
    std::vector<std::array<float, 5>> points;
    for (const TransferFunction* tf : {&mandelbrot, &julia}) {
        for (const ControlPoint& p : tf->points) points.push_back({p.x, p.y, p.red, p.green, p.blue});
        EXPECT_EQ(tf->hoverIndex, -1);
        EXPECT_EQ(tf->dragIndex, -1);
        EXPECT_FALSE(tf->colourDialogPending);
    }
    EXPECT_EQ(points, (std::vector<std::array<float, 5>>{{0, 0.5f, 0, 0, 0}, {1, 0.5f, 1, 1, 1}, {0, 0.5f, 0, 0, 0},
                                                         {0.05f, 0.5f, 1, 1, 0}, {1, 0.5f, 0, 0, 0}}));
    auto grey = [](float v) { return Rgb{v, v, v}; };
    expectTexels(mandelbrot, {{0, grey(0)}, {1, grey(0.000011f)}, {128, grey(0.15625f)}, {256, grey(0.5f)},
                              {384, grey(0.84375f)}, {511, grey(0.999989f)}});
    auto yellow = [](float v) { return Rgb{v, v, 0}; };
    expectTexels(julia, {{0, yellow(0)}, {13, yellow(0.511718f)}, {25, yellow(0.998378f)}, {26, yellow(0.999998f)},
                         {256, yellow(0.539437f)}, {511, yellow(0.000013f)}});
    ASSERT_EQ(julia.colourTable.size(), size_t(4 * tableSize));
    for (int i = 0; i < tableSize; ++i)
        ASSERT_EQ((std::array<float, 4>{julia.sampledRed[i], julia.sampledGreen[i], julia.sampledBlue[i], 1.0f}),
                  (std::array<float, 4>{julia.colourTable[4 * i], julia.colourTable[4 * i + 1],
                                        julia.colourTable[4 * i + 2], julia.colourTable[4 * i + 3]})) << i;
}

// Equal x is a hard edge: the texel on it takes the colour of whichever of
// the two came first in the list, so the sort must keep list order (with
// more ties than a small-array insertion sort would see).
TEST(TransferModel, EqualXIsAHardEdgeInListOrder)
{
    TransferFunction tf;
    for (float x : {1.0f, 0.5f, 0.5f, 0.0f}) tf.addPoint(x, x == 0.5f && tf.points.size() == 1 ? 1.0f : 0.0f, 0, 0);
    EXPECT_EQ(tf.sampledRed[256], 1.0f);
    EXPECT_EQ(tf.sampledRed[257], 0.0f);
    EXPECT_GT(tf.sampledRed[255], 0.99f);

    const float xs[] = {0.75f, 0.25f, 0.5f};
    tf.points.clear();
    for (int i = 0; i < 60; ++i) tf.points.push_back(ControlPoint{xs[(i * 7) % 3], 0.5f, float(i), 0, 0});
    tf.sortPoints();
    for (size_t i = 1; i < tf.points.size(); ++i) {
        const ControlPoint &a = tf.points[i - 1], &b = tf.points[i];
        ASSERT_TRUE(a.x < b.x || (a.x == b.x && a.red < b.red)) << "order lost at " << i;
    }
}

// Outside the outer points their colours hold; inside a segment the blend
// leaves both end colours with zero slope. One point colours everything and
// none (only a loaded file can leave none) gives black.
TEST(TransferModel, EndColoursSinglePointAndEmptyList)
{
    TransferFunction tf;
    tf.points = {ControlPoint{0.25f, 0.5f, 1, 0, 0}, ControlPoint{0.75f, 0.5f, 0, 0, 1}};
    tf.rebuild();
    expectRange(tf, 0, 128, {1, 0, 0});
    expectRange(tf, 384, 511, {0, 0, 1});
    expectTexels(tf, {{256, {0.5f, 0, 0.5f}}});
    EXPECT_TRUE(tf.sampledRed[129] < 1.0f && tf.sampledRed[129] > 0.999f);
    EXPECT_TRUE(tf.sampledBlue[383] < 1.0f && tf.sampledBlue[383] > 0.999f);
    tf.points = {ControlPoint{0.3f, 0.5f, 0.25f, 0.5f, 0.75f}};
    tf.rebuild();
    expectRange(tf, 0, 511, {0.25f, 0.5f, 0.75f});
    tf.points.clear();
    tf.rebuild();
    expectRange(tf, 0, 511, {0, 0, 0});
}

// The pick window is open on both sides (vertically 0.25 about the marker's
// y of 0.5), and overlapping points go to the lower index.
TEST(TransferModel, PickBoundsAreStrict)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    const float radius = 5 * pixel;
    for (const auto& [x, expected] : {std::pair{radius, -1}, {std::nextafter(radius, 0.0f), 0}, {-4 * pixel, 0},
                                      {1.0f - radius, -1}, {1.0f - 4 * pixel, 1}, {0.5f, -1}})
        EXPECT_EQ(tf.hoverPick(x), expected) << x;
    for (const auto& [x, y, expected] : {std::tuple{radius, 0.5f, -1}, {4 * pixel, 0.5f, 0}, {0.0f, 0.75f, -1},
                                         {0.0f, 0.25f, -1}, {0.0f, 0.7f, 0}, {0.0f, 0.3f, 0}})
        EXPECT_EQ(tf.pressPick(x, y), expected) << x << "," << y;
    tf.points = {ControlPoint{0.0f}, ControlPoint{0.5f}, ControlPoint{0.5f + 2 * pixel}, ControlPoint{1.0f}};
    EXPECT_EQ(tf.hoverPick(0.5f + pixel), 1);
    EXPECT_EQ(tf.pressPick(0.5f + pixel, 0.5f), 1);
    EXPECT_EQ(tf.hoverPick(0.5f + 6 * pixel), 2);
    tf.points.clear();
    EXPECT_EQ(tf.hoverPick(0.0f), -1);
    EXPECT_EQ(tf.pressPick(0.0f, 0.5f), -1);
}

}  // namespace
