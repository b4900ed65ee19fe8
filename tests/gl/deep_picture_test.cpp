// Pictures past single precision against a plain MPFR iteration of sampled
// pixels: inside or outside alike, escape counts alike and in the same
// order; and a picture drawn in time-sliced parts equal to one drawn whole.
// Headless, on whatever context EGL (or a hidden window) gives.
#include "deep/location.h"
#include "platform/headless_gl.h"
#include "render/progressive.h"
#include "support/deep_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

namespace fx {
namespace {

constexpr const char* nucleus179Re =
    "-0.7405600355582276320723920247594565056074014536949824422330334653941101447501815";
constexpr const char* nucleus179Im =
    "0.1325911215370178001393539672861959840110670074843048953842447230802404745045606";

// A nucleus of period 399 about 1e-150 from the Misiurewicz point i (see
// bench/deep_views.cpp for how it was found), to 420 digits.
constexpr const char* nucleus399Re =
    "0.000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000002191956103955930995328737238052723939094309856040794581812030528270939341611206604410584146776737392653232941045499913575048682423919796205466755985473785303916347306447967319484694066817806483821136024038288968812052912606462954264837122248096588802249607974765982042133809";
constexpr const char* nucleus399Im =
    "0.999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999998906240115364413204052282193677223156320525486709618501688943708327032931123375847953682539818751342902319527894247820539258062341286519381070964839244621325159083818726635410146199680711101756290800305956349027854516848620257436334925287227020090963208525754549805303641999";

struct DeepCase {
    const char* where;
    bool julia;
    const char *re, *im, *extent, *cre, *cim;
    int width, height;
    int escapedAtLeast = 10;  // sampled pixels that escape (0 for an interior view)
};

DeepRequest requestFor(const DeepCase& c)
{
    Location at;
    EXPECT_TRUE(parseDecimal(c.re, at.re, 64) && parseDecimal(c.im, at.im, 64) && parseDecimal(c.extent, at.extent, 64));
    DeepRequest r;
    r.julia = c.julia;
    r.view = viewAt(at, c.width, c.height);
    EXPECT_TRUE(parseDecimal(c.cre, r.constantRe, 64) && parseDecimal(c.cim, r.constantIm, 64));
    r.width = c.width;
    r.height = c.height;
    return r;
}

class DeepPictures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        opened = openHeadlessGl(gl, error);
        if (opened && !deepSupported(error)) closeHeadlessGl(gl), opened = false;
        reason = error;
    }
    static void TearDownTestSuite()
    {
        if (opened) closeHeadlessGl(gl);
    }
    void SetUp() override
    {
        if (!opened) GTEST_SKIP() << "no GL context for the deep path: " << reason;
        programs.folder = FRAKTALE_BINARY_DIR "/";
    }
    // Counts of the whole picture, drawn in one piece.
    std::vector<float> drawWhole(DeepGpuScene& gpu, CountTarget& target)
    {
        EXPECT_TRUE(uploadScene(programs, gpu) && resizeTarget(target, gpu.scene.width, gpu.scene.height));
        drawSceneCounts(gpu, target, TargetPlace{0, 0}, 0, 0, gpu.scene.width, gpu.scene.height);
        std::vector<float> counts(size_t(gpu.scene.width) * gpu.scene.height);
        readCounts(target, 0, 0, gpu.scene.width, gpu.scene.height, counts.data());
        return counts;
    }
    static inline HeadlessGl gl;
    static inline bool opened = false;
    static inline std::string reason;
    DeepPrograms programs;
};

// How a picture stands against MPFR at sampled pixels: inside or outside
// alike, and escaping counts in the same order (rank correlation), the
// criterion that holds wherever the picture is right: near a deep minibrot
// many counts change when the point moves by a thousandth of a pixel, and
// no two right programs agree on them, but they agree on the picture.
struct Judgement {
    int samples = 0, agree = 0, escaped = 0;
    double rank = 1;
};

Judgement judge(const DeepRequest& r, const DeepScene& s, const std::vector<float>& counts, int samples, unsigned seed)
{
    std::mt19937 random(seed);
    Judgement j;
    std::vector<std::pair<double, double>> pairs;
    for (; j.samples < samples; ++j.samples) {
        const int x = int(random() % unsigned(r.width)), y = int(random() % unsigned(r.height));
        const double got = counts[size_t(y) * r.width + x], exact = mpfrCount(r, s, x, y);
        j.agree += (got < 0) == (exact < 0);
        if (got >= 0 && exact >= 0) pairs.emplace_back(exact, got);
    }
    j.escaped = int(pairs.size());
    j.rank = rankCorrelation(pairs);
    return j;
}

