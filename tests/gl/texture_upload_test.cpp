// The colour table as the fractal programs see it: what initialise and every
// later edit leave in each window's 1D texture, read back from GL.
#include "app/fractal_window.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// Both windows exist for the whole process, as in the viewer, each with its
// own context; the two textures are likely to carry the same name, so an
// upload into the wrong context overwrites the other window's table.
void createWindowsOnce()
{
    static bool created = false;
    if (created) return;
    created = true;
    static int argc = 1;
    static char name[] = "gl_tests";
    static char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowSize(64, 64);
    mandelbrotWindow.windowId = glutCreateWindow("texture upload: Mandelbrot");
    mandelbrotWindow.transferFunction.initialise(1);
    juliaWindow.windowId = glutCreateWindow("texture upload: Julia");
    juliaWindow.transferFunction.initialise(2);
    ASSERT_EQ(glewInit(), GLEW_OK);
}

std::vector<float> readTexture(const FractalWindow& w)
{
    glutSetWindow(w.windowId);
    glBindTexture(GL_TEXTURE_1D, w.transferFunction.texture);
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_1D, 0, GL_TEXTURE_WIDTH, &width);
    std::vector<float> texels(static_cast<size_t>(std::max(width, 0)) * 4, -1.0f);
    glGetTexImage(GL_TEXTURE_1D, 0, GL_RGBA, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_1D, 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    return texels;
}

// A float texture holds the table exactly; an 8-bit one within a step.
float uploadTolerance(const FractalWindow& w)
{
    glutSetWindow(w.windowId);
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions && std::strstr(extensions, "GL_ARB_texture_float") ? 0.0f : 1.0f / 255.0f;
}

void expectTextureHoldsTable(const FractalWindow& w)
{
    const std::vector<float> texels = readTexture(w);
    const std::vector<float>& table = w.transferFunction.colourTable;
    ASSERT_EQ(texels.size(), 2048u);
    ASSERT_EQ(table.size(), 2048u);
    const float tolerance = uploadTolerance(w);
    int mismatches = 0;
    for (size_t i = 0; i < table.size(); ++i) {
        if (std::fabs(texels[i] - table[i]) > tolerance && ++mismatches <= 5)
            ADD_FAILURE() << "texel " << i / 4 << " channel " << i % 4 << ": texture " << texels[i] << ", table "
                          << table[i];
    }
    EXPECT_EQ(mismatches, 0);
}

class TextureUpload : public ::testing::Test {
protected:
    void SetUp() override
    {
        createWindowsOnce();
        // Back to the defaults, which re-uploads them, whatever an earlier
        // test in this process did.
        glutSetWindow(mandelbrotWindow.windowId);
        mandelbrotWindow.transferFunction.initialiseModel(1);
        glutSetWindow(juliaWindow.windowId);
        juliaWindow.transferFunction.initialiseModel(2);
    }
};

TEST_F(TextureUpload, EachWindowsTextureHoldsItsDefaultTable)
{
    for (FractalWindow* w : {&mandelbrotWindow, &juliaWindow}) {
        SCOPED_TRACE(w == &mandelbrotWindow ? "Mandelbrot window" : "Julia window");
        ASSERT_NE(w->transferFunction.texture, 0u);
        expectTextureHoldsTable(*w);

        // The fractal programs' colour read relies on linear filtering
        // between texel centres.
        glutSetWindow(w->windowId);
        glBindTexture(GL_TEXTURE_1D, w->transferFunction.texture);
        GLint mag = 0, min = 0;
        glGetTexParameteriv(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, &mag);
        glGetTexParameteriv(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, &min);
        glBindTexture(GL_TEXTURE_1D, 0);
        EXPECT_EQ(mag, GL_LINEAR);
        EXPECT_EQ(min, GL_LINEAR);
    }
}

TEST_F(TextureUpload, AnEditReachesTheOwningWindowsTextureOnly)
{
    const std::vector<float> juliaBefore = readTexture(juliaWindow);
    const std::vector<float> mandelbrotBefore = readTexture(mandelbrotWindow);

    // The other window is current, as it is when a menu of one window ends
    // in a rebuild after the other one was drawn.
    glutSetWindow(juliaWindow.windowId);
    mandelbrotWindow.transferFunction.addPoint(0.25f, 1.0f, 0.0f, 0.0f);

    const std::vector<float> mandelbrotAfter = readTexture(mandelbrotWindow);
    EXPECT_NE(mandelbrotAfter, mandelbrotBefore);
    expectTextureHoldsTable(mandelbrotWindow);
    EXPECT_EQ(readTexture(juliaWindow), juliaBefore);
    expectTextureHoldsTable(juliaWindow);

    // And the other way round.
    glutSetWindow(mandelbrotWindow.windowId);
    juliaWindow.transferFunction.addPoint(0.5f, 0.0f, 0.0f, 1.0f);
    expectTextureHoldsTable(juliaWindow);
    EXPECT_EQ(readTexture(mandelbrotWindow), mandelbrotAfter);
}

}  // namespace
