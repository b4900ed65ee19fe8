// Wheel zoom around the pointer, pointer tracking and the Julia constant.
#include "app/navigation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

using View = std::array<float, 4>;  // left, right, bottom, top

View viewOf(const FractalWindow& w) { return {w.viewLeft, w.viewRight, w.viewBottom, w.viewTop}; }

FractalWindow windowAt(View v, float px, float py)
{
    FractalWindow w;
    w.viewLeft = v[0];
    w.viewRight = v[1];
    w.viewBottom = v[2];
    w.viewTop = v[3];
    w.pointerX = px;
    w.pointerY = py;
    return w;
}

bool usableView(const FractalWindow& w)
{
    const float width = w.viewRight - w.viewLeft, height = w.viewTop - w.viewBottom;
    return std::isfinite(w.viewLeft) && std::isfinite(w.viewBottom) && std::isfinite(width) &&
           std::isfinite(height) && width >= 1e-30f && height >= 1e-30f;
}

// Either direction keeps the point under the pointer in place: an edge under
// the pointer stays, and so does -1 at a quarter of the Julia window.
TEST(Navigation, OneStepFromTheStartViews)
{
    EXPECT_EQ(viewOf(mandelbrotWindow), (View{-2.0f, 1.0f, -1.5f, 1.5f}));
    EXPECT_EQ(viewOf(juliaWindow), (View{-2.0f, 2.0f, -2.0f, 2.0f}));
    EXPECT_EQ(juliaWindow.width, mandelbrotWindow.width);
    EXPECT_EQ(juliaWindow.height, mandelbrotWindow.height);

    const struct {
        const FractalWindow* start;
        float px, py;
        ZoomDirection direction;
        View expected;
    } cases[] = {
        {&mandelbrotWindow, 0.5f, 0.5f, ZoomDirection::in, {-1.7f, 0.7f, -1.2f, 1.2f}},
        {&mandelbrotWindow, 0.5f, 0.5f, ZoomDirection::out, {-2.3f, 1.3f, -1.8f, 1.8f}},
        {&mandelbrotWindow, 0.5f, 1.0f, ZoomDirection::in, {-1.7f, 0.7f, -0.9f, 1.5f}},
        {&mandelbrotWindow, 0.5f, 1.0f, ZoomDirection::out, {-2.3f, 1.3f, -2.1f, 1.5f}},
        {&mandelbrotWindow, 0.0f, 0.0f, ZoomDirection::out, {-2.0f, 1.6f, -1.5f, 2.1f}},
        {&juliaWindow, 0.25f, 0.25f, ZoomDirection::in, {-1.8f, 1.4f, -1.8f, 1.4f}},
        {&juliaWindow, 0.25f, 0.25f, ZoomDirection::out, {-2.2f, 2.6f, -2.2f, 2.6f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.px << "," << c.py << (c.direction == ZoomDirection::in ? " in" : " out"));
        FractalWindow w = windowAt(viewOf(*c.start), c.px, c.py);
        ASSERT_TRUE(zoomView(w, c.direction));
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(viewOf(w)[i], c.expected[i]) << "bound " << i;
    }
}

// Off the origin the float spacing of the bounds ends zooming in; at the
// origin, the smallest extent; zooming out, overflow. A refused step changes
// nothing, and the way back stays open.
TEST(Navigation, ZoomStopsWhileTheViewIsUsableAndCanGoBack)
{
    const View mandelbrot = viewOf(mandelbrotWindow), julia = viewOf(juliaWindow);
    const struct {
        View start;
        float p;
        ZoomDirection direction;
        int minimumSteps;
    } cases[] = {{mandelbrot, 0.3f, ZoomDirection::in, 50},
                 {julia, 0.5f, ZoomDirection::in, 50},
                 {mandelbrot, 0.3f, ZoomDirection::out, 100}};
    for (const auto& c : cases) {
        FractalWindow w = windowAt(c.start, c.p, 1.0f - c.p);
        const bool in = c.direction == ZoomDirection::in;
        int steps = 0;
        while (steps < 5000 && zoomView(w, c.direction)) {
            ++steps;
            ASSERT_TRUE(usableView(w)) << steps;
        }
        EXPECT_GT(steps, c.minimumSteps);
        ASSERT_LT(steps, 5000) << "zooming never stopped";
        const View stopped = viewOf(w);
        EXPECT_FALSE(zoomView(w, c.direction));
        EXPECT_EQ(viewOf(w), stopped);

        // Out at the limit rounding has lost the centre, so one step back is
        // all that can be asked for there.
        const float startWidth = c.start[1] - c.start[0];
        do {
            ASSERT_TRUE(zoomView(w, in ? ZoomDirection::out : ZoomDirection::in));
            ASSERT_TRUE(usableView(w));
        } while (in && w.viewRight - w.viewLeft < startWidth);
    }
}

// The vertical axis is zoomed first; when the horizontal one refuses, the
// vertical step must not stay behind on its own.
TEST(Navigation, RefusedStepLeavesBothAxesAlone)
{
    const struct {
        View view;
        float px;
    } cases[] = {{{-3e38f, 3e38f, -1, 1}, 0.5f}, {{-1, 1, -1, 1}, std::nanf("")}};
    for (const auto& c : cases) {
        FractalWindow w = windowAt(c.view, c.px, 0.5f);
        EXPECT_FALSE(zoomView(w, ZoomDirection::out));
        EXPECT_EQ(viewOf(w), c.view);
    }
}

TEST(Navigation, PointerFractionsAndTheJuliaConstant)
{
    FractalWindow w = windowAt(viewOf(mandelbrotWindow), 0, 0);
    w.width = 800;
    w.height = 400;
    // A drag may leave the window: fractions below 0 and above 1 follow it.
    const struct {
        int x, y;
        float px, py, cr, ci;
    } cases[] = {{400, 200, 0.5f, 0.5f, -0.5f, 0}, {200, 100, 0.25f, 0.75f, -1.25f, 0.75f}, {0, 0, 0, 1, -2.0f, 1.5f},
                 {-80, -40, -0.1f, 1.1f, -2.3f, 1.8f}};
    for (const auto& c : cases) {
        ASSERT_TRUE(trackPointer(w, c.x, c.y));
        EXPECT_FLOAT_EQ(w.pointerX, c.px) << c.x;
        EXPECT_FLOAT_EQ(w.pointerY, c.py) << c.y;
        float cr = 1, ci = 1;
        juliaConstantFromPointer(w, cr, ci);
        EXPECT_FLOAT_EQ(cr, c.cr) << c.x;
        EXPECT_FLOAT_EQ(ci, c.ci) << c.y;
    }

    // A window without area keeps its last pointer, so no zoom goes NaN.
    for (auto size : {std::pair<int, int>{0, 400}, {800, 0}, {0, 0}}) {
        w.width = size.first;
        w.height = size.second;
        EXPECT_FALSE(trackPointer(w, 10, 10));
        EXPECT_FLOAT_EQ(w.pointerX, -0.1f);
        EXPECT_FLOAT_EQ(w.pointerY, 1.1f);
    }
}

}  // namespace
