// The viewer started at locations past double precision, as a user would
// share one: both windows' finished pictures judged pixel by pixel against
// MPFR at sampled pixels; Esc while a deep picture is being drawn; and the
// command line's answers to --help and bad values, without a window.
#include "app/arguments.h"
#include "support/deep_window.h"

#include <X11/keysym.h>

namespace fx {
namespace {

TEST(DeepViewer, OpensAtSharedLocationsAndDrawsThemAsMpfrCounts)
{
    XConnection x;
    // A Misiurewicz point, where every depth has detail: the Mandelbrot
    // window past float's range, the Julia window past double's precision.
    Program program(true, {"--mandelbrot", "0", "1", "1e-30", "--julia", "0", "1", "1e-40", "--constant", "0", "1"});
    ASSERT_TRUE(program.ready(x));
    EXPECT_TRUE(showsMpfrColours(x.capture(program.mandelbrot()), requestAt(false, "0", "1", "1e-30"), 1));
    EXPECT_TRUE(showsMpfrColours(x.capture(program.julia()), requestAt(true, "0", "1", "1e-40", "0", "1"), 2));
    x.typeKey(program.julia(), XK_Escape);
    EXPECT_TRUE(program.endsCleanly());
}

// A limit given on the command line holds at the start view too: the
// Mandelbrot window is the picture of 64 steps, coloured over them.
TEST(DeepViewer, AGivenLimitDrawsEveryView)
{
    XConnection x;
    Program program(true, {"--iterations", "64"});
    ASSERT_TRUE(program.ready(x));
    DeepRequest r = requestAt(false, "-0.5", "0", "3");
    r.limit = 64;
    EXPECT_TRUE(showsMpfrColours(x.capture(program.mandelbrot()), r, 1));
    x.typeKey(program.mandelbrot(), XK_Escape);
    EXPECT_TRUE(program.endsCleanly());
}

// Past 1e-1000, far below double's range: the window's picture as MPFR
// has it, inside and outside and in the order of the counts (the colour
// mapping's own samples, thousands of them, would take MPFR minutes here).
TEST(DeepViewer, OpensPast1e1000)
{
    XConnection x;
    Program program(true, {"--mandelbrot", "0", "1", "1e-1500"});
    ASSERT_TRUE(program.ready(x));
    EXPECT_TRUE(showsMpfrOrder(x.capture(program.mandelbrot()), requestAt(false, "0", "1", "1e-1500")));
    EXPECT_EQ(program.output().find("Zu tief"), std::string::npos) << program.output();
    x.typeKey(program.mandelbrot(), XK_Escape);
    EXPECT_TRUE(program.endsCleanly());
}

// A reference that takes seconds (65,536 steps or more at 16,700 bits, at a
// point inside the set, whose orbit never escapes and whose digits fill
// every bit) says how far it is on the console, and Esc still ends the
// viewer while it runs.
TEST(DeepViewer, SaysHowFarALongReferenceIs)
{
    XConnection x;
    Program program(true, {"--mandelbrot", "-0.1", "0.1", "1e-5000"});
    // Within seconds: the first line is due after one.
    EXPECT_TRUE(waitFor([&] { return program.output().find("Referenzbahn: ") != std::string::npos; }, 10)) << program.output();
    const size_t at = program.output().find("Referenzbahn: ");
    int percent = -1;
    EXPECT_EQ(std::sscanf(program.output().c_str() + at, "Referenzbahn: %d %%", &percent), 1);
    EXPECT_TRUE(percent >= 0 && percent <= 100) << percent;
    const std::vector<WindowId> m = x.windows("Mandelbrot Set");
    ASSERT_EQ(m.size(), 1u);
    x.typeKey(m[0], XK_Escape);
    EXPECT_TRUE(program.endsCleanly());
}

// Esc is taken between the parts of a picture that takes seconds.
TEST(DeepViewer, EscEndsItWhileADeepPictureIsDrawn)
{
    XConnection x;
    Program program(true, {"--mandelbrot", "-0.74056003555822763207239202475945650560740145369498244223303346539411014",
                           "0.13259112153701780013935396728619598401106700748430489538424472308024047", "1e-19"});
    WindowId m = 0;
    // The window is drawn (its editor's frame), and the picture is not: the
    // program keeps working.
    ASSERT_TRUE(program.settles([&] {
        const std::vector<WindowId> found = x.windows("Mandelbrot Set");
        if (found.size() != 1) return false;
        const Image first = x.capture(m = found[0]);
        return first.height == 800 && first.at(9, 9)[0] == 255 && first.at(100, 8)[0] == 0;
    }, startRest, startTimeout)) << program.output();
    const double before = program.cpuSeconds();
    pause(0.3);
    EXPECT_GT(program.cpuSeconds(), before) << "the picture was already done";
    x.typeKey(m, XK_Escape);
    EXPECT_TRUE(program.endsCleanly());
}

// Before any window: the usage with status 0, a bad value named with status 2.
TEST(DeepViewer, CommandLineAnswersWithoutAWindow)
{
    struct Case { std::vector<std::string> words; int status; const char* said; };
    const Case cases[] = {
        {{"--help"}, 0, "--mandelbrot RE IM EXTENT"},
        {{"-display", ":0", "--constant", "0.25", "0", "-h"}, 0, "Aufruf: fraktale"},
        {{"--mandelbrot", "-0.5", "0", "0"}, 2, "--mandelbrot: die Breite '0' muss positiv und endlich sein"},
        {{"--julia", "0", "x1", "3"}, 2, "--julia: 'x1' ist keine Zahl"},
        {{"--constant", "0.3"}, 2, "--constant: es fehlen Werte"},
        {{"-geometry"}, 2, "-geometry: Wert fehlt"},
        {{"--zoom", "2"}, 2, "unbekannte Option '--zoom'"},
        {{"--iterations", "0"}, 2, "--iterations: '0' ist keine ganze Zahl"},
    };
    XConnection x;
    for (const Case& c : cases) {
        Program program(true, c.words);
        SCOPED_TRACE(c.said);
        EXPECT_TRUE(program.settles([&] { return !program.running(); }));
        EXPECT_EQ(program.status(), c.status);
        EXPECT_NE(program.output().find(c.said), std::string::npos) << program.output();
        EXPECT_EQ(program.output().find("Aufruf: fraktale") == std::string::npos, false);
        EXPECT_TRUE(x.windows("Mandelbrot Set").empty());
    }
}

}  // namespace
}  // namespace fx
