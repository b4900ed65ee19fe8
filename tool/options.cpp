// Reading fraktale-render's command line. Numbers are plain decimal digits
// (no sign, no spaces, no exponent), so "-5x5", "8e2x600" and " 800x600"
// are refused rather than read as something else; a later option of the
// same name replaces an earlier one.
#include "tool/options.h"
#include "deep/location.h"
#include "transfer/transfer_function.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Saturates far above every limit instead of overflowing.
bool readCount(const std::string& text, long& value)
{
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = std::min(value * 10 + (c - '0'), 1L << 40);
    }
    return !text.empty();
}

bool readSize(const std::string& text, RenderOptions& options, std::string& error)
{
    const size_t x = text.find('x');
    long width = 0, height = 0;
    if (x == std::string::npos || !readCount(text.substr(0, x), width) || !readCount(text.substr(x + 1), height))
        return error = "--size '" + text + "': erwartet BREITExH\xC3\x96HE, etwa 1920x1080", false;
    if (width < 1 || height < 1 || width > maximumSide || height > maximumSide)
        return error = "--size '" + text + "': Breite und H\xC3\xB6he m\xC3\xBCssen zwischen 1 und " +
                       std::to_string(maximumSide) + " liegen", false;
    options.width = static_cast<int>(width);
    options.height = static_cast<int>(height);
    return true;
}

bool readSamples(const std::string& text, RenderOptions& options, std::string& error)
{
    long n = 0;
    if (!readCount(text, n) || n < 1 || n > maximumSamples)
        return error = "--samples '" + text + "': erwartet eine ganze Zahl von 1 bis " + std::to_string(maximumSamples), false;
    options.samples = static_cast<int>(n);
    return true;
}

bool readFrames(const std::string& text, RenderOptions& options, std::string& error)
{
    long n = 0;
    if (!readCount(text, n) || n < 1 || n > maximumFrames)
        return error = "--frames '" + text + "': erwartet eine ganze Zahl von 1 bis " + std::to_string(maximumFrames), false;
    options.frames = static_cast<int>(n);
    return true;
}

bool readZoomFrom(const std::string& text, RenderOptions& options, std::string& error)
{
    if (!parseDecimal(text.c_str(), options.zoomFrom) || mpfr_sgn(options.zoomFrom.v) <= 0)
        return error = "--zoom-from '" + text + "': erwartet eine positive Zahl, etwa 3 oder 1e-12", false;
    return true;
}

// Digits with at most one point, as parseDecimal reads them, but no sign
// or exponent: a rate is no place for either.
bool readFps(const std::string& text, RenderOptions& options, std::string& error)
{
    const bool plain = !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos &&
                       std::count(text.begin(), text.end(), '.') <= 1 && text != ".";
    const double fps = plain ? std::strtod(text.c_str(), nullptr) : 0;
    if (!(fps > 0 && fps <= maximumFps))
        return error = "--fps '" + text + "': erwartet eine positive Zahl bis 1000, etwa 30 oder 29.97", false;
    options.fps = fps, options.fpsGiven = true;
    return true;
}

// The options with one value: words taken (2), 0 when argv[i] is none of
// them, -1 with `error`.
int readValueOption(int argc, char** argv, int i, RenderOptions& options, std::string& error)
{
    const std::string name = argv[i];
    const char* names[] = {"--size", "--samples", "--colours", "-o", "--frames", "--zoom-from", "--fps"};
    if (std::none_of(std::begin(names), std::end(names), [&](const char* n) { return name == n; })) return 0;
    if (i + 1 >= argc) return error = name + ": Wert fehlt", -1;
    const std::string value = argv[i + 1];
    if (name == "--size") return readSize(value, options, error) ? 2 : -1;
    if (name == "--samples") return readSamples(value, options, error) ? 2 : -1;
    if (name == "--frames") return readFrames(value, options, error) ? 2 : -1;
    if (name == "--zoom-from") return readZoomFrom(value, options, error) ? 2 : -1;
    if (name == "--fps") return readFps(value, options, error) ? 2 : -1;
    if (name == "--colours") options.coloursPath = value;
    if (name == "-o") options.output = value, options.format = imageFormatFor(value), options.kind = outputKindOf(value);
    return 2;
}

bool readFractal(const std::string& word, bool& haveFractal, RenderOptions& options, std::string& error)
{
    if (haveFractal) return error = "\xC3\xBC" "berz\xC3\xA4hliges Argument '" + word + "'", false;
    if (word != "mandelbrot" && word != "julia")
        return error = "'" + word + "': erwartet mandelbrot oder julia", false;
    options.julia = word == "julia";
    return haveFractal = true;
}

int readWord(int argc, char** argv, int i, const LocationReader& readLocation, RenderOptions& options,
             bool& haveFractal, std::string& error)
{
    const std::string word = argv[i];
    if (word == "--verbose") return options.verbose = true, 1;
    int taken = readValueOption(argc, argv, i, options, error);
    if (taken != 0) return taken;
    taken = readLocation(argc, argv, i, error);
    if (taken > 0) options.locationOptions.push_back(word);
    if (taken != 0) return taken;
    if (word.size() > 1 && word[0] == '-') return error = "unbekannte Option '" + word + "'", -1;
    return readFractal(word, haveFractal, options, error) ? 1 : -1;
}

