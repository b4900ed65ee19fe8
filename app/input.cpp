// Mouse handling of the fractal windows. Every event goes to the window's
// editor first; navigation sees only what the editor leaves. GLUT reports a
// wheel notch as a press and a release of button 3 (in) or 4 (out), and each
// of them zooms one step.
#include "app/arguments.h"
#include "app/deep_display.h"
#include "app/input.h"
#include "app/menu_workaround.h"
#include "app/navigation.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int wheelIn = 3;
constexpr int wheelOut = 4;

void mouse(FractalWindow& w, int button, int state, int x, int y)
{
    if (w.transferFunction.onMouse(x, y, button, state)) return;
    if (button == wheelIn || button == wheelOut) {
        if (zoomWindow(w, button == wheelIn ? ZoomDirection::in : ZoomDirection::out, deepAvailable)) requestRedisplay(w);
        return;
    }
    if (&w == &mandelbrotWindow && button == GLUT_LEFT_BUTTON) {
        pickJuliaConstant(mandelbrotWindow, juliaRe, juliaIm, juliaCr, juliaCi);
        requestRedisplay(juliaWindow);
    }
}

void passiveMotion(FractalWindow& w, int x, int y)
{
    // A window without area has no pointer fractions; its menu stays as it was.
    if (!trackPointer(w, x, y)) return;
    if (!menuInUse) {
        glutSetMenu(windowMenu);
        glutAttachMenu(GLUT_RIGHT_BUTTON);
    }
    w.transferFunction.onPassiveMotion(x, y);
}

}  // namespace

void mandelbrotMouse(int button, int state, int x, int y) { mouse(mandelbrotWindow, button, state, x, y); }
void juliaMouse(int button, int state, int x, int y) { mouse(juliaWindow, button, state, x, y); }
void mandelbrotPassiveMotion(int x, int y) { passiveMotion(mandelbrotWindow, x, y); }
void juliaPassiveMotion(int x, int y) { passiveMotion(juliaWindow, x, y); }

void mandelbrotMotion(int x, int y)
{
    if (mandelbrotWindow.transferFunction.onMotion(x)) {
        requestRedisplay(mandelbrotWindow);
        return;
    }
    if (!trackPointer(mandelbrotWindow, x, y)) return;
    pickJuliaConstant(mandelbrotWindow, juliaRe, juliaIm, juliaCr, juliaCi);
    requestRedisplay(juliaWindow);
}

void juliaMotion(int x, int /*y*/)
{
    if (juliaWindow.transferFunction.onMotion(x)) requestRedisplay(juliaWindow);
}

void menuStatus(int status, int, int)
{
    menuInUse = status == GLUT_MENU_IN_USE;
    if (menuInUse) onMenuOpened();
}

void quit()
{
    stopDeepWork();
    mandelbrotWindow.transferFunction.releaseTexture();
    juliaWindow.transferFunction.releaseTexture();
    std::exit(0);
}

void keyboard(unsigned char key, int, int)
{
    if (key == 27) quit();
}

void editorMenu(int value)
{
    FractalWindow* w = currentFractalWindow();
    if (!w) return;
    w->transferFunction.applyMenu(value);
    requestRedisplay(*w);
}

void windowMenuHandler(int value)
{
    if (value == 1) quit();
    if (value != 0) return;
    FractalWindow* w = currentFractalWindow();
    if (!w) return;
    std::printf(w == &mandelbrotWindow ? "\nmandelbrot screenshot" : "\njulia screenshot");
    // Where both windows are, as the options that reopen them there.
    std::printf("\nOrt: fraktale %s", currentLocations().c_str());
    w->screenshotRequested = true;
    requestRedisplay(*w);
}
