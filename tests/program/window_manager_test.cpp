// The menus on a desktop, where openbox puts each window below a title bar
// and freeglut on its own picks the wrong entry (or none) on a release and
// leaves a new menu blank (app/menu_workaround.cpp): press-drag-release on
// editor and window menus in both windows, each judged by what it does; a
// plain click, which leaves the menu open, and a press below it, which
// closes it; neither may pick anything.
#include "support/gestures.h"

namespace fx {
namespace {

TEST(WindowManager, MenusPickTheEntryUnderThePointerOnRelease)
{
    // An X server with openbox for this test alone (scripts/test).
    const char* desktop = std::getenv("FRAKTALE_WM_DISPLAY");
    ASSERT_TRUE(desktop && *desktop) << "FRAKTALE_WM_DISPLAY names no X server with openbox";
    setenv("DISPLAY", desktop, 1);
    ScriptedZenity zenity;
    TempFolder out;
    zenity.answer(out.file("julia"));       // "Transferfunktion speichern"; ".tfc" is added
    zenity.answer(out.file("mandelbrot"));  // "Bild speichern"; ".tif" is added
    XConnection x;
    ASSERT_TRUE(waitFor([&] { return x.managed(); }, startTimeout)) << "no window manager on " << desktop;
    Program program;
    ASSERT_TRUE(program.ready(x));
    const WindowId m = program.mandelbrot(), j = program.julia();
    Rect mr, jr;
    ASSERT_TRUE(x.geometry(m, mr) && x.geometry(j, jr));
    ASSERT_TRUE(mr.y > 0 && jr.y > 0) << "not framed";

    // Mandelbrot editor, over empty bar space: "Neuen Kontrollpunkt setzen".
    ASSERT_TRUE(pickByDrag(x, program, m, 200, markerRow, 3, 0));
    TransferFunction expected = defaults(1);
    expected.addPoint(columnX(200), 1, 1, 1);
    EXPECT_TRUE(shows(x, m, withEditor(renderMandelbrot(mandelbrotHome, expected.colourTable), expected),
                      "point-added-by-drag"));

    // Julia editor: "Transferfunktion speichern", the third entry.
    ASSERT_TRUE(pickByDrag(x, program, j, 200, markerRow, 3, 2));
    ASSERT_TRUE(waitForFile(out.file("julia.tfc"))) << program.output();
    EXPECT_EQ(readFile(out.file("julia.tfc")), encodeTfc(defaults(2).points));

    // On its own, freeglut takes a press below the menu for one on the
    // entry a title bar's height above it.
    PopupMenu menu;
    ASSERT_TRUE(openMenu(x, program, m, 400, 400, 2, menu));
    x.movePointer(menu.frame.centreX(), menu.frame.y + menu.frame.height + 8);
    x.click(2);
    ASSERT_TRUE(closes(x, menu)) << "a press below the menu left it open";
    pause(0.5);
    ASSERT_TRUE(program.running()) << "a press below the menu chose \"Exit\"";
    EXPECT_EQ(zenity.calls().size(), 1u) << "the click or the press below the menu chose \"Bild speichern\"";

    // "Bild speichern" in the Mandelbrot window, "Exit" in the Julia window.
    ASSERT_TRUE(pickByDrag(x, program, m, 400, 400, 2, 0));
    ASSERT_TRUE(waitForFile(out.file("mandelbrot.tif"))) << program.output();
    EXPECT_EQ(readTiff(out.file("mandelbrot.tif")).width, 800);
    ASSERT_TRUE(pickByDrag(x, program, j, 400, 400, 2, 1));
    EXPECT_TRUE(program.endsCleanly());
}

}  // namespace
}  // namespace fx
