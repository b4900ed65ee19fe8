// The deep path's GL objects in one context: its programs (built from the
// .glsl files on first use, with a prelude naming the variant), the count
// targets it draws into, the textures of a picture's references and jump
// tables, and the two passes: counts into a target, colours from a target.
// Every window has its own context and so its own set of these.
#pragma once

#include "deep/colour_depth.h"
#include "render/deep_layout.h"

#include <GL/glew.h>

#include <string>

struct DeepVariant {
    bool julia = false;
    bool skip = true;      // bilinear jumps
    bool interior = true;  // cycle detection
    bool markSettled = false;  // counts of -2 - n where an orbit stopped as settled, for the benchmark
};

// Built on first use; a program that failed keeps 0 and is not tried again.
struct DeepPrograms {
    std::string folder;  // where the .glsl files are, with a trailing '/' (empty: the working directory)
    GLuint deep[16] = {};
    bool tried[16] = {};
    GLuint colour = 0;
    bool colourTried = false;
    GLuint splat = 0;
    bool splatTried = false;
};

// Whether the current context has what the deep path needs (GLSL 4.00,
// float textures, framebuffer objects); `missing` names what it lacks.
bool deepSupported(std::string& missing);

// The program of a variant, or 0 with its compile or link log printed once.
GLuint deepProgram(DeepPrograms& programs, DeepVariant variant);
GLuint colourProgram(DeepPrograms& programs);
GLuint splatProgram(DeepPrograms& programs);  // glsl/splat_fragment.glsl

// A picture's counts: one float per pixel (-1 for interior points); or, in
// another format, anything else a pass draws into a texture.
struct CountTarget {
    GLuint texture = 0, framebuffer = 0;
    int width = 0, height = 0;
};
bool resizeTarget(CountTarget& target, int width, int height, GLint format = GL_R32F);
void releaseTarget(CountTarget& target);

struct DeepTextures {
    GLuint orbit = 0, jumps = 0;
};
void uploadLayout(DeepTextures& textures, const DeepLayout& layout);
void releaseTextures(DeepTextures& textures);

// Where a target lies in the picture: its pixel (i, j) is the picture's
// pixel (originX + i * stride, originY + j * stride), counted from the
// bottom-left. Strides are powers of two, so that the scaled pixel size and
// the shifted offset stay exact.
struct TargetPlace {
    int originX = 0, originY = 0;
    int stride = 1;
};

// A pass over target pixels in their own units while it lives: one unit
// per pixel, origin at the bottom-left, whatever the window's projection
// and viewport were (they come back after).
struct PixelSpace {
    GLint viewport[4];
    PixelSpace(int width, int height);
    ~PixelSpace();
    PixelSpace(const PixelSpace&) = delete;
};

// The counts of the target's pixels [x, x + w) x [y, y + h). Leaves the
// window's framebuffer bound and texture unit 0 active.
void drawCounts(GLuint program, const DeepTextures& textures, const DeepLayout& layout, const DeepScene& scene,
                const CountTarget& target, TargetPlace place, int x, int y, int w, int h);

// Reads back w x h counts from (x, y) of the target, row by row from the bottom.
void readCounts(const CountTarget& target, int x, int y, int w, int h, float* counts);

// What the colour pass shows; see glsl/colour_fragment.glsl.
struct ColourFrame {
    const CountTarget* counts = nullptr;
    ColourRange range;                  // mu0, mu1 and the curve (deep/colour_depth.h)
    float countsOrigin[2] = {0, 0};
    const CountTarget* previous = nullptr;  // or null
    ColourRange previousRange;
    double previousScale[2] = {1, 1}, previousOffset[2] = {0, 0};
    int area[4] = {0, 0, -1, -1};       // x, y, width, height drawn; a negative size: all of it
};

// Covers the current viewport (width x height pixels) with the colours of
// a frame, read through the 1D colour table `table` on texture unit 0.
void drawColours(GLuint program, GLuint table, const ColourFrame& frame, int width, int height);
