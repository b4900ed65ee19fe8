// fraktale-render as a user runs it: its 800 x 800 pictures (the start
// views, a deep view) are the viewer's windows below the editor, pixel for
// pixel; N x N samples are an
// N times larger picture averaged; it runs without a display; bad input
// leaves no file behind.
#include "deep/location.h"
#include "support/gestures.h"
#include "support/tool_run.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace fx {
namespace {

// The picture of a PNG, row 0 at the top; empty when there is none.
Image readPng(const std::string& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return {};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Image image;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file.get());
        png_read_info(png, info);
        image = Image(int(png_get_image_width(png, info)), int(png_get_image_height(png, info)));
        if (png_get_color_type(png, info) != PNG_COLOR_TYPE_RGB || png_get_bit_depth(png, info) != 8) image = Image();
        for (int y = 0; y < image.height; ++y) png_read_row(png, image.at(0, y), nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return image;
}

// Rows from `firstRow` down, exactly.
long differingPixels(const Image& a, const Image& b, int firstRow)
{
    if (a.width != b.width || a.height != b.height) return -1;
    long differ = 0;
    for (int y = firstRow; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) differ += !std::equal(a.at(x, y), a.at(x, y) + 3, b.at(x, y));
    return differ;
}

TEST(RenderTool, StartPicturesAreTheViewersWindows)
{
    XConnection x;
    Image windows[2];
    {
        Program viewer;
        ASSERT_TRUE(viewer.ready(x));
        windows[0] = x.capture(viewer.mandelbrot()), windows[1] = x.capture(viewer.julia());
    }
    TempFolder folder;
    for (int k = 0; k < 2; ++k) {
        std::string said;
        const std::string out = folder.file(k ? "j.png" : "m.png");
        ASSERT_EQ(runTool({k ? "julia" : "mandelbrot", "--size", "800x800", "-o", out}, said), 0) << said;
        // Below the editor's frame and markers, every pixel.
        EXPECT_EQ(differingPixels(readPng(out), windows[k], editorBottom), 0)
            << (k ? "julia" : "mandelbrot") << ": " << savePicture(readPng(out), k ? "render-julia" : "render-mandelbrot")
            << ", " << savePicture(windows[k], k ? "window-julia" : "window-mandelbrot");
    }
    // Past float's range too: the counts and the colour mapping (its
    // border, its sample of counts) are the viewer's.
    Program deep(true, {"--mandelbrot", "0", "1", "1e-30"});
    ASSERT_TRUE(deep.ready(x));
    const Image window = x.capture(deep.mandelbrot());
    std::string said;
    const std::string out = folder.file("deep.png");
    ASSERT_EQ(runTool({"mandelbrot", "--mandelbrot", "0", "1", "1e-30", "--size", "800x800", "-o", out}, said), 0) << said;
    EXPECT_EQ(differingPixels(readPng(out), window, editorBottom), 0)
        << savePicture(readPng(out), "render-deep") << ", " << savePicture(window, "window-deep");
}

// Averages of N x N samples are the box-reduced N times larger picture, for
// a float view and one past double precision; TIFF as well as PNG; and all
// of it without an X display.
TEST(RenderTool, SamplesAreALargerPictureAveragedAndNoDisplayIsNeeded)
{
    TempFolder folder;
    struct Where { std::vector<std::string> where; };
    for (const Where& v : {Where{{"--mandelbrot", "-1.7549", "0", "0.05"}}, Where{{"--mandelbrot", "0", "1", "1e-30"}}}) {
        std::string said;
        std::vector<std::string> small = v.where, large = v.where;
        small.insert(small.end(), {"mandelbrot", "--size", "40x30", "--samples", "3", "--verbose", "-o", folder.file("small.tif")});
        large.insert(large.end(), {"mandelbrot", "--size", "120x90", "-o", folder.file("large.png")});
        ASSERT_EQ(runTool(small, said, false), 0) << said;
        EXPECT_NE(said.find("GL-Kontext EGL"), std::string::npos) << said;
        ASSERT_EQ(runTool(large, said, false), 0) << said;
        const Image averaged = readTiff(folder.file("small.tif")), full = readPng(folder.file("large.png"));
        ASSERT_TRUE(averaged.width == 40 && averaged.height == 30 && full.width == 120 && full.height == 90);
        int worst = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                for (int k = 0; k < 3; ++k) {
                    int sum = 0;
                    for (int j = 0; j < 3; ++j)
                        for (int i = 0; i < 3; ++i) sum += full.at(3 * x + i, 3 * y + j)[k];
                    worst = std::max(worst, std::abs(averaged.at(x, y)[k] * 9 - sum));
                }
        // Within one level of rounding: |9 a - sum| at most 4.5.
        EXPECT_LE(worst, 4) << v.where[3];
        if (v.where[3] != "0.05") continue;
        // The float view's colours from its own mu0, as the viewer's reference has them.
        Location at;
        ASSERT_TRUE(parseDecimal("-1.7549", at.re) && parseDecimal("0", at.im) && parseDecimal("0.05", at.extent));
        fx::View bounds;
        roundToFloat(viewAt(at, 120, 90), bounds.left, bounds.right, bounds.bottom, bounds.top);
        const Mismatches m = compareWindow(full, fractalFrom(renderMandelbrot(bounds, defaults(1).colourTable, 120, 90), 0));
        EXPECT_TRUE(m.within(0.01)) << m.share() << " differ: " << savePicture(full, "render-float-view");
    }
}

TEST(RenderTool, BadInputLeavesNoFile)
{
    TempFolder folder;
    struct Case { std::vector<std::string> words; int status; const char* said; };
    const Case cases[] = {
        {{"mandelbrot", "--size", "0x5", "-o", folder.file("a.png")}, 2, "--size '0x5'"},
        {{"julia", "--samples", "17", "-o", folder.file("a.png")}, 2, "--samples '17'"},
        {{"mandelbrot", "-o", folder.file("a.gif")}, 2, "unbekannte Endung"},
        {{"mandelbrot", "--colours", folder.file("none.tfc"), "-o", folder.file("a.png")}, 2, "none.tfc"},
        {{"mandelbrot", "--size", "8x8", "-o", folder.file("no/such/folder.png")}, 1, "no/such/folder.png"},
    };
    for (const Case& c : cases) {
        std::string said;
        EXPECT_EQ(runTool(c.words, said), c.status) << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.file(""))) << "a file was left behind";
}

}  // namespace
}  // namespace fx
