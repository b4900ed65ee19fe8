// The colour editor as a user works it: markers dragged with the left
// button, the context menus, the colour dialog, a .tfc file carried from one
// window to the other, and where the right button gives the window menu
// instead. Every expected picture comes from the CPU reference fed with a
// colour table that the model itself builds from the same edits.
#include "support/gestures.h"
#include "support/program.h"
#include "support/reference.h"
#include "support/scripted_zenity.h"
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace fx {
namespace {

constexpr double startTimeout = 90;
constexpr double stepTimeout = 60;
constexpr int markerRow = 20;

const View mandelbrotView{-2.0f, 1.0f, -1.5f, 1.5f};
const View juliaView{-2.0f, 2.0f, -2.0f, 2.0f};

using Calls = std::vector<std::vector<std::string>>;

// The editor x of a window column.
float columnX(int column) { return static_cast<float>(column - 10) / 512.0f; }

TransferFunction defaults(int windowNumber)
{
    TransferFunction tf;
    tf.initialiseModel(windowNumber);
    return tf;
}

Image juliaPicture(const TransferFunction& tf) { return renderJulia(juliaView, 800, 800, 0, 0, tf.colourTable); }

bool waitForCalls(const ScriptedZenity& zenity, size_t count, double timeoutSeconds)
{
    const double end = now() + timeoutSeconds;
    while (zenity.calls().size() < count && now() < end) pause(0.05);
    return zenity.calls().size() >= count;
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = std::make_unique<Program>();
        std::string why;
        ASSERT_TRUE(program->waitUntilReady(x, startTimeout, &why)) << why;
        ASSERT_TRUE(x.geometry(program->mandelbrot(), mandelbrot));
        ASSERT_TRUE(x.geometry(program->julia(), julia));
    }

    void TearDown() override
    {
        if (program) {
            EXPECT_EQ(sanitizerReport(program->output()), "");
        }
    }

    void expectJulia(const TransferFunction& tf, const std::string& name)
    {
        const Image expected = juliaPicture(tf);
        EXPECT_TRUE(looksRight(waitForLook(x, program->julia(), expected, tf, stepTimeout), expected, name));
    }

    // Declared first: the program inherits the PATH that puts it in front.
    ScriptedZenity zenity;
    XConnection x;
    std::unique_ptr<Program> program;
    Rect mandelbrot;
    Rect julia;
};

TEST_F(EditorTest, DragMovesAnInnerPointBetweenItsNeighboursAndNeverAnEndPoint)
{
    // The end points (columns 10 and 522) stay put; were either to move,
    // the pictures below would not match.
    drag(x, julia, markerRow, 10, 200);
    drag(x, julia, markerRow, 521, 300);

    // The yellow point (0.05, marker at column 35) dragged past the bar
    // stops 1/256 short of the last point.
    TransferFunction expected = defaults(2);
    drag(x, julia, markerRow, 35, 700);
    expected.points[1].x = 1.0f - 1.0f / 256;
    expected.rebuild();
    expectJulia(expected, "drag-to-the-right-limit");

    // From its new marker (column 520; the last point is within reach too,
    // the lower index wins) back to the release column.
    drag(x, julia, markerRow, 520, 300);
    expected.points[1].x = columnX(300);
    expected.rebuild();
    expectJulia(expected, "drag-back");
}

TEST_F(EditorTest, ContextMenuAddsRecoloursAndDeletesPoints)
{
    zenity.answer("rgb(0,128,255)");
    zenity.cancel();
    std::string why;
    TransferFunction expected = defaults(2);

    // Column 200 is far from every point: the background menu, whose first
    // entry sets a white point there.
    ASSERT_TRUE(chooseFromMenu(x, *program, julia, 200, markerRow, 3, 0, stepTimeout, &why)) << why;
    expected.addPoint(columnX(200), 1, 1, 1);
    expectJulia(expected, "added-point");

    // "Farbe ändern" on the yellow point: the dialog starts from its colour
    // and its answer colours the picture.
    ASSERT_TRUE(chooseFromMenu(x, *program, julia, 35, markerRow, 2, 0, stepTimeout, &why)) << why;
    expected.points[1].red = 0;
    expected.points[1].green = 128 / 255.0f;
    expected.points[1].blue = 1;
    expected.rebuild();
    expectJulia(expected, "recoloured-point");

    // Again, cancelled: the dialog now starts from the new colour and the
    // point keeps it (the picture after the deletion would show otherwise).
    ASSERT_TRUE(chooseFromMenu(x, *program, julia, 35, markerRow, 2, 0, stepTimeout, &why)) << why;
    ASSERT_TRUE(waitForCalls(zenity, 2, stepTimeout));

    // "Kontrollpunkt löschen" on the white point.
    ASSERT_TRUE(chooseFromMenu(x, *program, julia, 200, markerRow, 2, 1, stepTimeout, &why)) << why;
    expected.removePoint(2);
    expected.rebuild();
    expectJulia(expected, "deleted-point");

    // Each "Farbe ändern" opened the dialog once, not once per pass.
    pause(1.0);
    EXPECT_EQ(zenity.calls(), (Calls{{"--color-selection", "--color=rgb(255,255,0)"},
                                     {"--color-selection", "--color=rgb(0,128,255)"}}));
}

TEST_F(EditorTest, TransferFunctionSavedInOneWindowLoadsIntoTheOther)
{
    TempFolder files;
    const std::string path = files.file("colours.tfc");
    zenity.answer(files.file("colours"));  // the extension is added
    zenity.answer(path);
    std::string why;

    ASSERT_TRUE(chooseFromMenu(x, *program, julia, 300, markerRow, 3, 2, stepTimeout, &why)) << why;
    EXPECT_TRUE(program->waitForOutput("- Saving file '" + path + "'...- File saved.", stepTimeout))
        << program->output();
    ASSERT_TRUE(chooseFromMenu(x, *program, mandelbrot, 300, markerRow, 3, 1, stepTimeout, &why)) << why;
    EXPECT_TRUE(program->waitForOutput("- Loading file '" + path + "'...- File loaded.", stepTimeout))
        << program->output();

    const TransferFunction loaded = defaults(2);
    const Image expected = renderMandelbrot(mandelbrotView, 800, 800, loaded.colourTable);
    const Look look = waitForLook(x, program->mandelbrot(), expected, loaded, stepTimeout);
    EXPECT_TRUE(looksRight(look, expected, "mandelbrot-with-julia-colours"));
    EXPECT_TRUE(colourBar(look.captured) == colourBar(x.capture(program->julia())))
        << "the bars differ: " << saveForInspection(look.captured, "mandelbrot-with-julia-colours");

    const std::string folder = std::filesystem::canonical(program->directory()).string() + "/";
    const std::string filter = "--file-filter=Transferfunktion (*.tfc) | *.tfc";
    const Calls expectedCalls = {
        {"--file-selection", "--title=Transferfunktion speichern", filter, "--save", "--filename=" + folder},
        {"--file-selection", "--title=Datensatz \xC3\xB6" "ffnen", filter, "--filename=" + folder}};
    EXPECT_EQ(zenity.calls(), expectedCalls);
    // Nothing but the file itself: the temporary file it was written to is gone.
    EXPECT_EQ(files.entries(), std::vector<std::string>{"colours.tfc"});
}

TEST_F(EditorTest, RightButtonGivesTheWindowMenuOnlyOutsideTheEditorArea)
{
    // Each choice opens a dialog (cancelled: nothing is queued) whose
    // arguments tell which menu it came from.
    struct Case {
        int x, y;
        int entries, index;
        std::string telltale;
    };
    const Case cases[] = {
        {400, 400, 2, 0, "--title=Bild speichern"},
        {100, 35, 2, 0, "--title=Bild speichern"},  // the row below the area
        {527, 20, 2, 0, "--title=Bild speichern"},  // the column right of it
        {100, 34, 3, 2, "--title=Transferfunktion speichern"},
        {526, 20, 1, 0, "--color=rgb(0,0,0)"},  // within reach of the last point
    };
    size_t expectedCalls = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("right button at (" + std::to_string(c.x) + ", " + std::to_string(c.y) + ")");
        std::string why;
        ASSERT_TRUE(chooseFromMenu(x, *program, julia, c.x, c.y, c.entries, c.index, stepTimeout, &why)) << why;
        ASSERT_TRUE(waitForCalls(zenity, ++expectedCalls, stepTimeout));
        const std::vector<std::string> call = zenity.calls().back();
        EXPECT_NE(std::find(call.begin(), call.end(), c.telltale), call.end()) << ::testing::PrintToString(call);
    }
    pause(1.0);
    EXPECT_EQ(zenity.calls().size(), expectedCalls);

    const std::string out = program->output();
    int screenshots = 0;
    const std::string announced = "\njulia screenshot";
    for (size_t at = out.find(announced); at != std::string::npos; at = out.find(announced, at + 1)) ++screenshots;
    EXPECT_EQ(screenshots, 3) << out;
    EXPECT_EQ(out.find("mandelbrot screenshot"), std::string::npos) << out;
}

}  // namespace
}  // namespace fx
