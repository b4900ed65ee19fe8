// Frames to files. A PNG frame goes through the pictures' own image
// stream, so it is written, named and guarded as a picture is.
#include "tool/movie_output.h"
#include "screenshot/image_stream.h"
#include "tool/averaging.h"

#include <unistd.h>

namespace {

void average(const RenderOptions& o, const std::vector<unsigned char>& samples, std::vector<unsigned char>& pixels)
{
    BoxAverage box;
    startBoxAverage(box, o.width, o.samples);
    pixels.resize(size_t(o.width) * o.height * 3);
    const size_t rowBytes = size_t(o.width) * o.samples * 3;
    int row = 0;
    for (size_t at = 0; at < samples.size(); at += rowBytes)
        row += addSampleRow(box, &samples[at], &pixels[size_t(row) * o.width * 3]);
}

bool writePng(const std::string& path, const RenderOptions& o, const std::vector<unsigned char>& pixels,
              std::string& error)
{
    ImageStream image;
    bool ok = openImageStream(image, path, o.width, o.height);
    for (int y = 0; ok && y < o.height; ++y) ok = writeImageRow(image, &pixels[size_t(y) * o.width * 3]);
    if (ok) ok = finishImageStream(image);
    if (!ok) abandonImageStream(image), error = image.error;
    return ok;
}

}  // namespace

bool openMovieOutput(MovieOutput& out, const RenderOptions& options, std::string& error)
{
    out = MovieOutput{};
    out.options = &options;
    if (options.kind == OutputKind::mp4) {
        out.video = openVideo(options.output, options.width, options.height, options.fps, error);
        return out.video != nullptr;
    }
    const size_t slash = options.output.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : options.output.substr(0, slash);
    if (access(folder.c_str(), W_OK | X_OK) == 0) return true;
    return error = "'" + folder + "': Ordner fehlt oder nimmt keine Dateien an", false;
}

bool writeMovieFrame(MovieOutput& out, const std::vector<unsigned char>& samples, std::string& error)
{
    const RenderOptions& o = *out.options;
    std::vector<unsigned char> pixels;
    average(o, samples, pixels);
    const bool ok = out.video ? addVideoFrame(out.video, pixels.data(), error)
                              : writePng(frameFileName(o.output, out.framesWritten), o, pixels, error);
    out.framesWritten += ok;
    return ok;
}

bool finishMovieOutput(MovieOutput& out, std::string& error)
{
    VideoFile* video = out.video;
    out.video = nullptr;
    return !video || finishVideo(video, error);
}

void abandonMovieOutput(MovieOutput& out)
{
    abandonVideo(out.video);
    out.video = nullptr;
}
