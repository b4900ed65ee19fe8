// How many steps a deep picture's pixels may take: the rule that follows
// the pixel's size (no cap but memory), a limit given by the user, and the
// automatic limit that follows the picture itself. No GL here: the render
// tool and the viewer count a sample of the picture's pixels (its border, a
// coarse pass) and ask raisedLimit whether to draw it again with more.
//
// Counts as the count pass writes them: mu >= 0 for a pixel that escaped,
// -1 where its orbit was recognised as interior, -2 where it reached the
// limit without either. Only the last kind says anything about the limit:
// a larger one might resolve it.
#pragma once

#include <cstddef>

// The largest limit `--iterations` takes; memory bounds what is drawn.
constexpr int maximumIterations = 1000000000;

// Bytes a step of the limit may cost while a picture is shown (its
// reference orbit and jump tables), for each reference the picture has.
constexpr double bytesPerStep = 64;

// The float programs' rule without their cap: 260 at a footprint of 3/800,
// 128 more for every halving below it, a multiple of 4, and never more than
// maximumIterations (for footprints past any memory).
int deepIterationLimit(double log2Footprint);

// The largest limit whose references (1 or 2) take at most half of the
// machine's memory at bytesPerStep; `limit` itself when it is within that.
int limitWithinMemory(int limit, int references, double memoryBytes);
double physicalMemoryBytes();

// The most an automatic limit is raised to on this machine.
int raisedLimitBound(int references);

// What a sample of a picture's counts says about its limit.
struct LimitSample {
    long escaped = 0, interior = 0, unresolved = 0;
    long total() const { return escaped + interior + unresolved; }
};
LimitSample tallyCounts(const float* counts, size_t n);

// The share of unresolved pixels a picture may keep: a thousandth of the
// sample, less than a pixel of a coarse pass in a thousand.
constexpr double unresolvedShare = 1e-3;

// The limit to draw the picture with next, given the sample drawn at
// `limit`: four times as many steps while more than unresolvedShare of the
// sample is unresolved, up to `bound`; `limit` itself when the sample is
// resolved, or when the last raise (from a sample `before` it, or null)
// did not resolve at least half of what was unresolved then and something
// of the picture is resolved: those pixels are interior points whose cycle
// the test does not catch, and a larger limit only makes them slower. A
// blank (nothing escaped, nothing recognised inside) is raised until it
// shows something: next to a parabolic point, say, every pixel escapes
// after a hundred thousand steps, and a raise by four resolves nothing
// until the limit passes them.
int raisedLimit(int limit, const LimitSample& now, const LimitSample* before, int bound);
