// fraktale_movie_bench: a zoom movie made by fraktale-render against its
// frames rendered one by one with the tool, as a user would run both, from
// the build folder. A movie of 240 frames at 480 x 270 from extent 3 to
// 1e-12 at a boundary point (seahorse valley) by default:
//   - the movie as MP4 and as PNG frames, each timed, against the sum of
//     the 240 single renders (target: the MP4 in at most a quarter);
//   - sampled frames against their views rendered alone, in grey levels
//     (Rec. 601 luma): the PNG frames (the interpolation alone) and the
//     MP4's decoded frames (with H.264's loss); target: every sampled
//     frame's mean within 6, and 95 % of its pixels within 24;
//   - the MP4 interrupted (SIGINT) halfway through its uninterrupted time
//     and started again: the second run's time (target: at most 70 % of
//     the uninterrupted one) and whether its frames are the same;
//   - the PNG frames again at 2 x 2 samples against some frames alone at
//     2 x 2: at one sample, detailed parts of a deep picture change when
//     its samples move by a tenth of a pixel, which no frame made from
//     other samples can follow.
// Each run's wall clock and CPU time (user and system, the tool's threads
// included); the targets are judged on CPU time, which others' load on the
// machine disturbs least, and "halfway" is half the uninterrupted run's CPU
// time. The machine's load is printed, as in fraktale_render_bench.
#include "bench/render_bench.h"
#include "support/video.h"
#include "tool/movie_plan.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
    int frames = 240, width = 480, height = 270, every = 10, every2 = 20;
    std::string from = "3", to = "1e-12";
    std::string re = "-0.743643887037158704752191506114774", im = "0.131825904205311970493132056385139";
    std::string tool, folder;
};

struct Run {
    double wall = 0, cpu = 0;  // seconds: the wall clock, and user + system of the tool and its threads
    bool ok = false;           // exit status 0
};

// CPU seconds a running process has used so far (/proc/PID/stat, all its threads).
double cpuSoFar(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i) fields >> skip;
    double user = 0, system = 0;
    fields >> user >> system;
    return (user + system) / double(sysconf(_SC_CLK_TCK));
}

