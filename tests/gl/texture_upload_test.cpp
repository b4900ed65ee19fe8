// The colour table as the fractal programs see it: what initialise and a
// later edit leave in each window's 1D texture, read back from GL.
#include "app/fractal_window.h"
#include "app/input.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<float> readTexture(const FractalWindow& w)
{
    glutSetWindow(w.windowId);
    glBindTexture(GL_TEXTURE_1D, w.transferFunction.texture);
    GLint width = 0, mag = 0, min = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_1D, 0, GL_TEXTURE_WIDTH, &width);
    // The programs' colour read relies on linear filtering between texel centres.
    glGetTexParameteriv(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, &mag);
    glGetTexParameteriv(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, &min);
    EXPECT_TRUE(mag == GL_LINEAR && min == GL_LINEAR);
    std::vector<float> texels(size_t(std::max(width, 0)) * 4, -1.0f);
    glGetTexImage(GL_TEXTURE_1D, 0, GL_RGBA, GL_FLOAT, texels.data());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    return texels;
}

// Within 8-bit rounding, for a driver without float textures.
bool holdsItsTable(const FractalWindow& w)
{
    const std::vector<float> texels = readTexture(w), &table = w.transferFunction.colourTable;
    for (size_t i = 0; i < table.size() && texels.size() == 2048; ++i)
        if (std::fabs(texels[i] - table[i]) > 0.5f / 255) return false;
    return texels.size() == 2048 && table.size() == 2048;
}

TEST(TextureUpload, EachWindowsTextureHoldsItsTableThroughAnEditOfEither)
{
    // Two windows, each with its own context, as in the viewer; their
    // textures are likely to carry the same name, so an upload into the
    // wrong context overwrites the other window's table.
    int argc = 1;
    char name[] = "gl_tests", *argv[] = {name, nullptr};
    if (!glutGet(GLUT_INIT_STATE)) glutInit(&argc, argv);  // freeglut ends a program initialised twice
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowSize(64, 64);
    mandelbrotWindow.windowId = glutCreateWindow("texture upload: Mandelbrot");
    mandelbrotWindow.transferFunction.initialise(1, editorMenu);
    juliaWindow.windowId = glutCreateWindow("texture upload: Julia");
    juliaWindow.transferFunction.initialise(2, editorMenu);
    ASSERT_EQ(glewInit(), GLEW_OK);
    EXPECT_TRUE(holdsItsTable(mandelbrotWindow));
    EXPECT_TRUE(holdsItsTable(juliaWindow));

    // The other window is current, as it is when a menu of one window ends
    // in a rebuild after the other one was drawn.
    const std::vector<float> juliaBefore = readTexture(juliaWindow);
    glutSetWindow(juliaWindow.windowId);
    mandelbrotWindow.transferFunction.addPoint(0.25f, 1.0f, 0.0f, 0.0f);
    EXPECT_TRUE(holdsItsTable(mandelbrotWindow));
    EXPECT_EQ(readTexture(juliaWindow), juliaBefore);
    glutSetWindow(mandelbrotWindow.windowId);
    juliaWindow.transferFunction.addPoint(0.5f, 0.0f, 0.0f, 1.0f);
    EXPECT_TRUE(holdsItsTable(juliaWindow));
    EXPECT_NE(readTexture(juliaWindow), juliaBefore);
}

}  // namespace
