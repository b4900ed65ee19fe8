// What the GPU needs to draw one picture past single precision: the
// reference orbits, their jump tables, the iteration limit and the size of
// a pixel, worked out from a view in arbitrary precision. No GL here; the
// viewer runs it on a worker thread, the render tool in line.
//
// Precision: a pixel's offset from the reference, dc, is its index times
// the pixel's size; the sizes are doubles, as is everything the GPU keeps
// (see glsl/deep_fragment.glsl), which reaches pixels of 1e-300.
#pragma once

#include "deep/bla.h"
#include "deep/deep_view.h"

#include <atomic>

constexpr double deepSmallestPixel = 1e-300;

struct DeepRequest {
    bool julia = false;
    DeepView view;
    Big constantRe, constantIm;  // the Julia constant, at the precision it was picked at
    int width = 0, height = 0;   // pixels (samples) of the whole picture
    int limit = 0;               // the iteration limit; 0: deepIterationLimit of the pixel's size
};

struct DeepScene {
    bool julia = false;
    int width = 0, height = 0;
    int limit = 0;
    double pixelWidth = 0, pixelHeight = 0;
    double dcMax = 0;          // the largest |dc| of any pixel
    int references = 0;        // 1 for the Mandelbrot set, 2 for Julia sets
    ReferenceOrbit orbits[2];  // Julia: the view's centre, then the orbit of 0
    BlaTable tables[2];
    double seconds = 0;        // spent computing the orbits and tables
};

// Whether the GPU path can draw the view at all: its pixels are no smaller
// than deepSmallestPixel.
bool deepDrawable(const DeepView& view, int width, int height);

// The references sit at the view's centre, in the middle of the picture:
// a pixel (i, j) counted from the bottom-left lies ((i + 0.5 - width / 2)
// pixelWidth, (j + 0.5 - height / 2) pixelHeight) from it.
// False when `cancel` turned true or the view is not drawable.
bool prepareScene(const DeepRequest& request, const std::atomic<bool>* cancel, DeepScene& scene);

// The two steps of prepareScene, for pictures that share a centre (a zoom
// movie's keyframes): the reference orbits at the view's centre, `limit`
// steps at `precision` bits (at least what the view and the Julia constant
// need) ...
bool computeReferences(const DeepRequest& request, int limit, long precision, const std::atomic<bool>* cancel,
                       ReferenceOrbit orbits[2]);
// ... and the scene of a view with that centre from them, iterated to
// `limit`: references computed for a deeper view at its higher precision
// serve every shallower one (their first `limit` steps are the ones it
// would compute, rounded once to doubles alike). False when the view is
// not drawable.
bool sceneFromReferences(const DeepRequest& request, const ReferenceOrbit orbits[2], int limit, DeepScene& scene);
