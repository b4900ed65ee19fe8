// A limit of 10,000,000 steps: the reference at the Misiurewicz point i
// (whose orbit never escapes, so every step is kept), its jump table, the
// upload, and a picture drawn from it, in a process of its own whose peak
// resident memory (ru_maxrss, from wait4) is the figure: llvmpipe keeps
// textures in process memory, so this is what the viewer would hold.
#include "bench/deep_bench.h"
#include "platform/headless_gl.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace deepbench {

int drawWithLimit(int limit)
{
    HeadlessGl gl;
    std::string error;
    if (!openHeadlessGl(gl, error) || !useHeadlessSurface(gl, 64, 64)) return 1;
    DeepRequest r = requestOf(DeepView{"", false, "0", "1", "1e-30", "0", "0"});
    r.width = r.height = 64;
    r.limit = limit;
    DeepGpuScene gpu;
    const auto start = Clock::now();
    if (!prepareScene(r, nullptr, gpu.scene)) return 1;
    const double sceneMs = msSince(start);
    const int steps = gpu.scene.orbits[0].end;
    DeepPrograms programs;
    programs.folder = FRAKTALE_BINARY_DIR "/";
    CountTarget target;
    if (!uploadScene(programs, gpu) || !resizeTarget(target, 64, 64)) return 1;
    drawSceneCounts(gpu, target, TargetPlace{}, 0, 0, 64, 64);
    float count = 0;
    readCounts(target, 32, 32, 1, 1, &count);
    std::printf("%d %.0f %.1f\n", steps, sceneMs, count);
    releaseTarget(target);
    releaseScene(gpu);
    closeHeadlessGl(gl);
    return 0;
}

void runMemory(const Options& o)
{
    const int limit = 10000000;
    int pipe[2];
    if (::pipe(pipe) != 0) return;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipe[1], 1);
        const std::string text = std::to_string(limit);
        execl("/proc/self/exe", "fraktale_deep_bench", "--draw-with-limit", text.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipe[1]);
    char line[128] = {};
    const ssize_t got = read(pipe[0], line, sizeof line - 1);
    close(pipe[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    int steps = 0;
    double ms = 0, count = 0;
    const bool ok = got > 0 && std::sscanf(line, "%d %lf %lf", &steps, &ms, &count) == 3 && WIFEXITED(status) &&
                    WEXITSTATUS(status) == 0;
    std::printf("\nA limit of %d (the reference at i kept whole, %d steps; %d bytes a step on the GPU): %s, peak %.0f MiB "
                "(target 1024), scene %.1f s\n",
                limit, steps, layoutBytesPerStep(false), ok ? "drawn" : "failed", usage.ru_maxrss / 1024.0, ms / 1e3);
    (void)o;
}

}  // namespace deepbench
