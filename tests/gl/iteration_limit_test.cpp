// A given iteration limit reaches the pictures: the render tool's picture of
// the start view with --iterations 64 has exactly the pixels inside that a
// plain double-precision iteration of their centres keeps within 64 steps,
// and not those it keeps within the view's own limit.
#include "deep/location.h"
#include "platform/headless_gl.h"
#include "deep/iteration_limit.h"
#include "render/deep_pass.h"
#include "render/picture.h"
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Whether the centre of pixel (i, j) (from the top-left) of the start view
// drawn at width x height stays within |z|^2 <= 256 for `limit` steps.
bool staysWithin(int i, int j, int width, int height, int limit)
{
    const double pixel = 3.0 / width;
    const double cx = -0.5 + (i + 0.5 - 0.5 * width) * pixel, cy = (0.5 * height - j - 0.5) * pixel;
    double x = 0, y = 0;
    for (int n = 0; n < limit; ++n) {
        const double t = x * x - y * y + cx;
        y = 2 * x * y + cy;
        x = t;
        if (x * x + y * y > 256) return false;
    }
    return true;
}

// Pixels of the table's right end: red, apart from every other texel's colour.
std::vector<bool> insidePixels(int limit, int width, int height, std::string& error)
{
    TransferFunction colours;
    colours.initialiseModel(1);
    colours.points = {ControlPoint{0.0f, 0.5f, 0, 0, 1}, ControlPoint{0.99f, 0.5f, 0, 1, 0}, ControlPoint{1.0f, 0.5f, 1, 0, 0}};
    colours.rebuild();
    PictureRequest r;
    r.location = Location{Big(-0.5, 64), Big(0.0, 64), Big(3.0, 64)};
    r.width = width, r.height = height;
    r.table = colours.colourTable;
    r.glslFolder = FRAKTALE_BINARY_DIR;
    r.limit = limit;
    // Interior pixels take the table's last texel, which nothing else reaches.
    unsigned char last[3];
    for (int k = 0; k < 3; ++k) last[k] = static_cast<unsigned char>(std::lround(r.table[4 * 511 + k] * 255));
    std::vector<bool> inside;
    const RowSink sink = [&](int, const unsigned char* rgb) {
        for (int i = 0; i < width; ++i) inside.push_back(std::equal(rgb + 3 * i, rgb + 3 * i + 3, last));
        return true;
    };
    if (!renderPicture(r, sink, nullptr, error)) inside.clear();
    return inside;
}

TEST(IterationLimitPictures, AGivenLimitIsThePicturesLimit)
{
    HeadlessGl gl;
    std::string error;
    if (!openHeadlessGl(gl, error)) GTEST_SKIP() << error;
    const int width = 150, height = 120;
    const std::vector<bool> given = insidePixels(64, width, height, error);
    ASSERT_EQ(given.size(), size_t(width * height)) << error;
    long differ = 0, differFromOwn = 0, inside = 0;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            const bool expected = staysWithin(i, j, width, height, 64);
            inside += expected;
            differ += given[size_t(j * width + i)] != expected;
            differFromOwn += given[size_t(j * width + i)] != staysWithin(i, j, width, height, 260);
        }
    // A pixel on a knife's edge of |z|^2 = 256 may go either way in floats.
    EXPECT_LE(differ, 6) << "of " << inside << " inside";
    EXPECT_GT(differFromOwn, 100) << "the view's own limit of 260 drew this picture";
    closeHeadlessGl(gl);
}

// The render tool's scene next to the parabolic point -3/4 (every pixel
// escapes after some 157,080 steps): the rule's limit leaves its samples
// blank, the raised one shows them; a given limit is kept as given.
TEST(IterationLimitPictures, TheToolRaisesABlankPicturesLimit)
{
    HeadlessGl gl;
    std::string error;
    if (!openHeadlessGl(gl, error)) GTEST_SKIP() << error;
    DeepRequest r;
    Location at{Big(-0.75, 64), Big(2e-5, 64), Big(1e-10, 64)};
    r.width = r.height = 48;
    r.view = viewAt(at, r.width, r.height);
    DeepPrograms programs;
    programs.folder = FRAKTALE_BINARY_DIR "/";
    CountTarget scratch;
    ASSERT_TRUE(resizeTarget(scratch, 48, 48));
    for (const int given : {0, 4248}) {
        r.limit = given;
        DeepGpuScene gpu;
        std::vector<float> lattice;
        ASSERT_EQ(setUpScene(programs, gpu, r, scratch, lattice), SceneSetup::ok);
        const LimitSample s = tallyCounts(lattice.data(), lattice.size());
        if (given) EXPECT_TRUE(gpu.scene.limit == given && s.unresolved == s.total()) << gpu.scene.limit;
        else EXPECT_TRUE(gpu.scene.limit >= 271872 && s.escaped * 4 >= s.total() * 3) << gpu.scene.limit << " " << s.escaped;
        releaseScene(gpu);
    }
    releaseTarget(scratch);
    closeHeadlessGl(gl);
}

}  // namespace
