// The iteration limit and the colour mapping, shared by every depth.
//
// A point that escapes after a continuous count mu is coloured at
//     s = log((mu - mu0) / k + 1) / log((mu1 - mu0) / k + 1), clamped to 0 .. 1,
// of the colour table. At the start views mu0 = 0, k = 1 and mu1 is the
// iteration limit: log(mu + 1) / log(limit + 1), the float programs' own.
// Deeper, each picture's counts set the three:
// - mu0 follows the picture's smallest count muMin (the escape potential
//   is subharmonic, so the border's pixels alone give it): mu0 = max(0,
//   muMin - margin), the margin 3 where counts are small (so the start
//   views keep mu0 = 0) and 1 from muMin = 11 on, linear between;
// - along the same ramp, t = (muMin - 3) / 8 clamped to 0 .. 1, the rest
//   moves from the limit to the picture's own counts, as a sample of them
//   gives them (deep pictures: the coarse pass; float views: a grid of
//   orbits in double): mu1, in log(mu - mu0 + 1), to their 99th
//   percentile, never above the limit (higher counts take the table's
//   right end); the margin towards an eighth of the band between muMin and
//   that percentile, where the band is narrower than 8; and k, in log k,
//   from 1 to the k that puts their median in the table's middle (at least
//   1, at most 16 (mu1 - mu0), where the curve is nearly straight).
// Deep down one picture's counts lie in a band far from 0 and far below
// the limit: a few counts wide near a Misiurewicz point, where the log
// spreads the many low ones; thousands wide in the seahorse valley, most
// of them high, where a nearly straight curve does. The mapping stays
// monotonic in mu within a picture, and its statistics of 10,000 samples
// move little from one wheel step to the next.
#pragma once

#include <vector>

// The float programs' cap (past single precision: deep/iteration_limit.h).
constexpr int floatLimitCap = 4096;

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

// The percentiles of the escaping counts that the mapping follows.
constexpr double topQuantile = 0.99, middleQuantile = 0.5;

// The q-quantile (0 .. 1) of the escaping counts (>= 0, below `ceiling`)
// among `counts`; a huge value when there are none.
double escapingQuantile(std::vector<float> counts, double q, double ceiling = 1e29);

// What a sample of a picture's counts says: their median and their 99th
// percentile (huge values: none escapes, or none known).
struct CountSpread {
    double middle = 1e300, top = 1e300;
};
CountSpread countSpread(const std::vector<float>& counts);

// The mapping of one picture: mu0, mu1 (the count at the table's right
// end) and k (the count scale of the curve, 1 at the start views).
struct ColourRange {
    double mu0 = 0, mu1 = 0, bend = 1;
};

// The range for a picture whose border's smallest escaping count is muMin,
// with its limit and what a sample of its counts says (none known: mu1
// the limit, k 1). mu1 > mu0 whenever the limit is above mu0.
ColourRange colourRange(double muMin, int limit, const CountSpread& spread);

// Whether a picture with this smallest border count needs a sample of its
// counts at all (the mapping follows them only past muMin = 3).
bool needsCountSample(double muMin);

// Where a count lands on the table, in 0..1 (1 for interior points, which
// never escape, and from mu1 on).
double tablePosition(double mu, const ColourRange& range);

// The float programs read the table at log(mu + 1) / log(limit + 1); this is
// the table that, read there, shows the colour at tablePosition(mu, range):
// texel i holds the table's colour (filtered linearly between texel
// centres, as GL does) at the position of the count that lands on texel i.
// 512 RGBA texels in, 512 out; the same table where the range is the programs' own.
std::vector<float> remapTable(const std::vector<float>& table, int limit, const ColourRange& range);

// The smallest continuous count of the escaping pixels on the border of a
// float view of width x height pixels (pixel centres, as the programs see
// them), by the float programs' rules in double precision: bailout |z|^2 >
// 256, mu = n - log2(log2 |z|^2) + 3, the limit for the view's footprint
// under floatLimitCap. A huge value when none escapes.
double floatBorderMinimum(float left, float right, float bottom, float top, int width, int height, bool julia,
                          float cr, float ci);

// What the counts of a float view say, from the orbits (in double, as
// floatBorderMinimum) of a grid of 48 x 48 pixel centres spread over it.
CountSpread floatCountSpread(float left, float right, float bottom, float top, int width, int height, bool julia,
                             float cr, float ci);

// The colour range of a float view: its border, and its sample of counts
// only where the range needs it (start views cost nothing more).
ColourRange floatColourRange(float left, float right, float bottom, float top, int width, int height, bool julia,
                             float cr, float ci);

// The table a float view's program should read: the given one where mu0
// is 0 (the start views keep theirs bit for bit), else remapTable's for
// the view's own limit and range. `range` receives the range if wished.
std::vector<float> floatPathTable(const std::vector<float>& table, float left, float right, float bottom, float top,
                                  int width, int height, bool julia, float cr, float ci, ColourRange* range = nullptr);
