// .tfc files: the stored byte form, the console lines, and that neither a bad
// file nor a failed save ever costs the user the transfer function they had.
// Files are put together byte by byte here, not with encodeTfc, so that a
// writer and a reader wrong in the same way cannot pass.
#include "support/scripted_zenity.h"
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

using Record = std::array<float, 5>;  // x, red, green, blue, y: the file's order

uint32_t bitsOf(float f) { uint32_t b; std::memcpy(&b, &f, 4); return b; }
float floatOf(uint32_t b) { float f; std::memcpy(&f, &b, 4); return f; }
std::string le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

// The Windows text-stream form: a 0x0D in front of every 0x0A.
std::string stored(const std::vector<Record>& records, int32_t count = -2)
{
    std::string content = le32(uint32_t(count == -2 ? int32_t(records.size()) : count)), out;
    for (const Record& r : records)
        for (float v : r) content += le32(bitsOf(v));
    for (char c : content) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// Bitwise, so that -0 and 0 or a changed last bit show.
std::vector<uint32_t> pointBits(const std::vector<ControlPoint>& points)
{
    std::vector<uint32_t> out;
    for (const ControlPoint& p : points)
        for (float v : {p.x, p.y, p.red, p.green, p.blue}) out.push_back(bitsOf(v));
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
    // Loads the bytes, or the file at `path` when the bytes are empty; true
    // when the load printed success.
    bool load(const std::string& bytes, std::string path = "")
    {
        if (path.empty() && !writeFile(path = dir.file("in.tfc"), bytes)) return false;
        bool ok = false;
        const std::string line = captureStdout([&] { ok = tf.loadFile(path); });
        EXPECT_EQ(line, loadLine(path, ok));
        return ok;
    }
    void expectRejected(const std::string& bytes, const std::string& path = "")
    {
        EXPECT_FALSE(load(bytes, path));
        EXPECT_TRUE(untouched()) << "a rejected file changed the points or the colour table";
    }

    TempFolder dir;
    TransferFunction tf;
    std::vector<uint32_t> before;
    std::vector<float> tableBefore;
};

TEST_F(TfcFile, StoredFormRoundTripsEveryByte)
{
    // The default Mandelbrot function is the documented 44 bytes.
    TransferFunction mandelbrot;
    mandelbrot.initialiseModel(1);
    const std::string path = dir.file("default.tfc");
    EXPECT_EQ(captureStdout([&] { EXPECT_TRUE(mandelbrot.saveFile(path)); }), saveLine(path, true));
    const std::string zero(4, '\0'), half("\0\0\0\x3F", 4), one("\0\0\x80\x3F", 4);
    EXPECT_EQ(readFile(path), le32(2) + zero + zero + zero + zero + half + one + one + one + one + half);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"default.tfc"});

    // Ten points whose floats put 0x0A, 0x0D and 0x1A bytes everywhere; the
    // count itself is 0x0A, stored as 0D 0A 00 00 00.
    const uint32_t patterns[] = {0x3F0A0D1A, 0x3E1A0A0D, 0x3D0D1A0A, 0x3F0D0A0A, 0x3F0A0D0D,
                                 0x3E0A0A0A, 0x3F1A1A0D, 0x3C0D0D0D, 0x3F0A1A0A, 0x3E0D0A1A};
    std::vector<Record> records;
    TransferFunction awkward;
    for (int i = 0; i < 10; ++i) {
        records.push_back({i / 9.0f, floatOf(patterns[i]), floatOf(patterns[(i + 3) % 10]), 0.25f, 0.5f});
        awkward.addPoint(records[i][0], records[i][1], records[i][2], records[i][3]);
    }
    captureStdout([&] { ASSERT_TRUE(awkward.saveFile(path)); });
    EXPECT_EQ(readFile(path), stored(records));
    EXPECT_TRUE(load("", path));
    EXPECT_EQ(pointBits(tf.points), pointBits(awkward.points));
    EXPECT_TRUE(tf.colourTable == awkward.colourTable) << "the loaded points were not rebuilt";

    // Only 0x0D right before 0x0A is part of a line end; a lone 0x0D and
    // 0x1A (a Windows end-of-file mark) are content, and what follows the
    // last point is not looked at.
    ASSERT_TRUE(load(le32(2) + std::string("\x00\x0D\x1A\x3E", 4) + le32(0) + le32(0) + le32(0) + le32(0x3F000000) +
                     le32(0x3F800000) + std::string("\x0D\x0D\x0D\x0A\x3F\x0D\x1A\x0D\x3F", 9) + le32(0) +
                     le32(0x3F000000) + "\x1A junk\x0D"));
    ASSERT_EQ(tf.points.size(), 2u);
    EXPECT_EQ(bitsOf(tf.points[0].x), 0x3E1A0D00u);
    EXPECT_EQ(bitsOf(tf.points[1].red), 0x3F0A0D0Du);
    EXPECT_EQ(bitsOf(tf.points[1].green), 0x3F0D1A0Du);

    // The stored y is not used: every point sits on the bar's middle line,
    // and is saved there. No points is a file too, and a black table.
    ASSERT_TRUE(load(stored({{0, 0, 0, 0, 0.25f}, {1, 1, 0.5f, 0, 7.0f}})));
    captureStdout([&] { ASSERT_TRUE(tf.saveFile(path)); });
    EXPECT_EQ(readFile(path), stored({{0, 0, 0, 0, 0.5f}, {1, 1, 0.5f, 0, 0.5f}}));
    ASSERT_TRUE(load(le32(0)));
    EXPECT_TRUE(tf.points.empty());
    EXPECT_EQ(tf.colourTable[4 * 200 + 1], 0.0f) << "the table was not rebuilt black";
}

