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
    bool markSettled = false;  // counts of -3 - n where an orbit stopped as settled, for the benchmark
    bool wide = false;     // doubles (the layout must be wide too)
};

// Built on first use; a program that failed keeps 0 and is not tried again.
struct DeepPrograms {
    std::string folder;  // where the .glsl files are, with a trailing '/' (empty: the working directory)
    GLuint deep[32] = {};
    bool tried[32] = {};
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

// A picture's counts: one float per pixel, mu for escaping points, -1
// where the orbit was recognised as interior, -2 where it reached the
// limit; or, in another format, anything else a pass draws into a texture.
struct CountTarget {
    GLuint texture = 0, framebuffer = 0;
    int width = 0, height = 0;
};
bool resizeTarget(CountTarget& target, int width, int height, GLint format = GL_R32F);
void releaseTarget(CountTarget& target);

// Texture buffers (RGBA32UI) and the buffers behind them.
struct DeepTextures {
    GLuint orbit = 0, jumps = 0;
    GLuint orbitBuffer = 0, jumpsBuffer = 0;
};
// False where the layout has more texels than GL_MAX_TEXTURE_BUFFER_SIZE.
bool uploadLayout(DeepTextures& textures, const DeepLayout& layout);
void releaseTextures(DeepTextures& textures);

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
