// .tfc files byte by byte (not with encodeTfc: a writer and a reader wrong
// alike must not pass), their console lines, and no lost work on bad files.
#include "support/scripted_zenity.h"
#include "transfer/transfer_function.h"

#include <signal.h>
#include <sys/resource.h>

#include <array>
#include <cmath>
#include <cstring>

using Record = std::array<float, 5>;  // x, red, green, blue, y: the file's order

static uint32_t bitsOf(float f) { uint32_t b; std::memcpy(&b, &f, 4); return b; }
static float floatOf(uint32_t b) { float f; std::memcpy(&f, &b, 4); return f; }
static std::string le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

// The Windows text-stream form: a 0x0D in front of every 0x0A.
static std::string stored(const std::vector<Record>& records, int32_t count = -2)
{
    std::string content = le32(uint32_t(count == -2 ? int32_t(records.size()) : count)), out;
    for (const Record& r : records)
        for (float v : r) content += le32(bitsOf(v));
    for (char c : content) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// Bitwise, so that -0 and 0 or a changed last bit show.
static std::string bits(const std::vector<ControlPoint>& p) { return {(const char*)p.data(), p.size() * sizeof p[0]}; }

class TfcFile : public ::testing::Test {
protected:
    // A Julia function with one extra point: nothing a default could match.
    TfcFile() { tf.initialiseModel(2), tf.addPoint(0.5f, 0.2f, 0.4f, 0.6f), before = tf; }
    // Loads the bytes, or the file at `path` when given; true when the load printed success.
    bool load(const std::string& bytes, std::string path = "")
    {
        if (path.empty() && !writeFile(path = dir.file("in.tfc"), bytes)) return false;
        bool ok = false;
        const std::string line = printed([&] { ok = tf.loadFile(path); });
        EXPECT_EQ(line, "- Loading file '" + path + (ok ? "'...- File loaded." : "'...Error loading file."));
        return ok;
    }
    void expectRejected(const std::string& bytes, const std::string& path = "")
    {
        EXPECT_FALSE(load(bytes, path));
        EXPECT_TRUE(bits(tf.points) == bits(before.points) && tf.colourTable == before.colourTable)
            << "a rejected file changed the points or the colour table";
    }

    TempFolder dir;
    TransferFunction tf, before;
};

TEST_F(TfcFile, StoredFormRoundTripsEveryByte)
{
    // The default Mandelbrot function is the documented 44 bytes.
    TransferFunction other;
    other.initialiseModel(1);
    const std::string path = dir.file("default.tfc");
    EXPECT_EQ(printed([&] { EXPECT_TRUE(other.saveFile(path)); }), "- Saving file '" + path + "'...- File saved.");
    const std::string zero(4, '\0'), half("\0\0\0\x3F", 4), one("\0\0\x80\x3F", 4);
    EXPECT_EQ(readFile(path), le32(2) + zero + zero + zero + zero + half + one + one + one + one + half);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"default.tfc"});

    // Ten points whose floats put 0x0A, 0x0D and 0x1A bytes everywhere; the
    // count itself is 0x0A, stored as 0D 0A 00 00 00.
    const uint32_t patterns[] = {0x3F0A0D1A, 0x3E1A0A0D, 0x3D0D1A0A, 0x3F0D0A0A, 0x3F0A0D0D,
                                 0x3E0A0A0A, 0x3F1A1A0D, 0x3C0D0D0D, 0x3F0A1A0A, 0x3E0D0A1A};
    std::vector<Record> records;
    other.points.clear();  // ten awkward points instead
    for (int i = 0; i < 10; ++i) {
        records.push_back({i / 9.0f, floatOf(patterns[i]), floatOf(patterns[(i + 3) % 10]), 0.25f, 0.5f});
        other.addPoint(records[i][0], records[i][1], records[i][2], records[i][3]);
    }
    printed([&] { ASSERT_TRUE(other.saveFile(path)); });
    EXPECT_EQ(readFile(path), stored(records));
    EXPECT_TRUE(load("", path) && bits(tf.points) == bits(other.points));
    EXPECT_TRUE(tf.colourTable == other.colourTable) << "the loaded points were not rebuilt";

    // Lone 0x0D and 0x1A (Windows' end-of-file mark) bytes are content, as
    // above; what follows the last point is not looked at.
    ASSERT_TRUE(load(stored({{0, 0, 0, 0, 0.5f}}) + "\x1A junk\x0D") && tf.points.size() == 1);

    // The stored y is not used: every point sits on the bar's middle line,
    // and is saved there. No points is a file too, and a black table.
    ASSERT_TRUE(load(stored({{0, 0, 0, 0, 0.25f}, {1, 1, 0.5f, 0, 7.0f}})));
    printed([&] { ASSERT_TRUE(tf.saveFile(path)); });
    EXPECT_EQ(readFile(path), stored({{0, 0, 0, 0, 0.5f}, {1, 1, 0.5f, 0, 0.5f}}));
    ASSERT_TRUE(load(le32(0)) && tf.points.empty());
    EXPECT_EQ(tf.colourTable[4 * 200 + 1], 0.0f) << "the table was not rebuilt black";
}

