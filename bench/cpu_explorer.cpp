// The viewer against a CPU explorer: CPU seconds of the viewer process
// (user and system, all its threads, from /proc) from its start to the
// finished picture at a Misiurewicz view of extent 1e-15 (limit 6840, 800 x
// 800), less the same for a start at the default views. The point,
// preperiod 23 and period 2 in the seahorse valley, comes from Newton's
// method on f^25(c) = f^23(c) from -0.77568377 + 0.13646737i; its pixels'
// counts are about 1400, so a plain loop runs some 900 million steps. A picture is
// finished when the process has used no CPU for a second (the idle viewer
// uses none); the figure is its CPU time at the last tick it used. Needs an
// X display.
#include "bench/deep_bench.h"

#include <csignal>
#include <cstdio>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace deepbench {
namespace {

const char* const misiurewiczRe = "-0.77661059259970185656";
const char* const misiurewiczIm = "0.13460896167502816605";

double cpuSeconds(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    FILE* f = std::fopen(path, "r");
    if (!f) return -1;
    unsigned long user = 0, system = 0;
    // Fields 14 and 15 after the command in parentheses.
    const int read = std::fscanf(f, "%*d (%*[^)]) %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system);
    std::fclose(f);
    return read == 2 ? double(user + system) / double(sysconf(_SC_CLK_TCK)) : -1;
}

pid_t startViewer(const std::string& viewer, const std::vector<const char*>& words)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string dir = viewer.substr(0, viewer.rfind('/') + 1);
        if (chdir(dir.c_str()) != 0) _exit(126);
        if (FILE* null = std::fopen("/dev/null", "w")) dup2(fileno(null), 1), dup2(fileno(null), 2);
        std::vector<char*> argv{const_cast<char*>("fraktale")};
        for (const char* w : words) argv.push_back(const_cast<char*>(w));
        argv.push_back(nullptr);
        execv(viewer.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

// CPU seconds until the viewer goes idle for a second (at most 120 s).
double untilIdle(const std::string& viewer, const std::vector<const char*>& words)
{
    const pid_t pid = startViewer(viewer, words);
    const auto start = Clock::now();
    double last = 0;
    auto lastChange = Clock::now();
    while (msSince(start) < 120000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const double now = cpuSeconds(pid);
        if (now < 0) break;
        if (now > last) last = now, lastChange = Clock::now();
        else if (msSince(lastChange) > 1000 && last > 0) break;
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return last;
}

}  // namespace

void runCpuExplorer(const Options& o)
{
    std::vector<double> deep, start;
    for (int k = 0; k < o.repeats; ++k) {
        deep.push_back(untilIdle(o.viewer, {"--mandelbrot", misiurewiczRe, misiurewiczIm, "1e-15"}));
        start.push_back(untilIdle(o.viewer, {}));
    }
    std::printf("\nCPU explorer comparison: the viewer at --mandelbrot %s %s 1e-15 (limit 6840) used %.2f CPU-s to the "
                "finished picture, a default start %.2f: %.2f CPU-s for the deep picture (medians of %d; target 1.9)\n",
                misiurewiczRe, misiurewiczIm, median(deep), median(start), median(deep) - median(start), o.repeats);
}

}  // namespace deepbench
