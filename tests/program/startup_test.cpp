// The viewer from its start to its end as a user sees it: the two windows,
// their first pictures, a start without shader files, Esc, and an idle
// program that leaves the processor alone.
#include "support/program.h"
#include "support/reference.h"
#include "support/x11.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace fx {
namespace {

// Generous: an ASan build under llvmpipe on a loaded two-core machine.
constexpr double startTimeout = 90;
constexpr double exitTimeout = 30;

// The editor overlay covers the top rows of every window; the fractal is
// compared below it.
constexpr int firstFractalRow = 41;
constexpr int tolerance = 3;
constexpr double allowedShare = 0.01;

const View mandelbrotDefaultView{-2.0f, 1.0f, -1.5f, 1.5f};
const View juliaDefaultView{-2.0f, 2.0f, -2.0f, 2.0f};

void expectSimilar(const Image& captured, const Image& expected, int lastRow, const std::string& name)
{
    const Difference d = compareImages(captured, expected, tolerance, firstFractalRow, lastRow);
    EXPECT_FALSE(d.sizesDiffer) << name;
    EXPECT_LE(d.share(), allowedShare) << name << ": " << d.describe() << "\n  captured: "
                                       << saveForInspection(captured, name + "-captured")
                                       << "\n  expected: " << saveForInspection(expected, name + "-expected");
}

TEST(Startup, OpensBothWindowsSideBySide)
{
    XConnection x;
    Program program;
    std::string why;
    ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;

    Rect m, j;
    ASSERT_TRUE(x.geometry(program.mandelbrot(), m));
    ASSERT_TRUE(x.geometry(program.julia(), j));
    EXPECT_EQ(m.x, 0);
    EXPECT_EQ(m.y, 0);
    EXPECT_EQ(m.width, 800);
    EXPECT_EQ(m.height, 800);
    EXPECT_EQ(j.x, 830);
    EXPECT_EQ(j.y, 0);
    EXPECT_EQ(j.width, 800);
    EXPECT_EQ(j.height, 800);
}

TEST(Startup, DefaultPicturesMatchTheCpuReference)
{
    XConnection x;
    Program program;
    std::string why;
    ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;

    const Image mandelbrot = x.capture(program.mandelbrot());
    const Image julia = x.capture(program.julia());
    ASSERT_FALSE(mandelbrot.empty());
    ASSERT_FALSE(julia.empty());

    expectSimilar(mandelbrot, renderMandelbrot(mandelbrotDefaultView, 800, 800, defaultColourTable(1)), -1,
                  "startup-mandelbrot");
    expectSimilar(julia, renderJulia(juliaDefaultView, 800, 800, 0.0f, 0.0f, defaultColourTable(2)), -1,
                  "startup-julia");
}

// The Julia set of 0 is the unit disc, and the default view is centred on
// the origin: any slip in the quad's corners or the texture coordinates
// shows up as an asymmetric picture.
TEST(Startup, JuliaPictureOfZeroIsSymmetric)
{
    XConnection x;
    Program program;
    std::string why;
    ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;
    const Image julia = x.capture(program.julia());
    ASSERT_FALSE(julia.empty());

    // Rows whose mirror image lies in the overlay are left out as well.
    const int lastRow = julia.height - firstFractalRow;
    expectSimilar(julia, rotated180(julia), lastRow, "julia-rotated");
    expectSimilar(julia, mirroredLeftRight(julia), -1, "julia-mirrored-left-right");
    expectSimilar(julia, mirroredTopBottom(julia), lastRow, "julia-mirrored-top-bottom");
}

TEST(Startup, MissingShaderFilesAreReportedAndTheViewerStillRuns)
{
    XConnection x;
    ProgramOptions options;
    options.withShaders = false;
    Program program(options);
    std::string why;
    ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;

    const std::string out = program.output();
    const std::string head = "\nShader Source File ('";
    const std::string tail = "') konnte nicht geladen werden... \n";
    std::vector<std::string> reported;
    for (size_t at = out.find(head); at != std::string::npos; at = out.find(head, at + 1)) {
        const size_t nameStart = at + head.size();
        const size_t end = out.find(tail, nameStart);
        ASSERT_NE(end, std::string::npos) << "a message without its ending:\n" << out;
        reported.push_back(out.substr(nameStart, end - nameStart));
    }
    const std::vector<std::string> expected = {
        "mandelbrot_vertex.glsl",       "mandelbrot_fragment.glsl",       "transferFunction_vertex.glsl",
        "transferFunction_fragment.glsl", "julia_vertex.glsl",            "julia_fragment.glsl",
        "transferFunction_vertex.glsl", "transferFunction_fragment.glsl"};
    EXPECT_EQ(reported, expected) << out;

    program.typeKey(x, program.mandelbrot(), XK_Escape);
    EXPECT_EQ(program.waitForExit(exitTimeout), std::optional<int>(0)) << program.output();
    EXPECT_EQ(sanitizerReport(program.output()), "");
}

TEST(Startup, EscapeEndsTheProgramFromEitherWindow)
{
    XConnection x;
    for (const bool inJulia : {false, true}) {
        SCOPED_TRACE(inJulia ? "Esc in the Julia window" : "Esc in the Mandelbrot window");
        Program program;
        std::string why;
        ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;
        program.typeKey(x, inJulia ? program.julia() : program.mandelbrot(), XK_Escape);
        EXPECT_EQ(program.waitForExit(exitTimeout), std::optional<int>(0)) << program.output();
        EXPECT_EQ(sanitizerReport(program.output()), "");
    }
}

TEST(Startup, ExitInTheWindowMenuEndsTheProgram)
{
    XConnection x;
    Program program;
    std::string why;
    ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;

    Rect m;
    ASSERT_TRUE(x.geometry(program.mandelbrot(), m));
    // Below the editor the right button opens the window menu:
    // "Bild speichern", "Exit".
    x.movePointer(m.x + 400, m.y + 400);
    x.pressButton(3);
    PopupMenu menu;
    ASSERT_TRUE(x.findPopupMenu(2, startTimeout, menu, &why)) << why;
    x.movePointer(menu.entries[1].centreX(), menu.entries[1].centreY());
    x.releaseButton(3);
    EXPECT_EQ(program.waitForExit(exitTimeout), std::optional<int>(0)) << program.output();
    EXPECT_EQ(sanitizerReport(program.output()), "");
}

// Nothing changes, so nothing should run: a busy idle loop would show up
// as a whole core.
TEST(Startup, IdleProgramUsesNoProcessorTime)
{
    XConnection x;
    Program program;
    std::string why;
    ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;

    const double cpuBefore = program.cpuSeconds();
    const double wallBefore = now();
    pause(3.0);
    const double cpu = program.cpuSeconds() - cpuBefore;
    const double wall = now() - wallBefore;
    ASSERT_GE(cpuBefore, 0.0);
    EXPECT_TRUE(program.running());
    EXPECT_LT(cpu / wall, 0.02) << cpu << " s of processor time in " << wall << " s";
}

}  // namespace
}  // namespace fx
