// Arbitrary-precision views: the precision they need, the wheel step, the
// switch from the float programs and the conversions to and from floats.
//
// Precision: every bound is a Big of precisionFor bits, which places it to
// 2^-64 of a pixel; one step rounds each result once, so the point under
// the pointer moves by about 2^-64 of a pixel per step. Scalars that only
// steer (log2 sizes, float ulps) are doubles: they need a few digits, and
// log2 of a size has a magnitude of at most a few times 10^9 in MPFR's
// exponent range, which a double holds with room to spare.
#include "deep/deep_view.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr long guardBits = 64;
constexpr long precisionGrain = 32;

long largestPrecision(const DeepView& view)
{
    return std::max({view.left.precision(), view.right.precision(), view.bottom.precision(), view.top.precision()});
}

// |a| if it is the larger, else `largest` stays.
void raiseToMagnitude(Big& largest, const Big& a)
{
    if (mpfr_cmpabs(a.v, largest.v) > 0) mpfr_abs(largest.v, a.v, MPFR_RNDN);
}

// (hi - lo) / pixels, at the given precision.
Big pixelSide(const Big& lo, const Big& hi, int pixels, long bits)
{
    Big side(bits);
    mpfr_sub(side.v, hi.v, lo.v, MPFR_RNDN);
    mpfr_div_si(side.v, side.v, pixels, MPFR_RNDN);
    return side;
}

// The float step just above |m| (m itself a float).
double floatUlp(float m)
{
    const float a = std::fabs(m);
    return double(std::nextafter(a, INFINITY)) - double(a);
}

}  // namespace

bool sameBounds(const DeepView& a, const DeepView& b)
{
    return sameValue(a.left, b.left) && sameValue(a.right, b.right) && sameValue(a.bottom, b.bottom) &&
           sameValue(a.top, b.top);
}

long precisionForScale(const Big& magnitude, const Big& pixel)
{
    if (!mpfr_number_p(pixel.v) || mpfr_sgn(pixel.v) <= 0) return guardBits;
    // Numbers near 0 still need the bits of a pixel: the pixel is the floor
    // of the magnitude, so a bound of 0 or 1e-300 costs no more than that.
    const double spread = std::max(log2Magnitude(magnitude), log2Magnitude(pixel)) - log2Magnitude(pixel);
    if (!std::isfinite(spread)) return guardBits;
    const long bits = std::max(guardBits, long(std::ceil(spread)) + guardBits);
    return (bits + precisionGrain - 1) / precisionGrain * precisionGrain;
}

long precisionFor(const DeepView& view, int width, int height)
{
    if (width <= 0 || height <= 0) return guardBits;
    // 64 bits place the pixel sides to 2^-64 of themselves: enough to pick
    // the smaller and take its log2.
    const long bits = std::max(largestPrecision(view), guardBits);
    Big pixel = pixelSide(view.left, view.right, width, guardBits);
    const Big pixelY = pixelSide(view.bottom, view.top, height, guardBits);
    if (mpfr_less_p(pixelY.v, pixel.v)) pixel = pixelY;
    Big magnitude(bits);
    for (const Big* bound : {&view.left, &view.right, &view.bottom, &view.top}) raiseToMagnitude(magnitude, *bound);
    return precisionForScale(magnitude, pixel);
}

