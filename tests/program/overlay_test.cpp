// The transfer-function editor over each window, pixel for pixel: black and
// white frame, the colour bar showing the colour table, a marker per control
// point; and the editor keeping its place under the top edge when the window
// is resized. The expected picture is the CPU reference of the fractal with
// the editor painted over it as GL rasterises the editor's quads: a quad
// with corners on whole pixels covers the columns left..right-1 and the
// rows top..bottom-1, counted from the top edge.
#include "support/program.h"
#include "support/reference.h"
#include "support/x11.h"
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

namespace fx {
namespace {

constexpr double startTimeout = 90;
constexpr double drawTimeout = 60;

// Every row the editor could reach, with some fractal below it.
constexpr int editorRows = 40;
constexpr int fractalTolerance = 3;
constexpr double allowedShare = 0.01;
// The bar's pixels go through the colour table texture and the 8-bit
// framebuffer.
constexpr int barTolerance = 2;

const View mandelbrotDefault{-2.0f, 1.0f, -1.5f, 1.5f};
const View juliaDefault{-2.0f, 2.0f, -2.0f, 2.0f};

std::uint8_t byteOf(float channel) { return static_cast<std::uint8_t>(std::lround(std::clamp(channel, 0.0f, 1.0f) * 255)); }

enum class Kind : std::uint8_t { fractal, flat, bar };

// The picture a window should show, and what each pixel of it is.
struct Expected {
    Image picture;
    std::vector<Kind> kinds;

    Kind kind(int x, int y) const { return kinds[static_cast<size_t>(y) * picture.width + x]; }
    // A fractal pixel that touches the editor: where an element drawn a
    // pixel too large would show.
    bool besideEditor(int x, int y) const
    {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx, ny = y + dy;
                if (nx >= 0 && ny >= 0 && nx < picture.width && ny < picture.height && kind(nx, ny) != Kind::fractal)
                    return true;
            }
        return false;
    }

    void fill(int left, int top, int right, int bottom, const std::uint8_t rgb[3], Kind k = Kind::flat)
    {
        for (int y = std::max(top, 0); y < std::min(bottom, picture.height); ++y) {
            for (int x = std::max(left, 0); x < std::min(right, picture.width); ++x) {
                std::copy_n(rgb, 3, picture.at(x, y));
                kinds[static_cast<size_t>(y) * picture.width + x] = k;
            }
        }
    }
};

Expected expectedWindow(int windowNumber, int width, int height)
{
    const std::vector<float> table = defaultColourTable(windowNumber);
    Expected e;
    e.picture = windowNumber == 1 ? renderMandelbrot(mandelbrotDefault, width, height, table)
                                  : renderJulia(juliaDefault, width, height, 0, 0, table);
    e.kinds.assign(static_cast<size_t>(width) * height, Kind::fractal);

    const std::uint8_t black[3] = {0, 0, 0}, white[3] = {255, 255, 255};
    e.fill(8, 8, 524, 32, black);
    e.fill(9, 9, 523, 31, white);
    // The bar is as wide as the table has texels: column 10 + i shows texel i.
    for (int i = 0; i < tableSize; ++i) {
        const std::uint8_t texel[3] = {byteOf(table[4 * i]), byteOf(table[4 * i + 1]), byteOf(table[4 * i + 2])};
        e.fill(10 + i, 10, 11 + i, 30, texel, Kind::bar);
    }

    // A 10 x 10 square about (512 x + 10, 20 from the top), its outer ring in
    // the contrasting colour around the point's own.
    TransferFunction tf;
    tf.initialiseModel(windowNumber);
    auto contrast = [](float c) -> std::uint8_t { return c < 0.5f ? 255 : 0; };
    for (const ControlPoint& p : tf.points) {
        const int cx = static_cast<int>(512.0 * p.x + 10.0);
        const std::uint8_t border[3] = {contrast(p.red), contrast(p.green), contrast(p.blue)};
        const std::uint8_t inside[3] = {byteOf(p.red), byteOf(p.green), byteOf(p.blue)};
        e.fill(cx - 5, 15, cx + 5, 25, border);
        e.fill(cx - 4, 16, cx + 4, 24, inside);
    }
    return e;
}

struct Mismatches {
    long flat = 0, bar = 0, fractal = 0, fractalCompared = 0;
    long edge = 0;  // fractal pixels next to the editor that are off
    std::string first;  // where the first frame, marker or bar pixel is off

