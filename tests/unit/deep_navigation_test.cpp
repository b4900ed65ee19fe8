// Wheel steps at any depth, the switch between float and MPFR views both
// ways, the Julia constant at a deep view's precision, views set and settled.
#include "app/navigation.h"
#include "deep/location.h"
#include "support/deep_numbers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

using View = std::array<float, 4>;  // left, right, bottom, top

static View viewOf(const FractalWindow& w) { return {w.viewLeft, w.viewRight, w.viewBottom, w.viewTop}; }

static View rounding(const DeepView& view)
{
    View v;
    roundToFloat(view, v[0], v[1], v[2], v[3]);
    return v;
}

static FractalWindow windowAt(View v, float px, float py, int width = 800, int height = 800)
{
    FractalWindow w;
    std::tie(w.viewLeft, w.viewRight, w.viewBottom, w.viewTop) = std::tuple_cat(v);
    w.pointerX = px, w.pointerY = py, w.width = width, w.height = height;
    return w;
}

// The float steps go on as long as their result is one single precision
// holds; the step that would leave that is taken in MPFR from the exact
// float bounds, so the point under the pointer stays put to far below a
// pixel. Zooming out, the first step whose rounding float holds again
// leaves MPFR, and float steps go on from those bounds.
TEST(DeepNavigation, WheelAcrossTheSwitchAndBack)
{
    for (const auto& [start, px, py, width, height] :
         {std::tuple{View{-2, 1, -1.5f, 1.5f}, 0.5f, 0.5f, 800, 800}, {View{-2, 2, -1.5f, 1.5f}, 0.3f, 0.8f, 800, 600},
          {View{-0.75f, -0.74f, 0.1f, 0.11f}, 0.9f, 0.05f, 800, 800}}) {
        FractalWindow w = windowAt(start, px, py, width, height);
        int floatSteps = 0;
        for (;; ++floatSteps) {
            ASSERT_LT(floatSteps, 200);
            FractalWindow next = w;
            ASSERT_TRUE(zoomView(next, ZoomDirection::in));
            Big re, im, x, y;
            pointAt(deepFromFloat(w.viewLeft, w.viewRight, w.viewBottom, w.viewTop, width, height), px, py, re, im);
            ASSERT_TRUE(zoomWindow(w, ZoomDirection::in, true));
            if (floatHoldsView(next)) {
                ASSERT_TRUE(!w.deep && viewOf(w) == viewOf(next)) << floatSteps;
                continue;
            }
            ASSERT_TRUE(w.deep) << floatSteps;
            pointAt(w.deepView, px, py, x, y);
            const double pixel = log2PixelSize(w.deepView, width, height);
            EXPECT_LT(std::max(pixelsApart(x, re, pixel), pixelsApart(y, im, pixel)), 1e-9);
            EXPECT_EQ(viewOf(w), rounding(w.deepView));
            break;
        }
        EXPECT_GT(floatSteps, 10);
        for (int k = 0; k < 10; ++k) ASSERT_TRUE(zoomWindow(w, ZoomDirection::in, true) && w.deep);
        int outSteps = 0;
        while (w.deep) {
            ASSERT_TRUE(zoomWindow(w, ZoomDirection::out, true) && ++outSteps < 50) << outSteps;
            EXPECT_EQ(viewOf(w), rounding(w.deepView));
        }
        EXPECT_TRUE(floatHoldsView(w) && outSteps > 10) << outSteps;
        FractalWindow next = w;
        ASSERT_TRUE(zoomView(next, ZoomDirection::out) && zoomWindow(w, ZoomDirection::out, true));
        EXPECT_TRUE(!w.deep && viewOf(w) == viewOf(next));
    }
}

// Without deep drawing every step is zoomView's, refusals included: in
// until the view is 8 float steps wide, out until it would overflow, never
// for a pointer outside any window (NaN), deep drawing or not.
TEST(DeepNavigation, WithoutDeepTheFloatStepsAndTheirLimits)
{
    for (const auto& [start, px, direction] :
         {std::tuple{View{-2, 1, -1.5f, 1.5f}, 0.3f, ZoomDirection::in}, {View{-2, 2, -2, 2}, 0.5f, ZoomDirection::in},
          {View{-2, 1, -1.5f, 1.5f}, 0.7f, ZoomDirection::out}}) {
        FractalWindow a = windowAt(start, px, 1 - px), b = a;
        int steps = 0;
        for (bool stepped = true; stepped; ++steps) {
            ASSERT_LT(steps, 5000);
            stepped = zoomView(a, direction);
            ASSERT_EQ(zoomWindow(b, direction, false), stepped) << steps;
            ASSERT_TRUE(viewOf(a) == viewOf(b) && !b.deep) << steps;
        }
        EXPECT_GT(steps, 50);
        // With deep drawing MPFR goes on where the float steps stop going
        // in; going out they stop at float's range, and so does MPFR.
        const View stopped = viewOf(b);
        const bool in = direction == ZoomDirection::in;
        EXPECT_TRUE(zoomWindow(b, direction, true) == in && (in || (viewOf(b) == stopped && !b.deep))) << b.viewRight;
    }
    for (bool deep : {false, true}) {
        FractalWindow w = windowAt({-2, 1, -1.5f, 1.5f}, std::nanf(""), 0.5f);
        EXPECT_FALSE(zoomWindow(w, ZoomDirection::in, deep));
        EXPECT_TRUE(viewOf(w) == (View{-2, 1, -1.5f, 1.5f}) && !w.deep);
    }
}

