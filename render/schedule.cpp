// The coarse-to-fine schedule: lattices, the scan for samples not known
// yet, moving what is known with the picture, and the blocks samples fill.
// Indices are ints: a picture of 32768 x 32768 pixels has 2^30 of them.
#include "render/schedule.h"

#include <algorithm>
#include <cmath>

namespace {

// Rows a part takes: whole rows of a lattice at least 8 (in fours, as
// many as fit), a piece of fewer columns 16 to 64: llvmpipe draws
// blocks of 4 x 4 fragments, and fewer rows waste much of each.
constexpr int minRows = 8, bandRows = 16, pieceRows = 64;
// Column pieces are whole tiles of llvmpipe's 64 x 64.
constexpr int tileColumns = 64;

int ceilDiv(int a, int b) { return a > 0 ? (a + b - 1) / b : 0; }
int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int wrap(int a, int m) { return (a % m + m) % m; }

bool knownAt(const SampleGrid& g, const Lattice& l, int i, int j)
{
    const int x = l.x0 + i * l.step, y = l.y0 + j * l.step;
    return g.known[size_t(y) * size_t(g.width) + size_t(x)] != 0;
}

// The first run of samples not known in lattice row j: [i0, i1), empty if none.
void unknownRun(const SampleGrid& g, const Lattice& l, int j, int& i0, int& i1)
{
    i0 = 0;
    while (i0 < l.columns && knownAt(g, l, i0, j)) ++i0;
    i1 = i0;
    while (i1 < l.columns && !knownAt(g, l, i1, j)) ++i1;
}

bool noneKnown(const SampleGrid& g, const Lattice& l, int j, int i0, int i1)
{
    for (int i = i0; i < i1; ++i)
        if (knownAt(g, l, i, j)) return false;
    return true;
}

// How many rows down from row j (itself included) have none of [i0, i1)
// known, counting at most `most`.
int freeRows(const SampleGrid& g, const Lattice& l, int j, int i0, int i1, long most)
{
    int rows = 1;
    while (rows < most && j - rows >= 0 && noneKnown(g, l, j - rows, i0, i1)) ++rows;
    return rows;
}

}  // namespace

namespace {

// The border bands: 4 pixels at the left and bottom, 3 at the right and
// top, so that a coarse lattice of stride 8 fits between them.
constexpr int lowBand = 4, highBand = 3;

}  // namespace

// A phase whose lattice misses both bands of the axis.
int coarsePhase(int size)
{
    for (int p = lowBand; p < coarseStep; ++p)
        if (p < size && p + (size - 1 - p) / coarseStep * coarseStep < size - highBand) return p;
    return 0;
}

void resetGrid(SampleGrid& g, int width, int height)
{
    g.width = std::max(width, 0);
    g.height = std::max(height, 0);
    g.phaseX = coarsePhase(g.width);
    g.phaseY = coarsePhase(g.height);
    g.counts.assign(size_t(g.width) * size_t(g.height), 0.0f);
    g.known.assign(g.counts.size(), 0);
}

void shiftGrid(SampleGrid& g, int dx, int dy)
{
    std::vector<float> counts(g.counts.size(), 0.0f);
    std::vector<std::uint8_t> known(g.known.size(), 0);
    // Rows and columns that stay in the picture: new x in [x0, x1).
    const int x0 = std::clamp(dx, 0, g.width), x1 = std::clamp(g.width + dx, 0, g.width);
    for (int y = std::clamp(dy, 0, g.height); y < std::clamp(g.height + dy, 0, g.height); ++y) {
        const size_t to = size_t(y) * size_t(g.width), from = size_t(y - dy) * size_t(g.width);
        for (int x = x0; x < x1; ++x) {
            counts[to + size_t(x)] = g.counts[from + size_t(x - dx)];
            known[to + size_t(x)] = g.known[from + size_t(x - dx)];
        }
    }
    g.counts.swap(counts);
    g.known.swap(known);
    g.phaseX = wrap(g.phaseX + dx, coarseStep);
    g.phaseY = wrap(g.phaseY + dy, coarseStep);
}

