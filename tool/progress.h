// What fraktale-render tells the terminal while it draws: a progress line
// (per cent done, time so far, time still to go) redrawn in place with a
// carriage return, for renders that take more than a second and only when
// stderr is a terminal; then one final line, wherever stderr goes.
// The text comes from plain functions of the numbers, so it is tested
// without a terminal and without waiting.
#pragma once

#include <string>

// "0:07", "12:34", "1:02:03": whole seconds, rounded down.
std::string formatDuration(double seconds);

// " 42 %  vergangen 0:12  noch etwa 0:17": the rest estimated from the
// share done so far at the pace so far; "noch etwa ?" before any is done.
std::string progressLine(double done, double elapsed);

// "fraktale-render: bild.png geschrieben, 1920x1080 Pixel, 3x3 Abtastungen je Pixel, 12.3 s"
std::string finalLine(const std::string& path, int width, int height, int samples, double seconds);

struct ProgressMeter {
    bool terminal = false;  // whether stderr is one
    double lastShown = -1;  // elapsed seconds at the last redraw, -1 before the first
    size_t shownLength = 0; // of the line on screen, to blank it out
};

// Whether to redraw at `elapsed` seconds: on a terminal, after the first
// second, at most four times a second.
bool progressDue(const ProgressMeter& meter, double elapsed);

// Redraws the line on stderr when due.
void showProgress(ProgressMeter& meter, double done, double elapsed);
// Blanks the line out, so that what follows starts on a clean line.
void clearProgress(ProgressMeter& meter);
