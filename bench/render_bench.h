// The parts of fraktale_render_bench (render_bench.cpp says what it
// measures): the render tool as a process and the machine around it
// (render_bench_tool.cpp), and the GL side in this process's own headless
// context (render_bench_gl.cpp): what a pixel costs the viewer at a
// picture's view and pixel size, from 800 x 800 windows of that picture,
// and the tool's drawing alone (renderPicture without averaging, encoder or
// file).
#pragma once

#include "deep/location.h"
#include "render/float_pass.h"
#include "render/progressive.h"

#include <GL/glew.h>

#include <string>
#include <utility>
#include <vector>

namespace renderbench {

struct ToolRun {
    double seconds = 0, cpuSeconds = 0;  // wall clock, and user + system
    double peakMiB = 0;                  // ru_maxrss
    bool ok = false;                     // exit status 0
};

// Runs `tool` with `args` from the tool's own folder, its output and errors
// into the file `log`, and waits for it.
ToolRun runTool(const std::string& tool, const std::vector<std::string>& args, const std::string& log);

// The peak wait4 reports for a process includes the resident set of the
// process it was forked from, up to its exec (Linux keeps the larger across
// exec), and this one holds a GL context and whole pictures. So runTool
// starts a fresh copy of this program, small as it starts:
//     fraktale_render_bench --spawn REPORT LOG TOOL ARGS...
// forks the tool from there, waits for it with wait4 and writes the
// figures to REPORT; main hands such a command line here first thing.
int spawnTool(int argc, char** argv);

// Largest |N^2 a - sum| over every channel of every pixel, where a is a
// value of the averaged TIFF and sum the N x N box of the N-times larger
// one's; -1 when either does not read as 8-bit RGB or the sizes disagree.
int worstBoxError(const std::string& averagedTiff, const std::string& largeTiff, int n);

std::string cpuModel();  // lscpu's "Model name"
std::string loadAverage();  // /proc/loadavg's three figures
// CPU seconds the whole machine was busy, all cores together, and those of
// this process and its waited-for children.
double machineBusySeconds();
double ownCpuSeconds();

double median(std::vector<double> values);

constexpr int windowSide = 800;  // the viewer's default window

// A picture of width x height samples as the viewer would draw it, cut into
// a grid of windows.
struct ViewerCase {
    int width = 0, height = 0;
    bool deep = false;
    int limit = 0;                // the iteration limit at the picture's pixel size
    Location location;
    DeepView view;                // the whole picture
    PlaneRect plane{};            // float: the picture's bounds as floats
    GLhandleARB program = 0;      // float: the Mandelbrot program
    GLuint table = 0;             // the colour table the path reads
    ProgressivePicture picture;   // deep: the viewer's progressive picture, reused window after window
    std::vector<std::pair<int, int>> windows;  // bottom-left corners, in samples
};

// Opens the context with an 800 x 800 pbuffer; false with `error`.
bool openViewerContext(std::string& renderer, std::string& error);
void closeViewerContext();

// The Mandelbrot view at centre re + i im and real width `extent`
// (decimals, as on the render tool's command line) at width x height
// samples, with a grid x grid of windows spread over it (0: as many as
// cover it).
bool prepareViewerCase(ViewerCase& c, const char* re, const char* im, const char* extent, int width, int height,
                       int grid, const std::string& glslFolder, std::string& error);
void releaseViewerCase(ViewerCase& c);

// Each window drawn once, in milliseconds; for a deep case `sceneMs`
// receives each window's reference orbit time (part of its milliseconds),
// and `readMs` each window's glReadPixels as RGB bytes afterwards (not
// part of it). False when a window could not be drawn.
bool timeWindows(ViewerCase& c, std::vector<double>& ms, std::vector<double>& sceneMs, std::vector<double>& readMs);

// The whole picture as the tool draws it, at the tool's tile size, its rows
// handed to a sink that keeps nothing, or that only averages them N x N
// as the tool does (averageSamples N; 0: not even that): seconds, or -1
// when it failed.
double renderInProcess(const ViewerCase& c, const std::string& glslFolder, int averageSamples);

}  // namespace renderbench
