// A session from start to "Exit": zoom, a Julia constant, the Julia editor
// (add, recolour, a cancelled recolour, delete), its transfer function saved
// and loaded into the other window, one from elsewhere, a picture of each
// window (again: cancelled, impossible). Pictures are judged against the
// reference fed with the table the model builds from the same edits. On
// openbox, below whose title bars freeglut alone picks wrong menu entries
// and leaves new menus blank (app/menu_workaround.cpp): menus are chosen by
// both gestures, and a press below an open one must choose nothing.
#include "support/gestures.h"

namespace fx {
namespace {

TEST(Journey, EditSaveLoadAndSavePicturesOnADesktop)
{
    ScriptedZenity zenity;  // first: the program inherits the PATH that puts it in front
    TempFolder files, elsewhere;
    // Exactly mid grey counts as light, so its marker gets a black ring.
    TransferFunction grey = defaults(1);
    grey.addPoint(0.5f, 0.5f, 0.5f, 0.5f);
    ASSERT_TRUE(writeFile(elsewhere.file("grey.tfc"), encodeTfc(grey.points)));
    const std::string impossible = files.file("missing/bild");
    for (const std::string& answer : {std::string("rgb(0,128,255)"), std::string("CANCEL"), files.file("julia"),
                                      files.file("julia.tfc"), elsewhere.file("grey.tfc"), files.file("mandelbrot"),
                                      files.file("julia-1.tif"), std::string("CANCEL"), impossible})
        zenity.answer(answer);

    // Two wheel notches over the seahorse valley, then a click beside it:
    // no picture is symmetric, so rows saved upside down show.
    const View mandelbrotView = afterNotches(mandelbrotHome, 333, 373, ZoomDirection::in, 2);
    float cr, ci;
    constantAt(mandelbrotView, 360, 390, cr, ci);
    TransferFunction colours = defaults(2);
    auto julia = [&] { return renderJulia(juliaHome, cr, ci, colours.colourTable); };
    const std::string desktop = std::getenv("FRAKTALE_WM_DISPLAY") ?: "";
    ASSERT_FALSE(desktop.empty()) << "FRAKTALE_WM_DISPLAY names no X server with openbox (scripts/test starts one)";
    setenv("DISPLAY", desktop.c_str(), 1);
    XConnection x;
    Program program;
    ASSERT_TRUE(program.ready(x));
    const WindowId m = program.mandelbrot(), j = program.julia();
    ASSERT_TRUE(x.where(m).y > 0 && x.where(j).y > 0) << "no window manager framed the windows on " << desktop;
    hover(x, m, 333, 373);
    x.wheel(true);
    x.wheel(true);
    hover(x, m, 360, 390);
    x.click(1);
    auto showsJulia = [&](const std::string& name) { return shows(x, program, j, withEditor(julia(), colours), name); };
    // Column 200, far from every point: the background menu's "add".
    ASSERT_TRUE(chooseFromMenu(x, program, j, 200, markerRow, 3, 0, byDrag));
    colours.addPoint(columnX(200), 1, 1, 1);
    EXPECT_TRUE(showsJulia("added-point"));
    // "Farbe ändern" on the yellow point, answered; then again, cancelled.
    ASSERT_TRUE(chooseFromMenu(x, program, j, 35, markerRow, 2, 0));
    colours.points[1].red = 0, colours.points[1].green = 128 / 255.0f, colours.points[1].blue = 1;
    colours.rebuild();
    EXPECT_TRUE(showsJulia("recoloured-point"));
    ASSERT_TRUE(chooseFromMenu(x, program, j, 35, markerRow, 2, 0));
    ASSERT_TRUE(program.settles([&] { return zenity.calls().size() == 2; }));
    // "Kontrollpunkt löschen" on the white point.
    ASSERT_TRUE(chooseFromMenu(x, program, j, 200, markerRow, 2, 1));
    colours.removePoint(2);
    colours.rebuild();
    EXPECT_TRUE(showsJulia("deleted-point"));

    // Saved from the Julia window (".tfc" added), loaded into the other; then the grey file.
    ASSERT_TRUE(chooseFromMenu(x, program, j, 400, markerRow, 3, 2, byDrag));
    EXPECT_TRUE(program.waitForOutput("- Saving file '" + files.file("julia.tfc") + "'...- File saved."));
    ASSERT_TRUE(chooseFromMenu(x, program, m, 300, markerRow, 3, 1));
    EXPECT_TRUE(program.waitForOutput("- Loading file '" + files.file("julia.tfc") + "'...- File loaded."));
    EXPECT_TRUE(shows(x, program, m, withEditor(renderMandelbrot(mandelbrotView, colours.colourTable), colours),
                      "mandelbrot-with-julia-colours"));
    ASSERT_TRUE(chooseFromMenu(x, program, m, 150, markerRow, 3, 1));
    EXPECT_TRUE(shows(x, program, m, withEditor(renderMandelbrot(mandelbrotView, grey.colourTable), grey), "grey"));
    EXPECT_TRUE(showsJulia("julia-after-it-all"));
    ASSERT_TRUE(program.idle());
    const Image mandelbrotShown = x.capture(m), juliaShown = x.capture(j);

    // A saved picture: the window's very pixels, but the fractal under the editor.
    auto expectSaved = [&](WindowId w, const std::string& file, const Image& shown, const Image& fractal) {
        ASSERT_TRUE(chooseFromMenu(x, program, w, 400, 400, 2, 0, byDrag));
        ASSERT_TRUE(program.settles([&] { return std::filesystem::exists(file); })) << program.output();
        Expected e{shown, std::vector<std::uint8_t>(shown.rgb.size() / 3, 1)};
        for (int y = 0; y < editorBottom; ++y) {
            std::copy_n(fractal.at(0, y), editorRight * 3, e.picture.at(0, y));
            std::fill_n(&e.tolerance[size_t(y) * shown.width], editorRight, Expected::fractal);
        }
        const Mismatches saved = compareWindow(readTiff(file), e);
        EXPECT_TRUE(saved.within(0.01)) << file << ": " << saved.editor << " pixels off outside the editor, "
                                        << saved.fractal[0] << " under it";
    };
    expectSaved(m, files.file("mandelbrot.tif"), mandelbrotShown, renderMandelbrot(mandelbrotView, grey.colourTable));
    expectSaved(j, files.file("julia-1.tif"), juliaShown, julia());
    // Saving draws nothing new into either window.
    EXPECT_TRUE(program.settles([&] { return x.capture(m) == mandelbrotShown && x.capture(j) == juliaShown; }));
    // Cancelled in one window, impossible in the other.
    ASSERT_TRUE(chooseFromMenu(x, program, m, 400, 400, 2, 0));
    ASSERT_TRUE(chooseFromMenu(x, program, j, 400, 400, 2, 0));
    EXPECT_TRUE(program.waitForOutput("\nBild konnte nicht gespeichert werden: '" + impossible +
                                      ".tif' l\xC3\xA4sst sich nicht anlegen."));
    // freeglut alone takes this for a press a title bar's height higher.
    PopupMenu menu;
    ASSERT_TRUE(openMenu(x, program, m, 400, 400, 2, menu));
    x.movePointer(menu.frame.centreX(), menu.frame.y + menu.frame.height + 8);
    x.click(2);
    ASSERT_TRUE(closes(x, program, menu)) << "a press below the menu left it open";
    pause(0.5);
    EXPECT_TRUE(program.running() && zenity.calls().size() == 9u) << "a press below the menu chose an entry";
    ASSERT_TRUE(chooseFromMenu(x, program, j, 400, 400, 2, 1, byDrag));
    EXPECT_TRUE(program.endsCleanly());
    // Which window each screenshot message named, in order.
    std::string shots, out = program.output();
    for (size_t at = out.find(" screenshot"); at != std::string::npos; at = out.find(" screenshot", at + 1))
        shots += out[out.rfind('\n', at) + 1];
    EXPECT_EQ(shots, "mjmj") << out;
    // Each with the options that reopen both windows where they were.
    EXPECT_NE(out.find("\nmandelbrot screenshot\nOrt: fraktale --mandelbrot "), std::string::npos) << out;
    // Nothing in the working directory but the shaders: no temporary file.
    for (const auto& entry : std::filesystem::directory_iterator(program.directory()))
        EXPECT_EQ(entry.path().extension(), ".glsl") << entry.path();
    EXPECT_EQ(files.entries(), (std::vector<std::string>{"julia-1.tif", "julia.tfc", "mandelbrot.tif"}));
    // Each dialog once, from the working directory or the point's colour.
    const std::string start = "--filename=" + std::filesystem::canonical(program.directory()).string() + "/",
                      tfc = "--file-filter=Transferfunktion (*.tfc) | *.tfc";
    const std::vector<std::string> load = {"--file-selection", "--title=Datensatz \xC3\xB6" "ffnen", tfc, start},
        save = {"--file-selection", "--title=Transferfunktion speichern", tfc, "--save", start},
        picture = {"--file-selection", "--title=Bild speichern", "--file-filter=TIFF (*.tif) | *.tif", "--save", start};
    EXPECT_EQ(zenity.calls(), (std::vector<std::vector<std::string>>{
                                  {"--color-selection", "--color=rgb(255,255,0)"},
                                  {"--color-selection", "--color=rgb(0,128,255)"},
                                  save, load, load, picture, picture, picture, picture}));
}

}  // namespace
}  // namespace fx
