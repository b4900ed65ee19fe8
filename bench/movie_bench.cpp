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
//     the uninterrupted one) and whether its frames are the same.
// Times are the wall clock around each process; the machine's load is
// printed, as in fraktale_render_bench.
#include "bench/render_bench.h"
#include "support/video.h"
#include "tool/movie_plan.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
    int frames = 240, width = 480, height = 270, every = 10;
    std::string from = "3", to = "1e-12";
    std::string re = "-0.743643887037158704752191506114774", im = "0.131825904205311970493132056385139";
    std::string tool, folder;
};

// Runs the tool with `args` (output and errors into `log`); killed by
// SIGINT after `interruptAfter` seconds when that is positive. Seconds,
// and whether it exited with 0.
double runTool(const Options& o, const std::vector<std::string>& args, const std::string& log, bool& ok,
               double interruptAfter = 0)
{
    std::vector<char*> argv{const_cast<char*>(o.tool.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        FILE* out = std::freopen(log.c_str(), "w", stderr);
        if (out && chdir(o.folder.c_str()) == 0) execv(o.tool.c_str(), argv.data());
        _exit(127);
    }
    if (interruptAfter > 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(interruptAfter));
        kill(pid, SIGINT);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<std::string> movieArgs(const Options& o, const std::string& out)
{
    return {"mandelbrot", "--mandelbrot", o.re, o.im, o.to, "--zoom-from", o.from, "--frames", std::to_string(o.frames),
            "--size", std::to_string(o.width) + "x" + std::to_string(o.height), "-o", out};
}

std::string extentOf(const MoviePlan& plan, int frame)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", std::exp2(frameLog2Extent(plan, frame)));
    return text;
}

std::string singleName(int frame)
{
    return "single-" + std::to_string(frame) + ".png";
}

bool sampled(const Options& o, int frame)
{
    return frame % o.every == 0 || frame == o.frames - 1;
}

// Every frame alone; the sampled ones kept. Seconds in all.
double renderSingles(const Options& o, const MoviePlan& plan, bool& ok)
{
    double seconds = 0;
    ok = true;
    for (int k = 0; k < o.frames; ++k) {
        bool ran = false;
        const std::string out = sampled(o, k) ? singleName(k) : "single.png";
        seconds += runTool(o, {"mandelbrot", "--mandelbrot", o.re, o.im, extentOf(plan, k), "--size",
                               std::to_string(o.width) + "x" + std::to_string(o.height), "-o", out},
                           o.folder + "/single.log", ran);
        ok = ok && ran;
        if (k % 20 == 0) std::fprintf(stderr, "  single frames: %d of %d, %.0f s\n", k, o.frames, seconds);
    }
    return seconds;
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

// Sampled frames of the PNG frames and of the MP4 against the singles.
void compareFrames(const Options& o, const MoviePlan& plan, const fx::Video& mp4, Quality& png, Quality& video)
{
    std::printf("\n| frame | extent | PNG frame: mean grey difference | within 24 | MP4 frame: mean | within 24 |\n"
                "|---|---|---|---|---|---|\n");
    for (int k = 0; k < o.frames; ++k) {
        if (!sampled(o, k)) continue;
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%05d.png", k);
        const fx::Rgb single = fx::readPngRgb(o.folder + "/" + singleName(k));
        const fx::GreyDifference a = fx::greyDifference(fx::readPngRgb(o.folder + name), single);
        const fx::GreyDifference b = k < int(mp4.frames.size()) ? fx::greyDifference(mp4.frames[size_t(k)], single)
                                                                 : fx::GreyDifference{};
        judgeFrame(png, a), judgeFrame(video, b);
        std::printf("| %d | %s | %.2f | %.1f %% | %.2f | %.1f %% |\n", k, extentOf(plan, k).c_str(), a.mean,
                    100 * a.shareWithin, b.mean, 100 * b.shareWithin);
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
    double movie = 0, png = 0, singles = 0, interrupted = 0, resumed = 0;
    bool ran = true, same = false;
};

void printTargets(const Options& o, const Times& t, const Quality& png, const Quality& video)
{
    std::printf("\nTimes: MP4 movie %.1f s, PNG frames %.1f s, the %d frames rendered one by one %.1f s; "
                "interrupted after %.1f s, the second run %.1f s\n", t.movie, t.png, o.frames, t.singles, t.interrupted,
                t.resumed);
    if (!t.ran) std::printf("some runs failed (see the logs above): targets not judged\n");
    const double ratio = t.movie / t.singles, resumed = t.resumed / t.movie;
    std::printf("\nTargets:\n- the movie in at most a quarter of the single renders' time: %s, %.3f (PNG frames %.3f)\n",
                held(t.ran && ratio <= 0.25), ratio, t.png / t.singles);
    std::printf("- every sampled frame within a mean of 6 grey levels, 95 %% of its pixels within 24: MP4 %s (%d of %d "
                "frames; worst mean %.2f, worst share %.1f %%); PNG frames %s (%d of %d; worst mean %.2f, worst share "
                "%.1f %%)\n", held(video.held == video.frames), video.held, video.frames, video.worstMean,
                100 * video.worstShare, held(png.held == png.frames), png.held, png.frames, png.worstMean,
                100 * png.worstShare);
    std::printf("- resumed after an interrupt halfway, in at most 70 %% of the uninterrupted time: %s, %.3f; the same "
                "frames: %s\n", held(t.ran && resumed <= 0.7), resumed, t.same ? "yes" : "NO");
}

void usage()
{
    std::printf("usage: fraktale_movie_bench [--frames N] [--size WxH] [--from E0] [--to E] [--at RE IM] [--every K]\n"
                "  defaults: 240 frames, 480x270, from 3 to 1e-12 at -0.743643887037158704752191506114774\n"
                "  + 0.131825904205311970493132056385139 i; every 10th frame and the last compared\n");
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
        else if (a == "--at" && i + 2 < argc) o.re = argv[i + 1], o.im = argv[i + 2], i += 2;
        else return usage(), false;
    }
    return true;
}

Times measure(const Options& o, const MoviePlan& plan, Quality& png, Quality& video)
{
    Times t;
    bool ok = false;
    const std::string log = o.folder + "/movie.log";
    std::fprintf(stderr, "movie as MP4\n");
    t.movie = runTool(o, movieArgs(o, "zoom.mp4"), log, ok), t.ran = t.ran && ok;
    fx::Video whole, again;
    fx::readVideo(o.folder + "/zoom.mp4", whole);
    std::fprintf(stderr, "movie as PNG frames\n");
    t.png = runTool(o, movieArgs(o, "frame-%05d.png"), log, ok), t.ran = t.ran && ok;
    std::fprintf(stderr, "movie interrupted and started again\n");
    t.interrupted = runTool(o, movieArgs(o, "again.mp4"), log, ok, t.movie / 2);
    t.resumed = runTool(o, movieArgs(o, "again.mp4"), log, ok), t.ran = t.ran && ok;
    fx::readVideo(o.folder + "/again.mp4", again);
    t.same = sameFrames(whole, again) && int(whole.frames.size()) == o.frames;
    std::fprintf(stderr, "frames one by one\n");
    t.singles = renderSingles(o, plan, ok), t.ran = t.ran && ok;
    compareFrames(o, plan, whole, png, video);
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
    Quality png, video;
    const Times t = measure(o, plan, png, video);
    printTargets(o, t, png, video);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double others = std::max(0.0, renderbench::machineBusySeconds() - busy - (renderbench::ownCpuSeconds() - own));
    std::printf("\nother processes during the %.0f s run: %.1f CPU s, %.0f %% of the machine\n", wall, others,
                100 * others / (wall * double(sysconf(_SC_NPROCESSORS_ONLN))));
    fs::remove_all(folder);
    return t.ran ? 0 : 1;
}
