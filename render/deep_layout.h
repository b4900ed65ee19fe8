// How a deep picture's references and jump tables lie in the textures the
// deep fragment program reads (glsl/deep_fragment.glsl). No GL here.
//
// Both are RGBA32UI texture buffers (the words padded to whole rows of
// deepTextureWidth texels, which the program does not need).
// Orbit texture, per step m of reference r at refStart[r] + m: narrow
// (floats): one texel, Z as two floats, then where |Z| is below 2^-100 (or
// 0) its exponent (the mantissas then lie near 1; 0 has -2^24), elsewhere
// the steps to the next such Z, and log2 of the radius of the jump from m
// (a float, -infinity for none). Wide (doubles): two texels,
// Z as two doubles, then the exponent and log2 radius (2^-960 there).
// Jump texture, per step m with m - origin even, at jumpStart[r] + (m -
// origin) / 2: a JumpNode (deep/bla.h), two texels.
//
// Bytes per step: 16 (narrow) or 32 (wide) for the orbit, 16 for the jumps
// (32 per even step); the CPU's orbit (16) and tables (20) are freed once
// the layout is made, the layout once it is uploaded.
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
    int refStart[2] = {0, 0}, refEnd[2] = {0, 0}, jumpStart[2] = {0, 0}, jumpOrigin[2] = {0, 0};
    float widest = -INFINITY;  // the largest log2 radius of any jump
    bool wide = false;
};

// Where a target lies in the picture: its pixel (i, j) is the picture's
// pixel (originX + i stride, originY + j stride), counted from the
// bottom-left (stride 1: a piece of the picture; 2: every other pixel).
struct TargetPlace {
    int originX = 0, originY = 0;
    int stride = 1;
};

// What the program is told of its pixels: floor(gl_FragCoord) stride +
// offset is the fragment's pixel centre from the reference in pixels (an
// integer and a half, exact in floats, so that a lattice's pixel is the
// whole picture's bit for bit), size the pixel as mantissas of 2^exponent
// (both axes alike).
struct DeepPixel {
    double offset[2] = {0, 0};
    double size[2] = {0, 0};
    int exponent = 0;
    int stride = 1;
};
DeepPixel deepPixel(const DeepScene& scene, TargetPlace place);

// Bytes of texture per step of a reference.
int layoutBytesPerStep(bool wide);

// The rows a texture of `texels` texels needs.
int textureRows(size_t texels);

// The layout of a scene; `release` frees the scene's orbits and tables as
// they are laid out (the viewer keeps only what the GPU holds).
DeepLayout layoutScene(DeepScene& scene, bool release = false);
