// The fractal pictures worked out on the CPU with the fragment programs'
// arithmetic in single precision, and the comparisons of captured pictures
// with them. A captured picture is judged against this, never against a
// stored picture.
#pragma once

#include "app/navigation.h"
#include "support/pictures.h"
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

}  // namespace fx
