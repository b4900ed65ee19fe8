// The test side of the X server: windows found by title, their pictures read
// back, and input through XTest as a user's mouse and keyboard give it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;  // Xlib's own header defines macros that collide with GoogleTest

namespace fx {

using WindowId = unsigned long;

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

// One connection to $DISPLAY; buttons still held at its end are let go.
class XConnection {
public:
    XConnection();
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    // Viewable windows of this title anywhere in the tree (a window manager
    // reparents them); freeglut's topmost pop-up menu (a window manager maps
    // override-redirect windows of its own), or 0; whether a window manager
    // holds the screen's WM_S<n> selection.
    std::vector<WindowId> windows(const std::string& title);
    WindowId popupMenu();
    bool managed();
    bool isViewable(WindowId w);
    bool geometry(WindowId w, Rect& onScreen);  // the inside, in root coordinates
    Image capture(WindowId w);                  // empty when unreadable

    // Buttons: 1 left, 3 right, 4 wheel up (zooms in), 5 wheel down.
    void movePointer(int rootX, int rootY);
    void pressButton(int button);
    void releaseButton(int button);
    void click(int button) { pressButton(button), releaseButton(button); }
    void wheel(bool up) { click(up ? 4 : 5); }
    void typeKey(WindowId w, unsigned long keysym);  // focuses w first
    void resizeWindow(WindowId w, int width, int height);
    void exposeWindow(WindowId w);

private:
    void sync();
    _XDisplay* display_ = nullptr;
    WindowId root_ = 0;
};

}  // namespace fx