    bool editorExact() const { return flat == 0 && bar == 0; }
};

Mismatches compareEditor(const Image& captured, const Expected& e)
{
    Mismatches m;
    const int rows = std::min(editorRows, captured.height);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < captured.width; ++x) {
            const std::uint8_t* c = captured.at(x, y);
            const std::uint8_t* w = e.picture.at(x, y);
            int worst = 0;
            for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(int(c[k]) - int(w[k])));
            const Kind kind = e.kind(x, y);
            long* count = kind == Kind::flat ? &m.flat : kind == Kind::bar ? &m.bar : &m.fractal;
            const int allowed = kind == Kind::flat ? 0 : kind == Kind::bar ? barTolerance : fractalTolerance;
            if (kind == Kind::fractal) ++m.fractalCompared;
            if (worst <= allowed) continue;
            ++*count;
            if (kind == Kind::fractal && e.besideEditor(x, y)) ++m.edge;
            if (kind != Kind::fractal && m.first.empty()) {
                std::ostringstream s;
                s << "(" << x << ", " << y << ") is " << int(c[0]) << "," << int(c[1]) << "," << int(c[2])
                  << ", expected " << int(w[0]) << "," << int(w[1]) << "," << int(w[2]);
                m.first = s.str();
            }
        }
    }
    return m;
}

// Polls until the window has the size and the editor of `e` (a pass at the
// old size may still be on the screen), then judges the last capture.
void expectEditor(XConnection& x, WindowId w, const Expected& e, const std::string& name)
{
    const double end = now() + drawTimeout;
    Image captured;
    Mismatches m;
    do {
        captured = x.capture(w);
        if (captured.width == e.picture.width && captured.height == e.picture.height) {
            m = compareEditor(captured, e);
            if (m.editorExact()) break;
        }
        pause(0.05);
    } while (now() < end);
    ASSERT_EQ(captured.width, e.picture.width) << name;
    ASSERT_EQ(captured.height, e.picture.height) << name;
    // Written only when an expectation fails: gtest evaluates what is
    // streamed into it only then.
    const auto files = [&] {
        return "\n  captured: " + saveForInspection(captured, name + "-captured") +
               "\n  expected: " + saveForInspection(e.picture, name + "-expected");
    };
    EXPECT_EQ(m.flat, 0) << name << ": frame or marker pixels off; first editor pixel off " << m.first << files();
    EXPECT_EQ(m.bar, 0) << name << ": colour bar pixels off; first editor pixel off " << m.first << files();
    // Around the editor the fractal must show: a frame or a marker a pixel
    // too large covers it.
    EXPECT_EQ(m.edge, 0) << name << ": the editor reaches beyond its edges" << files();
    EXPECT_LE(double(m.fractal), allowedShare * m.fractalCompared)
        << name << ": " << m.fractal << " fractal pixels beside the editor are off" << files();
    const Difference below = compareImages(captured, e.picture, fractalTolerance, editorRows);
    EXPECT_LE(below.share(), allowedShare) << name << " below the editor: " << below.describe() << files();
}

TEST(EditorOverlay, FramesBarAndMarkersOfBothWindows)
{
    XConnection x;
    Program program;
    std::string why;
    ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;

    expectEditor(x, program.mandelbrot(), expectedWindow(1, 800, 800), "overlay-mandelbrot");
    expectEditor(x, program.julia(), expectedWindow(2, 800, 800), "overlay-julia");
}

// The editor is drawn in window pixels from the top edge: it must stay
// where it is, and the same size, whatever the window's height; a narrow
// window cuts its right end off.
TEST(EditorOverlay, KeepsItsPlaceBelowTheTopEdgeWhenTheWindowIsResized)
{
    XConnection x;
    Program program;
    std::string why;
    ASSERT_TRUE(program.waitUntilReady(x, startTimeout, &why)) << why;

    const struct {
        int width, height;
    } sizes[] = {{800, 500}, {500, 1000}};
    for (const auto& s : sizes) {
        const std::string name = "overlay-resized-" + std::to_string(s.width) + "x" + std::to_string(s.height);
        SCOPED_TRACE(name);
        x.resizeWindow(program.mandelbrot(), s.width, s.height);
        // Mesa's software renderer sometimes draws the first pass after a
        // resize into a buffer of the old size (about one run in ten under
        // ASan), and the window keeps that picture. The pass an expose
        // brings, once the window has settled at its new size, is drawn
        // at that size.
        const double end = now() + drawTimeout;
        Image shown;
        while (now() < end && (shown.height != s.height || shown.width != s.width))
            x.waitForSettle(program.mandelbrot(), end - now(), &shown);
        x.exposeWindow(program.mandelbrot());
        expectEditor(x, program.mandelbrot(), expectedWindow(1, s.width, s.height), name);
    }
    // The other window keeps its size and editor.
    expectEditor(x, program.julia(), expectedWindow(2, 800, 800), "overlay-julia-beside-resized");
}

}  // namespace
}  // namespace fx
