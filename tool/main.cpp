// fraktale-render: one view of the Mandelbrot set or of a Julia set, at any
// size up to 16384 x 16384, drawn without a window by the viewer's own
// programs and written as PNG or TIFF; or a zoom movie into it (tool/movie.h),
// as MP4 or numbered PNG files. A picture's samples stream from the renderer
// through the N x N averaging into the file, so memory stays near a strip of
// samples however large the picture.
//
// Exit status: 0 written; 2 a bad command line, colours file or the like
// (nothing opened); 1 no GL context, the drawing or the writing failed. An
// interrupt (SIGINT, SIGTERM, SIGHUP) ends the program by that signal.
// Never a partial or damaged file: the picture replaces the target only
// when complete. Progress, the final line and errors go to stderr.
// The .glsl files are read from the executable's folder.
#include "deep/location.h"
#include "platform/headless_gl.h"
#include "render/picture.h"
#include "tool/movie.h"
#include "tool/options.h"
#include "tool/write_picture.h"

#include <tiffio.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

namespace {

int problem(int status, const std::string& line)
{
    std::fprintf(stderr, "fraktale-render: %s\n", line.c_str());
    return status;
}

void printUsage()
{
    std::fputs("Aufruf: fraktale-render mandelbrot|julia [Optionen] -o BILD.png|BILD.tif\n"
               "       fraktale-render mandelbrot|julia [Optionen] --zoom-from BREITE0 --frames N -o FILM.mp4|ORDNER/NAME-%05d.png\n"
               "Zeichnet eine Ansicht ohne Fenster und schreibt sie als PNG oder TIFF, oder einen Zoom-Film\n"
               "in sie hinein (oder aus ihr heraus).\n\n",
               stdout);
    std::fputs(locationUsage, stdout);
    std::fputs("  --size BxH                  Bildgr\xC3\xB6\xC3\x9F" "e in Pixeln, je 1 bis 16384 (800x800)\n"
               "  --samples N                 N x N Abtastungen je Pixel, gemittelt, N von 1 bis 16 (1)\n"
               "  --colours DATEI.tfc         Transferfunktion (die Vorgabe des Fensters)\n"
               "  -o BILD                     Format nach der Endung: .png, .tif, .tiff, gro\xC3\x9F oder klein\n"
               "  --zoom-from BREITE0         Film: die Breite des ersten Bildes; das letzte zeigt die des Ortes\n"
               "  --frames N                  Film: N Bilder, ihre Breiten geometrisch dazwischen (1 bis 1000000)\n"
               "  --fps F                     Film: Bilder je Sekunde (30)\n"
               "  -o FILM.mp4                 Film als H.264 (yuv420p, gerade Breite und H\xC3\xB6he)\n"
               "  -o ORDNER/NAME-%05d.png     Film als nummerierte PNG-Bilder, ab 00000\n"
               "  --verbose                   nennt den GL-Kontext und den Renderer\n"
               "  --help, -h                  diese Hilfe\n\n"
               "Ohne Ort die Startansichten des Betrachters: mandelbrot -0.5 0 3, julia 0 0 4, Konstante 0 0.\n"
               "Ein unterbrochener Film beh\xC3\xA4lt seine Schl\xC3\xBCsselbilder im Ordner NAME.keyframes neben der\n"
               "Ausgabe; derselbe Aufruf setzt dort fort. Die Ausgabe erscheint erst, wenn sie fertig ist.\n"
               "Status: 0 geschrieben, 1 kein GL-Kontext oder Fehler beim Zeichnen oder Schreiben, 2 falscher Aufruf.\n",
               stdout);
}

// Beside the executable, where the build puts the .glsl files; the working
// directory where /proc is missing.
std::string executableFolder()
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    const std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : exe.substr(0, slash);
}

// The viewer's start views when no location is given.
PictureRequest requestFor(const RenderOptions& options, const LocationOptions& where)
{
    PictureRequest request;
    request.julia = options.julia;
    if (options.julia) request.location = where.hasJulia ? where.julia : Location{Big(0.0, 64), Big(0.0, 64), Big(4.0, 64)};
    else request.location = where.hasMandelbrot ? where.mandelbrot : Location{Big(-0.5, 64), Big(0.0, 64), Big(3.0, 64)};
    request.constantRe = where.hasConstant ? where.constantRe : Big(0.0, 64);
    request.constantIm = where.hasConstant ? where.constantIm : Big(0.0, 64);
    request.width = options.width * options.samples;
    request.height = options.height * options.samples;
    request.glslFolder = executableFolder();
    request.limit = where.iterations;
    return request;
}

int renderWithContext(const RenderOptions& options, const PictureRequest& request)
{
    // The stream reports a failed write in its own line; libtiff's would add to it.
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    HeadlessGl gl;
    std::string error;
    if (!openHeadlessGl(gl, error)) return problem(1, error);
    if (options.verbose)
        std::fprintf(stderr, "fraktale-render: GL-Kontext %s, Renderer %s\n", headlessKindName(gl.kind), gl.renderer.c_str());
    PictureRequest drawn = request;
    // Only on llvmpipe does drawing into the context's own framebuffer
    // matter (see useHeadlessSurface); elsewhere framebuffer objects serve
    // (an NVIDIA pbuffer drawn this way read back black). A movie's frames
    // are coloured there whole.
    const bool movie = options.frames > 0;
    const PictureTiles tiles = movie ? PictureTiles{request.width, request.height} : pictureTiles(request.width, request.height);
    if (gl.renderer.find("llvmpipe") != std::string::npos && useHeadlessSurface(gl, tiles.width, tiles.height))
        drawn.surfaceWidth = tiles.width, drawn.surfaceHeight = tiles.height;
    if (movie) {
        const bool made = renderMovie(options, drawn, error);
        closeHeadlessGl(gl);
        return made ? 0 : problem(1, error);
    }
    const DrawRows draw = [&](const RowSink& sink, const Progress& progress, std::string& drawError) {
        return renderPicture(drawn, sink, progress, drawError);
    };
    const bool written = writePicture(options, draw, error);
    closeHeadlessGl(gl);
    return written ? 0 : problem(1, error);
}

}  // namespace

int main(int argc, char** argv)
{
    LocationOptions where;
    const LocationReader readLocation = [&](int count, char** words, int i, std::string& error) {
        return readLocationOption(count, words, i, where, error);
    };
    RenderOptions options;
    std::string error;
    const Parsed parsed = parseOptions(argc, argv, readLocation, options, error);
    if (parsed == Parsed::help) return printUsage(), 0;
    if (parsed == Parsed::usageError) return problem(2, error);
    PictureRequest request = requestFor(options, where);
    if (!loadColourTable(options, request.table, error)) return problem(2, error);
    return renderWithContext(options, request);
}
