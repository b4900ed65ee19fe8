// fraktale-render's zoom movies as a user makes them: an MP4 read back
// through FFmpeg (frame count, size, H.264 in yuv420p, rate) whose frames
// are the PNG frames of the same movie within H.264's loss; the last frame
// is its view rendered alone, sample for sample, and a frame between
// keyframes is close to its view rendered alone; an interrupted movie
// leaves no output, keeps its keyframes and, started again, goes on from
// them to the same frames; bad calls leave nothing behind.
#include "deep/location.h"
#include "support/tool_run.h"
#include "support/video.h"
#include "tool/movie_plan.h"

#include <csignal>
#include <filesystem>

namespace fx {
namespace {

constexpr const char* seahorseRe = "-0.743643887037158704752191506114774";
constexpr const char* seahorseIm = "0.131825904205311970493132056385139";

std::vector<std::string> movie(const std::string& out, const char* from, const char* to, int frames, const char* size,
                               const char* samples = "1")
{
    return {"mandelbrot", "--mandelbrot", seahorseRe, seahorseIm, to, "--zoom-from", from, "--frames",
            std::to_string(frames), "--size", size, "--samples", samples, "-o", out};
}

std::string extentText(double log2Extent)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", std::exp2(log2Extent));
    return text;
}

// The seahorse valley's centre moved right by a quarter of a pixel of a
// picture `width` samples across at `log2Extent`.
std::string movedQuarterPixel(double log2Extent, int width)
{
    Big re;
    EXPECT_TRUE(parseDecimal(seahorseRe, re));
    mpfr_add_d(re.v, re.v, 0.25 * std::exp2(log2Extent) / width, MPFR_RNDN);
    return formatDecimal(re, 40);
}

// With 2 x 2 samples a pixel. Detailed parts of a picture change when its
// samples move by a fraction of a pixel (at 1.5e-5 in the seahorse valley,
// by a quarter of one: a mean of 10 grey levels, 13 % of the pixels by
// more than 24), which no frame made from other samples can follow: a
// frame between keyframes is judged against that (within 30 % of its mean,
// 5 % of its share), or against a mean of 6 levels and 95 % of its pixels
// within 24 where the view is calmer.
TEST(Movie, Mp4AndPngFramesAsTheirViewsRenderedAlone)
{
    TempFolder folder;
    std::string said;
    std::vector<std::string> mp4 = movie(folder.file("zoom.mp4"), "1e-3", "1e-7", 12, "160x90", "2");
    mp4.insert(mp4.end(), {"--fps", "25"});
    ASSERT_EQ(runTool(mp4, said), 0) << said;
    EXPECT_NE(said.find("zoom.mp4 geschrieben, 12 Bilder zu 160x90 Pixel, 2x2 Abtastungen"), std::string::npos) << said;
    ASSERT_EQ(runTool(movie(folder.file("f-%03d.png"), "1e-3", "1e-7", 12, "160x90", "2"), said), 0) << said;
    EXPECT_EQ(folder.entries().size(), 13u);  // the frames and the MP4; no keyframes left
    Video video;
    ASSERT_TRUE(readVideo(folder.file("zoom.mp4"), video));
    EXPECT_TRUE(video.codec == "h264" && video.pixelFormat == "yuv420p" && std::fabs(video.fps - 25) < 1e-9)
        << video.codec << " " << video.pixelFormat << " " << video.fps;
    ASSERT_EQ(video.frames.size(), 12u);
    const MoviePlan plan = planMovie(12, std::log2(1e-3), std::log2(1e-7), 160, 90);
    for (int k : {0, 5, 11}) {
        SCOPED_TRACE(k);
        char name[16];
        std::snprintf(name, sizeof name, "f-%03d.png", k);
        const Rgb frame = readPngRgb(folder.file(name));
        ASSERT_TRUE(frame.width == 160 && frame.height == 90);
        const GreyDifference coded = greyDifference(video.frames[size_t(k)], frame);
        EXPECT_TRUE(coded.mean >= 0 && coded.mean < 3) << coded.mean;
        const std::string extent = k == 11 ? "1e-7" : extentText(frameLog2Extent(plan, k));
        ASSERT_EQ(runTool({"mandelbrot", "--mandelbrot", seahorseRe, seahorseIm, extent, "--size", "160x90", "--samples",
                           "2", "-o", folder.file("alone.png")}, said), 0) << said;
        const Rgb alone = readPngRgb(folder.file("alone.png"));
        if (k == 11) {
            EXPECT_TRUE(alone.rgb == frame.rgb) << "the deepest frame is keyframe 0";
            continue;
        }
        ASSERT_EQ(runTool({"mandelbrot", "--mandelbrot", movedQuarterPixel(frameLog2Extent(plan, k), 320), seahorseIm,
                           extent, "--size", "160x90", "--samples", "2", "-o", folder.file("moved.png")}, said), 0) << said;
        const GreyDifference floor = greyDifference(readPngRgb(folder.file("moved.png")), alone);
        const GreyDifference d = greyDifference(frame, alone);
        EXPECT_TRUE(d.mean >= 0 && d.mean < std::max(6.0, 1.3 * floor.mean) &&
                    d.shareWithin > std::min(0.95, floor.shareWithin - 0.05))
            << d.mean << ", within 24: " << d.shareWithin << "; a quarter pixel off: " << floor.mean << ", "
            << floor.shareWithin;
    }
}

// SIGINT once two keyframes are kept: no MP4 and no temporary file, the
// keyframes in zoom.keyframes; again: it says it goes on, finishes, leaves
// no folder, and its frames are those of a movie made in one go.
TEST(Movie, AnInterruptedMovieGoesOnFromItsKeyframes)
{
    TempFolder folder;
    std::string said;
    const std::string keyframes = folder.file("zoom.keyframes");
    const auto kept = [&] {
        int n = 0;
        std::error_code e;
        for (const auto& f : std::filesystem::directory_iterator(keyframes, e))
            n += f.path().extension() == ".counts";
        return n;
    };
    const auto interruptAtTwo = [&](pid_t pid) { return kept() >= 2 ? (kill(pid, SIGINT), false) : true; };
    const std::vector<std::string> words = movie(folder.file("zoom.mp4"), "1e-4", "1e-9", 20, "128x72");
    ASSERT_EQ(runTool(words, said, true, interruptAtTwo), 128 + SIGINT) << said;
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"zoom.keyframes"});
    const int before = kept();
    EXPECT_GE(before, 2);
    ASSERT_EQ(runTool(words, said), 0) << said;
    EXPECT_NE(said.find("setzt fort mit " + std::to_string(before) + " von 18 Schl\xC3\xBCsselbildern aus '" + keyframes),
              std::string::npos) << said;
    EXPECT_NE(said.find("(" + std::to_string(before) + " \xC3\xBC" "bernommen)"), std::string::npos) << said;
    ASSERT_EQ(runTool(movie(folder.file("whole.mp4"), "1e-4", "1e-9", 20, "128x72"), said), 0) << said;
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"whole.mp4", "zoom.mp4"}));
    Video resumed, whole;
    ASSERT_TRUE(readVideo(folder.file("zoom.mp4"), resumed) && readVideo(folder.file("whole.mp4"), whole));
    ASSERT_EQ(resumed.frames.size(), 20u);
    ASSERT_EQ(whole.frames.size(), 20u);
    for (size_t k = 0; k < 20; ++k) EXPECT_TRUE(resumed.frames[k].rgb == whole.frames[k].rgb) << "frame " << k;
}

