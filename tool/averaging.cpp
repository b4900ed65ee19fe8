// The box average. A sum of N x N bytes is at most 255 N^2 (65280 for
// N = 16), so the rounded mean of every possible sum is worked out once, by
// exact integer division, and looked up per channel instead of dividing
// every channel of every pixel again.
#include "tool/averaging.h"

#include <algorithm>

void startBoxAverage(BoxAverage& box, int width, int samples)
{
    box.width = width;
    box.samples = samples;
    box.rowsIn = 0;
    box.sums.assign(static_cast<size_t>(width) * 3, 0);
    const uint32_t count = uint32_t(samples) * uint32_t(samples);
    box.mean.resize(255 * count + 1);
    for (uint32_t sum = 0; sum < box.mean.size(); ++sum) box.mean[sum] = static_cast<unsigned char>((sum + count / 2) / count);
}

bool addSampleRow(BoxAverage& box, const unsigned char* samples, unsigned char* pixels)
{
    const int n = box.samples;
    // One sample a pixel: the row is the pixels (a fifth of a 16384^2 picture's time went to summing it).
    if (n == 1) return std::copy_n(samples, box.sums.size(), pixels), true;
    for (int x = 0; x < box.width; ++x)
        for (int s = 0; s < n; ++s)
            for (int c = 0; c < 3; ++c) box.sums[size_t(x) * 3 + c] += samples[(size_t(x) * n + s) * 3 + c];
    if (++box.rowsIn < n) return false;
    for (size_t i = 0; i < box.sums.size(); ++i) pixels[i] = box.mean[box.sums[i]];
    std::fill(box.sums.begin(), box.sums.end(), 0u);
    box.rowsIn = 0;
    return true;
}
