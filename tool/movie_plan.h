// The arithmetic of a zoom movie, without GL: which extent each frame
// shows, the keyframes it is made from and where their samples lie in it,
// and the colour mapping each frame gets.
//
// N frames share the location's centre; frame k's extent is
//     E_k = EXTENT0 (EXTENT / EXTENT0)^(k / (N - 1)),
// geometric from frame 0 to frame N - 1, in or out. Keyframe j shows the
// extent K_j = 2^j E_min (E_min the smaller of the two ends) at `scale`
// times a frame's samples across, j = 0 .. J with K_J the first at or past
// the larger end. A frame with K_j <= E < K_j+1 takes its samples from
// keyframe j where that covers it (finer than the frame) and from
// keyframe j + 1 around it (at most twice the frame's sample size there).
//
// Precision: extents live as log2 in doubles (frames as deep as MPFR holds;
// 52 bits place an extent to 1e-15 of itself, far below a sample); the
// keyframes' own extents are exact powers of two times E_min, in MPFR.
#pragma once

#include "deep/colour_depth.h"

#include <vector>

struct MoviePlan {
    int frames = 1;                    // N
    double log2First = 0, log2Last = 0;  // log2 of EXTENT0 and of the location's extent
    int frameWidth = 0, frameHeight = 0;  // a frame's samples (pixels times N of --samples)
    int keyWidth = 0, keyHeight = 0;      // a keyframe's samples
    int keyframes = 1;                    // J + 1
};

// The keyframe's samples across a frame's: measured in bench/movie_bench.
constexpr double keyframeScale = 1.0;

// The plan of N frames from extent 2^log2First to 2^log2Last at
// frameWidth x frameHeight samples.
MoviePlan planMovie(int frames, double log2First, double log2Last, int frameWidth, int frameHeight);

double log2Smallest(const MoviePlan& plan);
double frameLog2Extent(const MoviePlan& plan, int frame);

// Where a frame's samples come from: keyframe `inner` (finer) and `outer`
// (inner + 1, or inner itself at the top), and `within`, log2 of the
// frame's extent over the inner keyframe's, in [0, 1).
struct FrameSource {
    int inner = 0, outer = 0;
    double within = 0;
};
FrameSource frameSource(const MoviePlan& plan, int frame);

// Keyframe texel coordinates of a frame's sample: u = scale * x + offset
// along each axis, x being GL's fragment coordinate (sample i at i + 0.5)
// and u the keyframe's (texel m at m + 0.5).
struct SampleMap {
    double scale = 1, offsetX = 0, offsetY = 0;
};
SampleMap sampleMap(const MoviePlan& plan, int frame, int keyframe);

// The keyframes in the order the frames first need them.
std::vector<int> keyframeOrder(const MoviePlan& plan);

// A frame's colours follow the rules of a picture of its view
// (deep/colour_depth.h's ColourRange: mu0 from the smallest count on its
// border, mu1 and the curve from its coarse samples and its limit), taken
// from its own samples, made from the keyframes like the rest of it. Then
// mu0 and mu1 are held to a pace and the curve to a factor: where the
// border's smallest count jumps (a thin feature entering or leaving it),
// or a feature brings the top of the counts with it, the colours follow
// over several frames.

// log2 of a frame's sample side, the limit rule's footprint.
double frameFootprint(const MoviePlan& plan, int frame);

// The most mu0 may move from one frame to the next: four times what the
// limit moves (128 a halving of the sample, counted without the limit's
// rounding), and one more. Near a boundary point counts grow with depth
// about as the limit does, so an even zoom never meets this bound.
double mu0Pace(const MoviePlan& plan, int frame);

// What a frame's counts say, between those of its inner keyframe (a
// picture of the inner extent, sampled as the render tool samples one) and
// its outer one, linearly in log2 of the extent (`within`): counts near the
// set grow about linearly with depth, and a frame's own few samples would
// add noise where the keyframes' are a picture's own.
CountSpread frameSpread(const CountSpread& inner, const CountSpread& outer, double within);

// The most the band from mu0 to mu1 and the curve's count scale may change
// from one frame to the next, as a factor: 1.1, and four times more for
// every octave the frame zooms. Both follow the spread of the counts (their
// 99th percentile, their median), which grows with depth as the counts do,
// and jumps where a picture's limit was raised.
double bendPace(const MoviePlan& plan, int frame);

// Frame `frame`'s mapping from its picture rule's `rule`, after the mapping
// of the frame before it (frame 0 keeps its rule's): mu0 held to mu0Pace,
// the band and the curve to bendPace. mu1 keeps above mu0.
ColourRange smoothMapping(const MoviePlan& plan, int frame, const ColourRange& before, const ColourRange& rule);

// The limit keyframe j is iterated to: that of the deepest frame it serves
// (frames down to half its extent take their outer parts from it), or
// `given` where the limit was given (0: it follows the views).
int keyframeLimit(const MoviePlan& plan, int keyframe, int given);

// The limit a single picture of frame `frame` would have: `given`, or the
// rule's for the frame's footprint.
int frameLimit(const MoviePlan& plan, int frame, int given);
