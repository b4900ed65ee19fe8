// The viewer from its start to its end as a user sees it: the two windows
// side by side, an idle program that leaves the processor alone, the first
// pictures with the editor over them pixel for pixel, the editor keeping its
// place when a window is resized, Esc, and a start without shader files.
#include "support/gestures.h"

#include <X11/keysym.h>

namespace fx {
namespace {

Expected home(int windowNumber, int width = 800, int height = 800)
{
    const TransferFunction tf = defaults(windowNumber);
    return withEditor(windowNumber == 1 ? renderMandelbrot(mandelbrotHome, tf.colourTable, width, height)
                                        : renderJulia(juliaHome, 0, 0, tf.colourTable, width, height),
                      tf);
}

TEST(Startup, WindowsIdleFirstPicturesAndResizeUntilEsc)
{
    XConnection x;
    Program program;
    ASSERT_TRUE(program.ready(x));
    const WindowId m = program.mandelbrot(), j = program.julia();

    // Nothing changes, so nothing should run: a busy idle loop would show
    // up as a whole core.
    const double cpuBefore = program.cpuSeconds(), wallBefore = now();
    ASSERT_GE(cpuBefore, 0.0);
    pause(3.0);
    const double cpu = program.cpuSeconds() - cpuBefore, wall = now() - wallBefore;
    EXPECT_LT(cpu / wall, 0.02) << cpu << " s of processor time in " << wall << " s";

    Rect mr, jr;
    ASSERT_TRUE(x.geometry(m, mr) && x.geometry(j, jr));
    EXPECT_EQ((std::vector<int>{mr.x, mr.y, mr.width, mr.height, jr.x, jr.y, jr.width, jr.height}),
              (std::vector<int>{0, 0, 800, 800, 830, 0, 800, 800}));

    EXPECT_TRUE(shows(x, m, home(1), "startup-mandelbrot", true));
    Image julia;
    EXPECT_TRUE(shows(x, j, home(2), "startup-julia", true, &julia));

    // The Julia set of 0 is the unit disc, and the view is centred on the
    // origin: any slip in the quad's corners or the texture coordinates
    // shows as an asymmetric picture. Rows whose mirror image lies in the
    // editor are left out.
    for (const auto& [leftRight, topBottom] : {std::pair{true, false}, {false, true}, {true, true}}) {
        const Difference d = compareImages(julia, flipped(julia, leftRight, topBottom), 3, editorBottom,
                                           topBottom ? julia.height - editorBottom : -1);
        EXPECT_TRUE(d.similar()) << "flipped " << leftRight << topBottom << ": " << d.describe();
    }

    // The editor is drawn in window pixels from the top edge: it must stay
    // where it is, and the same size, whatever the window's height; a
    // narrow window cuts its right end off.
    for (const auto& [width, height] : {std::pair{800, 500}, {500, 1000}}) {
        x.resizeWindow(m, width, height);
        // Mesa's software renderer sometimes draws the first pass after a
        // resize into a buffer of the old size (about one run in ten under
        // ASan), and the window keeps that picture. The pass an expose
        // brings, once the window has settled at its new size, is drawn
        // at that size.
        Image shown;
        waitFor(
            [&, w = width, h = height] {
                x.waitForSettle(m, stepTimeout, &shown);
                return shown.width == w && shown.height == h;
            },
            stepTimeout);
        x.exposeWindow(m);
        EXPECT_TRUE(shows(x, m, home(1, width, height), "resized-" + std::to_string(width), true));
    }
    EXPECT_TRUE(shows(x, j, home(2), "julia-beside-resized", true));

    x.typeKey(j, XK_Escape);
    EXPECT_TRUE(program.endsCleanly());
}

TEST(Startup, MissingShaderFilesAreReportedAndTheViewerStillRuns)
{
    XConnection x;
    Program program(false);
    ASSERT_TRUE(program.ready(x));

    const std::string out = program.output();
    const std::string head = "\nShader Source File ('", tail = "') konnte nicht geladen werden... \n";
    std::vector<std::string> reported;
    for (size_t at = out.find(head); at != std::string::npos; at = out.find(head, at + 1)) {
        const size_t name = at + head.size(), end = out.find(tail, name);
        ASSERT_NE(end, std::string::npos) << "a message without its ending:\n" << out;
        reported.push_back(out.substr(name, end - name));
    }
    EXPECT_EQ(reported, (std::vector<std::string>{"mandelbrot_vertex.glsl", "mandelbrot_fragment.glsl",
                                                  "transferFunction_vertex.glsl", "transferFunction_fragment.glsl",
                                                  "julia_vertex.glsl", "julia_fragment.glsl",
                                                  "transferFunction_vertex.glsl", "transferFunction_fragment.glsl"}))
        << out;

    x.typeKey(program.mandelbrot(), XK_Escape);
    EXPECT_TRUE(program.endsCleanly());
}

}  // namespace
}  // namespace fx
