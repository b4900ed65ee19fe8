// A session from start to Esc, and the same session again from the files it
// left: the user zooms, picks a Julia constant, edits both colourings, saves
// them and a picture of each window, quits; starts again, loads the two
// files, repeats the zoom and the pick, and must see the same pictures and
// get the same TIFF files.
#include "support/gestures.h"
#include "support/scripted_zenity.h"

#include <X11/keysym.h>

namespace fx {
namespace {

// Mandelbrot window pixels: two wheel notches over the seahorse valley,
// then a click a little beside it. Julia window: one notch off centre.
constexpr int zoomX = 333, zoomY = 373;
constexpr int pickX = 360, pickY = 390;
constexpr int juliaZoomX = 300, juliaZoomY = 500;

void zoomAndPick(XConnection& x, const Program& program)
{
    hover(x, program.mandelbrot(), zoomX, zoomY);
    x.wheel(true);
    x.wheel(true);
    hover(x, program.mandelbrot(), pickX, pickY);
    x.click(1);
    hover(x, program.julia(), juliaZoomX, juliaZoomY);
    x.wheel(true);
}

TEST(Journey, ASessionRepeatedFromItsSavedFilesGivesTheSamePictures)
{
    ScriptedZenity zenity;  // first: the program inherits the PATH that puts it in front
    TempFolder files;
    XConnection x;
    zenity.answer("rgb(255,96,0)");
    for (const char* name : {"mandelbrot", "julia.tfc", "mandelbrot-1", "julia-1.tif", "mandelbrot.tfc", "julia.tfc",
                             "mandelbrot-2.tif", "julia-2.tif"})
        zenity.answer(files.file(name));

    const View mandelbrotView = afterNotches(mandelbrotHome, zoomX, zoomY, ZoomDirection::in, 2);
    float cr, ci;
    constantAt(mandelbrotView, pickX, pickY, cr, ci);
    // Mandelbrot: a point set at column 200 and coloured orange. Julia: the
    // yellow point dragged from column 35 to 150.
    TransferFunction mandelbrotColours = defaults(1), juliaColours = defaults(2);
    mandelbrotColours.addPoint(columnX(200), 1, 96 / 255.0f, 0);
    juliaColours.points[1].x = columnX(150);
    juliaColours.rebuild();
    const Image mandelbrotFractal = renderMandelbrot(mandelbrotView, mandelbrotColours.colourTable);
    const Image juliaFractal = renderJulia(afterNotches(juliaHome, juliaZoomX, juliaZoomY, ZoomDirection::in), cr,
                                           ci, juliaColours.colourTable);
    Image firstMandelbrot, firstJulia;
    {
        Program program;
        ASSERT_TRUE(program.ready(x));
        const WindowId m = program.mandelbrot(), j = program.julia();
        zoomAndPick(x, program);
        ASSERT_TRUE(chooseFromMenu(x, program, m, 200, markerRow, 3, 0));
        ASSERT_TRUE(chooseFromMenu(x, program, m, 200, markerRow, 2, 0));
        drag(x, j, markerRow, 35, 150);
        EXPECT_TRUE(shows(x, m, withEditor(mandelbrotFractal, mandelbrotColours), "journey-mandelbrot", false,
                          &firstMandelbrot));
        EXPECT_TRUE(shows(x, j, withEditor(juliaFractal, juliaColours), "journey-julia", false, &firstJulia));

        // Column 400 is bar background in both windows: both functions
        // saved, then a picture of each window.
        ASSERT_TRUE(chooseFromMenu(x, program, m, 400, markerRow, 3, 2));
        ASSERT_TRUE(chooseFromMenu(x, program, j, 400, markerRow, 3, 2));
        ASSERT_TRUE(chooseFromMenu(x, program, m, 400, 400, 2, 0));
        ASSERT_TRUE(chooseFromMenu(x, program, j, 400, 400, 2, 0));
        EXPECT_TRUE(waitForFile(files.file("julia-1.tif")));
        for (const char* name : {"mandelbrot.tfc", "julia.tfc"})
            EXPECT_TRUE(program.waitForOutput("- Saving file '" + files.file(name) + "'...- File saved."))
                << program.output();
        x.typeKey(m, XK_Escape);
        EXPECT_TRUE(program.endsCleanly());
    }
    // The screenshots hold the fractal alone, the editor's rows included.
    const Difference mandelbrotTiff = compareImages(readTiff(files.file("mandelbrot-1.tif")), mandelbrotFractal);
    const Difference juliaTiff = compareImages(readTiff(files.file("julia-1.tif")), juliaFractal);
    EXPECT_TRUE(mandelbrotTiff.similar()) << "mandelbrot-1.tif: " << mandelbrotTiff.describe();
    EXPECT_TRUE(juliaTiff.similar()) << "julia-1.tif: " << juliaTiff.describe();

    {
        Program program;
        ASSERT_TRUE(program.ready(x));
        const WindowId m = program.mandelbrot(), j = program.julia();
        ASSERT_TRUE(chooseFromMenu(x, program, m, 400, markerRow, 3, 1));
        ASSERT_TRUE(chooseFromMenu(x, program, j, 400, markerRow, 3, 1));
        zoomAndPick(x, program);
        // The whole windows, editor included, as the first run showed them.
        EXPECT_TRUE(showsFractal(x, m, firstMandelbrot, "journey-mandelbrot-again", 0));
        EXPECT_TRUE(showsFractal(x, j, firstJulia, "journey-julia-again", 0));
        for (const char* name : {"mandelbrot.tfc", "julia.tfc"})
            EXPECT_TRUE(program.waitForOutput("- Loading file '" + files.file(name) + "'...- File loaded."))
                << program.output();

        ASSERT_TRUE(chooseFromMenu(x, program, m, 400, 400, 2, 0));
        ASSERT_TRUE(chooseFromMenu(x, program, j, 400, 400, 2, 0));
        EXPECT_TRUE(waitForFile(files.file("julia-2.tif")));
        x.typeKey(j, XK_Escape);
        EXPECT_TRUE(program.endsCleanly());
    }

    EXPECT_TRUE(readFile(files.file("mandelbrot-1.tif")) == readFile(files.file("mandelbrot-2.tif")));
    EXPECT_TRUE(readFile(files.file("julia-1.tif")) == readFile(files.file("julia-2.tif")));
    EXPECT_EQ(zenity.calls().size(), 9u);
    EXPECT_EQ(files.entries(), (std::vector<std::string>{"julia-1.tif", "julia-2.tif", "julia.tfc", "mandelbrot-1.tif",
                                                         "mandelbrot-2.tif", "mandelbrot.tfc"}));
}

}  // namespace
}  // namespace fx
