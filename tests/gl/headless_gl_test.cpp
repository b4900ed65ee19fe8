// The headless context with DISPLAY unset: EGL, surfaceless or on a device,
// with GLEW's entry points, and a compatibility context in which immediate
// mode draws into a framebuffer object. Skipped where no EGL driver exists.
#include "platform/headless_gl.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// A 4 x 4 target cleared to blue with a red quad over its left half, read
// back as RGBA: blue on the right, red on the left.
std::string drawnColours()
{
    GLuint texture = 0, framebuffer = 0;
    glGenTextures(1, &texture), glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &framebuffer), glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glViewport(0, 0, 4, 4), glClearColor(0, 0, 1, 1), glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 0, 0), glBegin(GL_QUADS);
    glVertex2f(-1, -1), glVertex2f(0, -1), glVertex2f(0, 1), glVertex2f(-1, 1), glEnd();
    unsigned char row[16];
    glReadPixels(0, 1, 4, 1, GL_RGBA, GL_UNSIGNED_BYTE, row);
    glDeleteFramebuffers(1, &framebuffer), glDeleteTextures(1, &texture);
    std::string colours;
    for (int x = 0; x < 4; ++x) colours += row[4 * x] == 255 && row[4 * x + 2] == 0 ? 'r' : row[4 * x + 2] == 255 ? 'b' : '?';
    return colours + (glGetError() == GL_NO_ERROR ? "" : " GL error");
}

}  // namespace

TEST(HeadlessGl, OpensThroughEglWithoutADisplay)
{
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    HeadlessGl gl;
    std::string error;
    const bool ok = openHeadlessGl(gl, error);
    if (display) setenv("DISPLAY", saved.c_str(), 1);
    if (!ok && !gl.eglDriverFound) GTEST_SKIP() << "no EGL driver here: " << gl.eglProblem;
    ASSERT_TRUE(ok) << error;
    EXPECT_TRUE(gl.kind == HeadlessKind::eglSurfaceless || gl.kind == HeadlessKind::eglDevice) << headlessKindName(gl.kind);
    EXPECT_FALSE(gl.renderer.empty());
    EXPECT_EQ(drawnColours(), "rrbb") << gl.renderer;
    closeHeadlessGl(gl);
}
