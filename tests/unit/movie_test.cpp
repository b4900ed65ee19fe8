// The zoom movie's parts that need no GL: its command line (good and bad
// calls in one table), frame and file names, the frame extents and the
// keyframes each frame is made from, the colour mapping's pace, the keyframe
// folder, and the writer thread.
#include "support/scripted_zenity.h"
#include "deep/colour_depth.h"
#include "deep/location.h"
#include "tool/keyframe_store.h"
#include "tool/movie_plan.h"
#include "tool/options.h"
#include "tool/writer.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <iterator>
#include <thread>

namespace {

Parsed parse(const std::string& line, RenderOptions& options, std::string& error)
{
    std::istringstream in("fraktale-render " + line);
    std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    LocationOptions where;
    return parseOptions(int(argv.size()), argv.data(),
                        [&](int argc, char** v, int i, std::string& e) { return readLocationOption(argc, v, i, where, e); },
                        options, error);
}

}  // namespace

TEST(MovieOptions, GoodAndBadCommandLines)
{
    const std::string movie = "mandelbrot --zoom-from 3 --frames 10 ";
    const std::string needs = "': ein Film braucht FILM.mp4 oder ein PNG-Muster wie bild-%05d.png";
    const std::vector<std::pair<std::string, std::string>> rows = {
        {movie + "-o z.mp4", ""}, {movie + "--fps 29.97 -o d/Z.MP4", ""}, {movie + "-o d/f-%05d.png", ""},
        {movie + "-o %d.PNG", ""}, {"julia --julia 0 0 1e-9 --zoom-from 4 --frames 1 -o j.mp4", ""},
        {movie + "--frames 0 -o z.mp4", "--frames '0': erwartet eine ganze Zahl von 1 bis 1000000"},
        {movie + "--frames 1000001 -o z.mp4", "--frames '1000001': erwartet eine ganze Zahl von 1 bis 1000000"},
        {movie + "--frames -3 -o z.mp4", "--frames '-3': erwartet eine ganze Zahl von 1 bis 1000000"},
        {"mandelbrot --zoom-from 0 --frames 5 -o z.mp4", "--zoom-from '0': erwartet eine positive Zahl, etwa 3 oder 1e-12"},
        {"mandelbrot --zoom-from -1 --frames 5 -o z.mp4", "--zoom-from '-1': erwartet eine positive Zahl, etwa 3 oder 1e-12"},
        {"mandelbrot --zoom-from x --frames 5 -o z.mp4", "--zoom-from 'x': erwartet eine positive Zahl, etwa 3 oder 1e-12"},
        {movie + "--fps 0 -o z.mp4", "--fps '0': erwartet eine positive Zahl bis 1000, etwa 30 oder 29.97"},
        {movie + "--fps -30 -o z.mp4", "--fps '-30': erwartet eine positive Zahl bis 1000, etwa 30 oder 29.97"},
        {movie + "--fps 1e3 -o z.mp4", "--fps '1e3': erwartet eine positive Zahl bis 1000, etwa 30 oder 29.97"},
        {movie + "--fps 1000.5 -o z.mp4", "--fps '1000.5': erwartet eine positive Zahl bis 1000, etwa 30 oder 29.97"},
        {movie + "--fps", "--fps: Wert fehlt"},
        {movie + "-o z.avi", "'z.avi" + needs}, {movie + "-o z.png", "'z.png" + needs}, {movie + "-o z.tif", "'z.tif" + needs},
        {"mandelbrot -o z.mp4", "--frames fehlt (ein Film aus N Bildern)"},
        {"mandelbrot --frames 4 -o z.mp4", "--zoom-from fehlt (die Breite des ersten Bildes)"},
        {"mandelbrot --zoom-from 3 -o f-%03d.png", "--frames fehlt (ein Film aus N Bildern)"},
        {"mandelbrot --fps 25 -o z.png", "'z.png" + needs},
        {"mandelbrot -o f-%03d.tif", "'f-%03d.tif': ein Muster braucht genau ein %d und .png, etwa bild-%05d.png"},
        {movie + "-o f-%d-%d.png", "'f-%d-%d.png': ein Muster braucht genau ein %d und .png, etwa bild-%05d.png"},
        {movie + "-o f-%s.png", "'f-%s.png': ein Muster braucht genau ein %d und .png, etwa bild-%05d.png"},
        {movie + "--size 481x270 -o z.mp4", "--size '481x270': MP4 braucht gerade Breite und H\xC3\xB6he"},
        {movie + "--size 480x271 -o z.mp4", "--size '480x271': MP4 braucht gerade Breite und H\xC3\xB6he"},
        {movie + "--size 481x271 -o f%d.png", ""},
        {movie + "--size 4096x2048 --samples 2 -o z.mp4", ""},
        {movie + "--size 4098x2048 --samples 2 -o z.mp4",
         "--size '4098x2048' mit --samples 2: ein Film hat h\xC3\xB6" "chstens 8192 Abtastungen je Seite"},
        {"mandelbrot -o bild.gif", "'bild.gif': unbekannte Endung, erwartet .png, .tif oder .tiff"},
    };
    for (const auto& [line, expected] : rows) {
        RenderOptions options;
        std::string error;
        const Parsed parsed = parse(line, options, error);
        EXPECT_EQ(parsed == Parsed::render ? "" : error, expected) << line;
    }
    RenderOptions o;
    std::string error;
    ASSERT_EQ(parse(movie + "--fps 24 --size 640x360 -o a/b-%04d.png", o, error), Parsed::render) << error;
    EXPECT_TRUE(o.frames == 10 && o.fps == 24 && o.kind == OutputKind::pngFrames && o.zoomFrom.toDouble() == 3);
    ASSERT_EQ(parse("mandelbrot --zoom-from 1e-400 --frames 2 -o z.mp4", o, error), Parsed::render) << error;
    EXPECT_TRUE(o.fps == 30 && o.kind == OutputKind::mp4);
    EXPECT_NEAR(log2Magnitude(o.zoomFrom), -400 * std::log2(10.0), 1e-9);
}

