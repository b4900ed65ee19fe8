#include "render/deep_pass.h"
#include "deep/iteration_limit.h"
#include "render/schedule.h"

#include <algorithm>
#include <vector>

bool uploadScene(DeepPrograms& programs, DeepGpuScene& gpu)
{
    gpu.layout = layoutScene(gpu.scene, true);
    return uploadLaidOut(programs, gpu);
}

bool uploadLaidOut(DeepPrograms& programs, DeepGpuScene& gpu)
{
    const bool uploaded = uploadLayout(gpu.textures, gpu.layout);
    // llvmpipe keeps its own copy of every texture: the CPU's goes.
    std::vector<uint32_t>().swap(gpu.layout.orbit);
    std::vector<uint32_t>().swap(gpu.layout.jumps);
    gpu.program = deepProgram(programs, variantOf(gpu.scene));
    return uploaded && gpu.program != 0;
}

DeepVariant variantOf(const DeepScene& scene)
{
    DeepVariant variant;
    variant.julia = scene.julia;
    variant.skip = scene.format.skip;
    variant.wide = scene.format.wide;
    return variant;
}

void releaseScene(DeepGpuScene& gpu)
{
    releaseTextures(gpu.textures);
    gpu.program = 0;
}

void drawSceneCounts(const DeepGpuScene& gpu, const CountTarget& target, TargetPlace place, int x, int y, int w, int h)
{
    drawCounts(gpu.program, gpu.textures, gpu.layout, gpu.scene, target, place, x, y, w, h);
}

namespace {

// Draws `length` border pixels from (x, y) of the picture, along a row
// (across) or a column, into the scratch's first row or column, and returns
// their smallest escaping count.
double segmentMinimum(const DeepGpuScene& gpu, const CountTarget& scratch, int x, int y, int length, bool across)
{
    std::vector<float> counts(static_cast<size_t>(length));
    drawSceneCounts(gpu, scratch, TargetPlace{x, y}, 0, 0, across ? length : 1, across ? 1 : length);
    readCounts(scratch, 0, 0, across ? length : 1, across ? 1 : length, counts.data());
    double least = 1e300;
    for (float c : counts)
        if (c >= 0) least = std::min(least, double(c));
    return least;
}

}  // namespace

double borderMinimum(const DeepGpuScene& gpu, const CountTarget& scratch)
{
    const int w = gpu.scene.width, h = gpu.scene.height;
    double least = 1e300;
    for (int x = 0; x < w; x += scratch.width) {
        const int length = std::min(scratch.width, w - x);
        least = std::min({least, segmentMinimum(gpu, scratch, x, 0, length, true),
                          segmentMinimum(gpu, scratch, x, h - 1, length, true)});
    }
    for (int y = 0; y < h; y += scratch.height) {
        const int length = std::min(scratch.height, h - y);
        least = std::min({least, segmentMinimum(gpu, scratch, 0, y, length, false),
                          segmentMinimum(gpu, scratch, w - 1, y, length, false)});
    }
    return least;
}

SceneSetup setUpScene(DeepPrograms& programs, DeepGpuScene& gpu, DeepRequest request, const CountTarget& scratch,
                      std::vector<float>& lattice)
{
    const bool given = request.limit > 0;
    const int bound = raisedLimitBound(request.julia ? 2 : 1);
    LimitSample before;
    for (bool raised = false;; raised = true) {
        if (!prepareScene(request, nullptr, gpu.scene)) return SceneSetup::tooDeep;
        if (!uploadScene(programs, gpu)) return SceneSetup::noPrograms;
        lattice = latticeCounts(gpu, scratch);
        if (given) return SceneSetup::ok;
        const LimitSample now = tallyCounts(lattice.data(), lattice.size());
        request.limit = raisedLimit(gpu.scene.limit, now, raised ? &before : nullptr, bound);
        if (request.limit <= gpu.scene.limit) return SceneSetup::ok;
        before = now;
        releaseScene(gpu);
    }
}

int latticeStride(int width, int height)
{
    int stride = coarseStep;
    while (std::max(width, height) > 128 * stride) stride *= 2;
    // Small pictures sample closer: their 99th percentile needs samples too.
    while (stride > 1 && long(width / stride) * long(height / stride) < latticeSamples) stride /= 2;
    return stride;
}

CountSpread latticeSpreadOf(const std::vector<float>& counts, int width, int height)
{
    const int stride = latticeStride(width, height);
    std::vector<float> sample;
    for (int y = coarsePhase(height); y < height; y += stride)
        for (int x = coarsePhase(width); x < width; x += stride) sample.push_back(counts[size_t(y) * width + x]);
    return countSpread(sample);
}

std::vector<float> latticeCounts(const DeepGpuScene& gpu, const CountTarget& scratch)
{
    const int W = gpu.scene.width, H = gpu.scene.height;
    const int stride = latticeStride(W, H);
    const int x0 = coarsePhase(W), y0 = coarsePhase(H);
    const int across = (W - x0 + stride - 1) / stride, up = (H - y0 + stride - 1) / stride;
    std::vector<float> counts, piece;
    if (scratch.width <= 0 || scratch.height <= 0) return counts;  // else the pieces never advance
    for (int j = 0; j < up; j += scratch.height)
        for (int i = 0; i < across; i += scratch.width) {
            const int w = std::min(scratch.width, across - i), h = std::min(scratch.height, up - j);
            piece.resize(size_t(w) * size_t(h));
            drawSceneCounts(gpu, scratch, TargetPlace{x0 + i * stride, y0 + j * stride, stride}, 0, 0, w, h);
            readCounts(scratch, 0, 0, w, h, piece.data());
            counts.insert(counts.end(), piece.begin(), piece.end());
        }
    return counts;
}
