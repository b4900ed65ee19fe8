// How a deep picture's references and jump tables lie in the textures the
// deep fragment program reads (glsl/deep_fragment.glsl). No GL here.
//
// Orbit texture, RGBA32F, rows of deepTextureWidth texels; reference r's
// step m at texel refStart[r] + m: Z_m (re, im), the radius of the longest
// jump from m in pixels (capped, see below), that jump's level.
// Jump texture: node k of the levels 1 .. 16 of both references one after
// another (levelStart); floats: one RGBA32F texel (A, B) per node; doubles:
// two RGBA32UI texels per node, A then B, each two doubles as low and high
// words, which is how packDouble2x32 reads them.
#pragma once

#include "deep/deep_picture.h"

#include <cstdint>
#include <vector>

constexpr int deepTextureWidth = 4096;
// Radii in pixels beyond this are cut to it: the program compares squares
// in pixels, and no picture's difference from its reference grows that
// large while its orbit stays linear.
constexpr double deepRadiusCap = 1e18;

struct DeepLayout {
    std::vector<float> orbit;       // 4 floats per texel
    int orbitRows = 0;
    std::vector<float> jumps;       // floats: 4 per node
    std::vector<uint32_t> jumpWords;  // doubles: 8 words per node
    int jumpRows = 0;
    int refStart[2] = {0, 0}, refEnd[2] = {0, 0};
    int levelStart[2 * blaLevels] = {};
    double pixelsPerUnit = 1;       // a power of two: d times this is d in pixels, exactly
};

DeepLayout layoutScene(const DeepScene& scene);
