// "Bild speichern" from the window menu: the save dialog it asks, the TIFF
// it writes (the window's fractal without the editor), a cancelled or
// impossible save that leaves nothing behind and the viewer running, and a
// menu left open while the pointer moves on.
#include "support/gestures.h"
#include "support/scripted_zenity.h"

#include <X11/keysym.h>

#include <algorithm>
#include <filesystem>

namespace fx {
namespace {

std::vector<std::string> entriesOf(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Screenshot, SavedCancelledImpossibleAndFromAMenuLeftOpen)
{
    ScriptedZenity zenity;  // first: the program inherits the PATH that puts it in front
    TempFolder out;
    zenity.answer(out.file("mandelbrot"));  // ".tif" is added
    zenity.answer(out.file("julia.tif"));   // and not added twice
    zenity.cancel();
    // A folder that does not exist cannot be written, not even by root.
    const std::string impossible = out.file("missing/bild");
    zenity.answer(impossible);
    zenity.answer(out.file("later.tif"));
    XConnection x;
    Program program;
    ASSERT_TRUE(program.ready(x));
    const WindowId m = program.mandelbrot(), j = program.julia();
    const std::vector<std::string> workBefore = entriesOf(program.directory());

    // Pictures without the default views' mirror symmetry, so that rows
    // saved upside down show: a Julia constant off the real axis, then a
    // zoom off-centre.
    hover(x, m, 424, 320);
    x.click(1);
    float cr, ci;
    constantAt(mandelbrotHome, 424, 320, cr, ci);
    hover(x, m, 200, 600);
    x.wheel(true);
    const Image mandelbrotFractal =
        renderMandelbrot(afterNotches(mandelbrotHome, 200, 600, ZoomDirection::in), defaults(1).colourTable);
    const Image juliaFractal = renderJulia(juliaHome, cr, ci, defaults(2).colourTable);
    ASSERT_TRUE(showsFractal(x, m, mandelbrotFractal, "zoomed-mandelbrot"));
    ASSERT_TRUE(showsFractal(x, j, juliaFractal, "julia-of-the-click"));
    ASSERT_TRUE(waitUntilIdle(program));
    const Image mandelbrotShown = x.capture(m), juliaShown = x.capture(j);

    // The saved picture against the window: outside the editor the very
    // pixels the window shows; under the editor, the fractal it covers.
    auto expectSaved = [&](WindowId w, const std::string& file, const Image& shown, const Image& fractal) {
        ASSERT_TRUE(chooseFromMenu(x, program, w, 400, 400, 2, 0));
        ASSERT_TRUE(waitForFile(file)) << program.output();
        const Image saved = readTiff(file);
        ASSERT_EQ(saved.width, 800) << file;
        ASSERT_EQ(saved.height, 800) << file;
        const Difference under = compareImages(saved, fractal, 3, 0, editorBottom);
        EXPECT_TRUE(under.similar()) << file << " under the editor: " << under.describe();
        Image outside = saved;
        for (int y = 0; y < editorBottom; ++y) std::copy_n(shown.at(0, y), editorRight * 3, outside.at(0, y));
        const Difference rest = compareImages(outside, shown, 1);
        EXPECT_EQ(rest.exceeding, 0) << file << " outside the editor: " << rest.describe()
                                     << "\n  saved: " << savePicture(saved, "saved")
                                     << "\n  window: " << savePicture(shown, "window");
    };
    expectSaved(m, out.file("mandelbrot.tif"), mandelbrotShown, mandelbrotFractal);
    expectSaved(j, out.file("julia.tif"), juliaShown, juliaFractal);
    // Saving draws nothing new into either window.
    EXPECT_TRUE(waitFor([&] { return x.capture(m) == mandelbrotShown && x.capture(j) == juliaShown; }, stepTimeout));

    // Cancelled in one window, impossible in the other.
    ASSERT_TRUE(chooseFromMenu(x, program, m, 400, 400, 2, 0));
    ASSERT_TRUE(waitFor([&] { return zenity.calls().size() == 3; }, stepTimeout));
    ASSERT_TRUE(chooseFromMenu(x, program, j, 400, 400, 2, 0));
    EXPECT_TRUE(program.waitForOutput("\nBild konnte nicht gespeichert werden: '" + impossible +
                                      ".tif' l\xC3\xA4sst sich nicht anlegen."))
        << program.output();

    // A menu left open while the pointer wanders into the other window,
    // editor area included: motion there must not touch the menus, which
    // freeglut punishes by ending the program. The menu still leads to a
    // screenshot.
    PopupMenu menu;
    ASSERT_TRUE(openMenu(x, program, m, 400, 400, 2, menu));
    Rect jr;
    ASSERT_TRUE(x.geometry(j, jr));
    for (const auto& [wx, wy] : {std::pair{400, 400}, {300, 20}, {35, 20}, {600, 700}})
        x.movePointer(jr.x + wx, jr.y + wy);
    ASSERT_TRUE(chooseEntry(x, menu, 0));
    EXPECT_TRUE(waitForFile(out.file("later.tif"))) << program.output();

    // Each request asked once, starting in the viewer's working directory;
    // no file but the three pictures, and no temporary file anywhere.
    const std::string folder = std::filesystem::canonical(program.directory()).string() + "/";
    const std::vector<std::string> asked = {"--file-selection", "--title=Bild speichern",
                                            "--file-filter=TIFF (*.tif) | *.tif", "--save", "--filename=" + folder};
    EXPECT_EQ(zenity.calls(), std::vector<std::vector<std::string>>(5, asked));
    EXPECT_EQ(occurrences(program.output(), "\nmandelbrot screenshot"), 3u) << program.output();
    EXPECT_EQ(occurrences(program.output(), "\njulia screenshot"), 2u) << program.output();
    EXPECT_EQ(out.entries(), (std::vector<std::string>{"julia.tif", "later.tif", "mandelbrot.tif"}));
    EXPECT_EQ(entriesOf(program.directory()), workBefore);

    x.typeKey(m, XK_Escape);
    EXPECT_TRUE(program.endsCleanly());
}

}  // namespace
}  // namespace fx
