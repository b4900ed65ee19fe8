// The iteration limit, the colour offset mu0 and the colour table that lets
// the float programs, which read the table at log(mu + 1) / log(limit + 1),
// show a picture measured from mu0; and the smallest count on a float
// view's border, which decides mu0.
//
// Precision: counts, positions and orbits are doubles. A count needs a few
// digits; the border orbits are those of float views, whose pixels double
// precision resolves with 29 bits to spare, and they end at |z|^2 = 256.
#include "deep/colour_depth.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int tableTexels = 512;
constexpr double bailout = 256.0;
constexpr double noEscape = 1e300;

// The table read as GL reads a 1D texture with linear filtering: texel
// centres at (k + 0.5) / 512, clamped at both ends. t in 0..1 maps onto
// the centres 0..511, as the programs' (0.5 + 511 s) / 512 does.
void readLinear(const std::vector<float>& table, double t, float* rgb)
{
    const double x = std::clamp(t, 0.0, 1.0) * (tableTexels - 1);
    const int k = std::min(int(x), tableTexels - 2);
    const double w = x - k;
    for (int channel = 0; channel < 3; ++channel)
        rgb[channel] = float((1 - w) * table[4 * k + channel] + w * table[4 * (k + 1) + channel]);
}

bool inCardioidOrBulb(double x, double y)
{
    const double xq = x - 0.25, q = xq * xq + y * y;
    if (q * (q + xq) <= 0.25 * y * y) return true;
    return (x + 1) * (x + 1) + y * y <= 0.0625;
}

// The continuous count of the orbit of z under z^2 + c, or noEscape when it
// stays within the limit or settles on a cycle. The cycle test is Brent's:
// z is saved after 16, 32, 64, ... steps, and an orbit that comes back to
// within 1e-12 of the saved value has closed a cycle (an escaping orbit
// leaves every bounded region, so it cannot do that for long).
double escapeCount(double zx, double zy, double cx, double cy, int limit)
{
    double savedX = zx, savedY = zy;
    int nextSave = 16;
    for (int n = 1; n <= limit; ++n) {
        const double x = zx * zx - zy * zy + cx;
        zy = 2 * zx * zy + cy;
        zx = x;
        const double r = zx * zx + zy * zy;
        if (r > bailout) return std::max(n - std::log2(std::log2(r)) + 3, 0.0);
        const double dx = zx - savedX, dy = zy - savedY;
        if (dx * dx + dy * dy < 1e-24) return noEscape;
        if (n == nextSave) savedX = zx, savedY = zy, nextSave *= 2;
    }
    return noEscape;
}

}  // namespace

int iterationLimit(double log2Footprint, int cap)
{
    const double growth = 128.0 * std::max(0.0, std::log2(0.00375) - log2Footprint);
    return 4 * int(std::floor(std::min(260.0 + growth, double(cap)) / 4.0));
}

double colourOffset(double muMin)
{
    const double margin = colourMargin - 2 * std::clamp((muMin - colourMargin) / 8, 0.0, 1.0);
    return std::max(0.0, muMin - margin);
}

double tablePosition(double mu, int limit, double mu0)
{
    if (mu < 0) return 1.0;
    const double span = std::log(std::max(limit - mu0, 0.0) + 1);
    // mu0 at or past the limit: no pixel escapes within it, nothing to spread.
    if (!(span > 0)) return mu > mu0 ? 1.0 : 0.0;
    return std::clamp(std::log(std::max(mu - mu0, 0.0) + 1) / span, 0.0, 1.0);
}

std::vector<float> remapTable(const std::vector<float>& table, int limit, double mu0)
{
    // At mu0 = 0 the mapping is the programs' own: the same table, bit for bit.
    if (mu0 == 0 || table.size() != size_t(4 * tableTexels)) return table;
    std::vector<float> remapped(table.size());
    for (int i = 0; i < tableTexels; ++i) {
        const double s = double(i) / (tableTexels - 1);
        const double mu = std::pow(limit + 1.0, s) - 1;
        readLinear(table, tablePosition(mu, limit, mu0), &remapped[4 * i]);
        remapped[4 * i + 3] = 1.0f;
    }
    return remapped;
}

int floatViewLimit(float left, float right, float bottom, float top, int width, int height)
{
    const double pixel = std::max((double(right) - left) / width, (double(top) - bottom) / height);
    return iterationLimit(std::log2(pixel), floatLimitCap);
}

double floatBorderMinimum(float left, float right, float bottom, float top, int width, int height, bool julia,
                          float cr, float ci)
{
    if (width <= 0 || height <= 0) return noEscape;
    const int limit = floatViewLimit(left, right, bottom, top, width, height);
    double smallest = noEscape;
    auto visit = [&](int i, int j) {
        const double x = left + (i + 0.5) / width * (double(right) - left);
        const double y = top - (j + 0.5) / height * (double(top) - bottom);
        if (julia)
            smallest = std::min(smallest, escapeCount(x, y, cr, ci, limit));
        else if (!inCardioidOrBulb(x, y))
            smallest = std::min(smallest, escapeCount(0, 0, x, y, limit));
    };
    for (int i = 0; i < width; ++i) visit(i, 0), visit(i, height - 1);
    for (int j = 1; j < height - 1; ++j) visit(0, j), visit(width - 1, j);
    return smallest;
}

std::vector<float> floatPathTable(const std::vector<float>& table, float left, float right, float bottom, float top,
                                  int width, int height, bool julia, float cr, float ci, double* mu0)
{
    const int limit = floatViewLimit(left, right, bottom, top, width, height);
    const double offset = colourOffset(floatBorderMinimum(left, right, bottom, top, width, height, julia, cr, ci));
    if (mu0) *mu0 = offset;
    return offset > 0 ? remapTable(table, limit, offset) : table;
}
