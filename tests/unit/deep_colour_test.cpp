// The iteration limit, the colour offset mu0 and its remapped table, and the
// smallest escape count on a view's border.
#include "deep/colour_depth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

// 260 at 3/800, 128 more per halving below it, down to a multiple of 4:
// 0.04 of a halving adds 5.12 (264), 0.03 adds 3.84 (still 260).
TEST(DeepColour, IterationLimit)
{
    const double start = std::log2(0.00375);
    for (const auto& [footprint, cap, limit] :
         {std::tuple{start, floatLimitCap, 260}, {start - 1, floatLimitCap, 388}, {start - 0.5, floatLimitCap, 324},
          {start + 3, floatLimitCap, 260}, {start - 0.04, floatLimitCap, 264}, {start - 0.03, floatLimitCap, 260},
          {start - 29, floatLimitCap, 3972}, {start - 30, floatLimitCap, 4096}, {start - 600, floatLimitCap, 4096}})
        EXPECT_EQ(iterationLimit(footprint, cap), limit) << footprint - start << " halvings, cap " << cap;
}

// Position of a count measured from mu0; interior markers take the end.
TEST(DeepColour, OffsetAndTablePosition)
{
    // Margin 3 up to counts of 3, 1 from 11, linear between: mu0 never falls as muMin grows.
    for (const auto& [muMin, mu0] : {std::pair{0.0, 0.0}, {2.9, 0.0}, {3.0, 0.0}, {7.0, 5.0}, {11.0, 10.0}, {300.0, 299.0},
                                     {1e300, 1e300 - 1}})
        EXPECT_DOUBLE_EQ(colourOffset(muMin), mu0) << muMin;
    for (const auto& [mu, limit, mu0, position] :
         {std::tuple{-1.0, 260, 0.0, 1.0}, {-1.0, 1000, 50.0, 1.0}, {0.0, 260, 0.0, 0.0}, {260.0, 260, 0.0, 1.0},
          {10.0, 260, 0.0, std::log(11.0) / std::log(261.0)}, {50.0, 1000, 40.0, std::log(11.0) / std::log(961.0)},
          {30.0, 1000, 40.0, 0.0}, {2000.0, 1000, 40.0, 1.0}})
        EXPECT_DOUBLE_EQ(tablePosition(mu, ColourRange{mu0, double(limit), 1}), position) << mu << " " << limit << " " << mu0;
}

// A 1D texture read with linear filtering between texel centres.
static float readLinear(const std::vector<float>& table, double s, int channel)
{
    const double x = std::clamp(s, 0.0, 1.0) * 511;
    const int k = std::min(int(x), 510);
    return float((k + 1 - x) * table[4 * k + channel] + (x - k) * table[4 * (k + 1) + channel]);
}

// mu0 = 0 leaves any table as it is, bit for bit. Past it the float
// programs' reading of the remapped table shows the colour at the count's
// position from mu0; with ramps for colours that is the position itself.
TEST(DeepColour, RemappedTable)
{
    std::vector<float> table(2048);
    for (size_t i = 0; i < table.size(); ++i) table[i] = float(std::fmod(i * 0.618034, 1.0));
    EXPECT_EQ(remapTable(table, 260, ColourRange{0, 260}), table);
    for (int k = 0; k < 512; ++k) {
        const float s = k / 511.0f;
        table[4 * k] = s, table[4 * k + 1] = 1 - s, table[4 * k + 2] = s * s, table[4 * k + 3] = 0.5f;
    }
    const int limit = 1000;
    for (const ColourRange& range : {ColourRange{40.0, double(limit), 1}, ColourRange{40.0, 600.0, 37.5}}) {
        const std::vector<float> remapped = remapTable(table, limit, range);
        for (double mu : {45.0, 60.0, 200.0, 590.0, 900.0, 1000.0}) {
            const double s = std::log(mu + 1) / std::log(limit + 1.0), t = tablePosition(mu, range);
            for (int channel = 0; channel < 3; ++channel)
                EXPECT_NEAR(readLinear(remapped, s, channel), readLinear(table, t, channel), 1e-3) << mu << "/" << channel;
            EXPECT_EQ(readLinear(remapped, s, 3), 1.0f);
        }
    }
}

