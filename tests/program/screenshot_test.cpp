// "Bild speichern" from the window menu: the save dialog it asks, the TIFF
// it writes (the window's fractal without the editor), a cancelled or
// impossible save that leaves nothing behind and the viewer running, and a
// menu left open while the pointer moves on.
#include "app/navigation.h"
#include "support/program.h"
#include "support/reference.h"
#include "support/scripted_zenity.h"
#include "support/x11.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace fx {
namespace {

constexpr double startTimeout = 90;
constexpr double saveTimeout = 90;
constexpr double exitTimeout = 30;

constexpr int size = 800;
// The editor's pixels, markers included, lie in rows 8..31 and columns
// 5..526; the rest of the window is the fractal alone.
constexpr int editorBottom = 35;
constexpr int editorRight = 527;

const View mandelbrotDefault{-2.0f, 1.0f, -1.5f, 1.5f};
const View juliaDefault{-2.0f, 2.0f, -2.0f, 2.0f};

// Opens the window menu with the right button at window pixel (px, py),
// below the editor; `choose` then picks an entry. The pointer first moves
// there: the window menu is attached by pointer motion over the window
// (before any, the Mandelbrot window's right button holds the editor's
// menu), and XTest makes no motion towards where the pointer already is.
// The menu is opened with a click and the entry chosen with another:
// freeglut 3.4 ignores a release over an entry unless the window sits at
// the screen's origin, so press, drag and release fails in the Julia window.
::testing::AssertionResult openWindowMenu(XConnection& x, WindowId window, int px, int py, PopupMenu& menu)
{
    Rect r;
    if (!x.geometry(window, r)) return ::testing::AssertionFailure() << "the window vanished";
    x.movePointer(r.x + px + 1, r.y + py + 1);
    x.movePointer(r.x + px, r.y + py);
    x.click(3);  // released on the menu's corner, off every entry: it stays open
    std::string why;
    if (!x.findPopupMenu(2, saveTimeout, menu, &why)) return ::testing::AssertionFailure() << why;
    return ::testing::AssertionSuccess();
}

void choose(XConnection& x, const PopupMenu& menu, int entry)
{
    x.movePointer(menu.entries[entry].centreX(), menu.entries[entry].centreY());
    x.click(3);
}

::testing::AssertionResult chooseFromWindowMenu(XConnection& x, WindowId window, int px, int py, int entry)
{
    PopupMenu menu;
    const ::testing::AssertionResult opened = openWindowMenu(x, window, px, py, menu);
    if (opened) choose(x, menu, entry);
    return opened;
}

constexpr int saveEntry = 0;  // "Bild speichern", then "Exit"

bool waitForFile(const std::string& path, double timeoutSeconds)
{
    const double end = now() + timeoutSeconds;
    do {
        if (std::filesystem::exists(path)) return true;
        pause(0.05);
    } while (now() < end);
    return false;
}

bool waitForCalls(const ScriptedZenity& zenity, size_t count, double timeoutSeconds)
{
    const double end = now() + timeoutSeconds;
    do {
        if (zenity.calls().size() >= count) return true;
        pause(0.05);
    } while (now() < end);
    return false;
}

size_t occurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// An 8-bit RGB TIFF as a picture, row 0 at the top; empty (and `why` set)
// when the file is not one.
Image readRgbTiff(const std::string& path, std::string& why)
{
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "r"), TIFFClose);
    if (!tif) {
        why = "libtiff cannot open " + path;
        return {};
    }
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 0, photometric = 0, planar = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
    if (bits != 8 || samples != 3 || photometric != PHOTOMETRIC_RGB || planar != PLANARCONFIG_CONTIG) {
        why = "not contiguous 8-bit RGB: " + std::to_string(bits) + " bits, " + std::to_string(samples) +
              " samples, photometric " + std::to_string(photometric) + ", planar " + std::to_string(planar);
        return {};
    }
    Image image(static_cast<int>(width), static_cast<int>(height));
    for (uint32_t row = 0; row < height; ++row) {
        if (TIFFReadScanline(tif.get(), image.at(0, static_cast<int>(row)), row, 0) < 0) {
            why = "row " + std::to_string(row) + " cannot be read";
            return {};
        }
    }
    return image;
}

// Polls until the window shows `fractal` below the editor and returns that
// capture; empty on timeout.
Image waitForFractal(XConnection& x, WindowId w, const Image& fractal)
{
    const double end = now() + saveTimeout;
    do {
        Image captured = x.capture(w);
        if (compareImages(captured, fractal, 3, editorBottom).share() <= 0.01) return captured;
        pause(0.05);
    } while (now() < end);
    return {};
}

