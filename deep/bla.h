// Bilinear approximation (Zhuoran 2021): where a pixel's difference delta
// from the reference is small enough, 2^l steps from reference step m are
// one linear map, delta <- A delta + B dc, and a fragment jumps over them.
//
// Steps are merged pairwise into levels: level l, node j covers steps
// j 2^l .. (j + 1) 2^l - 1. A single step drops delta^2 from
//     delta' = 2 Z delta + delta^2 + dc        (Mandelbrot; Julia has no dc)
// which is below epsilon of the 2 Z delta it keeps while |delta| < epsilon
// |2 Z|. Two maps x then y merge into A = Ay Ax, B = Ay Bx + By, valid while
// both are: |delta| < Rx and |Ax delta + Bx dc| < Ry, so with |dc| at most
// dcMax, R = min(Rx, (Ry - |Bx| dcMax) / |Ax|). Epsilon 2^-40: the
// dropped terms add up along an orbit, about k epsilon after k steps, which
// moves a pixel by that much times its distance from the reference; near
// a minibrot at 1e-19, where many counts change within a thousandth of a
// pixel, 2^-24 and 2^-32 moved counts by hundreds, 2^-40 gave MPFR's.
//
// A fragment at step m tries only the longest jump that starts there (the
// highest level m is a multiple of), kept beside Z_m; when that one fails it
// takes one exact step, and the climb back up is a few jumps of growing
// length. Radii shrink as levels grow, so that jump is also the longest one
// whose radius allows it most of the time.
#pragma once

#include "deep/reference_orbit.h"

#include <vector>

constexpr int blaLevels = 17;  // levels 0 .. 16: jumps of up to 65536 steps
constexpr double blaEpsilon = 0x1p-40;

struct BlaNode {
    double ar = 0, ai = 0, br = 0, bi = 0, radius = 0;
};

struct BlaTable {
    std::vector<std::vector<BlaNode>> levels;  // levels[l][j]; level 0 is exact steps
    std::vector<int> topLevel;                 // per step m: the level of the longest jump from m, 0 for none
    std::vector<double> topRadius;             // and its radius
};

// The table for an orbit; withDc for the Mandelbrot set, whose pixels differ
// in c, dcMax the largest |dc| over the picture.
BlaTable buildBla(const ReferenceOrbit& orbit, bool withDc, double dcMax);

