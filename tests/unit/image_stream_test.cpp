// Pictures streamed row by row, read back with libpng and libtiff; the old
// file survives a failed or interrupted write and no temporary file stays.
#include "screenshot/image_stream.h"
#include "support/scripted_zenity.h"

#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <tiffio.h>

#include <cstring>

namespace {

// An odd row length and pseudo-random bytes: a flipped, shifted or repeated row shows.
constexpr int width = 27, height = 16;
const std::vector<unsigned char>& pixels()
{
    static const std::vector<unsigned char> bytes = [] {
        std::vector<unsigned char> made(size_t(width) * height * 3);
        uint32_t state = 777;
        for (unsigned char& b : made) b = static_cast<unsigned char>((state = state * 1664525u + 1013904223u) >> 24);
        return made;
    }();
    return bytes;
}

// 0 when every row went in and the file was put in place, else the step that failed.
int stream(const std::string& path, int rows = height, int signalAfter = -1)
{
    ImageStream image;
    if (!openImageStream(image, path, width, height)) return 1;
    for (int r = 0; r < rows; ++r) {
        if (r == signalAfter) raise(SIGINT);
        if (!writeImageRow(image, pixels().data() + size_t(r) * width * 3)) return abandonImageStream(image), 2;
    }
    return finishImageStream(image) ? 0 : 3;
}

std::vector<unsigned char> readPng(const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<unsigned char> rgb;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return rgb;
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    if (image.width != width || image.height != height || !png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        rgb.clear();
    return rgb;
}

std::vector<unsigned char> readTiff(const std::string& path)
{
    std::vector<unsigned char> rgb(pixels().size());
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return {};
    // The screenshot's fields, each as written rather than libtiff's default.
    auto field = [&](auto v, uint32_t tag) { return TIFFGetField(tif, tag, &v) ? long(v) : -1L; };
    char* description = nullptr;
    bool ok = field(uint32_t(), TIFFTAG_IMAGEWIDTH) == width && field(uint32_t(), TIFFTAG_IMAGELENGTH) == height &&
              field(uint32_t(), TIFFTAG_ROWSPERSTRIP) == 1 && field(uint16_t(), TIFFTAG_BITSPERSAMPLE) == 8 &&
              field(uint16_t(), TIFFTAG_COMPRESSION) == COMPRESSION_NONE &&
              field(uint16_t(), TIFFTAG_PHOTOMETRIC) == PHOTOMETRIC_RGB && field(uint16_t(), TIFFTAG_SAMPLESPERPIXEL) == 3 &&
              field(uint16_t(), TIFFTAG_PLANARCONFIG) == PLANARCONFIG_CONTIG &&
              TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description) && description == std::string("Fraktale Screenshot");
    for (int r = 0; ok && r < height; ++r) ok = TIFFReadScanline(tif, rgb.data() + size_t(r) * width * 3, uint32_t(r), 0) == 1;
    TIFFClose(tif);
    return ok ? rgb : std::vector<unsigned char>{};
}

}  // namespace

TEST(ImageStream, FormatByExtensionInAnyCase)
{
    for (const char* png : {"a.png", "dir.tif/A.PNG", "b.Png"}) EXPECT_EQ(imageFormatFor(png), ImageFormat::png) << png;
    for (const char* tif : {"a.tif", "a.tiff", "A.TIF", "x/B.TiFf"}) EXPECT_EQ(imageFormatFor(tif), ImageFormat::tiff) << tif;
    for (const char* none : {"a.jpg", "png", ".png", "dir/.tif", "a.png/", "a.tiff.bak", "a.pn"})
        EXPECT_EQ(imageFormatFor(none), ImageFormat::unknown) << none;
}

TEST(ImageStream, RowsReadBackUprightWithTheirFields)
{
    TempFolder dir;
    ASSERT_EQ(stream(dir.file("bild.png")), 0);
    EXPECT_TRUE(readPng(dir.file("bild.png")) == pixels());
    // 8-bit RGB, not interlaced: the header's bytes after width and height.
    EXPECT_EQ(readFile(dir.file("bild.png")).substr(24, 5), std::string("\x08\x02\x00\x00\x00", 5));
    ASSERT_EQ(stream(dir.file("bild.TIFF")), 0);
    EXPECT_TRUE(readTiff(dir.file("bild.TIFF")) == pixels());
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"bild.TIFF", "bild.png"}));
}

// A write cut off at any byte (the file-size limit), a missing row, a
// missing folder or a name of no known format: one German line, the old
// file as it was, no temporary file.
TEST(ImageStream, FailedWriteKeepsTheOldFile)
{
    TempFolder dir;
    for (const char* name : {"bild.png", "bild.tif"}) {
        const std::string path = dir.file(name);
        ASSERT_EQ(stream(path), 0);
        const size_t whole = readFile(path).size();
        ASSERT_TRUE(writeFile(path, "old picture"));
        auto cutAtEveryByte = [&] {
            TIFFSetErrorHandler(nullptr);
            signal(SIGXFSZ, SIG_IGN);
            for (size_t limit = 0; limit < whole; ++limit) {
                const rlimit cap{rlim_t(limit), RLIM_INFINITY};
                if (setrlimit(RLIMIT_FSIZE, &cap) != 0 || stream(path) == 0) return 1;
            }
            return 0;
        };
        EXPECT_EXIT(std::_Exit(cutAtEveryByte()), ::testing::ExitedWithCode(0), "") << name << ": a cut write succeeded";
        EXPECT_EQ(stream(path, height - 1), 3) << name;
        EXPECT_EQ(readFile(path), "old picture") << name;
    }
    ImageStream image;
    EXPECT_FALSE(openImageStream(image, dir.file("fehlt/bild.png"), width, height));
    EXPECT_EQ(image.error, "'" + dir.file("fehlt/bild.png") + "' l\xC3\xA4sst sich nicht anlegen");
    EXPECT_FALSE(openImageStream(image, dir.file("bild.jpg"), width, height));
    EXPECT_EQ(image.error, "'" + dir.file("bild.jpg") + "': unbekannte Endung, erwartet .png, .tif oder .tiff");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"bild.png", "bild.tif"}));
}

// Ctrl-C halfway through: the program ends by the signal, the temporary file
// is gone and the old file intact. After the file is in place a signal takes
// nothing away.
TEST(ImageStream, InterruptRemovesTheTemporaryFile)
{
    TempFolder dir;
    for (const char* name : {"bild.png", "bild.tif"}) {
        const std::string path = dir.file(name);
        ASSERT_TRUE(writeFile(path, "old picture"));
        EXPECT_EXIT(stream(path, height, height / 2), ::testing::KilledBySignal(SIGINT), "") << name;
        EXPECT_EQ(readFile(path), "old picture") << name;
        EXPECT_EXIT((stream(path), raise(SIGINT)), ::testing::KilledBySignal(SIGINT), "") << name;
        EXPECT_FALSE(readFile(path) == "old picture" || readFile(path).empty()) << name;
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"bild.png", "bild.tif"}));
}
