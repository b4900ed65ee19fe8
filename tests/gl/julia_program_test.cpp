// The Julia window's program drawn by the viewer's own display pass, for
// constants whose interior orbits the program stops early (main cardioid,
// period-2 bulb, close to their edges) and for one without an interior:
// each picture must be the one the plain escape loop gives, worked out on
// the CPU without any early stop.
#include "app/display.h"
#include "app/fractal_window.h"
#include "app/input.h"
#include "shaders/shader_set.h"
#include "support/reference.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <gtest/gtest.h>

namespace fx {
namespace {

// A single-buffered window: the pass's swap is then a flush, and the front
// buffer keeps the picture for reading back.
void openJuliaWindow()
{
    int argc = 1;
    char name[] = "gl_tests";
    char* argv[] = {name, nullptr};
    // Once per process: freeglut ends a program that initialises it twice.
    if (!glutGet(GLUT_INIT_STATE)) glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE);
    glutInitWindowSize(juliaWindow.width, juliaWindow.height);
    glutInitWindowPosition(0, 0);
    juliaWindow.windowId = glutCreateWindow("Julia program");
    glutDisplayFunc([] {});
    ASSERT_EQ(glewInit(), GLEW_OK);
    glViewport(0, 0, juliaWindow.width, juliaWindow.height);
    juliaWindow.transferFunction.initialise(2, editorMenu);
    juliaWindow.transferFunction.windowHeight = juliaWindow.height;
    shaderSet.juliaProgram = glCreateProgramObjectARB();
    shaderSet.buildProgram(FRAKTALE_SOURCE_DIR "/glsl/julia_vertex.glsl", FRAKTALE_SOURCE_DIR "/glsl/julia_fragment.glsl",
                           shaderSet.juliaProgram);
    GLint linked = 0;
    glGetObjectParameterivARB(shaderSet.juliaProgram, GL_OBJECT_LINK_STATUS_ARB, &linked);
    ASSERT_TRUE(linked);
    for (int i = 0; i < 20; ++i) glutMainLoopEvent();
}

Image drawJulia(float cr, float ci)
{
    juliaCr = cr;
    juliaCi = ci;
    juliaDisplay();
    glFinish();
    const int width = juliaWindow.width, height = juliaWindow.height;
    std::vector<std::uint8_t> rows(static_cast<size_t>(width) * height * 3);
    glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    Image image(width, height);
    for (int y = 0; y < height; ++y)
        std::copy_n(&rows[static_cast<size_t>(height - 1 - y) * width * 3], width * 3, image.at(0, y));
    return image;
}

TEST(JuliaProgram, StoppingInteriorOrbitsEarlyLeavesThePictureOfThePlainEscapeLoop)
{
    openJuliaWindow();
    ASSERT_FALSE(HasFatalFailure());
    const std::vector<float> table = juliaWindow.transferFunction.colourTable;
    const View view{juliaWindow.viewLeft, juliaWindow.viewRight, juliaWindow.viewBottom, juliaWindow.viewTop};
    struct Case {
        float cr, ci;
        const char* where;
    };
    const Case cases[] = {
        {0.0f, 0.0f, "cardioid centre"},
        {0.24f, 0.0f, "cardioid near the cusp"},
        {-0.7f, 0.25f, "cardioid, multiplier 0.9988"},
        {-1.0f, 0.0f, "period-2 bulb centre"},
        {-0.78f, 0.1f, "period-2 bulb, multiplier 0.967"},
        {-1.24f, 0.05f, "period-2 bulb, multiplier 0.981"},
        {-0.123f, 0.745f, "period-3 bulb, no early stop"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        const Image shown = drawJulia(c.cr, c.ci);
        const Image expected = renderJulia(view, c.cr, c.ci, table, shown.width, shown.height);
        // Below the editor. Rounding near the set's edge moves a few dozen
        // pixels at most; a stop disc three times too large already turns
        // hundreds of escaping pixels into the interior colour.
        const Difference d = compareImages(shown, expected, 3, editorBottom);
        EXPECT_LE(d.share(), 0.0002) << d.describe() << "; pictures: " << savePicture(shown, "julia-program-shown")
                                    << ", " << savePicture(expected, "julia-program-expected");
    }
}

}  // namespace
}  // namespace fx
