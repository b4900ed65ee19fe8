// From start to "Exit" as a user sees it: the windows side by side, the
// first pictures pixel for pixel, wheel, click and drag in each window, a
// resize and the editor's drags, each picture judged against the reference;
// and a start without shader files.
#include "support/gestures.h"

#include <X11/keysym.h>

namespace fx {
namespace {

TEST(Startup, WindowsPicturesNavigationResizeAndExit)
{
    XConnection x;
    Program program;
    ASSERT_TRUE(program.ready(x));
    const WindowId m = program.mandelbrot(), j = program.julia();
    const TransferFunction mandelbrotColours = defaults(1), juliaColours = defaults(2);
    const std::vector<float> &mandelbrotTable = mandelbrotColours.colourTable, &juliaTable = juliaColours.colourTable;

    const Rect mr = x.where(m), jr = x.where(j);
    EXPECT_EQ((std::vector<int>{mr.x, mr.y, mr.width, mr.height, jr.x, jr.y, jr.width, jr.height}),
              (std::vector<int>{0, 0, 800, 800, 830, 0, 800, 800}));
    EXPECT_TRUE(shows(x, program, m, withEditor(renderMandelbrot(mandelbrotHome, mandelbrotTable), mandelbrotColours),
                      "startup-mandelbrot", true));
    EXPECT_TRUE(shows(x, program, j, withEditor(renderJulia(juliaHome, 0, 0, juliaTable), juliaColours), "startup-julia", true));
    const Image mandelbrotBefore = x.capture(m), juliaBefore = x.capture(j);

    // Ignored: wheel and click over the editor area (corners (6, 6), (526, 34)),
    // the middle button, the Julia window's left button, dragged or not.
    for (const auto& [w, wx, wy, button] : {std::tuple{m, 6, 6, 4}, {m, 526, 34, 5}, {m, 300, 20, 1}, {m, 600, 600, 2},
                                            {j, 300, 20, 4}, {j, 200, 600, 1}})
        hover(x, w, wx, wy), x.click(button);
    x.pressButton(1);
    hover(x, j, 500, 500);
    x.releaseButton(1);
    ASSERT_TRUE(program.idle());
    EXPECT_TRUE(x.capture(m) == mandelbrotBefore && x.capture(j) == juliaBefore) << "an ignored event changed a window";

    // A click at the centre of the default view picks -0.5; every stop of a
    // drag shows the Julia set under the pointer while the button is held.
    hover(x, m, 400, 400);
    x.click(1);
    EXPECT_TRUE(showsFractal(x, program, j, renderJulia(juliaHome, -0.5f, 0, juliaTable), "click-centre-julia"));
    hover(x, m, 160, 400);
    x.pressButton(1);
    float cr, ci;
    for (const auto& [wx, wy] : {std::pair{160, 400}, {260, 480}, {340, 360}, {424, 320}}) {
        x.movePointer(mr.x + wx, mr.y + wy);
        constantAt(mandelbrotHome, wx, wy, cr, ci);
        EXPECT_TRUE(showsFractal(x, program, j, renderJulia(juliaHome, cr, ci, juliaTable), "drag-julia"));
    }
    x.releaseButton(1);
    ASSERT_TRUE(program.idle());
    EXPECT_TRUE(x.capture(m) == mandelbrotBefore) << "picking a constant changed the Mandelbrot window";
    const Image juliaPicked = x.capture(j);

    // Off-centre, so that a zoom about the wrong point shows as well as one
    // in the wrong direction; then back out about the same point.
    hover(x, m, 200, 600);
    x.wheel(true);
    EXPECT_TRUE(showsFractal(x, program, m, renderMandelbrot(afterNotches(mandelbrotHome, 200, 600, ZoomDirection::in),
                                                    mandelbrotTable), "wheel-in-mandelbrot"));
    ASSERT_TRUE(program.idle());
    EXPECT_TRUE(x.capture(j) == juliaPicked) << "a zoom in the Mandelbrot window changed the other";
    // Out in both windows while the program is held: one pass of its main
    // loop then takes both, and must draw both.
    program.hold(true);
    x.wheel(false);
    hover(x, j, 600, 150);
    x.wheel(false);
    program.hold(false);
    const View back = afterNotches(afterNotches(mandelbrotHome, 200, 600, ZoomDirection::in), 200, 600, ZoomDirection::out);
    const View juliaView = afterNotches(juliaHome, 600, 150, ZoomDirection::out);
    EXPECT_TRUE(showsFractal(x, program, m, renderMandelbrot(back, mandelbrotTable), "wheel-in-then-out"));
    EXPECT_TRUE(showsFractal(x, program, j, renderJulia(juliaView, cr, ci, juliaTable), "wheel-out-julia"));

    // The editor keeps its place and size whatever the window's height.
    x.resizeWindow(m, 800, 500);
    // Mesa sometimes draws the first pass after a resize into a buffer of the
    // old size; the pass an expose brings once the size has settled is right.
    program.settles([&] { return program.idle() && x.capture(m).height == 500; });
    x.exposeWindow(m);
    EXPECT_TRUE(shows(x, program, m, withEditor(renderMandelbrot(back, mandelbrotTable, 800, 500), mandelbrotColours),
                      "resized-mandelbrot"));

    // End points (columns 10, 522) stay put; the yellow point (35) stops 1/256
    // short of the last; from 520 (both in reach: the lower index wins) to 300.
    TransferFunction colours = juliaColours;
    auto showsJulia = [&](const std::string& name) {
        return colours.rebuild(), shows(x, program, j, withEditor(renderJulia(juliaView, cr, ci, colours.colourTable), colours), name);
    };
    drag(x, j, markerRow, 10, 200);
    drag(x, j, markerRow, 521, 300);
    drag(x, j, markerRow, 35, 700);
    colours.points[1].x = 1.0f - 1.0f / 256;
    EXPECT_TRUE(showsJulia("drag-to-the-right-limit"));
    drag(x, j, markerRow, 520, 300);
    colours.points[1].x = columnX(300);
    EXPECT_TRUE(showsJulia("drag-back"));

    // Below the editor the right button gives the window menu: "Bild speichern", "Exit".
    ASSERT_TRUE(chooseFromMenu(x, program, j, 400, 400, 2, 1));
    EXPECT_TRUE(program.endsCleanly());
}

TEST(Startup, MissingShaderFilesAreReportedAndTheViewerStillRuns)
{
    XConnection x;
    Program program(false);
    ASSERT_TRUE(program.ready(x));
    std::string expected, reported, out = program.output();
    for (const char* name : {"mandelbrot_vertex", "mandelbrot_fragment", "transferFunction_vertex",
                             "transferFunction_fragment", "julia_vertex", "julia_fragment", "transferFunction_vertex",
                             "transferFunction_fragment"})
        expected += "\nShader Source File ('" + std::string(name) + ".glsl') konnte nicht geladen werden... \n";
    // Compile logs may follow each pair of messages; the messages come in order.
    for (size_t at = out.find("\nShader Source"); at != std::string::npos; at = out.find("\nShader Source", at + 1))
        reported += out.substr(at, out.find(" \n", at) + 2 - at);
    EXPECT_EQ(reported, expected) << out;
    x.typeKey(program.mandelbrot(), XK_Escape);
    EXPECT_TRUE(program.endsCleanly());
}

}  // namespace
}  // namespace fx
