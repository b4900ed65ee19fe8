// The colour editor as a user works it: markers dragged with the left
// button, the context menus, the colour dialog, a .tfc file carried from one
// window to the other, and where the right button gives the window menu
// instead. Every expected picture comes from the CPU reference fed with a
// colour table that the model itself builds from the same edits.
#include "support/gestures.h"
#include "support/scripted_zenity.h"

#include <X11/keysym.h>

#include <algorithm>
#include <filesystem>

namespace fx {
namespace {

using Calls = std::vector<std::vector<std::string>>;

TEST(Editor, DragMenusDialogsAndFilesInTheJuliaWindow)
{
    ScriptedZenity zenity;  // first: the program inherits the PATH that puts it in front
    TempFolder files;
    zenity.answer("rgb(0,128,255)");
    zenity.cancel();
    zenity.answer(files.file("colours"));  // ".tfc" is added
    zenity.answer(files.file("colours.tfc"));
    // Exactly mid grey counts as light, so its marker gets a black ring.
    TempFolder elsewhere;
    TransferFunction grey = defaults(1);
    grey.addPoint(0.5f, 0.5f, 0.5f, 0.5f);
    ASSERT_TRUE(writeFile(elsewhere.file("grey.tfc"), encodeTfc(grey.points)));
    zenity.answer(elsewhere.file("grey.tfc"));
    XConnection x;
    Program program;
    ASSERT_TRUE(program.ready(x));
    const WindowId m = program.mandelbrot(), j = program.julia();
    TransferFunction expected = defaults(2);
    auto showsJulia = [&](const std::string& name) {
        return shows(x, j, withEditor(renderJulia(juliaHome, 0, 0, expected.colourTable), expected), name);
    };

    // The end points (columns 10 and 522) stay put; were either to move,
    // the pictures below would not match.
    drag(x, j, markerRow, 10, 200);
    drag(x, j, markerRow, 521, 300);
    // The yellow point (0.05, marker at column 35) dragged past the bar
    // stops 1/256 short of the last point.
    drag(x, j, markerRow, 35, 700);
    expected.points[1].x = 1.0f - 1.0f / 256;
    expected.rebuild();
    EXPECT_TRUE(showsJulia("drag-to-the-right-limit"));
    // From its new marker (column 520; the last point is within reach too,
    // the lower index wins) back to column 300.
    drag(x, j, markerRow, 520, 300);
    expected.points[1].x = columnX(300);
    expected.rebuild();
    EXPECT_TRUE(showsJulia("drag-back"));

    // Column 200 is far from every point: the background menu, whose first
    // entry sets a white point there.
    ASSERT_TRUE(chooseFromMenu(x, program, j, 200, markerRow, 3, 0));
    expected.addPoint(columnX(200), 1, 1, 1);
    EXPECT_TRUE(showsJulia("added-point"));
    // "Farbe ändern" on the yellow point: the dialog starts from its colour
    // and its answer colours the picture.
    ASSERT_TRUE(chooseFromMenu(x, program, j, 300, markerRow, 2, 0));
    expected.points[2].red = 0;
    expected.points[2].green = 128 / 255.0f;
    expected.points[2].blue = 1;
    expected.rebuild();
    EXPECT_TRUE(showsJulia("recoloured-point"));
    // Again, cancelled: the dialog starts from the new colour and the point
    // keeps it (the picture after the deletion shows it).
    ASSERT_TRUE(chooseFromMenu(x, program, j, 300, markerRow, 2, 0));
    ASSERT_TRUE(waitFor([&] { return zenity.calls().size() == 2; }, stepTimeout));
    // "Kontrollpunkt löschen" on the white point.
    ASSERT_TRUE(chooseFromMenu(x, program, j, 200, markerRow, 2, 1));
    expected.removePoint(1);
    expected.rebuild();
    EXPECT_TRUE(showsJulia("deleted-point"));

    // Saved from the Julia window, loaded into the Mandelbrot window.
    ASSERT_TRUE(chooseFromMenu(x, program, j, 400, markerRow, 3, 2));
    const std::string path = files.file("colours.tfc");
    EXPECT_TRUE(program.waitForOutput("- Saving file '" + path + "'...- File saved.")) << program.output();
    ASSERT_TRUE(chooseFromMenu(x, program, m, 300, markerRow, 3, 1));
    EXPECT_TRUE(program.waitForOutput("- Loading file '" + path + "'...- File loaded.")) << program.output();
    EXPECT_TRUE(shows(x, m, withEditor(renderMandelbrot(mandelbrotHome, expected.colourTable), expected),
                      "mandelbrot-with-julia-colours"));
    EXPECT_TRUE(showsJulia("julia-after-saving"));
    // Nothing but the file itself: the temporary file it was written to is gone.
    EXPECT_EQ(files.entries(), std::vector<std::string>{"colours.tfc"});
    ASSERT_TRUE(chooseFromMenu(x, program, m, 150, markerRow, 3, 1));
    // The marker at column 266 (x = 0.5): a black ring around the grey fill.
    auto greyMarker = [&] {
        const Image image = x.capture(m);
        for (int i = 0; i < 10; ++i) {
            for (const std::uint8_t* ring : {image.at(261 + i, 15), image.at(261 + i, 24), image.at(261, 15 + i),
                                             image.at(270, 15 + i)}) {
                if (ring[0] || ring[1] || ring[2]) return false;
            }
        }
        const std::uint8_t* fill = image.at(266, 20);
        return std::abs(fill[0] - 127.5) < 1 && std::abs(fill[1] - 127.5) < 1 && std::abs(fill[2] - 127.5) < 1;
    };
    EXPECT_TRUE(waitFor(greyMarker, stepTimeout)) << "no black-ringed grey marker at x = 0.5";

    // Each "Farbe ändern" opened the dialog once, not once per pass, and
    // the file dialogs start in the working directory.
    pause(1.0);
    const std::string folder = std::filesystem::canonical(program.directory()).string() + "/";
    const std::string filter = "--file-filter=Transferfunktion (*.tfc) | *.tfc";
    EXPECT_EQ(zenity.calls(),
              (Calls{{"--color-selection", "--color=rgb(255,255,0)"},
                     {"--color-selection", "--color=rgb(0,128,255)"},
                     {"--file-selection", "--title=Transferfunktion speichern", filter, "--save", "--filename=" + folder},
                     {"--file-selection", "--title=Datensatz \xC3\xB6" "ffnen", filter, "--filename=" + folder},
                     {"--file-selection", "--title=Datensatz \xC3\xB6" "ffnen", filter, "--filename=" + folder}}));

    // Where the right button gives the window menu: each choice opens a
    // dialog (cancelled: nothing more is queued) whose arguments tell which
    // menu it came from.
    struct Case {
        int x, y, entries, index;
        std::string telltale;
    };
    const Case cases[] = {
        {400, 400, 2, 0, "--title=Bild speichern"},
        {100, 35, 2, 0, "--title=Bild speichern"},  // the row below the area
        {527, 20, 2, 0, "--title=Bild speichern"},  // the column right of it
        {100, 34, 3, 2, "--title=Transferfunktion speichern"},
        {526, 20, 1, 0, "--color=rgb(0,0,0)"},  // within reach of the last point
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("right button at (" + std::to_string(c.x) + ", " + std::to_string(c.y) + ")");
        const size_t before = zenity.calls().size();
        ASSERT_TRUE(chooseFromMenu(x, program, j, c.x, c.y, c.entries, c.index));
        ASSERT_TRUE(waitFor([&] { return zenity.calls().size() > before; }, stepTimeout));
        const std::vector<std::string> call = zenity.calls().back();
        EXPECT_NE(std::find(call.begin(), call.end(), c.telltale), call.end()) << ::testing::PrintToString(call);
    }
    pause(1.0);
    EXPECT_EQ(zenity.calls().size(), 10u);
    EXPECT_EQ(occurrences(program.output(), "\njulia screenshot"), 3u) << program.output();
    EXPECT_EQ(occurrences(program.output(), "\nmandelbrot screenshot"), 0u) << program.output();

    x.typeKey(m, XK_Escape);
    EXPECT_TRUE(program.endsCleanly());
}

}  // namespace
}  // namespace fx
