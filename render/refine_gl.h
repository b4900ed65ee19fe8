// The GL side of drawing a deep picture coarse to fine: the picture's count
// target with a depth buffer that says how finely each pixel is known, the
// pass that puts a compactly drawn part into it (render/schedule.h says
// which pixels a sample reaches), and moving a picture by whole pixels.
#pragma once

#include "render/deep_gl.h"
#include "render/schedule.h"

// A count no picture has: "nothing drawn here yet" (counts stay below
// the iteration limit's cap of 65536; negative ones are interior).
constexpr float notDrawn = 1e30f;

// Counts as a CountTarget has them, and depths: 0 where a pixel's own count
// is there, a sample's block / 16 where it shows a nearer or coarser
// sample, 1 where nothing is.
struct PictureTarget {
    CountTarget counts;
    GLuint depth = 0;  // a renderbuffer
};

// Sized (and cleared when the size changed); false when incomplete.
bool resizePictureTarget(PictureTarget& target, int width, int height);
void clearPictureTarget(const PictureTarget& target);
void releasePictureTarget(PictureTarget& target);

// `to` becomes `from` moved by (dx, dy) pixels, nothing where it uncovers.
void shiftPictureTarget(const PictureTarget& from, const PictureTarget& to, int dx, int dy);

// Puts a part's counts (columns x rows, row 0 at the bottom) into
// `samples` from its pixel (0, 0), as if drawn there.
void uploadSamples(const CountTarget& samples, const Part& part, const float* counts);

// A picture's colours as last shown are kept in a target of 8-bit RGBA
// (resizeTarget's GL_RGBA8), so that a show recolours only what changed
// and copies the rest: this copies all of it to the origin of a
// framebuffer (the window's back buffer), which stays bound.
void copyColoursOut(const CountTarget& colours, GLint drawFramebuffer);

// The part's counts, drawn into `samples` from its pixel (0, 0), into the
// picture's target at their pixels and blocks.
void splatPart(GLuint program, const CountTarget& samples, const PictureTarget& target, const Part& part);
