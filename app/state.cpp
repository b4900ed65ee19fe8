#include "app/fractal_window.h"

#include <GL/freeglut.h>

// Defined in one translation unit so that the Julia window's size is copied
// from the Mandelbrot window's default after that one is set.
FractalWindow mandelbrotWindow = [] {
    FractalWindow w;
    w.viewBottom = -1.5f;
    w.viewTop = 1.5f;
    w.viewLeft = -2.0f;
    w.viewRight = 1.0f;
    return w;
}();

FractalWindow juliaWindow = [] {
    FractalWindow w;
    w.width = mandelbrotWindow.width;
    w.height = mandelbrotWindow.height;
    w.viewBottom = -2.0f;
    w.viewTop = 2.0f;
    w.viewLeft = -2.0f;
    w.viewRight = 2.0f;
    return w;
}();

float juliaCr = 0.0f;
float juliaCi = 0.0f;
Big juliaRe(0.0, 64);
Big juliaIm(0.0, 64);
int windowMenu = 0;
bool deepAvailable = false;
int givenIterations = 0;

FractalWindow* currentFractalWindow()
{
    int id = glutGetWindow();
    if (id != 0 && id == mandelbrotWindow.windowId) return &mandelbrotWindow;
    if (id != 0 && id == juliaWindow.windowId) return &juliaWindow;
    return nullptr;
}
