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

float fromBits(uint32_t b)
{
    float f;
    std::memcpy(&f, &b, 4);
    return f;
}

std::string le32(uint32_t v)
{
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

std::string content(const std::vector<Record>& records, int32_t count)
{
    std::string out = le32(static_cast<uint32_t>(count));
    for (const Record& r : records) {
        for (float v : r) out += le32(bitsOf(v));
    }
    return out;
}

std::string content(const std::vector<Record>& records)
{
    return content(records, static_cast<int32_t>(records.size()));
}

// The Windows text-stream form: a 0x0D in front of every 0x0A.
std::string stored(const std::string& content)
{
    std::string out;
    for (char c : content) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// Bitwise, so that -0 and 0 or a changed last bit show up.
std::vector<uint32_t> pointBits(const std::vector<ControlPoint>& points)
{
    std::vector<uint32_t> out;
    for (const ControlPoint& p : points) {
        for (float v : {p.x, p.y, p.red, p.green, p.blue}) out.push_back(bitsOf(v));
    }
    return out;
}

std::string savedLine(const std::string& path) { return "- Saving file '" + path + "'...- File saved."; }
std::string saveFailedLine(const std::string& path) { return "- Saving file '" + path + "'...Error saving file."; }
std::string loadedLine(const std::string& path) { return "- Loading file '" + path + "'...- File loaded."; }
std::string loadFailedLine(const std::string& path) { return "- Loading file '" + path + "'...Error loading file."; }

// Ten points whose floats put 0x0A, 0x0D and 0x1A bytes all over the content;
// the count itself is 0x0A too.
std::vector<Record> awkwardRecords()
{
    const uint32_t patterns[] = {0x3F0A0D1A, 0x3E1A0A0D, 0x3D0D1A0A, 0x3F0D0A0A, 0x3F0A0D0D,
                                 0x3E0A0A0A, 0x3F1A1A0D, 0x3C0D0D0D, 0x3F0A1A0A, 0x3E0D0A1A};
    std::vector<Record> records;
    for (int i = 0; i < 10; ++i) {
        const float colour = fromBits(patterns[i]);
        const float other = fromBits(patterns[(i + 3) % 10]);
        records.push_back({i / 9.0f, colour, other, 1.0f - colour, 0.5f});
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

    void expectRejected(const std::string& path)
    {
        bool ok = true;
        const std::string out = captureStdout([&] { ok = tf.loadFile(path); });
        EXPECT_FALSE(ok);
        EXPECT_EQ(out, loadFailedLine(path));
        EXPECT_EQ(pointBits(tf.points), before);
        EXPECT_TRUE(tf.colourTable == tableBefore) << "the colour table changed";
    }

    void expectRejectedBytes(const std::string& bytes)
    {
        const std::string path = dir.file("bad.tfc");
        ASSERT_TRUE(writeFile(path, bytes));
        expectRejected(path);
    }

    bool untouchedIn(const TransferFunction& t) const
    {
        return pointBits(t.points) == before && t.colourTable == tableBefore;
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
    const std::string out = captureStdout([&] { ok = mandelbrot.saveFile(path); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(out, savedLine(path));
    const std::string zero("\0\0\0\0", 4), half("\0\0\0\x3F", 4), one("\0\0\x80\x3F", 4);
    EXPECT_EQ(readFile(path), std::string("\x02\0\0\0", 4) + zero + zero + zero + zero + half + one + one + one +
                                  one + half);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"default.tfc"});
}

TEST_F(TfcFile, TenPointsStoreTheCountAsCrLfAndLoadBack)
{
    TransferFunction ten;
    ten.initialiseModel(1);
    for (int i = 1; i <= 8; ++i) ten.addPoint(i / 9.0f, i / 8.0f, 1.0f - i / 8.0f, 0.25f);
    ASSERT_EQ(ten.points.size(), 10u);
    const std::string path = dir.file("ten.tfc");
    captureStdout([&] { ASSERT_TRUE(ten.saveFile(path)); });

    EXPECT_EQ(readFile(path).substr(0, 5), std::string("\x0D\x0A\0\0\0", 5));
    const std::string out = captureStdout([&] { EXPECT_TRUE(tf.loadFile(path)); });
    EXPECT_EQ(out, loadedLine(path));
    EXPECT_EQ(pointBits(tf.points), pointBits(ten.points));
}

TEST_F(TfcFile, FloatBytesThatLookLikeLineEndsSurviveSaveAndLoad)
{
    TransferFunction awkward;
    awkward.initialiseModel(1);
    awkward.points.clear();
    for (const Record& r : awkwardRecords()) awkward.addPoint(r[0], r[1], r[2], r[3]);
    const std::string path = dir.file("awkward.tfc");
    captureStdout([&] { ASSERT_TRUE(awkward.saveFile(path)); });

    EXPECT_EQ(readFile(path), stored(content(awkwardRecords())));
    captureStdout([&] { EXPECT_TRUE(tf.loadFile(path)); });
    EXPECT_EQ(pointBits(tf.points), pointBits(awkward.points));
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

TEST_F(TfcFile, StoredYIsIgnoredAndWrittenBackAsHalf)
{
    const std::string path = dir.file("y.tfc");
    ASSERT_TRUE(writeFile(path, stored(content({{0, 0, 0, 0, 0.25f}, {1, 1, 0.5f, 0, 7.0f}}))));
    captureStdout([&] { ASSERT_TRUE(tf.loadFile(path)); });
    ASSERT_EQ(tf.points.size(), 2u);
    EXPECT_EQ(tf.points[0].y, 0.5f);
    EXPECT_EQ(tf.points[1].y, 0.5f);

    captureStdout([&] { ASSERT_TRUE(tf.saveFile(path)); });
    EXPECT_EQ(readFile(path), stored(content({{0, 0, 0, 0, 0.5f}, {1, 1, 0.5f, 0, 0.5f}})));
}

TEST_F(TfcFile, FileSavedInOneWindowLoadsIntoTheOther)
{
    for (const auto& [from, to] : {std::pair{1, 2}, std::pair{2, 1}}) {
        SCOPED_TRACE("from window " + std::to_string(from));
        TransferFunction source, target;
        source.initialiseModel(from);
        source.addPoint(0.3f, 1.0f, 0.0f, 0.0f);
        target.initialiseModel(to);
        const std::string path = dir.file("window.tfc");
        captureStdout([&] { ASSERT_TRUE(source.saveFile(path)); });
        const std::string out = captureStdout([&] { EXPECT_TRUE(target.loadFile(path)); });
        EXPECT_EQ(out, loadedLine(path));
        EXPECT_EQ(pointBits(target.points), pointBits(source.points));
        EXPECT_TRUE(target.colourTable == source.colourTable) << "the loaded points were not rebuilt";
    }
}

TEST_F(TfcFile, NoPointsIsAValidFile)
{
    const std::string path = dir.file("empty.tfc");
    ASSERT_TRUE(writeFile(path, le32(0)));
    captureStdout([&] { ASSERT_TRUE(tf.loadFile(path)); });
    EXPECT_TRUE(tf.points.empty());
    for (int i = 0; i < tableSize; ++i) {
        ASSERT_EQ(tf.colourTable[4 * i] + tf.colourTable[4 * i + 1] + tf.colourTable[4 * i + 2], 0.0f) << i;
    }
    tf.addPoint(0.5f, 1, 1, 1);
    EXPECT_EQ(tf.points.size(), 1u);
}

TEST_F(TfcFile, EveryTruncationOfAValidFileIsRejected)
{
    const std::string whole = stored(content(awkwardRecords()));
    ASSERT_GT(whole.size(), 4u + 20 * 10) << "the records should hold line ends";
    for (size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE("length " + std::to_string(length));
        expectRejectedBytes(whole.substr(0, length));
        if (HasFailure()) return;
    }
    const std::string path = dir.file("whole.tfc");
    ASSERT_TRUE(writeFile(path, whole));
    captureStdout([&] { EXPECT_TRUE(tf.loadFile(path)); });
    EXPECT_EQ(tf.points.size(), 10u);
}

TEST_F(TfcFile, CountThatIsNegativeOrBeyondTheDataIsRejected)
{
    const std::vector<Record> one = {{0.5f, 1, 1, 1, 0.5f}};
    for (int32_t count : {-1, std::numeric_limits<int32_t>::min(), 2, 0x7FFFFFFF}) {
        SCOPED_TRACE(count);
        expectRejectedBytes(stored(content(one, count)));
    }
#ifndef FRAKTALE_TEST_ASAN
    // Reserving room for 2^31 - 1 announced points would ask for 40 GiB; with
    // the address space capped the reader must still answer, not throw.
    const std::string huge = stored(content(one, 0x7FFFFFFF));
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

TEST_F(TfcFile, NonFiniteValueInAnyFieldIsRejected)
{
    const float inf = std::numeric_limits<float>::infinity();
    const char* fields[] = {"x", "red", "green", "blue", "y"};
    for (int field = 0; field < 5; ++field) {
        for (float bad : {std::numeric_limits<float>::quiet_NaN(), inf, -inf}) {
            SCOPED_TRACE(std::string(fields[field]) + " = " + std::to_string(bad));
            std::vector<Record> records = {{0, 0, 0, 0, 0.5f}, {1, 1, 1, 1, 0.5f}};
            records[1][field] = bad;
            expectRejectedBytes(stored(content(records)));
        }
    }
}

TEST_F(TfcFile, MissingFolderOrUnreadableFileIsRejected)
{
    expectRejected(dir.file("nothing-here.tfc"));
    expectRejected(dir.path());
    // Neither an endless device nor a pipe nobody writes may hang the viewer.
    expectRejected("/dev/zero");
    const std::string fifo = dir.file("pipe.tfc");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const ChildOutcome reader = runInChild([&] { return !tf.loadFile(fifo); }, false);
    EXPECT_EQ(reader.exitCode, 0);

    const std::string path = dir.file("locked.tfc");
    ASSERT_TRUE(writeFile(path, stored(content({{0, 1, 0, 0, 0.5f}}))));
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    const ChildOutcome child = runInChild([&] { return !tf.loadFile(path) && untouchedIn(tf); }, true);
    if (child.exitCode == ChildOutcome::kCouldNotDropPrivileges) GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(child.exitCode, 0) << "the load succeeded or changed the points";
    EXPECT_EQ(child.output, loadFailedLine(path));
}

TEST_F(TfcFile, SaveIntoReadOnlyFolderFailsAndKeepsTheOldFile)
{
    const std::string kept = dir.file("kept.tfc"), fresh = dir.file("fresh.tfc");
    ASSERT_TRUE(writeFile(kept, "old content"));
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    const ChildOutcome child = runInChild([&] { return !tf.saveFile(kept) && !tf.saveFile(fresh); }, true);
    if (child.exitCode == ChildOutcome::kCouldNotDropPrivileges) GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(child.exitCode, 0) << "a save into a read-only folder reported success";
    EXPECT_EQ(child.output, saveFailedLine(kept) + saveFailedLine(fresh));
    EXPECT_EQ(readFile(kept), "old content");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"kept.tfc"});
}

TEST_F(TfcFile, SaveOntoAFullDeviceReportsTheError)
{
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    bool ok = true;
    const std::string out = captureStdout([&] { ok = tf.saveFile("/dev/full"); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(out, saveFailedLine("/dev/full"));
}

// A write that fails half-way (here: the file-size limit) must not cost the
// old file, nor leave the half-written temporary one lying about.
TEST_F(TfcFile, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    for (int i = 0; i < 2000; ++i) tf.points.push_back(ControlPoint{i / 2000.0f, 0.5f, 1, 0, 0});
    const std::string path = dir.file("kept.tfc");
    ASSERT_TRUE(writeFile(path, "old content"));
    const ChildOutcome child = runInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        return setrlimit(RLIMIT_FSIZE, &limit) == 0 && !tf.saveFile(path);
    });
    EXPECT_EQ(child.exitCode, 0) << "a save cut short by the size limit reported success";
    EXPECT_EQ(child.output, saveFailedLine(path));
    EXPECT_EQ(readFile(path), "old content");
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
    TransferFunction reloaded;
    reloaded.initialiseModel(1);
    captureStdout([&] { ASSERT_TRUE(reloaded.loadFile(real)); });
    EXPECT_EQ(pointBits(reloaded.points), before);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"link.tfc", "real.tfc"}));
}

}  // namespace