// Next to the parabolic point -3/4, where every pixel escapes after some
// 157,080 steps, the rule's limit leaves a picture blank and a picture
// alone raises it: so do the movie's keyframes, and its first frame (a
// keyframe's view, its mapping not yet held to a pace) is that picture.
TEST(Movie, KeyframesRaiseTheirLimitAsPicturesAloneDo)
{
    TempFolder folder;
    std::string said;
    const std::vector<std::string> neck = {"mandelbrot", "--mandelbrot", "-0.75", "2e-5", "1e-10", "--size", "32x32"};
    std::vector<std::string> film = neck, alone = neck, ruled = neck;
    film.insert(film.end(), {"--zoom-from", "4e-10", "--frames", "3", "-o", folder.file("n-%d.png")});
    alone[4] = ruled[4] = "4e-10";
    alone.insert(alone.end(), {"-o", folder.file("alone.png")});
    ruled.insert(ruled.end(), {"--iterations", "4096", "-o", folder.file("ruled.png")});
    for (const auto* words : {&film, &alone, &ruled}) ASSERT_EQ(runTool(*words, said), 0) << said;
    const Rgb first = readPngRgb(folder.file("n-0.png"));
    EXPECT_TRUE(first.rgb == readPngRgb(folder.file("alone.png")).rgb);
    EXPECT_FALSE(first.rgb == readPngRgb(folder.file("ruled.png")).rgb);
}

TEST(Movie, BadCallsLeaveNothingBehind)
{
    TempFolder folder;
    struct Case {
        std::vector<std::string> words;
        int status;
        std::string said;
    };
    const std::string m = folder.file("m.mp4");
    const Case cases[] = {
        {{"mandelbrot", "--zoom-from", "3", "--frames", "0", "-o", m}, 2, "--frames '0'"},
        {{"mandelbrot", "--zoom-from", "-3", "--frames", "5", "-o", m}, 2, "--zoom-from '-3'"},
        {{"mandelbrot", "--zoom-from", "3", "--frames", "5", "--fps", "0", "-o", m}, 2, "--fps '0'"},
        {{"mandelbrot", "--zoom-from", "3", "--frames", "5", "-o", folder.file("m.mkv")}, 2, "m.mkv': ein Film braucht"},
        {{"mandelbrot", "-o", folder.file("f-%03d.png")}, 2, "--frames fehlt"},
        {{"mandelbrot", "--zoom-from", "3", "--frames", "5", "-o", folder.file("no/such/m.mp4")}, 1, "no/such/m.mp4"},
        {{"mandelbrot", "--zoom-from", "3", "--frames", "5", "-o", folder.file("no/such/f-%03d.png")}, 1, "no/such"},
    };
    for (const Case& c : cases) {
        std::string said;
        EXPECT_EQ(runTool(c.words, said), c.status) << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
    EXPECT_TRUE(folder.entries().empty()) << "a file was left behind";
}

}  // namespace
}  // namespace fx
