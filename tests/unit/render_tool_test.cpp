// fraktale-render's parts that need no GL: the command line (one table of
// good and bad calls), the colours file, the N x N averaging against a box
// reduction of the larger picture, rows to file, the progress lines.
#include "support/scripted_zenity.h"
#include "tool/averaging.h"
#include "tool/options.h"
#include "tool/progress.h"
#include "tool/write_picture.h"
#include "transfer/transfer_function.h"

#include <tiffio.h>

#include <cmath>
#include <iterator>
#include <random>

namespace {

// Stands in for readLocationOption, which deep/ tests: --mandelbrot and
// --julia take three values, --constant two; too few is its error.
int fakeLocation(int argc, char** argv, int i, std::string& error)
{
    const std::string name = argv[i];
    const int values = name == "--constant" ? 2 : name == "--mandelbrot" || name == "--julia" ? 3 : -1;
    if (values < 0) return 0;
    if (i + values >= argc) return error = name + ": zu wenige Werte", -1;
    return values + 1;
}

Parsed parse(const std::string& line, RenderOptions& options, std::string& error)
{
    std::istringstream in("fraktale-render " + line);
    std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    return parseOptions(int(argv.size()), argv.data(), fakeLocation, options, error);
}

}  // namespace

TEST(RenderOptions, GoodAndBadCommandLines)
{
    const std::string size = "': Breite und H\xC3\xB6he m\xC3\xBCssen zwischen 1 und 16384 liegen";
    const std::string extension = "': unbekannte Endung, erwartet .png, .tif oder .tiff";
    // The line, and "help", the line naming the problem, or nothing: it renders.
    std::vector<std::pair<std::string, std::string>> rows = {
        {"--help", "help"}, {"julia --bogus -h", "help"}, {"mandelbrot -o a.png", ""}, {"julia -o A.PNG", ""},
        {"mandelbrot -o b.Tiff", ""}, {"julia --julia 0 0 1 --constant -1 0 --size 16384x1 --samples 16 -o x.tif", ""},
        {"mandelbrot --size", "--size: Wert fehlt"}, {"mandelbrot -o", "-o: Wert fehlt"},
        {"mandelbrot", "-o BILD.png oder BILD.tif fehlt"}, {"mandelbrot -o a.jpg", "'a.jpg" + extension},
        {"mandelbrot -o bild", "'bild" + extension}, {"-o a.png", "mandelbrot oder julia fehlt"},
        {"mandel -o a.png", "'mandel': erwartet mandelbrot oder julia"},
        {"mandelbrot julia -o a.png", "\xC3\xBC" "berz\xC3\xA4hliges Argument 'julia'"},
        {"mandelbrot --farben x.tfc -o a.png", "unbekannte Option '--farben'"},
        {"mandelbrot --julia 0 0 1 -o a.png", "--julia passt nicht zu mandelbrot"},
        {"mandelbrot --constant 0 1 -o a.png", "--constant passt nicht zu mandelbrot"},
        {"julia --mandelbrot 0 0 1 -o a.png", "--mandelbrot passt nicht zu julia"},
        {"julia -o a.png --julia 0 0", "--julia: zu wenige Werte"},
    };
    for (std::string v : {"0x800", "16385x10", "99999999999999999999x1"})
        rows.push_back({"mandelbrot --size " + v + " -o a.png", "--size '" + v + size});
    for (std::string v : {"-5x5", "800", "8e2x600"})
        rows.push_back({"mandelbrot --size " + v + " -o a.png", "--size '" + v + "': erwartet BREITExH\xC3\x96HE, etwa 1920x1080"});
    for (std::string v : {"0", "17", "-2", "drei"})
        rows.push_back({"mandelbrot --samples " + v + " -o a.png", "--samples '" + v + "': erwartet eine ganze Zahl von 1 bis 16"});
    for (const auto& [line, expected] : rows) {
        RenderOptions options;
        std::string error;
        const Parsed parsed = parse(line, options, error);
        EXPECT_EQ(parsed == Parsed::help ? "help" : parsed == Parsed::render ? "" : error, expected) << line;
    }
    RenderOptions o;
    std::string error;
    ASSERT_EQ(parse("mandelbrot -o a.png", o, error), Parsed::render);
    EXPECT_TRUE(!o.julia && o.width == 800 && o.height == 800 && o.samples == 1 && !o.verbose && o.coloursPath.empty());
    ASSERT_EQ(parse("julia --verbose --julia 0 0 1 --size 1920x1080 --constant 1 2 --samples 3 --colours c.tfc -o d/B.TIF", o,
                    error), Parsed::render);
    EXPECT_TRUE(o.julia && o.width == 1920 && o.height == 1080 && o.samples == 3 && o.verbose && o.coloursPath == "c.tfc" &&
                o.output == "d/B.TIF" && o.format == ImageFormat::tiff);
    EXPECT_EQ(o.locationOptions, (std::vector<std::string>{"--julia", "--constant"}));
}

