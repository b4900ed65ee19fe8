// What the pass benchmark prints: per view the product's limit, per program
// its times, work and resolved pixels, the speed-ups, and at the end one
// table of every view (the README's) and the targets met or missed.
#pragma once

#include "bench/counts.h"

#include <GL/glew.h>

#include <string>
#include <vector>

namespace bench {

struct Candidate {
    std::string name;
    GLhandleARB program = 0;
    bool julia = false;
};

// One view's run. The first five programs are the product, the textbook
// and early-exit loops of 256 steps, then both at the product's limit;
// candidates follow.
struct ViewResult {
    View view;
    int steps = 0;  // the product's limit (median over pixels)
    std::vector<Candidate> programs;
    std::vector<std::vector<double>> times;  // per program, per pass
    ViewCounts counts;
    std::vector<long> differing;  // per program, pixels off the first one's picture
    double ms(size_t program) const { return median(times[program]); }
    double fastest(size_t program) const { return *std::min_element(times[program].begin(), times[program].end()); }
};

void reportView(const View& v, const std::vector<float>& limits, float nominal, int steps);
void reportResult(const ViewResult& r, bool withCounts);
void reportSummary(const std::vector<ViewResult>& results);

}  // namespace bench
