// Uploads the colour table into the window's 1D texture. Each GLUT window has
// its own GL context and the texture name belongs to the owning window's, so
// the upload makes that window current first.
#include "transfer/transfer_function.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cstring>

namespace {

// A float texture keeps the table exactly as sampled; a driver without float
// textures gets the 8-bit table that plain GL_RGBA gives.
GLint tableInternalFormat()
{
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (extensions && std::strstr(extensions, "GL_ARB_texture_float")) return GL_RGBA32F_ARB;
    return GL_RGBA;
}

}  // namespace

void uploadColourTexture(unsigned texture, const std::vector<float>& table)
{
    glBindTexture(GL_TEXTURE_1D, texture);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexImage1D(GL_TEXTURE_1D, 0, tableInternalFormat(), tableSize, 0, GL_RGBA, GL_FLOAT, table.data());
}

void TransferFunction::uploadTable()
{
    fillColourTable();
    if (texture == 0) return;  // no GL context yet: the model is used alone
    glutSetWindow(windowId);
    uploadColourTexture(texture, colourTable);
}

// Called on the way out while both contexts still exist: deleting the name
// from a static destructor would reach into a GL library that may already
// have shut down.
void TransferFunction::releaseTexture()
{
    if (texture == 0) return;
    glutSetWindow(windowId);
    glDeleteTextures(1, &texture);
    texture = 0;
}
