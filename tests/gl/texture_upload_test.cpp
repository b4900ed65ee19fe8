// The colour table as the fractal programs see it: what initialise and a
// later edit leave in each window's 1D texture, read back from GL.
#include "app/fractal_window.h"
#include "app/input.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

std::vector<float> readTexture(const FractalWindow& w)
{
    glutSetWindow(w.windowId);
    glBindTexture(GL_TEXTURE_1D, w.transferFunction.texture);
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_1D, 0, GL_TEXTURE_WIDTH, &width);
    std::vector<float> texels(static_cast<size_t>(std::max(width, 0)) * 4, -1.0f);
    glGetTexImage(GL_TEXTURE_1D, 0, GL_RGBA, GL_FLOAT, texels.data());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    return texels;
}

::testing::AssertionResult holdsItsTable(const FractalWindow& w)
{
    const std::vector<float> texels = readTexture(w);
    const std::vector<float>& table = w.transferFunction.colourTable;
    if (texels.size() != 2048 || table.size() != 2048)
        return ::testing::AssertionFailure() << texels.size() << " texel and " << table.size() << " table floats";
    // A float texture holds the table exactly; an 8-bit one within a step.
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const float tolerance = extensions && std::strstr(extensions, "GL_ARB_texture_float") ? 0.0f : 1.0f / 255;
    for (size_t i = 0; i < table.size(); ++i)
        if (std::fabs(texels[i] - table[i]) > tolerance)
            return ::testing::AssertionFailure() << "texel " << i / 4 << " channel " << i % 4 << ": texture "
                                                 << texels[i] << ", table " << table[i];
    return ::testing::AssertionSuccess();
}

TEST(TextureUpload, EachWindowsTextureHoldsItsTableThroughAnEditOfEither)
{
    // Both windows, each with its own context, as in the viewer; the two
    // textures are likely to carry the same name, so an upload into the
    // wrong context overwrites the other window's table.
    int argc = 1;
    char name[] = "gl_tests";
    char* argv[] = {name, nullptr};
    // Once per process: freeglut ends a program that initialises it twice.
    if (!glutGet(GLUT_INIT_STATE)) glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowSize(64, 64);
    mandelbrotWindow.windowId = glutCreateWindow("texture upload: Mandelbrot");
    mandelbrotWindow.transferFunction.initialise(1, editorMenu);
    juliaWindow.windowId = glutCreateWindow("texture upload: Julia");
    juliaWindow.transferFunction.initialise(2, editorMenu);
    ASSERT_EQ(glewInit(), GLEW_OK);

    for (FractalWindow* w : {&mandelbrotWindow, &juliaWindow}) {
        SCOPED_TRACE(w == &mandelbrotWindow ? "Mandelbrot window" : "Julia window");
        ASSERT_NE(w->transferFunction.texture, 0u);
        EXPECT_TRUE(holdsItsTable(*w));
        // The fractal programs' colour read relies on linear filtering
        // between texel centres.
        GLint mag = 0, min = 0;
        glBindTexture(GL_TEXTURE_1D, w->transferFunction.texture);
        glGetTexParameteriv(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, &mag);
        glGetTexParameteriv(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, &min);
        EXPECT_EQ(mag, GL_LINEAR);
        EXPECT_EQ(min, GL_LINEAR);
    }

    // The other window is current, as it is when a menu of one window ends
    // in a rebuild after the other one was drawn.
    const std::vector<float> juliaBefore = readTexture(juliaWindow);
    const std::vector<float> mandelbrotBefore = readTexture(mandelbrotWindow);
    glutSetWindow(juliaWindow.windowId);
    mandelbrotWindow.transferFunction.addPoint(0.25f, 1.0f, 0.0f, 0.0f);
    const std::vector<float> mandelbrotAfter = readTexture(mandelbrotWindow);
    EXPECT_NE(mandelbrotAfter, mandelbrotBefore);
    EXPECT_TRUE(holdsItsTable(mandelbrotWindow));
    EXPECT_EQ(readTexture(juliaWindow), juliaBefore);

    glutSetWindow(mandelbrotWindow.windowId);
    juliaWindow.transferFunction.addPoint(0.5f, 0.0f, 0.0f, 1.0f);
    EXPECT_TRUE(holdsItsTable(juliaWindow));
    EXPECT_EQ(readTexture(mandelbrotWindow), mandelbrotAfter);
}

}  // namespace
