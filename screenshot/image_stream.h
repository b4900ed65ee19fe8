// Pictures written while they are made: 8-bit RGB rows handed over one at a
// time from the top, encoded as PNG or TIFF straight into a temporary file
// beside the target (platform/safe_write), which replaces the target only
// once every row is in and the encoder has finished. The picture itself is
// never held: memory is the encoder's few rows of state.
//
// PNG: 8-bit RGB, not interlaced, deflate level 1 and the Sub filter on
// every row, which keeps encoding cheap next to drawing.
// TIFF: exactly the fields of the viewer's screenshots.
// The temporary file is guarded (guardSafeWrite): SIGINT, SIGTERM and SIGHUP
// remove it. A stream left open must be abandoned, which removes it too.
#pragma once

#include "platform/safe_write.h"

#include <string>

typedef struct tiff TIFF;
struct PngRows;  // libpng's state (png_rows.cpp)

enum class ImageFormat { unknown, png, tiff };

// By the name's extension, capitals or not: .png, .tif, .tiff.
ImageFormat imageFormatFor(const std::string& path);

struct ImageStream {
    ImageFormat format = ImageFormat::unknown;
    int width = 0, height = 0;
    int rowsWritten = 0;
    std::string path;   // as the caller named it, for messages
    SafeWrite write;
    TIFF* tif = nullptr;
    PngRows* png = nullptr;
    std::string error;  // one German line once something failed
};

// Starts a width x height picture for `path` in the format its extension
// names. False with `error` set when the format is unknown or the file
// cannot be created; nothing is left behind then.
bool openImageStream(ImageStream& stream, const std::string& path, int width, int height);
// Appends the next row (width x 3 bytes); false with `error` set on failure
// or past the last row. The stream stays open for abandonImageStream.
bool writeImageRow(ImageStream& stream, const unsigned char* rgb);
// Ends the encoding and puts the file in place; false with `error` set (and
// the target untouched) when a row is missing or anything fails.
bool finishImageStream(ImageStream& stream);
// Removes whatever was written; harmless on a stream already finished.
void abandonImageStream(ImageStream& stream);

// libpng's part, for image_stream.cpp: null when libpng cannot start.
PngRows* startPngRows(int fd, int width, int height);
bool writePngRow(PngRows* rows, const unsigned char* rgb);
bool endPngRows(PngRows* rows);  // the last chunk and everything still buffered
void freePngRows(PngRows* rows);
