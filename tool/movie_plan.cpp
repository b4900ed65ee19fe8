// Frames and keyframes. A frame at exactly a keyframe's extent (the
// smaller end always is one) maps onto that keyframe sample for sample
// with scale 1 and offset 0, exactly in doubles: it is that keyframe.
#include "tool/movie_plan.h"
#include "deep/colour_depth.h"
#include "deep/iteration_limit.h"

#include <algorithm>
#include <cmath>

MoviePlan planMovie(int frames, double log2First, double log2Last, int frameWidth, int frameHeight)
{
    MoviePlan p;
    p.frames = std::max(1, frames);
    p.log2First = log2First;
    p.log2Last = log2Last;
    p.frameWidth = frameWidth;
    p.frameHeight = frameHeight;
    p.keyWidth = int(std::ceil(keyframeScale * frameWidth));
    // At least the frame's shape, so that a keyframe covers its frames' height too.
    p.keyHeight = int(std::ceil(double(p.keyWidth) * frameHeight / frameWidth));
    // A hair of rounding in the logarithms must not add a keyframe.
    const double octaves = p.frames == 1 ? 0 : std::fabs(log2Last - log2First);
    p.keyframes = int(std::ceil(octaves - 1e-9)) + 1;
    return p;
}

double log2Smallest(const MoviePlan& p)
{
    return p.frames == 1 ? p.log2Last : std::min(p.log2First, p.log2Last);
}

double frameLog2Extent(const MoviePlan& p, int frame)
{
    if (p.frames == 1 || frame == p.frames - 1) return p.log2Last;
    if (frame == 0) return p.log2First;
    return p.log2First + (p.log2Last - p.log2First) * frame / (p.frames - 1);
}

FrameSource frameSource(const MoviePlan& p, int frame)
{
    const double t = std::max(0.0, frameLog2Extent(p, frame) - log2Smallest(p));
    FrameSource s;
    s.inner = std::min(int(std::floor(t)), p.keyframes - 1);
    s.outer = std::min(s.inner + 1, p.keyframes - 1);
    s.within = std::clamp(t - s.inner, 0.0, 1.0);
    return s;
}

SampleMap sampleMap(const MoviePlan& p, int frame, int keyframe)
{
    const double t = frameLog2Extent(p, frame) - log2Smallest(p) - keyframe;
    SampleMap m;
    // A frame sample's side in keyframe texels.
    m.scale = std::exp2(t) * p.keyWidth / p.frameWidth;
    m.offsetX = 0.5 * p.keyWidth - m.scale * 0.5 * p.frameWidth;
    m.offsetY = 0.5 * p.keyHeight - m.scale * 0.5 * p.frameHeight;
    return m;
}

std::vector<int> keyframeOrder(const MoviePlan& p)
{
    std::vector<int> order;
    for (int k = 0; k < p.frames; ++k) {
        const FrameSource s = frameSource(p, k);
        for (int j : {s.outer, s.inner})
            if (std::find(order.begin(), order.end(), j) == order.end()) order.push_back(j);
    }
    return order;
}

double frameFootprint(const MoviePlan& p, int frame)
{
    return frameLog2Extent(p, frame) - std::log2(double(p.frameWidth));
}

double mu0Pace(const MoviePlan& p, int frame)
{
    const double step = frame > 0 ? std::fabs(frameLog2Extent(p, frame) - frameLog2Extent(p, frame - 1)) : 0;
    return 4 * 128 * step + 1;
}

CountSpread frameSpread(const CountSpread& inner, const CountSpread& outer, double within)
{
    const auto between = [within](double a, double b) {
        if (!(a < 1e299)) return b;
        if (!(b < 1e299)) return a;
        return a + (b - a) * std::clamp(within, 0.0, 1.0);
    };
    return CountSpread{between(inner.middle, outer.middle), between(inner.top, outer.top)};
}

double bendPace(const MoviePlan& p, int frame)
{
    const double step = frame > 0 ? std::fabs(frameLog2Extent(p, frame) - frameLog2Extent(p, frame - 1)) : 0;
    return 1.1 * std::exp2(2 * step);
}

ColourRange smoothMapping(const MoviePlan& p, int frame, const ColourRange& before, const ColourRange& rule)
{
    if (frame == 0) return rule;
    const double pace = mu0Pace(p, frame);
    const double factor = bendPace(p, frame), band = before.mu1 - before.mu0;
    ColourRange r;
    r.mu0 = std::clamp(rule.mu0, before.mu0 - pace, before.mu0 + pace);
    r.mu1 = r.mu0 + std::max(std::clamp(rule.mu1 - rule.mu0, band / factor, band * factor), 1.0);
    r.bend = std::clamp(rule.bend, before.bend / factor, before.bend * factor);
    return r;
}

int keyframeLimit(const MoviePlan& p, int keyframe, int given)
{
    if (given > 0) return given;
    const double footprint = log2Smallest(p) + keyframe - std::log2(double(p.frameWidth));
    return deepIterationLimit(footprint - (keyframe > 0 ? 1 : 0));
}

int frameLimit(const MoviePlan& p, int frame, int given)
{
    return given > 0 ? given : deepIterationLimit(frameFootprint(p, frame));
}
