// A zoom movie's GL work: keyframes' counts drawn by the deep programs
// (in bands, telling the progress) or put back from a file, and a frame
// made from two keyframes on the GPU (glsl/resample_fragment.glsl): their
// counts resampled at the frame's samples for its border, from which its
// colour mapping follows, then both keyframes coloured by the pictures' own
// colour pass at that mapping and their colours resampled into the frame,
// read back as RGB. Needs a current GL context with what the deep path needs.
#pragma once

#include "render/deep_pass.h"
#include "render/parts.h"
#include "render/tile_buffer.h"

#include <memory>
#include <string>
#include <vector>

// An RGBA8 texture to draw into and read from.
struct ColourTarget {
    GLuint texture = 0, framebuffer = 0;
};

struct MovieGl {
    DeepPrograms programs;
    GLhandleARB resample = 0;
    GLuint table = 0;                   // the colour table
    CountTarget frameCounts;            // a frame's counts
    ColourTarget keyColours[2];         // the inner and the outer keyframe coloured
    std::unique_ptr<TileBuffer> frame;  // where a frame is made
    int width = 0, height = 0;          // a frame's samples
    int keyWidth = 0, keyHeight = 0;    // a keyframe's samples
};

// Builds the programs and targets for frames of width x height samples and
// keyframes of keyWidth x keyHeight, frames made in the context's own
// framebuffer when that is their size. False with `error` (one German line).
bool startMovieGl(MovieGl& gl, const std::string& glslFolder, const std::vector<float>& table, int width, int height,
                  int keyWidth, int keyHeight, int surfaceWidth, int surfaceHeight, std::string& error);
void releaseMovieGl(MovieGl& gl);

// A keyframe's counts into `target` (made the scene's size), band by band,
// and read back into `counts`, rows from the bottom. A scene not uploaded
// yet is uploaded first.
bool drawKeyframe(MovieGl& gl, DeepGpuScene& gpu, CountTarget& target, int& rows, const PartDone& done,
                  std::vector<float>& counts);
// Counts read back earlier, into `target`.
bool uploadKeyframe(CountTarget& target, int width, int height, const std::vector<float>& counts);

// A keyframe's counts and where a frame's samples lie in them (movie_plan's SampleMap).
struct KeyframePlace {
    const CountTarget* counts = nullptr;
    double scale = 1, offsetX = 0, offsetY = 0;
};

// The smallest escaping count on the border of the frame's samples, taken
// from `inner` where it covers the frame and `outer` around it (a huge
// value when none escapes there).
double frameBorderMinimum(MovieGl& gl, const KeyframePlace& inner, const KeyframePlace& outer);

// The frame from the two keyframes coloured at `range`: RGB, the top row first.
void drawFrame(MovieGl& gl, const KeyframePlace& inner, const KeyframePlace& outer, const ColourRange& range,
               std::vector<unsigned char>& rgb);