// Truncated anywhere, a count negative or beyond the data, any value not
// finite, or no regular readable file: the whole file is refused.
TEST_F(TfcFile, AnythingButAWholeFileIsRejected)
{
    const std::string whole = stored({{0, 0, 0, 0, 0.5f}, {0.5f, floatOf(0x3F0A0D0A), 1, 1, 0.5f}, {1, 1, 1, 1, 0.5f}});
    for (size_t length = 0; length < whole.size() && !HasFailure(); ++length) expectRejected(whole.substr(0, length));
    const std::vector<Record> one = {{0.5f, 1, 1, 1, 0.5f}};
    for (int32_t count : {-1, std::numeric_limits<int32_t>::min(), 2, 0x7FFFFFFF}) expectRejected(stored(one, count));
    for (int field = 0; field < 5; ++field)
        for (float bad : {std::numeric_limits<float>::quiet_NaN(), INFINITY, -INFINITY}) {
            std::vector<Record> records = {{0, 0, 0, 0, 0.5f}, {1, 1, 1, 1, 0.5f}};
            records[1][size_t(field)] = bad;
            expectRejected(stored(records));
        }
    expectRejected("", dir.file("nothing-here.tfc"));
    expectRejected("", dir.path());
    // Neither an endless device nor a pipe nobody writes may hang the viewer.
    expectRejected("", "/dev/zero");
    const std::string fifo = dir.file("pipe.tfc");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(runInChild([&] { alarm(10); return !tf.loadFile(fifo); }).exitCode, 0) << "reading a fifo hung";

}

// Neither a write cut short (the file-size limit), nor a full device, nor a
// missing folder may report success, cost the old file or leave a
// temporary file about. Through a link, the linked file is replaced and
// keeps its mode.
TEST_F(TfcFile, SavingNeverCostsTheOldFile)
{
    const std::string kept = dir.file("kept.tfc"), link = dir.file("link.tfc");
    ASSERT_TRUE(writeFile(kept, "old content"));
    ASSERT_EQ(chmod(kept.c_str(), 0640), 0);
    ASSERT_EQ(symlink("kept.tfc", link.c_str()), 0);
    TransferFunction big = tf;
    for (int i = 0; i < 2000; ++i) big.points.push_back(ControlPoint{i / 2000.0f, 0.5f, 1, 0, 0});
    const ChildOutcome child = runInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        return setrlimit(RLIMIT_FSIZE, &limit) == 0 && !big.saveFile(kept);
    });
    EXPECT_EQ(child.exitCode, 0) << "a save cut short reported success";
    EXPECT_EQ(child.output, saveLine(kept, false));
    EXPECT_EQ(readFile(kept), "old content");
    bool ok = true;
    EXPECT_EQ(captureStdout([&] { ok = tf.saveFile("/dev/full"); }), saveLine("/dev/full", false));
    EXPECT_FALSE(ok);

    EXPECT_EQ(captureStdout([&] { ok = tf.saveFile(dir.file("missing/fresh.tfc")); }),
              saveLine(dir.file("missing/fresh.tfc"), false));
    EXPECT_FALSE(ok);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"kept.tfc", "link.tfc"}));

    captureStdout([&] { ASSERT_TRUE(tf.saveFile(link)); });
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    ASSERT_EQ(stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(readFile(kept), stored({{0, 0, 0, 0, 0.5f}, {0.05f, 1, 1, 0, 0.5f}, {0.5f, 0.2f, 0.4f, 0.6f, 0.5f},
                                      {1, 0, 0, 0, 0.5f}}));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"kept.tfc", "link.tfc"}));
}

}  // namespace