// Runs the tool with `args` (its errors into `log`); sent SIGINT once it
// has used `interruptAt` CPU seconds when that is positive, which stands
// for "halfway" whatever else runs on the machine.
Run runTool(const Options& o, const std::vector<std::string>& args, const std::string& log, double interruptAt = 0)
{
    std::vector<char*> argv{const_cast<char*>(o.tool.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        // As from a terminal: a shell that started the benchmark in the
        // background hands its children SIGINT ignored, and the tool keeps
        // an ignored signal ignored.
        signal(SIGINT, SIG_DFL);
        FILE* out = std::freopen(log.c_str(), "w", stderr);
        if (out && chdir(o.folder.c_str()) == 0) execv(o.tool.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    bool reaped = false;
    while (!reaped && interruptAt > 0) {
        reaped = wait4(pid, &status, WNOHANG, &usage) == pid;
        if (!reaped && cpuSoFar(pid) >= interruptAt) kill(pid, SIGINT), interruptAt = 0;
        if (!reaped) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!reaped) wait4(pid, &status, 0, &usage);
    Run run;
    run.wall = std::chrono::duration<double>(Clock::now() - start).count();
    run.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + 1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

std::vector<std::string> movieArgs(const Options& o, const std::string& out, int samples = 1)
{
    return {"mandelbrot", "--mandelbrot", o.re, o.im, o.to, "--zoom-from", o.from, "--frames", std::to_string(o.frames),
            "--size", std::to_string(o.width) + "x" + std::to_string(o.height), "--samples", std::to_string(samples),
            "-o", out};
}

std::string extentOf(const MoviePlan& plan, int frame)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", std::exp2(frameLog2Extent(plan, frame)));
    return text;
}

std::string singleName(int frame, int samples)
{
    return "single-" + std::to_string(frame) + "-" + std::to_string(samples) + ".png";
}

std::vector<std::string> singleArgs(const Options& o, const MoviePlan& plan, int frame, int samples, const std::string& out)
{
    return {"mandelbrot", "--mandelbrot", o.re, o.im, extentOf(plan, frame), "--size",
            std::to_string(o.width) + "x" + std::to_string(o.height), "--samples", std::to_string(samples), "-o", out};
}

bool sampled(const Options& o, int frame)
{
    return frame % o.every == 0 || frame == o.frames - 1;
}

// Every frame alone, at one sample a pixel; the sampled ones kept.
Run renderSingles(const Options& o, const MoviePlan& plan)
{
    Run all;
    all.ok = true;
    for (int k = 0; k < o.frames; ++k) {
        const std::string out = sampled(o, k) ? singleName(k, 1) : "single.png";
        const Run r = runTool(o, singleArgs(o, plan, k, 1, out), o.folder + "/single.log");
        all.wall += r.wall, all.cpu += r.cpu, all.ok = all.ok && r.ok;
        if (k % 20 == 0) std::fprintf(stderr, "  single frames: %d of %d, %.0f s\n", k, o.frames, all.wall);
    }
    return all;
}

struct Quality {
    int frames = 0, held = 0;
    double worstMean = 0, worstShare = 1;
};

void judgeFrame(Quality& q, const fx::GreyDifference& d)
{
    ++q.frames;
    q.held += d.mean >= 0 && d.mean <= 6 && d.shareWithin >= 0.95;
    q.worstMean = std::max(q.worstMean, d.mean < 0 ? 1e9 : d.mean);
    q.worstShare = std::min(q.worstShare, d.shareWithin);
}

void printQualityRow(int frame, const std::string& extent, const fx::GreyDifference& a, const fx::GreyDifference& b)
{
    std::printf("| %d | %s | %.2f | %.1f %% | %s | %s |\n", frame, extent.c_str(), a.mean, 100 * a.shareWithin,
                b.mean < 0 ? "-" : std::to_string(b.mean).substr(0, 4).c_str(),
                b.mean < 0 ? "-" : (std::to_string(100 * b.shareWithin).substr(0, 4) + " %").c_str());
}

// Sampled frames of the PNG frames (and of the MP4, when given) against
// their views rendered alone at the same samples.
void compareFrames(const Options& o, const MoviePlan& plan, int samples, int every, const fx::Video* mp4, Quality& png,
                   Quality& video)
{
    std::printf("\n%d x %d samples a pixel:\n\n| frame | extent | PNG frame: mean grey difference | within 24 | MP4 "
                "frame: mean | within 24 |\n|---|---|---|---|---|---|\n", samples, samples);
    for (int k = 0; k < o.frames; ++k) {
        if (k % every != 0 && k != o.frames - 1) continue;
        char name[40];
        std::snprintf(name, sizeof name, "/frame-%d-%05d.png", samples, k);
        const fx::Rgb single = fx::readPngRgb(o.folder + "/" + singleName(k, samples));
        const fx::GreyDifference a = fx::greyDifference(fx::readPngRgb(o.folder + name), single);
        const fx::GreyDifference b =
            mp4 && k < int(mp4->frames.size()) ? fx::greyDifference(mp4->frames[size_t(k)], single) : fx::GreyDifference{};
        judgeFrame(png, a);
        if (mp4) judgeFrame(video, b);
        printQualityRow(k, extentOf(plan, k), a, b);
    }
}

bool sameFrames(const fx::Video& a, const fx::Video& b)
{
    if (a.frames.size() != b.frames.size() || a.frames.empty()) return false;
    for (size_t k = 0; k < a.frames.size(); ++k)
        if (a.frames[k].rgb != b.frames[k].rgb) return false;
    return true;
}

const char* held(bool yes)
{
    return yes ? "held" : "NOT held";
}

struct Times {
    Run movie, png, singles, interrupted, resumed, png2;
    bool ran = true, same = false;
};

void printRun(const char* what, const Run& r)
{
    std::printf("| %s | %.1f | %.1f |\n", what, r.wall, r.cpu);
}

void printQuality(const char* what, const Quality& q)
{
    std::printf("%s %s (%d of %d frames; worst mean %.2f, worst share within 24 %.1f %%)", what, held(q.held == q.frames),
                q.held, q.frames, q.worstMean, 100 * q.worstShare);
}

// Ratios of CPU seconds (the tool's user and system time, its threads
// included), which other processes on the machine disturb least.
void printTargets(const Options& o, const Times& t, const Quality q[4])
{
    std::printf("\n| run | wall s | CPU s |\n|---|---|---|\n");
    printRun("MP4 movie", t.movie), printRun("PNG frames", t.png);
    printRun(("the " + std::to_string(o.frames) + " frames rendered one by one").c_str(), t.singles);
    printRun("MP4 interrupted halfway (by CPU time)", t.interrupted), printRun("MP4 started again", t.resumed);
    printRun("PNG frames at 2 x 2 samples", t.png2);
    if (!t.ran) std::printf("some runs failed (see the logs above): targets not judged\n");
    const double ratio = t.movie.cpu / t.singles.cpu, resumed = t.resumed.cpu / t.movie.cpu;
    std::printf("\nTargets (CPU time):\n- the movie in at most a quarter of the single renders' time: %s, %.3f "
                "(wall %.3f; PNG frames %.3f)\n", held(t.ran && ratio <= 0.25), ratio, t.movie.wall / t.singles.wall,
                t.png.cpu / t.singles.cpu);
    std::printf("- every sampled frame within a mean of 6 grey levels, 95 %% of its pixels within 24, at one sample "
                "a pixel: ");
    printQuality("MP4", q[1]), std::printf("; "), printQuality("PNG frames", q[0]);
    if (q[2].frames) std::printf("; at 2 x 2 samples: "), printQuality("PNG frames", q[2]);
    std::printf("\n- resumed after an interrupt halfway, in at most 70 %% of the uninterrupted time: %s, %.3f (wall "
                "%.3f); the same frames: %s\n", held(t.ran && resumed <= 0.7), resumed, t.resumed.wall / t.movie.wall,
                t.same ? "yes" : "NO");
}

void usage()
{
    std::printf("usage: fraktale_movie_bench [--frames N] [--size WxH] [--from E0] [--to E] [--at RE IM] [--every K]\n"
                "                            [--every2 K]\n"
                "  defaults: 240 frames, 480x270, from 3 to 1e-12 at -0.743643887037158704752191506114774\n"
                "  + 0.131825904205311970493132056385139 i; every 10th frame and the last compared; the same\n"
                "  movie at 2 x 2 samples, every 20th frame and the last compared (--every2 0: not made)\n");
}

bool parse(int argc, char** argv, Options& o)
{
    const fs::path build = fs::read_symlink("/proc/self/exe").parent_path().parent_path();
    o.tool = (build / "fraktale-render").string();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool value = i + 1 < argc;
        if (a == "--frames" && value) o.frames = std::max(2, std::atoi(argv[++i]));
        else if (a == "--size" && value && std::sscanf(argv[++i], "%dx%d", &o.width, &o.height) == 2) continue;
        else if (a == "--from" && value) o.from = argv[++i];
        else if (a == "--to" && value) o.to = argv[++i];
        else if (a == "--every" && value) o.every = std::max(1, std::atoi(argv[++i]));
        else if (a == "--every2" && value) o.every2 = std::max(0, std::atoi(argv[++i]));
        else if (a == "--at" && i + 2 < argc) o.re = argv[i + 1], o.im = argv[i + 2], i += 2;
        else return usage(), false;
    }
    return true;
}

Times measure(const Options& o, const MoviePlan& plan, Quality q[4])
{
    Times t;
    const std::string log = o.folder + "/movie.log";
    std::fprintf(stderr, "movie as MP4\n");
    t.movie = runTool(o, movieArgs(o, "zoom.mp4"), log);
    fx::Video whole, again;
    fx::readVideo(o.folder + "/zoom.mp4", whole);
    std::fprintf(stderr, "movie as PNG frames\n");
    t.png = runTool(o, movieArgs(o, "frame-1-%05d.png"), log);
    std::fprintf(stderr, "movie interrupted and started again\n");
    t.interrupted = runTool(o, movieArgs(o, "again.mp4"), log, t.movie.cpu / 2);
    t.resumed = runTool(o, movieArgs(o, "again.mp4"), log);
    fx::readVideo(o.folder + "/again.mp4", again);
    t.same = sameFrames(whole, again) && int(whole.frames.size()) == o.frames;
    std::fprintf(stderr, "frames one by one\n");
    t.singles = renderSingles(o, plan);
    t.ran = t.movie.ok && t.png.ok && t.resumed.ok && t.singles.ok;
    compareFrames(o, plan, 1, o.every, &whole, q[0], q[1]);
    if (o.every2 == 0) return t;
    std::fprintf(stderr, "PNG frames and some frames alone at 2 x 2 samples\n");
    t.png2 = runTool(o, movieArgs(o, "frame-2-%05d.png", 2), log);
    for (int k = 0; k < o.frames; ++k)
        if (k % o.every2 == 0 || k == o.frames - 1)
            runTool(o, singleArgs(o, plan, k, 2, singleName(k, 2)), o.folder + "/single.log");
    compareFrames(o, plan, 2, o.every2, nullptr, q[2], q[3]);
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Options o;
    if (!parse(argc, argv, o)) return 2;
    char folder[] = "/tmp/fraktale_movie_bench.XXXXXX";
    if (!mkdtemp(folder)) return std::printf("no temporary folder\n"), 1;
    o.folder = folder;
    std::printf("fraktale_movie_bench\nCPU: %s, %ld cores online\nload average before: %s\n",
                renderbench::cpuModel().c_str(), sysconf(_SC_NPROCESSORS_ONLN), renderbench::loadAverage().c_str());
    std::printf("movie: %d frames, %d x %d, extent %s to %s at %s + %s i\n", o.frames, o.width, o.height, o.from.c_str(),
                o.to.c_str(), o.re.c_str(), o.im.c_str());
    const double busy = renderbench::machineBusySeconds(), own = renderbench::ownCpuSeconds();
    const auto start = Clock::now();
    const MoviePlan plan = planMovie(o.frames, std::log2(std::atof(o.from.c_str())), std::log2(std::atof(o.to.c_str())),
                                     o.width, o.height);
    Quality q[4];  // one sample: PNG frames, MP4; 2 x 2: PNG frames, unused
    const Times t = measure(o, plan, q);
    printTargets(o, t, q);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double others = std::max(0.0, renderbench::machineBusySeconds() - busy - (renderbench::ownCpuSeconds() - own));
    std::printf("\nother processes during the %.0f s run: %.1f CPU s, %.0f %% of the machine\n", wall, others,
                100 * others / (wall * double(sysconf(_SC_NPROCESSORS_ONLN))));
    fs::remove_all(folder);
    return t.ran ? 0 : 1;
}
