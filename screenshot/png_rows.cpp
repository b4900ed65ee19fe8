// PNG encoding row by row through libpng, into a file descriptor.
//
// libpng reports errors by longjmp to the last setjmp. That is sound in C++
// only when no frame it unwinds owns an object with a destructor, so every
// function here that calls into libpng sets its own jump point, holds only
// plain locals, and the state (including the output buffer) lives in one
// plain struct allocated once. The write callback gives up by png_error,
// which lands on the jump point of the call that led to it.
#include "screenshot/image_stream.h"

#include <png.h>

#include <csetjmp>
#include <new>

struct PngRows {
    png_structp png = nullptr;
    png_infop info = nullptr;
    int fd = -1;
    size_t used = 0;
    // libpng hands out a few bytes at a time (chunk lengths, names, CRCs);
    // collected here they reach the file in large writes.
    unsigned char buffer[1 << 18];
};

namespace {

bool flushBuffer(PngRows* rows)
{
    const bool ok = writeAll(rows->fd, rows->buffer, rows->used);
    rows->used = 0;
    return ok;
}

void writeBytes(png_structp png, png_bytep data, png_size_t size)
{
    PngRows* rows = static_cast<PngRows*>(png_get_io_ptr(png));
    while (size > 0) {
        if (rows->used == sizeof rows->buffer && !flushBuffer(rows)) png_error(png, "write failed");
        size_t n = sizeof rows->buffer - rows->used;
        if (n > size) n = size;
        for (size_t i = 0; i < n; ++i) rows->buffer[rows->used + i] = data[i];
        rows->used += n;
        data += n;
        size -= n;
    }
}

void flushNothing(png_structp) {}

// The stream reports failures in its own German line; libpng's English
// ones would only add to it. An error handler must not return.
void quietWarning(png_structp, png_const_charp) {}
void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Fast settings: encoding must stay small next to drawing the samples.
// Measured on 800 x 800 fractal pictures: level 1 costs 7 to 12 ns a pixel
// here, level 6 with adaptive filters four times that for files only a
// quarter smaller; the run-length and Huffman-only strategies were no
// faster. The Sub filter costs next to nothing over none and makes the
// default views' files a quarter to a third smaller.
bool writeHeader(PngRows* rows, int width, int height)
{
    if (setjmp(png_jmpbuf(rows->png))) return false;
    png_set_write_fn(rows->png, rows, writeBytes, flushNothing);
    png_set_IHDR(rows->png, rows->info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(rows->png, 1);
    png_set_filter(rows->png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_write_info(rows->png, rows->info);
    return true;
}

}  // namespace

PngRows* startPngRows(int fd, int width, int height)
{
    PngRows* rows = new (std::nothrow) PngRows;
    if (!rows) return nullptr;
    rows->fd = fd;
    rows->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    if (rows->png) rows->info = png_create_info_struct(rows->png);
    if (!rows->info || !writeHeader(rows, width, height)) {
        freePngRows(rows);
        return nullptr;
    }
    return rows;
}

bool writePngRow(PngRows* rows, const unsigned char* rgb)
{
    if (setjmp(png_jmpbuf(rows->png))) return false;
    png_write_row(rows->png, rgb);
    return true;
}

bool endPngRows(PngRows* rows)
{
    if (setjmp(png_jmpbuf(rows->png))) return false;
    png_write_end(rows->png, nullptr);
    return flushBuffer(rows);
}

void freePngRows(PngRows* rows)
{
    if (!rows) return;
    png_destroy_write_struct(&rows->png, &rows->info);
    delete rows;
}