TEST(MovieOptions, FrameFilesAndTheKeyframeFolder)
{
    EXPECT_EQ(frameFileName("d/f-%05d.png", 42), "d/f-00042.png");
    EXPECT_EQ(frameFileName("f%d.png", 1234567), "f1234567.png");
    EXPECT_EQ(frameFileName("x%3d_.png", 7), "x007_.png");
    EXPECT_EQ(frameFileName("v1.2/f-%02d.png", 123), "v1.2/f-123.png");
    EXPECT_EQ(keyframeFolderFor("zoom.mp4"), "zoom.keyframes");
    EXPECT_EQ(keyframeFolderFor("a.b/zoom.MP4"), "a.b/zoom.keyframes");
    EXPECT_EQ(keyframeFolderFor("out/f-%05d.png"), "out/f.keyframes");
    EXPECT_EQ(keyframeFolderFor("out/%d.png"), "out/film.keyframes");
    EXPECT_EQ(outputKindOf("a%05d/f.png"), OutputKind::picture);  // a % in a folder is only a name
}

// 3 to 1e-12 in 240 frames: 41.45 octaves, keyframes 0 .. 42 at 1e-12 2^j.
TEST(MoviePlan, FramesAndTheirKeyframes)
{
    const double from = std::log2(3.0), to = std::log2(1e-12);
    const MoviePlan p = planMovie(240, from, to, 480, 270);
    EXPECT_EQ(p.keyframes, 43);
    EXPECT_TRUE(p.keyWidth >= 480 && p.keyHeight * 480 >= 270 * p.keyWidth);
    EXPECT_EQ(frameLog2Extent(p, 0), from);
    EXPECT_EQ(frameLog2Extent(p, 239), to);
    std::vector<int> firstNeeded;
    for (int k = 0; k < 240; ++k) {
        SCOPED_TRACE(k);
        if (k > 0) {
            EXPECT_NEAR(frameLog2Extent(p, k) - frameLog2Extent(p, k - 1), (to - from) / 239, 1e-12);
        }
        const FrameSource s = frameSource(p, k);
        const double extent = frameLog2Extent(p, k), inner = to + s.inner;
        // The inner keyframe is at most the frame's extent, the outer (twice it) at least.
        EXPECT_TRUE(inner <= extent + 1e-12 && extent < inner + 1 && s.outer == std::min(s.inner + 1, 42));
        EXPECT_NEAR(s.within, extent - inner, 1e-12);
        // The inner keyframe's texels are no larger than the frame's samples; the
        // outer keyframe covers the whole frame.
        const SampleMap in = sampleMap(p, k, s.inner), out = sampleMap(p, k, s.outer);
        EXPECT_GE(in.scale, 1.0 - 1e-12);
        EXPECT_TRUE(out.offsetX >= -1e-9 && out.offsetY >= -1e-9 && out.scale * 480 + out.offsetX <= p.keyWidth + 1e-9 &&
                    out.scale * 270 + out.offsetY <= p.keyHeight + 1e-9);
        if (firstNeeded.empty() || firstNeeded.back() != s.inner) firstNeeded.push_back(s.inner);
    }
    // The last frame is keyframe 0, sample for sample.
    const SampleMap last = sampleMap(p, 239, 0);
    EXPECT_TRUE(last.scale == 1 && last.offsetX == 0 && last.offsetY == 0);
    const std::vector<int> order = keyframeOrder(p);
    ASSERT_EQ(order.size(), 43u);
    for (int j = 0; j < 43; ++j) EXPECT_EQ(order[size_t(j)], 42 - j);
}

