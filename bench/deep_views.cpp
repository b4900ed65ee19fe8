// The deep views: the product against the plain double perturbation loop
// (where doubles can draw the view), the viewer's rounds, and MPFR at
// sampled pixels: inside or outside alike, escape counts in MPFR's order
// (Spearman's rank correlation). See deep_bench.cpp.
//
// The minibrot past 1e-300 was found by Newton's method in MPFR (1500
// bits) near the Misiurewicz point i: from c0 = i + 1e-152 (cos 0.7 + i sin
// 0.7), whose orbit escapes after 408 steps, on Z_p(c) = 0 with dZ/dc
// iterated beside. Period 399 (the step where the orbit of c0 comes nearest
// 0) gave a minibrot 1e-298 across; period 404 converged in 11 steps to the
// nucleus below, |dZ/dc|^2 = 2^1007 there: a minibrot about 1e-303 across.
#include "bench/deep_bench.h"
#include "deep/colour_depth.h"
#include "deep/location.h"
#include "render/deep_pass.h"
#include "support/deep_reference.h"
#include "transfer/transfer_function.h"

#include <GL/glew.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace deepbench {

const char* const nucleus404Re =
    "-0.000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000044362226586862723984480289477940689326910814044938530014352327487895747232394846625624424790847099901303274635033400030120115334765492173201316083461076381610364855120544417211968714650372026371156228422985544078317911270922669981076351359937382048709500253196825217950620462853489546460697643903643960";
const char* const nucleus404Im =
    "1.000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000004263512272526429667130926461678535919655545125615154648863629416999274695654567823934885833640258968564727160961698988896237636122374361003766974965569456081507429431413991910393637952353751043537361842267019202220049724568052987427264605829534735990319104083975437973817138312681894937265491979858637";

const std::vector<DeepView>& deepViews()
{
    static const std::vector<DeepView> views = {
        {"seahorse valley, extent 1e-14", false, "-0.743643887037158704752191506114774",
         "0.131825904205311970493132056385139", "1e-14", "0", "0"},
        {"Misiurewicz point i, extent 1e-30", false, "0", "1", "1e-30", "0", "0"},
        {"Misiurewicz point M(23,2), extent 1e-15 (the CPU-explorer view)", false, "-0.77661059259970185656",
         "0.13460896167502816605", "1e-15", "0", "0"},
        {"Misiurewicz point i, extent 1e-100", false, "0", "1", "1e-100", "0", "0"},
        {"period-179 minibrot (2.5e-20 across), extent 1e-19", false,
         "-0.7405600355582276320723920247594565056074014536949824422330334653941101447501815",
         "0.1325911215370178001393539672861959840110670074843048953842447230802404745045606", "1e-19", "0", "0"},
        {"Julia set of i at z = i, extent 1e-40", true, "0", "1", "1e-40", "0", "1"},
        {"Misiurewicz point i, extent 1e-1000", false, "0", "1", "1e-1000", "0", "0"},
        {"Misiurewicz point i, extent 1e-10000", false, "0", "1", "1e-10000", "0", "0", false, 20},
        {"period-404 minibrot (1e-303 across) near i, extent 4e-303", false, nucleus404Re, nucleus404Im, "4e-303", "0", "0", true},
        {"Julia set of i at z = i, extent 1e-400", true, "0", "1", "1e-400", "0", "1"},
    };
    return views;
}

