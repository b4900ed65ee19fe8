#include "deep/iteration_limit.h"
#include "deep/colour_depth.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>

int deepIterationLimit(double log2Footprint)
{
    return iterationLimit(log2Footprint, maximumIterations);
}

int limitWithinMemory(int limit, int references, double memoryBytes)
{
    const double steps = 0.5 * memoryBytes / (bytesPerStep * std::max(references, 1));
    if (!(steps < double(limit))) return limit;
    return std::max(4, 4 * int(std::floor(steps / 4)));
}

double physicalMemoryBytes()
{
    const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGE_SIZE);
    // Unknown: as if 4 GiB, which every machine that draws deep views has.
    if (pages <= 0 || size <= 0) return 4.0 * (1 << 30);
    return double(pages) * double(size);
}

int raisedLimitBound(int references)
{
    return limitWithinMemory(maximumIterations, references, physicalMemoryBytes());
}

LimitSample tallyCounts(const float* counts, size_t n)
{
    LimitSample s;
    for (size_t k = 0; k < n; ++k) {
        if (counts[k] >= 0) ++s.escaped;
        else if (counts[k] > -1.5f) ++s.interior;
        else ++s.unresolved;
    }
    return s;
}

namespace {

double shareUnresolved(const LimitSample& s)
{
    return s.total() > 0 ? double(s.unresolved) / double(s.total()) : 0.0;
}

}  // namespace

int raisedLimit(int limit, const LimitSample& now, const LimitSample* before, int bound)
{
    if (shareUnresolved(now) <= unresolvedShare || limit >= bound) return limit;
    const bool blank = now.escaped == 0 && now.interior == 0;
    if (before && !blank && shareUnresolved(now) > 0.5 * shareUnresolved(*before)) return limit;
    const double raised = 4.0 * double(limit);
    return raised >= double(bound) ? bound : 4 * (int(raised) / 4);
}
