// The editor drawn over the fractal along the window's top edge: a black and
// a white frame, the colour bar through the window's colour-bar program, and
// a square marker per control point. Drawn in window pixels, so it keeps its
// place 10 pixels below the top edge whatever the window's size.
#include "shaders/shader_set.h"
#include "transfer/transfer_function.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

namespace {

void texturedQuad(int left, int right, int top, int bottom, int windowHeight)
{
    glBegin(GL_QUADS);
    glTexCoord1f(0);
    glVertex2i(left, windowHeight - top);
    glTexCoord1f(0);
    glVertex2i(left, windowHeight - bottom);
    glTexCoord1f(1);
    glVertex2i(right, windowHeight - bottom);
    glTexCoord1f(1);
    glVertex2i(right, windowHeight - top);
    glEnd();
}

float contrast(float channel) { return channel < 0.5f ? 1.0f : 0.0f; }

}  // namespace

// A colour dialog left pending by the menu runs here, outside the menu
// callback; whatever the user chose, the window is drawn once more after it.
bool TransferFunction::drawEditor()
{
    bool drawAgain = false;
    if (colourDialogPending) {
        colourDialogPending = false;
        chooseColour();
        drawAgain = true;
    }
    glutSetWindow(windowId);
    drawColourBar();
    drawMarkers();
    return drawAgain;
}

void TransferFunction::drawColourBar()
{
    const int h = windowHeight;
    glColor3f(0, 0, 0);
    texturedQuad(barLeft - 2, barRight + 2, barTop - 2, barBottom + 2, h);
    glColor3f(1, 1, 1);
    texturedQuad(barLeft - 1, barRight + 1, barTop - 1, barBottom + 1, h);
    glBindTexture(GL_TEXTURE_1D, texture);
    glUseProgramObjectARB(windowNumber == 1 ? shaderSet.mandelbrotTransferFunctionProgram
                                            : shaderSet.juliaTransferFunctionProgram);
    texturedQuad(barLeft, barRight, barTop, barBottom, h);
    glUseProgramObjectARB(0);
    glBindTexture(GL_TEXTURE_1D, 0);
}

void TransferFunction::drawMarkers()
{
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_3D);
    const int r = pickRadius;
    for (const ControlPoint& p : points) {
        const int cx = static_cast<int>(512.0 * p.x + 10.0);
        const int cy = static_cast<int>(windowHeight - ((1.0 - p.y) * 20.0 + 10.0));
        glColor3f(contrast(p.red), contrast(p.green), contrast(p.blue));
        glBegin(GL_QUADS);
        glVertex2i(cx + r, cy - r);
        glVertex2i(cx + r, cy + r);
        glVertex2i(cx - r, cy + r);
        glVertex2i(cx - r, cy - r);
        glColor3f(p.red, p.green, p.blue);
        glVertex2i(cx + r - 1, cy - r + 1);
        glVertex2i(cx + r - 1, cy + r - 1);
        glVertex2i(cx - r + 1, cy + r - 1);
        glVertex2i(cx - r + 1, cy - r + 1);
        glEnd();
    }
}