namespace {

struct Run {
    std::vector<float> counts;
    double ms = 0, cpu = 0;  // wall clock and CPU (every thread), medians
};

Run drawWith(const DeepGpuScene& gpu, const CountTarget& target, int repeats)
{
    Run run;
    std::vector<double> times, cpu;
    // llvmpipe compiles a program at its first draw: one pixel first, so
    // that the times are the drawing's.
    drawSceneCounts(gpu, target, TargetPlace{}, 0, 0, 1, 1);
    glFinish();
    for (int k = 0; k < repeats; ++k) {
        const auto start = Clock::now();
        const double cpuStart = cpuMs();
        drawSceneCounts(gpu, target, TargetPlace{}, 0, 0, 800, 800);
        glFinish();
        times.push_back(msSince(start));
        cpu.push_back(cpuMs() - cpuStart);
    }
    run.ms = median(times);
    run.cpu = median(cpu);
    run.counts.resize(800 * 800);
    readCounts(target, 0, 0, 800, 800, run.counts.data());
    return run;
}

// The iterations a plain loop runs: the escape step of escaping pixels
// (mu lies in [n - 1, n)), the limit for the others.
double usefulIterations(const std::vector<float>& counts, int limit)
{
    double sum = 0;
    for (float c : counts) sum += c < 0 ? limit : std::floor(c) + 1;
    return sum;
}

struct Rounds {
    double totalMs = 0, maxMs = 0, medianMs = 0, cpuMs = 0;
    int rounds = 0;
};

// As the viewer's passes: a part of the picture, then the colour pass where the viewer shows it.
Rounds viewerRounds(const DeepRequest& r, GLuint table)
{
    ProgressivePicture p;
    p.programs.folder = FRAKTALE_BINARY_DIR "/";
    std::vector<double> times;
    const auto start = Clock::now();
    const double cpuStart = cpuMs();
    startPicture(p, r);
    ShowState shown;
    for (bool more = true; more;) {
        if (waitingForScene(p)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto round = Clock::now();
        more = advancePicture(p, passBudgetMs);
        if (showDue(p, shown, false)) showPicture(p, table, 800, 800, false);
        glFinish();
        times.push_back(msSince(round));
    }
    Rounds result{msSince(start), *std::max_element(times.begin(), times.end()), median(times), cpuMs() - cpuStart,
                  int(times.size())};
    releasePicture(p);
    return result;
}

struct Accuracy {
    int samples = 0, agree = 0, escaped = 0;
    double rank = 1;
};

Accuracy againstMpfr(const DeepRequest& r, const DeepScene& s, const std::vector<float>& counts, int samples)
{
    Accuracy a;
    std::mt19937 random(5);
    std::vector<std::pair<double, double>> pairs;
    for (; a.samples < samples; ++a.samples) {
        const int i = int(random() % 800), j = int(random() % 800);
        const double got = counts[size_t(j) * 800 + i], exact = fx::mpfrCount(r, s, i, j);
        a.agree += (got < 0) == (exact < 0);
        if (got >= 0 && exact >= 0) pairs.emplace_back(exact, got);
    }
    a.escaped = int(pairs.size());
    a.rank = fx::rankCorrelation(pairs);
    return a;
}

long stoppedEscaping(const std::vector<float>& product, const std::vector<float>& plain)
{
    long stopped = 0;
    for (size_t k = 0; k < product.size(); ++k) stopped += product[k] < 0 && plain[k] >= 0;
    return stopped;
}

std::string textOf(const char* path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

GLuint compileShader(GLenum type, const std::string& text)
{
    const GLuint shader = glCreateShader(type);
    const char* source = text.c_str();
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[4096] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::printf("yardstick does not compile:\n%s\n", log);
    }
    return shader;
}

// The plain double loop (bench/plain_perturbation.glsl).
GLuint plainProgram(bool julia)
{
    const std::string head = std::string("#version 400 compatibility\n#define JULIA ") + (julia ? "1" : "0") + "\n";
    const GLuint program = glCreateProgram();
    glAttachShader(program, compileShader(GL_VERTEX_SHADER, head + textOf(FRAKTALE_BINARY_DIR "/deep_vertex.glsl")));
    glAttachShader(program, compileShader(GL_FRAGMENT_SHADER, head + textOf(FRAKTALE_SOURCE_DIR "/bench/plain_perturbation.glsl")));
    glLinkProgram(program);
    return program;
}

// The plain loop's picture, from its own wide layout of the scene, where
// doubles reach the view's pixels.
bool drawPlain(const DeepScene& prepared, const CountTarget& target, int repeats, Run& run)
{
    if (log2Of(minOf(prepared.pixelWidth, prepared.pixelHeight)) < std::log2(1e-300)) return false;
    DeepGpuScene plain;
    plain.scene = prepared;
    plain.scene.format.wide = true;
    plain.layout = layoutScene(plain.scene, true);
    uploadLayout(plain.textures, plain.layout);
    plain.program = plainProgram(prepared.julia);
    run = drawWith(plain, target, repeats);
    glDeleteProgram(plain.program);
    releaseTextures(plain.textures);
    return true;
}

const char* formatName(DeepFormat f)
{
    return f.wide ? (f.skip ? "rescaled doubles, jumps" : "rescaled doubles") : (f.skip ? "rescaled floats, jumps" : "rescaled floats");
}

// The limit the viewer and the tool end up with: the rule's, raised while
// the coarse lattice shows pixels that a larger limit would resolve.
int automaticLimit(const DeepRequest& r)
{
    DeepPrograms programs;
    programs.folder = FRAKTALE_BINARY_DIR "/";
    DeepGpuScene gpu;
    CountTarget scratch;
    std::vector<float> lattice;
    const bool ok = resizeTarget(scratch, 256, 256) && setUpScene(programs, gpu, r, scratch, lattice) == SceneSetup::ok;
    const int limit = ok ? gpu.scene.limit : 0;
    releaseScene(gpu);
    releaseTarget(scratch);
    return limit;
}

bool measure(const DeepView& v, const Options& o, GLuint table)
{
    DeepRequest r = requestOf(v);
    const double log2Pixel = log2PixelSize(r.view, r.width, r.height);
    const int rule = iterationLimit(log2Pixel, INT_MAX / 2);
    if (v.ruleLimit) r.limit = rule;
    // From here on the chosen limit is given, so that every figure is the
    // finished picture's (the viewer's coarse pass at the rule's limit,
    // where it is raised, is not in them).
    const auto choosing = Clock::now();
    if (r.limit == 0) r.limit = std::max(rule, automaticLimit(r));
    const double choosingMs = msSince(choosing);
    DeepGpuScene gpu;
    const auto start = Clock::now();
    if (!prepareScene(r, nullptr, gpu.scene)) return std::printf("%s: not drawable\n", v.name.c_str()), false;
    const double referenceMs = msSince(start);
    if (o.format == "floats" || o.format == "doubles") gpu.scene.format.wide = o.format == "doubles";
    DeepScene kept = gpu.scene;  // the yardstick's copy of the orbits
    DeepPrograms programs;
    programs.folder = FRAKTALE_BINARY_DIR "/";
    CountTarget target;
    if (!uploadScene(programs, gpu) || !resizeTarget(target, 800, 800)) return std::printf("%s: no program\n", v.name.c_str()), false;
    const Run ours = drawWith(gpu, target, o.repeats);
    Run plain;
    const bool hasPlain = drawPlain(kept, target, o.repeats, plain);
    kept = DeepScene{};
    const double useful = usefulIterations(hasPlain ? plain.counts : ours.counts, gpu.scene.limit);
    const Rounds rounds = viewerRounds(r, table);
    const Accuracy a = againstMpfr(r, gpu.scene, ours.counts, v.samples > 0 ? std::min(v.samples, o.samples) : o.samples);
    char plainText[64] = "-", ratio[32] = "-", stopped[32] = "-";
    if (hasPlain) {
        std::snprintf(plainText, sizeof plainText, "%.0f / %.0f", plain.ms, plain.cpu);
        std::snprintf(ratio, sizeof ratio, "%.2f / %.2f", plain.ms / ours.ms, plain.cpu / ours.cpu);
        std::snprintf(stopped, sizeof stopped, "%ld", stoppedEscaping(ours.counts, plain.counts));
    }
    std::printf("| %s | %s | %d | %d (%.0f ms) | %.0f | %.0f / %.0f | %.0f / %.0f (%d rounds; round median %.0f, max %.0f) | %s | %s | "
                "%.0f / %.0f | %d/%d | %.4f (%d) | %s |\n",
                v.name.c_str(), formatName(gpu.scene.format), rule, gpu.scene.limit, choosingMs, referenceMs, ours.ms, ours.cpu,
                rounds.totalMs, rounds.cpuMs, rounds.rounds, rounds.medianMs, rounds.maxMs, plainText, ratio,
                useful / ours.ms / 1e3, useful / ours.cpu / 1e3, a.agree, a.samples, a.rank, a.escaped, stopped);
    releaseTarget(target);
    releaseScene(gpu);
    return true;
}

}  // namespace

DeepRequest requestOf(const DeepView& v)
{
    DeepRequest r;
    fx::requestAt(r, v.julia, v.re, v.im, v.extent, v.cre, v.cim);
    return r;
}

bool runDeepViews(const Options& o)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    GLuint table = 0;
    glGenTextures(1, &table);
    uploadColourTexture(table, tf.colourTable);
    std::printf("\nDeep views, 800 x 800 (wall ms / CPU ms of every thread: medians of %d; useful iterations in millions "
                "per wall second / per CPU second, from the plain loop's counts where it draws the view, else from the "
                "product's)\n\n", o.repeats);
    std::printf("| view | number format | limit: rule's | chosen (ms to choose) | reference ms | product ms, wall / CPU | as the viewer "
                "draws it, ms wall / CPU | plain double loop ms, wall / CPU | x plain, wall / CPU | useful M/s, wall / CPU | "
                "inside/outside as MPFR | rank correlation with MPFR (escaping samples) | escaping stopped as interior |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    bool ok = true;
    for (const DeepView& v : deepViews())
        if (o.only.empty() || v.name.find(o.only) != std::string::npos) ok = measure(v, o, table) && ok;
    glDeleteTextures(1, &table);
    return ok;
}

}  // namespace deepbench
