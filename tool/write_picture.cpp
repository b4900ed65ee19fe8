// Rows to file. The sink refuses a row out of order or once the file has
// failed, which stops the drawing; the file's own message wins over the
// renderer's "the sink refused a row".
#include "tool/write_picture.h"
#include "tool/averaging.h"
#include "tool/progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool drawInto(ImageStream& image, const RenderOptions& options, const DrawRows& draw, std::string& error)
{
    BoxAverage box;
    startBoxAverage(box, options.width, options.samples);
    std::vector<unsigned char> pixels(static_cast<size_t>(options.width) * 3);
    int nextRow = 0;
    const RowSink sink = [&](int row, const unsigned char* rgb) {
        return row == nextRow++ && (!addSampleRow(box, rgb, pixels.data()) || writeImageRow(image, pixels.data()));
    };
    const auto start = std::chrono::steady_clock::now();
    ProgressMeter meter;
    meter.terminal = isatty(STDERR_FILENO);
    const Progress progress = [&](double done) { showProgress(meter, done, secondsSince(start)); };
    const bool drawn = draw(sink, progress, error);
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
