// Where the tool's pictures and movie frames are drawn in colour: the
// context's own framebuffer where the picture is exactly its size (on
// llvmpipe the tool makes a pbuffer of that size, see useHeadlessSurface),
// else an RGBA8 framebuffer object. Needs a current GL context.
#pragma once

#include <GL/glew.h>

struct TileBuffer {
    GLuint framebuffer = 0, colour = 0;  // 0, 0: the context's own
    bool open(int width, int height, int surfaceWidth, int surfaceHeight)
    {
        if (width == surfaceWidth && height == surfaceHeight) return true;
        glGenFramebuffers(1, &framebuffer);
        glGenRenderbuffers(1, &colour);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }
    ~TileBuffer()
    {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
        if (colour) glDeleteRenderbuffers(1, &colour);
    }
};
