// The fractal pictures worked out on the CPU with the fragment programs'
// arithmetic in single precision, and the comparisons of captured pictures
// with them. A captured picture is judged against this, never against a
// stored picture.
#pragma once

#include "support/x11.h"

#include <string>
#include <vector>

namespace fx {

struct View {
    float left;
    float right;
    float bottom;
    float top;
};

// The 2048-float RGBA colour table of window 1 (Mandelbrot) or 2 (Julia)
// at its defaults, from the product's own transfer function code.
std::vector<float> defaultColourTable(int windowNumber);

// The iteration limit both programs derive from the pixel footprint.
float iterationLimit(const View& view, int width, int height);

// A GL_LINEAR read of the 512-texel table at the programs' coordinate for
// s, (0.5 + 511 s) / 512: a blend of the two nearest texel centres.
void tableColour(const std::vector<float>& table, float s, float rgb[3]);

// Pictures as the windows show them: row 0 at the top, each pixel the
// colour at its centre, channels rounded to 8 bits.
Image renderMandelbrot(const View& view, int width, int height, const std::vector<float>& table);
Image renderJulia(const View& view, int width, int height, float cr, float ci, const std::vector<float>& table);

struct Difference {
    long compared = 0;
    long exceeding = 0;   // pixels with a channel off by more than the tolerance
    int largest = 0;      // largest channel difference anywhere
    int worstX = -1;      // where it is
    int worstY = -1;
    bool sizesDiffer = false;
    double share() const { return compared ? double(exceeding) / double(compared) : 1.0; }
    std::string describe() const;
};

// Compares the rows [firstRow, lastRow) of two pictures of equal size
// (lastRow < 0: to the bottom).
Difference compareImages(const Image& a, const Image& b, int tolerance, int firstRow = 0, int lastRow = -1);

// The picture turned by 180 degrees, mirrored left to right, or mirrored
// top to bottom.
Image rotated180(const Image& image);
Image mirroredLeftRight(const Image& image);
Image mirroredTopBottom(const Image& image);

// Binary PPM (P6), for looking at a failure. False when it cannot be written.
bool writePpm(const Image& image, const std::string& path);
// Writes the picture as <name>.ppm into the folder named by
// $FRAKTALE_TEST_ARTIFACTS, or the system's temporary folder, and returns
// the path (empty when it could not be written).
std::string saveForInspection(const Image& image, const std::string& name);

}  // namespace fx