// Read as the viewer loads one: the Julia window's file gives its table in
// a Mandelbrot render; a missing or damaged file is named.
TEST(RenderOptions, ColoursFromATfcFileOrTheWindowDefault)
{
    RenderOptions options;
    std::vector<float> table;
    std::string error;
    TransferFunction mandelbrot, julia;
    mandelbrot.initialiseModel(1), julia.initialiseModel(2);
    EXPECT_TRUE(loadColourTable(options, table, error) && table == mandelbrot.colourTable);
    options.coloursPath = FRAKTALE_SOURCE_DIR "/tests/tfc_corpus/julia_default.tfc";
    EXPECT_TRUE(loadColourTable(options, table, error) && table == julia.colourTable) << error;
    options.julia = true, options.coloursPath.clear();
    EXPECT_TRUE(loadColourTable(options, table, error) && table == julia.colourTable);
    TempFolder dir;
    options.coloursPath = dir.file("fehlt.tfc");
    EXPECT_TRUE(!loadColourTable(options, table, error) && error == "--colours '" + options.coloursPath + "': Datei nicht gefunden");
    ASSERT_TRUE(writeFile(options.coloursPath = dir.file("kaputt.tfc"), std::string("\x02\0\0\0", 4)));
    EXPECT_FALSE(loadColourTable(options, table, error));
    EXPECT_EQ(error, "--colours '" + options.coloursPath + "': keine g\xC3\xBCltige Transferfunktion (.tfc)");
}

// Worked values at and around .5: N = 2 averages quarters, N = 3 ninths,
// N = 4 sixteenths; each sample in all three channels.
TEST(BoxAverage, RoundsToNearestWithHalvesUp)
{
    const std::vector<std::pair<std::vector<unsigned char>, int>> cases = {
        {{0, 0, 0, 1}, 0}, {{0, 0, 1, 1}, 1}, {{0, 1, 1, 1}, 1}, {{0, 0, 0, 2}, 1}, {{200, 201, 200, 200}, 200},
        {{254, 255, 255, 255}, 255}, {{1, 1, 1, 1, 0, 0, 0, 0, 0}, 0}, {{1, 1, 1, 1, 1, 0, 0, 0, 0}, 1},
        {{1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}, 1}};
    for (const auto& [samples, mean] : cases) {
        const int n = int(std::lround(std::sqrt(samples.size())));
        BoxAverage box;
        startBoxAverage(box, 1, n);
        unsigned char pixel[3] = {}, row[16 * 3];
        int done = 0;
        for (int y = 0; y < n; ++y) {
            for (int i = 0; i < n * 3; ++i) row[i] = samples[size_t(y * n + i / 3)];
            done += addSampleRow(box, row, pixel);
        }
        EXPECT_TRUE(done == 1 && pixel[0] == mean && pixel[1] == mean && pixel[2] == mean) << int(pixel[0]) << " for " << mean;
    }
}

