// Count targets with depth, the splat pass and the move by whole pixels.
// The depth buffer is 24-bit fixed point: its values 0, 2/16 .. 9/16 and 1
// are exact in it, so the test between blocks of neighbouring sizes never
// rounds the wrong way.
#include "render/refine_gl.h"

#include <algorithm>

namespace {

// Clears with the given values and puts the previous clear values back.
void clearWith(GLuint framebuffer, float count, double depth)
{
    GLfloat colour[4];
    GLdouble oldDepth = 1;
    glGetFloatv(GL_COLOR_CLEAR_VALUE, colour);
    glGetDoublev(GL_DEPTH_CLEAR_VALUE, &oldDepth);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glClearColor(count, 0, 0, 0);
    glClearDepth(depth);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(colour[0], colour[1], colour[2], colour[3]);
    glClearDepth(oldDepth);
}

void rect(const PixelRect& r)
{
    glBegin(GL_QUADS);
    glVertex2i(r.x0, r.y0), glVertex2i(r.x1, r.y0), glVertex2i(r.x1, r.y1), glVertex2i(r.x0, r.y1);
    glEnd();
}

}  // namespace

bool resizePictureTarget(PictureTarget& t, int width, int height)
{
    const bool same = t.depth && t.counts.width == width && t.counts.height == height;
    if (same) return true;
    bool complete = resizeTarget(t.counts, width, height);
    if (!t.depth) glGenRenderbuffers(1, &t.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, t.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, t.counts.framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, t.depth);
    complete = complete && glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (complete) clearPictureTarget(t);
    return complete;
}

void clearPictureTarget(const PictureTarget& t)
{
    clearWith(t.counts.framebuffer, notDrawn, 1.0);
}

void releasePictureTarget(PictureTarget& t)
{
    releaseTarget(t.counts);
    if (t.depth) glDeleteRenderbuffers(1, &t.depth);
    t.depth = 0;
}

void shiftPictureTarget(const PictureTarget& from, const PictureTarget& to, int dx, int dy)
{
    clearPictureTarget(to);
    const int w = to.counts.width, h = to.counts.height;
    // The source pixels that land inside: x + dx in [0, w).
    const int x0 = std::clamp(-dx, 0, w), x1 = std::clamp(w - dx, 0, w);
    const int y0 = std::clamp(-dy, 0, h), y1 = std::clamp(h - dy, 0, h);
    if (x0 >= x1 || y0 >= y1) return;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, from.counts.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to.counts.framebuffer);
    glBlitFramebuffer(x0, y0, x1, y1, x0 + dx, y0 + dy, x1 + dx, y1 + dy, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT,
                      GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void copyColoursOut(const CountTarget& c, GLint drawFramebuffer)
{
    glBindFramebuffer(GL_READ_FRAMEBUFFER, c.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawFramebuffer));
    glBlitFramebuffer(0, 0, c.width, c.height, 0, 0, c.width, c.height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(drawFramebuffer));
}

void uploadSamples(const CountTarget& samples, const Part& part, const float* counts)
{
    glBindTexture(GL_TEXTURE_2D, samples.texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, part.columns, part.rows, GL_RED, GL_FLOAT, counts);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void splatPart(GLuint program, const CountTarget& samples, const PictureTarget& target, const Part& part)
{
    const int W = target.counts.width, H = target.counts.height;
    const PixelRect reach = partReach(part, W, H);
    glBindFramebuffer(GL_FRAMEBUFFER, target.counts.framebuffer);
    {
        PixelSpace space(W, H);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        glUseProgram(program);
        auto at = [program](const char* name) { return glGetUniformLocation(program, name); };
        glUniform1i(at("samples"), 0);
        glUniform2i(at("first"), part.firstX(), part.firstY());
        glUniform2i(at("size"), part.columns, part.rows);
        glUniform1i(at("step"), part.lattice.step);
        glUniform1i(at("block"), part.lattice.block);
        glUniform1i(at("reachAll"), part.pass == coarsePass ? 1 : 0);
        glBindTexture(GL_TEXTURE_2D, samples.texture);
        rect(reach);
        glBindTexture(GL_TEXTURE_2D, 0);
        glUseProgram(0);
        glDisable(GL_DEPTH_TEST);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}
