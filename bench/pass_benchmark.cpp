// The pass benchmark: at each view, the product's program and the
// yardsticks drawn in turns, their median times, and the CPU counts of the
// work each does and the escaping pixels each resolves.
//
// Beside the product run the textbook shader (a plain loop of 256 steps, no
// interior test), the yardstick the viewer has to beat, and the same loop
// left at escape as a stricter one. The product's iteration limit depends on
// the screen-space derivatives of the complex coordinate, so it is read back
// from the GPU through a probe made of the product's own iterationLimit().
// --candidate FILE times another Mandelbrot fragment program beside them.
#include "app/fractal_window.h"
#include "bench/counts.h"
#include "bench/gl_passes.h"
#include "shaders/shader_set.h"

#include <cstdio>
#include <cstdlib>

namespace bench {
namespace {

std::vector<View> benchmarkViews()
{
    const float zoomHalf = 0.5e-3f;
    return {
        {"mandelbrot default", false, -2.0f, 1.0f, -1.5f, 1.5f, 0, 0},
        {"julia default c=0", true, -2.0f, 2.0f, -2.0f, 2.0f, 0.0f, 0.0f},
        {"julia c=-1 (period-2 bulb)", true, -2.0f, 2.0f, -2.0f, 2.0f, -1.0f, 0.0f},
        {"julia c=-0.8+0.156i", true, -2.0f, 2.0f, -2.0f, 2.0f, -0.8f, 0.156f},
        {"mandelbrot zoom 1e-3 at -0.745+0.11i", false, -0.745f - zoomHalf, -0.745f + zoomHalf, 0.11f - zoomHalf,
         0.11f + zoomHalf, 0, 0},
    };
}

struct Programs {
    GLhandleARB product[2] = {0, 0};  // indexed by View::julia
    GLhandleARB textbook[2] = {0, 0};
    GLhandleARB earlyExit[2] = {0, 0};
    GLhandleARB limitProbe[2] = {0, 0};
    std::vector<std::pair<std::string, GLhandleARB>> candidates;
};

struct ViewResult {
    double productMs = 0, textbookMs = 0, earlyExitMs = 0;
    long productEscaped = 0, textbookEscaped = 0;
};

void reportProgram(const char* tag, const char* who, const std::vector<double>& times, const Counts& c)
{
    const double ms = median(times);
    const auto [fast, slow] = std::minmax_element(times.begin(), times.end());
    std::printf("[%s] %s median ms per pass: %.2f\n", tag, who, ms);
    std::printf("[%s] %s fastest, slowest ms per pass: %.2f %.2f\n", tag, who, *fast, *slow);
    std::printf("[%s] %s iterations per pass (CPU float reference): %lld\n", tag, who, c.iterations);
    std::printf("[%s] %s iterations per second: %.3g\n", tag, who, c.iterations / (ms / 1000.0));
    std::printf("[%s] %s iterations per pass on pixels that reach the limit: %lld\n", tag, who, c.atLimit);
    std::printf("[%s] %s iterations per pass with each 4x4 block at its slowest pixel: %lld\n", tag, who,
                c.blockIterations);
    std::printf("[%s] %s escaping pixels resolved: %ld\n", tag, who, c.escaped);
}

// Pixels whose colour differs by more than `tolerance` in some channel.
long differingPixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int tolerance)
{
    long count = 0;
    for (int i = 0; i < pixelCount; ++i) {
        for (int k = 0; k < 3; ++k) {
            if (std::abs(int(a[4 * i + k]) - int(b[4 * i + k])) > tolerance) {
                ++count;
                break;
            }
        }
    }
    return count;
}

// The product's limit per pixel, as its own derivatives give it.
std::vector<float> productLimits(const View& v, GLhandleARB probe, GLuint table, const Target& floatTarget)
{
    if (!probe) return std::vector<float>(pixelCount, nominalLimit(v));
    drawPass(floatTarget, probe, table, v);
    return readRed(floatTarget);
}

void reportLimits(const char* tag, const std::vector<float>& limits, bool probed, const View& v)
{
    const auto [lo, hi] = std::minmax_element(limits.begin(), limits.end());
    std::printf("[%s] product iteration limit (median over pixels, %s): %.0f\n", tag,
                probed ? "read back from the GPU" : "product formula on the CPU", median(limits));
    std::printf("[%s] product iteration limit min, max over pixels: %.0f %.0f\n", tag, *lo, *hi);
    std::printf("[%s] product iteration limit by the formula at the exact footprint: %.0f\n", tag, nominalLimit(v));
}

void reportCandidates(const char* tag, const Programs& p, const std::vector<std::vector<double>>& times,
                      const ViewResult& r, const Target& target, GLuint table, const View& v)
{
    drawPass(target, p.product[0], table, v);
    const std::vector<unsigned char> productPicture = readPicture(target);
    for (size_t k = 0; k < p.candidates.size(); ++k) {
        const char* name = p.candidates[k].first.c_str();
        const double ms = median(times[3 + k]);
        drawPass(target, p.candidates[k].second, table, v);
        std::printf("[%s] candidate %s median ms per pass: %.2f\n", tag, name, ms);
        std::printf("[%s] candidate %s speed-up over textbook: %.2f\n", tag, name, r.textbookMs / ms);
        std::printf("[%s] candidate %s speed-up over early-exit loop: %.2f\n", tag, name, r.earlyExitMs / ms);
        std::printf("[%s] candidate %s pixels off the product's picture by more than 2/255: %ld\n", tag, name,
                    differingPixels(productPicture, readPicture(target), 2));
    }
}

ViewResult benchmarkView(const View& v, const Programs& p, const Target& colourTarget, const Target& floatTarget,
                         int passes)
{
    const char* tag = v.name;
    const GLuint table = v.julia ? juliaWindow.transferFunction.texture : mandelbrotWindow.transferFunction.texture;
    const GLhandleARB probe = p.limitProbe[v.julia];
    std::printf("[%s] view real: %.9g .. %.9g\n", tag, v.left, v.right);
    std::printf("[%s] view imaginary: %.9g .. %.9g\n", tag, v.bottom, v.top);
    if (v.julia) std::printf("[%s] julia constant: %g %+gi\n", tag, v.cr, v.ci);

    const std::vector<float> limits = productLimits(v, probe, table, floatTarget);
    reportLimits(tag, limits, probe != 0, v);
    std::printf("[%s] textbook iteration limit: 256\n", tag);
    const ViewCounts counts = countView(v, limits);

    std::vector<GLhandleARB> programs = {p.product[v.julia], p.textbook[v.julia], p.earlyExit[v.julia]};
    if (!v.julia) {
        for (const auto& candidate : p.candidates) programs.push_back(candidate.second);
    }
    const std::vector<std::vector<double>> times = timePasses(colourTarget, programs, table, v, passes);
    const ViewResult r{median(times[0]), median(times[1]), median(times[2]), counts.product.escaped,
                       counts.textbook.escaped};
    reportProgram(tag, "product", times[0], counts.product);
    reportProgram(tag, "textbook", times[1], counts.textbook);
    reportProgram(tag, "early-exit loop", times[2], counts.earlyExit);
    std::printf("[%s] escaping pixels in a double reference (limit 100000): %ld\n", tag, counts.deepEscaped);
    std::printf("[%s] product speed-up over textbook (median ms ratio): %.2f\n", tag, r.textbookMs / r.productMs);
    std::printf("[%s] product speed-up over early-exit loop (median ms ratio): %.2f\n", tag,
                r.earlyExitMs / r.productMs);
    if (!v.julia) reportCandidates(tag, p, times, r, colourTarget, table, v);
    return r;
}

// The viewer's own path to its programs, with full paths to the files; the
// sources are kept for the yardsticks' vertex shader and the limit probe.
GLhandleARB buildProduct(const std::string& dir, const char* fractal, std::string& vertex, std::string& fragment)
{
    GLhandleARB program = glCreateProgramObjectARB();
    const std::string stem = dir + "/" + fractal;
    shaderSet.buildProgram(stem + "_vertex.glsl", stem + "_fragment.glsl", program);
    vertex = shaderSet.vertexSource;
    fragment = shaderSet.fragmentSource;
    return program;
}

bool buildPrograms(const Options& o, const std::string& dir, Programs& p)
{
    for (const bool julia : {false, true}) {
        std::string vertex, fragment;
        p.product[julia] = buildProduct(dir, julia ? "julia" : "mandelbrot", vertex, fragment);
        if (!linked(p.product[julia])) {
            std::printf("the product's %s program did not link\n", julia ? "Julia" : "Mandelbrot");
            return false;
        }
        p.textbook[julia] = compileProgram(vertex, yardstickSource(julia, false, 256));
        p.earlyExit[julia] = compileProgram(vertex, yardstickSource(julia, true, 256));
        p.limitProbe[julia] = limitProbe(vertex, fragment);
        if (!p.limitProbe[julia]) std::printf("note: iterationLimit() not found in the product's shaders\n");
        if (julia) continue;
        for (const std::string& file : o.candidates) {
            const GLhandleARB program = compileProgram(vertex, loadShaderSource(file));
            if (!linked(program)) std::printf("candidate %s: did not link, left out\n", file.c_str());
            if (linked(program)) p.candidates.emplace_back(file.substr(file.rfind('/') + 1), program);
        }
    }
    return true;
}

void reportTarget(const ViewResult& r)
{
    const double speedUp = r.textbookMs / r.productMs;
    const bool detail = r.productEscaped >= r.textbookEscaped;
    std::printf("target: default mandelbrot pass at least 3.00x faster than the textbook shader "
                "(256 steps, no interior test), at least as much detail\n");
    std::printf("default mandelbrot speed-up over textbook: %.2fx\n", speedUp);
    std::printf("default mandelbrot speed-up over the early-exit loop: %.2fx\n", r.earlyExitMs / r.productMs);
    std::printf("default mandelbrot escaping pixels resolved, product minus textbook: %ld\n",
                r.productEscaped - r.textbookEscaped);
    std::printf("default mandelbrot target met: %s\n", speedUp >= 3.0 && detail ? "yes" : "no");
}

}  // namespace

bool runPassBenchmark(const Options& o, const std::string& glslDir)
{
    std::printf("glsl folder: %s\n", glslDir.c_str());
    std::printf("passes per figure: %d\n", o.passes);
    Programs p;
    if (!buildPrograms(o, glslDir, p)) return false;
    const Target colourTarget = makeTarget(GL_RGBA8, GL_UNSIGNED_BYTE);
    const Target floatTarget = makeTarget(GL_RGBA32F, GL_FLOAT);
    const std::vector<View> views = benchmarkViews();
    // The first view is the default Mandelbrot view the target is set for.
    ViewResult first;
    for (size_t i = 0; i < views.size(); ++i) {
        const ViewResult r = benchmarkView(views[i], p, colourTarget, floatTarget, o.passes);
        if (i == 0) first = r;
    }
    reportTarget(first);
    return glGetError() == GL_NO_ERROR;
}

}  // namespace bench
