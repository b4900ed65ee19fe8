#include "support/gestures.h"

#include <tiffio.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>
#include <utility>

namespace fx {

namespace {

Rect where(XConnection& x, WindowId w)
{
    Rect r;
    x.geometry(w, r);
    return r;
}

struct Mismatches {
    long exact = 0, rounded = 0;
    long fractal[2] = {0, 0}, compared[2] = {0, 0};  // in the editor's rows, below them
    long edge = 0;                                   // fractal pixels touching the editor
    std::string first;                               // the first editor pixel off
};

Mismatches compareWindow(const Image& captured, const Expected& e)
{
    constexpr int editorRows = 40;
    Mismatches m;
    auto besideEditor = [&e](int x, int y) {
        for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, e.picture.height - 1); ++ny)
            for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, e.picture.width - 1); ++nx)
                if (e.kind(nx, ny) != Expected::fractal) return true;
        return false;
    };
    for (int y = 0; y < captured.height; ++y) {
        for (int x = 0; x < captured.width; ++x) {
            const std::uint8_t *c = captured.at(x, y), *w = e.picture.at(x, y);
            int worst = 0;
            for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(int(c[k]) - int(w[k])));
            const Expected::Kind kind = e.kind(x, y);
            if (kind == Expected::fractal) ++m.compared[y >= editorRows];
            if (worst <= (kind == Expected::exact ? 0 : kind == Expected::rounded ? 2 : 3)) continue;
            if (kind == Expected::fractal) {
                ++m.fractal[y >= editorRows];
                if (y < editorRows && besideEditor(x, y)) ++m.edge;
                continue;
            }
            ++(kind == Expected::exact ? m.exact : m.rounded);
            auto rgb = [](const std::uint8_t* p) {
                return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
            };
            if (m.first.empty())
                m.first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") " + rgb(c) + " for " + rgb(w);
        }
    }
    return m;
}

::testing::AssertionResult failure(const std::string& message, const Image& captured, const Image& expected,
                                   const std::string& name)
{
    return ::testing::AssertionFailure() << name << ": " << message
                                         << "\n  captured: " << savePicture(captured, name + "-captured")
                                         << "\n  expected: " << savePicture(expected, name + "-expected");
}

}  // namespace

void hover(XConnection& x, WindowId w, int wx, int wy)
{
    const Rect r = where(x, w);
    x.movePointer(r.x + wx + 1, r.y + wy);
    x.movePointer(r.x + wx, r.y + wy);
}

void drag(XConnection& x, WindowId w, int row, int fromX, int toX)
{
    const Rect r = where(x, w);
    hover(x, w, fromX, row);
    x.pressButton(1);
    x.movePointer(r.x + (fromX + toX) / 2, r.y + row);
    x.movePointer(r.x + toX, r.y + row);
    x.releaseButton(1);
}

bool waitUntilIdle(const Program& program, double timeoutSeconds)
{
    double before = program.cpuSeconds();
    return waitFor(
        [&] {
            pause(0.3);
            const double after = program.cpuSeconds();
            return std::exchange(before, after) == after;
        },
        timeoutSeconds);
}

