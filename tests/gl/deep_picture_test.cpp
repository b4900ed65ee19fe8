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

struct DeepCase {
    const char* where;
    bool julia;
    const char *re, *im, *extent, *cre, *cim;
    int width, height;
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

// Views from just past double precision to double's end; a minibrot whose
// reference is its nucleus (rebased every period, interior stopped early);
// Julia sets, whose second reference is the orbit of 0. Samples are
// random pixels, the same every run. Near a deep minibrot many counts
// change when the point moves by a billionth of a pixel, and no double
// arithmetic can say which is right: counts are compared where MPFR's
// stays put under such moves (there must be many such pixels).
TEST_F(DeepPictures, SampledPixelsAsMpfrCountsThem)
{
    const DeepCase cases[] = {
        {"Mandelbrot at the Misiurewicz point i, 1e-30", false, "0", "1", "1e-30", "0", "0", 160, 120},
        {"Mandelbrot at i, 1e-100 (doubles' range)", false, "0", "1", "1e-100", "0", "0", 120, 120},
        {"period-179 minibrot, 1e-19", false, nucleus179Re, nucleus179Im, "1e-19", "0", "0", 128, 128},
        {"the minibrot off centre: interior orbits pass 0 nearer than the reference", false,
         "-0.74056003555822763207239202475945653", "0.13259112153701780013935396728619601", "2e-19", "0", "0", 128, 128},
        {"seahorse valley, 1e-14: long orbits near repelling cycles", false, "-0.743643887037158704752191506114774",
         "0.131825904205311970493132056385139", "1e-14", "0", "0", 200, 200},
        {"Julia set of i at z = i, 1e-40", true, "0", "1", "1e-40", "0", "1", 128, 96},
        {"rabbit Julia set near the origin, 1e-20 (interior)", true, "0.1", "0.1", "1e-20", "-0.1226", "0.7449", 64, 64},
    };
    std::mt19937 random(7);
    for (const DeepCase& c : cases) {
        SCOPED_TRACE(c.where);
        const DeepRequest r = requestFor(c);
        DeepGpuScene gpu;
        ASSERT_TRUE(prepareScene(r, nullptr, gpu.scene));
        CountTarget target;
        const std::vector<float> counts = drawWhole(gpu, target);
        int agree = 0, samples = 0, close = 0, escaped = 0, steady = 0;
        std::vector<std::pair<double, double>> pairs;
        for (; samples < 120; ++samples) {
            const int i = int(random() % unsigned(c.width)), j = int(random() % unsigned(c.height));
            const double gpuCount = counts[size_t(j) * c.width + i], exact = mpfrCount(r, gpu.scene, i, j);
            agree += (gpuCount < 0) == (exact < 0);
            if (gpuCount < 0 || exact < 0) continue;
            ++escaped;
            if (std::fabs(mpfrCount(r, gpu.scene, i, j, 1e-9) - exact) > 0.01 ||
                std::fabs(mpfrCount(r, gpu.scene, i, j, -1e-9) - exact) > 0.01)
                continue;
            ++steady;
            close += std::fabs(gpuCount - exact) < 0.01;
            pairs.emplace_back(exact, gpuCount);
        }
        // Colours follow counts through a monotonic map: ordered counts are ordered colours.
        int inverted = 0;
        for (const auto& a : pairs)
            for (const auto& b : pairs) inverted += a.first < b.first - 0.01 && a.second > b.second + 0.01;
        EXPECT_GE(agree, samples * 995 / 1000) << "inside or outside differently";
        EXPECT_GE(steady, escaped / 2);
        EXPECT_GE(close, steady * 99 / 100) << "escape counts differ";
        EXPECT_EQ(inverted, 0);
        releaseTarget(target);
        releaseScene(gpu);
    }
}

// Runs the viewer's passes with budgets from a piece of a row to many rows
// (every kind of part), or with the smallest (one part a pass) while
// `small` holds; `each` sees the picture after every pass. A scheduler
// that never finishes fails in seconds, not at a time-out. The samples'
// cost as if slow, whatever the GL, so that parts stay small.
template <typename Small, typename Each>
int drawInPasses(ProgressivePicture& p, Small small, Each&& each)
{
    int passes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (bool more = true; more && std::chrono::steady_clock::now() - start < std::chrono::seconds(20); ++passes) {
        p.msPerPixel = std::max(p.msPerPixel, 1e-3);
        more = advancePicture(p, small(p) || passes % 3 == 0 ? 0.1 : passes % 3 == 1 ? 1 : 5);
        if (waitingForScene(p)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        each(p);
    }
    return passes;
}

std::vector<float> shownCounts(const ProgressivePicture& p)
{
    const CountTarget& t = p.targets[p.current].counts;
    std::vector<float> counts(size_t(t.width) * t.height);
    readCounts(t, 0, 0, t.width, t.height, counts.data());
    return counts;
}

bool coarseComplete(const SampleGrid& g)
{
    const Lattice l = passLattice(g, coarsePass);
    return coarseCounts(g).size() == size_t(l.columns) * size_t(l.rows);
}

// Pixels that show neither their own count, nor their coarse sample's in
// its block, nor (outside every block: the edges) some count.
long notShowingCoarseSamples(const ProgressivePicture& p, const std::vector<float>& whole)
{
    const std::vector<float> shown = shownCounts(p);
    const SampleGrid& g = p.grid;
    const Lattice l = passLattice(g, coarsePass);
    const Part all{coarsePass, l, 0, 0, l.columns, l.rows};
    long wrong = 0;
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            const size_t at = size_t(y) * g.width + x;
            const Splat s = splatAt(all, x, y);
            const float got = shown[at], sample = whole[size_t(l.y0 + s.j * l.step) * g.width + size_t(l.x0 + s.i * l.step)];
            wrong += !((g.known[at] && got == whole[at]) || (s.inBlock && got == sample) || (!s.inBlock && got < notDrawn));
        }
    return wrong;
}

// Coarse to fine: once every 8th pixel is drawn, every pixel shows the
// sample whose block holds it (none shows nothing); in the end each pixel
// was drawn once, and the picture is the one drawn whole.
TEST_F(DeepPictures, CoarseToFineEndsAsThePictureDrawnWhole)
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
    bool checked = false;
    const int passes = drawInPasses(p, [](const ProgressivePicture& q) { return !coarseComplete(q.grid); },
                                    [&](const ProgressivePicture& q) {
                                        if (checked || !coarseComplete(q.grid)) return;
                                        checked = true;
                                        EXPECT_EQ(notShowingCoarseSamples(q, whole), 0);
                                    });
    ASSERT_TRUE(pictureFinished(p) && checked);
    EXPECT_GE(passes, 5);  // fewer on machines of many cores, whose parts are wider
    EXPECT_EQ(p.drawnSamples, long(c.width) * c.height) << "a sample drawn twice, or one missed";
    EXPECT_EQ(shownCounts(p), whole);
    releasePicture(p);
    releaseTarget(target);
    releaseScene(gpu);
}

