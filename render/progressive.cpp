#include "render/progressive.h"
#include "deep/colour_depth.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool same(const Big& a, const Big& b)
{
    return mpfr_equal_p(a.v, b.v) != 0;
}

bool sameView(const DeepView& a, const DeepView& b)
{
    return same(a.left, b.left) && same(a.right, b.right) && same(a.bottom, b.bottom) && same(a.top, b.top);
}

// (to - from) / unit, where the difference needs the bounds' precision and
// the unit may lie past double's range.
double offsetIn(const Big& to, const Big& from, FloatExp unit)
{
    Big d(std::max(to.precision(), from.precision()));
    mpfr_sub(d.v, to.v, from.v, MPFR_RNDN);
    return toDouble(floatExpOf(d) / unit);
}

// Where the finished picture lies in the new one: previous pixel = new
// pixel * scale + offset, per axis.
void placePrevious(ProgressivePicture& p, const DeepRequest& r)
{
    const DeepView& old = p.previousView;
    const FloatExp oldW = pixelSideOf(old.left, old.right, r.width), oldH = pixelSideOf(old.bottom, old.top, r.height);
    p.previousScale[0] = toDouble(pixelSideOf(r.view.left, r.view.right, r.width) / oldW);
    p.previousScale[1] = toDouble(pixelSideOf(r.view.bottom, r.view.top, r.height) / oldH);
    p.previousOffset[0] = offsetIn(r.view.left, old.left, oldW);
    p.previousOffset[1] = offsetIn(r.view.bottom, old.bottom, oldH);
}

// Draws the target's pixels [x, x + w) x [y, y + h) and waits for them.
void drawPart(ProgressivePicture& p, int x, int y, int w, int h)
{
    drawSceneCounts(p.gpu, p.targets[p.current], TargetPlace{0, 0}, x, y, w, h);
    glFinish();
}

// The border in pieces of up to 256 pixels: the top row, the bottom row,
// the left and the right column. False once every piece is drawn.
bool borderPiece(ProgressivePicture& p, int piece, int& x, int& y, int& w, int& h)
{
    const int W = p.request.width, H = p.request.height, across = (W + 255) / 256, down = (H + 255) / 256;
    if (piece < 2 * across) {
        x = (piece % across) * 256, y = piece < across ? H - 1 : 0, w = std::min(256, W - x), h = 1;
        return true;
    }
    piece -= 2 * across;
    if (piece >= 2 * down) return false;
    y = (piece % down) * 256, x = piece < down ? 0 : W - 1, h = std::min(256, H - y), w = 1;
    return true;
}

void advanceBorder(ProgressivePicture& p, Clock::time_point start, double budgetMs)
{
    int x, y, w, h;
    while (since(start) < budgetMs && borderPiece(p, p.borderPiece, x, y, w, h)) {
        drawPart(p, x, y, w, h);
        std::vector<float> counts(static_cast<size_t>(w) * static_cast<size_t>(h));
        readCounts(p.targets[p.current], x, y, w, h, counts.data());
        for (float c : counts)
            if (c >= 0) p.borderLeast = std::min(p.borderLeast, double(c));
        ++p.borderPiece;
    }
    if (borderPiece(p, p.borderPiece, x, y, w, h)) return;
    p.mu0 = colourOffset(p.borderLeast);
    p.stage = ProgressivePicture::Stage::rows;
    p.bandTop = p.request.height;
    p.column = 0;
}

constexpr int band = 16;
// llvmpipe hands a draw's 64 x 64 tiles to its threads, one per core: a
// piece narrower than a tile per core leaves cores idle.
const int pieceColumns = 64 * int(std::max(1u, std::thread::hardware_concurrency()));

int bandHeight(const ProgressivePicture& p)
{
    return std::min(band, p.bandTop);
}

// One part: as many whole bands as the budget left allows, or, where one
// band would take longer, a piece of the current band, in tiles' columns.
void bandsPart(ProgressivePicture& p, double leftMs)
{
    const int W = p.request.width, h = bandHeight(p);
    const long pixels = std::max(long(band) * band, long(leftMs / p.msPerPixel));
    const auto start = Clock::now();
    long drawn;
    if (p.column > 0 || pixels < long(W) * h) {
        const int w = std::min<int>(W - p.column, std::max<long>(pieceColumns, pixels / h / 64 * 64));
        drawPart(p, p.column, p.bandTop - h, w, h);
        drawn = long(w) * h;
        p.column += w;
        if (p.column == W) p.bandTop -= h, p.column = 0;
    } else {
        const int rows = int(std::min<long>(p.bandTop, std::max<long>(h, pixels / W / band * band)));
        drawPart(p, 0, p.bandTop - rows, W, rows);
        drawn = long(rows) * W;
        p.bandTop -= rows;
    }
    // Recent parts weigh most: cost moves with the picture's region; a
    // dearer part is believed at once, a cheaper one halfway.
    const double measured = std::max(since(start) / double(drawn), 1e-6);
    p.msPerPixel = std::max(measured, 0.5 * p.msPerPixel + 0.5 * measured);
}

