#include "support/x11.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace fx {

namespace {

std::atomic<int> xErrors{0};

int recordError(::Display*, XErrorEvent*)
{
    ++xErrors;
    return 0;
}

Image convert(XImage* xi)
{
    // How the visual packs each channel into a pixel: its lowest bit and range.
    const unsigned long masks[3] = {xi->red_mask, xi->green_mask, xi->blue_mask};
    int shifts[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k)
        while (masks[k] && !((masks[k] >> shifts[k]) & 1)) ++shifts[k];
    Image image(xi->width, xi->height);
    for (int y = 0; y < xi->height; ++y) {
        for (int x = 0; x < xi->width; ++x) {
            const unsigned long p = XGetPixel(xi, x, y);
            for (int k = 0; k < 3; ++k)
                image.at(x, y)[k] = masks[k] ? ((p & masks[k]) >> shifts[k]) * 255 / (masks[k] >> shifts[k]) : 0;
        }
    }
    return image;
}

}  // namespace

double now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

XConnection::XConnection()
{
    XSetErrorHandler(recordError);
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
        const char* name = std::getenv("DISPLAY");
        throw std::runtime_error(std::string("cannot open X display ") + (name ? name : "(DISPLAY unset)"));
    }
    root_ = DefaultRootWindow(display_);
    int eventBase, errorBase, major, minor;
    if (!XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(display_);
        throw std::runtime_error("the X server has no XTEST extension");
    }
}

XConnection::~XConnection()
{
    // Buttons pressed through XTest stay down in the server; a test that
    // stopped half-way must not hand a held button to the next one.
    Window rootReturn, child;
    int rx, ry, wx, wy;
    unsigned mask = 0;
    if (XQueryPointer(display_, root_, &rootReturn, &child, &rx, &ry, &wx, &wy, &mask)) {
        for (int button = 1; button <= 5; ++button)
            if (mask & (Button1Mask << (button - 1))) XTestFakeButtonEvent(display_, button, False, CurrentTime);
    }
    XCloseDisplay(display_);
}

void XConnection::sync() { XSync(display_, False); }

std::vector<WindowId> XConnection::topLevel(WindowId of)
{
    Window rootReturn, parent;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<WindowId> found;
    if (XQueryTree(display_, of ? of : root_, &rootReturn, &parent, &children, &count))
        found.assign(children, children + count);
    if (children) XFree(children);
    return found;
}

std::vector<WindowId> XConnection::windows(const std::string& title)
{
    std::vector<WindowId> found, all = topLevel();
    // Under a reparenting window manager a client window sits in its frame.
    for (const Window frame : topLevel())
        for (const Window w : topLevel(frame)) all.push_back(w);
    for (const Window w : all) {
        char* name = nullptr;
        if (XFetchName(display_, w, &name) && name) {
            if (title == name && isViewable(w)) found.push_back(w);
            XFree(name);
        }
    }
    return found;
}

WindowId XConnection::popupMenu()
{
    const std::vector<WindowId> all = topLevel();
    for (auto w = all.rbegin(); w != all.rend(); ++w) {
        XWindowAttributes a;
        char* name = nullptr;  // a window manager maps override-redirect windows of its own
        const bool menu = XFetchName(display_, *w, &name) && name && std::string(name) == "freeglut menu";
        if (name) XFree(name);
        if (menu && XGetWindowAttributes(display_, *w, &a) && a.override_redirect && a.map_state == IsViewable)
            return *w;
    }
    return 0;
}

bool XConnection::isViewable(Window w)
{
    XWindowAttributes a;
    return XGetWindowAttributes(display_, w, &a) && a.map_state == IsViewable;
}

bool XConnection::geometry(Window w, Rect& onScreen)
{
    XWindowAttributes a;
    Window child;
    int x = 0, y = 0;
    if (!XGetWindowAttributes(display_, w, &a) || !XTranslateCoordinates(display_, w, root_, 0, 0, &x, &y, &child))
        return false;
    onScreen = Rect{x, y, a.width, a.height};
    return true;
}

Image XConnection::capture(Window w)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(display_, w, &a) || a.map_state != IsViewable) return {};
    const int before = xErrors;
    XImage* xi = XGetImage(display_, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    sync();
    if (!xi) return {};
    Image image = xErrors == before ? convert(xi) : Image{};
    XDestroyImage(xi);
    return image;
}

void XConnection::movePointer(int rootX, int rootY)
{
    XTestFakeMotionEvent(display_, DefaultScreen(display_), rootX, rootY, CurrentTime);
    sync();
}

void XConnection::pressButton(int button)
{
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    sync();
}

void XConnection::releaseButton(int button)
{
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    sync();
}

void XConnection::click(int button)
{
    pressButton(button);
    releaseButton(button);
}

void XConnection::typeKey(Window w, unsigned long keysym)
{
    // Without a window manager nobody hands out the focus; take it
    // explicitly so the key reaches this window wherever the pointer is.
    XSetInputFocus(display_, w, RevertToPointerRoot, CurrentTime);
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    sync();
}

void XConnection::resizeWindow(Window w, int width, int height)
{
    XResizeWindow(display_, w, static_cast<unsigned>(width), static_cast<unsigned>(height));
    sync();
}

void XConnection::exposeWindow(Window w)
{
    XClearArea(display_, w, 0, 0, 0, 0, True);
    sync();
}

bool XConnection::managed()
{
    const std::string selection = "WM_S" + std::to_string(DefaultScreen(display_));
    return XGetSelectionOwner(display_, XInternAtom(display_, selection.c_str(), False)) != 0;
}

bool XConnection::waitForSettle(Window w, double timeoutSeconds, Image* settled)
{
    Image previous = capture(w), current;
    return waitFor(
        [&] {
            pause(0.05);
            current = capture(w);
            if (!current.empty() && current == previous) {
                if (settled) *settled = std::move(current);
                return true;
            }
            previous = std::move(current);
            return false;
        },
        timeoutSeconds);
}

bool XConnection::waitForChange(Window w, const Image& before, double timeoutSeconds, Image* settled)
{
    const double end = now() + timeoutSeconds;
    return waitFor(
               [&] {
                   const Image current = capture(w);
                   return !current.empty() && current != before;
               },
               timeoutSeconds) &&
           waitForSettle(w, end - now(), settled);
}

bool isUniform(const Image& image)
{
    for (size_t i = 3; i < image.rgb.size(); i += 3)
        if (!std::equal(&image.rgb[0], &image.rgb[3], &image.rgb[i])) return false;
    return true;
}

}  // namespace fx
