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

// A wheel step at any depth: the float arithmetic above while single
// precision resolves the window's pixels, the same arithmetic in arbitrary
// precision past that (when `deep` drawing is available), and back to the
// float one when zooming out crosses the switch again. Without deep
// drawing, zoomView's float step and its limits.
bool zoomWindow(FractalWindow& window, ZoomDirection direction, bool deep);

// The constant under the Mandelbrot window's pointer, at its view's
// precision, and its float rounding.
void pickJuliaConstant(const FractalWindow& mandelbrot, Big& re, Big& im, float& cr, float& ci);

// Puts the window's view where single or arbitrary precision holds it, as
// its pixels need; after a location is set or the window resized.
void settleView(FractalWindow& window, bool deep);
// A view given in arbitrary precision (a location).
void setView(FractalWindow& window, const DeepView& view, bool deep);

// Moves the window's view by whole pixels, dx to the right and dy up, at
// any depth: in arbitrary precision from the exact bounds (the float ones
// rounded from them), switching between the two as the pixels need; without
// deep drawing, only while single precision keeps the view usable (as a
// zoom step). False (nothing moved) when refused.
bool panWindow(FractalWindow& window, long dx, long dy, bool deep);

// A wheel notch (two zoom steps, as the press and the release of a wheel
// button give) about the window's centre; the stored pointer stays.
bool zoomAtCentre(FractalWindow& window, ZoomDirection direction, bool deep);

// The window's view as the history keeps it, and back.
WindowView windowView(const FractalWindow& window);
void showView(FractalWindow& window, const WindowView& view, bool deep);

// Whether single precision resolves the window's pixels in both axes.
bool floatHoldsView(const FractalWindow& window);
