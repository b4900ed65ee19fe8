// Moving a view by whole pixels at any depth, the keys' steps, and the
// history Backspace goes back through.
#include "app/navigation.h"
#include "deep/location.h"
#include "support/deep_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

DeepView deepAt(const char* re, const char* im, const char* extent, int width, int height)
{
    Location at{number(re), number(im), number(extent)};
    return viewAt(at, width, height);
}

FractalWindow deepWindow(const DeepView& view, int width = 800, int height = 600)
{
    FractalWindow w;
    w.width = width, w.height = height;
    setView(w, view, true);
    return w;
}

// The bounds' difference in pixels of the view's own size.
double pixelsBetween(const Big& a, const Big& b, const Big& lo, const Big& hi, int pixels)
{
    return pixelsApart(a, b, log2Magnitude([&] {
                           Big side(hi.precision() + 64);
                           mpfr_sub(side.v, hi.v, lo.v, MPFR_RNDN);
                           mpfr_div_si(side.v, side.v, pixels, MPFR_RNDN);
                           return side;
                       }()));
}

}  // namespace

// Deep views from just past float to far past double: a move keeps the
// extent, moves every bound by exactly the pixels asked (to far below a
// pixel), is recognised as that move, and a move back returns to the view.
TEST(ExploreNavigation, MovesByWholePixelsAtFullPrecision)
{
    for (const auto& [re, im, extent] : {std::tuple{"-0.7436438870371587", "0.1318259042053120", "1e-9"},
                                         {"0", "1", "1e-30"}, {"0", "1", "1e-100"}, {"-1.25066", "0.02012", "1e-320"}}) {
        SCOPED_TRACE(extent);
        const DeepView start = deepAt(re, im, extent, 800, 600);
        for (const auto& [dx, dy] : {std::pair{200L, 0L}, {-37L, 23L}, {0L, -599L}, {123456L, 7L}}) {
            DeepView moved = start;
            panDeep(moved, dx, dy, 800, 600);
            EXPECT_GE(moved.left.precision(), start.left.precision());
            // Extent kept, and each bound dx (dy) pixels along.
            EXPECT_LT(pixelsBetween(moved.right, moved.left, start.left, start.right, 800) - 800, 1e-9);
            for (const auto& [to, from, d, lo, hi, n] :
                 {std::tuple{&moved.left, &start.left, dx, &start.left, &start.right, 800},
                  {&moved.right, &start.right, dx, &start.left, &start.right, 800},
                  {&moved.bottom, &start.bottom, dy, &start.bottom, &start.top, 600},
                  {&moved.top, &start.top, dy, &start.bottom, &start.top, 600}}) {
                Big expected(from->precision() + 64), side(from->precision() + 64);
                mpfr_sub(side.v, hi->v, lo->v, MPFR_RNDN);
                mpfr_div_si(side.v, side.v, n, MPFR_RNDN);
                mpfr_mul_si(expected.v, side.v, d, MPFR_RNDN);
                mpfr_add(expected.v, expected.v, from->v, MPFR_RNDN);
                EXPECT_LT(pixelsBetween(*to, expected, *lo, *hi, n), 1e-12) << d;
            }
            long gotX = 0, gotY = 0;
            EXPECT_TRUE(wholePixelsApart(start, moved, 800, 600, gotX, gotY));
            EXPECT_EQ(std::pair(gotX, gotY), std::pair(dx, dy));
            panDeep(moved, -dx, -dy, 800, 600);
            EXPECT_LT(pixelsBetween(moved.left, start.left, start.left, start.right, 800), 1e-12);
            EXPECT_LT(pixelsBetween(moved.top, start.top, start.bottom, start.top, 600), 1e-12);
        }
        // Not a move by whole pixels: a zoom, half a pixel along.
        long dx, dy;
        DeepView other = start;
        zoomDeep(other, 0.5f, 0.5f, ZoomDirection::in, 800, 600);
        EXPECT_FALSE(wholePixelsApart(start, other, 800, 600, dx, dy));
        other = start;
        Big half(start.left.precision() + 64);
        mpfr_sub(half.v, start.right.v, start.left.v, MPFR_RNDN);
        mpfr_div_si(half.v, half.v, 1600, MPFR_RNDN);
        for (Big* bound : {&other.left, &other.right}) {
            bound->setPrecision(half.precision());
            mpfr_add(bound->v, bound->v, half.v, MPFR_RNDN);
        }
        EXPECT_FALSE(wholePixelsApart(start, other, 800, 600, dx, dy)) << "half a pixel";
    }
}

