// N x N samples averaged into one pixel while the sample rows stream past:
// N sample rows (width x N samples each) make one output row (width pixels).
// Only one row of running sums is kept, never the picture.
//
// Each channel is the box average of its N x N 8-bit samples rounded to
// the nearest integer, halves upwards, from exact integer sums: the result
// equals an N-times larger one-sample picture reduced by N x N boxes.
#pragma once

#include <cstdint>
#include <vector>

struct BoxAverage {
    int width = 0;    // pixels per output row
    int samples = 1;  // N
    int rowsIn = 0;   // sample rows of the band so far, 0 to N - 1
    std::vector<uint32_t> sums;  // width x 3 channel sums of the band
    std::vector<unsigned char> mean;  // rounded mean of every possible sum
};

void startBoxAverage(BoxAverage& box, int width, int samples);

// Adds one sample row of width x N x 3 bytes. True when it completes an
// output row, which is then in `pixels` (width x 3 bytes).
bool addSampleRow(BoxAverage& box, const unsigned char* samples, unsigned char* pixels);
