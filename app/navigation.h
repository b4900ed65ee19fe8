// View navigation arithmetic: wheel zoom anchored at the pointer, pointer
// fractions and the Julia constant from the Mandelbrot window's pointer.
// No GL or GLUT here; the mouse callbacks in input.cpp call these.
#pragma once

#include "app/fractal_window.h"
#include "deep/deep_view.h"

// One axis of a zoom step; false (and lo, hi untouched) when the step would
// leave the axis unusable: a bound not finite, or an extent too small for
// single precision to tell the window's pixels apart any more.
bool zoomAxis(float& lo, float& hi, float p, ZoomDirection direction);

// Zooms both axes of the window's view around its stored pointer; a step that
// one axis refuses is dropped whole, so the view never distorts.
bool zoomView(FractalWindow& window, ZoomDirection direction);

// Stores x, y as fractions of the window; ignored while the window has no area.
bool trackPointer(FractalWindow& window, int x, int y);

// The Julia constant: the point of the Mandelbrot view under its pointer.
void juliaConstantFromPointer(const FractalWindow& mandelbrot, float& cr, float& ci);
