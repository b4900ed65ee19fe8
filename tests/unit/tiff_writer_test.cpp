// Screenshot TIFF files read back with libtiff: the fields, one row per
// strip, an upright picture, and a failed save that leaves neither a broken
// file nor a stray temporary one and says so.
#include "screenshot/screenshot.h"
#include "support/scripted_zenity.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <tiffio.h>

#include <cstring>

namespace {

// Pseudo-random bytes: any two rows differ, so a flipped, shifted or
// repeated row shows.
std::vector<unsigned char> picture(int width, int height)
{
    std::vector<unsigned char> pixels(size_t(width) * size_t(height) * 3);
    uint32_t state = 12345;
    for (unsigned char& b : pixels) b = static_cast<unsigned char>((state = state * 1664525u + 1013904223u) >> 24);
    return pixels;
}

TEST(TiffWriter, WindowPictureReadsBackUprightWithItsFields)
{
    TempFolder dir;
    const int width = 801, height = 600;
    const std::vector<unsigned char> pixels = picture(width, height);
    const std::string path = dir.file("bild.tif");
    bool ok = false;
    EXPECT_EQ(captureStdout([&] { ok = writeTiffFile(path, pixels.data(), width, height); }), "");
    ASSERT_TRUE(ok);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"bild.tif"});

    TIFF* tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    // Each field as written, not as libtiff's default would fill it in.
    for (const auto& [tag, value] : {std::pair{TIFFTAG_IMAGEWIDTH, 801u}, {TIFFTAG_IMAGELENGTH, 600u},
                                     {TIFFTAG_ROWSPERSTRIP, 1u}}) {
        uint32_t v = 0;
        EXPECT_TRUE(TIFFGetField(tif, tag, &v) && v == value) << "tag " << tag << ": " << v;
    }
    for (const auto& [tag, value] : {std::pair{TIFFTAG_BITSPERSAMPLE, 8}, {TIFFTAG_COMPRESSION, COMPRESSION_NONE},
                                     {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB}, {TIFFTAG_SAMPLESPERPIXEL, 3},
                                     {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG}}) {
        uint16_t v = 0;
        EXPECT_TRUE(TIFFGetField(tif, tag, &v) && v == value) << "tag " << tag << ": " << v;
    }
    char* description = nullptr;
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description));
    EXPECT_STREQ(description, "Fraktale Screenshot");
    EXPECT_EQ(TIFFNumberOfStrips(tif), 600u);
    // GL gives the bottom row first, so the buffer's last row is the top.
    const size_t rowBytes = size_t(width) * 3;
    std::vector<unsigned char> row(rowBytes);
    for (int r = 0; r < height; ++r) {
        ASSERT_EQ(TIFFReadScanline(tif, row.data(), uint32_t(r), 0), 1);
        ASSERT_EQ(std::memcmp(row.data(), pixels.data() + rowBytes * size_t(height - 1 - r), rowBytes), 0) << r;
    }
    TIFFClose(tif);
}

// The file-size limit cuts the write off at every byte the finished file
// needs, the directory written last included: each cut is reported with one
// German line and leaves the old file as it was. So does a missing folder.
TEST(TiffWriter, ExistingFileIsReplacedOnlyBySuccessfulWrite)
{
    const char failure[] = "\nBild konnte nicht gespeichert werden";
    const int width = 24, height = 16;
    const std::vector<unsigned char> pixels = picture(width, height);
    TempFolder dir;
    const std::string path = dir.file("bild.tif");
    bool ok = true;
    const std::string out = captureStdout([&] { ok = writeTiffFile(dir.file("fehlt/bild.tif"), pixels.data(), 8, 8); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(out.rfind(failure, 0), 0u) << out;
    EXPECT_EQ(out.find('\n', 1), std::string::npos) << out;

    captureStdout([&] { ASSERT_TRUE(writeTiffFile(path, pixels.data(), width, height)); });
    const std::string whole = readFile(path);
    ASSERT_TRUE(writeFile(path, "old picture"));
    const ChildOutcome child = runInChild([&] {
        TIFFSetErrorHandler(nullptr);
        signal(SIGXFSZ, SIG_IGN);
        for (size_t limit = 0; limit < whole.size(); ++limit) {
            const rlimit cap{rlim_t(limit), RLIM_INFINITY};
            if (setrlimit(RLIMIT_FSIZE, &cap) != 0 || writeTiffFile(path, pixels.data(), width, height)) return false;
        }
        return true;
    });
    EXPECT_EQ(child.exitCode, 0) << "a cut-off write was reported as saved";
    size_t lines = 0;
    for (size_t at = 0; (at = child.output.find(failure, at)) != std::string::npos; ++at) ++lines;
    EXPECT_EQ(lines, whole.size()) << "one German line per failed save";
    EXPECT_EQ(readFile(path), "old picture");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"bild.tif"});
    EXPECT_EQ(captureStdout([&] { ok = writeTiffFile(path, pixels.data(), width, height); }), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(readFile(path), whole);
}

}  // namespace
