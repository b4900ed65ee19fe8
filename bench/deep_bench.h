// What fraktale_deep_bench's parts share: options, the views and timing.
#pragma once

#include "render/progressive.h"

#include <chrono>
#include <string>
#include <vector>

namespace deepbench {

struct Options {
    std::string only;    // only views whose name holds this
    std::string viewer;  // the viewer binary, for the Esc figure (needs a display)
    int repeats = 3;
    int samples = 200;   // pixels checked against MPFR per view
    bool memory = false; // the peak memory at a limit of 10,000,000
    std::string format;  // "floats" or "doubles": every view in that format, not the rule's
};

struct DeepView {
    std::string name;
    bool julia;
    const char *re, *im, *extent, *cre, *cim;
    bool ruleLimit = false;  // the rule's limit without its cap, asked for in the request
    int samples = 0;         // pixels checked against MPFR, where fewer than the option's (0: the option's)
};

const std::vector<DeepView>& deepViews();

using Clock = std::chrono::steady_clock;
inline double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU milliseconds of the whole process, every thread (llvmpipe's too).
double cpuMs();

std::string loadAverage();
double median(std::vector<double> values);

// The request of a view at 800 x 800.
DeepRequest requestOf(const DeepView& view);

bool runDeepViews(const Options& o);   // deep_views.cpp
void runCpuExplorer(const Options& o); // cpu_explorer.cpp
void runMemory(const Options& o);      // deep_memory.cpp
int drawWithLimit(int limit);          // deep_memory.cpp: the child's part
bool runFloatViews(const Options& o);  // float_views.cpp
void runEscLatency(const Options& o);  // esc_latency.cpp

}  // namespace deepbench
