// The iteration limit past single precision: the rule without a cap, the
// bound that memory sets, --iterations as both programs read it, and the
// automatic limit's decision from a sample of counts.
#include "app/arguments.h"
#include "app/fractal_window.h"
#include "deep/iteration_limit.h"
#include "deep/location.h"
#include "tool/options.h"
#include "support/words.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <tuple>
#include <vector>

namespace {

double log2Footprint(double extentExponent10, int pixels)
{
    return extentExponent10 * std::log2(10.0) - std::log2(double(pixels));
}

}  // namespace

// 260 + 128 log2(0.00375 / footprint), a multiple of 4: 425,668 at 1e-1000
// across 800 pixels and 4,252,528 at 1e-10000, far past the old 65,536;
// past any memory the largest --iterations takes.
TEST(IterationLimit, TheRuleHasNoCapButItsLargestValue)
{
    EXPECT_EQ(deepIterationLimit(std::log2(3.0 / 800)), 260);
    EXPECT_EQ(deepIterationLimit(std::log2(3.0 / 1600)), 388);
    EXPECT_EQ(deepIterationLimit(log2Footprint(-1000, 800)), 425668);
    EXPECT_EQ(deepIterationLimit(log2Footprint(-10000, 800)), 4252528);
    EXPECT_EQ(deepIterationLimit(-1e12), maximumIterations);
    EXPECT_EQ(deepIterationLimit(-INFINITY), maximumIterations);
    // Half of 1 GiB at 64 bytes a step is 8,388,608 steps, shared by Julia's two references.
    const double gib = double(1 << 30);
    EXPECT_EQ(limitWithinMemory(10000000, 1, gib), 8388608);
    EXPECT_EQ(limitWithinMemory(10000000, 2, gib), 4194304);
    EXPECT_EQ(limitWithinMemory(8388608, 1, gib), 8388608);
    EXPECT_EQ(limitWithinMemory(5000, 2, gib), 5000);
    EXPECT_EQ(limitWithinMemory(maximumIterations, 1, 4096.0), 32);
    EXPECT_GT(physicalMemoryBytes(), 64.0 * (1 << 20));
}

// Digits only, 1 to 1,000,000,000; the value kept; each error one line
// naming the option and the word.
TEST(IterationLimit, IterationsOptionOfBothPrograms)
{
    for (const auto& [line, taken, value, error] :
         {std::tuple{"p --iterations 1", 2, 1, ""}, {"p --iterations 1000000000", 2, 1000000000, ""},
          {"p --iterations 65537", 2, 65537, ""}, {"p --iterations 0", -1, 0, "--iterations: '0' ist keine ganze Zahl von 1 bis 1000000000"},
          {"p --iterations 1000000001", -1, 0, "'1000000001' ist keine"}, {"p --iterations -5", -1, 0, "'-5' ist keine"},
          {"p --iterations 1e6", -1, 0, "'1e6' ist keine"}, {"p --iterations 12x", -1, 0, "'12x' ist keine"},
          {"p --iterations 99999999999999999999999", -1, 0, "ist keine"},
          {"p --iterations", -1, 0, "--iterations: es fehlt ein Wert (N)"}}) {
        Words w(line);
        LocationOptions options;
        std::string said;
        EXPECT_EQ(readLocationOption(w.argc(), w.argv.data(), 1, options, said), taken) << line;
        EXPECT_EQ(options.iterations, value) << line;
        EXPECT_NE(said.find(error), std::string::npos) << line << ": " << said;
    }
    // The viewer takes it among GLUT's options and the locations.
    Words viewer("fraktale -sync --iterations 5000 --mandelbrot 0 1 1e-1500");
    LocationOptions options;
    std::string said;
    ASSERT_EQ(readViewerArguments(viewer.argc(), viewer.argv.data(), options, said), ViewerStart::run) << said;
    EXPECT_EQ(options.iterations, 5000);
    EXPECT_NE(std::string(locationUsage).find("--iterations N"), std::string::npos);
    // The render tool takes it with either fractal.
    for (const char* fractal : {"mandelbrot", "julia"}) {
        Words tool(std::string("fraktale-render ") + fractal + " --iterations 77 -o x.png");
        LocationOptions where;
        const LocationReader reader = [&](int n, char** words, int i, std::string& e) {
            return readLocationOption(n, words, i, where, e);
        };
        RenderOptions render;
        EXPECT_EQ(parseOptions(tool.argc(), tool.argv.data(), reader, render, said), Parsed::render) << fractal << ": " << said;
        EXPECT_EQ(where.iterations, 77) << fractal;
    }
}

// The location line carries a given limit, so that a shared location
// reopens with it, and leaves it out where the limit follows the view.
TEST(IterationLimit, TheLocationLineCarriesAGivenLimit)
{
    const int kept = givenIterations;
    LocationOptions none;
    applyLocations(none);
    EXPECT_EQ(currentLocations().find("--iterations"), std::string::npos) << currentLocations();
    LocationOptions given;
    given.iterations = 123456;
    applyLocations(given);
    const std::string line = "fraktale " + currentLocations();
    EXPECT_NE(line.find(" --iterations 123456"), std::string::npos) << line;
    Words back(line);
    LocationOptions read;
    std::string said;
    ASSERT_EQ(readViewerArguments(back.argc(), back.argv.data(), read, said), ViewerStart::run) << said;
    EXPECT_EQ(read.iterations, 123456);
    givenIterations = kept;
}

// Counts: escaped (mu >= 0, 0 included), interior (-1), unresolved (-2).
TEST(IterationLimit, RaisedWhileAndOnlyWhileRaisingResolvesPixels)
{
    const std::vector<float> counts = {-2.0f, -1.0f, 0.0f, 5.5f, -2.0f, -1.0f, 3000.25f};
    const LimitSample t = tallyCounts(counts.data(), counts.size());
    EXPECT_EQ(std::tie(t.escaped, t.interior, t.unresolved), std::make_tuple(3L, 2L, 2L));

    auto sample = [](long escaped, long interior, long unresolved) { return LimitSample{escaped, interior, unresolved}; };
    const LimitSample resolved = sample(9990, 0, 10), open10 = sample(800, 100, 100), open6 = sample(840, 100, 60),
                      open4 = sample(860, 100, 40), empty = sample(0, 0, 0);
    for (const auto& [limit, now, before, bound, next] :
         {std::tuple{1000, resolved, (const LimitSample*)nullptr, 1 << 30, 1000},  // a thousandth may stay
          {1000, sample(9989, 0, 11), nullptr, 1 << 30, 4000},
          {1000, open10, nullptr, 1 << 30, 4000},
          {4000, open6, &open10, 1 << 30, 4000},  // the last raise resolved less than half: stop
          {4000, open4, &open10, 1 << 30, 16000},
          {1000, open10, nullptr, 2500, 2500},  // memory's bound
          {2500, open10, nullptr, 2500, 2500},
          {1000, sample(0, 0, 50), nullptr, 1 << 30, 4000},  // a blank: nothing escaped yet
          {4000, sample(0, 0, 50), &open10, 1 << 30, 16000},   // and it stays one: on
          {4000, sample(0, 1, 49), &open10, 1 << 30, 4000},
          {1000, empty, nullptr, 1 << 30, 1000},
          {600000000, open10, nullptr, maximumIterations, maximumIterations}}) {
        EXPECT_EQ(raisedLimit(limit, now, before, bound), next)
            << limit << " with " << now.unresolved << " of " << now.total() << " unresolved";
    }
}
