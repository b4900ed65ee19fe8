// Bands of counts, each ended with glFinish: without it the driver queues
// the bands and draws them all at the read-back, and the progress would
// again come once a tile.
#include "render/parts.h"

#include <algorithm>
#include <chrono>

int nextPartRows(int rows, double seconds)
{
    if (seconds < partSeconds / 2) return rows * 2;
    if (seconds > partSeconds * 2) return std::max(1, rows / 2);
    return rows;
}

int firstPartRows(int width)
{
    return std::max(1, 16384 / std::max(1, width));
}

void drawCountsInParts(const DeepGpuScene& gpu, const CountTarget& target, TargetPlace place, int w, int h, int& rows,
                       const PartDone& done)
{
    if (rows < 1) rows = firstPartRows(w);
    for (int y = 0; y < h;) {
        const int n = std::min(rows, h - y);
        const auto start = std::chrono::steady_clock::now();
        drawSceneCounts(gpu, target, place, 0, y, w, n);
        glFinish();
        rows = nextPartRows(rows, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        y += n;
        if (done) done(double(w) * n);
    }
}
