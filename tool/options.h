// The command line of fraktale-render, read into a plain struct and checked
// whole before anything is drawn or opened:
//   fraktale-render mandelbrot|julia [--mandelbrot RE IM EXTENT | --julia RE IM EXTENT]
//                   [--constant RE IM] [--size WxH] [--samples N] [--colours FILE.tfc]
//                   [--verbose] -o OUT.png|OUT.tif|OUT.tiff
// Each option is one word followed by its values as words of their own. The
// location options are read by the viewer's own reader (deep/location.h),
// handed in as `readLocation`, so that the numbers are read the one way
// both programs share and the words around them can be tested apart.
// Messages are single German lines without the program's name.
#pragma once

#include "screenshot/image_stream.h"

#include <functional>
#include <string>
#include <vector>

constexpr int maximumSide = 16384;
constexpr int maximumSamples = 16;

struct RenderOptions {
    bool julia = false;
    int width = 800, height = 800;   // pixels of the picture written
    int samples = 1;                 // N: N x N samples averaged into each pixel
    std::string coloursPath;         // empty: the window's default transfer function
    std::string output;
    ImageFormat format = ImageFormat::unknown;
    bool verbose = false;
    std::vector<std::string> locationOptions;  // those given, by name ("--julia")
};

enum class Parsed { render, help, usageError };

// Reads the location option at argv[i] as readLocationOption does, into
// the caller's LocationOptions: words taken, 0 for none, -1 with `error`.
using LocationReader = std::function<int(int argc, char** argv, int i, std::string& error)>;

// `help` for --help or -h anywhere; `usageError` with `error` naming the
// first problem: a missing or unknown fractal word, an unknown option, a
// missing or bad value, no -o, an output of no known format, or a location
// option of the other fractal (--julia or --constant with mandelbrot,
// --mandelbrot with julia).
Parsed parseOptions(int argc, char** argv, const LocationReader& readLocation, RenderOptions& options,
                    std::string& error);

// The colour table (512 RGBA texels) of the .tfc file, read and checked as
// the viewer loads one, or of the fractal window's default function; false
// with `error` when the file is missing or not a valid .tfc file.
bool loadColourTable(const RenderOptions& options, std::vector<float>& table, std::string& error);
