#include "support/reference.h"

#include "transfer/transfer_function.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fx {

namespace {

constexpr float bailout = 256.0f;
constexpr int hardLimit = 4096;

// The complex number at a pixel centre; row 0 is the top row.
float realAt(const View& v, int i, int width)
{
    return static_cast<float>(v.left + (i + 0.5) / width * (double(v.right) - v.left));
}

float imaginaryAt(const View& v, int j, int height)
{
    return static_cast<float>(v.top - (j + 0.5) / height * (double(v.top) - v.bottom));
}

std::uint8_t toByte(float channel)
{
    // GL's conversion to an 8-bit normalised channel: clamp, round to nearest.
    const float c = std::min(std::max(channel, 0.0f), 1.0f);
    return static_cast<std::uint8_t>(std::lround(c * 255.0f));
}

void put(Image& image, int i, int j, const std::vector<float>& table, float s)
{
    float rgb[3];
    tableColour(table, s, rgb);
    std::uint8_t* p = image.at(i, j);
    for (int k = 0; k < 3; ++k) p[k] = toByte(rgb[k]);
}

// The smooth escape count of an escaped orbit, mapped onto 0..1.
float escapeCoordinate(float n, float zx, float zy, float limit)
{
    const float mu = std::max(n - std::log2(std::log2(zx * zx + zy * zy) / std::log2(bailout)), 0.0f);
    return std::clamp(std::log(mu + 1.0f) / std::log(limit + 1.0f), 0.0f, 1.0f);
}

bool inCardioidOrBulb(float cx, float cy)
{
    const float xq = cx - 0.25f;
    const float q = xq * xq + cy * cy;
    if (q * (q + xq) <= 0.25f * cy * cy) return true;
    const float xb = cx + 1.0f;
    return xb * xb + cy * cy <= 0.0625f;
}

}  // namespace

std::vector<float> defaultColourTable(int windowNumber)
{
    TransferFunction tf;
    tf.initialiseModel(windowNumber);
    return tf.colourTable;
}

float iterationLimit(const View& view, int width, int height)
{
    const float fx = (view.right - view.left) / static_cast<float>(width);
    const float fy = (view.top - view.bottom) / static_cast<float>(height);
    const float f = std::max(std::max(fx, fy), 1e-30f);
    const float limit = std::min(260.0f + 128.0f * std::max(0.0f, std::log2(0.00375f / f)), float(hardLimit));
    return std::floor(limit);
}

void tableColour(const std::vector<float>& table, float s, float rgb[3])
{
    const int texels = static_cast<int>(table.size() / 4);
    const float u = (0.5f + s * 511.0f) / 512.0f;
    // Linear filtering: the texel centres on either side of u*n - 0.5,
    // each index clamped to the table.
    const float x = u * static_cast<float>(texels) - 0.5f;
    const float lower = std::floor(x);
    const float frac = x - lower;
    const int i0 = std::clamp(static_cast<int>(lower), 0, texels - 1);
    const int i1 = std::clamp(static_cast<int>(lower) + 1, 0, texels - 1);
    for (int k = 0; k < 3; ++k) rgb[k] = (1.0f - frac) * table[4 * i0 + k] + frac * table[4 * i1 + k];
}

Image renderMandelbrot(const View& view, int width, int height, const std::vector<float>& table)
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
                bool escaped = false;
                for (int k = 0; k < hardLimit && n < limit; ++k) {
                    const float x2 = zx * zx - zy * zy;
                    const float y2 = 2.0f * zx * zy;
                    zx = x2 + cx;
                    zy = y2 + cy;
                    n += 1.0f;
                    if (zx * zx + zy * zy > bailout) {
                        escaped = true;
                        break;
                    }
                }
                if (escaped) s = escapeCoordinate(n, zx, zy, limit);
            }
            put(image, i, j, table, s);
        }
    }
    return image;
}

Image renderJulia(const View& view, int width, int height, float cr, float ci, const std::vector<float>& table)
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
            const std::uint8_t* p = a.at(x, y);
            const std::uint8_t* q = b.at(x, y);
            int worst = 0;
            for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(int(p[k]) - int(q[k])));
            ++d.compared;
            if (worst > tolerance) ++d.exceeding;
            if (worst > d.largest) {
                d.largest = worst;
                d.worstX = x;
                d.worstY = y;
            }
        }
    }
    return d;
}

namespace {

template <typename Map>
Image remapped(const Image& image, Map map)
{
    Image out(image.width, image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            int sx = x, sy = y;
            map(sx, sy);
            std::copy_n(image.at(sx, sy), 3, out.at(x, y));
        }
    }
    return out;
}

}  // namespace

Image rotated180(const Image& image)
{
    return remapped(image, [&](int& x, int& y) {
        x = image.width - 1 - x;
        y = image.height - 1 - y;
    });
}

Image mirroredLeftRight(const Image& image)
{
    return remapped(image, [&](int& x, int&) { x = image.width - 1 - x; });
}

Image mirroredTopBottom(const Image& image)
{
    return remapped(image, [&](int&, int& y) { y = image.height - 1 - y; });
}

bool writePpm(const Image& image, const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", image.width, image.height);
    const bool written = std::fwrite(image.rgb.data(), 1, image.rgb.size(), f) == image.rgb.size();
    return std::fclose(f) == 0 && written;
}

std::string saveForInspection(const Image& image, const std::string& name)
{
    const char* folder = std::getenv("FRAKTALE_TEST_ARTIFACTS");
    const std::filesystem::path dir = folder && *folder ? std::filesystem::path(folder)
                                                        : std::filesystem::temp_directory_path();
    const std::string path = (dir / (name + ".ppm")).string();
    return writePpm(image, path) ? path : std::string();
}

}  // namespace fx
