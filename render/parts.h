// A deep picture's counts drawn in bands of rows, each one waited for, so
// that a long picture tells its progress every fraction of a second rather
// than once a tile (a 2048 x 2048 tile of a deep view can take half a
// minute on llvmpipe). The band height follows the time the last band took,
// doubling or halving towards a quarter of a second; the counts do not
// depend on it, each fragment's pixel offset being a whole number.
#pragma once

#include "render/deep_pass.h"

#include <functional>

constexpr double partSeconds = 0.25;

// How many rows the next band gets, given the last band's rows and seconds:
// twice as many when it took under half the budget, half (at least one)
// when it took over twice the budget, else as many.
int nextPartRows(int rows, double seconds);

// Rows of the first band of a w pixels wide picture: about 16384 pixels.
int firstPartRows(int width);

// Told the pixels of each band drawn.
using PartDone = std::function<void(double pixels)>;

// The counts of the picture's pixels [place.x, place.x + w) x [place.y,
// place.y + h) into the target's pixels [0, w) x [0, h), band after band
// from the bottom; `rows` carries the band height from one call to the next.
void drawCountsInParts(const DeepGpuScene& gpu, const CountTarget& target, TargetPlace place, int w, int h, int& rows,
                       const PartDone& done);