Lattice passLattice(const SampleGrid& g, int pass)
{
    const int W = g.width, H = g.height;
    switch (pass) {
    case coarsePass:
        return Lattice{g.phaseX, g.phaseY, coarseStep, ceilDiv(W - g.phaseX, coarseStep),
                       ceilDiv(H - g.phaseY, coarseStep), coarseStep};
    case firstBorderPass: return Lattice{0, H - std::min(highBand, H), 1, W, std::min(highBand, H), 1};
    case firstBorderPass + 1: return Lattice{0, 0, 1, W, std::min(lowBand, H), 1};
    case firstBorderPass + 2: return Lattice{0, 0, 1, std::min(lowBand, W), H, 1};
    case firstBorderPass + 3: return Lattice{W - std::min(highBand, W), 0, 1, std::min(highBand, W), H, 1};
    default: break;
    }
    // Steps 4, 2, 1; offsets (h, 0), (0, h), (h, h) from the samples so far.
    const int k = (pass - firstFinePass) / 3, m = (pass - firstFinePass) % 3;
    const int h = (coarseStep / 2) >> k, step = 2 * h;
    const int x0 = wrap(g.phaseX + (m != 1 ? h : 0), step), y0 = wrap(g.phaseY + (m != 0 ? h : 0), step);
    return Lattice{x0, y0, step, ceilDiv(W - x0, step), ceilDiv(H - y0, step), h};
}

bool skipKnown(const SampleGrid& g, ScheduleCursor& c)
{
    for (; c.pass < passCount; ++c.pass, c.doneRows = 0) {
        const Lattice l = passLattice(g, c.pass);
        for (; c.doneRows < l.rows; ++c.doneRows) {
            int i0, i1;
            unknownRun(g, l, l.rows - 1 - c.doneRows, i0, i1);
            if (i0 < i1) return true;
        }
    }
    return false;
}

namespace {

bool borderPass(int pass) { return pass >= firstBorderPass && pass < firstFinePass; }

// A border band from its first unknown sample to its last in both axes,
// in pieces of at most maxSamples (64 across at least): along a row band
// from the left, down a column band from the top.
Part bandPart(const SampleGrid& g, const ScheduleCursor& c, const Lattice& l, long maxSamples)
{
    int i0 = l.columns, i1 = -1, j0 = l.rows, j1 = -1;
    for (int j = 0; j < l.rows; ++j)
        for (int i = 0; i < l.columns; ++i)
            if (!knownAt(g, l, i, j)) i0 = std::min(i0, i), i1 = std::max(i1, i), j0 = std::min(j0, j), j1 = std::max(j1, j);
    const int across = i1 - i0 + 1, up = j1 - j0 + 1;
    if (l.columns >= l.rows) {
        const int n = int(std::min<long>(across, std::max<long>(maxSamples / up, 64)));
        return Part{c.pass, l, i0, j0, n, up};
    }
    const int n = int(std::min<long>(up, std::max<long>(maxSamples / across, 64)));
    return Part{c.pass, l, i0, j1 - n + 1, across, n};
}

}  // namespace

bool nextPart(const SampleGrid& g, ScheduleCursor& c, long maxSamples, int minColumns, Part& part)
{
    if (!skipKnown(g, c)) return false;
    const Lattice l = passLattice(g, c.pass);
    if (borderPass(c.pass)) return part = bandPart(g, c, l, maxSamples), true;
    const int j = l.rows - 1 - c.doneRows;
    int i0, i1;
    unknownRun(g, l, j, i0, i1);
    const long width = i1 - i0;
    // Whole rows of the lattice where 8 of them fit: the more tiles a part
    // has, the better llvmpipe's threads share it (pieces of 128 x 16 cost
    // a fifth more than rows of 400 x 12).
    if (width * minRows <= maxSamples) {
        const int rows = freeRows(g, l, j, i0, i1, std::max<long>(minRows, maxSamples / width / 4 * 4));
        part = Part{c.pass, l, i0, j - rows + 1, int(width), rows};
        return true;
    }
    const int columns = int(std::min<long>(std::max<long>(maxSamples / bandRows / tileColumns * tileColumns, minColumns), width));
    const long fit = std::clamp<long>(maxSamples / columns / 4 * 4, bandRows, pieceRows);
    const int rows = freeRows(g, l, j, i0, i0 + columns, fit);
    part = Part{c.pass, l, i0, j - rows + 1, columns, rows};
    return true;
}