// Out from 1e-20 to 1e-10: frame 0 is keyframe 0; one frame is the
// location's extent alone.
TEST(MoviePlan, ZoomingOutAndOneFrame)
{
    const MoviePlan out = planMovie(50, std::log2(1e-20), std::log2(1e-10), 100, 100);
    EXPECT_EQ(out.keyframes, 35);  // 33.2 octaves
    EXPECT_EQ(frameSource(out, 0).inner, 0);
    EXPECT_EQ(frameSource(out, 49).inner, 33);
    EXPECT_EQ(keyframeOrder(out).front(), 1);
    const MoviePlan exact = planMovie(9, 0, -8, 64, 48);  // 8 octaves exactly: keyframes 0 .. 8, none past
    EXPECT_EQ(exact.keyframes, 9);
    const FrameSource top = frameSource(exact, 0);
    EXPECT_TRUE(top.inner == 8 && top.outer == 8 && top.within == 0);
    const MoviePlan one = planMovie(1, 5, -30, 64, 48);
    EXPECT_TRUE(one.keyframes == 1 && frameLog2Extent(one, 0) == -30 && frameSource(one, 0).inner == 0);
}

// A mu0 that follows the counts passes as the rule gives it; a jump is
// spread over frames at the pace; the limit is the frame's own.
TEST(MoviePlan, ColourMappingKeepsItsPace)
{
    const MoviePlan p = planMovie(101, 0, -20, 400, 300);  // a fifth of an octave a frame
    const double pace = mu0Pace(p, 1);
    EXPECT_NEAR(pace, 4 * 128 * 0.2 + 1, 1e-9);
    ColourRange m = smoothMapping(p, 0, ColourRange{}, ColourRange{500, 1000, 4});
    EXPECT_TRUE(m.mu0 == 500 && m.mu1 == 1000 && m.bend == 4);
    m = smoothMapping(p, 1, m, ColourRange{520, 1024, 4.2});
    EXPECT_TRUE(m.mu0 == 520 && m.mu1 == 1024 && m.bend == 4.2);
    // A jump is followed at the pace: mu0 by counts, the band from mu0 to
    // mu1 and the curve by a factor.
    const double factor = bendPace(p, 2);
    EXPECT_NEAR(factor, 1.1 * std::exp2(2 * std::fabs(frameLog2Extent(p, 2) - frameLog2Extent(p, 1))), 1e-9);
    m = smoothMapping(p, 2, m, ColourRange{1000, 5000, 40});
    EXPECT_NEAR(m.mu0, 520 + pace, 1e-9);
    EXPECT_NEAR(m.mu1 - m.mu0, 504 * factor, 1e-9);
    EXPECT_NEAR(m.bend, 4.2 * factor, 1e-9);
    m = smoothMapping(p, 3, m, ColourRange{0, 10, 0.1});
    EXPECT_NEAR(m.mu0, 520, 1e-9);
    EXPECT_NEAR(m.mu1 - m.mu0, 504, 1e-9);
    EXPECT_NEAR(m.bend, 4.2, 1e-9);
    // Within the pace the rule's own.
    m = smoothMapping(p, 4, m, ColourRange{530, 1030, 4.5});
    EXPECT_TRUE(m.mu0 == 530 && m.mu1 == 1030 && m.bend == 4.5);
    // mu1 never falls to mu0.
    m = smoothMapping(p, 4, ColourRange{600, 601, 1}, ColourRange{600 + pace, 601, 1});
    EXPECT_GT(m.mu1, m.mu0);
    // Each keyframe is iterated as far as the deepest frame it serves.
    for (int k = 0; k < 101; ++k) {
        const FrameSource s = frameSource(p, k);
        const int limit = frameLimit(p, k, 0);
        EXPECT_TRUE(keyframeLimit(p, s.inner, 0) >= limit && keyframeLimit(p, s.outer, 0) >= limit) << k;
    }
    // A given limit is every keyframe's and every frame's.
    EXPECT_TRUE(keyframeLimit(p, 0, 777) == 777 && keyframeLimit(p, 5, 777) == 777 && frameLimit(p, 50, 777) == 777);
}

