// The keyboard of the fractal windows, each key acting on the window that
// has the focus: + and - a wheel notch at the centre, the arrows an eighth
// of the window, Backspace the view before, Home the view the window
// opened at, Esc the end. Every change of view but Backspace's puts the
// view before it into the window's history.
#include "app/fractal_window.h"
#include "app/input.h"
#include "app/navigation.h"

#include <GL/freeglut.h>

namespace {

constexpr unsigned char escape = 27, backspace = 8;

template <typename Change>
void changeView(FractalWindow& w, Change change)
{
    const WindowView before = windowView(w);
    if (!change()) return;
    remember(w.history, before);
    requestRedisplay(w);
}

void goBack(FractalWindow& w)
{
    WindowView view;
    if (!takeNewest(w.history, view)) return;
    showView(w, view, deepAvailable);
    requestRedisplay(w);
}

void goHome(FractalWindow& w)
{
    changeView(w, [&] {
        if (sameView(windowView(w), w.home)) return false;
        showView(w, w.home, deepAvailable);
        return true;
    });
}

}  // namespace

void keyboard(unsigned char key, int, int)
{
    if (key == escape) quit();
    FractalWindow* w = currentFractalWindow();
    if (!w) return;
    if (key == '+' || key == '=' || key == '-') {
        const ZoomDirection direction = key == '-' ? ZoomDirection::out : ZoomDirection::in;
        changeView(*w, [&] { return zoomAtCentre(*w, direction, deepAvailable); });
    }
    if (key == backspace) goBack(*w);
}

void specialKey(int key, int, int)
{
    FractalWindow* w = currentFractalWindow();
    if (!w) return;
    if (key == GLUT_KEY_HOME) return goHome(*w);
    const long across = w->width / 8, up = w->height / 8;
    long dx = 0, dy = 0;
    if (key == GLUT_KEY_LEFT) dx = -across;
    if (key == GLUT_KEY_RIGHT) dx = across;
    if (key == GLUT_KEY_UP) dy = up;
    if (key == GLUT_KEY_DOWN) dy = -up;
    if (dx || dy) changeView(*w, [&] { return panWindow(*w, dx, dy, deepAvailable); });
}