void storePart(SampleGrid& g, const Part& p, const float* counts)
{
    for (int r = 0; r < p.rows; ++r)
        for (int col = 0; col < p.columns; ++col) {
            const int x = p.firstX() + col * p.lattice.step, y = p.firstY() + r * p.lattice.step;
            const size_t at = size_t(y) * size_t(g.width) + size_t(x);
            if (g.known[at]) continue;
            g.counts[at] = counts[size_t(r) * size_t(p.columns) + size_t(col)];
            g.known[at] = 1;
        }
}

std::vector<float> partCounts(const SampleGrid& g, const Part& p)
{
    std::vector<float> counts(size_t(p.samples()));
    for (int r = 0; r < p.rows; ++r)
        for (int col = 0; col < p.columns; ++col) {
            const int x = p.firstX() + col * p.lattice.step, y = p.firstY() + r * p.lattice.step;
            counts[size_t(r) * size_t(p.columns) + size_t(col)] = g.counts[size_t(y) * size_t(g.width) + size_t(x)];
        }
    return counts;
}

Part wholeCoarsePass(const SampleGrid& g)
{
    const Lattice l = passLattice(g, coarsePass);
    return Part{coarsePass, l, 0, 0, l.columns, l.rows};
}

double knownBorderMinimum(const SampleGrid& g)
{
    double least = 1e300;
    auto visit = [&](int x, int y) {
        const size_t at = size_t(y) * size_t(g.width) + size_t(x);
        if (g.known[at] && g.counts[at] >= 0) least = std::min(least, double(g.counts[at]));
    };
    for (int x = 0; x < g.width && g.height > 0; ++x) visit(x, 0), visit(x, g.height - 1);
    for (int y = 0; y < g.height && g.width > 0; ++y) visit(0, y), visit(g.width - 1, y);
    return least;
}

std::vector<float> coarseCounts(const SampleGrid& g)
{
    const Lattice l = passLattice(g, coarsePass);
    std::vector<float> counts;
    for (int j = 0; j < l.rows; ++j)
        for (int i = 0; i < l.columns; ++i)
            if (knownAt(g, l, i, j)) counts.push_back(g.counts[size_t(l.y0 + j * l.step) * size_t(g.width) + size_t(l.x0 + i * l.step)]);
    return counts;
}

PixelRect partReach(const Part& p, int width, int height)
{
    const Lattice& l = p.lattice;
    const int below = l.block / 2, above = l.block - below, reach = p.pass == coarsePass ? l.step : 0;
    PixelRect r{p.firstX() - below - reach, p.firstY() - below - reach,
                p.firstX() + (p.columns - 1) * l.step + above + reach, p.firstY() + (p.rows - 1) * l.step + above + reach};
    r.x0 = std::clamp(r.x0, 0, width), r.x1 = std::clamp(r.x1, 0, width);
    r.y0 = std::clamp(r.y0, 0, height), r.y1 = std::clamp(r.y1, 0, height);
    return r;
}

Splat splatAt(const Part& p, int x, int y)
{
    const Lattice& l = p.lattice;
    const int below = l.block / 2, above = l.block - below;
    Splat s;
    s.i = std::clamp(floorDiv(x - p.firstX() + below, l.step), 0, p.columns - 1);
    s.j = std::clamp(floorDiv(y - p.firstY() + below, l.step), 0, p.rows - 1);
    const int lx = x - p.firstX() - s.i * l.step, ly = y - p.firstY() - s.j * l.step;
    s.inBlock = lx >= -below && lx < above && ly >= -below && ly < above;
    s.exact = lx == 0 && ly == 0;
    return s;
}
