#include "render/progressive.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The scene and its layout for the GPU both come from the worker: laying
// out a reference of millions of steps took a round of 465 ms on the main
// thread (1e-10000, limit 4,252,528).
void startScene(ProgressivePicture& p, const DeepRequest& r)
{
    auto layout = std::make_shared<DeepLayout>();
    p.laidOut = layout;
    p.job = startSceneJob(r, [layout](DeepScene& scene) { *layout = layoutScene(scene, true); });
    p.stage = ProgressivePicture::Stage::scene;
}

bool sameFractal(const DeepRequest& a, const DeepRequest& b)
{
    return a.julia == b.julia && a.width == b.width && a.height == b.height &&
           (!a.julia || (sameValue(a.constantRe, b.constantRe) && sameValue(a.constantIm, b.constantIm)));
}

// (to - from) / unit, where the difference needs the bounds' precision and
// the unit may lie past double's range.
double offsetIn(const Big& to, const Big& from, FloatExp unit)
{
    Big d(std::max(to.precision(), from.precision()));
    mpfr_sub(d.v, to.v, from.v, MPFR_RNDN);
    return toDouble(floatExpOf(d) / unit);
}

// Where the last picture lies in the new one: previous pixel = new pixel *
// scale + offset, per axis.
void placePrevious(ProgressivePicture& p, const DeepRequest& r)
{
    const DeepView& old = p.previousView;
    const FloatExp oldW = pixelSideOf(old.left, old.right, r.width), oldH = pixelSideOf(old.bottom, old.top, r.height);
    p.previousScale[0] = toDouble(pixelSideOf(r.view.left, r.view.right, r.width) / oldW);
    p.previousScale[1] = toDouble(pixelSideOf(r.view.bottom, r.view.top, r.height) / oldH);
    p.previousOffset[0] = offsetIn(r.view.left, old.left, oldW);
    p.previousOffset[1] = offsetIn(r.view.bottom, old.bottom, oldH);
}

// llvmpipe hands a draw's 64 x 64 tiles to its threads, one per core: a
// piece narrower than a tile per core leaves cores idle.
const int pieceColumns = 64 * int(std::max(1u, std::thread::hardware_concurrency()));
// The smallest part the schedule plans inside a lattice (16 rows of a
// piece): a round begins another part only where that still fits.
const long fewestSamples = 16L * pieceColumns;

bool sized(const ProgressivePicture& p, int width, int height)
{
    for (const PictureTarget& t : p.targets)
        if (!t.depth || t.counts.width != width || t.counts.height != height) return false;
    return p.samples.width == width && p.samples.height == height;
}

void resize(ProgressivePicture& p, int width, int height)
{
    for (PictureTarget& t : p.targets) resizePictureTarget(t, width, height);
    resizeTarget(p.samples, width, height);
    p.previousValid = false;
}

// Draws a part compactly, learns its counts and puts them into the picture.
void drawPart(ProgressivePicture& p, const Part& part)
{
    const auto start = Clock::now();
    drawSceneCounts(p.gpu, p.samples, TargetPlace{part.firstX(), part.firstY(), part.lattice.step}, 0, 0, part.columns,
                    part.rows);
    std::vector<float> counts(size_t(part.samples()));
    readCounts(p.samples, 0, 0, part.columns, part.rows, counts.data());
    storePart(p.grid, part, counts.data());
    // A part may cross samples known before (a border band through a moved
    // coarse lattice): they keep their first counts, which their blocks
    // show. Drawn against another reference, a count can differ in its
    // last bits, and a pixel would then show two values.
    const std::vector<float> known = partCounts(p.grid, part);
    if (known != counts) uploadSamples(p.samples, part, known.data());
    splatPart(splatProgram(p.programs), p.samples, p.targets[p.current], part);
    const PixelRect r = partReach(part, p.grid.width, p.grid.height);
    PixelRect& d = p.dirty;
    d = d.x1 > d.x0 ? PixelRect{std::min(d.x0, r.x0), std::min(d.y0, r.y0), std::max(d.x1, r.x1), std::max(d.y1, r.y1)} : r;
    p.drawnSamples += part.samples();
    // Recent parts weigh most: cost moves with the picture's region.
    const double measured = std::max(since(start) / double(part.samples()), 1e-6);
    p.msPerPixel = 0.5 * p.msPerPixel + 0.5 * measured;
}

// Puts every sample of a pass into the picture again: those it did not
// draw itself (kept from before a move; the coarse pass's first drawn ones,
// whose blocks stood in for them) fill their blocks where the drawn
// samples' reach stood in.
void splatWholePass(ProgressivePicture& p, int pass)
{
    const Lattice l = passLattice(p.grid, pass);
    const Part all{pass, l, 0, 0, l.columns, l.rows};
    if (all.samples() == 0) return;
    uploadSamples(p.samples, all, partCounts(p.grid, all).data());
    splatPart(splatProgram(p.programs), p.samples, p.targets[p.current], all);
    p.recolourAll = true;
}

