#include "app/navigation.h"

#include <algorithm>
#include <cmath>

namespace {

// Below this many units in the last place of the bounds, zooming further
// only repeats pixels, and at a handful the bounds would collapse into one.
constexpr float minimumUlps = 8.0f;
// Keeps the fragment programs' squares out of float underflow near 0.
constexpr float minimumExtent = 1e-30f;

bool usable(float lo, float hi)
{
    if (!std::isfinite(lo) || !std::isfinite(hi)) return false;
    const float extent = hi - lo;
    if (!std::isfinite(extent)) return false;
    const float magnitude = std::max(std::fabs(lo), std::fabs(hi));
    const float ulp = std::nextafter(magnitude, INFINITY) - magnitude;
    return extent >= minimumUlps * ulp && extent >= minimumExtent;
}

}  // namespace

bool zoomAxis(float& lo, float& hi, float p, ZoomDirection direction)
{
    const double extent = double(hi) - double(lo);
    // Positive (about 0.2 of the extent) zooming in, negative (about -0.2)
    // zooming out. Moving hi by (1 - p) and lo by p of it keeps the point
    // under the pointer, lo + p * extent, where it is in both directions.
    const float step = direction == ZoomDirection::in
                           ? static_cast<float>(extent - extent * double(zoomFactor))
                           : static_cast<float>(extent * double(zoomFactor) - extent);
    const float newHi = static_cast<float>(hi - (1.0 - p) * step);
    const float newLo = static_cast<float>(lo + double(p) * step);
    if (!std::isfinite(p) || !usable(newLo, newHi)) return false;
    lo = newLo;
    hi = newHi;
    return true;
}

bool zoomView(FractalWindow& window, ZoomDirection direction)
{
    float bottom = window.viewBottom, top = window.viewTop;
    float left = window.viewLeft, right = window.viewRight;
    if (!zoomAxis(bottom, top, window.pointerY, direction)) return false;
    if (!zoomAxis(left, right, window.pointerX, direction)) return false;
    window.viewBottom = bottom;
    window.viewTop = top;
    window.viewLeft = left;
    window.viewRight = right;
    return true;
}

bool trackPointer(FractalWindow& window, int x, int y)
{
    if (window.width <= 0 || window.height <= 0) return false;
    window.pointerX = static_cast<float>(x) / window.width;
    window.pointerY = 1.0f - static_cast<float>(y) / window.height;
    return true;
}

void juliaConstantFromPointer(const FractalWindow& mandelbrot, float& cr, float& ci)
{
    cr = mandelbrot.viewLeft + (mandelbrot.viewRight - mandelbrot.viewLeft) * mandelbrot.pointerX;
    ci = mandelbrot.viewBottom + (mandelbrot.viewTop - mandelbrot.viewBottom) * mandelbrot.pointerY;
}

// Bounds tried apart from the window: a copy of the whole record would
// copy its colour table and its history of deep views on every step.
static bool boundsResolved(float left, float right, float bottom, float top, int width, int height)
{
    return floatResolves(left, right, width) && floatResolves(bottom, top, height);
}

bool floatHoldsView(const FractalWindow& w)
{
    return boundsResolved(w.viewLeft, w.viewRight, w.viewBottom, w.viewTop, w.width, w.height);
}

namespace {

void roundView(FractalWindow& w)
{
    roundToFloat(w.deepView, w.viewLeft, w.viewRight, w.viewBottom, w.viewTop);
}

}  // namespace