// Random pictures N times larger, streamed row by row, against each N x N
// box's mean rounded in double precision: equal in every byte.
TEST(BoxAverage, EqualsTheBoxReducedLargerPicture)
{
    std::mt19937 random(2024);
    for (int n = 1; n <= 4; ++n) {
        const int width = 7, height = 5, rowBytes = width * n * 3;
        std::vector<unsigned char> large(size_t(rowBytes) * height * n), row(size_t(width) * 3), streamed;
        for (unsigned char& b : large) b = static_cast<unsigned char>(random());
        BoxAverage box;
        startBoxAverage(box, width, n);
        for (int y = 0; y < height * n; ++y)
            if (addSampleRow(box, large.data() + size_t(y) * rowBytes, row.data())) streamed.insert(streamed.end(), row.begin(), row.end());
        std::vector<unsigned char> reduced;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width * 3; ++x) {
                double sum = 0;
                for (int k = 0; k < n * n; ++k) sum += large[size_t(y * n + k / n) * rowBytes + size_t(x / 3 * n + k % n) * 3 + x % 3];
                reduced.push_back(static_cast<unsigned char>(std::lround(sum / (n * n))));
            }
        EXPECT_TRUE(streamed == reduced) << "N = " << n;
    }
}

// Made-up rows stand in for the renderer: 2 x 2 samples of 8x + 50y + c
// plus 0, 1, 1, 0 average to 8x + 50y + c + 1 at pixel (x, y), channel c.
// stderr, no terminal here, gets the final line alone. A failed drawing or
// a row out of order leaves the old file and nothing beside it.
TEST(WritePicture, AveragedRowsTopFirstOrNothing)
{
    TempFolder dir;
    RenderOptions options;
    options.width = 5, options.height = 3, options.samples = 2, options.output = dir.file("b.tif");
    auto rows = [&](int failAt, int first) {
        return [=](const RowSink& sink, const Progress& progress, std::string& error) {
            std::vector<unsigned char> row(30);
            for (int y = first; y < 6; ++y) {
                for (int i = 0; i < 30; ++i) row[size_t(i)] = static_cast<unsigned char>(8 * (i / 6) + 50 * (y / 2) + i % 3 + (i / 3 + y) % 2);
                progress(y / 6.0);
                if (y == failAt || !sink(y, row.data())) return error = "abgebrochen", false;
            }
            return true;
        };
    };
    std::string error;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(writePicture(options, rows(-1, 0), error)) << error;
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("fraktale-render: " + options.output + " geschrieben, 5x3 Pixel, 2x2 Abtastungen je Pixel, ", 0), 0u) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    TIFF* tif = TIFFOpen(options.output.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    unsigned char pixels[15];
    for (int y = 0; y < 3; ++y) {
        ASSERT_EQ(TIFFReadScanline(tif, pixels, uint32_t(y), 0), 1);
        for (int i = 0; i < 15; ++i) EXPECT_EQ(pixels[i], 8 * (i / 3) + 50 * y + i % 3 + 1) << "x " << i / 3 << " y " << y;
    }
    TIFFClose(tif);
    ASSERT_TRUE(writeFile(options.output, "old picture"));
    for (const auto& [failAt, first] : {std::pair{3, 0}, {-1, 1}}) {
        EXPECT_FALSE(writePicture(options, rows(failAt, first), error));
        EXPECT_EQ(error, "abgebrochen");
    }
    EXPECT_EQ(readFile(options.output), "old picture");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"b.tif"});
}

TEST(Progress, LinesForTheTerminalAndTheEnd)
{
    for (const auto& [seconds, text] : {std::pair{-1.0, "0:00"}, {7.9, "0:07"}, {754.0, "12:34"}, {3723.0, "1:02:03"}})
        EXPECT_EQ(formatDuration(seconds), text);
    EXPECT_EQ(progressLine(0, 3), "  0 %  vergangen 0:03  noch etwa ?");
    EXPECT_EQ(progressLine(0.42, 12), " 42 %  vergangen 0:12  noch etwa 0:16");
    EXPECT_EQ(progressLine(1, 65), "100 %  vergangen 1:05  noch etwa 0:00");
    EXPECT_EQ(finalLine("b.png", 1920, 1080, 3, 12.34),
              "fraktale-render: b.png geschrieben, 1920x1080 Pixel, 3x3 Abtastungen je Pixel, 12.3 s");
    // Redrawn on a terminal only, from the first second on, four times a second at most.
    ProgressMeter meter;
    EXPECT_FALSE(progressDue(meter, 5));
    meter.terminal = true;
    EXPECT_TRUE(!progressDue(meter, 0.9) && progressDue(meter, 1.0));
    meter.lastShown = 1.0;
    EXPECT_TRUE(!progressDue(meter, 1.2) && progressDue(meter, 1.25));
}
