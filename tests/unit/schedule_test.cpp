// The coarse-to-fine schedule without GL: the lattices, the scan for work,
// a picture moved by whole pixels, and the blocks samples stand for.
#include "render/schedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {


// How many times each pixel lies on one of the passes' lattices.
std::vector<int> coverage(const SampleGrid& g, int fromPass, int toPass)
{
    std::vector<int> times(size_t(g.width) * g.height, 0);
    for (int pass = fromPass; pass < toPass; ++pass) {
        const Lattice l = passLattice(g, pass);
        for (int j = 0; j < l.rows; ++j)
            for (int i = 0; i < l.columns; ++i) {
                const int x = l.x0 + i * l.step, y = l.y0 + j * l.step;
                if (x < 0 || y < 0 || x >= g.width || y >= g.height) return {};
                ++times[size_t(y) * g.width + x];
            }
    }
    return times;
}

// Draws the whole grid as the viewer does, counts standing for pixels
// (x + 1000 y), and checks every part: inside its lattice, of unknown
// samples only (a border band may cross coarse samples), within the
// budget unless the smallest, passes in order; in a fresh grid, rows of a
// lattice come in fours (llvmpipe's blocks) but where they end at the
// lattice's bottom or at known samples. Returns the samples drawn.
long drawAll(SampleGrid& g, ScheduleCursor& c, long budget, bool fresh = false)
{
    long drawn = 0;
    int lastPass = 0;
    Part part;
    for (int guard = 0; nextPart(g, c, budget, 128, part); ++guard) {
        EXPECT_LT(guard, 1000000) << "the scan never ends";
        if (guard >= 1000000) break;
        EXPECT_GE(part.pass, lastPass) << "a pass after a finer one";
        lastPass = part.pass;
        EXPECT_TRUE(part.i0 >= 0 && part.j0 >= 0 && part.i0 + part.columns <= part.lattice.columns &&
                    part.j0 + part.rows <= part.lattice.rows);
        // Whole rows fit the budget in fours; at least 8 of them, or a piece of 16 x 128.
        EXPECT_TRUE(part.samples() <= std::max({budget, 8L * part.columns, 16L * 128}))
            << part.columns << " x " << part.rows;
        const bool lattice = part.pass == coarsePass || part.pass >= firstFinePass;
        bool knownBelow = false;
        for (int col = 0; col < part.columns && part.j0 > 0; ++col)
            knownBelow = knownBelow || g.known[size_t(part.firstY() - part.lattice.step) * g.width + size_t(part.firstX() + col * part.lattice.step)];
        EXPECT_TRUE(!fresh || !lattice || part.rows % 4 == 0 || part.j0 == 0 || knownBelow) << part.rows << " rows in pass " << part.pass;
        std::vector<float> counts;
        for (int r = 0; r < part.rows; ++r)
            for (int col = 0; col < part.columns; ++col) {
                const int x = part.firstX() + col * part.lattice.step, y = part.firstY() + r * part.lattice.step;
                const bool band = part.pass >= firstBorderPass && part.pass < firstFinePass;
                EXPECT_TRUE(!g.known[size_t(y) * g.width + x] || band) << "a known sample again at " << x << ", " << y;
                counts.push_back(float(x + 1000 * y));
            }
        storePart(g, part, counts.data());
        drawn += part.samples();
    }
    return drawn;
}

long unknown(const SampleGrid& g)
{
    return long(std::count(g.known.begin(), g.known.end(), 0));
}

}  // namespace

// The coarse pass and the fine lattices hold every pixel once; a fresh
// coarse lattice misses the border bands (so they add no pixel twice),
// which a moved one may cross; the steps are 8, then 4, 2, 1.
TEST(Schedule, EveryPixelOnceAndTheCoarsePassOffTheBorder)
{
    for (const auto& [width, height] : {std::pair{800, 800}, {150, 101}, {15, 799}, {9, 17}, {7, 5}, {1, 1}, {2, 13}}) {
        SampleGrid g;
        resetGrid(g, width, height);
        for (const auto& [dx, dy] : {std::pair{0, 0}, {3, -5}, {-13, 22}}) {
            shiftGrid(g, dx, dy);
            const std::vector<int> times = coverage(g, coarsePass, coarsePass + 1), fine = coverage(g, firstFinePass, passCount),
                                   bands = coverage(g, firstBorderPass, firstFinePass);
            ASSERT_EQ(times.size(), size_t(width) * height) << "a lattice leaves the picture";
            long twice = 0, missed = 0, coarseOnBorder = 0;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const int n = times[size_t(y) * width + x] + fine[size_t(y) * width + x];
                    twice += n > 1, missed += n < 1;
                    coarseOnBorder += times[size_t(y) * width + x] && bands[size_t(y) * width + x];
                }
            EXPECT_EQ(twice + missed, 0) << width << " x " << height << " moved " << dx << ", " << dy;
            if (dx == 0 && dy == 0 && width >= 9 && height >= 9) {
                EXPECT_EQ(coarseOnBorder, 0) << width << " x " << height;
            }
        }
    }
    SampleGrid g;
    resetGrid(g, 64, 64);
    std::vector<int> steps;
    for (int pass = 0; pass < passCount; ++pass) steps.push_back(passLattice(g, pass).step);
    EXPECT_EQ(steps, (std::vector<int>{8, 1, 1, 1, 1, 8, 8, 8, 4, 4, 4, 2, 2, 2}));
}

