// "Bild speichern": the picture the display pass has just drawn, read from
// the back buffer before the editor is drawn over it, then a save dialog, then
// the TIFF file.
#include "platform/dialogs.h"
#include "screenshot/screenshot.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

namespace {

unsigned char* readWindowPixels(int width, int height)
{
    const size_t size = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    unsigned char* pixels = static_cast<unsigned char*>(std::malloc(size ? size : 1));
    if (!pixels) return nullptr;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);  // rows without filler bytes at any width
    glReadBuffer(GL_BACK);
    if (size) glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    return pixels;
}

}  // namespace

void saveScreenshot(int width, int height)
{
    if (width < 0 || height < 0) return;
    unsigned char* pixels = readWindowPixels(width, height);
    if (!pixels) {
        std::printf("\nBild konnte nicht gespeichert werden: kein Speicher f\xC3\xBCr %d x %d Pixel.", width, height);
        return;
    }
    std::string path;
    if (saveFileDialog(FileDialog{"Bild speichern", "TIFF (*.tif)", "*.tif"}, path)) {
        writeTiffFile(ensureExtension(path, ".tif"), pixels, width, height);
    }
    std::free(pixels);
}
