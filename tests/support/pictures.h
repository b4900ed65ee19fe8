// Pictures compared the way a window's picture can be judged: the editor
// painted over a fractal as GL rasterises it, and counts of differing pixels.
#pragma once

#include "support/x11.h"
#include "transfer/transfer_function.h"

#include <string>

namespace fx {

// The editor's pixels lie in rows 8..31 and columns 5..526, markers
// included; markers sit on row 20; column c stands for editor x (c - 10) / 512.
constexpr int editorBottom = 32, editorRight = 527, markerRow = 20;
inline float columnX(int column) { return float(column - 10) / 512.0f; }

// The fractal with the editor painted over it (a quad with corners on whole
// pixels covers columns left..right-1 and rows top..bottom-1), and each
// pixel's tolerance: 0 for the frames and the markers' rings, 2 for what the
// 8-bit framebuffer may round (the bar's texels, a marker's inside), and
// `fractal` for the fractal, whose escape counts may differ near the set.
struct Expected {
    static constexpr std::uint8_t fractal = 255;
    Image picture;
    std::vector<std::uint8_t> tolerance;
};
Expected withEditor(const Image& fractal, const TransferFunction& tf);

struct Difference {
    long compared = 0, exceeding = 0;  // pixels with a channel off by more than the tolerance
    int largest = 0, worstX = -1, worstY = -1;
    bool sizesDiffer = false;
    double share() const { return compared ? double(exceeding) / double(compared) : 1.0; }
    // Within what rounding and llvmpipe's arithmetic allow a fractal.
    bool similar() const { return !sizesDiffer && exceeding <= 0.01 * compared; }
    std::string describe() const;
};
// Compares the rows [firstRow, lastRow) (lastRow < 0: to the bottom).
Difference compareImages(const Image& a, const Image& b, int tolerance = 3, int firstRow = 0, int lastRow = -1);

// Writes <name>.ppm into $FRAKTALE_TEST_ARTIFACTS (or /tmp) for a failure's
// message; returns the path.
std::string savePicture(const Image& image, const std::string& name);

}  // namespace fx
