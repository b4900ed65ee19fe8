// Pictures past single precision against a plain MPFR iteration of sampled
// pixels: inside or outside alike, escape counts alike and in the same
// order; and a picture drawn in time-sliced parts equal to one drawn whole.
// Headless, on whatever context EGL (or a hidden window) gives.
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
        const Judgement j = judge(r, gpu.scene, counts, 150, seed++);
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

// What a pixel shows once the passes before the cursor's are done: its own
// count where it is known, else the sample whose block holds it at the
// finest finished step (render/schedule.h), else, outside every block (the
// coarse pass's reach at the picture's edges), some count. The pixels that
// show otherwise.
long notShowingTheirSamples(const ProgressivePicture& p)
{
    const std::vector<float> shown = shownCounts(p);
    const SampleGrid& g = p.grid;
    long wrong = 0;
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            const size_t at = size_t(y) * g.width + x;
            float expected = g.known[at] ? g.counts[at] : notDrawn;
            for (int pass = p.cursor.pass - 1; pass >= coarsePass && expected == notDrawn; --pass) {
                if (pass >= firstBorderPass && pass < firstFinePass) continue;
                const Lattice l = passLattice(g, pass);
                const Splat s = splatAt(Part{pass, l, 0, 0, l.columns, l.rows}, x, y);
                if (s.inBlock) expected = g.counts[size_t(l.y0 + s.j * l.step) * g.width + size_t(l.x0 + s.i * l.step)];
            }
            // Before the coarse pass an unknown pixel may show anything, after it something.
            wrong += expected == notDrawn ? p.cursor.pass > coarsePass && !(shown[at] < notDrawn) : shown[at] != expected;
        }
    return wrong;
}

// Draws in the smallest parts, one a pass, and checks what the picture
// shows each time a pass is done; the passes checked.
int drawCheckingEachPass(ProgressivePicture& p)
{
    int checked = 0, lastPass = -1;
    drawInPasses(p, [](const ProgressivePicture&) { return true; }, [&](const ProgressivePicture& q) {
        if (q.stage == ProgressivePicture::Stage::scene || q.cursor.pass == lastPass) return;
        lastPass = q.cursor.pass;
        ++checked;
        EXPECT_EQ(notShowingTheirSamples(q), 0) << "once " << q.cursor.pass << " passes are done";
    });
    return checked;
}

// Coarse to fine: once every 8th pixel is drawn, and after every pass,
// every pixel shows the sample nearest it (none shows nothing); in the end
// each pixel was drawn once, and the picture is the one drawn whole.
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
    EXPECT_GE(drawCheckingEachPass(p), passCount);
    ASSERT_TRUE(pictureFinished(p));
    EXPECT_EQ(p.drawnSamples, long(c.width) * c.height) << "a sample drawn twice, or one missed";
    EXPECT_EQ(shownCounts(p), whole);
    // In parts of every size the same.
    ProgressivePicture q;
    q.programs.folder = programs.folder;
    startPicture(q, r);
    const int passes = drawInPasses(q, [](const ProgressivePicture&) { return false; }, [](const ProgressivePicture&) {});
    EXPECT_GE(passes, 5);  // fewer on machines of many cores, whose parts are wider
    EXPECT_EQ(shownCounts(q), whole);
    releasePicture(q);
    releasePicture(p);
    releaseTarget(target);
    releaseScene(gpu);
}

// Next to the parabolic point -3/4 every pixel escapes after about
// pi / 2e-5 = 157,080 steps or a few times that (orbits that come back
// through the neck), far past the rule's 4,248: the coarse pass finds
// nothing resolved, and the picture starts again with four times the limit
// until it shows (at 271,872 or, where a raise still resolves half of what
// was left, four times that), the last coarse pass on the screen meanwhile.
// Then it is the picture drawn whole at that limit.
TEST_F(DeepPictures, ABlankPictureRaisesItsLimitUntilItShows)
{
    const DeepCase c{"", false, "-0.75", "2e-5", "1e-10", "0", "0", 64, 48};
    ProgressivePicture p;
    p.programs.folder = programs.folder;
    startPicture(p, requestFor(c));
    bool previewed = false;
    drawInPasses(p, [](const ProgressivePicture&) { return false; }, [&](const ProgressivePicture& q) {
        previewed = previewed || (q.stage == ProgressivePicture::Stage::scene && q.raised && q.previousValid);
    });
    ASSERT_TRUE(pictureFinished(p));
    EXPECT_TRUE(previewed);
    EXPECT_TRUE(p.gpu.scene.limit == 271872 || p.gpu.scene.limit == 4 * 271872) << p.gpu.scene.limit;
    const std::vector<float> shown = shownCounts(p);
    EXPECT_GE(std::count_if(shown.begin(), shown.end(), [](float mu) { return mu >= 157000; }), long(shown.size()) * 3 / 4);
    EXPECT_EQ(std::count_if(shown.begin(), shown.end(), [](float mu) { return mu >= 0 && mu < 157000; }), 0);
    DeepRequest at = requestFor(c);
    at.limit = p.gpu.scene.limit;
    DeepGpuScene gpu;
    ASSERT_TRUE(prepareScene(at, nullptr, gpu.scene));
    CountTarget target;
    EXPECT_EQ(drawWhole(gpu, target), shown);
    releaseTarget(target);
    releaseScene(gpu);
    // Moved by whole pixels, it keeps that limit and what is drawn: only
    // the uncovered strips (and a few coarse samples) are new.
    const int limit = p.gpu.scene.limit;
    panDeep(at.view, 5, -3, c.width, c.height);
    at.limit = 0;
    startPicture(p, at);
    drawInPasses(p, [](const ProgressivePicture&) { return false; }, [](const ProgressivePicture&) {});
    ASSERT_TRUE(pictureFinished(p));
    EXPECT_EQ(p.gpu.scene.limit, limit);
    EXPECT_LE(p.drawnSamples, long(5 * c.height + 3 * c.width + c.width * c.height / 16)) << "drawn again";
    releasePicture(p);
}

