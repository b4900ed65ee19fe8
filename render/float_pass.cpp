#include "render/float_pass.h"

#include <GL/glu.h>

namespace {

void setUniform(GLhandleARB program, const char* name, float value)
{
    glUniform1fARB(glGetUniformLocationARB(program, name), value);
}

void fractalQuad(PlaneRect r, int width, int height)
{
    glBegin(GL_QUADS);
    glTexCoord2d(r.left, r.bottom);
    glVertex2f(0, 0);
    glTexCoord2d(r.right, r.bottom);
    glVertex2f(static_cast<float>(width), 0);
    glTexCoord2d(r.right, r.top);
    glVertex2f(static_cast<float>(width), static_cast<float>(height));
    glTexCoord2d(r.left, r.top);
    glVertex2f(0, static_cast<float>(height));
    glEnd();
}

}  // namespace

void pixelProjection(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, width, 0, height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void drawFloatFractal(GLhandleARB program, GLuint table, PlaneRect rect, int width, int height, const float* constant)
{
    glUseProgramObjectARB(program);
    glBindTexture(GL_TEXTURE_1D, table);
    if (constant) {
        setUniform(program, "cr", constant[0]);
        setUniform(program, "ci", constant[1]);
    }
    fractalQuad(rect, width, height);
    glBindTexture(GL_TEXTURE_1D, 0);
    glUseProgramObjectARB(0);
}
