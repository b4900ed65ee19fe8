// The image stream: the format by extension, the temporary file, the TIFF
// rows (libtiff, with the screenshot's fields) and the PNG rows (png_rows.cpp).
// Each row goes to the encoder as it comes; libtiff writes a one-row strip
// at once, libpng buffers a quarter megabyte of compressed data.
#include "screenshot/image_stream.h"
#include "screenshot/screenshot.h"

#include <tiffio.h>
#include <unistd.h>

#include <cctype>

namespace {

bool endsWithIgnoringCase(const std::string& name, const char* ext)
{
    const std::string suffix(ext);
    if (name.size() <= suffix.size()) return false;
    const size_t at = name.size() - suffix.size();
    for (size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[at + i])) != suffix[i]) return false;
    return true;
}

bool fail(ImageStream& stream, const std::string& line)
{
    if (stream.error.empty()) stream.error = line;
    return false;
}

bool writeFailed(ImageStream& stream)
{
    return fail(stream, "Fehler beim Schreiben von '" + stream.path + "'");
}

// libtiff closes the descriptor it is given, so it gets a duplicate and
// ours stays open for the final sync and rename.
bool startEncoder(ImageStream& stream)
{
    if (stream.format == ImageFormat::png) {
        stream.png = startPngRows(stream.write.fd, stream.width, stream.height);
        return stream.png != nullptr;
    }
    const int tiffFd = dup(stream.write.fd);
    stream.tif = tiffFd < 0 ? nullptr : TIFFFdOpen(tiffFd, stream.write.writePath.c_str(), "w");
    if (!stream.tif) {
        if (tiffFd >= 0) close(tiffFd);
        return false;
    }
    setScreenshotFields(stream.tif, stream.width, stream.height);
    return true;
}

// Closing flushes TIFF's directory; a failure there loses the file as
// surely as a failed row does.
bool endEncoder(ImageStream& stream)
{
    if (stream.png) {
        const bool ok = endPngRows(stream.png);
        freePngRows(stream.png);
        stream.png = nullptr;
        return ok;
    }
    const bool ok = TIFFFlush(stream.tif) == 1;
    TIFFClose(stream.tif);
    stream.tif = nullptr;
    return ok;
}

}  // namespace

// A name that is only the extension (".png") names no picture.
ImageFormat imageFormatFor(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (endsWithIgnoringCase(name, ".png")) return ImageFormat::png;
    if (endsWithIgnoringCase(name, ".tif") || endsWithIgnoringCase(name, ".tiff")) return ImageFormat::tiff;
    return ImageFormat::unknown;
}

bool openImageStream(ImageStream& stream, const std::string& path, int width, int height)
{
    stream = ImageStream{};
    stream.path = path;
    stream.format = imageFormatFor(path);
    stream.width = width;
    stream.height = height;
    if (stream.format == ImageFormat::unknown)
        return fail(stream, "'" + path + "': unbekannte Endung, erwartet .png, .tif oder .tiff");
    if (width < 1 || height < 1) return fail(stream, "'" + path + "': ein Bild ohne Pixel");
    if (!beginSafeWrite(path, stream.write) || !guardSafeWrite(stream.write) || !startEncoder(stream)) {
        abortSafeWrite(stream.write);
        return fail(stream, "'" + path + "' l\xC3\xA4sst sich nicht anlegen");
    }
    return true;
}

bool writeImageRow(ImageStream& stream, const unsigned char* rgb)
{
    if (!stream.png && !stream.tif) return writeFailed(stream);
    if (stream.rowsWritten >= stream.height) return fail(stream, "'" + stream.path + "': mehr Zeilen als das Bild hat");
    const bool ok = stream.png ? writePngRow(stream.png, rgb)
                               : TIFFWriteScanline(stream.tif, const_cast<unsigned char*>(rgb),
                                                   static_cast<uint32_t>(stream.rowsWritten), 0) == 1;
    if (!ok) return writeFailed(stream);
    ++stream.rowsWritten;
    return true;
}

bool finishImageStream(ImageStream& stream)
{
    if (!stream.png && !stream.tif) return writeFailed(stream);
    if (stream.rowsWritten != stream.height) {
        abandonImageStream(stream);
        return fail(stream, "'" + stream.path + "': Bild unvollst\xC3\xA4ndig, " + std::to_string(stream.rowsWritten) +
                                " von " + std::to_string(stream.height) + " Zeilen");
    }
    if (!endEncoder(stream)) {
        abortSafeWrite(stream.write);
        return writeFailed(stream);
    }
    const bool ok = commitSafeWrite(stream.write);
    stream.write.writePath.clear();  // renamed or removed: nothing left to abandon
    return ok || writeFailed(stream);
}

void abandonImageStream(ImageStream& stream)
{
    freePngRows(stream.png);
    stream.png = nullptr;
    if (stream.tif) TIFFClose(stream.tif);
    stream.tif = nullptr;
    abortSafeWrite(stream.write);
}
