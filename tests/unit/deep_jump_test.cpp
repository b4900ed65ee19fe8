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

// The jump kept at step m of a table: A and B from the node's float
// mantissas and exponents.
struct Jump {
    C a, b;
    int steps;
};

static Jump jumpAt(const BlaTable& table, int m)
{
    const JumpNode& n = table.nodes[size_t(m - table.origin) / 2];
    return Jump{std::ldexp(1.0, n.ea) * C(n.ar, n.ai), std::ldexp(1.0, n.eb) * C(n.br, n.bi), n.steps};
}

// How far the jump from step m, from delta with the pixel's dc, lands from
// the exact recurrence, in units of what the radius promises: each step
// drops delta^2, below epsilon of 2 Z delta while |delta| is inside its
// radius, and later steps stretch that by |2 Z| each; so the sum over the
// steps of epsilon |delta_i| |2 Z_i ... 2 Z_last| bounds the error, plus the
// float mantissas' own rounding (2^-24 of the result, and of B dc).
static double missInPromises(const ReferenceOrbit& orbit, const Jump& jump, int m, C delta, C dc, bool withDc)
{
    const int steps = jump.steps;
    std::vector<double> size{std::abs(delta)};
    C exact = delta;
    for (int i = m; i < m + steps; ++i) {
        exact = 2.0 * C(orbit.re[size_t(i)], orbit.im[size_t(i)]) * exact + exact * exact + (withDc ? dc : 0.0);
        size.push_back(std::abs(exact));
    }
    // The stretch in log2, as it may pass double's range while the bound does not.
    double stretch = 0, bound = 0;
    for (int i = steps - 1; i >= 0; --i) {
        stretch += std::log2(std::abs(2.0 * C(orbit.re[size_t(m + i)], orbit.im[size_t(m + i)])));
        bound += blaEpsilon * std::exp2(std::log2(size[size_t(i)]) + stretch);
    }
    const C jumped = jump.a * delta + jump.b * dc;
    bound += 0x1p-23 * (std::abs(jump.a * delta) + std::abs(jump.b * dc));
    // Where the orbit contracts both may end in 0; a jump to NaN misses most.
    const double miss = std::abs(jumped - exact);
    return miss == 0 ? 0.0 : std::isnan(miss) ? INFINITY : miss / bound;
}

// Every kept jump, from deltas just inside its radius in several
// directions with dc as large as the picture's largest, lands within what
// the radius promises (1), the Mandelbrot's with dc, the Julia's without.
// dcMax from 0 to 1e-9 makes the dc term matter to more and more merges;
// past about 32 epsilon (the largest single step's epsilon |2 Z|) no jump
// is valid at all. 1 under z^2 and the orbit of -2 stretch by 2 and 4 a
// step: A passes double's range at 1024 or 512 steps, as floatexp it does
// not, and jumps over them stay right.
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
        const BlaTable table = buildBla(orbit, withDc, floatExp(dcMax));
        int tried = 0;
        double worst = 0;
        for (int m = table.origin; m < orbit.end; m += 2) {
            const Jump jump = jumpAt(table, m);
            const double radius = std::exp2(double(table.log2Radius[size_t(m)]));
            // With dcMax 0 the origin's run goes on for the whole orbit, its
            // A past double's range: the check's own arithmetic ends there.
            if (jump.steps == 0 || !std::isfinite(std::abs(jump.a)) || radius == 0) continue;
            ++tried;
            for (C direction : {C(1, 0), C(0, -1), C(-0.6, 0.8)})
                for (C dcDirection : {C(1, 0), C(-0.8, -0.6)})
                    worst = std::max(worst, missInPromises(orbit, jump, m, 0.99 * radius * direction, dcMax * dcDirection, withDc));
        }
        EXPECT_LT(worst, 1.0) << c << " dcMax " << dcMax;
        EXPECT_EQ(tried == 0, dcMax > 32 * blaEpsilon) << c << " dcMax " << dcMax;
    }
}

