// The test side of the X server: windows found by title, their pictures read
// back, and input through XTest as a user's mouse and keyboard give it.
#pragma once

// GoogleTest first: Xlib's macros (None, Bool, Status) would break its
// declarations; they are undefined again at the end of this file.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fx {

using WindowId = unsigned long;

// 8-bit RGB, row 0 at the top, as a window shows it.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
    Image() = default;
    Image(int w, int h) : width(w), height(h), rgb(size_t(w) * h * 3, 0) {}
    std::uint8_t* at(int x, int y) { return &rgb[(size_t(y) * width + x) * 3]; }
    const std::uint8_t* at(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
    bool operator==(const Image& o) const { return width == o.width && height == o.height && rgb == o.rgb; }
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    int centreX() const { return x + width / 2; }
    int centreY() const { return y + height / 2; }
};

inline double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }
inline void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

// Polls the condition until it holds (true) or the time is up (false).
template <typename Condition>
bool waitFor(Condition condition, double timeoutSeconds)
{
    for (const double end = now() + timeoutSeconds; !condition(); pause(0.03))
        if (now() >= end) return false;
    return true;
}

// One connection to $DISPLAY. Buttons: 1 left, 3 right, 4/5 wheel up/down.
class XConnection {
public:
    XConnection()
    {
        // A window can vanish between a query and a capture; that is no reason to end the test.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        int event, error, major, minor;
        if (!(d_ = XOpenDisplay(nullptr)) || !XTestQueryExtension(d_, &event, &error, &major, &minor))
            throw std::runtime_error("no X display with XTEST at DISPLAY=" + std::string(std::getenv("DISPLAY") ?: ""));
    }
    ~XConnection()
    {
        // A test stopped half-way must not hand a held button to the next
        // (the server drops the release of a button that is up).
        for (int button = 1; button <= 5; ++button) XTestFakeButtonEvent(d_, button, False, CurrentTime);
        XCloseDisplay(d_);
    }
    XConnection(const XConnection&) = delete;

    // Viewable windows of this title anywhere in the tree (a window manager reparents them).
    std::vector<WindowId> windows(const std::string& title)
    {
        std::vector<WindowId> found, level = children(root()), next;
        for (int depth = 0; depth < 3; ++depth, level.swap(next), next.clear())
            for (const WindowId w : level) {
                if (name(w) == title && isViewable(w)) found.push_back(w);
                for (const WindowId c : children(w)) next.push_back(c);
            }
        return found;
    }
    // freeglut's open pop-up menu, or 0.
    WindowId popupMenu() { const auto open = windows("freeglut menu"); return open.empty() ? 0 : open.back(); }
    bool isViewable(WindowId w)
    {
        XWindowAttributes a;
        return XGetWindowAttributes(d_, w, &a) && a.map_state == IsViewable;
    }
    Rect where(WindowId w)  // the inside, in root coordinates; no size when unknown
    {
        XWindowAttributes a;
        Window child;
        Rect r;
        if (XGetWindowAttributes(d_, w, &a) && XTranslateCoordinates(d_, w, root(), 0, 0, &r.x, &r.y, &child))
            r.width = a.width, r.height = a.height;
        return r;
    }
    Image capture(WindowId w)  // empty when unreadable
    {
        XWindowAttributes a;
        XImage* xi = XGetWindowAttributes(d_, w, &a) && a.map_state == IsViewable
                         ? XGetImage(d_, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap) : nullptr;
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

    void movePointer(int rootX, int rootY) { XTestFakeMotionEvent(d_, DefaultScreen(d_), rootX, rootY, CurrentTime), sync(); }
    void pressButton(int button) { XTestFakeButtonEvent(d_, button, True, CurrentTime), sync(); }
    void releaseButton(int button) { XTestFakeButtonEvent(d_, button, False, CurrentTime), sync(); }
    void click(int button) { pressButton(button), releaseButton(button); }
    void wheel(bool up) { click(up ? 4 : 5); }
    void typeKey(WindowId w, unsigned long keysym)
    {
        // Without a window manager nobody hands out the focus.
        XSetInputFocus(d_, w, RevertToPointerRoot, CurrentTime);
        const KeyCode code = XKeysymToKeycode(d_, keysym);
        XTestFakeKeyEvent(d_, code, True, CurrentTime);
        XTestFakeKeyEvent(d_, code, False, CurrentTime);
        sync();
    }
    void resizeWindow(WindowId w, int width, int height) { XResizeWindow(d_, w, width, height), sync(); }
    void exposeWindow(WindowId w) { XClearArea(d_, w, 0, 0, 0, 0, True), sync(); }

private:
    WindowId root() const { return DefaultRootWindow(d_); }
    void sync() { XSync(d_, False); }
    std::string name(WindowId w)
    {
        char* text = nullptr;
        const std::string result = XFetchName(d_, w, &text) && text ? text : "";
        if (text) XFree(text);
        return result;
    }
    std::vector<WindowId> children(WindowId w)  // bottom to top
    {
        Window rootReturn, parent, *list = nullptr;
        unsigned count = 0;
        std::vector<WindowId> found;
        if (XQueryTree(d_, w, &rootReturn, &parent, &list, &count) && list) found.assign(list, list + count);
        if (list) XFree(list);
        return found;
    }
    Display* d_ = nullptr;
};

}  // namespace fx

#undef None
#undef Bool
#undef Status
#undef True
#undef False
#undef Success