// Drops what is drawn, keeping it as the preview, and computes the scene
// again at `limit`.
void raiseLimit(ProgressivePicture& p, int limit)
{
    p.previousValid = true;
    p.previousView = p.request.view;
    p.previousRange = p.range;
    std::swap(p.current, p.last);
    placePrevious(p, p.request);
    clearPictureTarget(p.targets[p.current]);
    resetGrid(p.grid, p.request.width, p.request.height);
    p.kept = false;
    p.cursor = ScheduleCursor{};
    p.passesDone = 0;
    p.recolourAll = true;
    DeepRequest raised = p.request;
    raised.limit = limit;
    startScene(p, raised);
    ++p.milestones;
}

// Whether the coarse pass's counts ask for a larger limit (none was given):
// then the picture starts again with it.
bool raisedByCoarsePass(ProgressivePicture& p, const std::vector<float>& coarse)
{
    if (p.request.limit > 0) return false;
    const LimitSample now = tallyCounts(coarse.data(), coarse.size());
    const int bound = raisedLimitBound(p.request.julia ? 2 : 1);
    const int limit = raisedLimit(p.gpu.scene.limit, now, p.raised ? &p.beforeRaise : nullptr, bound);
    if (limit <= p.gpu.scene.limit) return false;
    p.beforeRaise = now;
    p.raised = true;
    raiseLimit(p, limit);
    return true;
}

// A finished coarse pass: every 8th pixel is known, and with it the range
// of the picture's counts. Here the picture's mapping takes what its counts
// say once, so that refinement never shifts its colours; until the border
// gives mu0, the smallest coarse count stands in for the border's. The
// last picture's mapping stands in until then. False where the picture
// started again with a larger limit instead.
bool coarsePassDone(ProgressivePicture& p)
{
    const std::vector<float> coarse = coarseCounts(p.grid);
    if (raisedByCoarsePass(p, coarse)) return false;
    p.spread = countSpread(coarse);
    p.muMin = escapingQuantile(coarse, 0);
    p.range = colourRange(p.muMin, p.gpu.scene.limit, p.spread);
    splatWholePass(p, coarsePass);
    ++p.milestones;
    return true;
}

// The border gives mu0, for good.
void borderDone(ProgressivePicture& p)
{
    p.muMin = knownBorderMinimum(p.grid);
    p.range = colourRange(p.muMin, p.gpu.scene.limit, p.spread);
    p.recolourAll = true;
    ++p.milestones;
}

// Each pass the cursor has moved past since the last call.
void noteProgress(ProgressivePicture& p)
{
    for (; p.passesDone < p.cursor.pass; ++p.passesDone) {
        const int pass = p.passesDone;
        if (pass == coarsePass && !coarsePassDone(p)) return;
        if (pass == firstFinePass - 1) borderDone(p);
        if (pass >= firstFinePass && p.kept && passLattice(p.grid, pass).block > 1) splatWholePass(p, pass);
    }
}

bool takeScene(ProgressivePicture& p)
{
    if (!p.job || !p.job->done.load(std::memory_order_acquire)) return false;
    const bool ok = p.job->ok;
    if (ok) p.gpu.scene = std::move(p.job->scene), p.gpu.layout = std::move(*p.laidOut);
    p.job.reset();
    p.laidOut.reset();
    if (!ok || !uploadLaidOut(p.programs, p.gpu) || !colourProgram(p.programs) || !splatProgram(p.programs)) {
        p.stage = ProgressivePicture::Stage::none;  // nothing to draw: the view is too deep
        return false;
    }
    if (!(p.range.mu1 > p.range.mu0)) p.range = ColourRange{0, double(p.gpu.scene.limit)};
    p.stage = ProgressivePicture::Stage::drawing;
    return true;
}

}  // namespace

bool drawsRequest(const ProgressivePicture& p, const DeepRequest& r)
{
    return sameFractal(p.request, r) && sameBounds(p.request.view, r.view);
}