// Views from just past double precision to 1e-1500, Mandelbrot and Julia:
// Misiurewicz points keep their counts low; a minibrot whose reference is
// its nucleus (rebased every period, interior stopped early) and the same
// minibrot off the centre, whose interior orbits pass 0 nearer than the
// reference; a view below float's range, one below double's; Julia sets,
// whose second reference is the orbit of 0. Samples are random pixels, the
// same every run.
TEST_F(DeepPictures, SampledPixelsAsMpfrHasThem)
{
    const DeepCase cases[] = {
        {"Mandelbrot at the Misiurewicz point i, 1e-30", false, "0", "1", "1e-30", "0", "0", 160, 120},
        {"Mandelbrot at i, 1e-100", false, "0", "1", "1e-100", "0", "0", 120, 120},
        {"period-179 minibrot, 1e-19", false, nucleus179Re, nucleus179Im, "1e-19", "0", "0", 128, 128},
        {"period-179 minibrot filling the view: outside its edge orbits linger for periods", false, nucleus179Re,
         nucleus179Im, "3e-20", "0", "0", 96, 96},
        {"the minibrot off centre: interior orbits pass 0 nearer than the reference", false,
         "-0.74056003555822763207239202475945653", "0.13259112153701780013935396728619601", "2e-19", "0", "0", 128, 128},
        {"seahorse valley, 1e-14: long orbits near repelling cycles", false, "-0.743643887037158704752191506114774",
         "0.131825904205311970493132056385139", "1e-14", "0", "0", 120, 120},
        {"Mandelbrot at i, 1e-320 (past double's range)", false, "0", "1", "1e-320", "0", "0", 96, 96},
        {"Mandelbrot at i, 1e-1500", false, "0", "1", "1e-1500", "0", "0", 64, 64},
        {"period-399 minibrot near i, 1e-290: its nucleus return 2^-560, the pixels' orbits below float's range", false,
         nucleus399Re, nucleus399Im, "1e-290", "0", "0", 48, 48},
        {"Julia set of i at z = i, 1e-40", true, "0", "1", "1e-40", "0", "1", 128, 96},
        {"Julia set of i at z = i, 1e-1100", true, "0", "1", "1e-1100", "0", "1", 64, 64},
        {"rabbit Julia set near the origin, 1e-20 (interior)", true, "0.1", "0.1", "1e-20", "-0.1226", "0.7449", 64, 64, 0},
    };
    unsigned seed = 7;
    for (const DeepCase& c : cases) {
        SCOPED_TRACE(c.where);
        const DeepRequest r = requestFor(c);
        DeepGpuScene gpu;
        ASSERT_TRUE(prepareScene(r, nullptr, gpu.scene));
        CountTarget target;
        const std::vector<float> counts = drawWhole(gpu, target);
        const Judgement j = judge(r, gpu.scene, counts, 100, seed++);
        EXPECT_GE(j.agree, j.samples * 995 / 1000) << "inside or outside differently";
        EXPECT_GE(j.escaped, c.escapedAtLeast);
        std::printf("%s: %d/%d, %d escaped, rank %.4f\n", c.where, j.agree, j.samples, j.escaped, j.rank);
        EXPECT_GE(j.rank, 0.97) << "escape counts out of MPFR's order";
        releaseTarget(target);
        releaseScene(gpu);
    }
}

// The same pictures with double mantissas (the WIDE program, the wide
// layout), which the rule does not choose today but the format keeps:
// below float's range and past double's, Mandelbrot and Julia.
TEST_F(DeepPictures, DoublesDrawThePicturesToo)
{
    const DeepCase cases[] = {
        {"period-179 minibrot, 1e-19", false, nucleus179Re, nucleus179Im, "1e-19", "0", "0", 64, 64},
        {"Mandelbrot at i, 1e-1500", false, "0", "1", "1e-1500", "0", "0", 48, 48},
        {"Julia set of i at z = i, 1e-1100", true, "0", "1", "1e-1100", "0", "1", 48, 48},
    };
    unsigned seed = 3;
    for (const DeepCase& c : cases) {
        SCOPED_TRACE(c.where);
        const DeepRequest r = requestFor(c);
        DeepGpuScene gpu;
        ASSERT_TRUE(prepareScene(r, nullptr, gpu.scene));
        gpu.scene.format.wide = true;
        CountTarget target;
        const std::vector<float> counts = drawWhole(gpu, target);
        const Judgement j = judge(r, gpu.scene, counts, 60, seed++);
        EXPECT_EQ(j.agree, j.samples) << "inside or outside differently";
        EXPECT_GE(j.rank, 0.97);
        releaseTarget(target);
        releaseScene(gpu);
    }
}

