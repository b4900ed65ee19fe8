// The pictures worked out on the CPU with the programs' own arithmetic
// (shader_arithmetic.h): what a captured picture is judged against.
#pragma once

#include "app/navigation.h"
#include "support/mapping.h"
#include "support/pictures.h"
#include "support/shader_arithmetic.h"
#include "transfer/transfer_function.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace fx {

struct View { float left, right, bottom, top; };

// The views the windows start with.
constexpr View mandelbrotHome{-2.0f, 1.0f, -1.5f, 1.5f}, juliaHome{-2.0f, 2.0f, -2.0f, 2.0f};

// Window 1's (Mandelbrot) or 2's (Julia) transfer function at its defaults.
inline TransferFunction defaults(int windowNumber)
{
    TransferFunction tf;
    tf.initialiseModel(windowNumber);
    return tf;
}

// By the viewer's own navigation, with the pointer at (px, py) of an 800 x
// 800 window: the view after wheel notches (a press and a release, each
// zooming) and the Julia constant a click picks.
inline FractalWindow pointedAt(const View& view, int px, int py)
{
    FractalWindow w;
    w.viewLeft = view.left, w.viewRight = view.right, w.viewBottom = view.bottom, w.viewTop = view.top;
    return trackPointer(w, px, py), w;
}

inline View afterNotches(const View& view, int px, int py, ZoomDirection direction, int notches = 1)
{
    FractalWindow w = pointedAt(view, px, py);
    for (int step = 0; step < 2 * notches; ++step) zoomView(w, direction);
    return View{w.viewLeft, w.viewRight, w.viewBottom, w.viewTop};
}

inline void constantAt(const View& mandelbrot, int px, int py, float& cr, float& ci)
{
    juliaConstantFromPointer(pointedAt(mandelbrot, px, py), cr, ci);
}

// Row 0 at the top, each pixel's orbit from the complex number at its
// centre, coloured by the viewer's mapping (above), its sample the pixels
// of a grid of 48 x 48; by a GL_LINEAR read of the table at the programs'
// coordinate (0.5 + 511 s) / 512 and rounded to 8 bits as GL does.
template <typename OrbitAt>
Image render(const View& v, const std::vector<float>& table, int width, int height, OrbitAt orbitAt)
{
    Image image(width, height);
    const float limit = iterationLimit(std::max((v.right - v.left) / float(width), (v.top - v.bottom) / float(height)));
    const int texels = int(table.size() / 4);
    std::vector<float> mus(size_t(width) * height, -1.0f);
    double least = 1e300;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            const Orbit o = orbitAt(float(v.left + (i + 0.5) / width * (double(v.right) - v.left)),
                                    float(v.top - (j + 0.5) / height * (double(v.top) - v.bottom)), limit);
            if (!o.escaped) continue;
            const float mu = std::max(o.n - std::log2(std::log2(o.r)) + 3.0f, 0.0f);
            mus[size_t(j) * width + i] = mu;
            if (i == 0 || j == 0 || i == width - 1 || j == height - 1) least = std::min(least, double(mu));
        }
    std::vector<float> grid;
    for (int b = 0; b < 48; ++b)
        for (int a = 0; a < 48; ++a) grid.push_back(mus[size_t((2 * b + 1) * height / 96) * width + (2 * a + 1) * width / 96]);
    const Mapping map = mappingFor(least, limit, grid);
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            const float mu = mus[size_t(j) * width + i];
            const double s = map.at(mu);
            const float x = (0.5f + float(s) * 511.0f) / 512.0f * float(texels) - 0.5f, frac = x - std::floor(x);
            const int i0 = std::clamp(int(std::floor(x)), 0, texels - 1), i1 = std::clamp(int(std::floor(x)) + 1, 0, texels - 1);
            for (int k = 0; k < 3; ++k)
                image.at(i, j)[k] = std::uint8_t(std::lround(
                    std::clamp((1.0f - frac) * table[4 * i0 + k] + frac * table[4 * i1 + k], 0.0f, 1.0f) * 255.0f));
        }
    return image;
}

inline Image renderMandelbrot(const View& view, const std::vector<float>& table, int width = 800, int height = 800)
{
    return render(view, table, width, height, mandelbrotOrbit);
}

inline Image renderJulia(const View& view, float cr, float ci, const std::vector<float>& table, int width = 800,
                         int height = 800)
{
    const Trap trap = juliaTrap(cr, ci);
    return render(view, table, width, height, [&](float x, float y, float limit) { return juliaOrbit(x, y, cr, ci, limit, trap); });
}

}  // namespace fx
