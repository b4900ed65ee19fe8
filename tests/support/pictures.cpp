#include "support/pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>

namespace fx {

Expected withEditor(const Image& fractal, const TransferFunction& tf)
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
    // A 10 x 10 square about (512 x + 10, 20), its ring in the colour that
    // contrasts with the point's in every channel.
    for (const ControlPoint& p : tf.points) {
        const int cx = int(512.0 * p.x + 10.0);
        const float ring[3] = {p.red < 0.5f ? 1.f : 0.f, p.green < 0.5f ? 1.f : 0.f, p.blue < 0.5f ? 1.f : 0.f},
                    inside[3] = {p.red, p.green, p.blue};
        fill(cx - 5, 15, cx + 5, 25, ring, 0);
        fill(cx - 4, 16, cx + 4, 24, inside, 2);
    }
    return e;
}

std::string Difference::describe() const
{
    if (sizesDiffer) return "the pictures differ in size";
    return std::to_string(exceeding) + " of " + std::to_string(compared) + " pixels beyond tolerance; largest " +
           std::to_string(largest) + " at (" + std::to_string(worstX) + ", " + std::to_string(worstY) + ")";
}

Difference compareImages(const Image& a, const Image& b, int tolerance, int firstRow, int lastRow)
{
    Difference d;
    d.sizesDiffer = a.width != b.width || a.height != b.height;
    for (int y = std::max(firstRow, 0); !d.sizesDiffer && y < (lastRow < 0 ? a.height : lastRow); ++y)
        for (int x = 0; x < a.width; ++x) {
            int worst = 0;
            for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(int(a.at(x, y)[k]) - int(b.at(x, y)[k])));
            ++d.compared;
            d.exceeding += worst > tolerance;
            if (worst > d.largest) d.largest = worst, d.worstX = x, d.worstY = y;
        }
    return d;
}

std::string savePicture(const Image& image, const std::string& name)
{
    const char* folder = std::getenv("FRAKTALE_TEST_ARTIFACTS");
    const std::string path = std::string(folder && *folder ? folder : "/tmp") + "/" + name + ".ppm";
    std::ofstream(path, std::ios::binary) << "P6\n" << image.width << " " << image.height << "\n255\n"
                                          << std::string(image.rgb.begin(), image.rgb.end());
    return path;
}

}  // namespace fx