// A move by whole pixels keeps every pixel drawn: at once (nothing drawn
// yet) the kept ones show their counts in their new place, only the rest
// are drawn, and the finished picture is the moved view drawn whole but
// for pixels whose count moves when the point moves by a thousandth of a
// pixel, where two right programs may differ (judged against MPFR); on the
// way each pixel shows its nearest sample, kept or new. Moved once the
// picture is finished, once only its coarse pass is, and once more after
// the coarse pass of that.
TEST_F(DeepPictures, AMoveKeepsWhatIsDrawn)
{
    const DeepCase c{"", false, "0", "1", "1e-30", "0", "0", 120, 90};
    struct Moves { bool finishFirst; std::vector<std::pair<int, int>> views; const char* what; };
    for (const Moves& m : {Moves{true, {{37, -23}}, "finished"}, Moves{false, {{-50, 31}}, "coarse pass"},
                           Moves{false, {{-50, 31}, {13, -6}}, "coarse pass, moved twice"}}) {
        SCOPED_TRACE(m.what);
        const bool finishFirst = m.finishFirst;
        DeepRequest moved = requestFor(c);
        ProgressivePicture p;
        p.programs.folder = programs.folder;
        startPicture(p, moved);
        std::vector<float> before;
        SampleGrid grid;
        int dx = 0, dy = 0;  // the view's move; the content moves back
        for (const auto& [x, y] : m.views) {
            drawInPasses(p, [&](const ProgressivePicture& q) { return !finishFirst && !coarseComplete(q.grid); },
                         [&](ProgressivePicture& q) { if (!finishFirst && coarseComplete(q.grid)) q.stage = ProgressivePicture::Stage::none; });
            before = shownCounts(p), grid = p.grid, dx = x, dy = y;
            if (!finishFirst) p.stage = ProgressivePicture::Stage::drawing;
            panDeep(moved.view, dx, dy, c.width, c.height);
            startPicture(p, moved);
        }
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
        drawCheckingEachPass(p);
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

// The colour pass shows each count where the mapping puts it on the
// table (ranges with and without a bent curve, counts past mu1 and inside
// the set), and where nothing is drawn yet the last picture's count by its
// own mapping, or black; within a level of 8-bit rounding.
TEST_F(DeepPictures, TheColourPassShowsTheMapping)
{
    constexpr int W = 256, H = 3;
    std::vector<float> table(4 * 512), counts(W * H), old(W * H);
    for (int k = 0; k < 512; ++k) table[4 * size_t(k)] = table[4 * size_t(k) + 1] = table[4 * size_t(k) + 2] = k / 511.0f;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    uploadColourTexture(texture, table);
    for (int i = 0; i < W; ++i) {
        counts[size_t(i)] = i == 0 ? -1.0f : 300 + i * 0.4f;                  // row 0: interior, then escaping
        counts[size_t(W + i)] = i % 2 ? notDrawn : 300 + i * 0.1f;           // row 1: every other pixel not drawn
        counts[size_t(2 * W + i)] = i < 128 ? notDrawn : 250 + i;            // row 2: half not drawn
        old[size_t(i)] = old[size_t(W + i)] = old[size_t(2 * W + i)] = i < 200 ? 310 + i * 0.2f : notDrawn;
    }
    CountTarget now, before, shown;
    ASSERT_TRUE(resizeTarget(now, W, H) && resizeTarget(before, W, H) && resizeTarget(shown, W, H, GL_RGBA8));
    for (const auto& [t, data] : {std::pair{&now, &counts}, {&before, &old}}) {
        glBindTexture(GL_TEXTURE_2D, t->texture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, W, H, GL_RED, GL_FLOAT, data->data());
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    for (const ColourRange& range : {ColourRange{299, 390, 1}, ColourRange{299.5, 360, 40}, ColourRange{0, 8000, 1}}) {
        ColourFrame frame;
        frame.counts = &now;
        frame.range = range;
        frame.previous = &before;
        frame.previousRange = ColourRange{305, 400, 7};
        glBindFramebuffer(GL_FRAMEBUFFER, shown.framebuffer);
        drawColours(colourProgram(programs), texture, frame, W, H);
        std::vector<std::uint8_t> rgba(size_t(W) * H * 4);
        glBindFramebuffer(GL_FRAMEBUFFER, shown.framebuffer);
        glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        int worst = 0;
        for (size_t k = 0; k < counts.size(); ++k) {
            const bool drawn = counts[k] < notDrawn, past = old[k] < notDrawn;
            const double s = drawn ? tablePosition(counts[k], range) : tablePosition(old[k], frame.previousRange);
            const int expected = drawn || past ? int(std::lround(255 * s)) : 0;
            worst = std::max(worst, std::abs(int(rgba[4 * k]) - expected));
        }
        EXPECT_LE(worst, 1) << range.mu0 << " .. " << range.mu1 << ", k " << range.bend;
    }
    releaseTarget(now);
    releaseTarget(before);
    releaseTarget(shown);
    glDeleteTextures(1, &texture);
}

}  // namespace
}  // namespace fx