// Keyframes come back exactly as saved, and only then; another movie's
// description drops the old keyframes but no file of the user's; a
// finished movie leaves no folder unless the user's files are in it.
TEST(KeyframeStore, KeepsKeyframesOfTheSameMovieOnly)
{
    TempFolder dir;
    const std::string output = dir.file("zoom.mp4");
    KeyframeStore store;
    std::string error;
    ASSERT_TRUE(openKeyframeStore(store, output, "movie A\n", error)) << error;
    EXPECT_EQ(store.folder, dir.file("zoom.keyframes"));
    std::vector<float> counts(6 * 4);
    for (size_t i = 0; i < counts.size(); ++i) counts[i] = i % 5 ? float(i) * 1.25f : -1.0f;
    ASSERT_TRUE(saveKeyframe(store, 3, 6, 4, counts, error)) << error;
    EXPECT_FALSE(saveKeyframe(store, 4, 5, 4, counts, error));  // counts of another size
    std::vector<float> back;
    EXPECT_TRUE(loadKeyframe(store, 3, 6, 4, back) && back == counts);
    EXPECT_FALSE(loadKeyframe(store, 3, 4, 6, back));
    EXPECT_FALSE(loadKeyframe(store, 2, 6, 4, back));
    EXPECT_EQ(keptKeyframes(store, {0, 1, 2, 3, 4}, 6, 4), 1);
    // A keyframe file cut short (a full disk outside the temporary file) or renamed is not used.
    const std::string bytes = readFile(keyframePath(store, 3));
    ASSERT_TRUE(writeFile(keyframePath(store, 1), bytes));
    EXPECT_FALSE(loadKeyframe(store, 1, 6, 4, back));
    ASSERT_TRUE(writeFile(keyframePath(store, 3), bytes.substr(0, bytes.size() - 1)));
    EXPECT_FALSE(loadKeyframe(store, 3, 6, 4, back));
    ASSERT_TRUE(saveKeyframe(store, 3, 6, 4, counts, error));
    // Leftovers of an interrupted write go; the same movie keeps its keyframes.
    ASSERT_TRUE(writeFile(keyframePath(store, 5) + ".partAb12Cd", "half"));
    ASSERT_TRUE(writeFile(store.folder + "/notes.txt", "mine"));
    ASSERT_TRUE(openKeyframeStore(store, output, "movie A\n", error));
    EXPECT_TRUE(loadKeyframe(store, 3, 6, 4, back));
    EXPECT_FALSE(std::filesystem::exists(keyframePath(store, 5) + ".partAb12Cd"));
    ASSERT_TRUE(openKeyframeStore(store, output, "movie B\n", error));
    EXPECT_FALSE(loadKeyframe(store, 3, 6, 4, back));
    EXPECT_EQ(readFile(store.folder + "/movie.txt"), "movie B\n");
    removeKeyframeStore(store);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"zoom.keyframes"});
    EXPECT_EQ(readFile(store.folder + "/notes.txt"), "mine");
    std::filesystem::remove(store.folder + "/notes.txt");
    ASSERT_TRUE(openKeyframeStore(store, output, "movie B\n", error));
    removeKeyframeStore(store);
    EXPECT_TRUE(dir.entries().empty());
    // A folder that cannot be made is one line.
    EXPECT_FALSE(openKeyframeStore(store, dir.file("none/zoom.mp4"), "x", error));
    EXPECT_EQ(error, "'" + dir.file("none/zoom.keyframes") + "' l\xC3\xA4sst sich nicht anlegen");
}

// Jobs run in order on another thread; the data held never pass the
// capacity while a slow job runs; after a failure the rest are dropped and
// hand-overs refused, the first failure's line kept.
TEST(Writer, InOrderBoundedAndStoppedByAFailure)
{
    Writer w;
    startWriter(w, 100);
    std::vector<int> ran;
    std::atomic<size_t> held{0}, most{0};
    const std::thread::id self = std::this_thread::get_id();
    bool elsewhere = true;
    for (int i = 0; i < 8; ++i) {
        held += 40;
        most = std::max(most.load(), held.load());
        ASSERT_TRUE(handOver(w, [&, i](std::string&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            elsewhere = elsewhere && std::this_thread::get_id() != self;
            ran.push_back(i);
            held -= 40;
            return true;
        }, 40));
    }
    // Larger than the whole capacity: it waits for an empty queue. Then a
    // failure, and a job handed over while it runs: dropped, never run.
    ASSERT_TRUE(handOver(w, [&](std::string&) { return ran.push_back(8), true; }, 500));
    ASSERT_TRUE(handOver(w, [&](std::string& e) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return e = "voll", false;
    }, 1));
    EXPECT_TRUE(handOver(w, [&](std::string&) { return ran.push_back(99), true; }, 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_FALSE(handOver(w, [&](std::string&) { return ran.push_back(100), true; }, 1));
    std::string error;
    EXPECT_FALSE(finishWriter(w, error));
    EXPECT_EQ(error, "voll");
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(elsewhere);
    EXPECT_LE(most.load(), 40u * 3);  // two queued and one running, at most
    Writer fine;
    startWriter(fine, 10);
    EXPECT_TRUE(handOver(fine, [](std::string&) { return true; }, 3) && finishWriter(fine, error));
}
