// The pass benchmark: at each view, the product's program and the
// yardsticks drawn in turns, their median times, the CPU counts of the work
// each does and the escaping pixels each resolves, and the speed-ups.
//
// The yardsticks: the textbook shader (a plain loop, no escape test to leave
// it and no interior test) and the same loop left at escape, each once with
// the familiar 256 steps and once with as many steps as the product's own
// limit at the view, so the speed-ups at equal detail say what the
// product's work saves at the same depth. The product's limit depends on the
// screen-space derivatives of the complex coordinate, so it is read back
// from the GPU through a probe made of the product's own iterationLimit().
#include "app/fractal_window.h"
#include "bench/counts.h"
#include "bench/gl_passes.h"
#include "bench/pass_report.h"
#include "shaders/shader_set.h"

#include <cstdio>
#include <map>

namespace bench {
namespace {

std::vector<View> benchmarkViews()
{
    const float zoomHalf = 0.5e-3f, miniHalf = 0.025f;
    return {
        {"mandelbrot default", false, -2.0f, 1.0f, -1.5f, 1.5f, 0, 0},
        {"julia default c=0", true, -2.0f, 2.0f, -2.0f, 2.0f, 0.0f, 0.0f},
        {"julia c=-1 (period-2 bulb)", true, -2.0f, 2.0f, -2.0f, 2.0f, -1.0f, 0.0f},
        {"julia c=-0.8+0.156i", true, -2.0f, 2.0f, -2.0f, 2.0f, -0.8f, 0.156f},
        {"julia rabbit c=-0.1226+0.7449i", true, -2.0f, 2.0f, -2.0f, 2.0f, -0.1226f, 0.7449f},
        {"mandelbrot zoom 1e-3 at -0.745+0.11i", false, -0.745f - zoomHalf, -0.745f + zoomHalf, 0.11f - zoomHalf,
         0.11f + zoomHalf, 0, 0},
        {"mandelbrot minibrot 0.05 at -1.7549", false, -1.7549f - miniHalf, -1.7549f + miniHalf, -miniHalf, miniHalf,
         0, 0},
    };
}

struct Programs {
    GLhandleARB product[2] = {0, 0};  // indexed by View::julia
    GLhandleARB textbook[2] = {0, 0};
    GLhandleARB earlyExit[2] = {0, 0};
    GLhandleARB limitProbe[2] = {0, 0};
    std::string vertex[2];
    std::map<std::pair<bool, int>, std::pair<GLhandleARB, GLhandleARB>> atLimit;  // by fractal and steps
    std::vector<Candidate> candidates;
};

// The yardsticks of as many steps as the product's limit, made once per
// limit: the textbook loop first, then the early-exit loop. Like every
// yardstick they take the plain vertex program (the Mandelbrot one), not
// the Julia program's, which also works out its cycle trap.
std::pair<GLhandleARB, GLhandleARB> yardsticksAt(Programs& p, bool julia, int steps)
{
    auto& pair = p.atLimit[{julia, steps}];
    if (!pair.first) {
        pair.first = compileProgram(p.vertex[false], yardstickSource(julia, false, steps));
        pair.second = compileProgram(p.vertex[false], yardstickSource(julia, true, steps));
    }
    return pair;
}

// The product's limit per pixel, as its own derivatives give it.
std::vector<float> productLimits(const View& v, GLhandleARB probe, GLuint table, const Target& floatTarget)
{
    if (!probe) return std::vector<float>(pixelCount, nominalLimit(v));
    drawPass(floatTarget, probe, table, v);
    return readRed(floatTarget);
}

ViewResult benchmarkView(const View& v, Programs& p, const Target& colourTarget, const Target& floatTarget,
                         const Options& o)
{
    const GLuint table = v.julia ? juliaWindow.transferFunction.texture : mandelbrotWindow.transferFunction.texture;
    const std::vector<float> limits = productLimits(v, p.limitProbe[v.julia], table, floatTarget);
    ViewResult r;
    r.view = v;
    r.steps = static_cast<int>(median(limits));
    reportView(v, limits, nominalLimit(v), r.steps);
    const auto [textbookAtLimit, earlyExitAtLimit] = yardsticksAt(p, v.julia, r.steps);
    r.programs = {{"product", p.product[v.julia]},
                  {"textbook", p.textbook[v.julia]},
                  {"early-exit loop", p.earlyExit[v.julia]},
                  {"textbook at limit", textbookAtLimit},
                  {"early-exit loop at limit", earlyExitAtLimit}};
    for (const Candidate& c : p.candidates) {
        if (c.julia == v.julia) r.programs.push_back({"candidate " + c.name, c.program});
    }
    if (!o.only.empty()) {
        const auto other = [&o](const Candidate& c) { return c.name.find(o.only) == std::string::npos; };
        r.programs.erase(std::remove_if(r.programs.begin(), r.programs.end(), other), r.programs.end());
    } else {
        r.counts = countView(v, limits, r.steps);
    }
    std::vector<GLhandleARB> handles;
    for (const Candidate& c : r.programs) handles.push_back(c.program);
    r.times = timePasses(colourTarget, handles, table, v, o.passes);
    r.differing = differingFromFirst(colourTarget, handles, table, v);
    reportResult(r, o.only.empty());
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

// A candidate is a fragment program; a Julia one if it declares "cr". A
// file NAME_vertex.glsl beside NAME_fragment.glsl is its vertex program.
void addCandidate(Programs& p, const std::string& file)
{
    const std::string fragment = loadShaderSource(file);
    const bool julia = fragment.find("uniform float cr") != std::string::npos;
    const size_t stem = file.rfind("_fragment.glsl");
    const std::string vertexFile = stem == std::string::npos ? "" : file.substr(0, stem) + "_vertex.glsl";
    const bool ownVertex = !vertexFile.empty() && std::fopen(vertexFile.c_str(), "r");
    const GLhandleARB program =
        compileProgram(ownVertex ? loadShaderSource(vertexFile) : p.vertex[julia], fragment);
    if (!linked(program)) {
        std::printf("candidate %s: did not link, left out\n", file.c_str());
        return;
    }
    p.candidates.push_back({file.substr(file.rfind('/') + 1), program, julia});
}

bool buildPrograms(const Options& o, const std::string& dir, Programs& p)
{
    for (const bool julia : {false, true}) {
        std::string fragment;
        p.product[julia] = buildProduct(dir, julia ? "julia" : "mandelbrot", p.vertex[julia], fragment);
        if (!linked(p.product[julia])) {
            std::printf("the product's %s program did not link\n", julia ? "Julia" : "Mandelbrot");
            return false;
        }
        p.textbook[julia] = compileProgram(p.vertex[false], yardstickSource(julia, false, 256));
        p.earlyExit[julia] = compileProgram(p.vertex[false], yardstickSource(julia, true, 256));
        p.limitProbe[julia] = limitProbe(p.vertex[false], fragment);
        if (!p.limitProbe[julia]) std::printf("note: iterationLimit() not found in the product's shaders\n");
    }
    for (const std::string& file : o.candidates) addCandidate(p, file);
    return true;
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
    std::vector<ViewResult> results;
    for (const View& v : benchmarkViews()) {
        if (v.name.find(o.view) == std::string::npos) continue;
        results.push_back(benchmarkView(v, p, colourTarget, floatTarget, o));
    }
    if (o.only.empty()) reportSummary(results);
    return glGetError() == GL_NO_ERROR;
}

}  // namespace bench
