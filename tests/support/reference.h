// The fractal pictures worked out on the CPU with the fragment programs'
// arithmetic in single precision, and the comparisons of captured pictures
// with them. A captured picture is judged against this, never against a
// stored picture.
#pragma once

#include "app/navigation.h"
#include "support/x11.h"
#include "transfer/transfer_function.h"

#include <string>
#include <vector>

namespace fx {

struct View {
    float left;
    float right;
    float bottom;
    float top;
};

// The views the windows start with.
constexpr View mandelbrotHome{-2.0f, 1.0f, -1.5f, 1.5f};
constexpr View juliaHome{-2.0f, 2.0f, -2.0f, 2.0f};

// Window 1's (Mandelbrot) or 2's (Julia) transfer function at its defaults,
// from the product's own model code.
TransferFunction defaults(int windowNumber);

// By the viewer's own navigation arithmetic, for an 800 x 800 window: the
// view after wheel notches at window pixel (px, py) (a notch is a press and
// a release of the wheel button, and each zooms), and the Julia constant a
// left click there picks.
View afterNotches(const View& view, int px, int py, ZoomDirection direction, int notches = 1);
void constantAt(const View& mandelbrot, int px, int py, float& cr, float& ci);

// Pictures as the windows show them: row 0 at the top, each pixel the
// colour at its centre, channels rounded to 8 bits.
Image renderMandelbrot(const View& view, const std::vector<float>& table, int width = 800, int height = 800);
Image renderJulia(const View& view, float cr, float ci, const std::vector<float>& table, int width = 800,
                  int height = 800);

// The editor's pixels lie in rows 8..31 and columns 5..526, markers
// included; markers sit on row 20, and column c stands for the editor x
// (c - 10) / 512.
constexpr int editorBottom = 32;
constexpr int editorRight = 527;
constexpr int markerRow = 20;
inline float columnX(int column) { return static_cast<float>(column - 10) / 512.0f; }

// What a window should show: the fractal with the editor painted over it as
// GL rasterises the editor's quads (one with corners on whole pixels covers
// the columns left..right-1 and the rows top..bottom-1 from the top edge),
// and what each pixel is: black, white or a marker's ring exactly, or a
// colour that the 8-bit framebuffer may round either way (the bar's texels,
// a marker's inside).
struct Expected {
    enum Kind : std::uint8_t { fractal, exact, rounded };
    Image picture;
    std::vector<Kind> kinds;
    Kind kind(int x, int y) const { return kinds[static_cast<size_t>(y) * picture.width + x]; }
};
Expected withEditor(const Image& fractal, const TransferFunction& tf);

struct Difference {
    long compared = 0;
    long exceeding = 0;  // pixels with a channel off by more than the tolerance
    int largest = 0;     // largest channel difference, and where
    int worstX = -1;
    int worstY = -1;
    bool sizesDiffer = false;
    double share() const { return compared ? double(exceeding) / double(compared) : 1.0; }
    // Within what rounding and llvmpipe's arithmetic allow a fractal.
    bool similar() const { return !sizesDiffer && share() <= 0.01; }
    std::string describe() const;
};

// Compares the rows [firstRow, lastRow) (lastRow < 0: to the bottom).
Difference compareImages(const Image& a, const Image& b, int tolerance = 3, int firstRow = 0, int lastRow = -1);

// Writes the picture as <name>.ppm into $FRAKTALE_TEST_ARTIFACTS or the
// temporary folder for a failure's message; returns the path.
std::string savePicture(const Image& image, const std::string& name);

}  // namespace fx
