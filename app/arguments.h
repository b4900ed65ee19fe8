// The viewer's command line: GLUT's own options first (freeglut takes them
// in glutInit), then locations, which open the windows there:
//   fraktale [--mandelbrot RE IM EXTENT] [--julia RE IM EXTENT] [--constant RE IM] [--iterations N]
// Read before glutInit, so that --help and a bad value need no display and
// open no window. And back: the options that reopen both windows where they
// are now.
#pragma once

#include "deep/location.h"

#include <string>

enum class ViewerStart { run, help, error };

extern const char* const viewerUsage;

// `error` names the first bad, missing or unknown word (one German line).
ViewerStart readViewerArguments(int argc, char** argv, LocationOptions& options, std::string& error);

// "--mandelbrot RE IM EXTENT --julia RE IM EXTENT --constant RE IM" for
// the windows and the constant as they are, and " --iterations N" where
// the limit was given.
std::string currentLocations();

// Opens the windows at the locations given (before the first pass).
void applyLocations(const LocationOptions& options);
