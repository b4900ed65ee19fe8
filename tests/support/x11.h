// The test side of the X server: finding the viewer's windows, reading their
// pictures back and driving them with synthetic input through XTest, the way
// a user's mouse and keyboard would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Xlib's own header defines None, Bool, Status and more as macros, which
// collide with GoogleTest; the two Xlib types needed here are declared as
// Xlib declares them.
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
    bool contains(int px, int py) const { return px >= x && px < x + width && py >= y && py < y + height; }
};

// freeglut's pop-up menu as it is on the screen. The entries are stacked
// top to bottom with equal heights, in the order they were added.
struct PopupMenu {
    WindowId window = 0;
    Rect frame;                 // root coordinates
    std::vector<Rect> entries;  // root coordinates
};

// One connection to $DISPLAY. X errors (a window that vanished between a
// query and a capture) are recorded rather than ending the test process.
// Buttons still held when the connection closes are released.
class XConnection {
public:
    XConnection();
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    _XDisplay* display() const { return display_; }
    WindowId root() const { return root_; }

    // A top-level window (child of the root) with this exact title, or 0.
    // Only viewable windows count unless `mappedOnly` is false.
    WindowId findWindow(const std::string& title, bool mappedOnly = true);
    // How many viewable top-level windows carry this title.
    int countWindows(const std::string& title);
    bool isViewable(WindowId w);
    // Size and position of the window's inside on the screen; false when it
    // is gone.
    bool geometry(WindowId w, Rect& onScreen);

    // The window's picture; empty when it cannot be read (unmapped, gone).
    Image capture(WindowId w);
    // A rectangle of the screen as the root window shows it.
    Image captureScreen(const Rect& r);

    // XTest input. Buttons 1..5: 1 left, 2 middle, 3 right, 4 wheel up,
    // 5 wheel down. Each call is flushed and synchronised with the server.
    void movePointer(int rootX, int rootY);
    void pressButton(int button);
    void releaseButton(int button);
    void click(int button);
    // One wheel notch: a press and a release of button 4 (up, zooms in)
    // or 5 (down, zooms out).
    void wheel(bool up);
    // Gives the window the keyboard focus and types the key (press, release).
    void typeKey(WindowId w, unsigned long keysym);
    // Asks the server to give the window's inside this size, as a window
    // manager would when the user drags a border. The program learns of it
    // through its reshape callback; poll for the new picture.
    void resizeWindow(WindowId w, int width, int height);
    // Makes the server send the window an Expose for all of it, as when a
    // window that covered it goes away.
    void exposeWindow(WindowId w);

    // Polls until the window's picture differs from `before` and then holds
    // still for two consecutive captures; the settled picture is returned
    // through `settled`. False on timeout.
    bool waitForChange(WindowId w, const Image& before, double timeoutSeconds, Image* settled = nullptr);
    // Polls until two consecutive captures agree. False on timeout.
    bool waitForSettle(WindowId w, double timeoutSeconds, Image* settled = nullptr);
    // Polls until the window shows exactly `target`. False on timeout.
    bool waitForPicture(WindowId w, const Image& target, double timeoutSeconds);

    // The viewable override-redirect top-level window that freeglut maps
    // for a pop-up menu, polled for until the timeout; 0 when none came.
    WindowId waitForPopupMenuWindow(double timeoutSeconds);
    // Waits for the pop-up menu (the right button must be held) and finds
    // its entries: the rows that change when the pointer moves onto the
    // middle of the menu are one entry's band; the stacking that band
    // implies is then checked by lighting every entry in turn.
    // `expectedEntries` is the number of entries the menu was built with.
    // The pointer is left on the last entry; release the button where the
    // choice is to be made. A release off the menu leaves it open.
    bool findPopupMenu(int expectedEntries, double timeoutSeconds, PopupMenu& menu, std::string* why = nullptr);

    // Number of X errors seen since the connection opened.
    int errorCount() const;

private:
    void sync();
    _XDisplay* display_ = nullptr;
    WindowId root_ = 0;
};

// True for an empty picture or one of a single colour (a window mapped
// but not drawn yet).
bool isUniform(const Image& image);

// Seconds on a monotonic clock.
double now();
// Sleeps briefly between polls.
void pause(double seconds);

}  // namespace fx