void zoomDeepAxis(Big& lo, Big& hi, float p, ZoomDirection direction)
{
    // A pointer of no window (NaN) would turn the bounds into NaN for good.
    if (!std::isfinite(p)) return;
    const long bits = std::max(lo.precision(), hi.precision());
    lo.setPrecision(bits);
    hi.setPrecision(bits);
    Big extent(bits), scaled(bits), step(bits), share(bits);
    mpfr_sub(extent.v, hi.v, lo.v, MPFR_RNDN);
    mpfr_mul_d(scaled.v, extent.v, double(zoomFactor), MPFR_RNDN);
    if (direction == ZoomDirection::in)
        mpfr_sub(step.v, extent.v, scaled.v, MPFR_RNDN);
    else
        mpfr_sub(step.v, scaled.v, extent.v, MPFR_RNDN);
    mpfr_set_d(share.v, double(p), MPFR_RNDN);
    mpfr_ui_sub(share.v, 1, share.v, MPFR_RNDN);
    mpfr_mul(share.v, share.v, step.v, MPFR_RNDN);
    mpfr_sub(hi.v, hi.v, share.v, MPFR_RNDN);
    mpfr_mul_d(share.v, step.v, double(p), MPFR_RNDN);
    mpfr_add(lo.v, lo.v, share.v, MPFR_RNDN);
}

void zoomDeep(DeepView& view, float pointerX, float pointerY, ZoomDirection direction, int width, int height)
{
    zoomDeepAxis(view.left, view.right, pointerX, direction);
    zoomDeepAxis(view.bottom, view.top, pointerY, direction);
    const long bits = precisionFor(view, width, height);
    for (Big* bound : {&view.left, &view.right, &view.bottom, &view.top}) bound->setPrecision(bits);
}

namespace {

// The sum is taken 64 bits finer than the bounds, then rounded once to
// what the moved view needs.
void panAxis(Big& lo, Big& hi, long d, int pixels)
{
    if (d == 0) return;
    const long bits = std::max(lo.precision(), hi.precision()) + guardBits;
    Big shift = pixelSide(lo, hi, pixels, bits);
    mpfr_mul_si(shift.v, shift.v, d, MPFR_RNDN);
    lo.setPrecision(bits);
    hi.setPrecision(bits);
    mpfr_add(lo.v, lo.v, shift.v, MPFR_RNDN);
    mpfr_add(hi.v, hi.v, shift.v, MPFR_RNDN);
}

}  // namespace

void panDeep(DeepView& view, long dx, long dy, int width, int height)
{
    if (width <= 0 || height <= 0) return;
    const long before = largestPrecision(view);
    panAxis(view.left, view.right, dx, width);
    panAxis(view.bottom, view.top, dy, height);
    // Moving away from 0 makes the bounds larger and may need more bits;
    // moving towards it keeps those it had.
    const long bits = std::max(before, precisionFor(view, width, height));
    for (Big* bound : {&view.left, &view.right, &view.bottom, &view.top}) bound->setPrecision(bits);
}

namespace {

// (to - from) in pixels of from's axis, in MPFR: any depth, subnormal pixels too.
double pixelsBetween(const Big& from, const Big& to, const Big& lo, const Big& hi, int pixels)
{
    const long bits = std::max({to.precision(), from.precision(), lo.precision(), hi.precision()}) + 1;
    Big d(bits), side = pixelSide(lo, hi, pixels, bits);
    mpfr_sub(d.v, to.v, from.v, MPFR_RNDN);
    mpfr_div(d.v, d.v, side.v, MPFR_RNDN);
    return d.toDouble();
}

bool wholeOffset(double pixels, long& whole)
{
    if (!(std::fabs(pixels) < 1e6)) return false;
    whole = std::lround(pixels);
    return std::fabs(pixels - double(whole)) < 1e-6;
}

}  // namespace

bool wholePixelsApart(const DeepView& from, const DeepView& to, int width, int height, long& dx, long& dy)
{
    if (width <= 0 || height <= 0) return false;
    // The same pixel size: the extents a billionth of a pixel apart.
    const double wider = pixelsBetween(from.left, to.right, from.left, from.right, width) -
                         pixelsBetween(from.left, to.left, from.left, from.right, width) - width;
    const double taller = pixelsBetween(from.bottom, to.top, from.bottom, from.top, height) -
                          pixelsBetween(from.bottom, to.bottom, from.bottom, from.top, height) - height;
    if (!(std::fabs(wider) < 1e-9 && std::fabs(taller) < 1e-9)) return false;
    return wholeOffset(pixelsBetween(from.left, to.left, from.left, from.right, width), dx) &&
           wholeOffset(pixelsBetween(from.bottom, to.bottom, from.bottom, from.top, height), dy);
}