::testing::AssertionResult openMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy, int entries,
                                    PopupMenu& menu)
{
    auto fail = [&x](const std::string& why) {
        x.releaseButton(3);
        return ::testing::AssertionFailure() << why;
    };
    // A menu opened while a pass is being computed is painted late, and a
    // half-painted menu would be taken for its resting state.
    if (!waitUntilIdle(program)) return fail("the program never came to rest");
    // The last menu's window can outlive the choice for a moment; it must
    // not be taken for the new one.
    waitFor([&] { return !x.popupMenu(); }, stepTimeout);
    hover(x, w, wx, wy);
    x.pressButton(3);
    menu = PopupMenu{};
    if (!waitFor([&] { return (menu.window = x.popupMenu()) != 0; }, stepTimeout) || !x.geometry(menu.window, menu.frame))
        return fail("no pop-up menu window was mapped");
    const Rect f = menu.frame;
    // freeglut paints a menu only when the entry under the pointer changes;
    // one opened while the program is still drawing can miss that first
    // paint and stay blank until the pointer moves over it again, as a
    // user's would. Both places lie on an entry, whatever the count.
    int k = 0;
    Image lit, base, current;
    if (!waitFor(
            [&] {
                x.movePointer(f.centreX(), f.y + (++k % 2 ? f.height / 4 : f.height * 3 / 4));
                pause(0.1);
                return !isUniform(x.capture(menu.window));
            },
            stepTimeout) ||
        !x.waitForSettle(menu.window, stepTimeout, &lit))
        return fail("the menu was never drawn");
    // Off the menu its entries are drawn unlit; back on it, the rows that
    // change are one entry's band.
    const int offX = f.x + f.width + 20, offY = f.y + f.height + 20;
    x.movePointer(offX, offY);
    if (!x.waitForChange(menu.window, lit, stepTimeout, &base)) return fail("the lit entry stayed lit off the menu");
    x.movePointer(f.centreX(), f.centreY());
    if (!x.waitForChange(menu.window, base, stepTimeout, &current) || current.height != base.height)
        return fail("no entry lit up under the pointer");
    int first = -1, last = -1;
    for (int y = 0; y < base.height; ++y) {
        if (std::equal(base.at(0, y), base.at(0, y) + base.width * 3, current.at(0, y))) continue;
        if (first < 0) first = y;
        last = y;
    }
    const int h = last - first + 1, border = (f.height - entries * h) / 2;
    if (border < 0 || 2 * border >= h || (first - border) % h != 0)
        return fail("the lit rows " + std::to_string(first) + ".." + std::to_string(last) + " do not tile a menu of " +
                    std::to_string(f.height) + " rows into " + std::to_string(entries) + " entries");
    for (int e = 0; e < entries; ++e) menu.entries.push_back(Rect{f.x, f.y + border + e * h, f.width, h});
    x.movePointer(offX, offY);
    x.releaseButton(3);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult chooseEntry(XConnection& x, const PopupMenu& menu, int index)
{
    // freeglut 3.4 tests a release against the menu with the event's window
    // coordinates but places the menu in screen coordinates, so a release on
    // an entry chooses it only in a window at the screen's origin (the Julia
    // window's menus stay open, or choose an entry 830 pixels to the left).
    // A press on an entry chooses it in any window.
    x.movePointer(menu.entries[index].centreX(), menu.entries[index].centreY());
    x.click(3);
    if (waitFor([&] { return !x.isViewable(menu.window); }, stepTimeout)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the menu stayed open after its entry was clicked";
}

::testing::AssertionResult chooseFromMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy,
                                          int entries, int index)
{
    PopupMenu menu;
    const ::testing::AssertionResult opened = openMenu(x, program, w, wx, wy, entries, menu);
    return opened ? chooseEntry(x, menu, index) : opened;
}

bool isDrawnMenu(const Image& menu, int entries)
{
    // freeglut's menus: a border of 2 pixels, white at the top and left and
    // grey (128) at the bottom and right, around entries of equal height in
    // grey 178 with black text.
    if (menu.empty() || (menu.height - 4) % entries) return false;
    const int h = (menu.height - 4) / entries;
    std::vector<int> text(entries, 0);
    for (int y = 0; y < menu.height; ++y)
        for (int x = 0; x < menu.width; ++x) {
            const std::uint8_t* p = menu.at(x, y);
            if (p[0] != p[1] || p[1] != p[2] || (p[0] != 0 && p[0] != 128 && p[0] != 178 && p[0] != 255)) return false;
            if (!p[0] && y >= 2 && y < menu.height - 2) ++text[std::min((y - 2) / h, entries - 1)];
        }
    return menu.at(menu.width / 2, 0)[0] == 255 && menu.at(menu.width / 2, menu.height - 1)[0] == 128 &&
           *std::min_element(text.begin(), text.end()) > 0;
}

::testing::AssertionResult pickByDrag(XConnection& x, const Program& program, WindowId w, int wx, int wy, int entries,
                                      int index)
{
    auto fail = [&x](const std::string& why) {
        x.releaseButton(3);
        return ::testing::AssertionFailure() << why;
    };
    if (!waitUntilIdle(program)) return fail("the program never came to rest");
    waitFor([&] { return !x.popupMenu(); }, stepTimeout);
    hover(x, w, wx, wy);
    x.pressButton(3);
    WindowId menu = 0;
    Rect f;
    if (!waitFor([&] { return (menu = x.popupMenu()) != 0; }, stepTimeout) || !x.geometry(menu, f))
        return fail("no pop-up menu window was mapped");
    Image opened;
    if (!waitFor([&] { return isDrawnMenu(opened = x.capture(menu), entries); }, stepTimeout))
        return fail("the menu was not drawn before the pointer moved: " + savePicture(opened, "menu-as-opened"));
    const Rect r = where(x, w);
    const int fromX = r.x + wx, fromY = r.y + wy, toX = f.centreX(), toY = f.y + 2 + (f.height - 4) / entries * index +
                                                                          (f.height - 4) / entries / 2;
    for (int step = 1; step <= 4; ++step) x.movePointer(fromX + (toX - fromX) * step / 4, fromY + (toY - fromY) * step / 4);
    x.releaseButton(3);
    if (waitFor([&] { return !x.isViewable(menu); }, stepTimeout)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the menu stayed open after the release on entry " << index;
}

::testing::AssertionResult shows(XConnection& x, WindowId w, const Expected& e, const std::string& name,
                                 bool aroundEditor, Image* shown)
{
    Image captured;
    Mismatches m;
    auto good = [&] {
        const bool fractal = m.fractal[0] + m.fractal[1] <= 0.01 * (m.compared[0] + m.compared[1]);
        const bool around = m.edge == 0 && m.fractal[0] <= 0.01 * m.compared[0];
        return !m.exact && !m.rounded && fractal && (around || !aroundEditor);
    };
    auto judge = [&] {
        captured = x.capture(w);
        if (captured.width != e.picture.width || captured.height != e.picture.height) return false;
        m = compareWindow(captured, e);
        return good();
    };
    // A frame can be caught half-way through its arrival; it must still be
    // there a moment later.
    const bool ok = waitFor([&] { return judge() && (pause(0.05), judge()); }, stepTimeout);
    if (shown) *shown = captured;
    if (ok) return ::testing::AssertionSuccess();
    std::ostringstream s;
    s << captured.width << " x " << captured.height << " captured; editor pixels off: " << m.exact << " exact, "
      << m.rounded << " rounded, first " << m.first << "; fractal pixels off: " << m.fractal[0] << " of " << m.compared[0]
      << " in the editor's rows (" << m.edge << " touching the editor), " << m.fractal[1] << " of " << m.compared[1]
      << " below";
    return failure(s.str(), captured, e.picture, name);
}

::testing::AssertionResult showsFractal(XConnection& x, WindowId w, const Image& fractal, const std::string& name,
                                        int firstRow, Image* shown)
{
    Image captured;
    Difference d;
    const bool ok = waitFor(
        [&] {
            captured = x.capture(w);
            d = compareImages(captured, fractal, 3, firstRow);
            return d.similar();
        },
        stepTimeout);
    if (shown) *shown = captured;
    return ok ? ::testing::AssertionSuccess() : failure(d.describe(), captured, fractal, name);
}

bool waitForFile(const std::string& path, double timeoutSeconds)
{
    return waitFor([&] { return std::filesystem::exists(path); }, timeoutSeconds);
}

Image readTiff(const std::string& path)
{
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "r"), TIFFClose);
    if (!tif) return {};
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 0, photometric = 0, planar = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
    if (bits != 8 || samples != 3 || photometric != PHOTOMETRIC_RGB || planar != PLANARCONFIG_CONTIG) return {};
    Image image(static_cast<int>(width), static_cast<int>(height));
    for (uint32_t row = 0; row < height; ++row)
        if (TIFFReadScanline(tif.get(), image.at(0, static_cast<int>(row)), row, 0) < 0) return {};
    return image;
}

size_t occurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace fx