// Truncated anywhere, a count negative or beyond the data, any value not
// finite, or no regular readable file: the whole file is refused.
TEST_F(TfcFile, AnythingButAWholeFileIsRejected)
{
    const std::string whole = stored({{0, 0, 0, 0, 0.5f}, {0.5f, floatOf(0x3F0A0D0A), 1, 1, 0.5f}, {1, 1, 1, 1, 0.5f}});
    for (size_t length = 0; length < whole.size() && !HasFailure(); ++length) expectRejected(whole.substr(0, length));
    for (int32_t count : {-1, INT32_MIN, 2, INT32_MAX}) expectRejected(stored({{0.5f, 1, 1, 1, 0.5f}}, count));
    for (size_t field = 0; field < 5; ++field)
        for (float bad : {NAN, INFINITY, -INFINITY}) {
            std::vector<Record> records = {{0, 0, 0, 0, 0.5f}, {1, 1, 1, 1, 0.5f}};
            records[1][field] = bad;
            expectRejected(stored(records));
        }
    // Neither an endless device nor a pipe nobody writes may hang the viewer.
    for (const std::string& path : {dir.file("nothing-here.tfc"), dir.path(), std::string("/dev/zero")}) expectRejected("", path);
    const std::string fifo = dir.file("pipe.tfc");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EXIT((alarm(10), std::_Exit(tf.loadFile(fifo))), ::testing::ExitedWithCode(0), "") << "reading a fifo hung";
}

// A write cut short (file-size limit, in a child), a full device or a missing
// folder: no success reported, no old file lost, no temporary file left.
// Through a link, the linked file is replaced and keeps its mode.
TEST_F(TfcFile, SavingNeverCostsTheOldFile)
{
    const std::string kept = dir.file("kept.tfc"), link = dir.file("link.tfc");
    ASSERT_TRUE(writeFile(kept, "old content") && !chmod(kept.c_str(), 0640) && !symlink("kept.tfc", link.c_str()));
    TransferFunction big = tf;
    for (int i = 0; i < 2000; ++i) big.points.push_back(ControlPoint{i / 2000.0f, 0.5f, 1, 0, 0});
    const rlimit limit{4096, 4096};
    EXPECT_EXIT((dup2(2, 1), signal(SIGXFSZ, SIG_IGN), setrlimit(RLIMIT_FSIZE, &limit), std::exit(big.saveFile(kept))),
                ::testing::ExitedWithCode(0), "^- Saving file '.*/kept\\.tfc'\\.\\.\\.Error saving file\\.$");
    for (const std::string& path : {std::string("/dev/full"), dir.file("missing/fresh.tfc")}) {
        bool ok = true;
        const std::string line = printed([&] { ok = tf.saveFile(path); });
        EXPECT_TRUE(!ok && line == "- Saving file '" + path + "'...Error saving file.") << line;
    }
    EXPECT_EQ(readFile(kept), "old content");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"kept.tfc", "link.tfc"}));

    printed([&] { ASSERT_TRUE(tf.saveFile(link)); });
    struct stat st;
    EXPECT_TRUE(lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    EXPECT_TRUE(stat(kept.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640);
    EXPECT_EQ(readFile(kept), stored({{0, 0, 0, 0, 0.5f}, {0.05f, 1, 1, 0, 0.5f}, {0.5f, 0.2f, 0.4f, 0.6f, 0.5f},
                                      {1, 0, 0, 0, 0.5f}}));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"kept.tfc", "link.tfc"}));
}
