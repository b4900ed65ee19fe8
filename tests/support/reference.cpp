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

Expected withEditor(const Image& fractal, const TransferFunction& tf)
{
    Expected e{fractal, std::vector<Expected::Kind>(fractal.rgb.size() / 3, Expected::fractal)};
    auto fill = [&e](int left, int top, int right, int bottom, const float rgb[3], Expected::Kind kind) {
        for (int y = std::max(top, 0); y < std::min(bottom, e.picture.height); ++y)
            for (int x = std::max(left, 0); x < std::min(right, e.picture.width); ++x) {
                for (int k = 0; k < 3; ++k)
                    e.picture.at(x, y)[k] = static_cast<std::uint8_t>(std::lround(std::clamp(rgb[k], 0.f, 1.f) * 255));
                e.kinds[static_cast<size_t>(y) * e.picture.width + x] = kind;
            }
    };
    const float black[3] = {0, 0, 0}, white[3] = {1, 1, 1};
    fill(8, 8, 524, 32, black, Expected::exact);
    fill(9, 9, 523, 31, white, Expected::exact);
    // The bar is as wide as the table has texels: column 10 + i shows texel i.
    for (int i = 0; i < tableSize; ++i) fill(10 + i, 10, 11 + i, 30, &tf.colourTable[4 * i], Expected::rounded);
    // A 10 x 10 square about (512 x + 10, 20), its outer ring in the colour
    // that contrasts with the point's in every channel.
    for (const ControlPoint& p : tf.points) {
        const int cx = static_cast<int>(512.0 * p.x + 10.0);
        const float ring[3] = {p.red < 0.5f ? 1.f : 0.f, p.green < 0.5f ? 1.f : 0.f, p.blue < 0.5f ? 1.f : 0.f};
        const float inside[3] = {p.red, p.green, p.blue};
        fill(cx - 5, 15, cx + 5, 25, ring, Expected::exact);
        fill(cx - 4, 16, cx + 4, 24, inside, Expected::rounded);
    }
    return e;
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

std::string Difference::describe() const
{
    if (sizesDiffer) return "the pictures differ in size";
    char text[200];
    std::snprintf(text, sizeof text, "%ld of %ld pixels (%.3f%%) beyond tolerance; largest difference %d at (%d, %d)",
                  exceeding, compared, 100.0 * share(), largest, worstX, worstY);
    return text;
}

Difference compareImages(const Image& a, const Image& b, int tolerance, int firstRow, int lastRow)
{
    Difference d;
    if (a.width != b.width || a.height != b.height) {
        d.sizesDiffer = true;
        return d;
    }
    if (lastRow < 0 || lastRow > a.height) lastRow = a.height;
    for (int y = std::max(firstRow, 0); y < lastRow; ++y) {
        for (int x = 0; x < a.width; ++x) {
            int worst = 0;
            for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(int(a.at(x, y)[k]) - int(b.at(x, y)[k])));
            ++d.compared;
            if (worst > tolerance) ++d.exceeding;
            if (worst > d.largest) d.largest = worst, d.worstX = x, d.worstY = y;
        }
    }
    return d;
}

Image flipped(const Image& image, bool leftRight, bool topBottom)
{
    Image out(image.width, image.height);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            std::copy_n(image.at(leftRight ? image.width - 1 - x : x, topBottom ? image.height - 1 - y : y), 3,
                        out.at(x, y));
    return out;
}

std::string savePicture(const Image& image, const std::string& name)
{
    const char* folder = std::getenv("FRAKTALE_TEST_ARTIFACTS");
    const std::filesystem::path dir =
        folder && *folder ? std::filesystem::path(folder) : std::filesystem::temp_directory_path();
    const std::string path = (dir / (name + ".ppm")).string();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return "(cannot write " + path + ")";
    std::fprintf(f, "P6\n%d %d\n255\n", image.width, image.height);
    std::fwrite(image.rgb.data(), 1, image.rgb.size(), f);
    std::fclose(f);
    return path;
}

}  // namespace fx
