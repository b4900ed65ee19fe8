// What the benchmark's parts share: its options, the pass size, the views
// and the timing helpers. Every figure is printed as one line of text.
#pragma once

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace bench {

constexpr int passSize = 800;  // the viewer's default window, both axes
constexpr int pixelCount = passSize * passSize;

struct Options {
    int passes = 15;
    std::string viewer;    // path of the fraktale binary
    std::string glslDir;   // folder holding the six .glsl files
    bool runPasses = true;
    bool runIdle = true;
    bool runWheel = false;
    int wheelNotches = 6;
    double idleSeconds = 3.0;
    std::vector<std::string> candidates;  // fragment programs to time beside the product's
    std::string view;                     // only the views whose name holds this
    std::string only;                     // only the programs whose name holds this, without counts
};

// Bounds are kept as floats, as FractalWindow keeps them, so the quad gets
// exactly the texture coordinates the viewer would give it.
struct View {
    std::string name;
    bool julia;
    float left, right, bottom, top;
    float cr, ci;
};

using Clock = std::chrono::steady_clock;

inline double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

template <typename T>
double median(std::vector<T> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : 0.5 * (values[mid - 1] + values[mid]);
}

// The timed passes of the product's programs beside the yardsticks; false
// when a program does not build or GL reports an error.
bool runPassBenchmark(const Options& o, const std::string& glslDir);

// The running viewer's idle CPU share and, if asked, its wheel latency.
void runViewerBenchmarks(const Options& o, const std::string& viewer);

}  // namespace bench
