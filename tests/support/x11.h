// The test side of the X server: the viewer's windows found by title, their
// pictures read back, and input through XTest as a user's mouse and
// keyboard would give it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Xlib's header defines None, Bool, Status and more as macros, which collide
// with GoogleTest; only the display type is declared here.
struct _XDisplay;

namespace fx {

using WindowId = unsigned long;  // Xlib's Window

// 8-bit RGB, row 0 at the top, as a window shows it.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
    Image() = default;
    Image(int w, int h) : width(w), height(h), rgb(size_t(w) * h * 3, 0) {}
    bool empty() const { return width <= 0 || height <= 0; }
    std::uint8_t* at(int x, int y) { return &rgb[(size_t(y) * width + x) * 3]; }
    const std::uint8_t* at(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
    bool operator==(const Image& o) const { return width == o.width && height == o.height && rgb == o.rgb; }
};

// A rectangle on the screen (root coordinates) or in a window.
struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    int centreX() const { return x + width / 2; }
    int centreY() const { return y + height / 2; }
};

double now();  // seconds, monotonic
void pause(double seconds);

// Polls the condition until it holds (true) or the time is up (false).
template <typename Condition>
bool waitFor(Condition condition, double timeoutSeconds)
{
    for (const double end = now() + timeoutSeconds; !condition(); pause(0.03))
        if (now() >= end) return false;
    return true;
}

// One connection to $DISPLAY. X errors (a window gone between a query and a
// capture) are counted, not fatal. Buttons still held at the end are let go.
class XConnection {
public:
    XConnection();
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    // Viewable windows with this exact title, searched through the whole
    // tree, since a window manager reparents the viewer's windows.
    std::vector<WindowId> windows(const std::string& title);
    // The topmost viewable override-redirect window (freeglut's pop-up
    // menu); 0 when none is open.
    WindowId popupMenu();
    bool isViewable(WindowId w);
    bool geometry(WindowId w, Rect& onScreen);  // the inside; false when gone
    Image capture(WindowId w);                  // empty when unreadable

    // Each call synchronised with the server. Buttons: 1 left, 3 right,
    // 4 wheel up (zooms in), 5 wheel down.
    void movePointer(int rootX, int rootY);
    void pressButton(int button);
    void releaseButton(int button);
    void click(int button) { pressButton(button), releaseButton(button); }
    void wheel(bool up) { click(up ? 4 : 5); }
    void typeKey(WindowId w, unsigned long keysym);  // focuses w first
    void resizeWindow(WindowId w, int width, int height);
    void exposeWindow(WindowId w);

    // Until two consecutive captures agree; until the picture differs from
    // `before` and then settles.
    bool waitForSettle(WindowId w, double timeoutSeconds, Image* settled = nullptr);
    bool waitForChange(WindowId w, const Image& before, double timeoutSeconds, Image* settled = nullptr);

private:
    void sync();
    _XDisplay* display_ = nullptr;
    WindowId root_ = 0;
};

// An empty picture or one of a single colour (mapped but not drawn yet).
bool isUniform(const Image& image);

}  // namespace fx
