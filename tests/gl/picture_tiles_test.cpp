// Whole pictures as the render tool draws them, cut small: a picture of
// many tiles and strips equals the same picture drawn as one tile, for a
// float and a deep view, and a deep picture's counts drawn in bands of a
// few rows equal those drawn at once. A tile placed one sample off, or a
// band drawn twice and another left out, changes many pixels of these views.
#include "deep/location.h"
#include "platform/headless_gl.h"
#include "render/parts.h"
#include "render/picture.h"
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

class Pictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() { opened = openHeadlessGl(gl, reason); }
    static void TearDownTestSuite()
    {
        if (opened) closeHeadlessGl(gl);
    }
    void SetUp() override
    {
        if (!opened) GTEST_SKIP() << "no GL context: " << reason;
    }
    static inline HeadlessGl gl;
    static inline bool opened = false;
    static inline std::string reason;
};

PictureRequest request(const char* re, const char* im, const char* extent, int width, int height, int tileSide)
{
    PictureRequest r;
    EXPECT_TRUE(parseDecimal(re, r.location.re) && parseDecimal(im, r.location.im) && parseDecimal(extent, r.location.extent));
    r.constantRe = r.constantIm = Big(0.0, 64);
    r.width = width, r.height = height, r.tileSide = tileSide;
    TransferFunction transfer;
    transfer.initialiseModel(1);
    r.table = transfer.colourTable;
    r.glslFolder = FRAKTALE_BINARY_DIR;
    return r;
}

// The rows top first, as the sink gets them; the shares progress was told.
std::vector<unsigned char> draw(const PictureRequest& r, std::vector<double>& told)
{
    std::vector<unsigned char> rgb;
    int next = 0;
    const RowSink sink = [&](int row, const unsigned char* line) {
        rgb.insert(rgb.end(), line, line + size_t(r.width) * 3);
        return row == next++;
    };
    std::string error;
    EXPECT_TRUE(renderPicture(r, sink, [&](double done) { told.push_back(done); }, error)) << error;
    return rgb;
}

// Pixels whose channels differ by more than 3.
long differing(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    long n = a.size() == b.size() ? 0 : -1;
    for (size_t i = 0; n >= 0 && i < a.size(); i += 3)
        n += std::abs(a[i] - b[i]) > 3 || std::abs(a[i + 1] - b[i + 1]) > 3 || std::abs(a[i + 2] - b[i + 2]) > 3;
    return n;
}

// Tiles of 24 samples: 5 across and 3 strips of 24, 24 and 22 rows. The
// deep view's tiles are exact (whole pixel offsets); the float view's tile
// corners are worked out in double from the picture's float bounds and
// interpolated in float across the tile, so a few pixels at the set's edge
// may differ from the one-tile picture.
TEST_F(Pictures, ManyTilesMakeThePictureOfOne)
{
    struct Case {
        const char *re, *im, *extent;
        double share;
    };
    for (const Case& c : {Case{"-1.7549", "0", "0.05", 0.01}, Case{"-0.743643887037158704752191506114774",
                                                                   "0.131825904205311970493132056385139", "1e-9", 0}}) {
        SCOPED_TRACE(c.extent);
        std::vector<double> oneTold, manyTold;
        const std::vector<unsigned char> one = draw(request(c.re, c.im, c.extent, 110, 70, 0), oneTold);
        const std::vector<unsigned char> many = draw(request(c.re, c.im, c.extent, 110, 70, 24), manyTold);
        ASSERT_EQ(one.size(), size_t(110 * 70 * 3));
        EXPECT_LE(differing(one, many), long(c.share * 110 * 70));
        EXPECT_GE(manyTold.size(), 15u);
        EXPECT_TRUE(std::is_sorted(manyTold.begin(), manyTold.end()) && manyTold.back() == 1.0);
    }
}

// Bands of one to a few rows, as a slow GL gets them, against one pass.
TEST_F(Pictures, CountsInBandsMakeTheCountsOfOnePass)
{
    std::string missing;
    if (!deepSupported(missing)) GTEST_SKIP() << missing;
    const PictureRequest r = request("-0.743643887037158704752191506114774", "0.131825904205311970493132056385139", "1e-9",
                                     90, 41, 0);
    DeepRequest d;
    d.view = viewAt(r.location, r.width, r.height);
    d.width = r.width, d.height = r.height;
    DeepGpuScene gpu;
    DeepPrograms programs;
    programs.folder = FRAKTALE_BINARY_DIR "/";
    ASSERT_TRUE(prepareScene(d, nullptr, gpu.scene) && uploadScene(programs, gpu));
    CountTarget target;
    ASSERT_TRUE(resizeTarget(target, r.width, r.height));
    std::vector<float> once(size_t(r.width) * r.height), banded(once.size());
    drawSceneCounts(gpu, target, TargetPlace{0, 0}, 0, 0, r.width, r.height);
    readCounts(target, 0, 0, r.width, r.height, once.data());
    glClearColor(0, 0, 0, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer), glClear(GL_COLOR_BUFFER_BIT);
    int rows = 1;
    double drawn = 0;
    drawCountsInParts(gpu, target, TargetPlace{0, 0}, r.width, r.height, rows, [&](double pixels) {
        drawn += pixels;
        rows = std::min(rows, 3);  // however fast this GL is
    });
    readCounts(target, 0, 0, r.width, r.height, banded.data());
    EXPECT_EQ(drawn, double(r.width) * r.height);
    EXPECT_TRUE(once == banded);
    releaseTarget(target);
    releaseScene(gpu);
}

}  // namespace