void startPicture(ProgressivePicture& p, const DeepRequest& r)
{
    if (p.job) p.job->cancel = true;
    long dx = 0, dy = 0;
    const bool keep = sized(p, r.width, r.height) && p.stage != ProgressivePicture::Stage::none &&
                      sameFractal(p.request, r) && wholePixelsApart(p.request.view, r.view, r.width, r.height, dx, dy);
    // Kept pixels were drawn at the limit their picture raised itself to:
    // the moved picture goes on from there, with what that raise saw, or
    // it would raise again and throw them away.
    DeepRequest scene = r;
    if (keep && r.limit == 0) scene.limit = p.gpu.scene.limit;
    else p.raised = false;
    if (keep) {
        // The content moves the other way than the view.
        shiftPictureTarget(p.targets[p.current], p.targets[p.spare], int(-dx), int(-dy));
        std::swap(p.current, p.spare);
        shiftGrid(p.grid, int(-dx), int(-dy));
        p.kept = true;
    } else {
        if (sized(p, r.width, r.height) && p.passesDone > coarsePass) {
            p.previousValid = true;
            p.previousView = p.request.view;
            p.previousRange = p.range;
            std::swap(p.current, p.last);
        }
        if (!sized(p, r.width, r.height)) resize(p, r.width, r.height);
        clearPictureTarget(p.targets[p.current]);
        resetGrid(p.grid, r.width, r.height);
        p.kept = false;
    }
    p.request = r;
    if (p.previousValid) placePrevious(p, r);
    p.cursor = ScheduleCursor{};
    p.passesDone = 0;
    p.recolourAll = true;
    p.drawnSamples = 0;
    startScene(p, scene);
}

bool advancePicture(ProgressivePicture& p, double budgetMs)
{
    const auto start = Clock::now();
    if (p.stage == ProgressivePicture::Stage::scene && !takeScene(p)) return p.stage == ProgressivePicture::Stage::scene;
    // A part begins only where the smallest one still fits the budget (the
    // first of a round always: the picture must move on).
    for (bool first = true; p.stage == ProgressivePicture::Stage::drawing &&
                            (first || since(start) + fewestSamples * p.msPerPixel < budgetMs);
         first = false) {
        const long most = std::max(fewestSamples, long((budgetMs - since(start)) / p.msPerPixel));
        Part part;
        if (nextPart(p.grid, p.cursor, most, pieceColumns, part)) drawPart(p, part);
        const bool more = skipKnown(p.grid, p.cursor);
        noteProgress(p);
        if (!more && p.stage == ProgressivePicture::Stage::drawing) p.stage = ProgressivePicture::Stage::finished;
    }
    return p.stage == ProgressivePicture::Stage::scene || p.stage == ProgressivePicture::Stage::drawing;
}

bool waitingForScene(const ProgressivePicture& p)
{
    return p.stage == ProgressivePicture::Stage::scene;
}

bool pictureFinished(const ProgressivePicture& p)
{
    return p.stage == ProgressivePicture::Stage::finished;
}

bool showDue(const ProgressivePicture& p, ShowState& s, bool asked)
{
    const auto now = Clock::now();
    if (!asked && s.milestones == p.milestones && !pictureFinished(p) &&
        std::chrono::duration<double, std::milli>(now - s.at).count() < showEveryMs)
        return false;
    s.milestones = p.milestones;
    s.at = now;
    return true;
}

void showPicture(ProgressivePicture& p, GLuint table, int width, int height, bool recolour)
{
    const GLuint program = colourProgram(p.programs);
    if (!program || !p.targets[p.current].counts.texture) return;
    ColourFrame frame;
    frame.counts = &p.targets[p.current].counts;
    frame.range = p.range;
    if (p.previousValid) {
        frame.previous = &p.targets[p.last].counts;
        frame.previousRange = p.previousRange;
        std::copy_n(p.previousScale, 2, frame.previousScale);
        std::copy_n(p.previousOffset, 2, frame.previousOffset);
    }
    GLint window = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &window);
    const bool resized = p.colours.width != width || p.colours.height != height;
    if (!resizeTarget(p.colours, width, height, GL_RGBA8)) return drawColours(program, table, frame, width, height);
    const PixelRect r = recolour || resized || p.recolourAll ? PixelRect{0, 0, width, height} : p.dirty;
    if (r.x1 > r.x0 && r.y1 > r.y0) {
        const int area[4] = {r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0};
        std::copy_n(area, 4, frame.area);
        glBindFramebuffer(GL_FRAMEBUFFER, p.colours.framebuffer);
        drawColours(program, table, frame, width, height);
    }
    copyColoursOut(p.colours, window);
    p.dirty = PixelRect{};
    p.recolourAll = false;
}

void releasePicture(ProgressivePicture& p)
{
    if (p.job) p.job->cancel = true;
    p.job.reset();
    p.laidOut.reset();
    releaseScene(p.gpu);
    for (PictureTarget& t : p.targets) releasePictureTarget(t);
    releaseTarget(p.samples);
    releaseTarget(p.colours);
    p.stage = ProgressivePicture::Stage::none;
}
