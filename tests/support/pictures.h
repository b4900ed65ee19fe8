// The editor painted over a fractal as GL rasterises it, and counts of the
// pixels that differ beyond what rounding allows.
#pragma once

#include "support/x11.h"
#include "transfer/transfer_function.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>

namespace fx {

// The editor's pixels lie in rows 8..31 and columns 5..526, markers
// included; markers sit on row 20; column c stands for editor x (c - 10) / 512.
constexpr int editorBottom = 32, editorRight = 527, markerRow = 20;
inline float columnX(int column) { return float(column - 10) / 512.0f; }

// A picture and each pixel's tolerance: 0 for the frames and the markers'
// rings, 2 for what the 8-bit framebuffer may round (the bar's texels, a
// marker's inside), `fractal` where escape counts near the set may differ,
// `ignored` where nothing is expected.
struct Expected {
    static constexpr std::uint8_t fractal = 255, ignored = 254;
    Image picture;
    std::vector<std::uint8_t> tolerance;
};

// The fractal with the editor over it: a quad with corners on whole pixels
// covers columns left..right-1 and rows top..bottom-1.
inline Expected withEditor(const Image& fractal, const TransferFunction& tf)
{
    Expected e{fractal, std::vector<std::uint8_t>(fractal.rgb.size() / 3, Expected::fractal)};
    auto fill = [&e](int left, int top, int right, int bottom, const float rgb[3], std::uint8_t tolerance) {
        for (int y = std::max(top, 0); y < std::min(bottom, e.picture.height); ++y)
            for (int x = std::max(left, 0); x < std::min(right, e.picture.width); ++x) {
                for (int k = 0; k < 3; ++k) e.picture.at(x, y)[k] = std::uint8_t(std::lround(std::clamp(rgb[k], 0.f, 1.f) * 255));
                e.tolerance[size_t(y) * e.picture.width + x] = tolerance;
            }
    };
    const float black[3] = {0, 0, 0}, white[3] = {1, 1, 1};
    fill(8, 8, 524, 32, black, 0);
    fill(9, 9, 523, 31, white, 0);
    // The bar is as wide as the table has texels: column 10 + i shows texel i.
    for (int i = 0; i < tableSize; ++i) fill(10 + i, 10, 11 + i, 30, &tf.colourTable[4 * size_t(i)], 2);
    // A 10 x 10 square about (512 x + 10, 20), ringed in the contrasting colour.
    for (const ControlPoint& p : tf.points) {
        const int cx = int(512.0 * p.x + 10.0);
        const float ring[3] = {p.red < 0.5f ? 1.f : 0.f, p.green < 0.5f ? 1.f : 0.f, p.blue < 0.5f ? 1.f : 0.f},
                    inside[3] = {p.red, p.green, p.blue};
        fill(cx - 5, 15, cx + 5, 25, ring, 0);
        fill(cx - 4, 16, cx + 4, 24, inside, 2);
    }
    return e;
}

// The fractal from row firstRow down, nothing above it.
inline Expected fractalFrom(const Image& fractal, int firstRow)
{
    Expected e{fractal, std::vector<std::uint8_t>(fractal.rgb.size() / 3, Expected::fractal)};
    std::fill_n(e.tolerance.begin(), size_t(std::clamp(firstRow, 0, fractal.height)) * fractal.width, Expected::ignored);
    return e;
}

// Editor pixels beyond their tolerance; fractal pixels off by more than 3,
// and those compared, in the editor's rows (0 .. 39) and below them. Within
// rounding and llvmpipe's arithmetic: no editor pixel off, a share of the
// fractal's (none in the editor's rows if asked).
struct Mismatches {
    bool sizesDiffer = false;
    long editor = 0, fractal[2] = {0, 0}, compared[2] = {0, 0};
    bool within(double share, bool exactNearEditor = false) const
    {
        return !sizesDiffer && !editor && !(exactNearEditor && fractal[0]) &&
               fractal[0] + fractal[1] <= share * double(compared[0] + compared[1]);
    }
    double share() const { return double(fractal[0] + fractal[1]) / double(std::max(compared[0] + compared[1], 1L)); }
};

inline Mismatches compareWindow(const Image& captured, const Expected& e)
{
    Mismatches m;
    m.sizesDiffer = captured.width != e.picture.width || captured.height != e.picture.height;
    for (int y = 0; y < captured.height && !m.sizesDiffer; ++y)
        for (int x = 0; x < captured.width; ++x) {
            const std::uint8_t *a = captured.at(x, y), *b = e.picture.at(x, y), tolerance = e.tolerance[size_t(y) * captured.width + x];
            const int worst = std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
            if (tolerance == Expected::fractal) ++m.compared[y >= 40], m.fractal[y >= 40] += worst > 3;
            else if (tolerance != Expected::ignored) m.editor += worst > tolerance;
        }
    return m;
}

// Writes <name>.ppm into $FRAKTALE_TEST_ARTIFACTS (or /tmp) for a failure's message.
inline std::string savePicture(const Image& image, const std::string& name)
{
    const char* folder = std::getenv("FRAKTALE_TEST_ARTIFACTS");
    const std::string path = std::string(folder && *folder ? folder : "/tmp") + "/" + name + ".ppm";
    std::ofstream(path, std::ios::binary) << "P6\n" << image.width << " " << image.height << "\n255\n"
                                          << std::string(image.rgb.begin(), image.rgb.end());
    return path;
}

}  // namespace fx