bool zoomWindow(FractalWindow& w, ZoomDirection direction, bool deep)
{
    if (!w.deep) {
        float bottom = w.viewBottom, top = w.viewTop, left = w.viewLeft, right = w.viewRight;
        const bool stepped = zoomAxis(bottom, top, w.pointerY, direction) && zoomAxis(left, right, w.pointerX, direction);
        if (stepped && (!deep || boundsResolved(left, right, bottom, top, w.width, w.height))) {
            w.viewLeft = left, w.viewRight = right, w.viewBottom = bottom, w.viewTop = top;
            return true;
        }
        if (!deep || !std::isfinite(w.pointerX) || !std::isfinite(w.pointerY)) return false;
    }
    DeepView view = w.deep ? w.deepView : deepFromFloat(w.viewLeft, w.viewRight, w.viewBottom, w.viewTop, w.width, w.height);
    zoomDeep(view, w.pointerX, w.pointerY, direction, w.width, w.height);
    float left, right, bottom, top;
    roundToFloat(view, left, right, bottom, top);
    // A float step refused for overflow stays refused, as zoomAxis refuses
    // it: a view whose extent leaves float's range is none to step back from.
    if (!std::isfinite(right - left) || !std::isfinite(top - bottom)) return false;
    w.deepView = std::move(view);
    w.viewLeft = left, w.viewRight = right, w.viewBottom = bottom, w.viewTop = top;
    // Back across the switch the float arithmetic takes over from the rounded bounds.
    w.deep = !floatHoldsView(w);
    return true;
}

void pickJuliaConstant(const FractalWindow& m, Big& re, Big& im, float& cr, float& ci)
{
    if (!m.deep) {
        juliaConstantFromPointer(m, cr, ci);
        re = Big(double(cr), 64);
        im = Big(double(ci), 64);
        return;
    }
    pointAt(m.deepView, m.pointerX, m.pointerY, re, im);
    cr = re.toFloat();
    ci = im.toFloat();
}

void settleView(FractalWindow& w, bool deep)
{
    if (w.width <= 0 || w.height <= 0) return;
    if (w.deep && floatHoldsView(w)) w.deep = false;
    if (!w.deep && deep && !floatHoldsView(w)) {
        w.deepView = deepFromFloat(w.viewLeft, w.viewRight, w.viewBottom, w.viewTop, w.width, w.height);
        w.deep = true;
    }
}

void setView(FractalWindow& w, const DeepView& view, bool deep)
{
    w.deepView = view;
    roundView(w);
    w.deep = deep && !floatHoldsView(w);
}

bool panWindow(FractalWindow& w, long dx, long dy, bool deep)
{
    if (w.width <= 0 || w.height <= 0 || (dx == 0 && dy == 0)) return false;
    DeepView view = w.deep ? w.deepView : deepFromFloat(w.viewLeft, w.viewRight, w.viewBottom, w.viewTop, w.width, w.height);
    panDeep(view, dx, dy, w.width, w.height);
    float left, right, bottom, top;
    roundToFloat(view, left, right, bottom, top);
    // As a zoom step: a float view must stay usable, a deep one within
    // float's range (its rounding is what the float programs would get).
    const bool deepNow = deep && !boundsResolved(left, right, bottom, top, w.width, w.height);
    if (deepNow ? !std::isfinite(right - left) || !std::isfinite(top - bottom) : !usable(left, right) || !usable(bottom, top))
        return false;
    w.viewLeft = left, w.viewRight = right, w.viewBottom = bottom, w.viewTop = top;
    w.deep = deepNow;
    if (deepNow) w.deepView = std::move(view);
    return true;
}

bool zoomAtCentre(FractalWindow& w, ZoomDirection direction, bool deep)
{
    const float x = w.pointerX, y = w.pointerY;
    w.pointerX = w.pointerY = 0.5f;
    bool zoomed = zoomWindow(w, direction, deep);
    zoomed = zoomWindow(w, direction, deep) || zoomed;
    w.pointerX = x, w.pointerY = y;
    return zoomed;
}

WindowView windowView(const FractalWindow& w)
{
    WindowView v;
    v.deep = w.deep;
    if (w.deep) v.deepView = w.deepView;
    v.left = w.viewLeft, v.right = w.viewRight, v.bottom = w.viewBottom, v.top = w.viewTop;
    return v;
}

void showView(FractalWindow& w, const WindowView& v, bool deep)
{
    w.viewLeft = v.left, w.viewRight = v.right, w.viewBottom = v.bottom, w.viewTop = v.top;
    w.deep = v.deep;
    if (v.deep) w.deepView = v.deepView;
    settleView(w, deep);
}
