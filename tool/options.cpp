// Reading fraktale-render's command line. Numbers are plain decimal digits
// (no sign, no spaces, no exponent), so "-5x5", "8e2x600" and " 800x600"
// are refused rather than read as something else; a later option of the
// same name replaces an earlier one.
#include "tool/options.h"
#include "transfer/transfer_function.h"

#include <unistd.h>

#include <algorithm>
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

// The options with one value: words taken (2), 0 when argv[i] is none of
// them, -1 with `error`.
int readValueOption(int argc, char** argv, int i, RenderOptions& options, std::string& error)
{
    const std::string name = argv[i];
    if (name != "--size" && name != "--samples" && name != "--colours" && name != "-o") return 0;
    if (i + 1 >= argc) return error = name + ": Wert fehlt", -1;
    const std::string value = argv[i + 1];
    if (name == "--size") return readSize(value, options, error) ? 2 : -1;
    if (name == "--samples") return readSamples(value, options, error) ? 2 : -1;
    if (name == "--colours") options.coloursPath = value;
    if (name == "-o") options.output = value, options.format = imageFormatFor(value);
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

bool checkWhole(const RenderOptions& options, bool haveFractal, std::string& error)
{
    if (!haveFractal) return error = "mandelbrot oder julia fehlt", false;
    if (options.output.empty()) return error = "-o BILD.png oder BILD.tif fehlt", false;
    if (options.format == ImageFormat::unknown)
        return error = "'" + options.output + "': unbekannte Endung, erwartet .png, .tif oder .tiff", false;
    const char* fractal = options.julia ? "julia" : "mandelbrot";
    for (const std::string& name : options.locationOptions)
        if (name != "--iterations" && options.julia == (name == "--mandelbrot")) return error = name + " passt nicht zu " + fractal, false;
    return true;
}

}  // namespace

Parsed parseOptions(int argc, char** argv, const LocationReader& readLocation, RenderOptions& options,
                    std::string& error)
{
    options = RenderOptions{};
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