// The radius of one step and of a merge, by hand: z0 = 1 under z^2 stays
// at 1, so each step is A = 2, B = 1; one step's radius is epsilon 2 -
// dcMax / 2, two steps' (A = 4, B = 2 + 1 = 3) min(R1, (R1 - |B1| dcMax) /
// |A1|), four steps' the same again from two. At dcMax of 2^-30 against
// epsilon 2^-24 the dc term moves the radius by a 256th; at dcMax of 2^-20
// no step is linear for every pixel. Deep down (dcMax 2^-5000, far below
// double's range) the radius is epsilon's alone, and the table still holds
// it. Of 16 steps, 2 keeps the tree's two, 8 its four (eight would land on
// the last step).
TEST(DeepJumps, RadiusFollowsTheLargestDc)
{
    const ReferenceOrbit orbit = orbitOf(1, 0, 16);
    for (const auto& [dcMax, log2Dc] : {std::pair{0x1p-30, -30.0}, {0.0, -INFINITY}}) {
        const BlaTable table = buildBla(orbit, true, floatExp(dcMax));
        const double r1 = blaEpsilon * 2 - dcMax / 2, r2 = std::min(r1, (r1 - dcMax) / 2);
        const double r4 = std::min(r2, (r2 - 3 * dcMax) / 4);  // two of the above: Bx = 3, Ax = 4
        EXPECT_NEAR(std::exp2(double(table.log2Radius[2])), r2, r2 * 1e-5) << log2Dc;
        EXPECT_NEAR(std::exp2(double(table.log2Radius[8])), r4, r4 * 1e-5) << log2Dc;
        EXPECT_LE(std::exp2(double(table.log2Radius[2])), r2) << "a radius rounded up promises too much";
        const Jump two = jumpAt(table, 2), four = jumpAt(table, 8);
        EXPECT_TRUE(two.steps == 2 && two.a == C(4, 0) && two.b == C(3, 0)) << two.a << two.b;
        EXPECT_TRUE(four.steps == 4 && four.a == C(16, 0) && four.b == C(15, 0)) << four.a << four.b;
    }
    EXPECT_EQ(buildBla(orbit, true, floatExp(0x1p-20)).widest, -INFINITY);
    const BlaTable deep = buildBla(orbit, true, floatExp(0.5, -5000));
    EXPECT_NEAR(double(deep.log2Radius[2]), std::log2(blaEpsilon), 1e-4);
}

// Where every pixel starts (the origin, |delta| at most dcMax) the table
// keeps the longest run of any length whose radius is at least dcMax. On
// z0 = 1 under z^2 (A = 2^k, B = 2^k - 1 after k steps) the run of k + 1
// steps has radius (R1 - (2^k - 1) dcMax) / 2^k: at dcMax 2^-30, 7 steps
// (1.008 dcMax), not 8 (0.51 dcMax), where the tree's aligned jumps give 4
// or 8 steps that the outer pixels cannot take. Where no pixel is near its
// limit (dcMax 2^-5000) the run goes on to the step before the last; where
// dcMax leaves no step linear there is none. The format takes jumps where
// the run is 32 steps or more.
TEST(DeepJumps, EveryPixelsFirstJumpIsTheLongestRun)
{
    const ReferenceOrbit orbit = orbitOf(1, 0, 16);
    const double dcMax = 0x1p-30;
    const BlaTable table = buildBla(orbit, true, floatExp(dcMax));
    const Jump run = jumpAt(table, 0);
    EXPECT_TRUE(run.steps == 7 && run.a == C(128, 0) && run.b == C(127, 0)) << run.steps << " " << run.a << run.b;
    const double r1 = blaEpsilon * 2 - dcMax / 2;
    EXPECT_NEAR(std::exp2(double(table.log2Radius[0])), (r1 - 63 * dcMax) / 64, dcMax * 1e-5);
    EXPECT_EQ(firstJumpSteps(table, floatExp(dcMax)), 7);
    EXPECT_EQ(firstJumpSteps(table, floatExp(2 * dcMax)), 0) << "pixels beyond the radius";
    EXPECT_EQ(firstJumpSteps(buildBla(orbit, true, floatExp(0.5, -5000)), floatExp(0.5, -5000)), 15);
    EXPECT_EQ(firstJumpSteps(buildBla(orbit, true, floatExp(0x1p-20)), floatExp(0x1p-20)), 0);
    // From 0 the run starts after the exact first step: at the Misiurewicz
    // point i at 1e-30 (800 pixels) d grows by 2.4 a step from 2^-100.
    const ReferenceOrbit i = orbitOf(0, C(0, 1), 200);
    const BlaTable atI = buildBla(i, true, floatExp(0.5, -99));
    EXPECT_EQ(atI.origin, 1);
    EXPECT_GE(firstJumpSteps(atI, floatExp(0.5, -99)), 56);
    EXPECT_LE(firstJumpSteps(atI, floatExp(0.5, -99)), 64);
}

// A jump from m is aligned (m a multiple of its length), lands strictly
// before the reference's last step, and is there only where its radius is
// positive, on every other step from the origin: 1 for an orbit from 0,
// whose first step is exact. Of 1000 steps, 513 takes 256 (level 8), 993
// lands on 997 because 1001 would be past the end. From z0 != 0 the tree
// starts at 0. A merged segment across Z = 0 has radius 0: nothing is
// linear across the critical point (c = -1 comes back to it every other
// step). The origin's run is the exception (above): with dcMax 0 it runs
// to the step before the last.
TEST(DeepJumps, WhereJumpsStartAndLand)
{
    const ReferenceOrbit orbit = orbitOf(0, C(-0.7436438870371587, 0.1318259042053120), 2048);
    ASSERT_EQ(orbit.end, 2048);
    for (int end : {1000, 1024, 1025, 3, 2}) {
        ReferenceOrbit shorter = orbit;
        shorter.end = end;
        const BlaTable table = buildBla(shorter, false, FloatExp{});
        ASSERT_EQ(table.log2Radius.size(), size_t(end));
        ASSERT_EQ(table.origin, 1);
        for (int m = 2; m < end; ++m) {
            const int steps = (m - 1) % 2 ? 0 : table.nodes[size_t(m - 1) / 2].steps;
            ASSERT_TRUE(steps == 0 || ((m - 1) % steps == 0 && (steps & (steps - 1)) == 0 && m + steps < end))
                << end << " steps, from " << m;
            ASSERT_EQ(steps > 0, std::isfinite(table.log2Radius[size_t(m)])) << end << " steps, from " << m;
        }
        if (end > 3) EXPECT_EQ(table.nodes[0].steps, end - 2) << end;
        if (end == 1000) EXPECT_TRUE(table.nodes[256].steps == 256 && table.nodes[496].steps == 4);
    }
    EXPECT_EQ(buildBla(orbitOf(C(0.1, 0), C(0.2, 0), 64), false, FloatExp{}).origin, 0);
    for (const auto& [z0, withDc] : {std::pair{C(0, 0), true}, {C(-1, 0), false}, {C(-1, 0), true}}) {
        const BlaTable table = buildBla(orbitOf(z0, -1, 64), withDc, floatExp(1e-20));
        for (const JumpNode& node : table.nodes) ASSERT_EQ(node.steps, 0) << z0;
        EXPECT_EQ(table.widest, -INFINITY);
    }
}

