#include "support/gestures.h"

#include <algorithm>
#include <cmath>

namespace fx {

namespace {

constexpr int pictureTolerance = 3;
constexpr double allowedShare = 0.01;
// The bar is drawn exactly: texel centres and flat-coloured markers. A
// channel may still round either way; a marker off by one column is not.
constexpr int barTolerance = 2;

std::uint8_t byteOf(float channel)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(channel, 0.0f, 1.0f) * 255.0f));
}

// Paints columns left..right, rows top..bottom (window pixels, inclusive)
// where they fall on the bar.
void fill(Image& bar, int left, int right, int top, int bottom, const float rgb[3])
{
    for (int row = std::max(top, 10); row <= std::min(bottom, 29); ++row)
        for (int column = std::max(left, 10); column <= std::min(right, 521); ++column)
            for (int k = 0; k < 3; ++k) bar.at(column - 10, row - 10)[k] = byteOf(rgb[k]);
}

}  // namespace

Image expectedBar(const TransferFunction& tf)
{
    Image bar(512, 20);
    for (int i = 0; i < 512; ++i) {
        const float rgb[3] = {tf.colourTable[4 * i], tf.colourTable[4 * i + 1], tf.colourTable[4 * i + 2]};
        fill(bar, 10 + i, 10 + i, 10, 29, rgb);
    }
    // A marker: a square of 10 pixels around column 10 + 512 x, row 20,
    // framed in the colour that contrasts with the point's in every channel.
    for (const ControlPoint& p : tf.points) {
        const int cx = static_cast<int>(512.0 * p.x + 10.0);
        const float frame[3] = {p.red < 0.5f ? 1.0f : 0.0f, p.green < 0.5f ? 1.0f : 0.0f, p.blue < 0.5f ? 1.0f : 0.0f};
        const float inside[3] = {p.red, p.green, p.blue};
        fill(bar, cx - 5, cx + 4, 15, 24, frame);
        fill(bar, cx - 4, cx + 3, 16, 23, inside);
    }
    return bar;
}

void hover(XConnection& x, const Rect& window, int wx, int wy)
{
    x.movePointer(window.x + wx + 1, window.y + wy);
    x.movePointer(window.x + wx, window.y + wy);
}

bool waitUntilIdle(const Program& program, double timeoutSeconds)
{
    const double end = now() + timeoutSeconds;
    double before = program.cpuSeconds();
    while (now() < end) {
        pause(0.3);
        const double after = program.cpuSeconds();
        if (after == before) return true;
        before = after;
    }
    return false;
}

bool chooseFromMenu(XConnection& x, const Program& program, const Rect& window, int wx, int wy, int entries,
                    int index, double timeoutSeconds, std::string* why)
{
    const double end = now() + timeoutSeconds;
    auto fail = [&](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    // A menu opened while a pass is being computed is painted late, and
    // findPopupMenu would take a picture of it half-way for its resting state.
    if (!waitUntilIdle(program, timeoutSeconds)) return fail("the program never came to rest");
    // The last menu's window can outlive the choice for a moment; it must
    // not be taken for the new one.
    while (x.waitForPopupMenuWindow(0) && now() < end) pause(0.05);

    hover(x, window, wx, wy);
    x.pressButton(3);
    // freeglut paints a menu when the entry under the pointer changes. One
    // opened while the program is still drawing can miss that first paint
    // and stay blank until the pointer moves over it again, as a user's
    // would; findPopupMenu needs it painted.
    const WindowId opened = x.waitForPopupMenuWindow(end - now());
    Rect f;
    for (int k = 0; opened && x.geometry(opened, f) && isUniform(x.capture(opened)) && now() < end; ++k) {
        x.movePointer(f.centreX(), f.y + (k % 2 ? f.height / 4 : f.height * 3 / 4));
        pause(0.1);
    }
    PopupMenu menu;
    if (!x.findPopupMenu(entries, end - now(), menu, why)) {
        x.releaseButton(3);
        return false;
    }
    // freeglut 3.4 tests a release against the menu with the event's window
    // coordinates but places the menu in screen coordinates, so a release on
    // an entry chooses it only in a window at the screen's origin (the Julia
    // window's menus stay open, or choose an entry 830 pixels to the left).
    // A press on an entry chooses it in any window: the button is let go off
    // the menu, which leaves it open, and the entry is clicked.
    f = menu.frame;
    x.movePointer(f.x + f.width + 20, f.y + f.height + 20);
    x.releaseButton(3);
    x.movePointer(menu.entries[index].centreX(), menu.entries[index].centreY());
    x.click(3);
    while (x.isViewable(menu.window) && now() < end) pause(0.05);
    return !x.isViewable(menu.window) || fail("the menu stayed open after its entry was clicked");
}

void drag(XConnection& x, const Rect& window, int row, int fromX, int toX)
{
    hover(x, window, fromX, row);
    x.pressButton(1);
    x.movePointer(window.x + (fromX + toX) / 2, window.y + row);
    x.movePointer(window.x + toX, window.y + row);
    x.releaseButton(1);
}

Image colourBar(const Image& window)
{
    if (window.width < 522 || window.height < 30) return {};
    Image bar(512, 20);
    for (int row = 0; row < 20; ++row) std::copy_n(window.at(10, 10 + row), 512 * 3, bar.at(0, row));
    return bar;
}

bool similar(const Difference& d) { return !d.sizesDiffer && d.share() <= allowedShare; }

bool Look::good() const { return similar(picture) && !bar.sizesDiffer && bar.exceeding == 0; }

Difference comparePictures(const Image& a, const Image& b, int firstRow)
{
    return compareImages(a, b, pictureTolerance, firstRow);
}

Look compareLook(const Image& captured, const Image& expectedPicture, const Image& bar)
{
    Look look;
    look.captured = captured;
    look.picture = comparePictures(captured, expectedPicture);
    look.bar = compareImages(colourBar(captured), bar, barTolerance);
    return look;
}

Look waitForLook(XConnection& x, WindowId w, const Image& expectedPicture, const TransferFunction& tf,
                 double timeoutSeconds)
{
    const double end = now() + timeoutSeconds;
    const Image bar = expectedBar(tf);
    Look look;
    do {
        look = compareLook(x.capture(w), expectedPicture, bar);
        if (look.good()) {
            // A frame can be caught half-way through its arrival; it must
            // still be there a moment later.
            pause(0.05);
            look = compareLook(x.capture(w), expectedPicture, bar);
            if (look.good()) return look;
        }
        pause(0.05);
    } while (now() < end);
    return look;
}

::testing::AssertionResult looksRight(const Look& look, const Image& expectedPicture, const std::string& name)
{
    if (look.good()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << name << ": picture " << look.picture.describe() << "; colour bar "
                                         << look.bar.describe()
                                         << "\n  captured: " << saveForInspection(look.captured, name + "-captured")
                                         << "\n  expected: " << saveForInspection(expectedPicture, name + "-expected");
}

}  // namespace fx
