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

::testing::AssertionResult openMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy, int entries,
                                    PopupMenu& menu)
{
    // A menu opened while a pass is computed is painted late; the last
    // menu's window can outlive its choice for a moment.
    if (!waitUntilIdle(program)) return ::testing::AssertionFailure() << "the program never came to rest";
    waitFor([&] { return !x.popupMenu(); }, stepTimeout);
    hover(x, w, wx, wy);
    x.pressButton(3);
    menu = PopupMenu{};
    const bool opened = waitFor([&] { return (menu.window = x.popupMenu()) != 0; }, stepTimeout) &&
                        x.geometry(menu.window, menu.frame);
    const Rect f = menu.frame;
    // A menu is drawn when the entry under the pointer changes: the pointer
    // goes from entry to entry until it is, then lets go off the menu,
    // which leaves it open.
    int k = 0;
    const bool drawn = opened && waitFor([&] {
        x.movePointer(f.centreX(), f.y + (++k % 2 ? f.height / 4 : f.height * 3 / 4));
        return pause(0.1), !isUniform(x.capture(menu.window));
    }, stepTimeout);
    x.movePointer(f.x + f.width + 20, f.y + f.height + 20);
    x.releaseButton(3);
    if (!opened) return ::testing::AssertionFailure() << "no pop-up menu opened at " << wx << ", " << wy;
    if (!drawn) return ::testing::AssertionFailure() << "the menu was never drawn";
    for (int e = 0; e < entries; ++e)
        menu.entries.push_back(Rect{f.x, f.y + e * f.height / entries, f.width, f.height / entries});
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult chooseEntry(XConnection& x, const PopupMenu& menu, int index)
{
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
