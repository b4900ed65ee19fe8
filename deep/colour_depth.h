// The iteration limit and the colour mapping, shared by every depth.
//
// A point that escapes after a continuous count mu is coloured at
//     s = log(mu - mu0 + 1) / log(limit - mu0 + 1)
// of the colour table, where mu0 follows the picture's smallest count:
// mu0 = max(0, muMin - margin), the margin 1 once counts are large (the
// band's lowest count just off the table's left end) and 3 where they are
// small, in between linearly. Deep down one picture's counts lie in a
// narrow band far from 0; measured from mu0 that band spreads over the
// table. At the start views muMin stays below 3, so mu0 is 0 and the
// mapping is log(mu + 1) / log(limit + 1), the float programs' own.
// The smallest count of a view lies on its border (the escape potential is
// subharmonic), so the border's pixels alone give muMin.
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

// Where a count lands on the table, in 0..1 (1 for interior points, which
// never escape).
double tablePosition(double mu, int limit, double mu0);

// The float programs read the table at log(mu + 1) / log(limit + 1); this is
// the table that, read there, shows the colour at tablePosition(mu, limit,
// mu0): texel i holds the table's colour (filtered linearly between texel
// centres, as GL does) at the position of the count that lands on texel i.
// 512 RGBA texels in, 512 out.
std::vector<float> remapTable(const std::vector<float>& table, int limit, double mu0);

// The smallest continuous count of the escaping pixels on the border of a
// float view of width x height pixels (pixel centres, as the programs see
// them), by the float programs' rules in double precision: bailout |z|^2 >
// 256, mu = n - log2(log2 |z|^2) + 3, the limit for the view's footprint
// under floatLimitCap. A huge value when none escapes.
double floatBorderMinimum(float left, float right, float bottom, float top, int width, int height, bool julia,
                          float cr, float ci);

// The table a float view's program should read: the given one where mu0
// is 0 (the start views keep theirs bit for bit), else remapTable's for
// the view's own limit and border. `mu0` receives the offset if wished.
std::vector<float> floatPathTable(const std::vector<float>& table, float left, float right, float bottom, float top,
                                  int width, int height, bool julia, float cr, float ci, double* mu0 = nullptr);