bool takeScene(ProgressivePicture& p)
{
    if (!p.job || !p.job->done.load(std::memory_order_acquire)) return false;
    const bool ok = p.job->ok;
    if (ok) p.gpu.scene = std::move(p.job->scene);
    p.job.reset();
    if (!ok || !uploadScene(p.programs, p.gpu) || !colourProgram(p.programs)) {
        p.stage = ProgressivePicture::Stage::none;  // nothing to draw: the view is too deep
        return false;
    }
    p.stage = ProgressivePicture::Stage::border;
    p.borderPiece = 0;
    p.borderLeast = 1e300;
    return true;
}

}  // namespace

bool drawsRequest(const ProgressivePicture& p, const DeepRequest& r)
{
    const DeepRequest& q = p.request;
    return q.julia == r.julia && q.width == r.width &&
           q.height == r.height && sameView(q.view, r.view) &&
           (!r.julia || (same(q.constantRe, r.constantRe) && same(q.constantIm, r.constantIm)));
}

void startPicture(ProgressivePicture& p, const DeepRequest& r)
{
    if (p.job) p.job->cancel = true;
    const bool resized = p.targets[0].width != r.width || p.targets[0].height != r.height;
    if (p.stage == ProgressivePicture::Stage::finished && !resized) {
        p.previousValid = true;
        p.previousView = p.request.view;
        p.previousLimit = p.gpu.scene.limit;
        p.previousMu0 = p.mu0;
        p.current = 1 - p.current;
    }
    if (resized) p.previousValid = false;
    for (CountTarget& t : p.targets) resizeTarget(t, r.width, r.height);
    p.request = r;
    if (p.previousValid) placePrevious(p, r);
    p.job = startSceneJob(r);
    p.stage = ProgressivePicture::Stage::scene;
}

bool advancePicture(ProgressivePicture& p, double budgetMs)
{
    const auto start = Clock::now();
    if (p.stage == ProgressivePicture::Stage::scene && !takeScene(p)) return p.stage == ProgressivePicture::Stage::scene;
    if (p.stage == ProgressivePicture::Stage::border) advanceBorder(p, start, budgetMs);
    // A part begins only where the smallest one still fits the budget (the
    // first of a round always: the picture must move on).
    const double smallestPart = double(pieceColumns) * band * p.msPerPixel;
    for (bool first = true; p.stage == ProgressivePicture::Stage::rows && (first || since(start) + smallestPart < budgetMs);
         first = false) {
        bandsPart(p, budgetMs - since(start));
        if (p.bandTop <= 0) p.stage = ProgressivePicture::Stage::finished;
    }
    return p.stage == ProgressivePicture::Stage::scene || p.stage == ProgressivePicture::Stage::border ||
           p.stage == ProgressivePicture::Stage::rows;
}

bool waitingForScene(const ProgressivePicture& p)
{
    return p.stage == ProgressivePicture::Stage::scene;
}

bool pictureFinished(const ProgressivePicture& p)
{
    return p.stage == ProgressivePicture::Stage::finished;
}

void showPicture(ProgressivePicture& p, GLuint table, int width, int height)
{
    const GLuint program = colourProgram(p.programs);
    if (!program || !p.targets[p.current].texture) return;
    ColourFrame frame;
    frame.counts = &p.targets[p.current];
    frame.limit = p.gpu.scene.limit;
    frame.offset = p.mu0;
    const int H = p.request.height;
    if (p.stage == ProgressivePicture::Stage::finished) frame.done[3] = H;
    if (p.stage == ProgressivePicture::Stage::rows) {
        frame.done[0] = p.bandTop, frame.done[1] = p.bandTop - bandHeight(p), frame.done[2] = p.column, frame.done[3] = H;
    }
    if (p.previousValid) {
        frame.previous = &p.targets[1 - p.current];
        frame.previousLimit = p.previousLimit;
        frame.previousOffset0 = p.previousMu0;
        std::copy_n(p.previousScale, 2, frame.previousScale);
        std::copy_n(p.previousOffset, 2, frame.previousOffset);
    }
    drawColours(program, table, frame, width, height);
}

void releasePicture(ProgressivePicture& p)
{
    if (p.job) p.job->cancel = true;
    p.job.reset();
    releaseScene(p.gpu);
    for (CountTarget& t : p.targets) releaseTarget(t);
    p.stage = ProgressivePicture::Stage::none;
}
