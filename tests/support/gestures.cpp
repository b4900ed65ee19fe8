#include "support/gestures.h"

#include <tiffio.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <utility>

namespace fx {

namespace {

Rect where(XConnection& x, WindowId w) { Rect r; return x.geometry(w, r), r; }

::testing::AssertionResult failure(const std::string& message, const Image& captured, const Image& expected,
                                   const std::string& name)
{
    return ::testing::AssertionFailure() << name << ": " << message
                                         << "\n  captured: " << savePicture(captured, name + "-captured")
                                         << "\n  expected: " << savePicture(expected, name + "-expected");
}

// Editor pixels off, fractal pixels off in the editor's rows and below them.
struct Mismatches {
    long editor = 0, fractal[2] = {0, 0}, compared[2] = {0, 0};
};

Mismatches compareWindow(const Image& captured, const Expected& e)
{
    Mismatches m;
    for (int y = 0; y < captured.height; ++y)
        for (int x = 0; x < captured.width; ++x) {
            const std::uint8_t *c = captured.at(x, y), *w = e.picture.at(x, y);
            int worst = 0;
            for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(int(c[k]) - int(w[k])));
            const std::uint8_t tolerance = e.tolerance[size_t(y) * captured.width + x];
            if (tolerance != Expected::fractal) m.editor += worst > tolerance;
            else ++m.compared[y >= 40], m.fractal[y >= 40] += worst > 3;
        }
    return m;
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
    return waitFor([&] { pause(0.3); return std::exchange(before, program.cpuSeconds()) == before; }, timeoutSeconds);
}

Rect PopupMenu::entry(int index) const
{
    const int h = (frame.height - 4) / entries;
    return Rect{frame.x, frame.y + 2 + index * h, frame.width, h};
}

bool isDrawnMenu(const Image& menu, int entries)
{
    // White over grey (128) at the border, entries in grey 178 with black text.
    if (menu.empty() || (menu.height - 4) % entries) return false;
    const int h = (menu.height - 4) / entries;
    std::vector<int> text(size_t(entries), 0);
    for (int y = 0; y < menu.height; ++y)
        for (int x = 0; x < menu.width; ++x) {
            const std::uint8_t* p = menu.at(x, y);
            if (p[0] != p[1] || p[1] != p[2] || (p[0] != 0 && p[0] != 128 && p[0] != 178 && p[0] != 255)) return false;
            if (!p[0] && y >= 2 && y < menu.height - 2) ++text[size_t(std::min((y - 2) / h, entries - 1))];
        }
    return menu.at(menu.width / 2, 0)[0] == 255 && menu.at(menu.width / 2, menu.height - 1)[0] == 128 &&
           *std::min_element(text.begin(), text.end()) > 0;
}

::testing::AssertionResult pressForMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy,
                                        int entries, PopupMenu& menu)
{
    // A menu opened while a pass is computed is painted late; the last
    // menu's window can outlive its choice for a moment.
    if (!waitUntilIdle(program)) return ::testing::AssertionFailure() << "the program never came to rest";
    waitFor([&] { return !x.popupMenu(); }, stepTimeout);
    hover(x, w, wx, wy);
    x.pressButton(3);
    menu = PopupMenu{0, {}, entries};
    Image opened;
    if (!waitFor([&] { return (menu.window = x.popupMenu()) != 0; }, stepTimeout) || !x.geometry(menu.window, menu.frame))
        return x.releaseButton(3), ::testing::AssertionFailure() << "no pop-up menu opened at " << wx << ", " << wy;
    if (!waitFor([&] { return isDrawnMenu(opened = x.capture(menu.window), entries); }, stepTimeout))
        return x.releaseButton(3), ::testing::AssertionFailure() << "no menu of " << entries << " entries drawn as it "
                                                                 "opened: " << savePicture(opened, "menu-as-opened");
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult closes(XConnection& x, const PopupMenu& menu)
{
    if (waitFor([&] { return !x.isViewable(menu.window); }, stepTimeout)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the menu stayed open";
}

::testing::AssertionResult openMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy, int entries,
                                    PopupMenu& menu)
{
    if (auto pressed = pressForMenu(x, program, w, wx, wy, entries, menu); !pressed) return pressed;
    x.releaseButton(3);
    pause(0.2);
    if (x.isViewable(menu.window)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "a plain click closed the menu";
}

::testing::AssertionResult chooseFromMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy,
                                          int entries, int index)
{
    PopupMenu menu;
    if (auto opened = openMenu(x, program, w, wx, wy, entries, menu); !opened) return opened;
    x.movePointer(menu.entry(index).centreX(), menu.entry(index).centreY());
    x.click(3);
    return closes(x, menu);
}

::testing::AssertionResult pickByDrag(XConnection& x, const Program& program, WindowId w, int wx, int wy, int entries,
                                      int index)
{
    PopupMenu menu;
    if (auto pressed = pressForMenu(x, program, w, wx, wy, entries, menu); !pressed) return pressed;
    const Rect r = where(x, w), to = menu.entry(index);
    for (int step = 1; step <= 4; ++step)
        x.movePointer(r.x + wx + (to.centreX() - r.x - wx) * step / 4, r.y + wy + (to.centreY() - r.y - wy) * step / 4);
    x.releaseButton(3);
    return closes(x, menu);
}

::testing::AssertionResult shows(XConnection& x, WindowId w, const Expected& e, const std::string& name,
                                 bool exactNearEditor, Image* shown)
{
    Image captured;
    Mismatches m;
    auto judge = [&] {
        captured = x.capture(w);
        if (captured.width != e.picture.width || captured.height != e.picture.height) return false;
        m = compareWindow(captured, e);
        return !m.editor && (m.fractal[0] == 0 || !exactNearEditor) &&
               m.fractal[0] + m.fractal[1] <= 0.01 * (m.compared[0] + m.compared[1]);
    };
    // A frame can be caught half-way through its arrival: it must hold.
    const bool ok = waitFor([&] { return judge() && (pause(0.05), judge()); }, stepTimeout);
    if (shown) *shown = captured;
    if (ok) return ::testing::AssertionSuccess();
    return failure(std::to_string(m.editor) + " editor pixels off; fractal pixels off: " +
                       std::to_string(m.fractal[0]) + " in the editor's rows, " + std::to_string(m.fractal[1]) +
                       " of " + std::to_string(m.compared[1]) + " below",
                   captured, e.picture, name);
}

::testing::AssertionResult showsFractal(XConnection& x, WindowId w, const Image& fractal, const std::string& name,
                                        int firstRow, Image* shown)
{
    Image captured;
    Difference d;
    const bool ok = waitFor([&] {
        captured = x.capture(w);
        d = compareImages(captured, fractal, 3, firstRow);
        return d.similar();
    }, stepTimeout);
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
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 0, photometric = 0, planar = 0;
    if (!tif || !TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) || !TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric))
        return {};
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
    if (bits != 8 || samples != 3 || photometric != PHOTOMETRIC_RGB || planar != PLANARCONFIG_CONTIG) return {};
    Image image(static_cast<int>(width), static_cast<int>(height));
    for (uint32_t row = 0; row < height; ++row)
        if (TIFFReadScanline(tif.get(), image.at(0, int(row)), row, 0) < 0) return {};
    return image;
}

size_t occurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace fx
