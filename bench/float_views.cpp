// The float programs at float views, for the useful iterations per second
// the deep path is compared with: each pass timed as the viewer draws it
// (the program's quad over the window), its useful iterations counted by a
// plain loop in double precision on the CPU (interior points at the limit).
#include "bench/deep_bench.h"
#include "deep/colour_depth.h"
#include "render/float_pass.h"
#include "shaders/shader_set.h"
#include "transfer/transfer_function.h"


#include <cmath>
#include <cstdio>

namespace deepbench {
namespace {

struct FloatView {
    const char* name;
    bool julia;
    float left, right, bottom, top, cr, ci;
};

const FloatView floatViews[] = {
    {"Mandelbrot start view", false, -2.0f, 1.0f, -1.5f, 1.5f, 0, 0},
    {"Mandelbrot, extent 1e-3 at -0.745 + 0.11i", false, -0.7455f, -0.7445f, 0.1095f, 0.1105f, 0, 0},
    {"Mandelbrot, extent 0.05 at -1.7549 (period-3 minibrot)", false, -1.7799f, -1.7299f, -0.025f, 0.025f, 0, 0},
    {"Julia start view, constant 0", true, -2.0f, 2.0f, -2.0f, 2.0f, 0, 0},
    {"Julia, rabbit (-0.1226 + 0.7449i)", true, -2.0f, 2.0f, -2.0f, 2.0f, -0.1226f, 0.7449f},
};

double plainIterations(const FloatView& v)
{
    const double w = (double(v.right) - v.left) / 800, h = (double(v.top) - v.bottom) / 800;
    const int limit = iterationLimit(std::log2(std::max(w, h)), floatLimitCap);
    double sum = 0;
    for (int j = 0; j < 800; ++j)
        for (int i = 0; i < 800; ++i) {
            const double px = v.left + (i + 0.5) * w, py = v.bottom + (j + 0.5) * h;
            double x = v.julia ? px : 0, y = v.julia ? py : 0, cx = v.julia ? v.cr : px, cy = v.julia ? v.ci : py;
            int n = 0;
            while (n < limit && x * x + y * y <= 256) {
                const double t = x * x - y * y + cx;
                y = 2 * x * y + cy, x = t, ++n;
            }
            sum += n;
        }
    return sum;
}

struct Pass {
    double ms = 0, cpu = 0;  // wall and CPU (every thread), medians
};

Pass passMs(const FloatView& v, GLhandleARB program, GLuint table, int repeats)
{
    std::vector<double> times, cpu;
    const float constant[2] = {v.cr, v.ci};
    for (int k = 0; k < repeats; ++k) {
        pixelProjection(800, 800);
        const auto start = Clock::now();
        const double cpuStart = cpuMs();
        drawFloatFractal(program, table, PlaneRect{v.left, v.right, v.bottom, v.top}, 800, 800, v.julia ? constant : nullptr);
        glFinish();
        times.push_back(msSince(start));
        cpu.push_back(cpuMs() - cpuStart);
    }
    return Pass{median(times), median(cpu)};
}

}  // namespace

bool runFloatViews(const Options& o)
{
    ShaderSet set;
    GLhandleARB programs[2] = {glCreateProgramObjectARB(), glCreateProgramObjectARB()};
    const std::string dir = FRAKTALE_BINARY_DIR "/";
    set.buildProgram(dir + "mandelbrot_vertex.glsl", dir + "mandelbrot_fragment.glsl", programs[0]);
    set.buildProgram(dir + "julia_vertex.glsl", dir + "julia_fragment.glsl", programs[1]);
    GLuint table = 0;
    glGenTextures(1, &table);
    std::printf("\nFloat views, 800 x 800, the float programs (medians of %d)\n\n| view | ms, wall / CPU | useful M/s, wall / "
                "CPU |\n|---|---|---|\n", std::max(o.repeats, 5));
    for (const FloatView& v : floatViews) {
        if (!o.only.empty() && std::string(v.name).find(o.only) == std::string::npos) continue;
        TransferFunction tf;
        tf.initialiseModel(v.julia ? 2 : 1);
        uploadColourTexture(table, floatPathTable(tf.colourTable, v.left, v.right, v.bottom, v.top, 800, 800, v.julia, v.cr, v.ci));
        const Pass p = passMs(v, programs[v.julia ? 1 : 0], table, std::max(o.repeats, 5));
        const double useful = plainIterations(v);
        std::printf("| %s | %.1f / %.1f | %.0f / %.0f |\n", v.name, p.ms, p.cpu, useful / p.ms / 1e3, useful / p.cpu / 1e3);
    }
    glDeleteTextures(1, &table);
    return true;
}

}  // namespace deepbench
