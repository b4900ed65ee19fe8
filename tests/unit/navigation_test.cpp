// Wheel zoom around the pointer, pointer tracking and the Julia constant.
#include "app/navigation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <tuple>

using View = std::array<float, 4>;  // left, right, bottom, top

static View viewOf(const FractalWindow& w) { return {w.viewLeft, w.viewRight, w.viewBottom, w.viewTop}; }

static FractalWindow windowAt(View v, float px, float py)
{
    FractalWindow w;
    std::tie(w.viewLeft, w.viewRight, w.viewBottom, w.viewTop, w.pointerX, w.pointerY) = std::tuple_cat(v, std::tuple{px, py});
    return w;
}

// Either direction keeps the point under the pointer in place: an edge under
// the pointer stays, and so does -1 at a quarter of the Julia window.
TEST(Navigation, OneStepFromTheStartViews)
{
    const View mandelbrot = viewOf(mandelbrotWindow), julia = viewOf(juliaWindow);
    EXPECT_TRUE(mandelbrot == (View{-2.0f, 1.0f, -1.5f, 1.5f}) && julia == (View{-2.0f, 2.0f, -2.0f, 2.0f}));
    const auto in = ZoomDirection::in, out = ZoomDirection::out;
    for (const auto& [start, px, py, direction, expected] :
         {std::tuple{mandelbrot, 0.5f, 0.5f, in, View{-1.7f, 0.7f, -1.2f, 1.2f}},
          {mandelbrot, 0.5f, 0.5f, out, {-2.3f, 1.3f, -1.8f, 1.8f}}, {mandelbrot, 0.5f, 1.0f, in, {-1.7f, 0.7f, -0.9f, 1.5f}},
          {mandelbrot, 0.0f, 0.0f, out, {-2.0f, 1.6f, -1.5f, 2.1f}}, {julia, 0.25f, 0.25f, in, {-1.8f, 1.4f, -1.8f, 1.4f}},
          {julia, 0.25f, 0.25f, out, {-2.2f, 2.6f, -2.2f, 2.6f}}}) {
        FractalWindow w = windowAt(start, px, py);
        ASSERT_TRUE(zoomView(w, direction));
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(viewOf(w)[i], expected[i]) << px << "," << py << " bound " << i;
    }
}

// Zooming stops while the view spans several float steps, and before
// overflow; a refused step changes neither axis; the way back stays open.
TEST(Navigation, ZoomStopsWhileTheViewIsUsableAndCanGoBack)
{
    for (const auto& [start, p, direction] : {std::tuple{viewOf(mandelbrotWindow), 0.3f, ZoomDirection::in},
                                              {viewOf(juliaWindow), 0.5f, ZoomDirection::in},
                                              {viewOf(mandelbrotWindow), 0.3f, ZoomDirection::out}}) {
        FractalWindow w = windowAt(start, p, 1.0f - p);
        int steps = 0;
        while (steps < 5000 && zoomView(w, direction)) ++steps;
        ASSERT_TRUE(steps > 50 && steps < 5000) << steps << " steps";
        const float width = w.viewRight - w.viewLeft, height = w.viewTop - w.viewBottom, top = std::fabs(w.viewTop);
        EXPECT_TRUE(std::isfinite(width) && std::isfinite(height) && width > 0);
        EXPECT_TRUE(direction == ZoomDirection::out || height >= 4 * (std::nextafter(top, INFINITY) - top)) << height;
        const View stopped = viewOf(w);
        EXPECT_FALSE(zoomView(w, direction));
        EXPECT_EQ(viewOf(w), stopped);
        EXPECT_TRUE(zoomView(w, direction == ZoomDirection::in ? ZoomDirection::out : ZoomDirection::in));
    }
    for (const auto& [view, px] : {std::pair{View{-3e38f, 3e38f, -1, 1}, 0.5f}, {View{-1, 1, -1, 1}, std::nanf("")}}) {
        FractalWindow w = windowAt(view, px, 0.5f);
        EXPECT_FALSE(zoomView(w, ZoomDirection::out));
        EXPECT_EQ(viewOf(w), view);
    }
}

// A drag may leave the window: fractions below 0 and above 1 follow it. A
// window without area keeps its last pointer, so no zoom goes NaN.
TEST(Navigation, PointerFractionsAndTheJuliaConstant)
{
    FractalWindow w = windowAt(viewOf(mandelbrotWindow), 0, 0);
    w.width = 800, w.height = 400;
    for (const auto& [x, y, px, py, cr, ci] : {std::tuple{400, 200, 0.5f, 0.5f, -0.5f, 0.0f}, {0, 0, 0.0f, 1.0f, -2.0f, 1.5f},
                                               {200, 100, 0.25f, 0.75f, -1.25f, 0.75f}, {-80, -40, -0.1f, 1.1f, -2.3f, 1.8f}}) {
        ASSERT_TRUE(trackPointer(w, x, y));
        float r = 1, i = 1;
        juliaConstantFromPointer(w, r, i);
        for (const auto& [got, want] : {std::pair{w.pointerX, px}, {w.pointerY, py}, {r, cr}, {i, ci}})
            EXPECT_FLOAT_EQ(got, want) << x << ", " << y;
    }
    for (auto [width, height] : {std::pair{0, 400}, {800, 0}}) {
        w.width = width, w.height = height;
        EXPECT_FALSE(trackPointer(w, 10, 10));
        EXPECT_TRUE(w.pointerX == -0.1f && w.pointerY == 1.1f);
    }
}
