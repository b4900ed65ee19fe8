// Exploring as a user does, through XTest: the middle button drags either
// window's view, + and - zoom at the centre, the arrows move an eighth of
// the window, Backspace goes back and Home to the start; the left button
// keeps picking the Julia constant. Float views are judged against the
// reference at the view the viewer's own navigation gives; a deep view is
// judged against MPFR once dragged, and comes back exactly.
#include "support/deep_window.h"

#include <X11/keysym.h>

namespace fx {
namespace {

// The view after a change made by the viewer's own navigation (the
// window's pointer at its centre, as the keys leave it).
template <typename Change>
View changed(const View& v, Change change)
{
    FractalWindow w = pointedAt(v, 400, 400);
    change(w);
    return View{w.viewLeft, w.viewRight, w.viewBottom, w.viewTop};
}

TEST(Explore, KeysAndDragsMoveEitherWindow)
{
    XConnection x;
    Program program;
    ASSERT_TRUE(program.ready(x));
    const WindowId m = program.mandelbrot(), j = program.julia();
    const std::vector<float> mandelbrotTable = defaults(1).colourTable, juliaTable = defaults(2).colourTable;
    const Image juliaStart = x.capture(j), mandelbrotStart = x.capture(m);

    // The middle button: the point under the pointer stays under it, and
    // the Julia constant stays (the left button's meaning).
    dragView(x, m, 400, 500, 300, 560);
    const View dragged = changed(mandelbrotHome, [](FractalWindow& w) { panWindow(w, 100, 60, true); });
    EXPECT_TRUE(showsFractal(x, program, m, renderMandelbrot(dragged, mandelbrotTable), "dragged-mandelbrot"));
    EXPECT_TRUE(x.capture(j) == juliaStart) << "a middle drag picked a Julia constant";
    // The keys, each from the view before.
    struct Step { unsigned long key; const char* name; void (*change)(FractalWindow&); };
    const Step steps[] = {
        {XK_KP_Add, "plus", [](FractalWindow& w) { zoomAtCentre(w, ZoomDirection::in, true); }},
        {XK_Right, "right", [](FractalWindow& w) { panWindow(w, 100, 0, true); }},
        {XK_Up, "up", [](FractalWindow& w) { panWindow(w, 0, 100, true); }},
        {XK_minus, "minus", [](FractalWindow& w) { zoomAtCentre(w, ZoomDirection::out, true); }},
        {XK_Left, "left", [](FractalWindow& w) { panWindow(w, -100, 0, true); }},
        {XK_Down, "down", [](FractalWindow& w) { panWindow(w, 0, -100, true); }},
    };
    std::vector<Image> seen{mandelbrotStart, x.capture(m)};
    View view = dragged;
    for (const Step& s : steps) {
        x.typeKey(m, s.key);
        view = changed(view, s.change);
        EXPECT_TRUE(showsFractal(x, program, m, renderMandelbrot(view, mandelbrotTable), std::string("key-") + s.name));
        ASSERT_TRUE(program.idle());
        seen.push_back(x.capture(m));
    }
    // Backspace: every view before, the newest first, exactly; then no further.
    for (size_t k = seen.size() - 1; k-- > 0;) {
        x.typeKey(m, XK_BackSpace);
        EXPECT_TRUE(program.settles([&] { return x.capture(m) == seen[k]; })) << "back to view " << k;
    }
    x.typeKey(m, XK_BackSpace);
    ASSERT_TRUE(program.idle());
    EXPECT_TRUE(x.capture(m) == mandelbrotStart);

    // The Julia window: a drag, an arrow, Home; and back to the arrow's view.
    dragView(x, j, 200, 300, 260, 250);
    const View juliaDragged = changed(juliaHome, [](FractalWindow& w) { panWindow(w, -60, -50, true); });
    EXPECT_TRUE(showsFractal(x, program, j, renderJulia(juliaDragged, 0, 0, juliaTable), "dragged-julia"));
    x.typeKey(j, XK_Left);
    const View juliaLeft = changed(juliaDragged, [](FractalWindow& w) { panWindow(w, -100, 0, true); });
    EXPECT_TRUE(showsFractal(x, program, j, renderJulia(juliaLeft, 0, 0, juliaTable), "left-julia"));
    ASSERT_TRUE(program.idle());
    const Image left = x.capture(j);
    x.typeKey(j, XK_Home);
    EXPECT_TRUE(program.settles([&] { return x.capture(j) == juliaStart; })) << "Home";
    x.typeKey(j, XK_BackSpace);
    EXPECT_TRUE(program.settles([&] { return x.capture(j) == left; })) << "back from Home";
    EXPECT_TRUE(x.capture(m) == mandelbrotStart) << "keys in the Julia window moved the other";
    x.typeKey(j, XK_Escape);
    EXPECT_TRUE(program.endsCleanly());
}

// Past float's range: a drag keeps the view's precision (the picture is
// MPFR's at the moved view), and Backspace and Home give back the picture
// the window opened with, pixel for pixel.
TEST(Explore, ADeepViewMovesAtFullPrecisionAndComesBack)
{
    XConnection x;
    Program program(true, {"--mandelbrot", "0", "1", "1e-30"});
    ASSERT_TRUE(program.ready(x));
    const WindowId m = program.mandelbrot();
    const Image start = x.capture(m);
    dragView(x, m, 500, 400, 350, 490);
    ASSERT_TRUE(program.idle());
    DeepRequest moved = requestAt(false, "0", "1", "1e-30");
    panDeep(moved.view, 150, 90, 800, 800);
    EXPECT_TRUE(showsMpfrColours(x.capture(m), moved, 1));
    x.typeKey(m, XK_BackSpace);
    EXPECT_TRUE(program.settles([&] { return x.capture(m) == start; })) << "Backspace";
    x.typeKey(m, XK_Down);
    ASSERT_TRUE(program.idle());
    EXPECT_FALSE(x.capture(m) == start);
    x.typeKey(m, XK_Home);
    EXPECT_TRUE(program.settles([&] { return x.capture(m) == start; })) << "Home";
    x.typeKey(m, XK_Escape);
    EXPECT_TRUE(program.endsCleanly());
}

}  // namespace
}  // namespace fx
