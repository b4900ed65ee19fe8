// The movie's GPU passes on made-up keyframes, against the arithmetic of
// tool/movie_plan: a frame's counts are the inner keyframe's, read between
// its texels, where it covers the frame and the outer one's around it; an
// interior texel is never mixed with escaping ones; the border minimum is
// that of those counts; and a keyframe drawn by the deep programs, read back
// and put back again makes the same frame as the one drawn.
#include "deep/location.h"
#include "platform/headless_gl.h"
#include "render/movie_pass.h"
#include "tool/movie_plan.h"
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

class MoviePasses : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        opened = openHeadlessGl(context, reason) && deepSupported(reason);
    }
    static void TearDownTestSuite() { closeHeadlessGl(context); }
    void SetUp() override
    {
        if (!opened) GTEST_SKIP() << "no GL context for the deep path: " << reason;
        TransferFunction transfer;
        transfer.initialiseModel(1);
        ASSERT_TRUE(startMovieGl(gl, FRAKTALE_BINARY_DIR, transfer.colourTable, plan.frameWidth, plan.frameHeight,
                                 plan.keyWidth, plan.keyHeight, 0, 0, reason)) << reason;
    }
    void TearDown() override
    {
        releaseMovieGl(gl);
        releaseTarget(keys[0]), releaseTarget(keys[1]);
    }
    KeyframePlace place(int frame, int keyframe)
    {
        const SampleMap s = sampleMap(plan, frame, keyframe);
        return KeyframePlace{&keys[keyframe], s.scale, s.offsetX, s.offsetY};
    }
    static inline HeadlessGl context;
    static inline bool opened = false;
    static inline std::string reason;
    // 5 frames from extent 2 down to 1 (keyframes at 1 and 2), 40 x 30 samples.
    MoviePlan plan = planMovie(5, 1, 0, 40, 30);
    MovieGl gl;
    CountTarget keys[2];
};

// Inner counts rise by 1 a texel to the right and 100 a texel up; the outer
// ones fall towards the top and the middle column (so the frame's least
// count is in the middle of its top edge), with one interior texel near
// the frame's corner.
TEST_F(MoviePasses, FramesReadTheirKeyframesWhereTheyCover)
{
    const int w = plan.keyWidth, h = plan.keyHeight;
    std::vector<float> inner(size_t(w) * h), outer(inner.size());
    const auto outerAt = [w](double x, double y) { return 5000 + 7 * std::fabs(x - w / 2) - 30 * y; };
    // Between the four texels around (u, v), as GL's bilinear filter mixes them.
    const auto between = [&](double u, double v) {
        const double x = u - 0.5, y = v - 0.5, fx = x - std::floor(x), fy = y - std::floor(y);
        const double x0 = std::floor(x), y0 = std::floor(y);
        return (1 - fy) * ((1 - fx) * outerAt(x0, y0) + fx * outerAt(x0 + 1, y0)) +
               fy * ((1 - fx) * outerAt(x0, y0 + 1) + fx * outerAt(x0 + 1, y0 + 1));
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) inner[size_t(y) * w + x] = float(10 + x + 100 * y), outer[size_t(y) * w + x] = float(outerAt(x, y));
    outer[size_t(5) * w + 7] = -1;
    ASSERT_TRUE(uploadKeyframe(keys[0], w, h, inner) && uploadKeyframe(keys[1], w, h, outer));
    const int frame = 2;  // extent 2^0.5: the inner keyframe covers 1 / 1.41 of it
    const KeyframePlace in = place(frame, 0), out = place(frame, 1);
    const double least = frameBorderMinimum(gl, in, out);
    std::vector<float> counts(size_t(plan.frameWidth) * plan.frameHeight);
    readCounts(gl.frameCounts, 0, 0, plan.frameWidth, plan.frameHeight, counts.data());
    int covered = 0, around = 0, interior = 0;
    double borderLeast = 1e300;
    for (int j = 0; j < plan.frameHeight; ++j)
        for (int i = 0; i < plan.frameWidth; ++i) {
            const double u = in.scale * (i + 0.5) + in.offsetX, v = in.scale * (j + 0.5) + in.offsetY;
            const float c = counts[size_t(j) * plan.frameWidth + i];
            const bool edge = i == 0 || j == 0 || i == plan.frameWidth - 1 || j == plan.frameHeight - 1;
            if (edge && c >= 0) borderLeast = std::min(borderLeast, double(c));
            if (std::fabs(u - 0.5) < 1e-3 || std::fabs(u - (w - 0.5)) < 1e-3 || std::fabs(v - 0.5) < 1e-3 ||
                std::fabs(v - (h - 0.5)) < 1e-3)
                continue;
            if (u > 0.5 && u < w - 0.5 && v > 0.5 && v < h - 0.5) {
                ++covered;
                EXPECT_NEAR(c, 10 + (u - 0.5) + 100 * (v - 0.5), 0.02) << i << ", " << j;
                continue;
            }
            const double ou = out.scale * (i + 0.5) + out.offsetX, ov = out.scale * (j + 0.5) + out.offsetY;
            const bool nearest = int(std::floor(ou)) == 7 && int(std::floor(ov)) == 5;
            const bool touches = ou > 6.5 && ou < 8.5 && ov > 4.5 && ov < 6.5;
            interior += c == -1;
            ++around;
            const double expected = !touches ? between(ou, ov) : nearest ? -1 : outerAt(std::floor(ou), std::floor(ov));
            EXPECT_NEAR(c, expected, 0.05) << i << ", " << j << (touches ? " (next to the interior texel)" : "");
        }
    EXPECT_TRUE(covered > 400 && around > 400 && interior >= 1) << covered << " " << around << " " << interior;
    EXPECT_EQ(least, borderLeast);
}

// The deepest frame is its keyframe; a keyframe drawn and one put back from
// its counts make the same frame.
TEST_F(MoviePasses, AKeyframePutBackMakesTheFrameItMadeDrawn)
{
    Location at;
    ASSERT_TRUE(parseDecimal("-0.743643887037158704752191506114774", at.re) &&
                parseDecimal("0.131825904205311970493132056385139", at.im) && parseDecimal("1e-9", at.extent));
    DeepRequest r;
    r.view = viewAt(at, plan.keyWidth, plan.keyHeight);
    r.width = plan.keyWidth, r.height = plan.keyHeight;
    ReferenceOrbit orbits[2];
    DeepGpuScene gpu;
    ASSERT_TRUE(computeReferences(r, 3000, precisionFor(r.view, r.width, r.height), nullptr, orbits) &&
                sceneFromReferences(r, orbits, 3000, gpu.scene));
    std::vector<float> drawnCounts;
    int rows = 0;
    ASSERT_TRUE(drawKeyframe(gl, gpu, keys[0], rows, nullptr, drawnCounts));
    releaseScene(gpu);
    std::vector<unsigned char> drawn, again;
    drawFrame(gl, place(4, 0), place(4, 0), ColourRange{10, 3000, 1}, drawn);
    ASSERT_TRUE(uploadKeyframe(keys[1], plan.keyWidth, plan.keyHeight, drawnCounts));
    KeyframePlace back = place(4, 0);
    back.counts = &keys[1];
    drawFrame(gl, back, back, ColourRange{10, 3000, 1}, again);
    EXPECT_EQ(drawn.size(), size_t(40 * 30 * 3));
    EXPECT_TRUE(drawn == again);
    const KeyframePlace self = place(4, 0);
    EXPECT_TRUE(self.scale == 1 && self.offsetX == 0 && self.offsetY == 0);
}

}  // namespace
