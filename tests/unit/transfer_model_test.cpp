// The transfer function's point list: defaults, insertion order, picking and
// the drag ranges that picking hands to the editor.
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float pixel = 1.0f / 512.0f;

void expectPoint(const ControlPoint& p, float x, float r, float g, float b)
{
    EXPECT_FLOAT_EQ(p.x, x);
    EXPECT_FLOAT_EQ(p.y, 0.5f);
    EXPECT_FLOAT_EQ(p.red, r);
    EXPECT_FLOAT_EQ(p.green, g);
    EXPECT_FLOAT_EQ(p.blue, b);
}

// A record whose list is exactly the given x positions (colours tell them apart).
void setPoints(TransferFunction& tf, std::initializer_list<float> xs)
{
    tf.points.clear();
    float tag = 0;
    for (float x : xs) tf.points.push_back(ControlPoint{x, 0.5f, tag++, 0, 0});
    tf.rebuild();
}

TEST(TransferModel, DefaultsOfBothWindows)
{
    TransferFunction mandelbrot;
    mandelbrot.initialiseModel(1);
    ASSERT_EQ(mandelbrot.points.size(), 2u);
    expectPoint(mandelbrot.points[0], 0, 0, 0, 0);
    expectPoint(mandelbrot.points[1], 1, 1, 1, 1);

    TransferFunction julia;
    julia.initialiseModel(2);
    ASSERT_EQ(julia.points.size(), 3u);
    expectPoint(julia.points[0], 0, 0, 0, 0);
    EXPECT_EQ(julia.points[1].x, 0.05f);
    expectPoint(julia.points[1], 0.05f, 1, 1, 0);
    expectPoint(julia.points[2], 1, 0, 0, 0);

    for (const TransferFunction* tf : {&mandelbrot, &julia}) {
        EXPECT_EQ(tf->hoverIndex, -1);
        EXPECT_EQ(tf->dragIndex, -1);
        EXPECT_EQ(tf->pickRadius, 5);
        EXPECT_FALSE(tf->colourDialogPending);
        EXPECT_EQ(tf->sampledRed.size(), size_t(tableSize));
        EXPECT_EQ(tf->colourTable.size(), size_t(4 * tableSize));
    }
    EXPECT_EQ(mandelbrot.windowNumber, 1);
    EXPECT_EQ(julia.windowNumber, 2);
}

TEST(TransferModel, AddPointGoesAfterEveryPointOfEqualX)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    tf.addPoint(0.5f, 1, 0, 0);
    tf.addPoint(0.5f, 0, 1, 0);
    tf.addPoint(0.25f, 0, 0, 1);
    tf.addPoint(0.0f, 0.5f, 0.5f, 0.5f);  // ties with the first point
    ASSERT_EQ(tf.points.size(), 6u);
    expectPoint(tf.points[0], 0, 0, 0, 0);
    expectPoint(tf.points[1], 0, 0.5f, 0.5f, 0.5f);
    expectPoint(tf.points[2], 0.25f, 0, 0, 1);
    expectPoint(tf.points[3], 0.5f, 1, 0, 0);
    expectPoint(tf.points[4], 0.5f, 0, 1, 0);
    expectPoint(tf.points[5], 1, 1, 1, 1);
}

// Many ties, more than a small-array insertion sort would see, so an unstable
// sort would show.
TEST(TransferModel, SortKeepsListOrderOfEqualX)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    tf.points.clear();
    const float xs[] = {0.75f, 0.25f, 0.5f};
    for (int i = 0; i < 60; ++i) tf.points.push_back(ControlPoint{xs[(i * 7) % 3], 0.5f, float(i), 0, 0});
    tf.sortPoints();
    ASSERT_EQ(tf.points.size(), 60u);
    for (size_t i = 1; i < tf.points.size(); ++i) {
        const ControlPoint& a = tf.points[i - 1];
        const ControlPoint& b = tf.points[i];
        ASSERT_LE(a.x, b.x) << i;
        if (a.x == b.x) {
            EXPECT_LT(a.red, b.red) << "tie order lost at " << i;
        }
    }
}

TEST(TransferModel, PointBelowFirstBecomesNewEndPoint)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    tf.addPoint(-2 * pixel, 1, 0, 0);
    ASSERT_EQ(tf.points.size(), 3u);
    expectPoint(tf.points[0], -2 * pixel, 1, 0, 0);
    EXPECT_TRUE(tf.isInnerPoint(1));

    // The former first point can now be dragged between its neighbours (3/512
    // to its right the new point is just out of reach).
    EXPECT_EQ(tf.pressPick(0.0f, 0.5f), 0);
    EXPECT_EQ(tf.pressPick(3 * pixel, 0.5f), 1);
    EXPECT_FLOAT_EQ(tf.dragMin, -2 * pixel + 1.0f / 256.0f);
    EXPECT_FLOAT_EQ(tf.dragMax, 1.0f - 1.0f / 256.0f);
}

