// What the GPU needs to draw one picture past single precision: the
// reference orbits, their jump tables, the iteration limit and the size of
// a pixel, worked out from a view in arbitrary precision. No GL here; the
// viewer runs it on a worker thread, the render tool in line.
//
// Precision: a pixel's offset from the reference, dc, is its index times
// the pixel's size; sizes are floatexp (deep/floatexp.h), which hold any
// depth MPFR's exponents reach. The GPU takes them as a float mantissa and
// an exponent (see glsl/deep_fragment.glsl).
#pragma once

#include "deep/bla.h"
#include "deep/deep_view.h"

#include <atomic>

// Pixels down to 2^-deepDepthBits: the GPU's exponents are 32-bit integers
// and its jump radii float log2s, which still place a radius to a factor
// of 4 there; MPFR would hold a view deeper still (its precision, though,
// would be 16 million bits).
constexpr int deepDepthBits = 1 << 24;

struct DeepRequest {
    bool julia = false;
    DeepView view;
    Big constantRe, constantIm;  // the Julia constant, at the precision it was picked at
    int width = 0, height = 0;   // pixels (samples) of the whole picture
    int limit = 0;               // the iteration limit; 0: deepIterationLimit of the pixel's size
};

// Which arithmetic draws a picture (see glsl/deep_fragment.glsl).
struct DeepFormat {
    bool wide = false;  // rescaled doubles instead of rescaled floats
    bool skip = true;   // bilinear jumps
};

struct DeepScene {
    bool julia = false;
    int width = 0, height = 0;
    int limit = 0;
    FloatExp pixelWidth, pixelHeight;
    FloatExp dcMax;            // the largest |dc| of any pixel
    int references = 0;        // 1 for the Mandelbrot set, 2 for Julia sets
    ReferenceOrbit orbits[2];  // Julia: the view's centre, then the orbit of 0
    BlaTable tables[2];
    int period = 0;            // Mandelbrot: where the reference came back to 0 and ends (0: it does not)
    DeepFormat format;
    double seconds = 0;        // spent computing the orbits and tables
};

// (hi - lo) / pixels at any depth: the side of one pixel along an axis.
FloatExp pixelSideOf(const Big& lo, const Big& hi, int pixels);

// Whether the GPU path can draw the view at all: pixels, and no deeper
// than 2^-deepDepthBits.
bool deepDrawable(const DeepView& view, int width, int height);

// The number format and jumps for a prepared scene, by the rule written
// beside it in deep_picture.cpp.
DeepFormat chooseFormat(const DeepScene& scene);

// The references sit at the view's centre, in the middle of the picture:
// a pixel (i, j) counted from the bottom-left lies ((i + 0.5 - width / 2)
// pixelWidth, (j + 0.5 - height / 2) pixelHeight) from it.
// False when `cancel` turned true or the view is not drawable. `progress`
// (if given) goes from 0 to 1 with the reference orbits.
bool prepareScene(const DeepRequest& request, const std::atomic<bool>* cancel, DeepScene& scene,
                  std::atomic<double>* progress = nullptr);

// The two steps of prepareScene, for pictures that share a centre (a zoom
// movie's keyframes): the reference orbits at the view's centre, `limit`
// steps at `precision` bits (at least what the view and the Julia constant
// need) ...
bool computeReferences(const DeepRequest& request, int limit, long precision, const std::atomic<bool>* cancel,
                       ReferenceOrbit orbits[2], std::atomic<double>* progress = nullptr);
// ... and the scene of a view with that centre from them, iterated to
// `limit`: references computed for a deeper view at its higher precision
// serve every shallower one (their first `limit` steps are the ones it
// would compute, each rounded once alike). False when the view is not
// drawable.
bool sceneFromReferences(const DeepRequest& request, const ReferenceOrbit orbits[2], int limit, DeepScene& scene);