// A move by whole pixels keeps every pixel drawn: at once (nothing drawn
// yet) the kept ones show their counts in their new place, only the rest
// are drawn, and the finished picture is the moved view drawn whole but
// for pixels whose count moves when the point moves by a thousandth of a
// pixel, where two right programs may differ (judged against MPFR). Moved
// once the picture is finished, and once only its coarse pass is.
TEST_F(DeepPictures, AMoveKeepsWhatIsDrawn)
{
    const DeepCase c{"", false, "0", "1", "1e-30", "0", "0", 120, 90};
    const DeepRequest r = requestFor(c);
    for (const bool finishFirst : {true, false}) {
        SCOPED_TRACE(finishFirst ? "finished" : "coarse pass");
        ProgressivePicture p;
        p.programs.folder = programs.folder;
        startPicture(p, r);
        drawInPasses(p, [&](const ProgressivePicture& q) { return !finishFirst && !coarseComplete(q.grid); },
                     [&](ProgressivePicture& q) { if (!finishFirst && coarseComplete(q.grid)) q.stage = ProgressivePicture::Stage::none; });
        const std::vector<float> before = shownCounts(p);
        const SampleGrid grid = p.grid;
        p.stage = finishFirst ? p.stage : ProgressivePicture::Stage::drawing;
        DeepRequest moved = r;
        const int dx = finishFirst ? 37 : -50, dy = finishFirst ? -23 : 31;  // the view's move; the content moves back
        panDeep(moved.view, dx, dy, c.width, c.height);
        startPicture(p, moved);
        const std::vector<float> kept = shownCounts(p);
        long wrong = 0, stayed = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const int fx = x + dx, fy = y + dy;
                const bool inside = fx >= 0 && fx < c.width && fy >= 0 && fy < c.height;
                const size_t from = size_t(fy) * c.width + fx;
                stayed += inside && grid.known[from];
                wrong += inside ? kept[size_t(y) * c.width + x] != before[from] : kept[size_t(y) * c.width + x] < notDrawn;
            }
        EXPECT_EQ(wrong, 0) << "pixels not moved along exactly";
        drawInPasses(p, [](const ProgressivePicture&) { return false; }, [](const ProgressivePicture&) {});
        ASSERT_TRUE(pictureFinished(p));
        // Where the moved coarse lattice crosses a border band (4 pixels
        // wide at the left and bottom, 3 at the right and top), the band is
        // drawn through its coarse samples.
        long crossing = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                crossing += (x < 4 || y < 4 || x >= c.width - 3 || y >= c.height - 3) &&
                            (x - p.grid.phaseX) % coarseStep == 0 && (y - p.grid.phaseY) % coarseStep == 0;
        EXPECT_GE(p.drawnSamples, long(c.width) * c.height - stayed) << "a pixel missed";
        EXPECT_LE(p.drawnSamples, long(c.width) * c.height - stayed + crossing) << "drawn again";
        DeepGpuScene gpu;
        ASSERT_TRUE(prepareScene(moved, nullptr, gpu.scene));
        CountTarget target;
        const std::vector<float> fresh = drawWhole(gpu, target), after = shownCounts(p);
        long differ = 0, unexplained = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const size_t at = size_t(y) * c.width + x;
                if (after[at] == fresh[at] || (after[at] < 0 && fresh[at] < 0)) continue;
                ++differ;
                const double exact = mpfrCount(moved, gpu.scene, x, y);
                unexplained += std::fabs(mpfrCount(moved, gpu.scene, x, y, 1e-3) - exact) <= 0.01 &&
                               std::fabs(mpfrCount(moved, gpu.scene, x, y, -1e-3) - exact) <= 0.01 &&
                               std::fabs(after[at] - fresh[at]) > 1e-3;
            }
        EXPECT_EQ(unexplained, 0) << differ << " pixels differ";
        releaseTarget(target);
        releaseScene(gpu);
        releasePicture(p);
    }
}

}  // namespace
}  // namespace fx
