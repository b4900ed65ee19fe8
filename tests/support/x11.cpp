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

// The lowest bit set in a colour mask and the mask's width: how a visual
// packs one channel into a pixel.
struct Channel {
    int shift = 0;
    int bits = 0;
    explicit Channel(unsigned long mask)
    {
        if (!mask) return;
        while (!(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        while (mask & 1) {
            mask >>= 1;
            ++bits;
        }
    }
    std::uint8_t of(unsigned long pixel) const
    {
        const unsigned long v = (pixel >> shift) & ((1ul << bits) - 1);
        if (bits == 8) return static_cast<std::uint8_t>(v);
        if (bits == 0) return 0;
        return static_cast<std::uint8_t>(v * 255 / ((1ul << bits) - 1));
    }
};

Image convert(XImage* xi)
{
    Image image(xi->width, xi->height);
    const Channel r(xi->red_mask), g(xi->green_mask), b(xi->blue_mask);
    for (int y = 0; y < xi->height; ++y) {
        for (int x = 0; x < xi->width; ++x) {
            const unsigned long p = XGetPixel(xi, x, y);
            std::uint8_t* out = image.at(x, y);
            out[0] = r.of(p);
            out[1] = g.of(p);
            out[2] = b.of(p);
        }
    }
    return image;
}

// The rows [first, last] in which `a` and `b` differ anywhere; false when
// they are equal.
bool changedRows(const Image& a, const Image& b, int& first, int& last)
{
    first = last = -1;
    if (a.width != b.width || a.height != b.height) return false;
    for (int y = 0; y < a.height; ++y) {
        const auto* ra = a.at(0, y);
        const auto* rb = b.at(0, y);
        if (!std::equal(ra, ra + a.width * 3, rb)) {
            if (first < 0) first = y;
            last = y;
        }
    }
    return first >= 0;
}

}  // namespace

double now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void pause(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

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
    if (!display_) return;
    // Buttons pressed through XTest stay down in the server; a test that
    // stopped half-way must not hand a held button to the next one.
    Window rootReturn, child;
    int rx, ry, wx, wy;
    unsigned mask = 0;
    if (XQueryPointer(display_, root_, &rootReturn, &child, &rx, &ry, &wx, &wy, &mask)) {
        for (int button = 1; button <= 5; ++button) {
            if (mask & (Button1Mask << (button - 1))) XTestFakeButtonEvent(display_, button, False, CurrentTime);
        }
    }
    XCloseDisplay(display_);
}

int XConnection::errorCount() const { return xErrors; }

void XConnection::sync() { XSync(display_, False); }

namespace {

// The top-level windows with this title (only the viewable ones when
// mappedOnly), bottom to top.
std::vector<Window> windowsTitled(::Display* display, Window root, const std::string& title, bool mappedOnly)
{
    std::vector<Window> found;
    Window rootReturn, parent;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count)) return found;
    for (unsigned i = 0; i < count; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            XWindowAttributes a;
            const bool viewable = XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable;
            if (title == name && (viewable || !mappedOnly)) found.push_back(children[i]);
            XFree(name);
        }
    }
    if (children) XFree(children);
    return found;
}

}  // namespace

Window XConnection::findWindow(const std::string& title, bool mappedOnly)
{
    const std::vector<Window> found = windowsTitled(display_, root_, title, mappedOnly);
    return found.empty() ? 0 : found.front();
}

int XConnection::countWindows(const std::string& title)
{
    return static_cast<int>(windowsTitled(display_, root_, title, true).size());
}

bool XConnection::isViewable(Window w)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(display_, w, &a)) return false;
    return a.map_state == IsViewable;
}

bool XConnection::geometry(Window w, Rect& onScreen)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(display_, w, &a)) return false;
    Window child;
    int x = 0, y = 0;
    if (!XTranslateCoordinates(display_, w, root_, 0, 0, &x, &y, &child)) return false;
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

