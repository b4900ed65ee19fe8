// The mouse over the two fractal windows as a user works it: wheel notches
// zoom the window under the pointer, a click or a drag in the Mandelbrot
// window picks the Julia constant, and the editor area and the Julia
// window's left button leave every view alone. Each resulting picture is
// judged against the CPU reference of the view or constant it should show.
#include "app/navigation.h"
#include "support/program.h"
#include "support/reference.h"
#include "support/x11.h"

#include <gtest/gtest.h>

namespace fx {
namespace {

// Generous: an ASan build under llvmpipe on a loaded two-core machine.
constexpr double startTimeout = 90;
constexpr double drawTimeout = 60;

constexpr int size = 800;
constexpr int firstFractalRow = 41;  // below the editor overlay
constexpr int tolerance = 3;
constexpr double allowedShare = 0.01;

const View mandelbrotDefault{-2.0f, 1.0f, -1.5f, 1.5f};
const View juliaDefault{-2.0f, 2.0f, -2.0f, 2.0f};

// The viewer's record of a window showing `view`, so that the product's own
// arithmetic can say where a wheel notch or a click must take it.
FractalWindow windowShowing(const View& view)
{
    FractalWindow w;
    w.viewLeft = view.left;
    w.viewRight = view.right;
    w.viewBottom = view.bottom;
    w.viewTop = view.top;
    return w;
}

View viewOf(const FractalWindow& w) { return View{w.viewLeft, w.viewRight, w.viewBottom, w.viewTop}; }

// A notch is a press and a release of the wheel button, each of them one
// zoom step about the pointer at window pixel (px, py).
View afterNotch(const View& view, int px, int py, ZoomDirection direction)
{
    FractalWindow w = windowShowing(view);
    EXPECT_TRUE(trackPointer(w, px, py));
    EXPECT_TRUE(zoomView(w, direction));
    EXPECT_TRUE(zoomView(w, direction));
    return viewOf(w);
}

void juliaConstantAt(const View& mandelbrotView, int px, int py, float& cr, float& ci)
{
    FractalWindow w = windowShowing(mandelbrotView);
    EXPECT_TRUE(trackPointer(w, px, py));
    juliaConstantFromPointer(w, cr, ci);
}

// The viewer learns where the pointer is only from motion, and XTest makes
// none towards the place the pointer already is (the last test may have
// left it there): so the pointer arrives from the next pixel.
void hoverAt(XConnection& x, const Rect& window, int px, int py)
{
    x.movePointer(window.x + px + 1, window.y + py + 1);
    x.movePointer(window.x + px, window.y + py);
}

// Polls the window until its picture matches `expected` below the overlay
// (a pass may show an intermediate step first) and reports the last capture.
::testing::AssertionResult showsPicture(XConnection& x, WindowId w, const Image& expected, const std::string& name)
{
    const double end = now() + drawTimeout;
    Image captured;
    Difference d;
    do {
        captured = x.capture(w);
        d = compareImages(captured, expected, tolerance, firstFractalRow);
        if (!d.sizesDiffer && d.share() <= allowedShare) return ::testing::AssertionSuccess();
        pause(0.05);
    } while (now() < end);
    return ::testing::AssertionFailure() << name << ": " << d.describe()
                                         << "\n  captured: " << saveForInspection(captured, name + "-captured")
                                         << "\n  expected: " << saveForInspection(expected, name + "-expected");
}

struct Viewer {
    XConnection x;
    Program program;
    Rect mandelbrot, julia;

