// The movie's loop on the drawing thread: for each frame, its two
// keyframes on the GPU (put back from the folder, or drawn and handed to the
// writer thread to be kept), then the frame itself, handed over to be
// encoded. Two keyframes are held at a time, since the frames need them in
// the order of their extents.
#include "tool/movie.h"
#include "deep/colour_depth.h"
#include "deep/iteration_limit.h"
#include "render/movie_pass.h"
#include "tool/keyframe_store.h"
#include "tool/movie_output.h"
#include "tool/movie_plan.h"
#include "tool/progress.h"
#include "tool/writer.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

struct HeldKeyframe {
    int index = -1;
    CountTarget counts;
    CountSpread spread;  // what its counts say, as a picture's coarse samples
};

struct Movie {
    const RenderOptions* options = nullptr;
    const PictureRequest* request = nullptr;
    MoviePlan plan;
    Big smallest;                  // keyframe 0's extent
    KeyframeStore store;
    MovieGl gl;
    Writer writer;
    MovieOutput output;
    bool haveReferences = false;
    int referenceLimit = 0;        // the steps the references were computed for
    ReferenceOrbit references[2];
    HeldKeyframe held[2];
    ColourRange mapping;           // the last frame's
    int partRows = 0, loaded = 0, drawn = 0, needed = 0;
    ProgressMeter meter;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Digits that read back as the same number at its precision.
std::string exact(const Big& value)
{
    mpfr_exp_t exponent = 0;
    char* digits = mpfr_get_str(nullptr, &exponent, 10, 0, value.v, MPFR_RNDN);
    const std::string text = std::string(digits) + "e" + std::to_string(long(exponent));
    mpfr_free_str(digits);
    return text;
}

// What a keyframe's counts depend on (the version names the counts' own
// program: keyframes of another are drawn again); the frame count, rate
// and colours do not enter, so a movie made again with others reuses its keyframes.
std::string describe(const Movie& m)
{
    const PictureRequest& r = *m.request;
    return std::string("fraktale-render keyframes 2\n") + (r.julia ? "julia" : "mandelbrot") + "\ncentre " +
           exact(r.location.re) + " " + exact(r.location.im) + "\nconstant " + exact(r.constantRe) + " " +
           exact(r.constantIm) + "\nsmallest extent " + exact(m.smallest) + "\nkeyframe samples " +
           std::to_string(m.plan.keyWidth) + "x" + std::to_string(m.plan.keyHeight) + ", frame samples " +
           std::to_string(m.plan.frameWidth) + "x" + std::to_string(m.plan.frameHeight) + "\nlimit " +
           (r.limit > 0 ? std::to_string(r.limit) : "by the views") + "\n";
}

DeepRequest keyframeRequest(const Movie& m, int index)
{
    Location at = m.request->location;
    mpfr_mul_2si(at.extent.v, m.smallest.v, index, MPFR_RNDN);
    DeepRequest d;
    d.julia = m.request->julia;
    d.view = viewAt(at, m.plan.keyWidth, m.plan.keyHeight);
    d.constantRe = m.request->constantRe;
    d.constantIm = m.request->constantIm;
    d.width = m.plan.keyWidth;
    d.height = m.plan.keyHeight;
    return d;
}

// The references, at least `limit` steps long where they do not end
// before (computed again, longer, where a keyframe's limit was raised).
bool references(Movie& m, int limit, std::string& error)
{
    const auto ended = [&m] { return m.references[0].escaped && (!m.request->julia || m.references[1].escaped); };
    if (m.haveReferences && (m.referenceLimit >= limit || ended())) return true;
    const DeepRequest deepest = keyframeRequest(m, 0);
    if (!deepDrawable(deepest.view, deepest.width, deepest.height))
        return error = "die Ansicht ist zu tief (Bildpunkte unter 2^-" + std::to_string(deepDepthBits) + ")", false;
    const long bits = precisionFor(deepest.view, deepest.width, deepest.height);
    m.referenceLimit = std::max(limit, keyframeLimit(m.plan, 0, m.request->limit));
    m.haveReferences = computeReferences(deepest, m.referenceLimit, bits, nullptr, m.references);
    return m.haveReferences || (error = "die Referenzbahn l\xC3\xA4sst sich nicht berechnen", false);
}

// Keyframe `index`'s scene, uploaded, at the limit given or at its rule's
// raised as a single picture's is (render/deep_pass.h's setUpScene), from
// its lattice's samples drawn through `scratch`; the scene whose limit
// stands is the one drawn. False, with `error`, where it cannot be made.
bool keyframeScene(Movie& m, int index, DeepGpuScene& gpu, CountTarget& scratch, std::string& error)
{
    const DeepRequest request = keyframeRequest(m, index);
    int limit = keyframeLimit(m.plan, index, m.request->limit);
    const int bound = raisedLimitBound(request.julia ? 2 : 1);
    LimitSample before;
    for (bool raised = false;; raised = true) {
        if (!references(m, limit, error)) return false;
        if (!sceneFromReferences(request, m.references, limit, gpu.scene) || !uploadScene(m.gl.programs, gpu) ||
            !resizeTarget(scratch, request.width, request.height))
            return error = "ein Schl\xC3\xBCsselbild l\xC3\xA4sst sich nicht zeichnen", false;
        if (m.request->limit > 0) return true;
        const std::vector<float> lattice = latticeCounts(gpu, scratch);
        const LimitSample now = tallyCounts(lattice.data(), lattice.size());
        const int next = raisedLimit(limit, now, raised ? &before : nullptr, bound);
        if (next <= limit) return true;
        releaseScene(gpu);
        gpu = DeepGpuScene{};
        before = now;
        limit = next;
    }
}

bool drawNew(Movie& m, HeldKeyframe& k, const std::function<void(double)>& share, std::string& error)
{
    DeepGpuScene gpu;
    if (!keyframeScene(m, k.index, gpu, k.counts, error)) return releaseScene(gpu), false;
    auto counts = std::make_shared<std::vector<float>>();
    double pixels = 0;
    const double all = double(m.plan.keyWidth) * m.plan.keyHeight;
    const bool ok = drawKeyframe(m.gl, gpu, k.counts, m.partRows, [&](double n) { share((pixels += n) / all); }, *counts);
    releaseScene(gpu);
    if (!ok) return error = "ein Schl\xC3\xBCsselbild l\xC3\xA4sst sich nicht zeichnen", false;
    k.spread = latticeSpreadOf(*counts, m.plan.keyWidth, m.plan.keyHeight);
    ++m.drawn;
    const KeyframeStore store = m.store;
    const int index = k.index, w = m.plan.keyWidth, h = m.plan.keyHeight;
    return handOver(m.writer, [=](std::string& e) { return saveKeyframe(store, index, w, h, *counts, e); },
                    counts->size() * sizeof(float)) || (error = "das Schreiben wurde abgebrochen", false);
}

// Keyframe `index` on the GPU, in the slot the current frame does not need.
HeldKeyframe* keyframe(Movie& m, int index, int keep, const std::function<void(double)>& share, std::string& error)
{
    for (HeldKeyframe& k : m.held)
        if (k.index == index) return &k;
    HeldKeyframe& k = m.held[0].index == keep ? m.held[1] : m.held[0];
    k.index = index;
    std::vector<float> counts;
    if (loadKeyframe(m.store, index, m.plan.keyWidth, m.plan.keyHeight, counts)) {
        ++m.loaded;
        k.spread = latticeSpreadOf(counts, m.plan.keyWidth, m.plan.keyHeight);
        if (uploadKeyframe(k.counts, m.plan.keyWidth, m.plan.keyHeight, counts)) return &k;
        return error = "ein Schl\xC3\xBCsselbild l\xC3\xA4sst sich nicht laden", nullptr;
    }
    return drawNew(m, k, share, error) ? &k : (k.index = -1, nullptr);
}

KeyframePlace placeOf(const Movie& m, int frame, const HeldKeyframe& k)
{
    const SampleMap s = sampleMap(m.plan, frame, k.index);
    return KeyframePlace{&k.counts, s.scale, s.offsetX, s.offsetY};
}

// The frame after which the next keyframe is needed: a keyframe drawn for
// `frame` counts for the frames up to it in the progress.
int framesUnlocked(const MoviePlan& plan, int frame)
{
    const FrameSource s = frameSource(plan, frame);
    int next = frame + 1;
    while (next < plan.frames && frameSource(plan, next).inner == s.inner) ++next;
    return next - frame;
}

// A frame that single precision draws takes the range a float view's
// picture rendered alone has (its border and a grid of orbits in double).
bool floatFrameRange(const Movie& m, int frame, ColourRange& range)
{
    const double log2Extent = frameLog2Extent(m.plan, frame);
    if (log2Extent < -60 || m.request->limit > 0) return false;
    const PictureRequest& r = *m.request;
    Location at = r.location;
    at.extent = Big(std::exp2(log2Extent), 64);
    const int w = m.plan.frameWidth, h = m.plan.frameHeight;
    float left, right, bottom, top;
    roundToFloat(viewAt(at, w, h), left, right, bottom, top);
    const float cr = r.constantRe.toFloat(), ci = r.constantIm.toFloat();
    if (!floatResolvesView(left, right, bottom, top, w, h, r.julia, cr, ci)) return false;
    range = floatColourRange(left, right, bottom, top, w, h, r.julia, cr, ci);
    return true;
}

// The frame's range by the rule of a picture of its view: mu0 from its own
// border, the rest from its keyframes' counts.
ColourRange frameRange(const Movie& m, int frame, const HeldKeyframe& inner, const HeldKeyframe& outer, double least)
{
    ColourRange range;
    if (floatFrameRange(m, frame, range)) return range;
    const CountSpread spread = frameSpread(inner.spread, outer.spread, frameSource(m.plan, frame).within);
    // Keyframes whose limit was raised have counts past the rule's: a
    // picture of the frame's view alone would have been raised alike.
    const int rule = frameLimit(m.plan, frame, m.request->limit);
    const int limit = spread.top < 1e299 ? std::max(rule, int(std::ceil(spread.top))) : rule;
    return colourRange(least, limit, spread);
}

bool drawFrameAt(Movie& m, int frame, std::string& error)
{
    const FrameSource s = frameSource(m.plan, frame);
    const int unlocked = framesUnlocked(m.plan, frame);
    const auto share = [&](double done) {
        showProgress(m.meter, (frame + done * unlocked) / m.plan.frames, secondsSince(m.start));
    };
    HeldKeyframe* outer = keyframe(m, s.outer, s.inner, share, error);
    HeldKeyframe* inner = outer ? keyframe(m, s.inner, s.outer, share, error) : nullptr;
    if (!inner) return false;
    const KeyframePlace innerPlace = placeOf(m, frame, *inner), outerPlace = placeOf(m, frame, *outer);
    const double least = frameBorderMinimum(m.gl, innerPlace, outerPlace);
    m.mapping = smoothMapping(m.plan, frame, m.mapping, frameRange(m, frame, *inner, *outer, least));
    auto rgb = std::make_shared<std::vector<unsigned char>>();
    drawFrame(m.gl, innerPlace, outerPlace, m.mapping, *rgb);
    MovieOutput* output = &m.output;
    showProgress(m.meter, double(frame + 1) / m.plan.frames, secondsSince(m.start));
    return handOver(m.writer, [=](std::string& e) { return writeMovieFrame(*output, *rgb, e); }, rgb->size()) ||
           (error = "das Schreiben wurde abgebrochen", false);
}

std::string summary(const Movie& m, double seconds)
{
    const RenderOptions& o = *m.options;
    char text[200];
    std::snprintf(text, sizeof text, " geschrieben, %d Bilder zu %dx%d Pixel, %dx%d Abtastungen je Pixel, %g Bilder je "
                  "Sekunde, %d Schl\xC3\xBCsselbilder (%d \xC3\xBC" "bernommen), %.1f s", o.frames, o.width, o.height,
                  o.samples, o.samples, o.fps, m.needed, m.loaded, seconds);
    return "fraktale-render: " + o.output + text;
}

bool start(Movie& m, std::string& error)
{
    const PictureRequest& r = *m.request;
    if (!openMovieOutput(m.output, *m.options, error)) return false;
    if (!openKeyframeStore(m.store, m.options->output, describe(m), error) ||
        !startMovieGl(m.gl, r.glslFolder, r.table, r.width, r.height, m.plan.keyWidth, m.plan.keyHeight, r.surfaceWidth,
                      r.surfaceHeight, error))
        return abandonMovieOutput(m.output), false;
    m.needed = int(keyframeOrder(m.plan).size());
    const int kept = keptKeyframes(m.store, keyframeOrder(m.plan), m.plan.keyWidth, m.plan.keyHeight);
    if (kept > 0)
        std::fprintf(stderr, "fraktale-render: setzt fort mit %d von %d Schl\xC3\xBCsselbildern aus '%s'\n", kept,
                     m.needed, m.store.folder.c_str());
    m.meter.terminal = isatty(STDERR_FILENO);
    const size_t frameBytes = size_t(r.width) * r.height * 3;
    startWriter(m.writer, std::max(size_t(64) << 20, 3 * frameBytes));
    return true;
}

// The writer's failure, which stopped the drawing, is the one to tell.
bool finish(Movie& m, bool drawn, std::string& error)
{
    std::string writeError;
    if (!finishWriter(m.writer, writeError)) drawn = false, error = writeError;
    clearProgress(m.meter);
    for (HeldKeyframe& k : m.held) releaseTarget(k.counts);
    releaseMovieGl(m.gl);
    if (!drawn) return abandonMovieOutput(m.output), false;
    if (!finishMovieOutput(m.output, error)) return false;
    removeKeyframeStore(m.store);
    std::fprintf(stderr, "%s\n", summary(m, secondsSince(m.start)).c_str());
    return true;
}

}  // namespace

bool renderMovie(const RenderOptions& options, const PictureRequest& request, std::string& error)
{
    Movie m;
    m.options = &options, m.request = &request;
    const Big &first = options.zoomFrom, &last = request.location.extent;
    m.smallest = options.frames > 1 && mpfr_cmp(first.v, last.v) < 0 ? first : last;
    m.plan = planMovie(options.frames, log2Magnitude(first), log2Magnitude(last), request.width, request.height);
    if (!start(m, error)) return false;
    bool drawn = true;
    for (int frame = 0; drawn && frame < m.plan.frames; ++frame) drawn = drawFrameAt(m, frame, error);
    return finish(m, drawn, error);
}