static float floatAt(const std::vector<uint32_t>& words, size_t at)
{
    float value;
    std::memcpy(&value, &words[at], sizeof value);
    return value;
}

// Two references with their tables read back as the deep program reads
// them: 3001 + 2501 steps are one texel each (narrow), two rows of 4096;
// nodes of 1501 + 1251 even steps, two texels each, two rows. Wide: two
// texels a step, Z as doubles. A step whose Z lies below 2^-100 keeps
// its mantissa near 1 and its exponent; 0 is marked by -2^24; any other
// keeps the steps to the next such step. Bytes a step: 16 + 16 narrow,
// 32 + 16 wide.
TEST(DeepLayout, ScenesReadBackFromTheWords)
{
    DeepScene scene;
    scene.references = 2;
    scene.orbits[0] = orbitOf(0, C(-0.7436438870371587, 0.1318259042053120), 3000);
    scene.orbits[1] = orbitOf(0, C(-0.12, 0.74), 2500);
    scene.orbits[1].re[7] = std::ldexp(0.75, -110), scene.orbits[1].im[7] = std::ldexp(-0.5, -111);
    for (int r : {0, 1}) scene.tables[r] = buildBla(scene.orbits[r], true, floatExp(1e-13));
    const DeepLayout layout = layoutScene(scene);
    const size_t row = 4 * size_t(deepTextureWidth);
    EXPECT_TRUE(layout.orbitRows == 2 && layout.orbit.size() == 2 * row && layout.jumpRows == 2 && layout.jumps.size() == 2 * row)
        << layout.orbitRows << " " << layout.jumpRows;
    EXPECT_EQ(layout.widest, std::max(scene.tables[0].widest, scene.tables[1].widest));
    for (int r : {0, 1}) {
        const ReferenceOrbit& orbit = scene.orbits[r];
        const BlaTable& table = scene.tables[r];
        ASSERT_EQ(layout.refEnd[r], orbit.end);
        for (int m = 0; m <= orbit.end; ++m) {
            const size_t at = 4 * size_t(layout.refStart[r] + m);
            const int e = int32_t(layout.orbit[at + 2]);
            const bool tiny = r == 1 && m == 7, zero = m == 0;
            const int scale = tiny ? e : 0;
            const double re = std::ldexp(floatAt(layout.orbit, at), scale), im = std::ldexp(floatAt(layout.orbit, at + 1), scale);
            const int ahead = r == 1 && m < 7 ? 7 - m : 1 << 24;
            ASSERT_TRUE(re == double(float(orbit.re[size_t(m)])) && im == double(float(orbit.im[size_t(m)])) &&
                        (zero ? e == -(1 << 24) : tiny ? e == -110 : e == ahead) &&
                        floatAt(layout.orbit, at + 3) == (m < orbit.end ? table.log2Radius[size_t(m)] : -INFINITY))
                << "reference " << r << " step " << m;
        }
        ASSERT_EQ(0, std::memcmp(&layout.jumps[8 * size_t(layout.jumpStart[r])], table.nodes.data(), table.nodes.size() * 32));
    }
    scene.format.wide = true;
    const DeepLayout wide = layoutScene(scene);
    EXPECT_EQ(wide.orbitRows, 3);
    double z;
    std::memcpy(&z, &wide.orbit[8 * size_t(wide.refStart[1] + 5)], sizeof z);
    EXPECT_EQ(z, scene.orbits[1].re[5]);
    EXPECT_TRUE(layoutBytesPerStep(false) == 32 && layoutBytesPerStep(true) == 48);
    DeepScene gone;
    gone.references = 1;
    gone.orbits[0] = orbitOf(20, 0, 100);
    gone.tables[0] = buildBla(gone.orbits[0], false, FloatExp{});
    const DeepLayout small = layoutScene(gone);
    EXPECT_TRUE(small.orbitRows == 1 && small.jumpRows == 1 && small.orbit.size() == row && small.jumps.size() == row &&
                floatAt(small.orbit, 0) == 20);
}