    ::testing::AssertionResult start()
    {
        std::string why;
        if (!program.waitUntilReady(x, startTimeout, &why)) return ::testing::AssertionFailure() << why;
        if (!x.geometry(program.mandelbrot(), mandelbrot) || !x.geometry(program.julia(), julia))
            return ::testing::AssertionFailure() << "a window vanished";
        return ::testing::AssertionSuccess();
    }
};

TEST(ViewNavigation, WheelNotchZoomsOnlyTheWindowUnderThePointer)
{
    Viewer v;
    ASSERT_TRUE(v.start());
    XConnection& x = v.x;
    const Image juliaBefore = x.capture(v.program.julia());

    // Off-centre, so that a zoom about the wrong point shows as well as one
    // in the wrong direction.
    hoverAt(x, v.mandelbrot, 200, 600);
    x.wheel(true);
    const View zoomedIn = afterNotch(mandelbrotDefault, 200, 600, ZoomDirection::in);
    EXPECT_TRUE(showsPicture(x, v.program.mandelbrot(), renderMandelbrot(zoomedIn, size, size, defaultColourTable(1)),
                             "wheel-in-mandelbrot"));
    EXPECT_EQ(x.capture(v.program.julia()), juliaBefore) << "a zoom in the Mandelbrot window redrew the Julia set";

    const Image mandelbrotAfter = x.capture(v.program.mandelbrot());
    hoverAt(x, v.julia, 600, 150);
    x.wheel(false);
    const View zoomedOut = afterNotch(juliaDefault, 600, 150, ZoomDirection::out);
    EXPECT_TRUE(showsPicture(x, v.program.julia(), renderJulia(zoomedOut, size, size, 0, 0, defaultColourTable(2)),
                             "wheel-out-julia"));
    EXPECT_EQ(x.capture(v.program.mandelbrot()), mandelbrotAfter) << "a zoom in the Julia window changed the other";
}

// In and back out about the same off-centre point must return to nearly the
// starting view: the point under the pointer stays put in both directions,
// and the extent goes by 0.8 twice, then by 1.2 twice.
TEST(ViewNavigation, ZoomingOutKeepsThePointUnderThePointer)
{
    Viewer v;
    ASSERT_TRUE(v.start());
    XConnection& x = v.x;

    const int px = 160, py = 560;  // pointer fractions 0.2 across, 0.3 up
    hoverAt(x, v.mandelbrot, px, py);
    x.wheel(true);
    ASSERT_TRUE(showsPicture(x, v.program.mandelbrot(),
                             renderMandelbrot(afterNotch(mandelbrotDefault, px, py, ZoomDirection::in), size, size,
                                              defaultColourTable(1)),
                             "in-before-out"));
    x.wheel(false);

    // Worked out from what a zoom must keep, not from the viewer's code.
    const double f = double(zoomFactor) * zoomFactor * (2 - double(zoomFactor)) * (2 - double(zoomFactor));
    auto axis = [f](float lo, float hi, double p, float& newLo, float& newHi) {
        const double anchor = lo + p * (double(hi) - lo);
        const double extent = (double(hi) - lo) * f;
        newLo = static_cast<float>(anchor - p * extent);
        newHi = static_cast<float>(anchor + (1 - p) * extent);
    };
    View back{};
    axis(mandelbrotDefault.left, mandelbrotDefault.right, px / double(size), back.left, back.right);
    axis(mandelbrotDefault.bottom, mandelbrotDefault.top, 1 - py / double(size), back.bottom, back.top);
    EXPECT_TRUE(showsPicture(x, v.program.mandelbrot(), renderMandelbrot(back, size, size, defaultColourTable(1)),
                             "in-then-out"));
}

// Events the views must ignore, each followed by one that must act: the
// final pictures show whether anything before it acted too.
TEST(ViewNavigation, EditorAreaAndJuliaLeftButtonLeaveTheViewsAlone)
{
    Viewer v;
    ASSERT_TRUE(v.start());
    XConnection& x = v.x;

    // The editor area's corners, window pixels (6, 6) and (526, 34).
    hoverAt(x, v.mandelbrot, 6, 6);
    x.wheel(true);
    hoverAt(x, v.mandelbrot, 526, 34);
    x.wheel(false);
    // A left click on the bar (no marker there) must not pick a constant.
    hoverAt(x, v.mandelbrot, 300, 20);
    x.click(1);
    hoverAt(x, v.julia, 300, 20);
    x.wheel(true);
    // In the Julia window the left button does nothing, held and dragged
    // or not.
    hoverAt(x, v.julia, 200, 600);
    x.click(1);
    x.pressButton(1);
    x.movePointer(v.julia.x + 500, v.julia.y + 500);
    x.releaseButton(1);

    hoverAt(x, v.mandelbrot, 400, 400);
    x.wheel(true);
    hoverAt(x, v.julia, 400, 400);
    x.wheel(true);
    EXPECT_TRUE(showsPicture(x, v.program.mandelbrot(),
                             renderMandelbrot(afterNotch(mandelbrotDefault, 400, 400, ZoomDirection::in), size, size,
                                              defaultColourTable(1)),
                             "ignored-mandelbrot"));
    EXPECT_TRUE(showsPicture(x, v.program.julia(),
                             renderJulia(afterNotch(juliaDefault, 400, 400, ZoomDirection::in), size, size, 0, 0,
                                         defaultColourTable(2)),
                             "ignored-julia"));
}

TEST(ViewNavigation, LeftClickInTheMandelbrotWindowSetsTheJuliaConstant)
{
    Viewer v;
    ASSERT_TRUE(v.start());
    XConnection& x = v.x;
    const Image mandelbrotBefore = x.capture(v.program.mandelbrot());

    // The centre of the default view is -0.5 + 0i.
    hoverAt(x, v.mandelbrot, 400, 400);
    x.click(1);
    EXPECT_TRUE(showsPicture(x, v.program.julia(), renderJulia(juliaDefault, size, size, -0.5f, 0.0f,
                                                               defaultColourTable(2)),
                             "click-centre-julia"));
    EXPECT_EQ(x.capture(v.program.mandelbrot()), mandelbrotBefore);
}

TEST(ViewNavigation, DraggingAcrossTheMandelbrotWindowMovesTheJuliaConstant)
{
    Viewer v;
    ASSERT_TRUE(v.start());
    XConnection& x = v.x;
    const Image mandelbrotBefore = x.capture(v.program.mandelbrot());

    hoverAt(x, v.mandelbrot, 160, 400);
    Image previous = x.capture(v.program.julia());
    x.pressButton(1);
    // Every stop on the way must show a Julia set of its own while the
    // button is still held.
    const int path[][2] = {{260, 480}, {340, 360}, {424, 320}};
    Image current;
    ASSERT_TRUE(x.waitForChange(v.program.julia(), previous, drawTimeout, &current)) << "the press changed nothing";
    for (const auto& stop : path) {
        previous = current;
        x.movePointer(v.mandelbrot.x + stop[0], v.mandelbrot.y + stop[1]);
        EXPECT_TRUE(x.waitForChange(v.program.julia(), previous, drawTimeout, &current))
            << "no new Julia set while dragging through (" << stop[0] << ", " << stop[1] << ")";
    }
    x.releaseButton(1);

    float cr, ci;
    juliaConstantAt(mandelbrotDefault, 424, 320, cr, ci);
    EXPECT_NEAR(cr, -0.41f, 1e-5);  // inside the main cardioid: a robust picture
    EXPECT_NEAR(ci, 0.3f, 1e-5);
    EXPECT_TRUE(showsPicture(x, v.program.julia(), renderJulia(juliaDefault, size, size, cr, ci,
                                                               defaultColourTable(2)),
                             "drag-release-julia"));
    EXPECT_EQ(x.capture(v.program.mandelbrot()), mandelbrotBefore);
}

}  // namespace
}  // namespace fx