// The start views: the top-left pixel escapes after three steps at |z|^2
// about 506 (Mandelbrot), and for constant 0, where z_n = z^(2^n), the
// count is 2 - log2(log2 |z|) at the pixel farthest out; both stay below
// the margin. A view inside the cardioid but for its right edge, just past
// the cusp at 1/4, escapes there only, after about pi / sqrt(c - 1/4) = 14
// steps. Views inside the set (the cardioid, the basins of 0 and of the
// 2-cycle of -1) have no escaping border pixel.
TEST(DeepColour, SmallestCountOnTheBorder)
{
    const auto farthest = [](double x, double y) { return 2 - std::log2(std::log2(std::hypot(x, y))); };
    for (const auto& [left, right, bottom, top, size, julia, cr, expected, tolerance] :
         {std::tuple{-2.0f, 1.0f, -1.5f, 1.5f, 800, false, 0.0f, 2.8348, 1e-3},
          {-2.0f, 2.0f, -2.0f, 2.0f, 800, true, 0.0f, farthest(1.9975, 1.9975), 1e-9},
          {0.5f, 1.5f, -0.5f, 0.5f, 100, true, 0.0f, farthest(1.495, 0.495), 1e-9},
          {100.0f, 101.0f, 0.0f, 1.0f, 100, true, 0.0f, 0.0, 0.0}, {-0.5f, 0.3f, -0.3f, 0.3f, 800, false, 0.0f, 14.0, 1.0}}) {
        const double mu = floatBorderMinimum(left, right, bottom, top, size, size, julia, cr, 0);
        EXPECT_NEAR(mu, expected, tolerance) << left << " " << right << " " << bottom << " " << top;
        EXPECT_EQ(colourOffset(mu) > 0, expected > colourMargin) << mu;
    }
    for (const auto& [left, right, bottom, top, julia, cr] :
         {std::tuple{-0.2f, 0.1f, -0.15f, 0.15f, false, 0.0f}, {-0.5f, 0.5f, -0.5f, 0.5f, true, 0.0f},
          {-0.2f, 0.2f, -0.2f, 0.2f, true, -1.0f}})
        EXPECT_GE(floatBorderMinimum(left, right, bottom, top, 800, 800, julia, cr, 0), 1e299) << left << " " << cr;
}

// The mapping follows the picture's counts only past muMin = 3: up to it
// mu0 = 0, mu1 the limit and k = 1 whatever the sample says (the start
// views' mapping, bit for bit). From muMin = 11 on: mu1 the 99th
// percentile (never above the limit), the margin an eighth of the band
// where that is below 1, and k putting the median in the table's middle;
// between them a blend. mu1 > mu0 and k >= 1 always; none known: the limit.
TEST(DeepColour, RangeFollowsThePicture)
{
    for (const CountSpread& spread : {CountSpread{30, 50}, CountSpread{300, 700}, CountSpread{}})
        for (double muMin : {0.0, 1.5, 3.0}) {
            const ColourRange r = colourRange(muMin, 4096, spread);
            EXPECT_TRUE(r.mu0 == 0 && r.mu1 == 4096 && r.bend == 1) << muMin << " " << spread.top;
            EXPECT_FALSE(needsCountSample(muMin));
        }
    EXPECT_TRUE(needsCountSample(3.5));
    // Wide bands: margin 1, the median in the middle of the table.
    for (const auto& [muMin, middle, top] : {std::tuple{20.0, 60.0, 300.0}, {3000.0, 5200.0, 6100.0}, {100.0, 101.5, 112.0}}) {
        const ColourRange r = colourRange(muMin, 8000, CountSpread{middle, top});
        EXPECT_DOUBLE_EQ(r.mu1, top);
        EXPECT_NEAR(r.mu0, muMin - std::min(1.0, (top - muMin) / 8), 1e-9);
        EXPECT_TRUE(r.bend >= 1 && r.bend <= 16 * (r.mu1 - r.mu0) * (1 + 1e-12)) << r.bend;
        // In the middle, unless the curve would have to bend more than
        // the log's own (the median low), or be straighter than straight.
        const double s = tablePosition(middle, r), linear = (middle - r.mu0) / (r.mu1 - r.mu0);
        EXPECT_TRUE(std::fabs(s - 0.5) < 1e-9 || (r.bend == 1 && s < 0.5) ||
                    (r.bend > 15 * (r.mu1 - r.mu0) && s > 0.5 && std::fabs(s - linear) < 0.03))
            << muMin << ": the median at " << s;
    }
    // A band narrower than 8: the margin an eighth of it, so the band fills the table.
    const ColourRange narrow = colourRange(128.90, 8964, CountSpread{128.91, 128.95});
    EXPECT_NEAR(narrow.mu0, 128.90 - 0.05 / 8, 1e-9);
    EXPECT_GT(tablePosition(128.95, narrow) - tablePosition(128.905, narrow), 0.75);
    EXPECT_DOUBLE_EQ(colourRange(20, 4096, CountSpread{100, 9000}).mu1, 4096.0);
    double last = 4096;
    for (double muMin = 3.0; muMin <= 11.0; muMin += 0.5) {
        const ColourRange r = colourRange(muMin, 4096, CountSpread{40, 60});
        EXPECT_TRUE(r.mu1 <= last && r.mu1 >= 60 && r.mu1 > r.mu0 && r.bend >= 1) << muMin;
        last = r.mu1;
    }
    EXPECT_DOUBLE_EQ(colourRange(500, 4096, CountSpread{450, 480}).mu1, 4096.0) << "no count above mu0";
}

