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
    w.viewLeft = v[0], w.viewRight = v[1], w.viewBottom = v[2], w.viewTop = v[3];
    w.pointerX = px, w.pointerY = py;
    return w;
}

// Either direction keeps the point under the pointer in place: an edge under
// the pointer stays, and so does -1 at a quarter of the Julia window.
TEST(Navigation, OneStepFromTheStartViews)
{
    const View mandelbrot = viewOf(mandelbrotWindow), julia = viewOf(juliaWindow);
    EXPECT_EQ(mandelbrot, (View{-2.0f, 1.0f, -1.5f, 1.5f}));
    EXPECT_EQ(julia, (View{-2.0f, 2.0f, -2.0f, 2.0f}));
    EXPECT_EQ(juliaWindow.width, mandelbrotWindow.width);
    const struct {
        View start;
        float px, py;
        ZoomDirection direction;
        View expected;
    } cases[] = {
        {mandelbrot, 0.5f, 0.5f, ZoomDirection::in, {-1.7f, 0.7f, -1.2f, 1.2f}},
        {mandelbrot, 0.5f, 0.5f, ZoomDirection::out, {-2.3f, 1.3f, -1.8f, 1.8f}},
        {mandelbrot, 0.5f, 1.0f, ZoomDirection::in, {-1.7f, 0.7f, -0.9f, 1.5f}},
        {mandelbrot, 0.5f, 1.0f, ZoomDirection::out, {-2.3f, 1.3f, -2.1f, 1.5f}},
        {mandelbrot, 0.0f, 0.0f, ZoomDirection::out, {-2.0f, 1.6f, -1.5f, 2.1f}},
        {julia, 0.25f, 0.25f, ZoomDirection::in, {-1.8f, 1.4f, -1.8f, 1.4f}},
        {julia, 0.25f, 0.25f, ZoomDirection::out, {-2.2f, 2.6f, -2.2f, 2.6f}},
    };
    for (const auto& c : cases) {
        FractalWindow w = windowAt(c.start, c.px, c.py);
        ASSERT_TRUE(zoomView(w, c.direction));
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(viewOf(w)[i], c.expected[i]) << &c - cases << " bound " << i;
    }
}

// Zooming in stops while neighbouring pixels still differ in single
// precision; zooming out, before overflow. A refused step changes nothing
// (neither axis, even when only the second refuses), and the way back
// stays open.
TEST(Navigation, ZoomStopsWhileTheViewIsUsableAndCanGoBack)
{
    const struct {
        View start;
        float p;
        ZoomDirection direction;
    } cases[] = {{viewOf(mandelbrotWindow), 0.3f, ZoomDirection::in},
                 {viewOf(juliaWindow), 0.5f, ZoomDirection::in},
                 {viewOf(mandelbrotWindow), 0.3f, ZoomDirection::out}};
    for (const auto& c : cases) {
        FractalWindow w = windowAt(c.start, c.p, 1.0f - c.p);
        const bool in = c.direction == ZoomDirection::in;
        int steps = 0;
        while (steps < 5000 && zoomView(w, c.direction)) ++steps;
        ASSERT_GT(steps, 50);
        ASSERT_LT(steps, 5000) << "zooming never stopped";
        const float width = w.viewRight - w.viewLeft, height = w.viewTop - w.viewBottom;
        const float magnitude = std::max({std::fabs(w.viewLeft), std::fabs(w.viewRight), std::fabs(w.viewTop)});
        EXPECT_TRUE(std::isfinite(width) && std::isfinite(height) && width > 0 && height > 0);
        // Stopped in: the view still spans several float steps at its bounds.
        if (in) EXPECT_GE(width, 4 * (std::nextafter(magnitude, INFINITY) - magnitude));
        const View stopped = viewOf(w);
        EXPECT_FALSE(zoomView(w, c.direction));
        EXPECT_EQ(viewOf(w), stopped);
        // Out at the limit rounding has lost the centre: one step back is all
        // that can be asked for there.
        do ASSERT_TRUE(zoomView(w, in ? ZoomDirection::out : ZoomDirection::in));
        while (in && w.viewRight - w.viewLeft < c.start[1] - c.start[0]);
    }
    for (const auto& [view, px] : {std::pair{View{-3e38f, 3e38f, -1, 1}, 0.5f}, {View{-1, 1, -1, 1}, std::nanf("")}}) {
        FractalWindow w = windowAt(view, px, 0.5f);
        EXPECT_FALSE(zoomView(w, ZoomDirection::out));
        EXPECT_EQ(viewOf(w), view);
    }
}

TEST(Navigation, PointerFractionsAndTheJuliaConstant)
{
    FractalWindow w = windowAt(viewOf(mandelbrotWindow), 0, 0);
    w.width = 800, w.height = 400;
    // A drag may leave the window: fractions below 0 and above 1 follow it.
    const struct {
        int x, y;
        float px, py, cr, ci;
    } cases[] = {{400, 200, 0.5f, 0.5f, -0.5f, 0}, {200, 100, 0.25f, 0.75f, -1.25f, 0.75f}, {0, 0, 0, 1, -2.0f, 1.5f},
                 {-80, -40, -0.1f, 1.1f, -2.3f, 1.8f}};
    for (const auto& c : cases) {
        ASSERT_TRUE(trackPointer(w, c.x, c.y));
        float cr = 1, ci = 1;
        juliaConstantFromPointer(w, cr, ci);
        for (const auto& [got, want] : {std::pair{w.pointerX, c.px}, {w.pointerY, c.py}, {cr, c.cr}, {ci, c.ci}})
            EXPECT_FLOAT_EQ(got, want) << c.x << ", " << c.y;
    }
    // A window without area keeps its last pointer, so no zoom goes NaN.
    for (auto [width, height] : {std::pair{0, 400}, {800, 0}}) {
        w.width = width, w.height = height;
        EXPECT_FALSE(trackPointer(w, 10, 10));
        EXPECT_FLOAT_EQ(w.pointerX, -0.1f);
        EXPECT_FLOAT_EQ(w.pointerY, 1.1f);
    }
}

}  // namespace
