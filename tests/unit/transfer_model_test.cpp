// The transfer function's point list: defaults, the stable sort and picking.
// (Adding points and the drag ranges are checked through the editor.)
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

constexpr float pixel = 1.0f / 512.0f;

// x, red, green, blue of every point; y must be the bar's middle line.
std::vector<std::array<float, 4>> listOf(const TransferFunction& tf)
{
    std::vector<std::array<float, 4>> out;
    for (const ControlPoint& p : tf.points) {
        EXPECT_EQ(p.y, 0.5f);
        out.push_back({p.x, p.red, p.green, p.blue});
    }
    return out;
}

TEST(TransferModel, DefaultsOfBothWindows)
{
    TransferFunction mandelbrot, julia;
    mandelbrot.initialiseModel(1);
    julia.initialiseModel(2);
    EXPECT_EQ(listOf(mandelbrot), (std::vector<std::array<float, 4>>{{0, 0, 0, 0}, {1, 1, 1, 1}}));
    EXPECT_EQ(listOf(julia), (std::vector<std::array<float, 4>>{{0, 0, 0, 0}, {0.05f, 1, 1, 0}, {1, 0, 0, 0}}));
    for (const TransferFunction* tf : {&mandelbrot, &julia}) {
        EXPECT_EQ(tf->hoverIndex, -1);
        EXPECT_EQ(tf->dragIndex, -1);
        EXPECT_FALSE(tf->colourDialogPending);
    }
}

// Many ties, more than a small-array insertion sort would see, so an unstable
// sort would show.
TEST(TransferModel, SortKeepsListOrderOfEqualX)
{
    TransferFunction tf;
    const float xs[] = {0.75f, 0.25f, 0.5f};
    for (int i = 0; i < 60; ++i) tf.points.push_back(ControlPoint{xs[(i * 7) % 3], 0.5f, float(i), 0, 0});
    tf.sortPoints();
    ASSERT_EQ(tf.points.size(), 60u);
    for (size_t i = 1; i < tf.points.size(); ++i) {
        const ControlPoint &a = tf.points[i - 1], &b = tf.points[i];
        ASSERT_LE(a.x, b.x) << i;
        EXPECT_TRUE(a.x < b.x || a.red < b.red) << "tie order lost at " << i;
    }
}

// The pick window is open on both sides, and overlapping points go to the
// lower index.
TEST(TransferModel, PickBoundsAreStrict)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    const float radius = 5 * pixel;
    const struct {
        float x;
        int expected;
    } hover[] = {{radius, -1}, {std::nextafter(radius, 0.0f), 0}, {-4 * pixel, 0}, {1.0f - radius, -1},
                 {1.0f - 4 * pixel, 1}, {0.5f, -1}};
    for (const auto& h : hover) EXPECT_EQ(tf.hoverPick(h.x), h.expected) << h.x;

    // Vertical tolerance 0.25 around the marker's y of 0.5.
    const struct {
        float x, y;
        int expected;
    } press[] = {{radius, 0.5f, -1}, {4 * pixel, 0.5f, 0}, {0, 0.75f, -1}, {0, 0.25f, -1}, {0, 0.7f, 0}, {0, 0.3f, 0}};
    for (const auto& p : press) EXPECT_EQ(tf.pressPick(p.x, p.y), p.expected) << p.x << "," << p.y;

    tf.points = {ControlPoint{0.0f}, ControlPoint{0.5f}, ControlPoint{0.5f + 2 * pixel}, ControlPoint{1.0f}};
    EXPECT_EQ(tf.hoverPick(0.5f + pixel), 1);
    EXPECT_EQ(tf.pressPick(0.5f + pixel, 0.5f), 1);
    EXPECT_EQ(tf.hoverPick(0.5f + 6 * pixel), 2);

    tf.points.clear();
    EXPECT_EQ(tf.hoverPick(0.0f), -1);
    EXPECT_EQ(tf.pressPick(0.0f, 0.5f), -1);
}

}  // namespace
