// Screenshot TIFF files, read back with libtiff and, where libtiff hides it,
// straight from the bytes: the fields, the strips, an upright picture, and a
// failed save that leaves neither a broken file nor a stray temporary one.
#include "screenshot/screenshot.h"
#include "support/scripted_zenity.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <tiffio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>

namespace {

const char kFailurePrefix[] = "\nBild konnte nicht gespeichert werden";

// Pseudo-random bytes: any two rows differ, so a flipped, shifted or
// repeated row shows up.
std::vector<unsigned char> picture(int width, int height)
{
    std::vector<unsigned char> pixels(size_t(width) * size_t(height) * 3);
    uint32_t state = 12345;
    for (unsigned char& b : pixels) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<unsigned char>(state >> 24);
    }
    return pixels;
}

// Tag number -> value of the first directory, as the bytes hold it (the value
// only for a single SHORT or LONG; 0 otherwise). libtiff fills in defaults
// when asked, so only the bytes tell what was written.
std::map<unsigned, uint32_t> writtenTags(const std::string& file)
{
    std::map<unsigned, uint32_t> tags;
    if (file.size() < 8) return tags;
    const bool little = file[0] == 'I';
    auto u16 = [&](size_t at) {
        const unsigned a = static_cast<unsigned char>(file[at]), b = static_cast<unsigned char>(file[at + 1]);
        return little ? a | b << 8 : a << 8 | b;
    };
    auto u32 = [&](size_t at) {
        return little ? uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16 : uint32_t(u16(at)) << 16 | u16(at + 2);
    };
    if (u16(2) != 42) return tags;
    const size_t ifd = u32(4);
    if (ifd + 2 > file.size()) return tags;
    for (unsigned i = 0; i < u16(ifd); ++i) {
        const size_t entry = ifd + 2 + 12 * i;
        if (entry + 12 > file.size()) break;
        const unsigned type = u16(entry + 2);
        const bool single = u32(entry + 4) == 1;
        tags[u16(entry)] = !single ? 0 : type == 3 ? u16(entry + 8) : type == 4 ? u32(entry + 8) : 0;
    }
    return tags;
}

bool isClosed(int fd) { return fcntl(fd, F_GETFD) == -1 && errno == EBADF; }

TEST(TiffWriter, WindowPictureReadsBackUprightWithExactlyTheNineFields)
{
    TempFolder dir;
    const int width = 801, height = 600;
    const std::vector<unsigned char> pixels = picture(width, height);
    const std::string path = dir.file("bild.tif");
    bool ok = false;
    EXPECT_EQ(captureStdout([&] { ok = writeTiffFile(path, pixels.data(), width, height); }), "");
    ASSERT_TRUE(ok);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"bild.tif"});

    // The nine fields plus the strip offsets and byte counts, nothing else.
    const std::map<unsigned, uint32_t> tags = writtenTags(readFile(path));
    std::vector<unsigned> numbers;
    for (const auto& tag : tags) numbers.push_back(tag.first);
    EXPECT_EQ(numbers, (std::vector<unsigned>{256, 257, 258, 259, 262, 270, 273, 277, 278, 279, 284}));
    for (const auto& [tag, value] : std::map<unsigned, uint32_t>{
             {256, 801}, {257, 600}, {259, 1}, {262, 2}, {277, 3}, {278, 1}, {284, 1}}) {
        EXPECT_EQ(tags.count(tag) ? tags.at(tag) : 0u, value) << "tag " << tag;
    }

    TIFF* tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint16_t bits = 0;
    char* description = nullptr;
    EXPECT_TRUE(TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits) && bits == 8) << bits;
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description));
    EXPECT_STREQ(description, "Fraktale Screenshot");
    ASSERT_EQ(TIFFNumberOfStrips(tif), 600u);
    uint64_t* stripBytes = nullptr;
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &stripBytes));
    for (uint32_t s = 0; s < 600; ++s) ASSERT_EQ(stripBytes[s], 2403u) << "strip " << s;

    // GL gives the bottom row first, so the buffer's last row is the top.
    const size_t rowBytes = size_t(width) * 3;
    std::vector<unsigned char> row(rowBytes);
    for (int r = 0; r < height; ++r) {
        ASSERT_EQ(TIFFReadScanline(tif, row.data(), uint32_t(r), 0), 1);
        ASSERT_EQ(std::memcmp(row.data(), pixels.data() + rowBytes * size_t(height - 1 - r), rowBytes), 0) << r;
    }
    TIFFClose(tif);
}

