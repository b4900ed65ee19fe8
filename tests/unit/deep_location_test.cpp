// Locations as text: decimals in and out, the command-line options and
// their German errors, and the way from a location to a view and back.
#include "deep/location.h"
#include "support/deep_numbers.h"
#include "support/words.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <tuple>
#include <vector>

// A 40-digit number keeps all 40 digits (133 bits and 32 more).
TEST(DeepLocation, DecimalsInAndOut)
{
    const char* const longest = "-0.7436438870371587047521915061147740000001";
    for (const auto& [text, value, written] :
         {std::tuple{"-0.75", -0.75, "-0.75"}, {"1.5e-30", 1.5e-30, "1.5e-30"}, {"2.5E+3", 2500.0, "2500"},
          {"+.5", 0.5, "0.5"}, {"5.", 5.0, "5"}, {"000.000120", 0.00012, "0.00012"}, {"-1e20", -1e20, "-1e20"},
          {"0.0", 0.0, "0"}, {"1e-400", 0.0, "1e-400"}, {"0.99999999", 0.99999999, "1"}, {longest, -0.7436438870371587, "-0.743644"}}) {
        Big b;
        ASSERT_TRUE(parseDecimal(text, b, 53)) << text;
        EXPECT_EQ(b.toDouble(), value) << text;
        EXPECT_EQ(formatDecimal(b, 6), written) << text;
    }
    const Big b = number(longest);
    EXPECT_TRUE(b.precision() >= 165 && formatDecimal(b, 40) == longest) << b.precision();
    EXPECT_EQ(number("1").precision(), 64);
    EXPECT_EQ(formatDecimal(number("123456789"), 3), "123000000");
    EXPECT_EQ(formatDecimal(number("-0.7436438870371587"), 4), "-0.7436");
    for (const char* bad : {"", "abc", "1e", "--1", "inf", "-inf", "nan", "0x1p3", "1.5x", ".", "-", "1e+", "1.2.3",
                            " 1", "1 ", "e5", "1e5.0", "1e999999999"}) {
        Big b(1.0, 64);
        EXPECT_FALSE(parseDecimal(bad, b)) << bad;
        EXPECT_EQ(b.toDouble(), 1.0) << bad;
    }
}

// Each option takes its values; the centre's precision grows with the depth
// of the extent (|-0.75| / (1e-300 / 800): log2(600) + 300 log2(10) = 1005.8
// bits, and 64 more); other words are left for the caller.
TEST(DeepLocation, TheThreeOptions)
{
    Words w("prog --julia 0.25 -0.5 4 --mandelbrot -0.75 0.1 1e-300 --constant -0.8 0.156 --tfc file");
    LocationOptions options;
    std::string error;
    std::vector<int> taken;
    for (int i : {0, 1, 5, 9, 12}) taken.push_back(readLocationOption(int(w.argv.size()), w.argv.data(), i, options, error));
    EXPECT_EQ(taken, (std::vector<int>{0, 4, 4, 3, 0}));
    EXPECT_TRUE(options.hasJulia && options.hasMandelbrot && options.hasConstant && error.empty()) << error;
    EXPECT_TRUE(options.julia.re.toDouble() == 0.25 && options.julia.im.toDouble() == -0.5 &&
                options.julia.extent.toDouble() == 4);
    EXPECT_TRUE(options.mandelbrot.re.toDouble() == -0.75 && options.mandelbrot.extent.toDouble() == 1e-300);
    EXPECT_TRUE(options.constantRe.toDouble() == -0.8 && options.constantIm.toDouble() == 0.156);
    EXPECT_GE(options.mandelbrot.re.precision(), 1070);
    EXPECT_GE(options.mandelbrot.im.precision(), 1070);
    EXPECT_EQ(std::count(locationUsage, locationUsage + std::strlen(locationUsage), '\n'), 4);
    for (const char* option : {"--mandelbrot RE IM EXTENT", "--julia RE IM EXTENT", "--constant RE IM"})
        EXPECT_NE(std::strstr(locationUsage, option), nullptr) << option;
}

