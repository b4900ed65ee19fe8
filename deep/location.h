// Locations on the command line and back: the centre of a view (RE IM,
// decimals of any length) and its width along the real axis (EXTENT, with an
// exponent if wished). The height follows the window's shape. Both programs
// read the same options through readLocationOption.
#pragma once

#include "deep/deep_view.h"

#include <string>

struct Location {
    Big re, im;   // the centre
    Big extent;   // width along the real axis, positive and finite
};

struct LocationOptions {
    bool hasMandelbrot = false, hasJulia = false, hasConstant = false;
    Location mandelbrot, julia;
    Big constantRe, constantIm;
    int iterations = 0;  // --iterations N; 0 where the limit follows the view
};

// The usage lines of the four options, each ending in a line feed:
//   --mandelbrot RE IM EXTENT   ...
//   --julia RE IM EXTENT        ...
//   --constant RE IM            ...
//   --iterations N              ...
extern const char* const locationUsage;

// Reads the location option at argv[i] with its values into `options`.
// Returns how many words it took (0: argv[i] is no location option), or -1
// with `error` set to one line naming the option and the bad or missing value.
int readLocationOption(int argc, char** argv, int i, LocationOptions& options, std::string& error);

// A decimal number (sign, digits, point, exponent: "-0.7436438870371587",
// "1e-30", "2.5E+3") at a precision that holds every digit given, at least
// `minimumPrecision` bits. False for anything else, infinities and NaN included.
bool parseDecimal(const char* text, Big& value, long minimumPrecision = 64);

// Shortest-form decimal with `digits` significant digits ("-0.75", "1.5e-30").
std::string formatDecimal(const Big& value, int digits);

// The view's centre and extent, exact at the view's precision.
Location locationOf(const DeepView& view);

// The view a location gives a window of width x height pixels, at the
// precision it needs.
DeepView viewAt(const Location& location, int width, int height);

// "RE IM EXTENT" with as many digits as place the centre to a hundredth of a
// pixel of a window `pixels` wide, and the extent to 12 significant digits.
std::string formatLocation(const Location& location, int pixels);
