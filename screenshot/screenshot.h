// Screenshots of a fractal window as uncompressed 8-bit RGB TIFF files, and
// the file-name extension rule shared with the transfer-function files.
#pragma once

#include <string>

typedef struct tiff TIFF;

// Appends ext (four characters with the dot) unless name already ends in it
// exactly, upper and lower case distinguished.
std::string ensureExtension(const std::string& name, const std::string& ext);

// The fields of every picture the programs write: width x height, 8-bit
// RGB, uncompressed, one row per strip, described as a Fraktale screenshot.
void setScreenshotFields(TIFF* tif, int width, int height);

// Writes width x height RGB pixels, bottom row first as GL returns them, as
// an upright image. Closes the handle; 0 when every row was written, else 1.
int writeTiff(TIFF* tif, const unsigned char* pixels, int width, int height);

// Writes the picture to path through a temporary file in the same folder,
// renamed over path only when complete. Prints one German line on failure.
bool writeTiffFile(const std::string& path, const unsigned char* pixels, int width, int height);

// Reads the current window's back buffer, asks for a file name and saves the
// picture. Called by the display pass before anything is drawn over it.
void saveScreenshot(int width, int height);
