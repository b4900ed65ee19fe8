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
float escapeCoordinate(float n, float zx, float zy, float limit)
{
    const float mu = std::max(n - std::log2(std::log2(zx * zx + zy * zy) / std::log2(bailout)), 0.0f);
    return std::clamp(std::log(mu + 1.0f) / std::log(limit + 1.0f), 0.0f, 1.0f);
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

Image renderMandelbrot(const View& view, const std::vector<float>& table, int width, int height)
{
    Image image(width, height);
    const float limit = iterationLimit(view, width, height);
    for (int j = 0; j < height; ++j) {
        const float cy = imaginaryAt(view, j, height);
        for (int i = 0; i < width; ++i) {
            const float cx = realAt(view, i, width);
            float s = 1.0f;
            if (!inCardioidOrBulb(cx, cy)) {
                float zx = 0, zy = 0, n = 0;
                for (int k = 0; k < hardLimit && n < limit; ++k) {
                    const float x2 = zx * zx - zy * zy;
                    const float y2 = 2.0f * zx * zy;
                    zx = x2 + cx;
                    zy = y2 + cy;
                    n += 1.0f;
                    if (zx * zx + zy * zy > bailout) {
                        s = escapeCoordinate(n, zx, zy, limit);
                        break;
                    }
                }
            }
            put(image, i, j, table, s);
        }
    }
    return image;
}

Image renderJulia(const View& view, float cr, float ci, const std::vector<float>& table, int width, int height)
{
    Image image(width, height);
    const float limit = iterationLimit(view, width, height);
    for (int j = 0; j < height; ++j) {
        const float y0 = imaginaryAt(view, j, height);
        for (int i = 0; i < width; ++i) {
            float zx = realAt(view, i, width), zy = y0, n = 0;
            bool escaped = zx * zx + zy * zy > bailout;
            for (int k = 0; k < hardLimit && !escaped && n < limit; ++k) {
                const float x2 = zx * zx - zy * zy;
                const float y2 = 2.0f * zx * zy;
                zx = x2 + cr;
                zy = y2 + ci;
                n += 1.0f;
                escaped = zx * zx + zy * zy > bailout;
            }
            put(image, i, j, table, escaped ? escapeCoordinate(n, zx, zy, limit) : 1.0f);
        }
    }
    return image;
}

}  // namespace fx