// A window's move: float views move in float (the bounds rounded from the
// exact move) and cross into arbitrary precision where the pixels need it;
// deep ones move in it and come back out; without deep drawing a move that
// leaves the float view unusable is refused. The arrows' and the keys'
// zoom steps are the wheel's own.
TEST(ExploreNavigation, WindowsMoveAndZoomAtTheCentre)
{
    FractalWindow w;
    w.width = w.height = 800;
    w.viewLeft = -2, w.viewRight = 1, w.viewBottom = -1.5f, w.viewTop = 1.5f;
    ASSERT_TRUE(panWindow(w, 100, -50, true));
    EXPECT_FLOAT_EQ(w.viewLeft, -2 + 100 * 3.0f / 800);
    EXPECT_FLOAT_EQ(w.viewTop, 1.5f - 50 * 3.0f / 800);
    EXPECT_FALSE(w.deep);
    EXPECT_FALSE(panWindow(w, 0, 0, true));
    // Pixels of 1e-7 near 0 are floats' own; near 10 they are not.
    FractalWindow small;
    small.width = small.height = 800;
    small.viewLeft = 0, small.viewRight = 8e-5f, small.viewBottom = 0, small.viewTop = 8e-5f;
    ASSERT_TRUE(panWindow(small, 800L * 125000, 0, true));
    EXPECT_TRUE(small.deep);
    Big re, im;
    pointAt(small.deepView, 0, 0, re, im);
    EXPECT_NEAR(re.toDouble(), double(8e-5f) / 800 * 1e8, 1e-12);
    ASSERT_TRUE(panWindow(small, -800L * 125000, 0, true));
    EXPECT_FALSE(small.deep);
    EXPECT_EQ(small.viewLeft, 0.0f);
    // Without deep drawing: as far as a zoom step goes (8 float steps across), not to 1000.
    FractalWindow plain = small;
    EXPECT_TRUE(panWindow(plain, 800L * 125000, 0, false) && !plain.deep);
    plain = small;
    EXPECT_FALSE(panWindow(plain, 800L * 12500000, 0, false)) << "a float view too fine to hold at 1000";
    EXPECT_EQ(plain.viewLeft, small.viewLeft);
    // + and - are a wheel notch (two steps) at the centre; the pointer stays.
    FractalWindow keys = w, wheel = w;
    keys.pointerX = 0.1f, keys.pointerY = 0.9f;
    wheel.pointerX = wheel.pointerY = 0.5f;
    ASSERT_TRUE(zoomAtCentre(keys, ZoomDirection::in, true));
    ASSERT_TRUE(zoomWindow(wheel, ZoomDirection::in, true) && zoomWindow(wheel, ZoomDirection::in, true));
    EXPECT_EQ(std::tuple(keys.viewLeft, keys.viewRight, keys.viewBottom, keys.viewTop),
              std::tuple(wheel.viewLeft, wheel.viewRight, wheel.viewBottom, wheel.viewTop));
    EXPECT_TRUE(keys.pointerX == 0.1f && keys.pointerY == 0.9f);
}

// The history: newest last, no view twice in a row, at most historyDepth
// (the oldest go), and deep views come back exactly.
TEST(ExploreNavigation, HistoryGoesBackExactly)
{
    ViewHistory h;
    WindowView v;
    EXPECT_FALSE(takeNewest(h, v));
    FractalWindow w = deepWindow(deepAt("0", "1", "1e-100", 800, 600));
    const WindowView deepest = windowView(w);
    remember(h, deepest);
    remember(h, deepest);
    EXPECT_EQ(h.views.size(), 1u);
    for (int k = 0; k < 300; ++k) {
        panWindow(w, 3, 0, true);
        remember(h, windowView(w));
    }
    EXPECT_EQ(h.views.size(), historyDepth);
    EXPECT_FALSE(sameView(h.views.front(), deepest)) << "the oldest view stayed";
    // Back through the newest 100, one step each: 3 pixels apart.
    FractalWindow back = w;
    for (int k = 0; k < 100; ++k) {
        ASSERT_TRUE(takeNewest(h, v));
        const DeepView before = back.deepView;
        showView(back, v, true);
        long dx = 0, dy = 0;
        ASSERT_TRUE(k == 0 || (wholePixelsApart(back.deepView, before, 800, 600, dx, dy) && dx == 3 && dy == 0)) << k;
    }
    // A float view and a deep one side by side are different views.
    WindowView flat;
    flat.left = -2, flat.right = 1, flat.bottom = -1.5f, flat.top = 1.5f;
    ViewHistory mixed;
    remember(mixed, flat);
    remember(mixed, deepest);
    remember(mixed, flat);
    EXPECT_EQ(mixed.views.size(), 3u);
    FractalWindow restored = deepWindow(deepAt("0.3", "0", "1", 800, 600));
    ASSERT_TRUE(takeNewest(mixed, v) && takeNewest(mixed, v));
    showView(restored, v, true);
    EXPECT_TRUE(restored.deep && sameBounds(restored.deepView, deepest.deepView));
}
