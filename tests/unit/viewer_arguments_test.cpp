// The viewer's command line: GLUT's options passed over with their values,
// locations, help and errors; and the locations of the windows as they are,
// read back and applied.
#include "app/arguments.h"
#include "app/fractal_window.h"
#include "app/navigation.h"
#include "support/words.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <tuple>
#include <vector>

// -display and -geometry take the next word whatever it looks like, the
// other GLUT options none; --help or -h anywhere wins over any error.
TEST(ViewerArguments, GlutOptionsLocationsHelpAndErrors)
{
    const auto run = ViewerStart::run, help = ViewerStart::help, error = ViewerStart::error;
    for (const auto& [line, start, message, given] :
         {std::tuple{"fraktale", run, "", ""},
          {"fraktale -display :1 -geometry 640x480+0+0 -direct -indirect -iconic -gldebug -sync --mandelbrot -0.75 0.1 1e-3",
           run, "", "m"},
          {"fraktale --julia 0 0 4 -geometry 100x100 --constant -1 0 -display :0", run, "", "jc"},
          {"fraktale --bogus -h", help, "", ""}, {"fraktale -display --help", help, "", ""},
          {"fraktale --mandelbrot 1 2 --help", help, "", ""}, {"fraktale -iconic 1", error, "unbekannte Option '1'", ""},
          {"fraktale -display --mandelbrot 0 0 1", error, "unbekannte Option '0'", ""},
          {"fraktale -display", error, "-display: Wert fehlt", ""},
          {"fraktale -sync -geometry", error, "-geometry: Wert fehlt", ""},
          {"fraktale --bogus", error, "unbekannte Option '--bogus'", ""},
          {"fraktale -geometry 1x1 -help", error, "unbekannte Option '-help'", ""},
          {"fraktale -display :0 --mandelbrot 1 2", error, "--mandelbrot: es fehlen Werte (RE IM EXTENT)", ""},
          {"fraktale --julia 0 0 -1", error, "--julia: die Breite '-1' muss positiv und endlich sein", ""}}) {
        Words w(line);
        LocationOptions options;
        std::string text;
        EXPECT_EQ(readViewerArguments(w.argc(), w.argv.data(), options, text), start) << line;
        EXPECT_EQ(text, message) << line;
        if (start != run) continue;
        const std::string found = std::string(options.hasMandelbrot ? "m" : "") + (options.hasJulia ? "j" : "") +
                                  (options.hasConstant ? "c" : "");
        EXPECT_EQ(found, given) << line;
    }
}

// Saves what the locations change in the program-wide state and restores it.
struct KeepWindows {
    FractalWindow mandelbrot = mandelbrotWindow, julia = juliaWindow;
    Big re = juliaRe, im = juliaIm;
    float cr = juliaCr, ci = juliaCi;
    bool deep = deepAvailable;
    ~KeepWindows()
    {
        for (auto [w, kept] : {std::pair{&mandelbrotWindow, &mandelbrot}, {&juliaWindow, &julia}}) {
            std::tie(w->viewLeft, w->viewRight, w->viewBottom, w->viewTop) =
                std::tie(kept->viewLeft, kept->viewRight, kept->viewBottom, kept->viewTop);
            std::tie(w->width, w->height, w->pointerX, w->pointerY, w->deep) =
                std::tie(kept->width, kept->height, kept->pointerX, kept->pointerY, kept->deep);
            w->deepView = kept->deepView;
        }
        juliaRe = re, juliaIm = im, juliaCr = cr, juliaCi = ci, deepAvailable = deep;
    }
};

static DeepView viewOfWindow(const FractalWindow& w)
{
    return w.deep ? w.deepView : deepFromFloat(w.viewLeft, w.viewRight, w.viewBottom, w.viewTop, w.width, w.height);
}

// The largest distance between corresponding bounds, in pixels of `a`.
static double pixelsApart(const DeepView& a, const DeepView& b, int width, int height)
{
    double most = 0;
    for (auto [x, y] : {std::pair{&a.left, &b.left}, {&a.right, &b.right}, {&a.bottom, &b.bottom}, {&a.top, &b.top}}) {
        Big d(std::max(x->precision(), y->precision()) + 64);
        mpfr_sub(d.v, x->v, y->v, MPFR_RNDN);
        most = std::max(most, std::exp2(log2Magnitude(d) - log2PixelSize(a, width, height)));
    }
    return most;
}

