// The display pass of each window: the fractal, a requested screenshot of
// exactly that picture, then the editor overlay, then the swap. While
// single precision resolves the view the fractal is the float program's
// quad, drawn in full every pass; past that (deep_display.cpp) a pass draws
// what its time allows of the perturbation picture and asks for the next.
#include "app/deep_display.h"
#include "app/display.h"
#include "app/fractal_window.h"
#include "app/navigation.h"
#include "deep/colour_depth.h"
#include "render/float_pass.h"
#include "screenshot/screenshot.h"
#include "shaders/shader_set.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <vector>

namespace {

// The colour range of a float view, worked out again only when the view,
// the window's size or the Julia constant changed; and the remapped table
// it needs, uploaded again only when the range or the window's own table
// changed.
struct FloatColours {
    float key[9] = {};
    ColourRange range;
    int limit = 0;
    std::vector<float> source;
    ColourRange uploaded{-1, -1, -1};
};

FloatColours floatColours[2];

unsigned floatTable(FractalWindow& w, bool isJulia)
{
    FloatColours& c = floatColours[isJulia ? 1 : 0];
    const float key[9] = {w.viewLeft, w.viewRight, w.viewBottom, w.viewTop, float(w.width), float(w.height),
                          float(isJulia), isJulia ? juliaCr : 0.0f, isJulia ? juliaCi : 0.0f};
    if (!std::equal(key, key + 9, c.key)) {
        std::copy_n(key, 9, c.key);
        c.range = floatColourRange(w.viewLeft, w.viewRight, w.viewBottom, w.viewTop, w.width, w.height, isJulia, juliaCr,
                                   juliaCi);
        c.limit = floatViewLimit(w.viewLeft, w.viewRight, w.viewBottom, w.viewTop, w.width, w.height);
    }
    const ColourRange& r = c.range;
    if (r.mu0 <= 0 && r.mu1 == c.limit && r.bend == 1) return w.transferFunction.texture;
    if (!w.fractalTable) glGenTextures(1, &w.fractalTable);
    if (c.source != w.transferFunction.colourTable || c.uploaded.mu0 != r.mu0 || c.uploaded.mu1 != r.mu1 ||
        c.uploaded.bend != r.bend) {
        c.source = w.transferFunction.colourTable;
        c.uploaded = c.range;
        uploadColourTexture(w.fractalTable, remapTable(c.source, c.limit, c.range));
    }
    return w.fractalTable;
}

void floatFractal(FractalWindow& w, GLhandleARB program, bool isJulia)
{
    const float constant[2] = {juliaCr, juliaCi};
    const PlaneRect rect{w.viewLeft, w.viewRight, w.viewBottom, w.viewTop};
    drawFloatFractal(program, floatTable(w, isJulia), rect, w.width, w.height, isJulia ? constant : nullptr);
    if (w.screenshotRequested) {
        // The back buffer still holds the fractal alone: it is captured
        // here, before the overlay and before any swap can discard it.
        saveScreenshot(w.width, w.height);
        w.screenshotRequested = false;
    }
}

void displayPass(FractalWindow& w, GLhandleARB program, bool isJulia)
{
    // A pass nobody here asked for comes from the window system (an
    // expose): it shows.
    const bool asked = w.showRequested || !w.redisplayRequested;
    w.redisplayRequested = w.showRequested = false;
    glutSetWindow(w.windowId);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, w.width, 0, w.height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT);
    DeepPass pass;
    if (drawsDeep(w, isJulia)) pass = deepFractal(w, isJulia, asked);
    else floatFractal(w, program, isJulia), pass.show = true;
    if (pass.show) {
        if (w.transferFunction.drawEditor()) requestRedisplay(w);
        glutSwapBuffers();
    }
    if (pass.more) continueDeep(w);
}

void reshape(FractalWindow& w, int width, int height)
{
    w.width = width;
    w.height = height;
    glViewport(0, 0, width, height);
    w.transferFunction.windowHeight = height;
    settleView(w, deepAvailable);
    requestRedisplay(w);
}

}  // namespace

void mandelbrotDisplay() { displayPass(mandelbrotWindow, shaderSet.mandelbrotProgram, false); }
void juliaDisplay() { displayPass(juliaWindow, shaderSet.juliaProgram, true); }
void mandelbrotReshape(int width, int height) { reshape(mandelbrotWindow, width, height); }
void juliaReshape(int width, int height) { reshape(juliaWindow, width, height); }
