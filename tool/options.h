// The command line of fraktale-render, read into a plain struct and checked
// whole before anything is drawn or opened:
//   fraktale-render mandelbrot|julia [--mandelbrot RE IM EXTENT | --julia RE IM EXTENT]
//                   [--constant RE IM] [--size WxH] [--samples N] [--colours FILE.tfc]
//                   [--verbose] -o OUT.png|OUT.tif|OUT.tiff
// or a zoom movie, with --zoom-from EXTENT0 --frames N [--fps F] and
//                   -o OUT.mp4 | -o FOLDER/NAME-%05d.png
// Each option is one word followed by its values as words of their own. The
// location options are read by the viewer's own reader (deep/location.h),
// handed in as `readLocation`, so that the numbers are read the one way
// both programs share and the words around them can be tested apart.
// Messages are single German lines without the program's name.
#pragma once

#include "deep/big.h"
#include "screenshot/image_stream.h"

#include <functional>
#include <string>
#include <vector>

constexpr int maximumSide = 16384;
constexpr int maximumSamples = 16;
constexpr int maximumFrames = 1000000;
constexpr double maximumFps = 1000;
// A movie frame's samples along a side (pixels times N): its keyframes
// are textures of that size at least.
constexpr int maximumMovieSamples = 8192;

// What -o names: a picture, an H.264 movie, or a movie's frames as PNG
// files numbered through one printf-like %d (%05d: five digits, zeros in
// front), the first frame 0.
enum class OutputKind { unknown, picture, mp4, pngFrames };
OutputKind outputKindOf(const std::string& path);

// The file of frame `number` of a pattern (outputKindOf gave pngFrames).
std::string frameFileName(const std::string& pattern, int number);

struct RenderOptions {
    bool julia = false;
    int width = 800, height = 800;   // pixels of the picture written
    int samples = 1;                 // N: N x N samples averaged into each pixel
    std::string coloursPath;         // empty: the window's default transfer function
    std::string output;
    ImageFormat format = ImageFormat::unknown;
    bool verbose = false;
    std::vector<std::string> locationOptions;  // those given, by name ("--julia")
    // A movie: frames > 0.
    OutputKind kind = OutputKind::unknown;
    int frames = 0;
    Big zoomFrom;          // EXTENT0, the extent of frame 0; 0 when not given
    double fps = 30;
    bool fpsGiven = false;
};

enum class Parsed { render, help, usageError };

// Reads the location option at argv[i] as readLocationOption does, into
// the caller's LocationOptions: words taken, 0 for none, -1 with `error`.
using LocationReader = std::function<int(int argc, char** argv, int i, std::string& error)>;

// `help` for --help or -h anywhere; `usageError` with `error` naming the
// first problem: a missing or unknown fractal word, an unknown option, a
// missing or bad value, no -o, an output of no known format, a location
// option of the other fractal (--julia or --constant with mandelbrot,
// --mandelbrot with julia), movie options without a movie's output or the
// reverse, an MP4 of odd width or height, or movie frames of more than
// maximumMovieSamples samples a side.
Parsed parseOptions(int argc, char** argv, const LocationReader& readLocation, RenderOptions& options,
                    std::string& error);

// The colour table (512 RGBA texels) of the .tfc file, read and checked as
// the viewer loads one, or of the fractal window's default function; false
// with `error` when the file is missing or not a valid .tfc file.
bool loadColourTable(const RenderOptions& options, std::vector<float>& table, std::string& error);