bool floatResolves(float lo, float hi, int pixels)
{
    if (pixels <= 0 || !std::isfinite(lo) || !std::isfinite(hi)) return false;
    const float extent = hi - lo;
    if (!std::isfinite(extent) || !(extent > 0)) return false;
    const float magnitude = std::max(std::fabs(lo), std::fabs(hi));
    return (double(hi) - double(lo)) / pixels >= switchUlps * floatUlp(magnitude);
}

// z^2 + c in single precision loses a starting point's offset h once 2|z|h
// falls below a float step of the result, long before the bounds run out of
// bits: Julia views near the origin collapse early, perturbation keeps
// them. Neighbours z and z + h part by (2|z| + h) h after one step; the
// result is at most |c| + R^2 in size.
static bool juliaFirstStepResolves(float left, float right, float bottom, float top, int width, int height, float cr,
                                   float ci)
{
    const double h = std::max((double(right) - left) / width, (double(top) - bottom) / height);
    const double dx = left > 0 ? left : right < 0 ? -double(right) : 0.0;
    const double dy = bottom > 0 ? bottom : top < 0 ? -double(top) : 0.0;
    const double d = std::hypot(dx, dy);
    const double r = std::max({std::fabs(left), std::fabs(right), std::fabs(bottom), std::fabs(top)});
    const float result = static_cast<float>(std::hypot(double(cr), double(ci)) + r * r);
    if (!std::isfinite(result)) return false;
    return (2 * d + h) * h >= switchUlps * floatUlp(result);
}

bool floatResolvesView(float left, float right, float bottom, float top, int width, int height, bool julia, float cr,
                       float ci)
{
    if (!floatResolves(left, right, width) || !floatResolves(bottom, top, height)) return false;
    return !julia || juliaFirstStepResolves(left, right, bottom, top, width, height, cr, ci);
}

DeepView deepFromFloat(float left, float right, float bottom, float top, int width, int height)
{
    // 64 bits hold any float exactly; the view's own precision only adds bits.
    DeepView view{Big(left, guardBits), Big(right, guardBits), Big(bottom, guardBits), Big(top, guardBits)};
    const long bits = precisionFor(view, width, height);
    for (Big* bound : {&view.left, &view.right, &view.bottom, &view.top}) bound->setPrecision(bits);
    return view;
}

void roundToFloat(const DeepView& view, float& left, float& right, float& bottom, float& top)
{
    left = view.left.toFloat();
    right = view.right.toFloat();
    bottom = view.bottom.toFloat();
    top = view.top.toFloat();
}

double pixelSide(const Big& lo, const Big& hi, int pixels)
{
    return pixelSide(lo, hi, pixels, hi.precision()).toDouble();
}

double log2PixelSize(const DeepView& view, int width, int height)
{
    const long bits = std::max(largestPrecision(view), guardBits);
    const Big x = pixelSide(view.left, view.right, width, bits);
    const Big y = pixelSide(view.bottom, view.top, height, bits);
    return log2Magnitude(mpfr_greater_p(y.v, x.v) ? y : x);
}

// lo + (hi - lo) * f at `bits`.
static void alongAxis(const Big& lo, const Big& hi, float f, long bits, Big& value)
{
    Big result(bits);
    mpfr_sub(result.v, hi.v, lo.v, MPFR_RNDN);
    mpfr_mul_d(result.v, result.v, double(f), MPFR_RNDN);
    mpfr_add(result.v, result.v, lo.v, MPFR_RNDN);
    value = std::move(result);
}

void pointAt(const DeepView& view, float fx, float fy, Big& re, Big& im)
{
    const long bits = largestPrecision(view);
    alongAxis(view.left, view.right, fx, bits, re);
    alongAxis(view.bottom, view.top, fy, bits, im);
}
