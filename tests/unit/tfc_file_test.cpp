// .tfc files: the stored byte form, the console lines, and that neither a bad
// file nor a failed save ever costs the user the transfer function they had.
// The files are put together byte by byte here, not with encodeTfc, so that a
// writer and a reader wrong in the same way cannot pass.
#include "support/scripted_zenity.h"
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define FRAKTALE_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FRAKTALE_TEST_ASAN 1
#endif
#endif

namespace {

using Record = std::array<float, 5>;  // x, red, green, blue, y: the file's order

uint32_t bitsOf(float f)
{
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

float floatOf(uint32_t b)
{
    float f;
    std::memcpy(&f, &b, 4);
    return f;
}

std::string le32(uint32_t v)
{
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

// The Windows text-stream form of a count and records: a 0x0D in front of every 0x0A.
std::string stored(const std::vector<Record>& records, int32_t count)
{
    std::string content = le32(static_cast<uint32_t>(count)), out;
    for (const Record& r : records) {
        for (float v : r) content += le32(bitsOf(v));
    }
    for (char c : content) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string stored(const std::vector<Record>& records) { return stored(records, int32_t(records.size())); }

// Bitwise, so that -0 and 0 or a changed last bit show up.
std::vector<uint32_t> pointBits(const std::vector<ControlPoint>& points)
{
    std::vector<uint32_t> out;
    for (const ControlPoint& p : points) {
        for (float v : {p.x, p.y, p.red, p.green, p.blue}) out.push_back(bitsOf(v));
    }
    return out;
}

std::string saveLine(const std::string& path, bool ok)
{
    return "- Saving file '" + path + (ok ? "'...- File saved." : "'...Error saving file.");
}

std::string loadLine(const std::string& path, bool ok)
{
    return "- Loading file '" + path + (ok ? "'...- File loaded." : "'...Error loading file.");
}

// Ten points whose floats put 0x0A, 0x0D and 0x1A bytes all over the content;
// the count itself is 0x0A too.
std::vector<Record> awkwardRecords()
{
    const uint32_t patterns[] = {0x3F0A0D1A, 0x3E1A0A0D, 0x3D0D1A0A, 0x3F0D0A0A, 0x3F0A0D0D,
                                 0x3E0A0A0A, 0x3F1A1A0D, 0x3C0D0D0D, 0x3F0A1A0A, 0x3E0D0A1A};
    std::vector<Record> records;
    for (int i = 0; i < 10; ++i) {
        const float colour = floatOf(patterns[i]);
        records.push_back({i / 9.0f, colour, floatOf(patterns[(i + 3) % 10]), 1.0f - colour, 0.5f});
    }
    return records;
}

class TfcFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A Julia function with one extra point: nothing a default could match.
        tf.initialiseModel(2);
        tf.addPoint(0.5f, 0.2f, 0.4f, 0.6f);
        before = pointBits(tf.points);
        tableBefore = tf.colourTable;
    }

    bool untouched() const { return pointBits(tf.points) == before && tf.colourTable == tableBefore; }

    void expectRejected(const std::string& path)
    {
        bool ok = true;
        EXPECT_EQ(captureStdout([&] { ok = tf.loadFile(path); }), loadLine(path, false));
        EXPECT_FALSE(ok);
        EXPECT_TRUE(untouched()) << "a rejected file changed the points or the colour table";
    }

    void expectRejectedBytes(const std::string& bytes)
    {
        const std::string path = dir.file("bad.tfc");
        ASSERT_TRUE(writeFile(path, bytes));
        expectRejected(path);
    }

    TempFolder dir;
    TransferFunction tf;
    std::vector<uint32_t> before;
    std::vector<float> tableBefore;
};

TEST_F(TfcFile, DefaultMandelbrotFunctionIsStoredAsTheDocumented44Bytes)
{
    TransferFunction mandelbrot;
    mandelbrot.initialiseModel(1);
    const std::string path = dir.file("default.tfc");
    bool ok = false;
    EXPECT_EQ(captureStdout([&] { ok = mandelbrot.saveFile(path); }), saveLine(path, true));
    EXPECT_TRUE(ok);
    const std::string zero("\0\0\0\0", 4), half("\0\0\0\x3F", 4), one("\0\0\x80\x3F", 4);
    EXPECT_EQ(readFile(path), std::string("\x02\0\0\0", 4) + zero + zero + zero + zero + half + one + one + one +
                                  one + half);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"default.tfc"});
}