// Rows that cannot be written (the file-size limit stops them) give 1; the
// handle is closed either way.
TEST(TiffWriter, WriteTiffClosesTheHandleAfterSuccessAndAfterFailure)
{
    TempFolder dir;
    const std::vector<unsigned char> pixels = picture(64, 64);
    for (rlim_t limit : {RLIM_INFINITY, rlim_t(2048)}) {
        const std::string path = dir.file("bild.tif");
        const ChildOutcome child = runInChild([&] {
            TIFFSetErrorHandler(nullptr);
            signal(SIGXFSZ, SIG_IGN);
            TIFF* tif = TIFFOpen(path.c_str(), "w");
            const rlimit cap{limit, limit};
            if (!tif || setrlimit(RLIMIT_FSIZE, &cap) != 0) return false;
            const int fd = TIFFFileno(tif);
            return writeTiff(tif, pixels.data(), 64, 64) == (limit == RLIM_INFINITY ? 0 : 1) && isClosed(fd);
        });
        EXPECT_EQ(child.exitCode, 0) << "limit " << limit;
    }
}

// No row to write: the file is still a TIFF whose directory says height 0.
// (libtiff declines to read such a file back, so the bytes are checked.)
TEST(TiffWriter, ZeroHeightWritesAnEmptyImage)
{
    TempFolder dir;
    const unsigned char none[1] = {0};
    const std::string path = dir.file("leer.tif");
    bool ok = false;
    EXPECT_EQ(captureStdout([&] { ok = writeTiffFile(path, none, 801, 0); }), "");
    EXPECT_TRUE(ok);
    const std::string file = readFile(path);
    std::map<unsigned, uint32_t> tags = writtenTags(file);
    EXPECT_EQ(tags[256], 801u);
    ASSERT_EQ(tags.count(257), 1u);
    EXPECT_EQ(tags[257], 0u);
    EXPECT_LT(file.size(), 801u * 3u) << "not even one row's bytes belong in it";
}

// The file-size limit cuts the write off at every byte the finished file
// would need, the directory written last included: each cut must be reported
// with one German line and must leave the old file as it was. A folder that
// does not exist gets the line as well.
TEST(TiffWriter, ExistingFileIsReplacedOnlyBySuccessfulWrite)
{
    const int width = 24, height = 16;
    const std::vector<unsigned char> pixels = picture(width, height);
    TempFolder dir;
    const std::string path = dir.file("bild.tif");
    bool ok = true;
    const std::string out = captureStdout([&] { ok = writeTiffFile(dir.file("fehlt/bild.tif"), pixels.data(), 8, 8); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(out.rfind(kFailurePrefix, 0), 0u) << out;
    EXPECT_EQ(out.find('\n', 1), std::string::npos) << out;
    EXPECT_TRUE(dir.entries().empty());

    captureStdout([&] { ASSERT_TRUE(writeTiffFile(path, pixels.data(), width, height)); });
    const off_t fullSize = static_cast<off_t>(readFile(path).size());
    ASSERT_GT(fullSize, width * height * 3);
    ASSERT_TRUE(writeFile(path, "old picture"));
    const ChildOutcome child = runInChild([&] {
        TIFFSetErrorHandler(nullptr);
        signal(SIGXFSZ, SIG_IGN);
        for (off_t limit = 0; limit < fullSize; ++limit) {
            const rlimit cap{rlim_t(limit), RLIM_INFINITY};
            if (setrlimit(RLIMIT_FSIZE, &cap) != 0 || writeTiffFile(path, pixels.data(), width, height)) return false;
        }
        return true;
    });
    EXPECT_EQ(child.exitCode, 0) << "a cut-off write was reported as saved";
    size_t lines = 0;
    for (size_t at = 0; (at = child.output.find(kFailurePrefix, at)) != std::string::npos; ++at) ++lines;
    EXPECT_EQ(lines, size_t(fullSize)) << "one German line per failed save";
    EXPECT_EQ(readFile(path), "old picture");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"bild.tif"});

    EXPECT_EQ(captureStdout([&] { ok = writeTiffFile(path, pixels.data(), width, height); }), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(readFile(path).size(), size_t(fullSize));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"bild.tif"});
}

}  // namespace
