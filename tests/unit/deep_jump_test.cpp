// Bilinear jump tables against the exact perturbation recurrence, where
// jumps may start and land, and their layout in the GPU's texel words.
#include "deep/bla.h"
#include "render/deep_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <tuple>
#include <vector>

using C = std::complex<double>;

static ReferenceOrbit orbitOf(C z0, C c, int limit)
{
    ReferenceOrbit orbit;
    EXPECT_TRUE(computeOrbit(Big(z0.real(), 64), Big(z0.imag(), 64), Big(c.real(), 64), Big(c.imag(), 64), limit, 64,
                             nullptr, orbit));
    return orbit;
}

// How far jump node j of level l, from delta with the pixel's dc, lands from
// the exact recurrence, in units of what the radius promises: each step
// drops delta^2, below epsilon of 2 Z delta while |delta| is inside its
// radius, and later steps stretch that by |2 Z| each; so the sum over the
// steps of epsilon |delta_i| |2 Z_i ... 2 Z_last| bounds the error.
static double missInPromises(const ReferenceOrbit& orbit, const BlaNode& node, int l, int j, C delta, C dc, bool withDc)
{
    const int first = j << l, steps = 1 << l;
    std::vector<double> size{std::abs(delta)};
    C exact = delta;
    for (int i = first; i < first + steps; ++i) {
        exact = 2.0 * C(orbit.re[size_t(i)], orbit.im[size_t(i)]) * exact + exact * exact + (withDc ? dc : 0.0);
        size.push_back(std::abs(exact));
    }
    // The stretch in log2, as it may pass double's range while the bound does not.
    double stretch = 0, bound = 0;
    for (int i = steps - 1; i >= 0; --i) {
        stretch += std::log2(std::abs(2.0 * C(orbit.re[size_t(first + i)], orbit.im[size_t(first + i)])));
        bound += blaEpsilon * std::exp2(std::log2(size[size_t(i)]) + stretch);
    }
    const C jumped = C(node.ar, node.ai) * delta + C(node.br, node.bi) * dc;
    // Where the orbit contracts both may end in 0; a jump to NaN misses most.
    const double miss = std::abs(jumped - exact);
    return miss == 0 ? 0.0 : std::isnan(miss) ? INFINITY : miss / bound;
}

// Every node of every level, from deltas just inside its radius in several
// directions with dc as large as the picture's largest, lands within what
// the radius promises (1), the Mandelbrot's with dc, the Julia's without.
// dcMax from 0 to 1e-9 makes the dc term matter to more and more merges.
// 1 under z^2 and the orbit of -2 stay put and stretch by 2 and 4 a step:
// A passes double's range at 1024 or 512 steps, and such nodes must not
// promise anything.
TEST(DeepJumps, JumpsFollowTheRecurrence)
{
    for (const auto& [z0, c, withDc, dcMax] :
         {std::tuple{C(0, 0), C(-0.7436438870371587, 0.1318259042053120), true, 0.0},
          {C(0, 0), C(-0.7436438870371587, 0.1318259042053120), true, 1e-15},
          {C(0, 0), C(-0.7436438870371587, 0.1318259042053120), true, 1e-12},
          {C(0, 0), C(-0.7436438870371587, 0.1318259042053120), true, 1e-9},
          {C(0.1, 0.2), C(-0.12, 0.74), false, 0.0}, {C(0.3, -0.1), C(-0.7436438870371587, 0.1318259042053120), false, 0.0},
          {C(1, 0), C(0, 0), false, 0.0}, {C(0, 0), C(-2, 0), true, 1e-30}}) {
        const ReferenceOrbit orbit = orbitOf(z0, c, 2048);
        const BlaTable table = buildBla(orbit, withDc, dcMax);
        std::vector<int> tried(table.levels.size(), 0);
        double worst = 0;
        for (size_t l = 1; l < table.levels.size(); ++l)
            for (size_t j = 0; j < table.levels[l].size(); ++j) {
                const BlaNode& node = table.levels[l][j];
                if (!(node.radius > 0)) continue;
                ++tried[l];
                for (C direction : {C(1, 0), C(0, -1), C(-0.6, 0.8)})
                    for (C dcDirection : {C(1, 0), C(-0.8, -0.6)})
                        worst = std::max(worst, missInPromises(orbit, node, int(l), int(j), 0.99 * node.radius * direction,
                                                               dcMax * dcDirection, withDc));
            }
        EXPECT_LT(worst, 1.0) << c << " dcMax " << dcMax;
        // Beyond every single step's radius (epsilon |2 Z| < 32 epsilon, some
        // 3e-11) a dc leaves no jump valid; below it the first levels have some.
        EXPECT_EQ(tried[1] == 0, dcMax > 32 * blaEpsilon) << c << " dcMax " << dcMax;
    }
}