// A Mandelbrot window 1e-30 wide in MPFR, a float Julia window of 640 x 480
// and a constant picked there at the deep view's precision: the printed
// options, read back, place both views to a hundredth of a pixel and give
// the constant back exactly; applied, they reopen the windows there, the
// deep one in MPFR. Options that name only the constant leave the views.
TEST(ViewerArguments, CurrentLocationsReadBack)
{
    const KeepWindows kept;
    deepAvailable = true;
    mandelbrotWindow.width = mandelbrotWindow.height = 800;
    Location deep;
    ASSERT_TRUE(parseDecimal("-0.74056003555822763207239202475945650560740145369498", deep.re) &&
                parseDecimal("0.13259112153701780013935396728619598401106700748430", deep.im) &&
                parseDecimal("1e-30", deep.extent));
    setView(mandelbrotWindow, viewAt(deep, 800, 800), true);
    mandelbrotWindow.pointerX = 0.3f, mandelbrotWindow.pointerY = 0.6f;
    pickJuliaConstant(mandelbrotWindow, juliaRe, juliaIm, juliaCr, juliaCi);
    juliaWindow.width = 640, juliaWindow.height = 480, juliaWindow.deep = false;
    std::tie(juliaWindow.viewLeft, juliaWindow.viewRight, juliaWindow.viewBottom, juliaWindow.viewTop) =
        std::tuple{-0.35f, 1.25f, -0.7f, 0.5f};
    ASSERT_TRUE(mandelbrotWindow.deep && juliaRe.precision() > 64);
    const DeepView mandelbrot = viewOfWindow(mandelbrotWindow), julia = viewOfWindow(juliaWindow);
    const Big re = juliaRe, im = juliaIm;
    const float cr = juliaCr, ci = juliaCi;

    Words w("fraktale " + currentLocations());
    LocationOptions options;
    std::string error;
    ASSERT_EQ(readViewerArguments(w.argc(), w.argv.data(), options, error), ViewerStart::run) << error;
    ASSERT_TRUE(options.hasMandelbrot && options.hasJulia && options.hasConstant);
    EXPECT_LT(pixelsApart(mandelbrot, viewAt(options.mandelbrot, 800, 800), 800, 800), 0.01);
    EXPECT_LT(pixelsApart(julia, viewAt(options.julia, 640, 480), 640, 480), 0.01);
    for (auto [back, original] : {std::pair{options.constantRe, &re}, {options.constantIm, &im}}) {
        back.setPrecision(original->precision());
        EXPECT_TRUE(mpfr_equal_p(back.v, original->v)) << formatDecimal(back, 60);
    }

    mandelbrotWindow.deep = juliaWindow.deep = false;
    for (FractalWindow* window : {&mandelbrotWindow, &juliaWindow})
        std::tie(window->viewLeft, window->viewRight, window->viewBottom, window->viewTop) = std::tuple{-2.0f, 2.0f, -2.0f, 2.0f};
    juliaRe = juliaIm = Big(0.0, 64);
    juliaCr = juliaCi = 0;
    applyLocations(options);
    EXPECT_TRUE(mandelbrotWindow.deep && !juliaWindow.deep && juliaCr == cr && juliaCi == ci);
    EXPECT_LT(pixelsApart(mandelbrot, viewOfWindow(mandelbrotWindow), 800, 800), 0.01);
    EXPECT_LT(pixelsApart(julia, viewOfWindow(juliaWindow), 640, 480), 0.01);

    Words constant("fraktale --constant 0.25 -0.5");
    LocationOptions only;
    ASSERT_EQ(readViewerArguments(constant.argc(), constant.argv.data(), only, error), ViewerStart::run);
    applyLocations(only);
    EXPECT_TRUE(juliaCr == 0.25f && juliaCi == -0.5f && juliaRe.toDouble() == 0.25 && mandelbrotWindow.deep);
    EXPECT_LT(pixelsApart(julia, viewOfWindow(juliaWindow), 640, 480), 0.01);
}