// The saved picture against the window it was taken from: below and right
// of the editor the very pixels the window shows; where the window shows
// the editor, the fractal it covers.
void expectScreenshotOf(const Image& saved, const Image& window, const Image& fractal, const std::string& name)
{
    ASSERT_EQ(saved.width, size) << name;
    ASSERT_EQ(saved.height, size) << name;
    const auto files = [&] {  // evaluated only for a failure's message
        return "\n  saved: " + saveForInspection(saved, name + "-saved") +
               "\n  window: " + saveForInspection(window, name + "-window");
    };
    const Difference below = compareImages(saved, window, 1, editorBottom);
    EXPECT_EQ(below.exceeding, 0) << name << " below the editor: " << below.describe() << files();
    long besideEditor = 0;
    for (int y = 0; y < editorBottom; ++y)
        for (int x = editorRight; x < size; ++x)
            for (int k = 0; k < 3; ++k)
                if (std::abs(int(saved.at(x, y)[k]) - int(window.at(x, y)[k])) > 1) ++besideEditor, k = 3;
    EXPECT_EQ(besideEditor, 0) << name << ": pixels right of the editor differ" << files();
    const Difference top = compareImages(saved, fractal, 3, 0, editorBottom);
    EXPECT_LE(top.share(), 0.01) << name << " under the editor: " << top.describe()
                                 << "\n  reference: " << saveForInspection(fractal, name + "-reference") << files();
}

TEST(Screenshot, SavesTheWindowsFractalWithoutTheEditor)
{
    ScriptedZenity zenity;
    TempFolder out;
    zenity.answer(out.file("mandelbrot"));  // ".tif" is added
    zenity.answer(out.file("julia.tif"));   // and not added twice
    XConnection x;
    Program program;
    std::string why;
    ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;

    // Pictures without the default views' mirror symmetry, so that rows
    // saved upside down show: a Julia constant off the real axis, then a
    // zoom off-centre. Where they should lie comes from the viewer's own
    // arithmetic.
    FractalWindow m;
    m.viewLeft = mandelbrotDefault.left, m.viewRight = mandelbrotDefault.right;
    m.viewBottom = mandelbrotDefault.bottom, m.viewTop = mandelbrotDefault.top;
    Rect r;
    ASSERT_TRUE(x.geometry(program.mandelbrot(), r));
    x.movePointer(r.x + 425, r.y + 321);
    x.movePointer(r.x + 424, r.y + 320);
    x.click(1);
    float cr, ci;
    ASSERT_TRUE(trackPointer(m, 424, 320));
    juliaConstantFromPointer(m, cr, ci);
    x.movePointer(r.x + 200, r.y + 600);
    x.wheel(true);
    ASSERT_TRUE(trackPointer(m, 200, 600));
    ASSERT_TRUE(zoomView(m, ZoomDirection::in) && zoomView(m, ZoomDirection::in));
    const View zoomed{m.viewLeft, m.viewRight, m.viewBottom, m.viewTop};
    const Image mandelbrotFractal = renderMandelbrot(zoomed, size, size, defaultColourTable(1));
    const Image juliaFractal = renderJulia(juliaDefault, size, size, cr, ci, defaultColourTable(2));
    const Image mandelbrotShown = waitForFractal(x, program.mandelbrot(), mandelbrotFractal);
    const Image juliaShown = waitForFractal(x, program.julia(), juliaFractal);
    ASSERT_FALSE(mandelbrotShown.empty()) << "the zoom did not show";
    ASSERT_FALSE(juliaShown.empty()) << "the new Julia constant did not show";

    ASSERT_TRUE(chooseFromWindowMenu(x, program.mandelbrot(), 400, 400, saveEntry));
    ASSERT_TRUE(waitForFile(out.file("mandelbrot.tif"), saveTimeout)) << program.output();
    EXPECT_TRUE(program.waitForOutput("\nmandelbrot screenshot", saveTimeout)) << program.output();
    Image saved = readRgbTiff(out.file("mandelbrot.tif"), why);
    ASSERT_FALSE(saved.empty()) << why;
    expectScreenshotOf(saved, mandelbrotShown, mandelbrotFractal, "screenshot-mandelbrot");

    ASSERT_TRUE(chooseFromWindowMenu(x, program.julia(), 400, 400, saveEntry));
    ASSERT_TRUE(waitForFile(out.file("julia.tif"), saveTimeout)) << program.output();
    EXPECT_TRUE(program.waitForOutput("\njulia screenshot", saveTimeout)) << program.output();
    saved = readRgbTiff(out.file("julia.tif"), why);
    ASSERT_FALSE(saved.empty()) << why;
    expectScreenshotOf(saved, juliaShown, juliaFractal, "screenshot-julia");

    // Each request asked once, starting in the viewer's working directory.
    const std::string folder = std::filesystem::canonical(program.directory()).string();
    const std::vector<std::string> expected = {"--file-selection", "--title=Bild speichern",
                                               "--file-filter=TIFF (*.tif) | *.tif", "--save",
                                               "--filename=" + folder + "/"};
    const auto calls = zenity.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], expected);
    EXPECT_EQ(calls[1], expected);
    const std::string output = program.output();
    EXPECT_EQ(occurrences(output, "\nmandelbrot screenshot"), 1u) << output;
    EXPECT_EQ(occurrences(output, "\njulia screenshot"), 1u) << output;
    // No temporary file left beside the pictures.
    EXPECT_EQ(out.entries(), (std::vector<std::string>{"julia.tif", "mandelbrot.tif"}));
    // Saving draws nothing new into either window.
    EXPECT_TRUE(x.waitForPicture(program.mandelbrot(), mandelbrotShown, saveTimeout));
    EXPECT_TRUE(x.waitForPicture(program.julia(), juliaShown, saveTimeout));
}

