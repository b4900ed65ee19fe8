// Views held in arbitrary precision, for windows whose pixels single
// precision can no longer tell apart, and the switch between the two.
//
// Precision: a bound needs the bits that place it relative to its own
// magnitude (log2 |bound|) down to a pixel (log2 pixel), and 64 more so
// that a zoom step, rounded once, moves the point under the pointer by
// about 2^-64 of a pixel: thousands of steps at one depth stay far below a
// pixel. Going deeper, earlier steps' rounding is measured in ever smaller
// pixels (1.25 times more per step in), so a pointer held still for some
// 190 steps drifts by a pixel; a hand that keeps the point under the
// pointer does not notice, the pointer's own float fraction being coarser.
// MPFR keeps the exponent apart from those bits, so depth itself costs
// nothing until the bits grow.
#pragma once

#include "deep/big.h"

enum class ZoomDirection { in, out };

// The single-precision number nearest 0.8: one step in keeps 0.8 of the extent.
constexpr float zoomFactor = 0.8f;

// The bounds of a window's view: real part at the left and right edges,
// imaginary part at the bottom and top edges.
struct DeepView {
    Big left, right, bottom, top;
};

// Whether two views have the same bounds, whatever their precisions.
bool sameBounds(const DeepView& a, const DeepView& b);

// Pixels at least this many float steps (units in the last place of the
// larger bound) wide are drawn by the single-precision programs; narrower
// ones by perturbation. Below it the float pictures start to repeat pixels.
constexpr double switchUlps = 4.0;

// Whether single precision still resolves `pixels` pixels between lo and hi:
// both finite and each pixel at least switchUlps float steps wide.
bool floatResolves(float lo, float hi, int pixels);

// Whether the single-precision programs still draw this window's view:
// both axes resolve, and for a Julia view the first step z^2 + c still
// tells neighbouring pixels apart (see deep_view.cpp).
bool floatResolvesView(float left, float right, float bottom, float top, int width, int height, bool julia, float cr,
                       float ci);

// Bits the view needs at width x height pixels (see above), at least 64 and
// rounded up to a multiple of 32.
long precisionFor(const DeepView& view, int width, int height);

// The same rule for numbers of at most `magnitude` placed to a fraction of
// `pixel` (a pixel of 0 or below, or not finite: 64 bits).
long precisionForScale(const Big& magnitude, const Big& pixel);

// One axis of a wheel step, the float path's arithmetic carried out at the
// bounds' precision: step = extent - extent * zoomFactor going in, extent *
// zoomFactor - extent going out; hi -= (1 - p) * step; lo += p * step. The
// point under the pointer, lo + p * extent, keeps its place both ways. A
// step in and one out leave 0.96 of the extent, as on the float path. A
// pointer fraction that is not finite leaves the axis as it is.
void zoomDeepAxis(Big& lo, Big& hi, float p, ZoomDirection direction);

// Both axes about the pointer fractions, then every bound set to the
// precision the new view needs.
void zoomDeep(DeepView& view, float pointerX, float pointerY, ZoomDirection direction, int width, int height);

// Moves the view by whole pixels, dx to the right and dy up (the content
// moves the other way), at the bounds' precision: each bound moves by
// d * extent / pixels, worked out with 64 bits more than the bounds hold,
// so that the extent stays and every new pixel centre lies on an old one
// to about 2^-64 of a pixel. A view that cannot tell its pixels apart
// (no pixels) stays.
void panDeep(DeepView& view, long dx, long dy, int width, int height);

// Whether view `to` is view `from` moved by whole pixels (panDeep's
// result), and by how many: `to` lies dx pixels right of and dy pixels
// above `from`. Pixel sides equal to 1e-9 of a pixel, offsets whole to
// 1e-6 of one, and below a million pixels.
bool wholePixelsApart(const DeepView& from, const DeepView& to, int width, int height, long& dx, long& dy);

// The exact values of float bounds, at the precision that view needs.
DeepView deepFromFloat(float left, float right, float bottom, float top, int width, int height);

// Each bound rounded to the nearest float.
void roundToFloat(const DeepView& view, float& left, float& right, float& bottom, float& top);

// (hi - lo) / pixels as a double: the side of one pixel along an axis, for
// views shallow enough that it is a normal double.
double pixelSide(const Big& lo, const Big& hi, int pixels);

// log2 of the larger side of a pixel (the footprint the iteration limit
// follows), for views of any depth.
double log2PixelSize(const DeepView& view, int width, int height);

// The point at fractions (fx, fy) of the view (0 at the left or bottom edge,
// 1 at the right or top), at the view's precision: a Julia constant picked
// in a deep Mandelbrot view keeps the view's precision.
void pointAt(const DeepView& view, float fx, float fy, Big& re, Big& im);
