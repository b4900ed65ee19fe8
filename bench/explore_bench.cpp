// fraktale_explore_bench: how the viewer answers while it explores deep
// views, headless, 800 x 800, as its display passes draw (a part of the
// picture in the pass's budget, then the colour pass):
// - after a wheel notch out of a deep view whose picture takes seconds,
//   and after a drag of 200 pixels there: the share of 16 x 16 blocks
//   within 16 grey levels of the finished picture 0.5 s after the change,
//   the time to the finished picture against drawing it whole, the longest
//   round; after the drag, how soon the kept pixels show in their new
//   place and whether exactly, and the finished picture against a fresh
//   start at the moved view (differences judged against MPFR);
// - the colour mapping at float and deep views, Mandelbrot and Julia: the
//   grey levels between the 5th and 95th percentile of the escaping
//   pixels with the default black-to-white table, and how much the mapping
//   moves from one wheel notch to the next, beside histogram equalisation.
// Wall-clock and the process's processor time (all threads) are printed
// both: on a busy machine the second moves less.
#include "bench/explore_bench.h"
#include "support/deep_reference.h"
#include "platform/headless_gl.h"
#include "transfer/transfer_function.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <thread>

namespace explore {

double median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : 0.5 * (values[mid - 1] + values[mid]);
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

Grey readFrame()
{
    std::vector<std::uint8_t> rgb(size_t(side) * side * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, side, side, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    Grey grey(size_t(side) * side);
    for (size_t k = 0; k < grey.size(); ++k) grey[k] = std::uint8_t((rgb[3 * k] + rgb[3 * k + 1] + rgb[3 * k + 2]) / 3);
    return grey;
}

double oneRound(ProgressivePicture& p, GLuint table, ShowState& shown, bool asked, double* showMs)
{
    const auto start = Clock::now();
    advancePicture(p, passBudgetMs);
    glFinish();
    const auto show = Clock::now();
    if (showDue(p, shown, asked)) showPicture(p, table, side, side, false);
    glFinish();
    if (showMs) *showMs += msSince(show);
    return msSince(start);
}

void runRounds(ProgressivePicture& p, GLuint table, Timeline& t)
{
    t.frames.assign(t.moments.size(), Grey{});
    const auto start = Clock::now();
    const double cpuStart = cpuSeconds();
    double reading = 0;  // ms spent reading frames back
    ShowState shown;
    for (bool first = true; !pictureFinished(p) && p.stage != ProgressivePicture::Stage::none; first = false) {
        // While the worker computes the scene the viewer looks every 10 ms.
        if (!first && waitingForScene(p) && !(p.job && p.job->done.load())) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        const int before = shown.milestones;
        const auto then = shown.at;
        t.roundMs.push_back(oneRound(p, table, shown, first, &t.showMs));
        t.longestRoundMs = std::max(t.longestRoundMs, t.roundMs.back());
        ++t.rounds;
        const bool showed = first || shown.at != then || shown.milestones != before;
        t.shows += showed;
        const double at = msSince(start) - reading;
        if (!showed || std::none_of(t.moments.begin(), t.moments.end(), [at](double m) { return at <= m; })) continue;
        const auto read = Clock::now();
        const Grey frame = readFrame();
        for (size_t k = 0; k < t.moments.size(); ++k)
            if (at <= t.moments[k]) t.frames[k] = frame;
        reading += msSince(read);
    }
    t.finishedMs = msSince(start) - reading;
    t.cpuMs = 1e3 * (cpuSeconds() - cpuStart);
    showPicture(p, table, side, side, false);
    t.last = readFrame();
}

double blocksWithin(const Grey& shown, const Grey& finished, int levels)
{
    if (shown.size() != finished.size() || shown.empty()) return 0;
    int within = 0, blocks = 0;
    for (int by = 0; by < side; by += 16)
        for (int bx = 0; bx < side; bx += 16, ++blocks) {
            long a = 0, b = 0;
            for (int y = by; y < by + 16; ++y)
                for (int x = bx; x < bx + 16; ++x) a += shown[size_t(y) * side + x], b += finished[size_t(y) * side + x];
            within += std::labs(a - b) <= long(levels) * 256;
        }
    return double(within) / blocks;
}

DeepRequest requestOf(const View& v)
{
    DeepRequest r;
    fx::requestAt(r, v.julia, v.re, v.im, v.extent, v.cre, v.cim, side, side);
    return r;
}

GLuint greyTable()
{
    TransferFunction tf;
    tf.initialiseModel(1);
    GLuint table = 0;
    glGenTextures(1, &table);
    uploadColourTexture(table, tf.colourTable);
    return table;
}

}  // namespace explore

int main(int argc, char** argv)
{
    std::string only, part;
    int checks = 300;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--view") && i + 1 < argc) only = argv[++i];
        else if (!std::strcmp(argv[i], "--only") && i + 1 < argc) part = argv[++i];
        else if (!std::strcmp(argv[i], "--checks") && i + 1 < argc) checks = std::max(0, std::atoi(argv[++i]));
        else
            return std::printf("usage: fraktale_explore_bench [--only moves|colours] [--view TEXT] [--checks N]\n"
                               "  --checks: differing pixels judged against MPFR after the drag (300)\n"), 2;
    }
    HeadlessGl gl;
    std::string error;
    if (!openHeadlessGl(gl, error) || !useHeadlessSurface(gl, explore::side, explore::side))
        return std::printf("no GL: %s\n", error.c_str()), 1;
    std::string missing;
    if (!deepSupported(missing)) return std::printf("no deep path: %s\n", missing.c_str()), 1;
    std::string model = "unknown";
    if (FILE* p = popen("lscpu | sed -n 's/^Model name: *//p'", "r")) {
        char line[256] = {};
        if (std::fgets(line, sizeof line, p)) model.assign(line, strcspn(line, "\n"));
        pclose(p);
    }
    std::printf("CPU: %s, %u threads; renderer: %s\n", model.c_str(), std::thread::hardware_concurrency(), gl.renderer.c_str());
    bool ok = true;
    if (part.empty() || part == "moves") ok = explore::runMoves(only, checks) && ok;
    if (part.empty() || part == "colours") ok = explore::runColours(only) && ok;
    closeHeadlessGl(gl);
    return ok ? 0 : 1;
}