std::string sizeText(const RenderOptions& o)
{
    return std::to_string(o.width) + "x" + std::to_string(o.height);
}

// The movie's rules: its three options together, its outputs only with
// them, H.264's 4:2:0 colours in pixel pairs, frames small enough.
bool checkMovie(const RenderOptions& o, std::string& error)
{
    const bool movieOutput = o.kind == OutputKind::mp4 || o.kind == OutputKind::pngFrames;
    const bool movieOptions = o.frames > 0 || mpfr_sgn(o.zoomFrom.v) > 0 || o.fpsGiven;
    const size_t slash = o.output.rfind('/');
    if (!movieOutput && o.output.find('%', slash == std::string::npos ? 0 : slash) != std::string::npos)
        return error = "'" + o.output + "': ein Muster braucht genau ein %d und .png, etwa bild-%05d.png", false;
    if (!movieOptions && !movieOutput) return true;
    if (!movieOutput)
        return error = "'" + o.output + "': ein Film braucht FILM.mp4 oder ein PNG-Muster wie bild-%05d.png", false;
    if (o.frames == 0) return error = "--frames fehlt (ein Film aus N Bildern)", false;
    if (mpfr_sgn(o.zoomFrom.v) <= 0) return error = "--zoom-from fehlt (die Breite des ersten Bildes)", false;
    if (o.kind == OutputKind::mp4 && (o.width % 2 || o.height % 2))
        return error = "--size '" + sizeText(o) + "': MP4 braucht gerade Breite und H\xC3\xB6he", false;
    if (long(o.width) * o.samples > maximumMovieSamples || long(o.height) * o.samples > maximumMovieSamples)
        return error = "--size '" + sizeText(o) + "' mit --samples " + std::to_string(o.samples) + ": ein Film hat h\xC3\xB6" +
                       "chstens " + std::to_string(maximumMovieSamples) + " Abtastungen je Seite", false;
    return true;
}

bool checkWhole(const RenderOptions& options, bool haveFractal, std::string& error)
{
    if (!haveFractal) return error = "mandelbrot oder julia fehlt", false;
    if (options.output.empty()) return error = "-o BILD.png oder BILD.tif fehlt", false;
    if (!checkMovie(options, error)) return false;
    if (options.format == ImageFormat::unknown && options.kind != OutputKind::mp4)
        return error = "'" + options.output + "': unbekannte Endung, erwartet .png, .tif oder .tiff", false;
    const char* fractal = options.julia ? "julia" : "mandelbrot";
    for (const std::string& name : options.locationOptions)
        if (name != "--iterations" && options.julia == (name == "--mandelbrot")) return error = name + " passt nicht zu " + fractal, false;
    return true;
}

// "%d", "%5d", "%05d": the directive's length at `at`, 0 for anything else.
size_t directiveLength(const std::string& s, size_t at)
{
    size_t i = at + 1;
    while (i < s.size() && i - at <= 3 && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    return i < s.size() && s[i] == 'd' ? i + 1 - at : 0;
}

}  // namespace

OutputKind outputKindOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t percent = name.find('%');
    const ImageFormat format = imageFormatFor(path);
    if (percent != std::string::npos) {
        const size_t length = directiveLength(name, percent);
        const bool one = length > 0 && name.find('%', percent + 1) == std::string::npos;
        return one && format == ImageFormat::png ? OutputKind::pngFrames : OutputKind::unknown;
    }
    if (format != ImageFormat::unknown) return OutputKind::picture;
    const bool mp4 = name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".mp4") == 0;
    return mp4 ? OutputKind::mp4 : OutputKind::unknown;
}

std::string frameFileName(const std::string& pattern, int number)
{
    const size_t slash = pattern.rfind('/');
    const size_t at = pattern.find('%', slash == std::string::npos ? 0 : slash);
    const size_t length = directiveLength(pattern, at);
    const int width = std::min(std::atoi(pattern.c_str() + at + 1), 64);
    std::string digits = std::to_string(number);
    if (int(digits.size()) < width) digits.insert(0, size_t(width) - digits.size(), '0');
    return pattern.substr(0, at) + digits + pattern.substr(at + length);
}

Parsed parseOptions(int argc, char** argv, const LocationReader& readLocation, RenderOptions& options,
                    std::string& error)
{
    options = RenderOptions();
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return Parsed::help;
    bool haveFractal = false;
    for (int i = 1; i < argc;) {
        const int taken = readWord(argc, argv, i, readLocation, options, haveFractal, error);
        if (taken < 0) return Parsed::usageError;
        i += taken;
    }
    return checkWhole(options, haveFractal, error) ? Parsed::render : Parsed::usageError;
}

bool loadColourTable(const RenderOptions& options, std::vector<float>& table, std::string& error)
{
    TransferFunction transfer;
    transfer.initialiseModel(options.julia ? 2 : 1);
    if (!options.coloursPath.empty()) {
        const std::string named = "--colours '" + options.coloursPath + "': ";
        if (access(options.coloursPath.c_str(), F_OK) != 0) return error = named + "Datei nicht gefunden", false;
        std::vector<ControlPoint> points;
        if (!readTfcFile(options.coloursPath, points))
            return error = named + "keine g\xC3\xBCltige Transferfunktion (.tfc)", false;
        transfer.points.swap(points);
        transfer.rebuild();
    }
    table = transfer.colourTable;
    return true;
}