TEST(Screenshot, CancelledOrImpossibleSaveLeavesNoFileAndTheViewerGoesOn)
{
    ScriptedZenity zenity;
    TempFolder out;
    zenity.cancel();
    // A folder that does not exist cannot be written, not even by root.
    const std::string impossible = out.file("missing/bild");
    zenity.answer(impossible);
    zenity.answer(out.file("after.tif"));
    XConnection x;
    Program program;
    std::string why;
    ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;
    const auto workEntries = [&] {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(program.directory()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> workBefore = workEntries();

    ASSERT_TRUE(chooseFromWindowMenu(x, program.mandelbrot(), 400, 400, saveEntry));
    ASSERT_TRUE(waitForCalls(zenity, 1, saveTimeout));
    ASSERT_TRUE(chooseFromWindowMenu(x, program.julia(), 400, 400, saveEntry));
    const std::string message =
        "\nBild konnte nicht gespeichert werden: '" + impossible + ".tif' l\xC3\xA4sst sich nicht anlegen.";
    EXPECT_TRUE(program.waitForOutput(message, saveTimeout)) << program.output();
    EXPECT_TRUE(program.running());

    // The viewer still serves the next request; by then the earlier two
    // are long done.
    ASSERT_TRUE(chooseFromWindowMenu(x, program.mandelbrot(), 400, 400, saveEntry));
    ASSERT_TRUE(waitForFile(out.file("after.tif"), saveTimeout)) << program.output();
    EXPECT_EQ(zenity.calls().size(), 3u);
    EXPECT_EQ(out.entries(), std::vector<std::string>{"after.tif"});
    EXPECT_EQ(workEntries(), workBefore);

    program.typeKey(x, program.mandelbrot(), XK_Escape);
    EXPECT_EQ(program.waitForExit(exitTimeout), std::optional<int>(0)) << program.output();
    EXPECT_EQ(sanitizerReport(program.output()), "");
}

// A menu left open (a release off its entries keeps it open) while the
// pointer wanders into the other window, editor area included: motion there
// must not touch the menus, which freeglut punishes by ending the program.
TEST(Screenshot, WindowMenuLeftOpenSurvivesThePointerInTheOtherWindow)
{
    ScriptedZenity zenity;
    TempFolder out;
    zenity.answer(out.file("later.tif"));
    XConnection x;
    Program program;
    std::string why;
    ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;
    Rect julia;
    ASSERT_TRUE(x.geometry(program.julia(), julia));

    PopupMenu menu;
    ASSERT_TRUE(openWindowMenu(x, program.mandelbrot(), 400, 400, menu));
    for (const auto& at : {std::pair{400, 400}, std::pair{300, 20}, std::pair{35, 20}, std::pair{600, 700}})
        x.movePointer(julia.x + at.first, julia.y + at.second);
    // Still open, and still the way to a screenshot.
    choose(x, menu, saveEntry);
    EXPECT_TRUE(waitForFile(out.file("later.tif"), saveTimeout)) << program.output();
    EXPECT_TRUE(program.running()) << program.output();
    EXPECT_EQ(occurrences(program.output(), "\nmandelbrot screenshot"), 1u) << program.output();
}

}  // namespace
}  // namespace fx
