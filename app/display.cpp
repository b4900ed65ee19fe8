// The display pass of each window: the fractal quad through the window's
// program and colour table, a requested screenshot of exactly that picture,
// then the editor overlay, then the swap.
#include "app/display.h"
#include "app/fractal_window.h"
#include "screenshot/screenshot.h"
#include "shaders/shader_set.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glu.h>

namespace {

void drawFractalQuad(const FractalWindow& w)
{
    glBegin(GL_QUADS);
    glTexCoord2d(w.viewLeft, w.viewBottom);
    glVertex2f(0, 0);
    glTexCoord2d(w.viewRight, w.viewBottom);
    glVertex2f(static_cast<float>(w.width), 0);
    glTexCoord2d(w.viewRight, w.viewTop);
    glVertex2f(static_cast<float>(w.width), static_cast<float>(w.height));
    glTexCoord2d(w.viewLeft, w.viewTop);
    glVertex2f(0, static_cast<float>(w.height));
    glEnd();
}

void setUniform(GLhandleARB program, const char* name, float value)
{
    glUniform1fARB(glGetUniformLocationARB(program, name), value);
}

void displayPass(FractalWindow& w, GLhandleARB program, bool isJulia)
{
    w.redisplayRequested = false;
    glutSetWindow(w.windowId);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, w.width, 0, w.height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT);
    glUseProgramObjectARB(program);
    glBindTexture(GL_TEXTURE_1D, w.transferFunction.texture);
    if (isJulia) {
        setUniform(program, "cr", juliaCr);
        setUniform(program, "ci", juliaCi);
    }
    drawFractalQuad(w);
    glBindTexture(GL_TEXTURE_1D, 0);
    glUseProgramObjectARB(0);
    if (w.screenshotRequested) {
        // The back buffer still holds the fractal alone: it is captured
        // here, before the overlay and before any swap can discard it.
        saveScreenshot(w.width, w.height);
        w.screenshotRequested = false;
    }
    if (w.transferFunction.drawEditor()) requestRedisplay(w);
    glutSwapBuffers();
}

void reshape(FractalWindow& w, int width, int height)
{
    w.width = width;
    w.height = height;
    glViewport(0, 0, width, height);
    w.transferFunction.windowHeight = height;
    requestRedisplay(w);
}

}  // namespace

void mandelbrotDisplay() { displayPass(mandelbrotWindow, shaderSet.mandelbrotProgram, false); }
void juliaDisplay() { displayPass(juliaWindow, shaderSet.juliaProgram, true); }
void mandelbrotReshape(int width, int height) { reshape(mandelbrotWindow, width, height); }
void juliaReshape(int width, int height) { reshape(juliaWindow, width, height); }
