#include "support/reference.h"
#include "support/shader_arithmetic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fx {

namespace {

// The complex number at a pixel centre; row 0 is the top row.
float realAt(const View& v, int i, int width)
{
    return static_cast<float>(v.left + (i + 0.5) / width * (double(v.right) - v.left));
}

float imaginaryAt(const View& v, int j, int height)
{
    return static_cast<float>(v.top - (j + 0.5) / height * (double(v.top) - v.bottom));
}

// The iteration limit both programs derive from the pixel footprint.
float iterationLimit(const View& view, int width, int height)
{
    const float pixelWidth = (view.right - view.left) / static_cast<float>(width);
    const float pixelHeight = (view.top - view.bottom) / static_cast<float>(height);
    return fx::iterationLimit(std::max(pixelWidth, pixelHeight));
}

// A GL_LINEAR read of the 512-texel table at the programs' coordinate for
// s, (0.5 + 511 s) / 512: a blend of the two nearest texel centres, each
// index clamped to the table. Then GL's conversion to an 8-bit channel.
void put(Image& image, int i, int j, const std::vector<float>& table, float s)
{
    const int texels = static_cast<int>(table.size() / 4);
    const float x = (0.5f + s * 511.0f) / 512.0f * static_cast<float>(texels) - 0.5f;
    const float lower = std::floor(x);
    const float frac = x - lower;
    const int i0 = std::clamp(static_cast<int>(lower), 0, texels - 1);
    const int i1 = std::clamp(static_cast<int>(lower) + 1, 0, texels - 1);
    for (int k = 0; k < 3; ++k) {
        const float c = (1.0f - frac) * table[4 * i0 + k] + frac * table[4 * i1 + k];
        image.at(i, j)[k] = static_cast<std::uint8_t>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255.0f));
    }
}

// The smooth escape count of an escaped orbit, mapped onto 0..1.
float escapeCoordinate(const Orbit& o, float limit)
{
    const float mu = std::max(o.n - std::log2(std::log2(o.r)) + 3.0f, 0.0f);
    return std::clamp(std::log2(mu + 1.0f) / std::log2(limit + 1.0f), 0.0f, 1.0f);
}

FractalWindow windowShowing(const View& view)
{
    FractalWindow w;
    w.viewLeft = view.left, w.viewRight = view.right, w.viewBottom = view.bottom, w.viewTop = view.top;
    return w;
}

}  // namespace

TransferFunction defaults(int windowNumber)
{
    TransferFunction tf;
    tf.initialiseModel(windowNumber);
    return tf;
}

View afterNotches(const View& view, int px, int py, ZoomDirection direction, int notches)
{
    FractalWindow w = windowShowing(view);
    trackPointer(w, px, py);
    for (int step = 0; step < 2 * notches; ++step) zoomView(w, direction);
    return View{w.viewLeft, w.viewRight, w.viewBottom, w.viewTop};
}

void constantAt(const View& mandelbrot, int px, int py, float& cr, float& ci)
{
    FractalWindow w = windowShowing(mandelbrot);
    trackPointer(w, px, py);
    juliaConstantFromPointer(w, cr, ci);
}

// Each pixel's orbit from its complex number, coloured as the programs do.
template <typename OrbitAt>
Image render(const View& view, const std::vector<float>& table, int width, int height, OrbitAt orbitAt)
{
    Image image(width, height);
    const float limit = iterationLimit(view, width, height);
    for (int j = 0; j < height; ++j) {
        const float y = imaginaryAt(view, j, height);
        for (int i = 0; i < width; ++i) {
            const Orbit o = orbitAt(realAt(view, i, width), y, limit);
            put(image, i, j, table, o.escaped ? escapeCoordinate(o, limit) : 1.0f);
        }
    }
    return image;
}

Image renderMandelbrot(const View& view, const std::vector<float>& table, int width, int height)
{
    return render(view, table, width, height, mandelbrotOrbit);
}

Image renderJulia(const View& view, float cr, float ci, const std::vector<float>& table, int width, int height)
{
    const Trap trap = juliaTrap(cr, ci);
    return render(view, table, width, height,
                  [&](float x, float y, float limit) { return juliaOrbit(x, y, cr, ci, limit, trap); });
}

}  // namespace fx