Image XConnection::captureScreen(const Rect& r)
{
    XImage* xi = XGetImage(display_, root_, r.x, r.y, r.width, r.height, AllPlanes, ZPixmap);
    sync();
    if (!xi) return {};
    Image image = convert(xi);
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

void XConnection::wheel(bool up) { click(up ? 4 : 5); }

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

bool XConnection::waitForSettle(Window w, double timeoutSeconds, Image* settled)
{
    const double end = now() + timeoutSeconds;
    Image previous = capture(w);
    while (now() < end) {
        pause(0.05);
        Image current = capture(w);
        if (!current.empty() && current == previous) {
            if (settled) *settled = std::move(current);
            return true;
        }
        previous = std::move(current);
    }
    return false;
}

bool XConnection::waitForChange(Window w, const Image& before, double timeoutSeconds, Image* settled)
{
    const double end = now() + timeoutSeconds;
    while (now() < end) {
        Image current = capture(w);
        if (!current.empty() && current != before) return waitForSettle(w, end - now(), settled);
        pause(0.03);
    }
    return false;
}

Window XConnection::waitForPopupMenuWindow(double timeoutSeconds)
{
    const double end = now() + timeoutSeconds;
    do {
        Window rootReturn, parent;
        Window* children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(display_, root_, &rootReturn, &parent, &children, &count)) {
            // Children come bottom to top; the menu just mapped is on top.
            for (unsigned i = count; i-- > 0 && !found;) {
                XWindowAttributes a;
                if (XGetWindowAttributes(display_, children[i], &a) && a.override_redirect &&
                    a.map_state == IsViewable)
                    found = children[i];
            }
            if (children) XFree(children);
        }
        if (found) return found;
        pause(0.03);
    } while (now() < end);
    return 0;
}

bool XConnection::findPopupMenu(int expectedEntries, double timeoutSeconds, PopupMenu& menu, std::string* why)
{
    auto fail = [&](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    const double end = now() + timeoutSeconds;
    menu = PopupMenu{};
    if (expectedEntries <= 0) return fail("a menu has at least one entry");
    menu.window = waitForPopupMenuWindow(timeoutSeconds);
    if (!menu.window) return fail("no pop-up menu window was mapped");
    if (!geometry(menu.window, menu.frame)) return fail("the menu window vanished");
    const Rect f = menu.frame;
    const int offX = f.x + f.width + 20, offY = f.y + f.height + 20;

    // freeglut draws a menu only once the pointer moves over it, and
    // redraws it unlit when the pointer leaves: the unlit picture is the
    // base every lit one is compared with.
    movePointer(f.centreX(), f.centreY());
    Image lit;
    do {
        if (!waitForSettle(menu.window, end - now(), &lit)) return fail("the menu never held still");
    } while (isUniform(lit) && now() < end);
    if (isUniform(lit)) return fail("the menu was never drawn");
    movePointer(offX, offY);
    Image base;
    if (!waitForChange(menu.window, lit, end - now(), &base)) return fail("the lit entry stayed lit off the menu");

    // The rows that change when the pointer is at rootY: one entry's band.
    auto litRows = [&](int rootY, int& first, int& last) {
        movePointer(offX, offY);
        if (!waitForPicture(menu.window, base, end - now())) return false;
        movePointer(f.centreX(), rootY);
        Image current;
        if (!waitForChange(menu.window, base, end - now(), &current)) return false;
        return changedRows(base, current, first, last);
    };
    int first, last;
    if (!litRows(f.centreY(), first, last)) return fail("no entry lit up under the pointer");
    const int h = last - first + 1;
    const int border = (f.height - expectedEntries * h) / 2;
    if (border < 0 || (first - border) % h != 0)
        return fail("the lit band (rows " + std::to_string(first) + ".." + std::to_string(last) +
                    ") does not tile a menu of " + std::to_string(f.height) + " rows into " +
                    std::to_string(expectedEntries) + " entries");
    for (int k = 0; k < expectedEntries; ++k)
        menu.entries.push_back(Rect{f.x, f.y + border + k * h, f.width, h});

    // Every entry must light up exactly where the stacking puts it.
    for (int k = 0; k < expectedEntries; ++k) {
        const int top = border + k * h;
        if (!litRows(f.y + top + h / 2, first, last)) return fail("entry " + std::to_string(k) + " did not light up");
        if (first != top || last != top + h - 1)
            return fail("entry " + std::to_string(k) + " lit rows " + std::to_string(first) + ".." +
                        std::to_string(last) + ", expected " + std::to_string(top) + ".." +
                        std::to_string(top + h - 1));
    }
    return true;
}

bool XConnection::waitForPicture(Window w, const Image& target, double timeoutSeconds)
{
    const double end = now() + timeoutSeconds;
    do {
        if (capture(w) == target) return true;
        pause(0.03);
    } while (now() < end);
    return false;
}

bool isUniform(const Image& image)
{
    if (image.empty()) return true;
    const std::uint8_t* first = image.at(0, 0);
    for (size_t i = 0; i < image.rgb.size(); i += 3) {
        if (!std::equal(first, first + 3, &image.rgb[i])) return false;
    }
    return true;
}

}  // namespace fx
