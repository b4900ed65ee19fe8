// The colour mapping's targets at float and deep views, Mandelbrot and
// Julia: the grey levels between the 5th and 95th percentile of the
// escaping pixels (the default black-to-white table), with this mapping
// and with the limit as the top (before); and along zoom paths, how far
// the mapping moves from one wheel notch to the next over the counts a
// picture shows, beside histogram equalisation of the coarse samples.
// Counts come from the deep program at every view (doubles); float views
// take the range the viewer gives them (floatColourRange), deep ones the
// viewer's rule (border, coarse pass). See explore_bench.cpp.
#include "bench/explore_bench.h"
#include "transfer/transfer_function.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace explore {
namespace {

const View views[] = {
    {"Mandelbrot start view", false, "-0.5", "0", "3", "0", "0"},
    {"Mandelbrot, extent 1e-3 at -0.745 + 0.11i", false, "-0.745", "0.11", "1e-3", "0", "0"},
    {"Mandelbrot, extent 0.05 at -1.7549 (period-3 minibrot)", false, "-1.7549", "0", "0.05", "0", "0"},
    {"Mandelbrot, seahorse valley, extent 2e-4", false, "-0.743643887037158704752191506114774",
     "0.131825904205311970493132056385139", "2e-4", "0", "0"},
    {"Julia start view, constant 0", true, "0", "0", "4", "0", "0"},
    {"Julia, rabbit (-0.1226 + 0.7449i)", true, "0", "0", "4", "-0.1226", "0.7449"},
    {"Julia, -0.8 + 0.156i, extent 0.01 at 0.3 + 0.1i", true, "0.3", "0.1", "0.01", "-0.8", "0.156"},
    {"Julia of i at z = i, extent 1e-3", true, "0", "1", "1e-3", "0", "1"},
    {"deep: seahorse valley, extent 1e-14", false, "-0.743643887037158704752191506114774",
     "0.131825904205311970493132056385139", "1e-14", "0", "0"},
    {"deep: Misiurewicz point i, extent 1e-30", false, "0", "1", "1e-30", "0", "0"},
    {"deep: Misiurewicz point i, extent 1e-100", false, "0", "1", "1e-100", "0", "0"},
    {"deep: Misiurewicz point i, extent 1e-250", false, "0", "1", "1e-250", "0", "0"},
    {"deep: period-179 minibrot, extent 1e-19", false,
     "-0.7405600355582276320723920247594565056074014536949824422330334653941101447501815",
     "0.1325911215370178001393539672861959840110670074843048953842447230802404745045606", "1e-19", "0", "0"},
    {"deep: Misiurewicz point -0.1011 + 0.9563i, extent 1e-20", false, "-0.10109636384562", "0.95628651080914",
     "1e-20", "0", "0"},
    {"deep: Julia set of i at z = i, extent 1e-40", true, "0", "1", "1e-40", "0", "1"},
    {"deep: Julia set of i at z = i, extent 1e-120", true, "0", "1", "1e-120", "0", "1"},
    {"deep: Julia, -0.8 + 0.156i, extent 1e-20 at its fixed point -0.5275 + 0.0759i", true,
     "-0.5275031186435346107897464024449153375667", "0.0759121783522878670718141948263480463664", "1e-20", "-0.8", "0.156"},
    {"deep: rabbit Julia set, extent 1e-25 at its fixed point 1.2764 - 0.4797i", true,
     "1.2763667339166659794888557941369727621706", "-0.4797346199019112205480095171184084618088", "1e-25", "-0.1226", "0.7449"},
};

struct Picture {
    DeepScene scene;
    std::vector<float> counts;
    ColourRange range, before;
};

bool floatView(const DeepRequest& r)
{
    float l, rt, b, t;
    roundToFloat(r.view, l, rt, b, t);
    return floatResolvesView(l, rt, b, t, r.width, r.height, r.julia, r.constantRe.toFloat(), r.constantIm.toFloat());
}

// The counts, drawn whole, and the ranges the viewer gives them.
Picture pictureOf(const DeepRequest& r)
{
    Picture p;
    Whole whole = drawWhole(r);
    p.counts = std::move(whole.counts);
    p.scene = std::move(whole.scene);
    if (floatView(r)) {
        float l, rt, b, t;
        roundToFloat(r.view, l, rt, b, t);
        const float cr = r.constantRe.toFloat(), ci = r.constantIm.toFloat();
        p.range = floatColourRange(l, rt, b, t, side, side, r.julia, cr, ci);
        p.before = colourRange(floatBorderMinimum(l, rt, b, t, side, side, r.julia, cr, ci), floatViewLimit(l, rt, b, t, side, side), {});
    } else {
        SampleGrid grid;
        resetGrid(grid, side, side);
        storePart(grid, Part{0, Lattice{0, 0, 1, side, side, 1}, 0, 0, side, side}, p.counts.data());
        const double muMin = knownBorderMinimum(grid);
        p.range = colourRange(muMin, p.scene.limit, countSpread(coarseCounts(grid)));
        p.before = colourRange(muMin, p.scene.limit, {});
    }
    return p;
}

// The grey level (0 .. 255) of a table position, as the colour pass reads the table.
double greyAt(const std::vector<float>& table, double s)
{
    const double x = std::clamp(s, 0.0, 1.0) * 511;
    const int k = std::min(int(x), 510);
    return 255 * ((k + 1 - x) * table[4 * size_t(k)] + (x - k) * table[4 * size_t(k + 1)]);
}

// Grey levels between the 5th and 95th percentile of the escaping pixels.
double greySpan(const Picture& p, const ColourRange& range, const std::vector<float>& table)
{
    std::vector<double> grey;
    for (float c : p.counts)
        if (c >= 0) grey.push_back(greyAt(table, tablePosition(c, range)));
    if (grey.size() < 2) return 0;
    std::sort(grey.begin(), grey.end());
    return grey[grey.size() * 95 / 100] - grey[grey.size() * 5 / 100];
}

// Histogram equalisation of the coarse samples: a count's share of them below it.
double equalised(const std::vector<float>& sorted, double mu)
{
    return sorted.empty() ? 0 : double(std::lower_bound(sorted.begin(), sorted.end(), float(mu)) - sorted.begin()) / sorted.size();
}

std::vector<float> sortedCoarse(const Picture& p)
{
    std::vector<float> coarse;
    for (int y = 0; y < side; y += 8)
        for (int x = 0; x < side; x += 8)
            if (p.counts[size_t(y) * side + x] >= 0) coarse.push_back(p.counts[size_t(y) * side + x]);
    std::sort(coarse.begin(), coarse.end());
    return coarse;
}

// How far (in table positions, times 255) the mapping moves between two
// pictures, at worst over 64 counts between the newer one's 5th and 95th
// percentile: with this mapping, and with equalisation.
void mappingMove(const Picture& a, const Picture& b, double& ours, double& equalisation)
{
    const std::vector<float> ca = sortedCoarse(a), cb = sortedCoarse(b);
    ours = equalisation = 0;
    if (cb.size() < 20) return;
    const double lo = cb[cb.size() * 5 / 100], hi = cb[cb.size() * 95 / 100];
    for (int k = 0; k <= 64; ++k) {
        const double mu = lo + (hi - lo) * k / 64;
        ours = std::max(ours, 255 * std::fabs(tablePosition(mu, a.range) - tablePosition(mu, b.range)));
        equalisation = std::max(equalisation, 255 * std::fabs(equalised(ca, mu) - equalised(cb, mu)));
    }
}

void zoomPath(const View& start, int notches, float px, float py)
{
    DeepRequest r = requestOf(start);
    Picture last = pictureOf(r);
    std::vector<double> ours, equal;
    for (int k = 0; k < notches; ++k) {
        for (int step = 0; step < 2; ++step) zoomDeep(r.view, px, py, ZoomDirection::in, side, side);
        const Picture next = pictureOf(r);
        double a, b;
        mappingMove(last, next, a, b);
        ours.push_back(a), equal.push_back(b);
        last = next;
    }
    std::printf("| %s, %d notches in at (%.2f, %.2f) of the window | %.1f / %.1f | %.1f / %.1f |\n", start.name.c_str(), notches, px, py,
                median(ours), *std::max_element(ours.begin(), ours.end()), median(equal), *std::max_element(equal.begin(), equal.end()));
}

}  // namespace

