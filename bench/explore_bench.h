// What fraktale_explore_bench's parts share: the rounds of the viewer's
// main loop as it draws a deep picture (a part of the picture, then the
// colour pass), the frames they show, and how a frame compares with the
// finished one.
#pragma once

#include "render/progressive.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace explore {

constexpr int side = 800;  // the viewer's window, both axes

using Clock = std::chrono::steady_clock;
inline double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}
double median(std::vector<double> values);
double cpuSeconds();  // of the whole process, every thread

// A shown frame: its grey levels (the mean of R, G and B), row 0 at the bottom.
using Grey = std::vector<std::uint8_t>;
Grey readFrame();

// The viewer's rounds from a change of view until the picture is finished:
// the frame shown by the last round that ended by each moment asked for,
// the time from the change to the finished picture and the longest round
// (reading frames back left out of every figure).
struct Timeline {
    std::vector<double> moments;  // ms after the change
    std::vector<Grey> frames;     // one per moment, empty when no round had ended
    double finishedMs = 0, longestRoundMs = 0, cpuMs = 0, showMs = 0;
    std::vector<double> roundMs;
    int rounds = 0, shows = 0;
    Grey last;  // the finished picture as shown
};
void runRounds(ProgressivePicture& p, GLuint table, Timeline& t);

// One round as the viewer's display pass has it: advance, then show where
// the viewer would (always where `asked`, as after input).
double oneRound(ProgressivePicture& p, GLuint table, ShowState& shown, bool asked, double* showMs = nullptr);

// The share of 16 x 16 blocks whose mean grey is within `levels` of the
// finished frame's.
double blocksWithin(const Grey& shown, const Grey& finished, int levels);

// A picture drawn whole, as the render tool draws it (the scene, then every
// pixel in one pass), and how long that took.
struct Whole {
    double ms = 0, cpuMs = 0;
    DeepScene scene;
    std::vector<float> counts;
};
Whole drawWhole(const DeepRequest& request);  // explore_moves.cpp

// A view of the benchmark, at 800 x 800.
struct View {
    std::string name;
    bool julia;
    const char *re, *im, *extent, *cre, *cim;
};
DeepRequest requestOf(const View& view);

// The default black-to-white table (window 1's) on a texture.
GLuint greyTable();

bool runMoves(const std::string& only, int checks);  // explore_moves.cpp
bool runColours(const std::string& only);            // explore_colours.cpp

}  // namespace explore
