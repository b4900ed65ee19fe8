// A session from start to Esc, and the same session again from the files it
// left: the user zooms, picks a Julia constant, edits both colourings, saves
// them and a picture of each window, quits; starts again, loads the two
// files, repeats the zoom and the pick, and must see the same pictures and
// get the same TIFF files.
#include "app/fractal_window.h"
#include "app/navigation.h"
#include "support/gestures.h"
#include "support/program.h"
#include "support/reference.h"
#include "support/scripted_zenity.h"
#include "transfer/transfer_function.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <tiffio.h>

#include <sys/stat.h>

namespace fx {
namespace {

constexpr double startTimeout = 90;
constexpr double stepTimeout = 60;
constexpr double exitTimeout = 30;
constexpr int markerRow = 20;

// Mandelbrot window pixels: two wheel notches over the seahorse valley,
// then a click a little beside it. Julia window: one notch off centre.
constexpr int zoomX = 333, zoomY = 373;
constexpr int pickX = 360, pickY = 390;
constexpr int juliaZoomX = 300, juliaZoomY = 500;

// What the zoom and the pick should give, by the navigation's own arithmetic.
// A notch is a press and a release of the wheel button, and each zooms.
struct Scene {
    View mandelbrot;
    View julia;
    float cr = 0, ci = 0;
};

Scene expectedScene()
{
    FractalWindow m, j;
    m.viewLeft = -2.0f, m.viewRight = 1.0f, m.viewBottom = -1.5f, m.viewTop = 1.5f;
    j.viewLeft = -2.0f, j.viewRight = 2.0f, j.viewBottom = -2.0f, j.viewTop = 2.0f;
    trackPointer(m, zoomX, zoomY);
    for (int step = 0; step < 4; ++step) zoomView(m, ZoomDirection::in);
    trackPointer(j, juliaZoomX, juliaZoomY);
    for (int step = 0; step < 2; ++step) zoomView(j, ZoomDirection::in);
    Scene s;
    trackPointer(m, pickX, pickY);
    juliaConstantFromPointer(m, s.cr, s.ci);
    s.mandelbrot = View{m.viewLeft, m.viewRight, m.viewBottom, m.viewTop};
    s.julia = View{j.viewLeft, j.viewRight, j.viewBottom, j.viewTop};
    return s;
}

void zoomAndPick(XConnection& x, const Rect& mandelbrot, const Rect& julia)
{
    hover(x, mandelbrot, zoomX, zoomY);
    x.wheel(true);
    x.wheel(true);
    hover(x, mandelbrot, pickX, pickY);
    x.click(1);
    hover(x, julia, juliaZoomX, juliaZoomY);
    x.wheel(true);
}

float columnX(int column) { return static_cast<float>(column - 10) / 512.0f; }

bool waitForFile(const std::string& path, double timeoutSeconds)
{
    const double end = now() + timeoutSeconds;
    struct stat st;
    while (stat(path.c_str(), &st) != 0 && now() < end) pause(0.05);
    return stat(path.c_str(), &st) == 0;
}

Image readTiff(const std::string& path)
{
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return {};
    uint32_t width = 0, height = 0;
    uint16_t samples = 0, bits = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    Image image;
    if (samples == 3 && bits == 8 && TIFFScanlineSize(tif) == tmsize_t(width) * 3) {
        image = Image(static_cast<int>(width), static_cast<int>(height));
        for (uint32_t row = 0; row < height; ++row) {
            if (TIFFReadScanline(tif, image.at(0, static_cast<int>(row)), row) < 0) {
                image = Image();
                break;
            }
        }
    }
    TIFFClose(tif);
    return image;
}

// The whole window, editor included, as another capture showed it.
Difference waitForSame(XConnection& x, WindowId w, const Image& target, double timeoutSeconds)
{
    const double end = now() + timeoutSeconds;
    Difference d;
    do {
        d = comparePictures(x.capture(w), target, 0);
        if (similar(d)) break;
        pause(0.05);
    } while (now() < end);
    return d;
}

TEST(Journey, ASessionRepeatedFromItsSavedFilesGivesTheSamePictures)
{
    ScriptedZenity zenity;
    TempFolder files;
    XConnection x;
    std::string why;

    zenity.answer("rgb(255,96,0)");
    zenity.answer(files.file("mandelbrot"));
    zenity.answer(files.file("julia.tfc"));
    zenity.answer(files.file("mandelbrot-1"));
    zenity.answer(files.file("julia-1.tif"));
    zenity.answer(files.file("mandelbrot.tfc"));
    zenity.answer(files.file("julia.tfc"));
    zenity.answer(files.file("mandelbrot-2.tif"));
    zenity.answer(files.file("julia-2.tif"));

    const Scene scene = expectedScene();
    Image firstMandelbrot, firstJulia, mandelbrotExpected, juliaExpected;
    {
        Program program;
        ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;
        Rect mandelbrot, julia;
        ASSERT_TRUE(x.geometry(program.mandelbrot(), mandelbrot));
        ASSERT_TRUE(x.geometry(program.julia(), julia));

        zoomAndPick(x, mandelbrot, julia);

        // Mandelbrot: a point set at column 200 and coloured orange.
        TransferFunction mandelbrotColours;
        mandelbrotColours.initialiseModel(1);
        ASSERT_TRUE(chooseFromMenu(x, program, mandelbrot, 200, markerRow, 3, 0, stepTimeout, &why)) << why;
        ASSERT_TRUE(chooseFromMenu(x, program, mandelbrot, 200, markerRow, 2, 0, stepTimeout, &why)) << why;
        mandelbrotColours.addPoint(columnX(200), 255 / 255.0f, 96 / 255.0f, 0);

        // Julia: the yellow point dragged from column 35 to 150.
        TransferFunction juliaColours;
        juliaColours.initialiseModel(2);
        drag(x, julia, markerRow, 35, 150);
        juliaColours.points[1].x = columnX(150);
        juliaColours.rebuild();

        mandelbrotExpected = renderMandelbrot(scene.mandelbrot, 800, 800, mandelbrotColours.colourTable);
        juliaExpected = renderJulia(scene.julia, 800, 800, scene.cr, scene.ci, juliaColours.colourTable);
        const Look m = waitForLook(x, program.mandelbrot(), mandelbrotExpected, mandelbrotColours, stepTimeout);
        const Look j = waitForLook(x, program.julia(), juliaExpected, juliaColours, stepTimeout);
        EXPECT_TRUE(looksRight(m, mandelbrotExpected, "journey-mandelbrot"));
        EXPECT_TRUE(looksRight(j, juliaExpected, "journey-julia"));
        firstMandelbrot = m.captured;
        firstJulia = j.captured;

        // Column 400 is bar background in both windows: save both functions.
        ASSERT_TRUE(chooseFromMenu(x, program, mandelbrot, 400, markerRow, 3, 2, stepTimeout, &why)) << why;
        ASSERT_TRUE(chooseFromMenu(x, program, julia, 400, markerRow, 3, 2, stepTimeout, &why)) << why;
        EXPECT_TRUE(program.waitForOutput("- Saving file '" + files.file("julia.tfc") + "'...- File saved.",
                                          stepTimeout))
            << program.output();
        EXPECT_NE(program.output().find("- Saving file '" + files.file("mandelbrot.tfc") + "'...- File saved."),
                  std::string::npos)
            << program.output();

        // And a picture of each window.
        ASSERT_TRUE(chooseFromMenu(x, program, mandelbrot, 400, 400, 2, 0, stepTimeout, &why)) << why;
        ASSERT_TRUE(waitForFile(files.file("mandelbrot-1.tif"), stepTimeout));
        ASSERT_TRUE(chooseFromMenu(x, program, julia, 400, 400, 2, 0, stepTimeout, &why)) << why;
        ASSERT_TRUE(waitForFile(files.file("julia-1.tif"), stepTimeout));

        program.typeKey(x, program.mandelbrot(), XK_Escape);
        EXPECT_EQ(program.waitForExit(exitTimeout), std::optional<int>(0)) << program.output();
        EXPECT_EQ(sanitizerReport(program.output()), "");
    }

    // The screenshots hold the fractal alone, the editor's rows included.
    const Difference mandelbrotTiff = comparePictures(readTiff(files.file("mandelbrot-1.tif")), mandelbrotExpected, 0);
    const Difference juliaTiff = comparePictures(readTiff(files.file("julia-1.tif")), juliaExpected, 0);
    EXPECT_TRUE(similar(mandelbrotTiff)) << "mandelbrot-1.tif: " << mandelbrotTiff.describe();
    EXPECT_TRUE(similar(juliaTiff)) << "julia-1.tif: " << juliaTiff.describe();

    {
        Program program;
        ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;
        Rect mandelbrot, julia;
        ASSERT_TRUE(x.geometry(program.mandelbrot(), mandelbrot));
        ASSERT_TRUE(x.geometry(program.julia(), julia));

        ASSERT_TRUE(chooseFromMenu(x, program, mandelbrot, 400, markerRow, 3, 1, stepTimeout, &why)) << why;
        ASSERT_TRUE(chooseFromMenu(x, program, julia, 400, markerRow, 3, 1, stepTimeout, &why)) << why;
        zoomAndPick(x, mandelbrot, julia);

        const Difference m = waitForSame(x, program.mandelbrot(), firstMandelbrot, stepTimeout);
        const Difference j = waitForSame(x, program.julia(), firstJulia, stepTimeout);
        EXPECT_TRUE(similar(m)) << "Mandelbrot window: " << m.describe();
        EXPECT_TRUE(similar(j)) << "Julia window: " << j.describe();
        const std::string out = program.output();
        EXPECT_NE(out.find("- Loading file '" + files.file("mandelbrot.tfc") + "'...- File loaded."), std::string::npos)
            << out;
        EXPECT_NE(out.find("- Loading file '" + files.file("julia.tfc") + "'...- File loaded."), std::string::npos)
            << out;

        ASSERT_TRUE(chooseFromMenu(x, program, mandelbrot, 400, 400, 2, 0, stepTimeout, &why)) << why;
        ASSERT_TRUE(waitForFile(files.file("mandelbrot-2.tif"), stepTimeout));
        ASSERT_TRUE(chooseFromMenu(x, program, julia, 400, 400, 2, 0, stepTimeout, &why)) << why;
        ASSERT_TRUE(waitForFile(files.file("julia-2.tif"), stepTimeout));

        program.typeKey(x, program.julia(), XK_Escape);
        EXPECT_EQ(program.waitForExit(exitTimeout), std::optional<int>(0)) << program.output();
        EXPECT_EQ(sanitizerReport(program.output()), "");
    }

    EXPECT_TRUE(readFile(files.file("mandelbrot-1.tif")) == readFile(files.file("mandelbrot-2.tif")));
    EXPECT_TRUE(readFile(files.file("julia-1.tif")) == readFile(files.file("julia-2.tif")));
    EXPECT_EQ(zenity.calls().size(), 9u);
    EXPECT_EQ(files.entries(), (std::vector<std::string>{"julia-1.tif", "julia-2.tif", "julia.tfc", "mandelbrot-1.tif",
                                                         "mandelbrot-2.tif", "mandelbrot.tfc"}));
}

}  // namespace
}  // namespace fx