// A jump from m is aligned (m a multiple of its length) and lands strictly
// before the reference's last step, and it is the longest such: of 1000
// steps, 0 takes 512 (level 9, the highest there is), 512 only 256, 992
// lands on 996 because 1000 would be the end, 998 has no jump; of 1024 steps
// 0 still takes 512 though level 10 exists, of 1025 it takes 1024; of 3
// steps 0 takes 2, of 2 none. A merged
// segment across Z = 0 has radius 0: nothing is linear across the critical
// point (c = -1 comes back to it every other step).
TEST(DeepJumps, WhereJumpsStartAndLand)
{
    const ReferenceOrbit orbit = orbitOf(0, C(-0.7436438870371587, 0.1318259042053120), 2048);
    for (const auto& [end, m, level] :
         {std::tuple{1000, 0, 9}, {1000, 512, 8}, {1000, 768, 7}, {1000, 896, 6}, {1000, 960, 5}, {1000, 992, 2},
          {1000, 996, 1}, {1000, 998, 0}, {1000, 999, 0}, {1000, 1, 0}, {1000, 2, 1}, {1000, 4, 2}, {1024, 0, 9},
          {1025, 0, 10}, {3, 0, 1}, {3, 2, 0}, {2, 0, 0}}) {
        ReferenceOrbit shorter = orbit;
        shorter.end = end;
        const BlaTable table = buildBla(shorter, true, 1e-20);
        ASSERT_EQ(table.topLevel.size(), size_t(end) + 1);
        EXPECT_EQ(table.topLevel[size_t(m)], level) << end << " steps, from " << m;
        for (int k = 0; k < end; ++k) {
            const int l = table.topLevel[size_t(k)];
            ASSERT_TRUE(l == 0 || (k % (1 << l) == 0 && k + (1 << l) < end)) << end << " steps, from " << k;
            ASSERT_EQ(table.topRadius[size_t(k)], l > 0 ? table.levels[size_t(l)][size_t(k >> l)].radius : 0.0) << k;
        }
    }

    for (const auto& [z0, withDc] : {std::pair{C(0, 0), true}, {C(-1, 0), false}, {C(-1, 0), true}}) {
        const BlaTable table = buildBla(orbitOf(z0, -1, 64), withDc, 1e-20);
        for (size_t l = 1; l < table.levels.size(); ++l)
            for (const BlaNode& node : table.levels[l]) ASSERT_EQ(node.radius, 0.0) << z0 << " level " << l;
        for (double radius : table.topRadius) ASSERT_EQ(radius, 0.0) << z0;
    }
}

static double doubleAt(const std::vector<uint32_t>& words, size_t at)
{
    const uint64_t bits = words[at] | uint64_t(words[at + 1]) << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Two references with their tables read back as the deep program reads
// them: 2 texels for each of 3001 + 2501 steps are 11004, three rows of
// 4096; 2 for each of the 1500 + ... + 1 = 2993 and 2495 nodes are 10976,
// three rows. Pixels of 3e-7 (the smaller side) are 1.26 units of 2^-22.
// A reference that escapes at once still makes a row of each.
TEST(DeepLayout, ScenesReadBackFromTheWords)
{
    DeepScene scene;
    scene.references = 2;
    scene.pixelWidth = 5e-7, scene.pixelHeight = 3e-7;
    scene.orbits[0] = orbitOf(0, C(-0.7436438870371587, 0.1318259042053120), 3000);
    scene.orbits[1] = orbitOf(0, C(-0.12, 0.74), 2500);
    for (int r : {0, 1}) scene.tables[r] = buildBla(scene.orbits[r], true, 1e-13);
    const DeepLayout layout = layoutScene(scene);
    EXPECT_EQ(layout.pixelsPerUnit, std::exp2(22));
    const size_t row = 4 * size_t(deepTextureWidth);
    EXPECT_TRUE(layout.orbitRows == 3 && layout.orbit.size() == 3 * row && layout.jumpRows == 3 && layout.jumps.size() == 3 * row)
        << layout.orbitRows << " " << layout.jumpRows;
    for (int r : {0, 1}) {
        const ReferenceOrbit& orbit = scene.orbits[r];
        const BlaTable& table = scene.tables[r];
        ASSERT_EQ(layout.refEnd[r], orbit.end);
        for (int m = 0; m <= orbit.end; ++m) {
            const size_t texel = 2 * size_t(layout.refStart[r] + m);
            ASSERT_TRUE(doubleAt(layout.orbit, 4 * texel) == orbit.re[size_t(m)] &&
                        doubleAt(layout.orbit, 4 * texel + 2) == orbit.im[size_t(m)] &&
                        doubleAt(layout.orbit, 4 * texel + 4) == table.topRadius[size_t(m)] * std::exp2(22) &&
                        layout.orbit[4 * texel + 6] == uint32_t(table.topLevel[size_t(m)]))
                << "reference " << r << " step " << m;
        }
        for (size_t l = 1; l < table.levels.size(); ++l)
            for (size_t j = 0; j < table.levels[l].size(); ++j) {
                const size_t texel = 2 * size_t(layout.levelStart[blaLevels * r + int(l)] + int(j));
                const BlaNode& node = table.levels[l][j];
                ASSERT_TRUE(doubleAt(layout.jumps, 4 * texel) == node.ar && doubleAt(layout.jumps, 4 * texel + 2) == node.ai &&
                            doubleAt(layout.jumps, 4 * texel + 4) == node.br && doubleAt(layout.jumps, 4 * texel + 6) == node.bi)
                    << "reference " << r << " level " << l << " node " << j;
            }
    }
    DeepScene gone;
    gone.references = 1;
    gone.pixelWidth = gone.pixelHeight = 1e-3;
    gone.orbits[0] = orbitOf(20, 0, 100);
    gone.tables[0] = buildBla(gone.orbits[0], false, 0);
    const DeepLayout small = layoutScene(gone);
    EXPECT_TRUE(small.orbitRows == 1 && small.jumpRows == 1 && small.orbit.size() == row && small.jumps.size() == row &&
                doubleAt(small.orbit, 0) == 20);
}
