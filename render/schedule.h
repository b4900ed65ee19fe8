// The schedule of a deep picture, coarse to fine, as arithmetic (no GL):
// which pixels are drawn next, which are kept, and which sample each pixel
// shows meanwhile. render/progressive.cpp draws what this plans.
//
// A picture's pixels are drawn as lattices, each with one stride (the
// deep program's TargetPlace): first every 8th pixel in both axes (the
// coarse pass, after which every part of the window has a sample near
// it), then bands along the border (its smallest count sets the colour
// offset mu0; 4 pixels wide at the left and bottom, 3 at the right and
// top: llvmpipe draws blocks of 4 x 4 fragments, so a band costs about
// what a line of single pixels would), then for steps 4, 2 and 1 the
// three lattices of stride 2 * step that lie between the samples so far:
// (step, 0), (0, step), (step, step) from them. Every pixel belongs to
// exactly one of these lattices; the bands take theirs first, and a fresh
// picture's coarse lattice misses the bands, so no sample is drawn twice. Until a pixel is drawn it shows the nearest
// sample drawn so far: each sample stands for the square of its step
// around it (its block), and finer blocks cover coarser ones.
//
// The lattices pass through a phase that moves with the picture: when the
// view moves by whole pixels (a drag), the known samples move along, stay
// on their lattices and are kept; only samples not known yet are planned.
// A band that a moved coarse lattice crosses is drawn through the few
// coarse samples in it (they keep their counts): one band, not a part for
// every gap between them.
//
// Limits: strides are powers of two up to 8, the picture at most
// 32768 pixels across (indices are ints).
#pragma once

#include <cstdint>
#include <vector>

constexpr int coarseStep = 8;
constexpr int coarsePass = 0;                   // every 8th pixel
constexpr int firstBorderPass = 1;              // bands: top, bottom, left, right
constexpr int firstFinePass = firstBorderPass + 4;
constexpr int passCount = firstFinePass + 3 * 3;

// Samples (x0 + i * step, y0 + j * step), i < columns, j < rows, of the
// picture (pixels from the bottom-left). `block`: the side of the square
// each sample stands for until finer ones come (1: the pixel alone).
struct Lattice {
    int x0 = 0, y0 = 0, step = 1, columns = 0, rows = 0, block = 1;
};

// What the picture knows: each pixel's count once drawn, and the phase
// of the coarse lattice (it passes through (phaseX, phaseY)).
struct SampleGrid {
    int width = 0, height = 0;
    int phaseX = 0, phaseY = 0;
    std::vector<float> counts;          // row 0 at the bottom
    std::vector<std::uint8_t> known;    // 1 where `counts` holds the pixel's own count
};

// Where the scan for work stands: the pass, and its rows from the top that
// are known whole.
struct ScheduleCursor {
    int pass = 0, doneRows = 0;
};

// Samples [i0, i0 + columns) x [j0, j0 + rows) of a pass's lattice.
struct Part {
    int pass = 0;
    Lattice lattice;
    int i0 = 0, j0 = 0, columns = 0, rows = 0;
    long samples() const { return long(columns) * rows; }
    int firstX() const { return lattice.x0 + i0 * lattice.step; }
    int firstY() const { return lattice.y0 + j0 * lattice.step; }
};

// Nothing known; the phase off the border bands (where the size allows),
// so that the coarse pass and the bands share no pixel.
void resetGrid(SampleGrid& grid, int width, int height);

// That phase along an axis of `size` pixels (0 .. 7).
int coarsePhase(int size);

// The picture's content moves by (dx, dy) pixels (to the right and up):
// what stays in the picture is kept, the uncovered strips become unknown,
// and the phase moves along.
void shiftGrid(SampleGrid& grid, int dx, int dy);

// The lattice of pass `pass` (0 .. passCount - 1) for the grid's size and phase.
Lattice passLattice(const SampleGrid& grid, int pass);

// The next samples to draw, from the cursor on: a rectangle of samples none
// of which is known (a border band: from its first unknown sample to its
// last), from the top of the first pass with work left; whole rows of it,
// as many as fit in maxSamples in fours (8 at least, where the rectangle
// has them), while 8 fit, else a piece of minColumns columns or
// more and as many rows as fit (16 to 64). False when every pixel is
// known. Advances the cursor past known passes and rows.
bool nextPart(const SampleGrid& grid, ScheduleCursor& cursor, long maxSamples, int minColumns, Part& part);

// Moves the cursor past the rows and passes known whole; true while work
// is left.
bool skipKnown(const SampleGrid& grid, ScheduleCursor& cursor);

// Stores the drawn counts of a part (columns x rows, row 0 at the bottom);
// samples known before keep theirs.
void storePart(SampleGrid& grid, const Part& part, const float* counts);

// The counts a part's samples hold in the grid, as storePart takes them.
std::vector<float> partCounts(const SampleGrid& grid, const Part& part);

// Every sample of the coarse pass, as one part.
Part wholeCoarsePass(const SampleGrid& grid);

// Whether every pixel of the passes before `pass` is known, by the cursor
// (which nextPart moves past a pass only once it is known whole).
inline bool passesDone(const ScheduleCursor& cursor, int pass) { return cursor.pass >= pass; }

// The smallest escaping count (>= 0) of the picture's border pixels that
// are known; a huge value when none.
double knownBorderMinimum(const SampleGrid& grid);

// The counts of the coarse pass's samples that are known: what a finished
// coarse pass says about the picture (its range of counts, the share that
// ran to the limit unresolved).
std::vector<float> coarseCounts(const SampleGrid& grid);

// The pixels whose sample a part's block reaches, as [x0, x1) x [y0, y1):
// the blocks around its samples, clipped to the picture; for the coarse
// pass `reach` pixels more, which take the nearest sample where nothing
// else is (the picture's edges, and strips a drag uncovered).
struct PixelRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
PixelRect partReach(const Part& part, int width, int height);

// Which sample of a part a pixel shows: the sample's index within the part
// (clamped to it), and whether the pixel lies in its block (else it is
// reached only as the coarse pass's nearest sample). The splat program
// (glsl/splat_fragment.glsl) does the same in GLSL.
struct Splat {
    int i = 0, j = 0;
    bool inBlock = false, exact = false;
};
Splat splatAt(const Part& part, int x, int y);
