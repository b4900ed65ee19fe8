// Locations as text: decimal numbers of any length read into Bigs and
// written back, the three command-line options, and the step between a
// location (centre and width) and a view's four bounds.
//
// Precision: a parsed number keeps every digit given (log2(10) bits per
// digit and 32 more, so the last digit survives rounding); a location gets
// at least the bits its view needs. Digit counts and the log10 that picks
// them are doubles: they only choose how many digits to write.
#include "deep/location.h"
#include "deep/iteration_limit.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

const char* const locationUsage =
    "  --mandelbrot RE IM EXTENT  Mittelpunkt und Breite des Mandelbrot-Fensters\n"
    "  --julia RE IM EXTENT       Mittelpunkt und Breite des Julia-Fensters\n"
    "  --constant RE IM           Konstante c der Julia-Menge\n"
    "  --iterations N             Iterationsgrenze, 1 bis 1000000000 (sonst folgt sie der Ansicht)\n";

namespace {

// The window width a location given on the command line is read for; the
// view itself gets precisionFor its real size in viewAt.
constexpr int typicalPixels = 800;

const char* skipDigits(const char* s, int& count)
{
    while (std::isdigit(static_cast<unsigned char>(*s))) ++s, ++count;
    return s;
}

// Sign, digits with at most one point (at least one digit), and an optional
// exponent with its own sign and digits. The mantissa's digit count, or -1
// for anything else (MPFR would also take "inf", "nan" and hex forms).
int decimalDigits(const char* text)
{
    const char* s = text;
    if (*s == '+' || *s == '-') ++s;
    int digits = 0;
    s = skipDigits(s, digits);
    if (*s == '.') s = skipDigits(s + 1, digits);
    if (digits == 0) return -1;
    if (*s == 'e' || *s == 'E') {
        ++s;
        if (*s == '+' || *s == '-') ++s;
        int exponentDigits = 0;
        s = skipDigits(s, exponentDigits);
        if (exponentDigits == 0) return -1;
    }
    return *s == '\0' ? digits : -1;
}

// |x| for the larger of two numbers.
Big largerMagnitude(const Big& a, const Big& b)
{
    Big m = mpfr_cmpabs(a.v, b.v) >= 0 ? a : b;
    mpfr_abs(m.v, m.v, MPFR_RNDN);
    return m;
}

// extent / pixels, the pixel of a window `pixels` wide.
Big pixelOf(const Location& location, int pixels)
{
    Big pixel(location.extent.precision());
    mpfr_div_si(pixel.v, location.extent.v, pixels, MPFR_RNDN);
    return pixel;
}

// Significant digits that place a number of |value| to a hundredth of a
// pixel: with log10(|value| / pixel) + 3 of them the last one is worth at
// most a hundredth of a pixel, and rounding costs half of that.
int digitsFor(const Big& value, const Big& pixel)
{
    const double decades = (log2Magnitude(value) - log2Magnitude(pixel)) * std::log10(2.0);
    if (!std::isfinite(decades)) return 6;
    return std::max(6, int(std::ceil(decades)) + 3);
}

void setPrecisionAll(Location& location, long bits)
{
    for (Big* n : {&location.re, &location.im, &location.extent}) n->setPrecision(std::max(bits, n->precision()));
}

}  // namespace

bool parseDecimal(const char* text, Big& value, long minimumPrecision)
{
    const int digits = text ? decimalDigits(text) : -1;
    if (digits < 0) return false;
    const long bits = std::max(minimumPrecision, long(std::ceil(digits * std::log2(10.0))) + 32);
    Big parsed(bits);
    char* end = nullptr;
    mpfr_strtofr(parsed.v, text, &end, 10, MPFR_RNDN);
    // Past MPFR's exponent range a number overflows to infinity.
    if (*end != '\0' || !mpfr_number_p(parsed.v)) return false;
    value = std::move(parsed);
    return true;
}

std::string formatDecimal(const Big& value, int digits)
{
    if (mpfr_nan_p(value.v)) return "nan";
    if (mpfr_inf_p(value.v)) return mpfr_sgn(value.v) < 0 ? "-inf" : "inf";
    if (mpfr_zero_p(value.v)) return "0";
    mpfr_exp_t exponent = 0;
    char* raw = mpfr_get_str(nullptr, &exponent, 10, std::max(digits, 1), value.v, MPFR_RNDN);
    std::string mantissa = raw;
    mpfr_free_str(raw);
    std::string sign;
    if (mantissa[0] == '-') sign = "-", mantissa.erase(0, 1);
    mantissa.erase(mantissa.find_last_not_of('0') + 1);
    // value = 0.mantissa * 10^exponent, so its first digit sits at 10^(exponent - 1).
    const long first = long(exponent) - 1;
    const long count = long(mantissa.size());
    if (first < -5 || first >= std::max<long>(count, 12)) {
        std::string text = sign + mantissa[0];
        if (count > 1) text += "." + mantissa.substr(1);
        return text + "e" + std::to_string(first);
    }
    if (first < 0) return sign + "0." + std::string(size_t(-first - 1), '0') + mantissa;
    if (count <= first + 1) return sign + mantissa + std::string(size_t(first + 1 - count), '0');
    return sign + mantissa.substr(0, size_t(first + 1)) + "." + mantissa.substr(size_t(first + 1));
}