// Saves the program-wide Julia constant and restores it.
struct KeepConstant {
    Big re = juliaRe, im = juliaIm;
    float cr = juliaCr, ci = juliaCi;
    ~KeepConstant() { juliaRe = re, juliaIm = im, juliaCr = cr, juliaCi = ci; }
};

// From a float view the constant is the float point under the pointer. In a
// view 1e-40 wide the pointer's point needs some 140 bits to be placed to a
// pixel of 1.25e-43 (64 would leave it 1e23 pixels off); the floats are its
// rounding.
TEST(DeepNavigation, JuliaConstantAtTheViewsPrecision)
{
    const KeepConstant kept;
    const FractalWindow shallow = windowAt({-2, 1, -1.5f, 1.5f}, 0.25f, 0.75f);
    pickJuliaConstant(shallow, juliaRe, juliaIm, juliaCr, juliaCi);
    EXPECT_TRUE(juliaCr == -1.25f && juliaCi == 0.75f && juliaRe.toDouble() == -1.25 && juliaIm.toDouble() == 0.75);

    const Big re = number("-0.74056003555822763207239202475945650560740145369498"),
              im = number("0.13259112153701780013935396728619598401106700748430");
    FractalWindow deep = windowAt({}, 0.3f, 0.7f);
    deep.deepView = viewAt(Location{re, im, number("1e-40")}, 800, 800);
    deep.deep = true;
    std::tie(deep.viewLeft, deep.viewRight, deep.viewBottom, deep.viewTop) = std::tuple_cat(rounding(deep.deepView));
    pickJuliaConstant(deep, juliaRe, juliaIm, juliaCr, juliaCi);
    Big x(400), y(400);
    mpfr_set_d(x.v, (double(0.3f) - 0.5) * 1e-40, MPFR_RNDN);
    mpfr_add(x.v, x.v, re.v, MPFR_RNDN);
    mpfr_set_d(y.v, (double(0.7f) - 0.5) * 1e-40, MPFR_RNDN);
    mpfr_add(y.v, y.v, im.v, MPFR_RNDN);
    const double pixel = std::log2(1.25e-43);
    EXPECT_TRUE(juliaRe.precision() > 64 && juliaIm.precision() > 64) << juliaRe.precision();
    EXPECT_LT(pixelsApart(juliaRe, x, pixel), 1e-3);
    EXPECT_LT(pixelsApart(juliaIm, y, pixel), 1e-3);
    EXPECT_TRUE(juliaCr == x.toFloat() && juliaCi == y.toFloat());
}

// A location lands in MPFR only where single precision cannot hold it and
// deep drawing is there: a view 1e-4 wide about -0.75 has pixels of 1.25e-7
// at 800, under 4 float steps of 2^-24, but of 1e-6 at 100. settleView does
// the same after a resize, and nothing while the window has no area.
TEST(DeepNavigation, ViewsSetAndSettled)
{
    const Location wide{number("-0.75"), number("0.1"), number("3")}, narrow{number("-0.75"), number("0.1"), number("1e-4")};
    for (const auto& [location, pixels, deepAvailable, deep] :
         {std::tuple{&wide, 800, true, false}, {&narrow, 800, true, true}, {&narrow, 800, false, false},
          {&narrow, 100, true, false}}) {
        FractalWindow w = windowAt({}, 0.5f, 0.5f, pixels, pixels);
        const DeepView view = viewAt(*location, pixels, pixels);
        setView(w, view, deepAvailable);
        EXPECT_TRUE(w.deep == deep && viewOf(w) == rounding(view)) << pixels << " " << deepAvailable;
    }
    for (const auto& [from, to, deepAvailable, deep] :
         {std::tuple{800, 100, true, false}, {100, 800, true, true}, {100, 800, false, false}, {800, 0, true, true}}) {
        FractalWindow w = windowAt({}, 0.5f, 0.5f, from, from);
        setView(w, viewAt(narrow, from, from), true);
        const View before = viewOf(w);
        w.width = w.height = to;
        settleView(w, deepAvailable);
        EXPECT_TRUE(w.deep == deep && viewOf(w) == before) << from << " to " << to << " " << deepAvailable;
        EXPECT_TRUE(!w.deep || rounding(w.deepView) == before);
    }
}
