// fraktale_render_bench: what a picture costs the render tool per sample,
// beside what a pixel costs the viewer at the same view and pixel size.
//
// fraktale-render runs as a user runs it, from the build folder, once per
// case and output: PNG, TIFF, and PNG written into /dev/null through a link
// (the tool writes devices in place), which keeps the encoder and leaves
// out the disk (libtiff seeks, so a TIFF cannot go there). Time is the wall
// clock around the process, peak memory its ru_maxrss from wait4 (taken
// where a small process starts it, see spawnTool). To tell
// where the tool's time goes beyond the viewer's, also: a 16 x 16 picture
// (start-up, context, programs) and the tool's drawing alone, renderPicture
// in this process into a sink that keeps nothing (tiles and their read-back,
// no averaging, encoder or file) or only averages, and glReadPixels of the viewer's windows
// as RGB bytes, which the tool adds to every tile. The viewer's figure is
// its window's pass over 800 x 800 windows covering the same picture, so
// over the same samples (render_bench_gl.cpp). Each
// round runs every tool case and every viewer window once, so that a load
// from others weighs on both alike; figures are medians over the rounds.
// Last, whether averaging is exact: N x N samples per pixel against an
// N-times larger one-sample picture reduced by N x N box sums.
//
// Limits: the tool's time includes its fixed start-up, which weighs only on
// small pictures; a PNG's time includes the PNG encoder; where a side is
// no multiple of 800, neighbouring windows overlap by a few samples, which
// then count twice in the viewer's figure; peak memory is the resident set's, the GL driver's included. Figures from
// a loaded machine are slower and noisier: the last lines say how loaded.
#include "bench/render_bench.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace renderbench {
namespace {

namespace fs = std::filesystem;

struct Options {
    int rounds = 3;
    int grid = 0;  // windows per axis; 0: as many as cover the picture
    bool large = true;
    std::string tool, glsl;
};

struct Case {
    std::string name;
    bool startView;  // given to the tool without a location, as a user would ask for it
    const char *re, *im, *extent;
    int width, height, samples;  // pixels, and N for N x N samples
    double sampleCount() const { return double(width) * height * samples * samples; }
};

struct Output {
    const char* label;
    const char* file;
    bool toDisk;  // else a link to /dev/null
};

const Output outputs[] = {{"png", "picture.png", true}, {"tif", "picture.tif", true}, {"png > /dev/null", "null.png", false}};

struct Measured {
    ViewerCase viewer;
    std::vector<std::vector<ToolRun>> runs;     // [output][round]
    std::vector<double> fileMiB;                // [output]
    std::vector<std::vector<double>> windowMs;  // [window][round]
    std::vector<double> sceneMs;                // every deep window of every round
    std::vector<double> readMs;                 // every window of every round
    std::vector<double> drawSeconds;            // renderPicture alone, per round
    std::vector<double> averageSeconds;         // renderPicture and the averaging, per round
};

std::vector<Case> benchCases(const Options& o)
{
    std::vector<Case> c{{"start view", true, "-0.5", "0", "3", 3840, 2160, 3}};
    if (o.large) c.push_back({"start view", true, "-0.5", "0", "3", 16384, 16384, 1});
    c.push_back({"deep: 0 + 1i, extent 1e-30", false, "0", "1", "1e-30", 1920, 1080, 2});
    return c;
}

std::vector<std::string> toolArgs(const Case& c, int width, int height, int samples, const std::string& out)
{
    std::vector<std::string> a{"mandelbrot"};
    if (!c.startView) a.insert(a.end(), {"--mandelbrot", c.re, c.im, c.extent});
    a.insert(a.end(), {"--size", std::to_string(width) + "x" + std::to_string(height), "--samples",
                       std::to_string(samples), "-o", out});
    return a;
}

// One tool run into `folder`; a file written there is measured and removed
// at once (a 16384 x 16384 TIFF takes 768 MiB).
ToolRun runCase(const Options& o, const Case& c, const Output& out, const fs::path& folder, double& fileMiB)
{
    const fs::path target = folder / out.file, log = folder / "tool.log";
    const ToolRun run = runTool(o.tool, toolArgs(c, c.width, c.height, c.samples, target), log);
    if (!run.ok) {
        std::ifstream text(log);
        std::printf("%s, %d x %d, %s: the tool failed: %s\n", c.name.c_str(), c.width, c.height, out.label,
                    std::string(std::istreambuf_iterator<char>(text), {}).c_str());
    }
    if (out.toDisk && fs::exists(target)) {
        fileMiB = double(fs::file_size(target)) / (1 << 20);
        fs::remove(target);
    }
    return run;
}

bool prepare(const Options& o, const Case& c, Measured& m)
{
    std::string error;
    if (!prepareViewerCase(m.viewer, c.re, c.im, c.extent, c.width * c.samples, c.height * c.samples, o.grid, o.glsl,
                           error))
        return std::printf("viewer: %s\n", error.c_str()), false;
    m.runs.resize(std::size(outputs));
    m.fileMiB.assign(std::size(outputs), -1);
    m.windowMs.resize(m.viewer.windows.size());
    // A program's first pass compiles llvmpipe's code for it: untimed.
    std::vector<double> ms, scene, read;
    return timeWindows(m.viewer, ms, scene, read) || (std::printf("viewer: a window failed to draw\n"), false);
}

bool measureCase(const Options& o, const Case& c, Measured& m, const fs::path& folder)
{
    std::fprintf(stderr, "  %d x %d, %d x %d samples\n", c.width, c.height, c.samples, c.samples);
    for (size_t k = 0; k < std::size(outputs); ++k) m.runs[k].push_back(runCase(o, c, outputs[k], folder, m.fileMiB[k]));
    m.drawSeconds.push_back(renderInProcess(m.viewer, o.glsl, 0));
    m.averageSeconds.push_back(renderInProcess(m.viewer, o.glsl, c.samples));
    if (m.drawSeconds.back() < 0 || m.averageSeconds.back() < 0)
        return std::printf("renderPicture failed in this process\n"), false;
    std::vector<double> ms, scene, read;
    if (!timeWindows(m.viewer, ms, scene, read)) return std::printf("viewer: a window failed to draw\n"), false;
    for (size_t w = 0; w < ms.size(); ++w) m.windowMs[w].push_back(ms[w]);
    if (m.viewer.deep) m.sceneMs.insert(m.sceneMs.end(), scene.begin(), scene.end());
    m.readMs.insert(m.readMs.end(), read.begin(), read.end());
    return true;
}

bool measure(const Options& o, const std::vector<Case>& cases, std::vector<Measured>& m, const fs::path& folder,
             std::vector<double>& startup)
{
    for (size_t i = 0; i < cases.size(); ++i)
        if (!prepare(o, cases[i], m[i])) return false;
    const Case tiny{"16 x 16", true, "", "", "", 16, 16, 1};
    for (int r = 0; r < o.rounds; ++r) {
        std::fprintf(stderr, "round %d of %d\n", r + 1, o.rounds);
        double unused = 0;
        startup.push_back(runCase(o, tiny, outputs[1], folder, unused).seconds);
        for (size_t i = 0; i < cases.size(); ++i)
            if (!measureCase(o, cases[i], m[i], folder)) return false;
    }
    return true;
}

// The mean over the windows of each one's median, in ns per pixel, with
// the cheapest and the dearest window.
double viewerNsPerPixel(const Measured& m, double& fastest, double& slowest)
{
    const double nsPerMs = 1e6 / (double(windowSide) * windowSide);
    double sum = 0;
    fastest = 1e300, slowest = 0;
    for (const std::vector<double>& w : m.windowMs) {
        const double ns = median(w) * nsPerMs;
        sum += ns, fastest = std::min(fastest, ns), slowest = std::max(slowest, ns);
    }
    return sum / double(m.windowMs.size());
}

double viewerNsPerPixel(const Measured& m)
{
    double fastest, slowest;
    return viewerNsPerPixel(m, fastest, slowest);
}

std::string cell(double value, const char* format)
{
    if (value < 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void printViewer(const std::vector<Case>& cases, const std::vector<Measured>& m)
{
    std::printf("\nViewer: its window's pass at the picture's sample size over windows of 800 x 800 spread across "
                "the picture, each window the median of the rounds; beside it, what reading a window back as RGB "
                "bytes costs (glReadPixels, as the tool does with each tile):\n\n");
    std::printf("| picture | samples | path | limit | windows | ns per pixel, mean | fastest / slowest window | "
                "reference orbit ms per window | glReadPixels ns per pixel |\n|---|---|---|---|---|---|---|---|---|\n");
    for (size_t i = 0; i < cases.size(); ++i) {
        const ViewerCase& v = m[i].viewer;
        double fastest, slowest;
        const double ns = viewerNsPerPixel(m[i], fastest, slowest);
        std::printf("| %s | %d x %d | %s | %d | %zu | %.2f | %.2f / %.2f | %s | %.2f |\n", cases[i].name.c_str(),
                    v.width, v.height, v.deep ? "deep (progressive picture)" : "float pass", v.limit, v.windows.size(),
                    ns, fastest, slowest, cell(v.deep ? median(m[i].sceneMs) : -1, "%.1f").c_str(),
                    median(m[i].readMs) * 1e6 / (double(windowSide) * windowSide));
    }
}

// One line of the tool's table; a figure below 0 shows as "-".
struct Row {
    std::string label;
    std::vector<double> seconds;
    double cpu = -1, peak = -1, fileMiB = -1;
};

Row rowOf(const Output& out, const std::vector<ToolRun>& runs, double fileMiB)
{
    Row row{out.label, {}, -1, 0, fileMiB};
    std::vector<double> cpu;
    for (const ToolRun& r : runs)
        row.seconds.push_back(r.seconds), cpu.push_back(r.cpuSeconds), row.peak = std::max(row.peak, r.peakMiB);
    row.cpu = median(cpu);
    return row;
}

void printToolRow(const Case& c, const Row& r, double viewerNs)
{
    const double sec = median(r.seconds), ns = sec * 1e9 / c.sampleCount();
    const auto [fastest, slowest] = std::minmax_element(r.seconds.begin(), r.seconds.end());
    std::printf("| %s | %d x %d | %d x %d | %s | %.2f | %.2f - %.2f | %s | %.1f | %.2f | %.2f | %.2f | %s | %s |\n",
                c.name.c_str(), c.width, c.height, c.samples, c.samples, r.label.c_str(), sec, *fastest, *slowest,
                cell(r.cpu, "%.2f").c_str(), c.sampleCount() / sec / 1e6, ns, viewerNs, ns / viewerNs,
                cell(r.peak, "%.0f").c_str(), cell(r.fileMiB, "%.1f").c_str());
}

void printTool(const std::vector<Case>& cases, const std::vector<Measured>& m, int rounds, double startup)
{
    std::printf("\nRender tool, run from the build folder, the median of %d round(s) (peak: the largest ru_maxrss; a png's "
                "time includes the PNG encoder; the tool's start-up, context and programs: %.3f s for a 16 x 16 "
                "tif):\n\n", rounds, startup);
    std::printf("| picture | pixels | samples | output | s | s fastest - slowest | CPU s | M samples/s | ns per sample | "
                "viewer ns per pixel | x viewer | peak MiB | file MiB |\n|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (size_t i = 0; i < cases.size(); ++i) {
        const double viewerNs = viewerNsPerPixel(m[i]);
        for (size_t k = 0; k < std::size(outputs); ++k)
            printToolRow(cases[i], rowOf(outputs[k], m[i].runs[k], m[i].fileMiB[k]), viewerNs);
        printToolRow(cases[i], Row{"drawing only: renderPicture in this process", m[i].drawSeconds}, viewerNs);
        printToolRow(cases[i], Row{"drawing and averaging, in this process", m[i].averageSeconds}, viewerNs);
    }
}

// -1 when a render or a read failed.
int averagingError(const Options& o, const Case& c, const fs::path& folder)
{
    const int n = 3, w = 400, h = 300;
    const fs::path averaged = folder / "averaged.tif", large = folder / "large.tif", log = folder / "tool.log";
    const bool ran = runTool(o.tool, toolArgs(c, w, h, n, averaged), log).ok &&
                     runTool(o.tool, toolArgs(c, w * n, h * n, 1, large), log).ok;
    const int error = ran ? worstBoxError(averaged, large, n) : -1;
    fs::remove(averaged), fs::remove(large);
    return error;
}

int printAveraging(const Options& o, const std::vector<Case>& cases, const fs::path& folder)
{
    std::printf("\nAveraging: 400 x 300 with 3 x 3 samples against 1200 x 900 with 1 sample reduced by 3 x 3 box "
                "sums, both TIFF (4 or less: within one level of rounding):\n\n"
                "| view | largest abs(9 a - sum) |\n|---|---|\n");
    int worst = 0;
    for (const Case& c : {cases.front(), cases.back()}) {
        const int e = averagingError(o, c, folder);
        std::printf("| %s | %s |\n", c.name.c_str(), e < 0 ? "a render or a read failed" : std::to_string(e).c_str());
        worst = e < 0 || worst < 0 ? -1 : std::max(worst, e);
    }
    return worst;
}

const char* held(bool yes)
{
    return yes ? "held" : "NOT held";
}

// The targets, judged on the figures above: the ratio on the outputs to
// disk (what a user gets), the peak over every 16384 x 16384 run.
struct Verdict {
    double worstRatio = 0, largePeak = -1;
    std::string worstWhere;
    bool allRan = true;
};

Verdict judge(const std::vector<Case>& cases, const std::vector<Measured>& m)
{
    Verdict v;
    for (size_t i = 0; i < cases.size(); ++i)
        for (size_t k = 0; k < std::size(outputs); ++k) {
            const Row r = rowOf(outputs[k], m[i].runs[k], -1);
            const double ratio = median(r.seconds) * 1e9 / cases[i].sampleCount() / viewerNsPerPixel(m[i]);
            if (outputs[k].toDisk && ratio > v.worstRatio)
                v.worstRatio = ratio, v.worstWhere = cases[i].name + ", " + std::to_string(cases[i].width) + " x " +
                                                     std::to_string(cases[i].height) + ", " + r.label;
            if (cases[i].width == 16384) v.largePeak = std::max(v.largePeak, r.peak);
            for (const ToolRun& run : m[i].runs[k]) v.allRan = v.allRan && run.ok;
        }
    return v;
}

bool printTargets(const Verdict& v, int averaging)
{
    if (!v.allRan) return std::printf("\nTargets: not judged, some tool runs failed (see above)\n"), false;
    std::printf("\nTargets:\n- a sample within 1.25 x the viewer's cost of a pixel (png and tif files): %s, "
                "worst %.2f (%s)\n", held(v.worstRatio <= 1.25), v.worstRatio, v.worstWhere.c_str());
    if (v.largePeak >= 0)
        std::printf("- 16384 x 16384 in less than 1024 MiB peak memory: %s, largest peak %.0f MiB\n",
                    held(v.largePeak < 1024), v.largePeak);
    std::printf("- averaging exact within one level: %s\n",
                averaging < 0 ? "not measured, a render failed" : held(averaging <= 4));
    return averaging >= 0;
}

void usage()
{
    std::printf("usage: fraktale_render_bench [--rounds N] [--grid N] [--no-large] [--tool PATH] [--glsl DIR]\n"
                "  --rounds N   tool runs and viewer windows per case (default 3); figures are medians\n"
                "  --grid N     N x N viewer windows spread over each picture (default: as many\n"
                "               as cover it, so the viewer draws the tool's samples)\n"
                "  --no-large   without 16384 x 16384, for a quick run\n"
                "  --tool PATH  fraktale-render (default: the build folder's)\n"
                "  --glsl DIR   the viewer's .glsl files (default: the build folder)\n");
}

bool parseOptions(int argc, char** argv, Options& o)
{
    const fs::path build = fs::read_symlink("/proc/self/exe").parent_path().parent_path();
    o.tool = (build / "fraktale-render").string(), o.glsl = build.string();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool value = i + 1 < argc;
        if (a == "--rounds" && value) o.rounds = std::max(1, std::atoi(argv[++i]));
        else if (a == "--grid" && value) o.grid = std::max(0, std::atoi(argv[++i]));
        else if (a == "--tool" && value) o.tool = fs::absolute(argv[++i]).string();
        else if (a == "--glsl" && value) o.glsl = argv[++i];
        else if (a == "--no-large") o.large = false;
        else return usage(), false;
    }
    return true;
}

// What others took of the machine meanwhile: its busy CPU time less this
// process's and its children's.
void printLoad(double busyBefore, double ownBefore, std::chrono::steady_clock::time_point start)
{
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double others = std::max(0.0, machineBusySeconds() - busyBefore - (ownCpuSeconds() - ownBefore));
    const double cores = double(sysconf(_SC_NPROCESSORS_ONLN)), share = others / (wall * cores);
    std::printf("\nload average after: %s (this benchmark's own runs included)\n", loadAverage().c_str());
    std::printf("other processes during the %.0f s run: %.1f CPU s, %.0f %% of the %.0f cores%s\n", wall, others,
                100 * share, cores, share > 0.05 ? ": the machine was loaded, figures are slower than quiet ones" : "");
}

int run(const Options& o, const fs::path& folder)
{
    const std::vector<Case> cases = benchCases(o);
    std::vector<Measured> m(cases.size());
    for (const Output& out : outputs)
        if (!out.toDisk) fs::create_symlink("/dev/null", folder / out.file);
    std::vector<double> startup;
    const bool measured = measure(o, cases, m, folder, startup);
    if (measured) {
        printViewer(cases, m);
        printTool(cases, m, o.rounds, median(startup));
    }
    const bool ok = measured && printTargets(judge(cases, m), printAveraging(o, cases, folder));
    for (Measured& each : m) releaseViewerCase(each.viewer);
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace renderbench

int main(int argc, char** argv)
{
    using namespace renderbench;
    if (argc > 1 && std::string(argv[1]) == "--spawn") return spawnTool(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Options o;
    if (!parseOptions(argc, argv, o)) return 2;
    std::string renderer, error;
    if (!openViewerContext(renderer, error)) return std::printf("no GL context: %s\n", error.c_str()), 1;
    const double busy = machineBusySeconds(), own = ownCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::printf("fraktale_render_bench\nCPU: %s, %ld cores online\nGL renderer: %s\n", cpuModel().c_str(),
                sysconf(_SC_NPROCESSORS_ONLN), renderer.c_str());
    if (const char* threads = std::getenv("LP_NUM_THREADS")) std::printf("LP_NUM_THREADS: %s\n", threads);
    std::printf("load average before: %s\n", loadAverage().c_str());
    char folder[] = "/tmp/fraktale_render_bench.XXXXXX";
    if (!mkdtemp(folder)) return std::printf("no temporary folder\n"), 1;
    const int status = run(o, folder);
    fs::remove_all(folder);
    printLoad(busy, own, start);
    closeViewerContext();
    return status;
}
