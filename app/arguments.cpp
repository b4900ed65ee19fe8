#include "app/arguments.h"
#include "app/fractal_window.h"
#include "app/navigation.h"

#include <cmath>
#include <cstring>

const char* const viewerUsage =
    "Aufruf: fraktale [GLUT-Optionen] [--mandelbrot RE IM EXTENT] [--julia RE IM EXTENT] [--constant RE IM]\n"
    "                 [--iterations N]\n"
    "  RE IM: Mittelpunkt, Dezimalzahlen beliebiger L\xC3\xA4nge; EXTENT: Breite der Ansicht l\xC3\xA4ngs der reellen\n"
    "  Achse, auch mit Exponent (1e-30); die H\xC3\xB6he folgt der Form des Fensters.\n";

namespace {

// freeglut's options and whether each takes a value.
bool glutOption(const char* word, bool& takesValue)
{
    for (const char* name : {"-display", "-geometry"})
        if (std::strcmp(word, name) == 0) return takesValue = true;
    for (const char* name : {"-direct", "-indirect", "-iconic", "-gldebug", "-sync"})
        if (std::strcmp(word, name) == 0) return !(takesValue = false);
    return false;
}

std::string constantText(const Big& value)
{
    // Every digit its precision holds, so that the constant comes back exactly.
    return formatDecimal(value, int(std::ceil(double(value.precision()) * std::log10(2.0))) + 1);
}

std::string windowLocation(const FractalWindow& w)
{
    const DeepView view = w.deep ? w.deepView : deepFromFloat(w.viewLeft, w.viewRight, w.viewBottom, w.viewTop, w.width, w.height);
    return formatLocation(locationOf(view), w.width);
}

}  // namespace

ViewerStart readViewerArguments(int argc, char** argv, LocationOptions& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return ViewerStart::help;
    }
    for (int i = 1; i < argc;) {
        bool takesValue = false;
        if (glutOption(argv[i], takesValue)) {
            if (takesValue && i + 1 >= argc) return error = std::string(argv[i]) + ": Wert fehlt", ViewerStart::error;
            i += takesValue ? 2 : 1;
            continue;
        }
        const int taken = readLocationOption(argc, argv, i, options, error);
        if (taken < 0) return ViewerStart::error;
        if (taken == 0) return error = std::string("unbekannte Option '") + argv[i] + "'", ViewerStart::error;
        i += taken;
    }
    return ViewerStart::run;
}

std::string currentLocations()
{
    const std::string limit = givenIterations > 0 ? " --iterations " + std::to_string(givenIterations) : "";
    return "--mandelbrot " + windowLocation(mandelbrotWindow) + " --julia " + windowLocation(juliaWindow) +
           " --constant " + constantText(juliaRe) + " " + constantText(juliaIm) + limit;
}

void applyLocations(const LocationOptions& o)
{
    givenIterations = o.iterations;
    if (o.hasMandelbrot) setView(mandelbrotWindow, viewAt(o.mandelbrot, mandelbrotWindow.width, mandelbrotWindow.height), deepAvailable);
    if (o.hasJulia) setView(juliaWindow, viewAt(o.julia, juliaWindow.width, juliaWindow.height), deepAvailable);
    if (!o.hasConstant) return;
    juliaRe = o.constantRe;
    juliaIm = o.constantIm;
    juliaCr = juliaRe.toFloat();
    juliaCi = juliaIm.toFloat();
}
