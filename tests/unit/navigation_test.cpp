// Wheel zoom around the pointer, pointer tracking and the Julia constant.
#include "app/navigation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct View {
    float left, right, bottom, top;
};

View viewOf(const FractalWindow& w) { return View{w.viewLeft, w.viewRight, w.viewBottom, w.viewTop}; }

// A window at the start-up view of one of the program's two windows.
void startAs(FractalWindow& w, const FractalWindow& original, float px, float py)
{
    w.width = original.width;
    w.height = original.height;
    w.viewLeft = original.viewLeft;
    w.viewRight = original.viewRight;
    w.viewBottom = original.viewBottom;
    w.viewTop = original.viewTop;
    w.pointerX = px;
    w.pointerY = py;
}

void expectView(const FractalWindow& w, float left, float right, float bottom, float top)
{
    EXPECT_FLOAT_EQ(w.viewLeft, left);
    EXPECT_FLOAT_EQ(w.viewRight, right);
    EXPECT_FLOAT_EQ(w.viewBottom, bottom);
    EXPECT_FLOAT_EQ(w.viewTop, top);
}

void expectSameView(const FractalWindow& w, View v)
{
    EXPECT_EQ(w.viewLeft, v.left);
    EXPECT_EQ(w.viewRight, v.right);
    EXPECT_EQ(w.viewBottom, v.bottom);
    EXPECT_EQ(w.viewTop, v.top);
}

bool usableView(const FractalWindow& w)
{
    return std::isfinite(w.viewLeft) && std::isfinite(w.viewRight) && std::isfinite(w.viewBottom) &&
           std::isfinite(w.viewTop) && w.viewLeft < w.viewRight && w.viewBottom < w.viewTop &&
           std::isfinite(w.viewRight - w.viewLeft) && std::isfinite(w.viewTop - w.viewBottom);
}

TEST(Navigation, StartViews)
{
    expectView(mandelbrotWindow, -2.0f, 1.0f, -1.5f, 1.5f);
    expectView(juliaWindow, -2.0f, 2.0f, -2.0f, 2.0f);
    EXPECT_EQ(juliaWindow.width, mandelbrotWindow.width);
    EXPECT_EQ(juliaWindow.height, mandelbrotWindow.height);
}

TEST(Navigation, ZoomAtTheCentre)
{
    FractalWindow w;
    startAs(w, mandelbrotWindow, 0.5f, 0.5f);
    ASSERT_TRUE(zoomView(w, ZoomDirection::in));
    expectView(w, -1.7f, 0.7f, -1.2f, 1.2f);

    startAs(w, mandelbrotWindow, 0.5f, 0.5f);
    ASSERT_TRUE(zoomView(w, ZoomDirection::out));
    expectView(w, -2.3f, 1.3f, -1.8f, 1.8f);
}

TEST(Navigation, ZoomAtTheEdgeKeepsThatEdge)
{
    FractalWindow w;
    startAs(w, mandelbrotWindow, 0.5f, 1.0f);
    ASSERT_TRUE(zoomView(w, ZoomDirection::in));
    EXPECT_EQ(w.viewTop, 1.5f);
    EXPECT_FLOAT_EQ(w.viewBottom, -0.9f);

    startAs(w, mandelbrotWindow, 0.5f, 1.0f);
    ASSERT_TRUE(zoomView(w, ZoomDirection::out));
    EXPECT_EQ(w.viewTop, 1.5f);
    EXPECT_FLOAT_EQ(w.viewBottom, -2.1f);

    startAs(w, mandelbrotWindow, 0.0f, 0.0f);
    ASSERT_TRUE(zoomView(w, ZoomDirection::out));
    EXPECT_EQ(w.viewLeft, -2.0f);
    EXPECT_EQ(w.viewBottom, -1.5f);
    EXPECT_FLOAT_EQ(w.viewRight, 1.6f);
    EXPECT_FLOAT_EQ(w.viewTop, 2.1f);
}

TEST(Navigation, JuliaZoomOffCentre)
{
    FractalWindow w;
    startAs(w, juliaWindow, 0.25f, 0.25f);
    ASSERT_TRUE(zoomView(w, ZoomDirection::in));
    expectView(w, -1.8f, 1.4f, -1.8f, 1.4f);
}

// Both directions keep the point under the pointer where it is.
TEST(Navigation, PointUnderThePointerStays)
{
    for (ZoomDirection direction : {ZoomDirection::in, ZoomDirection::out}) {
        for (float p : {0.0f, 0.1f, 0.25f, 0.5f, 0.8f, 1.0f}) {
            FractalWindow w;
            startAs(w, mandelbrotWindow, p, 1.0f - p);
            const float anchorX = w.viewLeft + p * (w.viewRight - w.viewLeft);
            const float anchorY = w.viewBottom + (1.0f - p) * (w.viewTop - w.viewBottom);
            const float width = w.viewRight - w.viewLeft;
            for (int step = 0; step < 5; ++step) ASSERT_TRUE(zoomView(w, direction));
            EXPECT_NEAR(w.viewLeft + p * (w.viewRight - w.viewLeft), anchorX, 1e-5) << p;
            EXPECT_NEAR(w.viewBottom + (1.0f - p) * (w.viewTop - w.viewBottom), anchorY, 1e-5) << p;
            const float expectedWidth = width * std::pow(direction == ZoomDirection::in ? 0.8f : 1.2f, 5.0f);
            EXPECT_NEAR(w.viewRight - w.viewLeft, expectedWidth, 1e-5) << p;
        }
    }
}

