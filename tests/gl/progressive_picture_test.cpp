// The viewer's picture drawn in time-sliced parts, coarse to fine: equal to
// one drawn whole, raising its own limit, keeping what is drawn when moved,
// coloured by its mapping. Headless, on whatever context EGL (or a hidden
// window) gives.
#include "gl/deep_picture_fixture.h"

namespace fx {
namespace {

// The same context and helpers; a suite of its own name.
using ProgressivePictures = DeepPictures;

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
TEST_F(ProgressivePictures, CoarseToFineEndsAsThePictureDrawnWhole)
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
TEST_F(ProgressivePictures, ABlankPictureRaisesItsLimitUntilItShows)
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
TEST_F(ProgressivePictures, AMoveKeepsWhatIsDrawn)
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
TEST_F(ProgressivePictures, TheColourPassShowsTheMapping)
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
