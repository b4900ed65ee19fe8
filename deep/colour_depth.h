// The iteration limit and the colour mapping, shared by every depth.
//
// A point that escapes after a continuous count mu is coloured at
//     s = log(mu - mu0 + 1) / log(mu1 - mu0 + 1), clamped to 0 .. 1,
// of the colour table, where mu0 follows the picture's smallest count:
// mu0 = max(0, muMin - margin), the margin 1 once counts are large (the
// band's lowest count just off the table's left end) and 3 where they are
// small, in between linearly. Deep down one picture's counts lie in a
// narrow band far from 0 and far below the limit; measured from mu0, and
// up to the top count mu1, that band spreads over the table. mu1 is the
// limit while mu0 is 0, and along the same ramp (t = (muMin - 3) / 8,
// clamped to 0 .. 1) it moves, in log(mu - mu0 + 1), towards the
// picture's own 99th percentile of escaping counts; never above the limit.
// Counts above mu1 take the table's right end. At the start views muMin
// stays below 3, so the mapping is log(mu + 1) / log(limit + 1), the float
// programs' own. The smallest count of a view lies on its border (the
// escape potential is subharmonic), so the border's pixels alone give
// muMin; the percentile comes from a sample of the picture's pixels (deep
// pictures: their coarse pass; float views: a grid of orbits in double).
#pragma once

#include <vector>

// The float programs' cap, and the cap past single precision.
constexpr int floatLimitCap = 4096;
constexpr int deepLimitCap = 65536;

// 260 at a footprint of 3/800, 128 more for every halving below it, at most
// `cap`, rounded down to a multiple of 4. log2Footprint: log2 of the larger
// side of a pixel.
int iterationLimit(double log2Footprint, int cap);

// iterationLimit of a float view of width x height pixels, under
// floatLimitCap: the limit the float programs compute for it.
int floatViewLimit(float left, float right, float bottom, float top, int width, int height);

constexpr double colourMargin = 3.0;  // at counts of 3 and below: the start views keep mu0 = 0

// mu0 for a picture whose smallest escaping count is muMin (a huge value
// when no pixel of the border escapes): continuous and never decreasing in
// muMin, 0 up to muMin = 3, muMin - 1 from muMin = 11.
double colourOffset(double muMin);

// The percentile of escaping counts that mu1 moves towards.
constexpr double topQuantile = 0.99;

// The q-quantile (0 .. 1) of the escaping counts (>= 0, below `ceiling`)
// among `counts`; a huge value when there are none.
double escapingQuantile(std::vector<float> counts, double q, double ceiling = 1e29);

// The mapping of one picture: mu0, and mu1, the count at the table's right end.
struct ColourRange {
    double mu0 = 0, mu1 = 0;
};

// The range for a picture whose border's smallest escaping count is muMin,
// with its limit and its own 99th percentile `top` (a huge value: none
// known, mu1 stays the limit). Monotonic: mu1 > mu0 whenever the limit is.
ColourRange colourRange(double muMin, int limit, double top);

// Whether a picture with this smallest border count needs its percentile
// at all (mu1 moves off the limit only past muMin = 3).
bool needsTopCount(double muMin);

// Where a count lands on the table, in 0..1 (1 for interior points, which
// never escape): s above with mu1 = top.
double tablePosition(double mu, double top, double mu0);

// The float programs read the table at log(mu + 1) / log(limit + 1); this is
// the table that, read there, shows the colour at tablePosition(mu, mu1,
// mu0): texel i holds the table's colour (filtered linearly between texel
// centres, as GL does) at the position of the count that lands on texel i.
// 512 RGBA texels in, 512 out; the same table where mu0 is 0 and mu1 the limit.
std::vector<float> remapTable(const std::vector<float>& table, int limit, const ColourRange& range);

// The smallest continuous count of the escaping pixels on the border of a
// float view of width x height pixels (pixel centres, as the programs see
// them), by the float programs' rules in double precision: bailout |z|^2 >
// 256, mu = n - log2(log2 |z|^2) + 3, the limit for the view's footprint
// under floatLimitCap. A huge value when none escapes.
double floatBorderMinimum(float left, float right, float bottom, float top, int width, int height, bool julia,
                          float cr, float ci);

// The 99th percentile of the escaping counts of a float view, from the
// orbits (in double, as floatBorderMinimum) of a grid of 48 x 48 pixel
// centres spread over it; a huge value when none escapes.
double floatTopCount(float left, float right, float bottom, float top, int width, int height, bool julia, float cr,
                     float ci);

// The colour range of a float view: its border, and its percentile only
// where the range needs it (start views cost nothing more).
ColourRange floatColourRange(float left, float right, float bottom, float top, int width, int height, bool julia,
                             float cr, float ci);

// The table a float view's program should read: the given one where mu0
// is 0 (the start views keep theirs bit for bit), else remapTable's for
// the view's own limit and range. `range` receives the range if wished.
std::vector<float> floatPathTable(const std::vector<float>& table, float left, float right, float bottom, float top,
                                  int width, int height, bool julia, float cr, float ci, ColourRange* range = nullptr);