TEST(Navigation, ZoomInStopsAtAUsableViewAndZoomOutReturns)
{
    // Off the origin the float spacing of the bounds is the limit; at the
    // origin, the absolute smallest extent.
    struct Case {
        const FractalWindow* start;
        float px, py;
    };
    for (Case c : {Case{&mandelbrotWindow, 0.3f, 0.7f}, Case{&juliaWindow, 0.5f, 0.5f}}) {
        FractalWindow w;
        startAs(w, *c.start, c.px, c.py);
        const float startWidth = w.viewRight - w.viewLeft;
        int steps = 0;
        while (steps < 5000 && zoomView(w, ZoomDirection::in)) {
            ++steps;
            ASSERT_TRUE(usableView(w)) << steps;
        }
        EXPECT_GT(steps, 50);
        ASSERT_LT(steps, 5000) << "zooming in never stopped";
        EXPECT_GE(w.viewRight - w.viewLeft, 1e-30f);
        EXPECT_GE(w.viewTop - w.viewBottom, 1e-30f);

        const View stopped = viewOf(w);
        EXPECT_FALSE(zoomView(w, ZoomDirection::in));
        expectSameView(w, stopped);

        int back = 0;
        while (w.viewRight - w.viewLeft < startWidth && back < 5000) {
            ASSERT_TRUE(zoomView(w, ZoomDirection::out)) << back;
            ASSERT_TRUE(usableView(w)) << back;
            ++back;
        }
        EXPECT_GE(w.viewRight - w.viewLeft, startWidth);
    }
}

TEST(Navigation, ZoomOutNeverOverflows)
{
    FractalWindow w;
    startAs(w, mandelbrotWindow, 0.3f, 0.7f);
    int steps = 0;
    while (steps < 5000 && zoomView(w, ZoomDirection::out)) {
        ++steps;
        ASSERT_TRUE(usableView(w)) << steps;
    }
    ASSERT_LT(steps, 5000) << "zooming out never stopped";
    EXPECT_GT(steps, 100);
    const View stopped = viewOf(w);
    EXPECT_FALSE(zoomView(w, ZoomDirection::out));
    expectSameView(w, stopped);
    EXPECT_TRUE(zoomView(w, ZoomDirection::in));
    EXPECT_TRUE(usableView(w));
}

// The vertical axis is zoomed first; when the horizontal one refuses, the
// vertical step must not stay behind on its own.
TEST(Navigation, RefusedStepLeavesBothAxesAlone)
{
    FractalWindow w;
    w.viewLeft = -3e38f;
    w.viewRight = 3e38f;
    w.viewBottom = -1.0f;
    w.viewTop = 1.0f;
    w.pointerX = 0.5f;
    w.pointerY = 0.5f;
    EXPECT_FALSE(zoomView(w, ZoomDirection::out));
    expectSameView(w, View{-3e38f, 3e38f, -1.0f, 1.0f});

    w.viewLeft = -1.0f;
    w.viewRight = 1.0f;
    w.pointerX = std::nanf("");
    EXPECT_FALSE(zoomView(w, ZoomDirection::in));
    expectSameView(w, View{-1.0f, 1.0f, -1.0f, 1.0f});
}

TEST(Navigation, PointerTracking)
{
    FractalWindow w;
    w.width = 800;
    w.height = 400;
    ASSERT_TRUE(trackPointer(w, 200, 100));
    EXPECT_FLOAT_EQ(w.pointerX, 0.25f);
    EXPECT_FLOAT_EQ(w.pointerY, 0.75f);
    ASSERT_TRUE(trackPointer(w, 0, 400));
    EXPECT_EQ(w.pointerX, 0.0f);
    EXPECT_EQ(w.pointerY, 0.0f);
    ASSERT_TRUE(trackPointer(w, -80, -40));  // a drag beyond the window
    EXPECT_FLOAT_EQ(w.pointerX, -0.1f);
    EXPECT_FLOAT_EQ(w.pointerY, 1.1f);

    // A window without area keeps its last pointer, so no zoom goes NaN.
    w.pointerX = 0.5f;
    w.pointerY = 0.5f;
    for (auto size : {std::pair<int, int>{0, 400}, {800, 0}, {0, 0}}) {
        w.width = size.first;
        w.height = size.second;
        EXPECT_FALSE(trackPointer(w, 10, 10));
        EXPECT_EQ(w.pointerX, 0.5f);
        EXPECT_EQ(w.pointerY, 0.5f);
    }
}

TEST(Navigation, JuliaConstantIsThePointUnderThePointer)
{
    FractalWindow w;
    startAs(w, mandelbrotWindow, 0.5f, 0.5f);
    float cr = 1, ci = 1;
    juliaConstantFromPointer(w, cr, ci);
    EXPECT_FLOAT_EQ(cr, -0.5f);
    EXPECT_FLOAT_EQ(ci, 0.0f);

    ASSERT_TRUE(trackPointer(w, 0, 0));
    juliaConstantFromPointer(w, cr, ci);
    EXPECT_FLOAT_EQ(cr, -2.0f);
    EXPECT_FLOAT_EQ(ci, 1.5f);

    // A zoom keeps the point under the pointer, so a click there after the
    // zoom picks the same constant.
    ASSERT_TRUE(trackPointer(w, 200, 600));
    float beforeR = 0, beforeI = 0;
    juliaConstantFromPointer(w, beforeR, beforeI);
    ASSERT_TRUE(zoomView(w, ZoomDirection::in));
    ASSERT_TRUE(zoomView(w, ZoomDirection::out));
    juliaConstantFromPointer(w, cr, ci);
    EXPECT_NEAR(cr, beforeR, 1e-6);
    EXPECT_NEAR(ci, beforeI, 1e-6);
}

}  // namespace
