// fraktale_deep_bench: pictures past single precision, 800 x 800, headless.
// Per view: the iteration limit, the reference orbits' time, the product's
// time for the finished picture drawn whole and as the viewer draws it (in
// parts of a 40 ms budget, each followed by the colour pass, as a main-loop
// round), the plain perturbation loop's time beside it (no jumps, no cycle
// test: the yardstick), useful iterations per second (those the plain loop
// runs, interior points at the limit), sampled pixels against MPFR, the
// escaping pixels the product stops as interior, and the grey levels the
// escaping pixels span with the default black-to-white table. Then the float
// programs at float views, for the useful iterations per second there; with
// --viewer, Esc while a deep picture is drawn and the viewer's CPU seconds
// for a picture against a CPU explorer's; with --memory, the peak memory of
// a picture at a limit of 10,000,000.
// Everything is drawn in one process, one view after another.
#include "bench/deep_bench.h"
#include "platform/headless_gl.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace deepbench {
namespace {

void printMachine(const HeadlessGl& gl)
{
    std::string model = "unknown";
    if (FILE* p = popen("lscpu | sed -n 's/^Model name: *//p'", "r")) {
        char line[256] = {};
        if (std::fgets(line, sizeof line, p)) model.assign(line, strcspn(line, "\n"));
        pclose(p);
    }
    std::printf("CPU: %s; renderer: %s; load average at start: %s", model.c_str(), gl.renderer.c_str(), loadAverage().c_str());
}

}  // namespace
}  // namespace deepbench

int main(int argc, char** argv)
{
    using namespace deepbench;
    Options o;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--view") && i + 1 < argc) o.only = argv[++i];
        else if (!std::strcmp(argv[i], "--viewer") && i + 1 < argc) o.viewer = argv[++i];
        else if (!std::strcmp(argv[i], "--repeats") && i + 1 < argc) o.repeats = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--samples") && i + 1 < argc) o.samples = std::max(0, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--memory")) o.memory = true;
        else if (!std::strcmp(argv[i], "--format") && i + 1 < argc) o.format = argv[++i];
        else if (!std::strcmp(argv[i], "--draw-with-limit") && i + 1 < argc) return drawWithLimit(std::atoi(argv[++i]));
        else return std::printf("usage: fraktale_deep_bench [--view TEXT] [--repeats N] [--samples N] [--viewer PATH] [--memory] [--format floats|doubles]\n"), 2;
    }
    // The viewer is started from its own folder (its shaders are there):
    // a relative path would no longer name it.
    if (char* full = o.viewer.empty() ? nullptr : realpath(o.viewer.c_str(), nullptr)) o.viewer = full, std::free(full);
    HeadlessGl gl;
    std::string error;
    if (!openHeadlessGl(gl, error) || !useHeadlessSurface(gl, 800, 800)) return std::printf("no GL: %s\n", error.c_str()), 1;
    printMachine(gl);
    std::string missing;
    if (!deepSupported(missing)) return std::printf("no deep path: %s\n", missing.c_str()), 1;
    const bool ok = runDeepViews(o) && runFloatViews(o);
    if (o.memory) runMemory(o);
    if (!o.viewer.empty()) runEscLatency(o), runCpuExplorer(o);
    std::printf("load average at the end: %s", loadAverage().c_str());
    closeHeadlessGl(gl);
    return ok ? 0 : 1;
}

namespace deepbench {

std::string loadAverage()
{
    std::string line;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        char buffer[128] = {};
        if (std::fgets(buffer, sizeof buffer, f)) line = buffer;
        std::fclose(f);
    }
    return line.empty() ? "unknown\n" : line;
}

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return 1e3 * double(t.tv_sec) + 1e-6 * double(t.tv_nsec);
}

double median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : 0.5 * (values[mid - 1] + values[mid]);
}

}  // namespace deepbench
