// A workaround for two faults of freeglut 3.4's pop-up menus under X11
// (fg_menu.c; still so in its newest release):
//
// - The press that opens a menu gives its window the pointer's implicit
//   grab, so the release goes to that window too, and fgCheckActiveMenu
//   then compares the pointer's position relative to that window with the
//   menu's position on the screen (motion is compared right, in screen
//   coordinates). A press-drag-release therefore picks the entry under the
//   pointer only in a window at the screen's origin; elsewhere, or below a
//   window manager's title bar, it picks the entry above it or none, and a
//   press or release just below the menu can pick an entry too.
// - A menu whose window is mapped for the first time stays an empty black
//   box until the pointer moves over it.
//
// So when a menu opens, the implicit grab is released at once, and as soon
// as the menu's window is mapped the pointer is grabbed for it: every press,
// release and motion then reaches freeglut relative to the menu's own
// window, which it handles right. The X server ends that grab by itself
// when freeglut unmaps the menu. The menu is also sent Exposes, on which
// freeglut draws it.
#include "app/menu_workaround.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

namespace {

Display* display = nullptr;

// The open menu: a viewable override-redirect top-level window on which this
// connection (freeglut) has selected Expose events; 0 while none is mapped.
Window openMenuWindow()
{
    Window rootReturn, parent, *children = nullptr, found = 0;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &rootReturn, &parent, &children, &count)) return 0;
    for (unsigned i = count; i-- > 0 && !found;) {
        XWindowAttributes a;
        if (XGetWindowAttributes(display, children[i], &a) && a.override_redirect && a.map_state == IsViewable &&
            (a.your_event_mask & ExposureMask))
            found = children[i];
    }
    if (children) XFree(children);
    return found;
}

// An Expose makes freeglut draw the menu. One that arrives too soon after
// the map can still be drawn into a buffer that never reaches the screen
// (seen now and then with Mesa's software renderer), so a few follow at
// growing intervals while the menu stays open.
void exposeMenu(int round)
{
    const Window menu = openMenuWindow();
    if (!menu) return;
    XEvent expose{};
    expose.xexpose.type = Expose;
    expose.xexpose.window = menu;
    XSendEvent(display, menu, False, ExposureMask, &expose);
    XFlush(display);
    if (round < 4) glutTimerFunc(25u << (2 * round), exposeMenu, round + 1);
}

// freeglut maps the menu's window after the menu status callback, in the
// same round of its main loop; this timer looks for it in the next rounds.
void grabAndDrawWhenMapped(int round)
{
    const Window menu = openMenuWindow();
    if (!menu) {
        if (round < 100) glutTimerFunc(1, grabAndDrawWhenMapped, round + 1);
        return;
    }
    XGrabPointer(display, menu, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                 LeaveWindowMask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    exposeMenu(0);
}

}  // namespace

void onMenuOpened()
{
    // freeglut calls the menu status callback with the window of the menu
    // current, on its one X connection.
    display = glXGetCurrentDisplay();
    if (!display) return;
    XUngrabPointer(display, CurrentTime);
    XFlush(display);
    glutTimerFunc(0, grabAndDrawWhenMapped, 0);
}