// Every bad value gives -1 and a line naming the option and the value.
TEST(DeepLocation, BadValues)
{
    for (const auto& [line, message] :
         {std::pair{"--mandelbrot abc 0 1", "--mandelbrot: 'abc' ist keine Zahl"},
          {"--julia 0 0 -1", "--julia: die Breite '-1' muss positiv und endlich sein"},
          {"--julia 0 0 0", "--julia: die Breite '0' muss positiv und endlich sein"},
          {"--mandelbrot 0 0 1e999999999", "--mandelbrot: die Breite '1e999999999' muss positiv und endlich sein"},
          {"--mandelbrot 0 0 inf", "--mandelbrot: 'inf' ist keine Zahl"},
          {"--constant 1", "--constant: es fehlen Werte (RE IM)"},
          {"--mandelbrot 1 2", "--mandelbrot: es fehlen Werte (RE IM EXTENT)"},
          {"--constant 1 --1", "--constant: '--1' ist keine Zahl"},
          {"--julia 1e 0 1", "--julia: '1e' ist keine Zahl"},
          {"--julia 0 -1e999999999 1", "--julia: '-1e999999999' ist zu groß"}}) {
        Words w(line);
        LocationOptions options;
        std::string error;
        EXPECT_EQ(readLocationOption(int(w.argv.size()), w.argv.data(), 0, options, error), -1) << line;
        EXPECT_EQ(error, message);
        EXPECT_FALSE(options.hasMandelbrot || options.hasJulia || options.hasConstant) << line;
    }
}

// A square view and its centre exactly; a wide window is as tall as the extent
// says; the written location (a centre of endless digits), read back,
// places a view 1e-290 wide to a hundredth of a pixel, with a handful of
// digits more than the pixel's position needs.
TEST(DeepLocation, LocationsViewsAndText)
{
    const DeepView square = viewAt(locationOf(deepFromFloat(-2, 1, -1, 2, 800, 800)), 800, 800);
    EXPECT_TRUE(square.left.toDouble() == -2 && square.right.toDouble() == 1 && square.bottom.toDouble() == -1 &&
                square.top.toDouble() == 2 && square.left.precision() == 96);
    EXPECT_EQ(formatLocation(locationOf(square), 800), "-0.5 0.5 3");
    const DeepView wide = viewAt(Location{number("-0.75"), number("0.25"), number("3")}, 800, 400);
    EXPECT_TRUE(wide.left.toDouble() == -2.25 && wide.right.toDouble() == 0.75 && wide.bottom.toDouble() == -0.5 &&
                wide.top.toDouble() == 1.0);
    Location deep{Big(2000), Big(2000), number("1.2345678901234567e-290")};
    mpfr_div_ui(deep.re.v, number("-2.230931661111476").v, 3, MPFR_RNDN);
    mpfr_div_ui(deep.im.v, number("0.395477712615935").v, 3, MPFR_RNDN);
    for (int pixels : {800, 4000}) {
        std::istringstream text(formatLocation(deep, pixels));
        std::string re, im, extent;
        text >> re >> im >> extent;
        EXPECT_EQ(extent, "1.23456789012e-290");
        const DeepView original = viewAt(deep, pixels, pixels);
        const DeepView back = viewAt(Location{number(re.c_str()), number(im.c_str()), number(extent.c_str())}, pixels, pixels);
        const double pixel = log2PixelSize(original, pixels, pixels);
        EXPECT_LT(pixelsApart(original.left, back.left, pixel), 0.01) << re;
        EXPECT_LT(pixelsApart(original.top, back.top, pixel), 0.01) << im;
        const double places = std::log10(0.7436 * pixels / 1.2345678901234567e-290);
        EXPECT_TRUE(re.size() - 3 >= places && re.size() - 3 <= places + 5) << re.size() << " for " << places;
    }
}
