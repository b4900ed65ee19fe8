// Mouse handling of the fractal windows. Every event goes to the window's
// editor first; navigation sees only what the editor leaves. GLUT reports a
// wheel notch as a press and a release of button 3 (in) or 4 (out), and each
// of them zooms one step; the view before the press goes into the window's
// history. The middle button drags the view: the point under the pointer
// stays under it, and the view before the drag goes into the history.
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

// The middle button's drag in a window: where the pointer was when the
// view last followed it, and whether the view has moved in this drag.
struct Drag {
    bool held = false, moved = false;
    int x = 0, y = 0;
};
Drag drags[2];
bool leftHeld = false;  // in the Mandelbrot window, whose left drag picks the Julia constant

Drag& dragOf(const FractalWindow& w)
{
    return drags[&w == &juliaWindow ? 1 : 0];
}

void mouse(FractalWindow& w, int button, int state, int x, int y)
{
    // A button let go over the editor still ends what it began.
    const bool editor = w.transferFunction.onMouse(x, y, button, state);
    if (button == GLUT_MIDDLE_BUTTON) dragOf(w) = Drag{state == GLUT_DOWN && !editor, false, x, y};
    if (button == GLUT_LEFT_BUTTON && &w == &mandelbrotWindow) leftHeld = state == GLUT_DOWN && !editor;
    if (editor) return;
    if (button == wheelIn || button == wheelOut) {
        // A notch is a press and a release: the view before the press is the one to go back to.
        WindowView before;
        if (state == GLUT_DOWN) before = windowView(w);
        if (!zoomWindow(w, button == wheelIn ? ZoomDirection::in : ZoomDirection::out, deepAvailable)) return;
        if (state == GLUT_DOWN) remember(w.history, before);
        requestRedisplay(w);
        return;
    }
    if (&w == &mandelbrotWindow && button == GLUT_LEFT_BUTTON) {
        pickJuliaConstant(mandelbrotWindow, juliaRe, juliaIm, juliaCr, juliaCi);
        requestRedisplay(juliaWindow);
    }
}

// The view follows the pointer by whole pixels; a move it refuses waits
// until the pointer has gone further.
void dragTo(FractalWindow& w, int x, int y)
{
    Drag& d = dragOf(w);
    trackPointer(w, x, y);
    // Only the drag's first move goes into the history.
    WindowView before;
    if (!d.moved) before = windowView(w);
    if (!panWindow(w, d.x - x, y - d.y, deepAvailable)) return;
    if (!d.moved) remember(w.history, before);
    d.moved = true, d.x = x, d.y = y;
    requestRedisplay(w);
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
    if (dragOf(mandelbrotWindow).held) return dragTo(mandelbrotWindow, x, y);
    if (!leftHeld || !trackPointer(mandelbrotWindow, x, y)) return;
    pickJuliaConstant(mandelbrotWindow, juliaRe, juliaIm, juliaCr, juliaCi);
    requestRedisplay(juliaWindow);
}

void juliaMotion(int x, int y)
{
    if (juliaWindow.transferFunction.onMotion(x)) requestRedisplay(juliaWindow);
    else if (dragOf(juliaWindow).held) dragTo(juliaWindow, x, y);
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
