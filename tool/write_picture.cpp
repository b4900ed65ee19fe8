// Rows to file. The drawing thread gathers sample rows into blocks and
// hands each block to the writer thread, which averages and encodes them
// while the next tiles are drawn. The sink refuses a row out of order or
// once the file has failed, which stops the drawing; the file's own message
// wins over the renderer's "the sink refused a row".
#include "tool/write_picture.h"
#include "tool/averaging.h"
#include "tool/progress.h"
#include "tool/writer.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Blocks of about 4 MiB: few enough hand-overs, and the writer starts
// early. The queue holds 48 MiB, a strip's worth of samples.
constexpr size_t blockBytes = size_t(4) << 20, queueBytes = size_t(48) << 20;

// What the writer thread works on; only it touches this until it is joined.
struct RowsToFile {
    ImageStream& image;
    BoxAverage box;
    std::vector<unsigned char> pixels;
};

WriterJob writeRows(RowsToFile& file, std::shared_ptr<std::vector<unsigned char>> rows, size_t rowBytes)
{
    return [&file, rows, rowBytes](std::string& error) {
        for (size_t at = 0; at < rows->size(); at += rowBytes)
            if (addSampleRow(file.box, rows->data() + at, file.pixels.data()) && !writeImageRow(file.image, file.pixels.data()))
                return error = file.image.error, false;
        return true;
    };
}

bool drawInto(ImageStream& image, const RenderOptions& options, const DrawRows& draw, std::string& error)
{
    RowsToFile file{image, {}, std::vector<unsigned char>(size_t(options.width) * 3)};
    startBoxAverage(file.box, options.width, options.samples);
    const size_t rowBytes = size_t(options.width) * options.samples * 3;
    Writer writer;
    startWriter(writer, queueBytes);
    std::shared_ptr<std::vector<unsigned char>> block;
    const auto fresh = [&] {
        block = std::make_shared<std::vector<unsigned char>>();
        block->reserve(blockBytes + rowBytes);
    };
    const auto send = [&] {
        const size_t bytes = block->size();
        const bool ok = block->empty() || handOver(writer, writeRows(file, block, rowBytes), bytes);
        fresh();
        return ok;
    };
    fresh();
    int nextRow = 0;
    const RowSink sink = [&](int row, const unsigned char* rgb) {
        if (row != nextRow++) return false;
        block->insert(block->end(), rgb, rgb + rowBytes);
        return block->size() < blockBytes || send();
    };
    const auto start = std::chrono::steady_clock::now();
    ProgressMeter meter;
    meter.terminal = isatty(STDERR_FILENO);
    const Progress progress = [&](double done) { showProgress(meter, done, secondsSince(start)); };
    bool drawn = draw(sink, progress, error) && send();
    std::string writeError;
    if (!finishWriter(writer, writeError)) drawn = false, error = writeError;
    clearProgress(meter);
    return drawn;
}

}  // namespace

bool writePicture(const RenderOptions& options, const DrawRows& draw, std::string& error)
{
    const auto start = std::chrono::steady_clock::now();
    ImageStream image;
    if (!openImageStream(image, options.output, options.width, options.height)) return error = image.error, false;
    if (!drawInto(image, options, draw, error)) {
        abandonImageStream(image);
        if (!image.error.empty()) error = image.error;
        return false;
    }
    if (!finishImageStream(image)) return error = image.error, false;
    const std::string line = finalLine(options.output, options.width, options.height, options.samples, secondsSince(start));
    std::fprintf(stderr, "%s\n", line.c_str());
    return true;
}