// Why `text` is no value for the option (an extent must be positive and
// finite; a number past MPFR's exponent range overflows).
static std::string badValue(const std::string& option, const char* text, bool extent)
{
    const std::string quoted = std::string("'") + text + "'";
    if (decimalDigits(text) < 0) return option + ": " + quoted + " ist keine Zahl";
    if (extent) return option + ": die Breite " + quoted + " muss positiv und endlich sein";
    return option + ": " + quoted + " ist zu groß";
}

// The option's values RE, IM (and EXTENT, the third).
static bool readValues(char** words, int count, const std::string& option, Big* numbers, std::string& error)
{
    for (int k = 0; k < count; ++k) {
        const bool extent = k == 2;
        if (parseDecimal(words[k], numbers[k]) && (!extent || mpfr_sgn(numbers[k].v) > 0)) continue;
        error = badValue(option, words[k], extent);
        return false;
    }
    return true;
}

// N of --iterations: plain digits from 1 to maximumIterations.
static bool readIterations(const char* text, int& value)
{
    long n = 0;
    for (const char* s = text; *s; ++s) {
        if (*s < '0' || *s > '9') return false;
        n = std::min(n * 10 + (*s - '0'), long(maximumIterations) + 1);
    }
    if (!*text || n < 1 || n > maximumIterations) return false;
    value = int(n);
    return true;
}

static int readIterationsOption(int argc, char** argv, int i, LocationOptions& options, std::string& error)
{
    if (i + 1 >= argc) return error = "--iterations: es fehlt ein Wert (N)", -1;
    if (readIterations(argv[i + 1], options.iterations)) return 2;
    error = std::string("--iterations: '") + argv[i + 1] + "' ist keine ganze Zahl von 1 bis " +
            std::to_string(maximumIterations);
    return -1;
}

int readLocationOption(int argc, char** argv, int i, LocationOptions& options, std::string& error)
{
    if (i < 0 || i >= argc || !argv[i]) return 0;
    const std::string option = argv[i];
    if (option == "--iterations") return readIterationsOption(argc, argv, i, options, error);
    const bool constant = option == "--constant", julia = option == "--julia";
    if (!constant && !julia && option != "--mandelbrot") return 0;
    const int count = constant ? 2 : 3;
    if (argc - i - 1 < count) {
        error = option + (constant ? ": es fehlen Werte (RE IM)" : ": es fehlen Werte (RE IM EXTENT)");
        return -1;
    }
    Big numbers[3];
    if (!readValues(argv + i + 1, count, option, numbers, error)) return -1;
    if (constant) {
        options.constantRe = std::move(numbers[0]);
        options.constantIm = std::move(numbers[1]);
        options.hasConstant = true;
        return 3;
    }
    Location location{std::move(numbers[0]), std::move(numbers[1]), std::move(numbers[2])};
    const Big pixel = pixelOf(location, typicalPixels);
    setPrecisionAll(location, precisionForScale(largerMagnitude(location.re, location.im), pixel));
    (julia ? options.julia : options.mandelbrot) = std::move(location);
    (julia ? options.hasJulia : options.hasMandelbrot) = true;
    return 4;
}

Location locationOf(const DeepView& view)
{
    const long bits = std::max({view.left.precision(), view.right.precision(), view.bottom.precision(),
                                view.top.precision()});
    Location location{Big(bits), Big(bits), Big(bits)};
    mpfr_add(location.re.v, view.left.v, view.right.v, MPFR_RNDN);
    mpfr_div_2ui(location.re.v, location.re.v, 1, MPFR_RNDN);
    mpfr_add(location.im.v, view.bottom.v, view.top.v, MPFR_RNDN);
    mpfr_div_2ui(location.im.v, location.im.v, 1, MPFR_RNDN);
    mpfr_sub(location.extent.v, view.right.v, view.left.v, MPFR_RNDN);
    return location;
}

DeepView viewAt(const Location& location, int width, int height)
{
    // Worked out at the bits the location's own numbers and its pixels need,
    // then held at the view's.
    const Big pixel = pixelOf(location, std::max(width, 1));
    Big magnitude = largerMagnitude(location.re, location.im);
    mpfr_add(magnitude.v, magnitude.v, location.extent.v, MPFR_RNDN);
    const long bits = std::max({precisionForScale(magnitude, pixel), location.re.precision(),
                                location.im.precision(), location.extent.precision()});
    Big halfWidth(bits), halfHeight(bits);
    mpfr_div_2ui(halfWidth.v, location.extent.v, 1, MPFR_RNDN);
    mpfr_mul_si(halfHeight.v, halfWidth.v, height, MPFR_RNDN);
    mpfr_div_si(halfHeight.v, halfHeight.v, std::max(width, 1), MPFR_RNDN);
    DeepView view{Big(bits), Big(bits), Big(bits), Big(bits)};
    mpfr_sub(view.left.v, location.re.v, halfWidth.v, MPFR_RNDN);
    mpfr_add(view.right.v, location.re.v, halfWidth.v, MPFR_RNDN);
    mpfr_sub(view.bottom.v, location.im.v, halfHeight.v, MPFR_RNDN);
    mpfr_add(view.top.v, location.im.v, halfHeight.v, MPFR_RNDN);
    const long viewBits = precisionFor(view, width, height);
    for (Big* bound : {&view.left, &view.right, &view.bottom, &view.top}) bound->setPrecision(viewBits);
    return view;
}

std::string formatLocation(const Location& location, int pixels)
{
    const Big pixel = pixelOf(location, std::max(pixels, 1));
    return formatDecimal(location.re, digitsFor(location.re, pixel)) + " " +
           formatDecimal(location.im, digitsFor(location.im, pixel)) + " " + formatDecimal(location.extent, 12);
}
