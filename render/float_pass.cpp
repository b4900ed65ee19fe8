#include "render/float_pass.h"

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