// Ten points: the count alone is stored as 0D 0A 00 00 00.
TEST_F(TfcFile, LineEndBytesAreStoredAsCrLfAndLoadBackExactly)
{
    TransferFunction awkward;
    awkward.points.clear();
    for (const Record& r : awkwardRecords()) awkward.addPoint(r[0], r[1], r[2], r[3]);
    const std::string path = dir.file("awkward.tfc");
    captureStdout([&] { ASSERT_TRUE(awkward.saveFile(path)); });
    const std::string file = readFile(path);
    EXPECT_EQ(file.substr(0, 5), std::string("\x0D\x0A\0\0\0", 5));
    EXPECT_EQ(file, stored(awkwardRecords()));

    EXPECT_EQ(captureStdout([&] { EXPECT_TRUE(tf.loadFile(path)); }), loadLine(path, true));
    EXPECT_EQ(pointBits(tf.points), pointBits(awkward.points));
    EXPECT_TRUE(tf.colourTable == awkward.colourTable) << "the loaded points were not rebuilt";
}

// Only 0x0D directly before 0x0A is part of a line end; 0x0D elsewhere and
// 0x1A (a text stream's end-of-file mark on Windows) are plain bytes, and
// whatever follows the last point is not looked at.
TEST_F(TfcFile, LoneCarriageReturnsAndCtrlZAreContent)
{
    const std::string file = le32(2) + std::string("\x00\x0D\x1A\x3E", 4) + le32(0) + le32(0) + le32(0) +
                             le32(0x3F000000) + le32(0x3F800000) + std::string("\x0D\x0D\x0D\x0A\x3F", 5) +
                             std::string("\x0D\x1A\x0D\x3F", 4) + le32(0) + le32(0x3F000000) + "\x1A junk\x0D";
    const std::string path = dir.file("bytes.tfc");
    ASSERT_TRUE(writeFile(path, file));
    captureStdout([&] { ASSERT_TRUE(tf.loadFile(path)); });
    ASSERT_EQ(tf.points.size(), 2u);
    EXPECT_EQ(bitsOf(tf.points[0].x), 0x3E1A0D00u);
    EXPECT_EQ(bitsOf(tf.points[1].red), 0x3F0A0D0Du);
    EXPECT_EQ(bitsOf(tf.points[1].green), 0x3F0D1A0Du);
}

// No points is a valid file (the table is then black). The stored y is not
// used: every point sits on the bar's middle line, and is saved there.
TEST_F(TfcFile, EmptyListLoadsAndStoredYIsIgnored)
{
    const std::string path = dir.file("y.tfc");
    ASSERT_TRUE(writeFile(path, le32(0)));
    captureStdout([&] { ASSERT_TRUE(tf.loadFile(path)); });
    EXPECT_TRUE(tf.points.empty());
    EXPECT_EQ(tf.colourTable[4 * 200 + 2], 0.0f) << "the table was not rebuilt black";

    ASSERT_TRUE(writeFile(path, stored({{0, 0, 0, 0, 0.25f}, {1, 1, 0.5f, 0, 7.0f}})));
    captureStdout([&] { ASSERT_TRUE(tf.loadFile(path)); });
    ASSERT_EQ(tf.points.size(), 2u);
    EXPECT_EQ(tf.points[0].y, 0.5f);
    EXPECT_EQ(tf.points[1].y, 0.5f);
    captureStdout([&] { ASSERT_TRUE(tf.saveFile(path)); });
    EXPECT_EQ(readFile(path), stored({{0, 0, 0, 0, 0.5f}, {1, 1, 0.5f, 0, 0.5f}}));
}

// Truncated anywhere, a count that is negative or beyond the data, or any
// value that is not finite: the whole file is refused.
TEST_F(TfcFile, AnyMalformedFileIsRejectedWhole)
{
    const std::string whole = stored(awkwardRecords());
    ASSERT_GT(whole.size(), 4u + 20 * 10) << "the records should hold line ends";
    for (size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE("length " + std::to_string(length));
        expectRejectedBytes(whole.substr(0, length));
        if (HasFailure()) return;
    }

    const std::vector<Record> one = {{0.5f, 1, 1, 1, 0.5f}};
    for (int32_t count : {-1, std::numeric_limits<int32_t>::min(), 2, 0x7FFFFFFF}) {
        SCOPED_TRACE(count);
        expectRejectedBytes(stored(one, count));
    }

    const float inf = std::numeric_limits<float>::infinity();
    for (int field = 0; field < 5; ++field) {
        for (float bad : {std::numeric_limits<float>::quiet_NaN(), inf, -inf}) {
            SCOPED_TRACE(testing::Message() << "field " << field << " = " << bad);
            std::vector<Record> records = {{0, 0, 0, 0, 0.5f}, {1, 1, 1, 1, 0.5f}};
            records[1][field] = bad;
            expectRejectedBytes(stored(records));
        }
    }

#ifndef FRAKTALE_TEST_ASAN
    // Reserving room for 2^31 - 1 announced points would ask for 40 GiB; with
    // the address space capped the reader must still answer, not throw.
    const std::string huge = stored(one, 0x7FFFFFFF);
    const ChildOutcome child = runInChild([&] {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t cap = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(256) << 20);
        const rlimit limit{cap, cap};
        if (setrlimit(RLIMIT_AS, &limit) != 0) return false;
        std::vector<ControlPoint> points;
        try {
            return !decodeTfc(huge, points);
        } catch (const std::bad_alloc&) {
            return false;
        }
    });
    EXPECT_EQ(child.exitCode, 0) << "the announced count was trusted before the data were checked";