TEST(TransferModel, PickBoundsAreStrict)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    const float radius = 5 * pixel;

    EXPECT_EQ(tf.hoverPick(radius), -1);
    EXPECT_EQ(tf.hoverPick(std::nextafter(radius, 0.0f)), 0);
    EXPECT_EQ(tf.hoverPick(4 * pixel), 0);
    EXPECT_EQ(tf.hoverPick(1.0f - radius), -1);
    EXPECT_EQ(tf.hoverPick(1.0f - 4 * pixel), 1);
    EXPECT_EQ(tf.hoverPick(-4 * pixel), 0);
    EXPECT_EQ(tf.hoverPick(0.5f), -1);

    EXPECT_EQ(tf.pressPick(radius, 0.5f), -1);
    EXPECT_EQ(tf.pressPick(4 * pixel, 0.5f), 0);
    // Vertical tolerance 0.25 around the marker's y of 0.5.
    EXPECT_EQ(tf.pressPick(0.0f, 0.75f), -1);
    EXPECT_EQ(tf.pressPick(0.0f, 0.25f), -1);
    EXPECT_EQ(tf.pressPick(0.0f, 0.7f), 0);
    EXPECT_EQ(tf.pressPick(0.0f, 0.3f), 0);

    tf.points.clear();
    EXPECT_EQ(tf.hoverPick(0.0f), -1);
    EXPECT_EQ(tf.pressPick(0.0f, 0.5f), -1);
}

TEST(TransferModel, OverlappingPointsPickTheLowerIndex)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    setPoints(tf, {0.0f, 0.5f, 0.5f + 2 * pixel, 1.0f});
    EXPECT_EQ(tf.hoverPick(0.5f + pixel), 1);
    EXPECT_EQ(tf.pressPick(0.5f + pixel, 0.5f), 1);
    EXPECT_EQ(tf.hoverPick(0.5f + 4 * pixel), 1);
    EXPECT_EQ(tf.hoverPick(0.5f + 6 * pixel), 2);
}

TEST(TransferModel, PressPickSetsDragRange)
{
    TransferFunction tf;
    tf.initialiseModel(2);

    EXPECT_EQ(tf.pressPick(0.0f, 0.5f), 0);
    EXPECT_EQ(tf.dragMin, 0.0f);
    EXPECT_EQ(tf.dragMax, 0.0f);

    EXPECT_EQ(tf.pressPick(1.0f, 0.5f), 2);
    EXPECT_EQ(tf.dragMin, 1.0f);
    EXPECT_EQ(tf.dragMax, 1.0f);

    EXPECT_EQ(tf.pressPick(0.05f, 0.5f), 1);
    EXPECT_FLOAT_EQ(tf.dragMin, 1.0f / 256.0f);
    EXPECT_FLOAT_EQ(tf.dragMax, 1.0f - 1.0f / 256.0f);

    // A miss keeps the range of the last hit.
    tf.dragMin = 0.3f;
    tf.dragMax = 0.7f;
    EXPECT_EQ(tf.pressPick(0.5f, 0.5f), -1);
    EXPECT_EQ(tf.pressPick(0.05f, 0.9f), -1);
    EXPECT_EQ(tf.dragMin, 0.3f);
    EXPECT_EQ(tf.dragMax, 0.7f);

    // A one-point list: the only point is both ends.
    setPoints(tf, {0.4f});
    EXPECT_EQ(tf.pressPick(0.4f, 0.5f), 0);
    EXPECT_EQ(tf.dragMin, 0.4f);
    EXPECT_EQ(tf.dragMax, 0.4f);
}

TEST(TransferModel, CrowdedNeighboursCrossTheBoundsAndTheDragTakesDragMin)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    setPoints(tf, {0.0f, 0.5f, 0.502f, 0.505f, 1.0f});
    // Right of 0.502, out of the reach of 0.5, which would win as the lower index.
    ASSERT_EQ(tf.pressPick(0.5105f, 0.5f), 2);
    EXPECT_GT(tf.dragMin, tf.dragMax);
    EXPECT_FLOAT_EQ(tf.dragMin, 0.5f + 1.0f / 256.0f);

    tf.dragIndex = 2;
    for (int x : {0, 267, 1000}) {
        ASSERT_TRUE(tf.onMotion(x));
        bool found = false;
        for (const ControlPoint& p : tf.points) found = found || (p.red == 2.0f && p.x == tf.dragMin);
        EXPECT_TRUE(found) << "mouse x " << x;
    }
}

TEST(TransferModel, RemovePointKeepsOrderAndDropsItsColour)
{
    TransferFunction tf;
    tf.initialiseModel(2);
    tf.addPoint(0.5f, 0, 0, 1);
    tf.removePoint(1);  // the yellow one
    ASSERT_EQ(tf.points.size(), 3u);
    EXPECT_EQ(tf.points[0].x, 0.0f);
    expectPoint(tf.points[1], 0.5f, 0, 0, 1);
    EXPECT_EQ(tf.points[2].x, 1.0f);

    tf.removePoint(-1);
    tf.removePoint(3);
    EXPECT_EQ(tf.points.size(), 3u);

    tf.rebuild();
    for (int i = 0; i < tableSize; ++i) ASSERT_EQ(tf.sampledGreen[i], 0.0f) << "yellow left at texel " << i;
}

}  // namespace