// Within a picture the mapping is monotonic in mu, and counts from mu1 on
// take the table's right end, as interior points do.
TEST(DeepColour, MappingMonotonicAndClampedAtTheTop)
{
    for (const ColourRange& r : {colourRange(0, 260, {}), colourRange(7, 1000, {20, 40}), colourRange(300, 13216, {305, 420}),
                                 colourRange(3000, 6412, {5500, 6200})}) {
        double last = -1;
        for (double mu = 0; mu < 7000; mu += 0.25) {
            const double s = tablePosition(mu, r);
            EXPECT_GE(s, last) << mu;
            last = s;
        }
        EXPECT_EQ(tablePosition(r.mu1, r), 1.0);
        EXPECT_EQ(tablePosition(r.mu1 + 1000, r), 1.0);
        EXPECT_EQ(tablePosition(-2, r), 1.0);
    }
}

// The percentile of escaping counts: interior (negative) and undrawn
// (huge) ones left out, none at all a huge value.
TEST(DeepColour, EscapingQuantile)
{
    std::vector<float> counts;
    for (int k = 0; k < 1000; ++k) counts.push_back(float(k));
    counts.insert(counts.end(), {-1.0f, -2.0f, -7.0f, 1e30f, 1e30f});
    EXPECT_EQ(escapingQuantile(counts, 0.99), 989.0);
    EXPECT_EQ(escapingQuantile(counts, 0.0), 0.0);
    EXPECT_EQ(escapingQuantile(counts, 1.0), 999.0);
    EXPECT_GE(escapingQuantile({-1.0f, 1e30f}, 0.5), 1e299);
}

// Float views: the start views need no sample and keep their table; a
// Julia view of constant 0 outside the unit circle, whose counts are
// 2 - log2(log2 |z|) where |z| > 1, gets the percentiles of that over a
// grid of 48 x 48 pixel centres.
TEST(DeepColour, FloatViewsCountSample)
{
    const ColourRange start = floatColourRange(-2, 1, -1.5f, 1.5f, 800, 800, false, 0, 0);
    EXPECT_TRUE(start.mu0 == 0 && start.mu1 == 260 && start.bend == 1);
    std::vector<float> counts;
    for (int b = 0; b < 48; ++b)
        for (int a = 0; a < 48; ++a) {
            const int i = (2 * a + 1) * 100 / 96, j = (2 * b + 1) * 100 / 96;
            const double x = 1.1 + (i + 0.5) / 100 * 0.02, y = 0.02 - (j + 0.5) / 100 * 0.02;
            counts.push_back(float(2 - std::log2(std::log2(std::hypot(x, y)))));
        }
    const CountSpread spread = floatCountSpread(1.1f, 1.12f, 0.0f, 0.02f, 100, 100, true, 0, 0);
    EXPECT_NEAR(spread.top, escapingQuantile(counts, topQuantile), 1e-4);
    EXPECT_NEAR(spread.middle, escapingQuantile(counts, middleQuantile), 1e-4);
}
