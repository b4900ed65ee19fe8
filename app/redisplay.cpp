// The redisplay protocol: handlers raise a window's flag, the idle callback
// posts the redisplay, the window's pass lowers the flag.
//
// freeglut calls a registered idle callback in a busy loop, which would keep
// a core at 100% while nothing changes. So the idle callback is registered
// only while a request is outstanding and unregisters itself once it has
// posted: a posted redisplay is kept by GLUT until the pass runs, and a flag
// raised later arms the callback again.
#include "app/display.h"
#include "app/fractal_window.h"

#include <GL/freeglut.h>

namespace {
bool idleArmed = false;
bool glutRunning = false;
}  // namespace

void armIdle()
{
    glutRunning = true;
    if (idleArmed) return;
    idleArmed = true;
    glutIdleFunc(idle);
}

void requestWork(FractalWindow& window)
{
    window.redisplayRequested = true;
    // Before start-up has registered anything there is no GLUT to arm.
    if (glutRunning) armIdle();
}

void requestRedisplay(FractalWindow& window)
{
    window.showRequested = true;
    requestWork(window);
}

void idle()
{
    if (juliaWindow.redisplayRequested) {
        glutSetWindow(juliaWindow.windowId);
        glutPostRedisplay();
    }
    if (mandelbrotWindow.redisplayRequested) {
        glutSetWindow(mandelbrotWindow.windowId);
        glutPostRedisplay();
    }
    idleArmed = false;
    glutIdleFunc(nullptr);
}
