// How a deep picture's references and jump tables lie in the textures the
// deep fragment program reads (glsl/deep_fragment.glsl). No GL here.
//
// Both textures are RGBA32UI, rows of deepTextureWidth texels, doubles kept
// as their low and high words, which is how packDouble2x32 reads them.
// Orbit texture: reference r's step m is texels 2 (refStart[r] + m), Z_m as
// two doubles, and 2 (refStart[r] + m) + 1: the radius of the longest jump
// from m in pixels (a double) and that jump's level.
// Jump texture: node k of the levels 1 .. 16 of both references one after
// another (levelStart) is texels 2k, A, and 2k + 1, B.
#pragma once

#include "deep/deep_picture.h"

#include <cstdint>
#include <vector>

constexpr int deepTextureWidth = 4096;

struct DeepLayout {
    std::vector<uint32_t> orbit;  // 4 words per texel
    int orbitRows = 0;
    std::vector<uint32_t> jumps;
    int jumpRows = 0;
    int refStart[2] = {0, 0}, refEnd[2] = {0, 0};
    int levelStart[2 * blaLevels] = {};
    double pixelsPerUnit = 1;     // a power of two: d times this is d in pixels, exactly
    double widestJump = 0;        // the largest radius of any jump, in pixels
};

DeepLayout layoutScene(const DeepScene& scene);
