#include "support/x11.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace fx {

namespace {

std::vector<Window> children(::Display* d, Window w)  // bottom to top
{
    Window root, parent, *list = nullptr;
    unsigned count = 0;
    std::vector<Window> found;
    if (XQueryTree(d, w, &root, &parent, &list, &count) && list) found.assign(list, list + count);
    if (list) XFree(list);
    return found;
}

}  // namespace

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }
void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

XConnection::XConnection()
{
    // A window can vanish between a query and a capture; that is no reason to end the test.
    XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
    display_ = XOpenDisplay(nullptr);
    int event, error, major, minor;
    if (!display_ || !XTestQueryExtension(display_, &event, &error, &major, &minor))
        throw std::runtime_error("no X display with XTEST at DISPLAY=" + std::string(std::getenv("DISPLAY") ?: ""));
    root_ = DefaultRootWindow(display_);
}

XConnection::~XConnection()
{
    // Buttons pressed through XTest stay down in the server; a test that
    // stopped half-way must not hand a held button to the next one.
    Window r, c;
    int rx, ry, wx, wy;
    unsigned mask = 0;
    XQueryPointer(display_, root_, &r, &c, &rx, &ry, &wx, &wy, &mask);
    for (int button = 1; button <= 5; ++button)
        if (mask & (Button1Mask << (button - 1))) XTestFakeButtonEvent(display_, button, False, CurrentTime);
    XCloseDisplay(display_);
}

void XConnection::sync() { XSync(display_, False); }

std::vector<WindowId> XConnection::windows(const std::string& title)
{
    std::vector<WindowId> found;
    std::vector<Window> level = children(display_, root_), next;
    for (int depth = 0; depth < 3; ++depth, level.swap(next), next.clear())
        for (const Window w : level) {
            char* name = nullptr;
            if (XFetchName(display_, w, &name) && name && title == name && isViewable(w)) found.push_back(w);
            if (name) XFree(name);
            for (const Window c : children(display_, w)) next.push_back(c);
        }
    return found;
}

WindowId XConnection::popupMenu()
{
    const std::vector<Window> all = children(display_, root_);
    for (auto w = all.rbegin(); w != all.rend(); ++w) {
        XWindowAttributes a;
        char* name = nullptr;
        const bool menu = XFetchName(display_, *w, &name) && name && std::string(name) == "freeglut menu";
        if (name) XFree(name);
        if (menu && XGetWindowAttributes(display_, *w, &a) && a.override_redirect && a.map_state == IsViewable) return *w;
    }
    return 0;
}

bool XConnection::managed()
{
    const std::string selection = "WM_S" + std::to_string(DefaultScreen(display_));
    return XGetSelectionOwner(display_, XInternAtom(display_, selection.c_str(), False)) != 0;
}

bool XConnection::isViewable(WindowId w)
{
    XWindowAttributes a;
    return XGetWindowAttributes(display_, w, &a) && a.map_state == IsViewable;
}

bool XConnection::geometry(WindowId w, Rect& onScreen)
{
    XWindowAttributes a;
    Window child;
    return XGetWindowAttributes(display_, w, &a) &&
           XTranslateCoordinates(display_, w, root_, 0, 0, &onScreen.x, &onScreen.y, &child) &&
           (onScreen.width = a.width, onScreen.height = a.height, true);
}

Image XConnection::capture(WindowId w)
{
    XWindowAttributes a;
    XImage* xi = XGetWindowAttributes(display_, w, &a) && a.map_state == IsViewable
                     ? XGetImage(display_, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap)
                     : nullptr;
    if (!xi) return {};
    Image image(xi->width, xi->height);  // a 24-bit TrueColor visual: 8 bits a channel
    for (int y = 0; y < xi->height; ++y)
        for (int x = 0; x < xi->width; ++x) {
            const unsigned long p = XGetPixel(xi, x, y);
            image.at(x, y)[0] = p >> 16 & 0xFF, image.at(x, y)[1] = p >> 8 & 0xFF, image.at(x, y)[2] = p & 0xFF;
        }
    XDestroyImage(xi);
    return image;
}

void XConnection::movePointer(int rootX, int rootY)
{
    XTestFakeMotionEvent(display_, DefaultScreen(display_), rootX, rootY, CurrentTime);
    sync();
}

void XConnection::pressButton(int button) { XTestFakeButtonEvent(display_, button, True, CurrentTime), sync(); }
void XConnection::releaseButton(int button) { XTestFakeButtonEvent(display_, button, False, CurrentTime), sync(); }

void XConnection::typeKey(WindowId w, unsigned long keysym)
{
    // Without a window manager nobody hands out the focus.
    XSetInputFocus(display_, w, RevertToPointerRoot, CurrentTime);
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    sync();
}

void XConnection::resizeWindow(WindowId w, int width, int height) { XResizeWindow(display_, w, width, height), sync(); }
void XConnection::exposeWindow(WindowId w) { XClearArea(display_, w, 0, 0, 0, 0, True), sync(); }

}  // namespace fx
