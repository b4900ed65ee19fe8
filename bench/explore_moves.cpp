// A wheel notch out of the seahorse valley at 1e-14 (a picture of seconds
// on a software renderer), then a drag of 200 pixels there, each followed
// by the viewer's rounds to the finished picture. See explore_bench.cpp.
#include "bench/explore_bench.h"
#include "support/deep_reference.h"
#include "transfer/transfer_function.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <random>

namespace explore {

Whole drawWhole(const DeepRequest& r)
{
    Whole w;
    DeepPrograms programs;
    programs.folder = FRAKTALE_BINARY_DIR "/";
    DeepGpuScene gpu;
    CountTarget target;
    resizeTarget(target, side, side);
    const auto start = Clock::now();
    const double cpu = cpuSeconds();
    prepareScene(r, nullptr, gpu.scene);
    uploadScene(programs, gpu);
    drawSceneCounts(gpu, target, TargetPlace{}, 0, 0, side, side);
    glFinish();
    w.ms = msSince(start);
    w.cpuMs = 1e3 * (cpuSeconds() - cpu);
    w.counts.resize(size_t(side) * side);
    readCounts(target, 0, 0, side, side, w.counts.data());
    w.scene = gpu.scene;
    releaseTarget(target);
    releaseScene(gpu);
    return w;
}

namespace {

const View seahorse{"seahorse valley, extent 1e-14", false, "-0.743643887037158704752191506114774",
                    "0.131825904205311970493132056385139", "1e-14", "0", "0"};

// The request with the finished picture's limit, which its coarse pass
// may have raised above the rule's: the picture drawn whole is drawn so.
DeepRequest atLimitOf(const ProgressivePicture& p, DeepRequest r)
{
    r.limit = p.gpu.scene.limit;
    return r;
}

std::vector<float> shownCounts(const ProgressivePicture& p)
{
    std::vector<float> counts(size_t(side) * side);
    readCounts(p.targets[p.current].counts, 0, 0, side, side, counts.data());
    return counts;
}

// The frame the coarse pass alone shows (every pixel its coarse sample's
// colour, as the splat pass puts them), from the finished counts, against
// the finished frame: what 0.5 s shows once the coarse pass is in.
double coarseOnlyBlocks(const ProgressivePicture& p, const std::vector<float>& counts)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    SampleGrid grid = p.grid;
    const Part all = wholeCoarsePass(grid);
    auto grey = [&](float mu) {
        const double x = tablePosition(mu, p.range) * 511;
        const int k = std::min(int(x), 510);
        return std::uint8_t(std::lround(255 * ((k + 1 - x) * tf.colourTable[4 * size_t(k)] + (x - k) * tf.colourTable[4 * size_t(k + 1)])));
    };
    Grey coarse(size_t(side) * side), finished(coarse.size());
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const Splat s = splatAt(all, x, y);
            const int sx = all.firstX() + s.i * coarseStep, sy = all.firstY() + s.j * coarseStep;
            coarse[size_t(y) * side + x] = grey(counts[size_t(sy) * side + sx]);
            finished[size_t(y) * side + x] = grey(counts[size_t(y) * side + x]);
        }
    return blocksWithin(coarse, finished, 16);
}

void printTimeline(const char* what, const Timeline& t, const Whole& whole)
{
    std::vector<double> rounds = t.roundMs;
    std::sort(rounds.begin(), rounds.end());
    const long over = std::count_if(rounds.begin(), rounds.end(), [](double ms) { return ms > 100; });
    std::printf("| %s | %.2f | %.0f (%d rounds, %d shown in %.0f ms) | %.0f | %.2f | %.2f | %.0f / %.0f / %.0f (%ld over 100) |\n", what,
                blocksWithin(t.frames[0], t.last, 16), t.finishedMs, t.rounds, t.shows, t.showMs, whole.ms,
                t.finishedMs / whole.ms, t.cpuMs / whole.cpuMs, median(rounds), rounds[rounds.size() * 95 / 100],
                t.longestRoundMs, over);
}