// What a count says: -1 where the orbit settled on a cycle, -2 where the
// limit came first. Inside the period-179 minibrot, with a limit of 100
// (below its period) nothing can settle; with the rule's limit its
// interior settles, and the pixels off it escape either way.
TEST_F(DeepPictures, CountsSaySettledOrLimit)
{
    DeepRequest r = requestFor(DeepCase{"", false, nucleus179Re, nucleus179Im, "3e-20", "0", "0", 32, 32});
    int settled[2] = {0, 0}, atLimit[2] = {0, 0};
    for (int k : {0, 1}) {
        r.limit = k == 0 ? 100 : 0;
        DeepGpuScene gpu;
        ASSERT_TRUE(prepareScene(r, nullptr, gpu.scene));
        CountTarget target;
        for (float c : drawWhole(gpu, target)) settled[k] += c == -1, atLimit[k] += c == -2;
        releaseTarget(target);
        releaseScene(gpu);
    }
    EXPECT_TRUE(settled[0] == 0 && atLimit[0] > 100) << settled[0] << " " << atLimit[0];
    EXPECT_GT(settled[1], atLimit[0] / 2) << settled[1] << " " << atLimit[1];
    EXPECT_LT(atLimit[1], settled[1]);
}

// A lattice of every other pixel (stride 2, from an odd origin) and one of
// every third are the whole picture's pixels at those places, bit for bit
// (the pixel's offset is an exact float, times the same pixel size):
// the coarse-to-fine viewer draws such lattices first. Below float's range
// too (1e-1100), where the pixel's exponent carries the stride.
TEST_F(DeepPictures, LatticesAreEveryStrideThPixel)
{
    for (const DeepCase& c : {DeepCase{"", false, nucleus179Re, nucleus179Im, "3e-19", "0", "0", 96, 64},
                              DeepCase{"", true, "0", "1", "1e-1100", "0", "1", 60, 60}}) {
        const DeepRequest r = requestFor(c);
        DeepGpuScene gpu;
        ASSERT_TRUE(prepareScene(r, nullptr, gpu.scene));
        CountTarget target, lattice;
        const std::vector<float> whole = drawWhole(gpu, target);
        for (const TargetPlace place : {TargetPlace{1, 0, 2}, TargetPlace{2, 1, 3}}) {
            const int w = (c.width - place.originX + place.stride - 1) / place.stride;
            const int h = (c.height - place.originY + place.stride - 1) / place.stride;
            ASSERT_TRUE(resizeTarget(lattice, w, h));
            drawSceneCounts(gpu, lattice, place, 0, 0, w, h);
            std::vector<float> coarse(size_t(w) * h);
            readCounts(lattice, 0, 0, w, h, coarse.data());
            int differ = 0;
            for (int j = 0; j < h; ++j)
                for (int i = 0; i < w; ++i)
                    differ += coarse[size_t(j) * w + i] !=
                              whole[size_t(place.originY + j * place.stride) * c.width + place.originX + i * place.stride];
            EXPECT_EQ(differ, 0) << "stride " << place.stride << (c.julia ? " Julia" : " Mandelbrot");
        }
        releaseTarget(lattice);
        releaseTarget(target);
        releaseScene(gpu);
    }
}

// The viewer's parts (border first, then rows in pieces sized by time)
// cover the picture exactly once: what they leave equals the whole.
TEST_F(DeepPictures, PartsMakeThePictureDrawnWhole)
{
    const DeepCase c{"", false, nucleus179Re, nucleus179Im, "4e-19", "0", "0", 150, 101};
    const DeepRequest r = requestFor(c);
    DeepGpuScene gpu;
    ASSERT_TRUE(prepareScene(r, nullptr, gpu.scene));
    CountTarget target;
    const std::vector<float> whole = drawWhole(gpu, target);
    ProgressivePicture p;
    p.programs.folder = programs.folder;
    startPicture(p, r);
    int passes = 0;
    const auto start = std::chrono::steady_clock::now();
    // Budgets from a piece of a row to many rows: every kind of part. A
    // scheduler that never finishes fails in seconds, not at a time-out.
    // The pixels' cost as if slow, whatever the GL, so that parts stay small.
    for (bool more = true; more && std::chrono::steady_clock::now() - start < std::chrono::seconds(10);) {
        p.msPerPixel = std::max(p.msPerPixel, 1e-3);
        more = advancePicture(p, passes % 3 == 0 ? 0.1 : passes % 3 == 1 ? 1 : 5);
        ++passes;
        if (waitingForScene(p)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(pictureFinished(p));
    EXPECT_GE(passes, 5);  // fewer on machines of many cores, whose parts are wider
    std::vector<float> parts(whole.size());
    readCounts(p.targets[p.current], 0, 0, c.width, c.height, parts.data());
    EXPECT_EQ(parts, whole);
    releasePicture(p);
    releaseTarget(target);
    releaseScene(gpu);
}

}  // namespace
}  // namespace fx
