// The fractal of a window past single precision: each display pass works
// on the window's perturbation picture for a bounded time, shows what there
// is now and then, and has the next pass come while work remains; while
// the worker computes a picture's reference orbits a timer looks for it
// instead.
#pragma once

#include "app/fractal_window.h"

// Whether the window's fractal is drawn by perturbation: its view is held
// past single precision, or (Julia) single precision cannot tell its
// pixels apart after the first step; or at every view where the iteration
// limit was given.
bool drawsDeep(const FractalWindow& window, bool isJulia);

// Works on the window's deep picture and, where a pass should show it
// (asked for, a new picture, its look changed, the picture finished, or
// some time since the last), shows it into the back buffer; serves a
// screenshot request once the picture is finished and shown.
struct DeepPass {
    bool more = false;  // work remains
    bool show = false;  // the back buffer holds the picture: draw the editor and swap
};
DeepPass deepFractal(FractalWindow& window, bool isJulia, bool asked);

// After the pass's swap: the next pass, or a timer for the worker.
void continueDeep(FractalWindow& window);

// Stops the workers of both windows (on the way out).
void stopDeepWork();
