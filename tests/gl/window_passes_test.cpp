// Each window's texture through edits, and both fractal programs drawn by
// the viewer's display passes where they stop orbits early in every way (the
// cardioid and bulb, a cycle of period 1 to 4, none), judged by the reference.
#include "app/display.h"
#include "app/fractal_window.h"
#include "app/input.h"
#include "shaders/shader_set.h"
#include "support/reference.h"

#include <unistd.h>

#include <GL/glew.h>
#include <GL/freeglut.h>

namespace fx {
namespace {

// Single-buffered, so the pass's swap is a flush and the picture stays; a
// context of its own, as in the viewer.
void openWindow(FractalWindow& w, int number, const char* title)
{
    int argc = 1;
    char name[] = "gl_tests";
    char* argv[] = {name, nullptr};
    // Once per process: freeglut ends a program that initialises it twice.
    if (!glutGet(GLUT_INIT_STATE)) glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE);
    glutInitWindowSize(w.width, w.height);
    glutInitWindowPosition(number == 1 ? 0 : 830, 0);  // side by side: a covered window reads back nothing
    w.windowId = glutCreateWindow(title);
    glutDisplayFunc([] {});
    ASSERT_EQ(glewInit(), GLEW_OK);
    glViewport(0, 0, w.width, w.height);
    w.transferFunction.initialise(number, editorMenu);
    w.transferFunction.windowHeight = w.height;
    for (int i = 0; i < 20; ++i) glutMainLoopEvent();
}

// Within 8-bit rounding (a driver without float textures), and filtered
// linearly between texel centres, as the programs' colour read expects.
bool holdsItsTable(const FractalWindow& w)
{
    glutSetWindow(w.windowId);
    glBindTexture(GL_TEXTURE_1D, w.transferFunction.texture);
    GLint width = 0, mag = 0, min = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_1D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexParameteriv(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, &mag);
    glGetTexParameteriv(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, &min);
    if (width != tableSize || mag != GL_LINEAR || min != GL_LINEAR) return false;
    std::vector<float> texels(size_t(width) * 4, -1.0f);
    glGetTexImage(GL_TEXTURE_1D, 0, GL_RGBA, GL_FLOAT, texels.data());
    for (size_t i = 0; i < texels.size(); ++i)
        if (std::fabs(texels[i] - w.transferFunction.colourTable[i]) > 0.5f / 255) return false;
    return glGetError() == GL_NO_ERROR;
}

// share: of pixels that may differ; rounding moves more on a longer edge.
struct Case { bool julia; View view; float cr, ci; double share; const char* where; };

TEST(WindowPasses, TexturesHoldTheTablesAndPicturesAreTheReferences)
{
    openWindow(mandelbrotWindow, 1, "mandelbrot");
    openWindow(juliaWindow, 2, "julia");
    ASSERT_FALSE(HasFatalFailure());
    // The programs as the viewer builds them, from its working folder.
    ASSERT_EQ(chdir(FRAKTALE_SOURCE_DIR "/glsl"), 0);
    shaderSet.initPrograms(mandelbrotWindow.windowId, juliaWindow.windowId);
    EXPECT_TRUE(holdsItsTable(mandelbrotWindow) && holdsItsTable(juliaWindow));
    // Each edited while the other window is current, as when a menu of one
    // window ends in a rebuild after the other was drawn. The textures are
    // likely to carry the same name in both contexts, so an upload into the
    // wrong one swaps the tables. The edits are undone for the pictures.
    auto edit = [](FractalWindow& w, const FractalWindow& current, bool undo) {
        glutSetWindow(current.windowId);
        undo ? (w.transferFunction.removePoint(1), w.transferFunction.rebuild()) : w.transferFunction.addPoint(0.02f, 1, 0, 0);
    };
    for (bool undo : {false, true}) {
        edit(mandelbrotWindow, juliaWindow, undo);
        edit(juliaWindow, mandelbrotWindow, undo);
        EXPECT_TRUE(holdsItsTable(mandelbrotWindow) && holdsItsTable(juliaWindow)) << (undo ? "undone" : "edited");
    }
    const Case cases[] = {
        {false, mandelbrotHome, 0, 0, 0.0006, "Mandelbrot, whole set"},
        {false, {-1.7799f, -1.7299f, -0.025f, 0.025f}, 0, 0, 0.005, "Mandelbrot, period-3 minibrot"},
        {true, juliaHome, 0, 0, 0.0002, "constant 0, superattracting fixed point"},
        {true, juliaHome, -1, 0, 0.0002, "constant -1, 2-cycle"},
        {true, juliaHome, -0.78f, 0.1f, 0.0002, "2-cycle, multiplier 0.967"},
        {true, juliaHome, -0.1226f, 0.7449f, 0.0002, "rabbit, 3-cycle"},
        {true, juliaHome, 0.2822f, 0.5301f, 0.0002, "4-cycle"},
        {true, juliaHome, -0.7f, 0.25f, 0.0002, "fixed point, multiplier 0.9988: no trap"},
        {true, juliaHome, -0.8f, 0.156f, 0.0012, "outside the Mandelbrot set: no cycle"},
    };
    XConnection x;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        FractalWindow& w = c.julia ? juliaWindow : mandelbrotWindow;
        w.viewLeft = c.view.left, w.viewRight = c.view.right, w.viewBottom = c.view.bottom, w.viewTop = c.view.top;
        juliaCr = c.cr, juliaCi = c.ci;
        glutSetWindow(w.windowId);
        c.julia ? juliaDisplay() : mandelbrotDisplay();
        glFinish();  // then the picture as the X server shows it
        const std::vector<WindowId> found = x.windows(c.julia ? "julia" : "mandelbrot");
        const Image shown = found.size() == 1 ? x.capture(found[0]) : Image{};
        ASSERT_TRUE(shown.width == w.width && shown.height == w.height) << "nothing to read back";
        const std::vector<float>& table = w.transferFunction.colourTable;
        const Image expected = c.julia ? renderJulia(c.view, c.cr, c.ci, table, w.width, w.height)
                                       : renderMandelbrot(c.view, table, w.width, w.height);
        // Rounding moves escape counts on the set's edge; a trap three times
        // too large already turns hundreds of escaping pixels interior.
        const Mismatches d = compareWindow(shown, fractalFrom(expected, editorBottom));
        const std::string name = "fractal-" + std::to_string(&c - cases);
        EXPECT_TRUE(d.within(c.share)) << d.share() << " differ: " << savePicture(shown, name + "-shown") << ", "
                                       << savePicture(expected, name + "-expected");
    }
}

}  // namespace
}  // namespace fx