#endif
}

TEST_F(TfcFile, MissingFolderDeviceFifoOrUnreadableFileIsRejected)
{
    expectRejected(dir.file("nothing-here.tfc"));
    expectRejected(dir.path());
    // Neither an endless device nor a pipe nobody writes may hang the viewer.
    expectRejected("/dev/zero");
    const std::string fifo = dir.file("pipe.tfc");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const ChildOutcome reader = runInChild([&] {
        alarm(10);
        return !tf.loadFile(fifo);
    });
    EXPECT_EQ(reader.exitCode, 0) << "reading a fifo failed to return";

    const std::string path = dir.file("locked.tfc");
    ASSERT_TRUE(writeFile(path, stored({{0, 1, 0, 0, 0.5f}})));
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    const ChildOutcome child = runInChild([&] { return !tf.loadFile(path) && untouched(); }, true);
    if (child.exitCode == ChildOutcome::kCouldNotDropPrivileges) GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(child.exitCode, 0) << "the load succeeded or changed the points";
    EXPECT_EQ(child.output, loadLine(path, false));
}

// Neither a write that fails half-way (the file-size limit), nor a full
// device, nor a read-only folder (for a child without root's privileges) may
// report success, cost the old file or leave a temporary file lying about.
TEST_F(TfcFile, FailedSaveKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    const std::string kept = dir.file("kept.tfc"), fresh = dir.file("fresh.tfc");
    ASSERT_TRUE(writeFile(kept, "old content"));
    for (int i = 0; i < 2000; ++i) tf.points.push_back(ControlPoint{i / 2000.0f, 0.5f, 1, 0, 0});
    ChildOutcome child = runInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        return setrlimit(RLIMIT_FSIZE, &limit) == 0 && !tf.saveFile(kept);
    });
    EXPECT_EQ(child.exitCode, 0) << "a save cut short by the size limit reported success";
    EXPECT_EQ(child.output, saveLine(kept, false));
    EXPECT_EQ(readFile(kept), "old content");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"kept.tfc"});

    if (access("/dev/full", W_OK) == 0) {
        bool ok = true;
        EXPECT_EQ(captureStdout([&] { ok = tf.saveFile("/dev/full"); }), saveLine("/dev/full", false));
        EXPECT_FALSE(ok);
    }

    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    child = runInChild([&] { return !tf.saveFile(kept) && !tf.saveFile(fresh); }, true);
    if (child.exitCode == ChildOutcome::kCouldNotDropPrivileges) GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(child.exitCode, 0) << "a save into a read-only folder reported success";
    EXPECT_EQ(child.output, saveLine(kept, false) + saveLine(fresh, false));
    EXPECT_EQ(readFile(kept), "old content");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"kept.tfc"});
}

TEST_F(TfcFile, SaveThroughASymlinkReplacesTheFileAndKeepsItsMode)
{
    const std::string real = dir.file("real.tfc"), link = dir.file("link.tfc");
    ASSERT_TRUE(writeFile(real, "old content"));
    ASSERT_EQ(chmod(real.c_str(), 0600), 0);
    ASSERT_EQ(symlink("real.tfc", link.c_str()), 0);
    captureStdout([&] { ASSERT_TRUE(tf.saveFile(link)); });

    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(readFile(real), stored({{0, 0, 0, 0, 0.5f}, {0.05f, 1, 1, 0, 0.5f}, {0.5f, 0.2f, 0.4f, 0.6f, 0.5f},
                                      {1, 0, 0, 0, 0.5f}}));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"link.tfc", "real.tfc"}));
}

}  // namespace