// Any budget: parts of unknown samples only, the passes in order, every
// pixel drawn once, and the counts where they belong.
TEST(Schedule, PartsDrawEachPixelOnceCoarseFirst)
{
    for (const auto& [width, height, budget] : {std::tuple{800, 600, 3000L}, {150, 101, 256L}, {37, 300, 100000L}, {11, 9, 1L}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height) + " in parts of " + std::to_string(budget));
        SampleGrid g;
        resetGrid(g, width, height);
        ScheduleCursor c;
        EXPECT_EQ(drawAll(g, c, budget, true), long(width) * height);
        EXPECT_EQ(unknown(g), 0);
        EXPECT_EQ(c.pass, passCount);
        long misplaced = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) misplaced += g.counts[size_t(y) * width + x] != float(x + 1000 * y);
        EXPECT_EQ(misplaced, 0);
    }
}

// Moved by whole pixels: what stays in the picture keeps its count and
// place, the uncovered strips are unknown, and only they are drawn again
// (with, at most, the coarse samples in border bands once more); moved
// back out of the picture entirely, nothing is kept.
TEST(Schedule, AMoveKeepsWhatIsKnown)
{
    for (const auto& [dx, dy, finishFirst] : {std::tuple{200, 0, true}, {-37, 23, true}, {5, -3, false}, {-800, 0, true}}) {
        SCOPED_TRACE(std::to_string(dx) + ", " + std::to_string(dy));
        SampleGrid g;
        resetGrid(g, 800, 600);
        ScheduleCursor c;
        if (finishFirst) drawAll(g, c, 5000);
        else {
            Part part;
            for (c = {}; nextPart(g, c, 5000, 128, part) && part.pass == coarsePass;)
                storePart(g, part, std::vector<float>(size_t(part.samples()), 7.0f).data());
        }
        const SampleGrid before = g;
        shiftGrid(g, dx, dy);
        long kept = 0, wrong = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const int fx = x - dx, fy = y - dy;
                const bool inside = fx >= 0 && fx < 800 && fy >= 0 && fy < 600;
                const size_t at = size_t(y) * 800 + x, from = size_t(fy) * 800 + fx;
                const bool known = inside && before.known[from];
                kept += known;
                wrong += g.known[at] != known || (known && g.counts[at] != before.counts[from]);
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(unknown(g), 800L * 600 - kept);
        c = ScheduleCursor{};
        const long drawn = drawAll(g, c, 5000), bands = 2 * (800 + 600) / coarseStep + 4;
        EXPECT_TRUE(drawn >= 800L * 600 - kept && drawn <= 800L * 600 - kept + bands) << drawn << " drawn, " << kept << " kept";
        EXPECT_EQ(unknown(g), 0);
    }
}

// A sample stands for the square of its step around it; finer blocks lie
// in coarser ones; the coarse pass reaches the edges, where its blocks end.
TEST(Schedule, BlocksAroundSamples)
{
    SampleGrid g;
    resetGrid(g, 100, 90);
    const Lattice coarse = passLattice(g, coarsePass);
    const Part all{coarsePass, coarse, 0, 0, coarse.columns, coarse.rows};
    long inBlocks = 0;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 100; ++x) {
            const Splat s = splatAt(all, x, y);
            const int sx = coarse.x0 + s.i * 8, sy = coarse.y0 + s.j * 8;
            // The nearest sample, ties going up and right.
            EXPECT_TRUE(!s.inBlock || (x - sx >= -4 && x - sx < 4 && y - sy >= -4 && y - sy < 4)) << x << ", " << y;
            EXPECT_EQ(s.exact, x == sx && y == sy);
            inBlocks += s.inBlock;
        }
    EXPECT_EQ(inBlocks, long(std::min(100, coarse.x0 + 8 * coarse.columns - 4) - std::max(0, coarse.x0 - 4)) *
                            (std::min(90, coarse.y0 + 8 * coarse.rows - 4) - std::max(0, coarse.y0 - 4)));
    const PixelRect reach = partReach(all, 100, 90);
    EXPECT_TRUE(reach.x0 == 0 && reach.y0 == 0 && reach.x1 == 100 && reach.y1 == 90);
    // A sample of step 2 (lattice of stride 4): its block is 2 x 2 around
    // it, and lies inside the block of step 4 that holds the sample.
    const Lattice fine = passLattice(g, firstFinePass + 5);
    ASSERT_EQ(fine.block, 2);
    const Part one{firstFinePass + 5, fine, 3, 2, 1, 1};
    int covered = 0;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 100; ++x) covered += splatAt(one, x, y).inBlock;
    EXPECT_EQ(covered, 4);
    const PixelRect r = partReach(one, 100, 90);
    EXPECT_TRUE(r.x1 - r.x0 == 2 && r.y1 - r.y0 == 2 && r.x0 == one.firstX() - 1 && r.y0 == one.firstY() - 1);
}

// What a coarse pass says (its known samples' counts) and the border's
// smallest escaping count among its known pixels.
TEST(Schedule, CoarseCountsAndTheBorder)
{
    SampleGrid g;
    resetGrid(g, 40, 30);
    EXPECT_GE(knownBorderMinimum(g), 1e299);
    EXPECT_TRUE(coarseCounts(g).empty());
    const Lattice top = passLattice(g, firstBorderPass);
    std::vector<float> counts(40);
    for (int i = 0; i < 40; ++i) counts[size_t(i)] = i == 7 ? -1.0f : 50.0f - i;
    storePart(g, Part{firstBorderPass, top, 0, 0, 40, 1}, counts.data());
    EXPECT_EQ(knownBorderMinimum(g), 11.0);
    const Part coarse = wholeCoarsePass(g);
    storePart(g, coarse, std::vector<float>(size_t(coarse.samples()), 3.0f).data());
    const std::vector<float> taken = coarseCounts(g);
    EXPECT_EQ(taken.size(), size_t(coarse.samples()));
    EXPECT_TRUE(std::all_of(taken.begin(), taken.end(), [](float c) { return c == 3.0f; }));
    EXPECT_EQ(partCounts(g, coarse), taken);
}
