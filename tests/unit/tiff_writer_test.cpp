#include "screenshot/screenshot.h"
#include "support/scripted_zenity.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <tiffio.h>

#include <cstring>

// Read back with libtiff: the fields, one row per strip, upright. A write cut
// off at any byte (the file-size limit) or into a missing folder is reported
// in one German line and leaves the old file and no temporary one.
TEST(TiffWriter, UprightWithItsFieldsAndReplacedOnlyBySuccessfulWrite)
{
    // An odd row length (no 4-byte padding to hide behind) of pseudo-random
    // bytes: any two rows differ, so a flipped, shifted or repeated row shows.
    const int width = 27, height = 16;
    std::vector<unsigned char> pixels(size_t(width) * height * 3);
    uint32_t state = 12345;
    for (unsigned char& b : pixels) b = static_cast<unsigned char>((state = state * 1664525u + 1013904223u) >> 24);
    TempFolder dir;
    const std::string path = dir.file("bild.tif");
    bool ok = false;
    EXPECT_EQ(printed([&] { ok = writeTiffFile(path, pixels.data(), width, height); }), "");
    ASSERT_TRUE(ok);
    const std::string whole = readFile(path);

    TIFF* tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    // Each field as written, not as libtiff's default would fill it in.
    auto field = [&](auto v, uint32_t tag) { return TIFFGetField(tif, tag, &v) ? long(v) : -1L; };
    for (const auto& [tag, value] :
         {std::pair{TIFFTAG_IMAGEWIDTH, width}, {TIFFTAG_IMAGELENGTH, height}, {TIFFTAG_ROWSPERSTRIP, 1}})
        EXPECT_EQ(field(uint32_t(), tag), value) << "tag " << tag;
    for (const auto& [tag, value] : {std::pair{TIFFTAG_BITSPERSAMPLE, 8}, {TIFFTAG_COMPRESSION, COMPRESSION_NONE},
                                     {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB}, {TIFFTAG_SAMPLESPERPIXEL, 3},
                                     {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG}})
        EXPECT_EQ(field(uint16_t(), tag), value) << "tag " << tag;
    char* description = nullptr;
    EXPECT_TRUE(TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description) && description == std::string("Fraktale Screenshot"));
    // GL gives the bottom row first, so the buffer's last row is the top.
    const size_t rowBytes = size_t(width) * 3;
    std::vector<unsigned char> row(rowBytes);
    for (int r = 0; r < height; ++r) {
        ASSERT_EQ(TIFFReadScanline(tif, row.data(), uint32_t(r), 0), 1);
        ASSERT_EQ(std::memcmp(row.data(), pixels.data() + rowBytes * size_t(height - 1 - r), rowBytes), 0) << r;
    }
    TIFFClose(tif);

    const std::string failure = "\nBild konnte nicht gespeichert werden";
    auto oneFailureLine = [&](const std::string& out) { return out.rfind(failure, 0) == 0 && out.find('\n', 1) == out.npos; };
    EXPECT_TRUE(oneFailureLine(printed([&] { ok = writeTiffFile(dir.file("fehlt/bild.tif"), pixels.data(), 8, 8); })));
    EXPECT_FALSE(ok);
    ASSERT_TRUE(writeFile(path, "old picture"));
    // In a child, which alone gets the limit; its stdout is a pipe, which no limit cuts.
    auto cutAtEveryByte = [&] {
        int out[2];
        char line[4096];
        if (pipe2(out, O_NONBLOCK) != 0 || dup2(out[1], STDOUT_FILENO) < 0) return 2;
        TIFFSetErrorHandler(nullptr);
        signal(SIGXFSZ, SIG_IGN);
        for (size_t limit = 0; limit < whole.size(); ++limit) {
            const rlimit cap{rlim_t(limit), RLIM_INFINITY};
            if (setrlimit(RLIMIT_FSIZE, &cap) != 0 || writeTiffFile(path, pixels.data(), width, height)) return 3;
            std::fflush(stdout);
            if (!oneFailureLine(std::string(line, size_t(std::max(read(out[0], line, sizeof line), ssize_t(0)))))) return 4;
        }
        return 0;
    };
    EXPECT_EXIT(std::_Exit(cutAtEveryByte()), ::testing::ExitedWithCode(0), "")
        << "3: a cut-off write was reported as saved; 4: not one German line for it";
    EXPECT_EQ(readFile(path), "old picture");
    EXPECT_EQ(printed([&] { ok = writeTiffFile(path, pixels.data(), width, height); }), "");
    EXPECT_TRUE(ok && readFile(path) == whole);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"bild.tif"}) << "a temporary file was left";
}
