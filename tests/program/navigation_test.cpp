// The mouse over the two fractal windows as a user works it: wheel notches
// zoom the window under the pointer about the pointer, a click or a drag in
// the Mandelbrot window picks the Julia constant, and the editor area and
// the Julia window's left button leave every view alone. Each picture is
// judged against the CPU reference of the view or constant it should show.
#include "support/gestures.h"

namespace fx {
namespace {

TEST(ViewNavigation, WheelClickAndDragChangeOnlyWhatTheyShould)
{
    XConnection x;
    Program program;
    ASSERT_TRUE(program.ready(x));
    const WindowId m = program.mandelbrot(), j = program.julia();
    const std::vector<float> mandelbrotTable = defaults(1).colourTable, juliaTable = defaults(2).colourTable;
    const Image mandelbrotBefore = x.capture(m), juliaBefore = x.capture(j);

    // Events the views must ignore. The editor area's corners are window
    // pixels (6, 6) and (526, 34); the bar has no marker at column 300. In
    // the Julia window the left button does nothing, held and dragged or not.
    hover(x, m, 6, 6);
    x.wheel(true);
    hover(x, m, 526, 34);
    x.wheel(false);
    hover(x, m, 300, 20);
    x.click(1);
    hover(x, j, 300, 20);
    x.wheel(true);
    hover(x, j, 200, 600);
    x.click(1);
    x.pressButton(1);
    hover(x, j, 500, 500);
    x.releaseButton(1);
    ASSERT_TRUE(waitUntilIdle(program));
    EXPECT_TRUE(x.capture(m) == mandelbrotBefore) << "the Mandelbrot window changed";
    EXPECT_TRUE(x.capture(j) == juliaBefore) << "the Julia window changed";

    // The centre of the default view is -0.5 + 0i.
    hover(x, m, 400, 400);
    x.click(1);
    EXPECT_TRUE(showsFractal(x, j, renderJulia(juliaHome, -0.5f, 0, juliaTable), "click-centre-julia"));

    // Every stop on a drag shows a Julia set of its own while the button is
    // still held. The last, -0.41 + 0.3i, lies inside the main cardioid: a
    // robust picture.
    Rect mr;
    ASSERT_TRUE(x.geometry(m, mr));
    hover(x, m, 160, 400);
    Image previous = x.capture(j), current;
    x.pressButton(1);
    ASSERT_TRUE(x.waitForChange(j, previous, stepTimeout, &current)) << "the press changed nothing";
    for (const auto& [wx, wy] : {std::pair{260, 480}, {340, 360}, {424, 320}}) {
        previous = current;
        x.movePointer(mr.x + wx, mr.y + wy);
        EXPECT_TRUE(x.waitForChange(j, previous, stepTimeout, &current)) << "no new Julia set at " << wx << ", " << wy;
    }
    x.releaseButton(1);
    EXPECT_TRUE(showsFractal(x, j, renderJulia(juliaHome, -0.41f, 0.3f, juliaTable), "drag-julia"));
    ASSERT_TRUE(waitUntilIdle(program));
    EXPECT_TRUE(x.capture(m) == mandelbrotBefore) << "picking a constant changed the Mandelbrot window";
    const Image juliaPicked = x.capture(j);

    // Off-centre, so that a zoom about the wrong point shows as well as one
    // in the wrong direction.
    hover(x, m, 200, 600);
    x.wheel(true);
    const View zoomedIn = afterNotches(mandelbrotHome, 200, 600, ZoomDirection::in);
    EXPECT_TRUE(showsFractal(x, m, renderMandelbrot(zoomedIn, mandelbrotTable), "wheel-in-mandelbrot"));
    ASSERT_TRUE(waitUntilIdle(program));
    EXPECT_TRUE(x.capture(j) == juliaPicked) << "a zoom in the Mandelbrot window changed the other";

    // Back out about the same point: the point under the pointer stays put
    // both ways, and the extent goes by 0.8 twice, then by 1.2 twice.
    // Worked out from what a zoom must keep, not from the viewer's code.
    x.wheel(false);
    const double f = double(zoomFactor) * zoomFactor * (2 - double(zoomFactor)) * (2 - double(zoomFactor));
    auto axis = [f](float lo, float hi, double p, float& newLo, float& newHi) {
        const double anchor = lo + p * (double(hi) - lo), extent = (double(hi) - lo) * f;
        newLo = static_cast<float>(anchor - p * extent);
        newHi = static_cast<float>(anchor + (1 - p) * extent);
    };
    View back{};
    axis(mandelbrotHome.left, mandelbrotHome.right, 200 / 800.0, back.left, back.right);
    axis(mandelbrotHome.bottom, mandelbrotHome.top, 1 - 600 / 800.0, back.bottom, back.top);
    EXPECT_TRUE(showsFractal(x, m, renderMandelbrot(back, mandelbrotTable), "wheel-in-then-out"));
    ASSERT_TRUE(waitUntilIdle(program));
    const Image mandelbrotShown = x.capture(m);

    hover(x, j, 600, 150);
    x.wheel(false);
    const View juliaView = afterNotches(juliaHome, 600, 150, ZoomDirection::out);
    EXPECT_TRUE(showsFractal(x, j, renderJulia(juliaView, -0.41f, 0.3f, juliaTable), "wheel-out-julia"));
    ASSERT_TRUE(waitUntilIdle(program));
    EXPECT_TRUE(x.capture(m) == mandelbrotShown) << "a zoom in the Julia window changed the other";

    // Below the editor the right button opens the window menu: "Bild
    // speichern", "Exit".
    ASSERT_TRUE(chooseFromMenu(x, program, m, 400, 400, 2, 1));
    EXPECT_TRUE(program.endsCleanly());
}

}  // namespace
}  // namespace fx