// Pixels where the finished picture and a fresh start differ by more than
// 0.01 (a float count near 5000 rounds at 0.0005, and kept pixels iterated
// from another reference round differently), and of those judged, how many
// stay put (within 0.01) when the point moves by a thousandth of a pixel:
// those two right programs should agree on.
void judgeAgainstMpfr(const DeepRequest& r, const Whole& fresh, const std::vector<float>& after, int checks)
{
    std::vector<int> differ;
    long bits = 0;
    for (int k = 0; k < side * side; ++k) {
        const float a = after[size_t(k)], b = fresh.counts[size_t(k)];
        bits += a != b;
        if ((a < 0) != (b < 0) || (a >= 0 && std::fabs(a - b) > 0.01f)) differ.push_back(k);
    }
    std::printf("finished after the drag against a fresh start: %ld of %d pixels not bit for bit\n", bits, side * side);
    std::shuffle(differ.begin(), differ.end(), std::mt19937(3));
    int judged = 0, steady = 0, nearer = 0;
    for (; judged < std::min<int>(checks, int(differ.size())); ++judged) {
        const int x = differ[size_t(judged)] % side, y = differ[size_t(judged)] / side;
        const double exact = fx::mpfrCount(r, fresh.scene, x, y);
        const bool moves = std::fabs(fx::mpfrCount(r, fresh.scene, x, y, 1e-3) - exact) > 0.01 ||
                           std::fabs(fx::mpfrCount(r, fresh.scene, x, y, -1e-3) - exact) > 0.01;
        steady += !moves;
        nearer += std::fabs(after[size_t(differ[size_t(judged)])] - exact) < std::fabs(fresh.counts[size_t(differ[size_t(judged)])] - exact);
    }
    std::printf("finished after the drag against a fresh start: %zu of %d pixels differ by more than 0.01; of %d judged by MPFR, %d keep "
                "their count within 0.01 when the point moves by 1e-3 pixel (should be 0), the kept one nearer MPFR at %d\n",
                differ.size(), side * side, judged, steady, nearer);
}

// Ten motion events of 20 pixels, a round after each, as the main loop
// takes them; then rounds to the finished picture.
void dragThere(ProgressivePicture& p, GLuint table, DeepRequest r, int checks)
{
    const std::vector<float> before = shownCounts(p);
    double longestMove = 0;
    ShowState shown;
    for (int step = 0; step < 10; ++step) {
        panDeep(r.view, -20, 0, side, side);
        const auto start = Clock::now();
        startPicture(p, r);
        oneRound(p, table, shown, true);
        longestMove = std::max(longestMove, msSince(start));
    }
    // The content moved 200 pixels to the right.
    const std::vector<float> kept = shownCounts(p);
    long moved = 0, same = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 200; x < side; ++x, ++moved) same += kept[size_t(y) * side + x] == before[size_t(y) * side + x - 200];
    std::printf("drag of 200 pixels in 10 motion events: each event to the round that shows the moved picture at most %.0f ms; "
                "%ld of %ld kept pixels show their count in the new place exactly\n", longestMove, same, moved);
    Timeline t;
    t.moments = {500};
    runRounds(p, table, t);
    const Whole fresh = drawWhole(atLimitOf(p, r));
    printTimeline("drag of 200 pixels", t, fresh);
    judgeAgainstMpfr(r, fresh, shownCounts(p), checks);
    std::printf("samples drawn after the last motion event: %ld (the uncovered strip is %d)\n", p.drawnSamples, 200 * side);
}

}  // namespace

bool runMoves(const std::string& only, int checks)
{
    if (!only.empty() && seahorse.name.find(only) == std::string::npos) return true;
    const GLuint table = greyTable();
    ProgressivePicture p;
    p.programs.folder = FRAKTALE_BINARY_DIR "/";
    DeepRequest r = requestOf(seahorse);
    startPicture(p, r);
    Timeline start;
    runRounds(p, table, start);
    std::printf("\n%s: the first picture %.0f ms in %d rounds\n\n", seahorse.name.c_str(), start.finishedMs, start.rounds);
    std::printf("| after | blocks within 16 grey levels at 0.5 s | finished ms | whole ms | x whole | x whole (processor time) | "
                "round ms: median / 95th percentile / longest |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    // A wheel notch out (a press and a release, a step each) at the centre.
    zoomDeep(r.view, 0.5f, 0.5f, ZoomDirection::out, side, side);
    zoomDeep(r.view, 0.5f, 0.5f, ZoomDirection::out, side, side);
    startPicture(p, r);
    Timeline out;
    out.moments = {500};
    runRounds(p, table, out);
    const Whole whole = drawWhole(atLimitOf(p, r));
    printTimeline("wheel notch out", out, whole);
    const std::vector<float> finished = shownCounts(p);
    std::printf("blocks within 16 grey levels once the coarse pass is shown (from the finished counts): %.2f\n",
                coarseOnlyBlocks(p, finished));
    std::printf("the finished picture against the one drawn whole: %ld pixels differ\n",
                long(std::inner_product(finished.begin(), finished.end(), whole.counts.begin(), 0L, std::plus<>(),
                                        [](float a, float b) { return a != b; })));
    dragThere(p, table, r, checks);
    releasePicture(p);
    glDeleteTextures(1, &table);
    return true;
}

}  // namespace explore
