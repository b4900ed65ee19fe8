// The deep views: the product against the plain perturbation loop, the
// viewer's rounds, MPFR at sampled pixels and the grey levels of the
// escaping pixels. See deep_bench.cpp.
#include "bench/deep_bench.h"
#include "deep/colour_depth.h"
#include "deep/location.h"
#include "support/deep_reference.h"
#include "transfer/transfer_function.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>

namespace deepbench {

const std::vector<DeepView>& deepViews()
{
    static const std::vector<DeepView> views = {
        {"seahorse valley, extent 1e-14", false, "-0.743643887037158704752191506114774",
         "0.131825904205311970493132056385139", "1e-14", "0", "0"},
        {"Misiurewicz point i, extent 1e-30", false, "0", "1", "1e-30", "0", "0"},
        {"Misiurewicz point i, extent 1e-100", false, "0", "1", "1e-100", "0", "0"},
        {"period-179 minibrot (2.5e-20 across), extent 1e-19", false,
         "-0.7405600355582276320723920247594565056074014536949824422330334653941101447501815",
         "0.1325911215370178001393539672861959840110670074843048953842447230802404745045606", "1e-19", "0", "0"},
        {"Julia set of i at z = i, extent 1e-40", true, "0", "1", "1e-40", "0", "1"},
    };
    return views;
}

namespace {

struct Run {
    std::vector<float> counts;
    double ms = 0;
};

Run drawWith(DeepGpuScene& gpu, GLuint program, const CountTarget& target, int repeats)
{
    Run run;
    std::vector<double> times;
    gpu.program = program;
    for (int k = 0; k < repeats; ++k) {
        const auto start = Clock::now();
        drawSceneCounts(gpu, target, TargetPlace{0, 0}, 0, 0, 800, 800);
        glFinish();
        times.push_back(msSince(start));
    }
    run.ms = median(times);
    run.counts.resize(800 * 800);
    readCounts(target, 0, 0, 800, 800, run.counts.data());
    return run;
}

// The iterations a plain loop runs: the escape step of escaping pixels
// (mu lies in [n - 1, n)), the limit for the others.
double usefulIterations(const std::vector<float>& plain, int limit)
{
    double sum = 0;
    for (float c : plain) sum += c < 0 ? limit : std::floor(c) + 1;
    return sum;
}

struct Rounds {
    double totalMs = 0, maxMs = 0, medianMs = 0;
    int rounds = 0;
};

// As the viewer's passes: a part of the picture, then the colour pass where the viewer shows it.
Rounds viewerRounds(const DeepRequest& r, GLuint table)
{
    ProgressivePicture p;
    p.programs.folder = FRAKTALE_BINARY_DIR "/";
    std::vector<double> times;
    const auto start = Clock::now();
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
    Rounds result{msSince(start), *std::max_element(times.begin(), times.end()), median(times), int(times.size())};
    releasePicture(p);
    return result;
}

struct Accuracy {
    int samples = 0, agree = 0, steady = 0, close = 0, inverted = 0;
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
        if (got < 0 || exact < 0) continue;
        if (std::fabs(fx::mpfrCount(r, s, i, j, 1e-9) - exact) > 0.01 || std::fabs(fx::mpfrCount(r, s, i, j, -1e-9) - exact) > 0.01)
            continue;
        ++a.steady;
        a.close += std::fabs(got - exact) < 0.01;
        pairs.emplace_back(exact, got);
    }
    for (const auto& x : pairs)
        for (const auto& y : pairs) a.inverted += x.first < y.first - 0.01 && x.second > y.second + 0.01;
    return a;
}

// Grey levels (0..255) the escaping pixels span through the default table,
// with the viewer's colour range for the picture (border, coarse pass).
int greySpan(const std::vector<float>& counts, int limit)
{
    SampleGrid grid;
    resetGrid(grid, 800, 800);
    storePart(grid, Part{0, Lattice{0, 0, 1, 800, 800, 1}, 0, 0, 800, 800}, counts.data());
    const ColourRange r = colourRange(knownBorderMinimum(grid), limit, countSpread(coarseCounts(grid)));
    TransferFunction tf;
    tf.initialiseModel(1);
    int lo = 255, hi = 0;
    for (float c : counts) {
        if (c < 0) continue;
        std::uint8_t rgb[3];
        fx::countColour(c, fx::Mapping{r.mu0, r.mu1, r.bend}, tf.colourTable, rgb);
        lo = std::min<int>(lo, rgb[0]), hi = std::max<int>(hi, rgb[0]);
    }
    return hi >= lo ? hi - lo : 0;
}

long stoppedEscaping(const std::vector<float>& product, const std::vector<float>& plain)
{
    long stopped = 0;
    for (size_t k = 0; k < product.size(); ++k) stopped += product[k] < 0 && plain[k] >= 0;
    return stopped;
}

bool measure(const DeepView& v, const Options& o, GLuint table)
{
    const DeepRequest r = requestOf(v);
    DeepGpuScene gpu;
    const auto start = Clock::now();
    if (!prepareScene(r, nullptr, gpu.scene)) return std::printf("%s: not drawable\n", v.name.c_str()), false;
    const double referenceMs = msSince(start);
    DeepPrograms programs;
    programs.folder = FRAKTALE_BINARY_DIR "/";
    CountTarget target;
    if (!uploadScene(programs, gpu) || !resizeTarget(target, 800, 800)) return std::printf("%s: no program\n", v.name.c_str()), false;
    const GLuint product = gpu.program, plainProgram = deepProgram(programs, DeepVariant{v.julia, false, false, false});
    const Run ours = drawWith(gpu, product, target, o.repeats), plain = drawWith(gpu, plainProgram, target, o.repeats);
    const double useful = usefulIterations(plain.counts, gpu.scene.limit);
    const Rounds rounds = viewerRounds(r, table);
    const Accuracy a = againstMpfr(r, gpu.scene, ours.counts, o.samples);
    std::printf("| %s | %d | %.1f | %.0f | %.0f (%d rounds; round median %.0f, max %.0f) | %.0f | %.2f | %.0f | %.0f | %d/%d | %d/%d | %d | %ld | %d |\n",
                v.name.c_str(), gpu.scene.limit, referenceMs, ours.ms, rounds.totalMs, rounds.rounds, rounds.medianMs,
                rounds.maxMs, plain.ms, plain.ms / ours.ms, useful / ours.ms / 1e3, useful / plain.ms / 1e3, a.agree,
                a.samples, a.close, a.steady, a.inverted, stoppedEscaping(ours.counts, plain.counts),
                greySpan(ours.counts, gpu.scene.limit));
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
    std::printf("\nDeep views, 800 x 800 (ms: medians of %d; useful iterations per second in millions)\n\n", o.repeats);
    std::printf("| view | limit | reference ms | product ms | as the viewer draws it, ms | plain loop ms | x plain | "
                "useful M/s | plain useful M/s | inside/outside as MPFR | counts as MPFR (steady pixels) | "
                "order inversions | escaping stopped as interior | grey levels of escaping pixels |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    bool ok = true;
    for (const DeepView& v : deepViews())
        if (o.only.empty() || v.name.find(o.only) != std::string::npos) ok = measure(v, o, table) && ok;
    glDeleteTextures(1, &table);
    return ok;
}

}  // namespace deepbench
