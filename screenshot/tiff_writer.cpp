// The TIFF writer: one uncompressed 8-bit RGB image, one row per strip, with
// the window's top row as image row 0. GL hands the rows bottom first, so the
// buffer is written from its first row as the image's last row upwards;
// that works because every strip holds a single row.
#include "platform/safe_write.h"
#include "screenshot/screenshot.h"

#include <tiffio.h>

#include <cstdio>
#include <unistd.h>

void setScreenshotFields(TIFF* tif, int width, int height)
{
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
    TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, "Fraktale Screenshot");
}

int writeTiff(TIFF* tif, const unsigned char* pixels, int width, int height)
{
    setScreenshotFields(tif, width, height);
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    for (int row = height - 1; row >= 0; --row) {
        const unsigned char* source = pixels + rowBytes * static_cast<size_t>(height - 1 - row);
        if (TIFFWriteScanline(tif, const_cast<unsigned char*>(source), static_cast<uint32_t>(row), 0) < 0) {
            TIFFClose(tif);
            return 1;
        }
    }
    // Closing flushes the directory; a failure there loses the file as surely
    // as a failed row does.
    const int flushed = TIFFFlush(tif);
    TIFFClose(tif);
    return flushed == 1 ? 0 : 1;
}

bool writeTiffFile(const std::string& path, const unsigned char* pixels, int width, int height)
{
    SafeWrite write;
    if (!beginSafeWrite(path, write)) {
        std::printf("\nBild konnte nicht gespeichert werden: '%s' l\xC3\xA4sst sich nicht anlegen.", path.c_str());
        return false;
    }
    // libtiff closes the descriptor it is given, so it gets a duplicate and
    // ours stays open for the final sync and rename.
    const int tiffFd = dup(write.fd);
    TIFF* tif = tiffFd < 0 ? nullptr : TIFFFdOpen(tiffFd, write.writePath.c_str(), "w");
    if (!tif) {
        if (tiffFd >= 0) close(tiffFd);
        abortSafeWrite(write);
        std::printf("\nBild konnte nicht gespeichert werden: '%s' l\xC3\xA4sst sich nicht anlegen.", path.c_str());
        return false;
    }
    if (writeTiff(tif, pixels, width, height) != 0) {
        abortSafeWrite(write);
        std::printf("\nBild konnte nicht gespeichert werden: Fehler beim Schreiben von '%s'.", path.c_str());
        return false;
    }
    if (!commitSafeWrite(write)) {
        std::printf("\nBild konnte nicht gespeichert werden: Fehler beim Schreiben von '%s'.", path.c_str());
        return false;
    }
    return true;
}