bool runColours(const std::string& only)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    std::printf("\nGrey levels of escaping pixels, 5th to 95th percentile, default black-to-white table (target: 64 or more)\n\n");
    std::printf("| view | limit | mu0 | mu1 | k | levels | levels with the limit as top and k = 1 (before) |\n"
                "|---|---|---|---|---|---|---|\n");
    for (const View& v : views) {
        if (!only.empty() && v.name.find(only) == std::string::npos) continue;
        const Picture p = pictureOf(requestOf(v));
        if (p.range.mu0 > 1e299) {
            std::printf("| %s | %d | - | - | - | - (no pixel escapes) |\n", v.name.c_str(), p.scene.limit);
            continue;
        }
        std::printf("| %s | %d | %.1f | %.1f | %.1f | %.0f | %.0f |\n", v.name.c_str(), p.scene.limit, p.range.mu0,
                    p.range.mu1, p.range.bend, greySpan(p, p.range, tf.colourTable), greySpan(p, p.before, tf.colourTable));
    }
    std::printf("\nThe mapping's move from one wheel notch to the next (grey levels at worst over the counts between a "
                "picture's 5th and 95th percentile; median / most along the path)\n\n");
    std::printf("| path | this mapping | histogram equalisation |\n|---|---|---|\n");
    if (only.empty() || only == "path") {
        zoomPath(View{"Misiurewicz point i from 1e-25", false, "0", "1", "1e-25", "0", "0"}, 12, 0.5f, 0.5f);
        zoomPath(View{"Misiurewicz point i from 1e-25", false, "0", "1", "1e-25", "0", "0"}, 12, 0.37f, 0.61f);
        zoomPath(View{"Julia set of i at z = i from 1e-30", true, "0", "1", "1e-30", "0", "1"}, 12, 0.5f, 0.5f);
        zoomPath(View{"seahorse valley from 1e-12", false, "-0.743643887037158704752191506114774",
                      "0.131825904205311970493132056385139", "1e-12", "0", "0"}, 6, 0.5f, 0.5f);
        zoomPath(View{"Mandelbrot at -0.745 + 0.11i from 1e-2", false, "-0.745", "0.11", "1e-2", "0", "0"}, 12, 0.37f, 0.61f);
    }
    return true;
}

}  // namespace explore
