// What the deep-picture GL tests share: the views (minibrot nuclei), the
// headless context as a fixture, and the judgement of a picture against a
// plain MPFR iteration of sampled pixels.
#pragma once

#include "deep/location.h"
#include "platform/headless_gl.h"
#include "render/progressive.h"
#include "transfer/transfer_function.h"
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

inline DeepRequest requestFor(const DeepCase& c)
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

// How a picture stands against MPFR at sampled pixels: inside or outside
// alike, and escaping counts in the same order (rank correlation), the
// criterion that holds wherever the picture is right: near a deep minibrot
// many counts change when the point moves by a thousandth of a pixel, and
// no two right programs agree on them, but they agree on the picture.
struct Judgement {
    int samples = 0, agree = 0, escaped = 0;
    double rank = 1;
};

inline Judgement judge(const DeepRequest& r, const DeepScene& s, const std::vector<float>& counts, int samples, unsigned seed)
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
    // A case drawn whole (with double mantissas where `wide`), judged at
    // `samples` random pixels from `seed`.
    Judgement drawnAndJudged(const DeepCase& c, bool wide, int samples, unsigned seed)
    {
        const DeepRequest r = requestFor(c);
        DeepGpuScene gpu;
        if (!prepareScene(r, nullptr, gpu.scene)) return ADD_FAILURE() << "not drawable", Judgement{0, 0, 0, 0};
        gpu.scene.format.wide = wide;
        CountTarget target;
        const Judgement j = judge(r, gpu.scene, drawWhole(gpu, target), samples, seed);
        releaseTarget(target);
        releaseScene(gpu);
        return j;
    }
    static inline HeadlessGl gl;
    static inline bool opened = false;
    static inline std::string reason;
    DeepPrograms programs;
};


}  // namespace
}  // namespace fx
