// Bilinear approximation (Zhuoran 2021): where a pixel's difference delta
// from the reference is small enough, 2^l steps from reference step m are
// one linear map, delta <- A delta + B dc, and a fragment jumps over them.
//
// Steps are merged pairwise into a tree: level l, node j covers steps
// j 2^l .. (j + 1) 2^l - 1. A single step drops delta^2 from
//     delta' = 2 Z delta + delta^2 + dc        (Mandelbrot; Julia has no dc)
// so A = 2 Z, B = 1 (0 for Julia), valid while |delta| < R =
// max(0, epsilon |A| - |B| dcMax / |A|): the dropped term stays below
// epsilon of the kept ones for every pixel's dc. Two maps x then y merge
// into A = Ay Ax, B = Ay Bx + By, R = max(0, min(Rx, (Ry - |Bx| dcMax) /
// |Ax|)). Coefficients and radii are floatexp: over a million steps |A|
// passes any fixed range, and deep down dcMax is 2^-33000.
//
// Each step m keeps one jump, the longest that starts there (the highest
// level l with m - origin a multiple of 2^l) among those that land before the
// reference's last step and that pixels can take (R above dcMax / 256: a
// jump only the pixels next to the reference could take, at their first
// steps, would shut out a shorter one that serves the picture): a fragment
// tries only that one, and after a failure takes exact steps, climbing
// back through jumps of growing length.
// The origin's jump is the one every pixel meets at its first step, where
// |delta| is at most dcMax (a Mandelbrot pixel's d1 is its dc, a Julia
// pixel's d0 its offset): there the table keeps the longest run of steps,
// of any length, whose radius is at least dcMax. Near a Misiurewicz point
// the tree's aligned jumps there either miss the picture's outer pixels or
// stop at half the run (at i, 1e-30: 32 of 60 steps). The tree is walked depth first, so
// only its spine is ever held; what is kept is what the GPU reads: per
// step log2 R (a float), per other step the node in floats with exponents.
// An orbit that starts at 0 (every Mandelbrot reference, a Julia set's
// second) has origin 1: step 0 maps d to d^2 + dc, linear in nothing, and
// every rebase starts there, so the tree starts one step later and a
// rebased pixel takes its longest jump after one exact step.
#pragma once

#include "deep/reference_orbit.h"

#include <cstdint>
#include <vector>

// Measured against the pictures (README, Deep views): float-like, the
// field's starting point.
constexpr double blaEpsilon = 0x1p-24;

// One jump as the GPU reads it, two RGBA32UI texels: A and B as float
// mantissas (the larger part of each in [0.5, 1)) with their exponents,
// and the steps it covers (2^level from the tree, any number at the origin).
struct JumpNode {
    float ar = 0, ai = 0, br = 0, bi = 0;
    int32_t ea = 0, eb = 0, steps = 0, unused = 0;
};
static_assert(sizeof(JumpNode) == 32, "two texels");

struct BlaTable {
    std::vector<float> log2Radius;  // per step 0 .. end - 1: log2 R of its jump, -infinity for none
    std::vector<JumpNode> nodes;    // per step m with m - origin even, at (m - origin) / 2: its jump (0 steps: none)
    int origin = 0;
    float widest = -INFINITY;       // the largest log2 R of any jump
};

// The bytes the tables keep per step of an orbit.
constexpr int tableBytesPerStep = sizeof(float) + sizeof(JumpNode) / 2;

// The table for an orbit; withDc for the Mandelbrot set, whose pixels differ
// in c, dcMax the largest |dc| over the picture.
BlaTable buildBla(const ReferenceOrbit& orbit, bool withDc, FloatExp dcMax, double epsilon = blaEpsilon);

// The steps of the first jump any pixel can take, from the table's origin,
// where its |delta| is at most `delta0` (dcMax: a Mandelbrot pixel's d1 is
// its dc, a Julia pixel's d0 its offset); 0 for none.
int firstJumpSteps(const BlaTable& table, FloatExp delta0);
