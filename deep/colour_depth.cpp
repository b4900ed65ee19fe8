// The iteration limit, the colour range mu0 .. mu1 and the colour table
// that lets the float programs, which read the table at log(mu + 1) /
// log(limit + 1), show a picture in that range; and the smallest count on a
// float view's border and the percentile of its counts, which decide it.
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

double escapingQuantile(std::vector<float> counts, double q, double ceiling)
{
    counts.erase(std::remove_if(counts.begin(), counts.end(), [ceiling](float c) { return !(c >= 0 && c < ceiling); }),
                 counts.end());
    if (counts.empty()) return noEscape;
    const size_t k = std::min(counts.size() - 1, size_t(std::floor(q * double(counts.size() - 1) + 0.5)));
    std::nth_element(counts.begin(), counts.begin() + long(k), counts.end());
    return counts[k];
}

CountSpread countSpread(const std::vector<float>& counts)
{
    return CountSpread{escapingQuantile(counts, middleQuantile), escapingQuantile(counts, topQuantile)};
}

namespace {

// 0 up to muMin = 3, 1 from 11: colourOffset's ramp.
double sampleShare(double muMin)
{
    return std::clamp((muMin - colourMargin) / 8, 0.0, 1.0);
}

// The k that puts the median a of (0, b] in the table's middle:
// log(a / k + 1) = log(b / k + 1) / 2, so k = a^2 / (b - 2a); between 1
// and 16 b (nearly straight; a median above b / 2 wants straighter still).
double bendFor(double a, double b)
{
    const double straight = std::max(1.0, 16 * b);
    if (!(a > 0) || !(b > 2 * a)) return straight;
    return std::clamp(a * a / (b - 2 * a), 1.0, straight);
}

}  // namespace

bool needsCountSample(double muMin)
{
    return sampleShare(muMin) > 0;
}

ColourRange colourRange(double muMin, int limit, const CountSpread& spread)
{
    ColourRange r{colourOffset(muMin), double(limit), 1};
    const double t = sampleShare(muMin);
    if (!(t > 0) || !(spread.top < 1e299) || !(limit > r.mu0)) return r;
    const double top = std::min(spread.top, double(limit)), margin = muMin - r.mu0;
    r.mu0 = std::max(0.0, muMin - (1 - t) * margin - t * std::min(margin, std::max(top - muMin, 0.0) / 8));
    if (!(top > r.mu0)) return r;
    // In log(mu - mu0 + 1), the measure the table is read in at k = 1.
    const double atLimit = std::log(limit - r.mu0 + 1), atTop = std::log(top - r.mu0 + 1);
    r.mu1 = std::min(double(limit), r.mu0 + std::exp((1 - t) * atLimit + t * atTop) - 1);
    r.bend = std::exp(t * std::log(bendFor(std::min(spread.middle, r.mu1) - r.mu0, r.mu1 - r.mu0)));
    return r;
}

double tablePosition(double mu, const ColourRange& r)
{
    if (mu < 0) return 1.0;
    const double span = std::log(std::max(r.mu1 - r.mu0, 0.0) / r.bend + 1);
    // mu0 at or past the top: no pixel escapes within it, nothing to spread.
    if (!(span > 0)) return mu > r.mu0 ? 1.0 : 0.0;
    return std::clamp(std::log(std::max(mu - r.mu0, 0.0) / r.bend + 1) / span, 0.0, 1.0);
}

std::vector<float> remapTable(const std::vector<float>& table, int limit, const ColourRange& range)
{
    // The programs' own mapping: the same table, bit for bit.
    if ((range.mu0 == 0 && range.mu1 == limit && range.bend == 1) || table.size() != size_t(4 * tableTexels)) return table;
    std::vector<float> remapped(table.size());
    for (int i = 0; i < tableTexels; ++i) {
        const double s = double(i) / (tableTexels - 1);
        const double mu = std::pow(limit + 1.0, s) - 1;
        readLinear(table, tablePosition(mu, range), &remapped[4 * i]);
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

CountSpread floatCountSpread(float left, float right, float bottom, float top, int width, int height, bool julia,
                             float cr, float ci)
{
    if (width <= 0 || height <= 0) return CountSpread{};
    constexpr int grid = 48;
    const int limit = floatViewLimit(left, right, bottom, top, width, height);
    std::vector<float> counts;
    counts.reserve(grid * grid);
    for (int b = 0; b < grid; ++b)
        for (int a = 0; a < grid; ++a) {
            // Pixel centres, spread evenly.
            const int i = (2 * a + 1) * width / (2 * grid), j = (2 * b + 1) * height / (2 * grid);
            const double x = left + (i + 0.5) / width * (double(right) - left);
            const double y = top - (j + 0.5) / height * (double(top) - bottom);
            if (!julia && inCardioidOrBulb(x, y)) continue;
            const double mu = julia ? escapeCount(x, y, cr, ci, limit) : escapeCount(0, 0, x, y, limit);
            if (mu < noEscape) counts.push_back(float(mu));
        }
    return countSpread(counts);
}

ColourRange floatColourRange(float left, float right, float bottom, float top, int width, int height, bool julia,
                             float cr, float ci)
{
    const int limit = floatViewLimit(left, right, bottom, top, width, height);
    const double muMin = floatBorderMinimum(left, right, bottom, top, width, height, julia, cr, ci);
    const CountSpread spread = needsCountSample(muMin) ? floatCountSpread(left, right, bottom, top, width, height, julia, cr, ci)
                                                        : CountSpread{};
    return colourRange(muMin, limit, spread);
}

std::vector<float> floatPathTable(const std::vector<float>& table, float left, float right, float bottom, float top,
                                  int width, int height, bool julia, float cr, float ci, ColourRange* range)
{
    const int limit = floatViewLimit(left, right, bottom, top, width, height);
    const ColourRange r = floatColourRange(left, right, bottom, top, width, height, julia, cr, ci);
    if (range) *range = r;
    return remapTable(table, limit, r);
}
