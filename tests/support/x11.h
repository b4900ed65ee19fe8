// The test side of the X server: the viewer's windows found by title, their
// pictures read back, and synthetic input through XTest, the way a user's
// mouse and keyboard would give it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Xlib's own header defines None, Bool, Status and more as macros, which
// collide with GoogleTest; only the display type is declared here.
struct _XDisplay;

namespace fx {

using WindowId = unsigned long;  // Xlib's Window

// 8-bit RGB, row 0 at the top, as a window shows it.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    Image() = default;
    Image(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0) {}
    bool empty() const { return width <= 0 || height <= 0; }
    std::uint8_t* at(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    bool operator==(const Image& o) const { return width == o.width && height == o.height && rgb == o.rgb; }
    bool operator!=(const Image& o) const { return !(*this == o); }
};

// A rectangle on the screen (root coordinates) or in a window.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int centreX() const { return x + width / 2; }
    int centreY() const { return y + height / 2; }
};

// Seconds on a monotonic clock, and a short sleep between polls.
double now();
void pause(double seconds);

// Polls the condition until it holds (true) or the time is up (false).
template <typename Condition>
bool waitFor(Condition condition, double timeoutSeconds)
{
    const double end = now() + timeoutSeconds;
    while (!condition()) {
        if (now() >= end) return false;
        pause(0.03);
    }
    return true;
}

// One connection to $DISPLAY. X errors (a window that vanished between a
// query and a capture) are counted rather than ending the test process.
// Buttons still held when the connection closes are released.
class XConnection {
public:
    XConnection();
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    // The viewable top-level windows with this exact title, bottom to top.
    std::vector<WindowId> windows(const std::string& title);
    // The viewable override-redirect top-level window freeglut maps for a
    // pop-up menu ("freeglut menu"), the topmost one; 0 when none is open.
    WindowId popupMenu();
    bool isViewable(WindowId w);
    // The window's inside on the screen; false when it is gone.
    bool geometry(WindowId w, Rect& onScreen);
    // The window's picture; empty when it cannot be read (unmapped, gone).
    Image capture(WindowId w);

    // XTest input, each call synchronised with the server. Buttons: 1 left,
    // 3 right, 4 wheel up (zooms in), 5 wheel down.
    void movePointer(int rootX, int rootY);
    void pressButton(int button);
    void releaseButton(int button);
    void click(int button);
    void wheel(bool up) { click(up ? 4 : 5); }
    // Gives the window the keyboard focus and types the key.
    void typeKey(WindowId w, unsigned long keysym);
    // As a window manager would when the user drags a border.
    void resizeWindow(WindowId w, int width, int height);
    // An Expose for all of the window, as when a window covering it goes.
    void exposeWindow(WindowId w);

    // A window manager holds the screen's WM_S<n> selection.
    bool managed();

    // Polls until two consecutive captures agree.
    bool waitForSettle(WindowId w, double timeoutSeconds, Image* settled = nullptr);
    // Polls until the picture differs from `before`, then until it settles.
    bool waitForChange(WindowId w, const Image& before, double timeoutSeconds, Image* settled = nullptr);

private:
    std::vector<WindowId> topLevel(WindowId of = 0);  // children of `of` (the root), bottom to top
    void sync();
    _XDisplay* display_ = nullptr;
    WindowId root_ = 0;
};

// True for an empty picture or one of a single colour (a window mapped
// but not drawn yet).
bool isUniform(const Image& image);

}  // namespace fx
