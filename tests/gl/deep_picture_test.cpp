// Pictures past single precision against a plain MPFR iteration of sampled
// pixels: inside or outside alike, escape counts alike and in the same
// order. Headless, on whatever context EGL (or a hidden window) gives.
#include "gl/deep_picture_fixture.h"

namespace fx {
namespace {

// Views from just past double precision to 1e-1500, Mandelbrot and Julia:
// Misiurewicz points keep their counts low; a minibrot whose reference is
// its nucleus (rebased every period, interior stopped early) and the same
// minibrot off the centre, whose interior orbits pass 0 nearer than the
// reference; a view below float's range, one below double's; Julia sets,
// whose second reference is the orbit of 0. Samples are random pixels, the
// same every run.
TEST_F(DeepPictures, SampledPixelsAsMpfrHasThem)
{
    const DeepCase cases[] = {
        {"Mandelbrot at the Misiurewicz point i, 1e-30", false, "0", "1", "1e-30", "0", "0", 160, 120},
        {"Mandelbrot at i, 1e-100", false, "0", "1", "1e-100", "0", "0", 120, 120},
        {"period-179 minibrot, 1e-19", false, nucleus179Re, nucleus179Im, "1e-19", "0", "0", 128, 128},
        {"period-179 minibrot filling the view: outside its edge orbits linger for periods", false, nucleus179Re,
         nucleus179Im, "3e-20", "0", "0", 96, 96},
        {"the minibrot off centre: interior orbits pass 0 nearer than the reference", false,
         "-0.74056003555822763207239202475945653", "0.13259112153701780013935396728619601", "2e-19", "0", "0", 128, 128},
        {"seahorse valley, 1e-14: long orbits near repelling cycles", false, "-0.743643887037158704752191506114774",
         "0.131825904205311970493132056385139", "1e-14", "0", "0", 120, 120},
        {"Mandelbrot at i, 1e-320 (past double's range)", false, "0", "1", "1e-320", "0", "0", 96, 96},
        {"Mandelbrot at i, 1e-1500", false, "0", "1", "1e-1500", "0", "0", 64, 64},
        {"period-399 minibrot near i, 1e-290: its nucleus return 2^-560, the pixels' orbits below float's range", false,
         nucleus399Re, nucleus399Im, "1e-290", "0", "0", 48, 48},
        {"Julia set of i at z = i, 1e-40", true, "0", "1", "1e-40", "0", "1", 128, 96},
        {"Julia set of i at z = i, 1e-1100", true, "0", "1", "1e-1100", "0", "1", 64, 64},
        {"rabbit Julia set near the origin, 1e-20 (interior)", true, "0.1", "0.1", "1e-20", "-0.1226", "0.7449", 64, 64, 0},
    };
    unsigned seed = 7;
    for (const DeepCase& c : cases) {
        SCOPED_TRACE(c.where);
        const Judgement j = drawnAndJudged(c, false, 100, seed++);
        EXPECT_GE(j.agree, j.samples * 995 / 1000) << "inside or outside differently";
        EXPECT_GE(j.escaped, c.escapedAtLeast);
        std::printf("%s: %d/%d, %d escaped, rank %.4f\n", c.where, j.agree, j.samples, j.escaped, j.rank);
        EXPECT_GE(j.rank, 0.97) << "escape counts out of MPFR's order";
    }
}

// The same pictures with double mantissas (the WIDE program, the wide
// layout), which the rule does not choose today but the format keeps:
// below float's range and past double's, Mandelbrot and Julia.
TEST_F(DeepPictures, DoublesDrawThePicturesToo)
{
    const DeepCase cases[] = {
        {"period-179 minibrot, 1e-19", false, nucleus179Re, nucleus179Im, "1e-19", "0", "0", 64, 64},
        {"Mandelbrot at i, 1e-1500", false, "0", "1", "1e-1500", "0", "0", 48, 48},
        {"Julia set of i at z = i, 1e-1100", true, "0", "1", "1e-1100", "0", "1", 48, 48},
    };
    unsigned seed = 3;
    for (const DeepCase& c : cases) {
        SCOPED_TRACE(c.where);
        const Judgement j = drawnAndJudged(c, true, 150, seed++);
        EXPECT_EQ(j.agree, j.samples) << "inside or outside differently";
        EXPECT_GE(j.rank, 0.97);
    }
}

// What a count says: -1 where the orbit settled on a cycle, -2 where the
// limit came first. Inside the period-179 minibrot, with a limit of 100
// (below its period) nothing can settle; with the rule's limit its
// interior settles, and the pixels off it escape either way.
TEST_F(DeepPictures, CountsSaySettledOrLimit)
{
    DeepRequest r = requestFor(DeepCase{"", false, nucleus179Re, nucleus179Im, "3e-20", "0", "0", 32, 32});
    int settled[2] = {0, 0}, atLimit[2] = {0, 0};
    for (int k : {0, 1}) {
        r.limit = k == 0 ? 100 : 0;
        DeepGpuScene gpu;
        ASSERT_TRUE(prepareScene(r, nullptr, gpu.scene));
        CountTarget target;
        for (float c : drawWhole(gpu, target)) settled[k] += c == -1, atLimit[k] += c == -2;
        releaseTarget(target);
        releaseScene(gpu);
    }
    EXPECT_TRUE(settled[0] == 0 && atLimit[0] > 100) << settled[0] << " " << atLimit[0];
    EXPECT_GT(settled[1], atLimit[0] / 2) << settled[1] << " " << atLimit[1];
    EXPECT_LT(atLimit[1], settled[1]);
}

// A lattice of every other pixel (stride 2, from an odd origin) and one of
// every third are the whole picture's pixels at those places, bit for bit
// (the pixel's offset is an exact float, times the same pixel size):
// the coarse-to-fine viewer draws such lattices first. Below float's range
// too (1e-1100), where the pixel's exponent carries the stride.
TEST_F(DeepPictures, LatticesAreEveryStrideThPixel)
{
    for (const DeepCase& c : {DeepCase{"", false, nucleus179Re, nucleus179Im, "3e-19", "0", "0", 96, 64},
                              DeepCase{"", true, "0", "1", "1e-1100", "0", "1", 60, 60}}) {
        const DeepRequest r = requestFor(c);
        DeepGpuScene gpu;
        ASSERT_TRUE(prepareScene(r, nullptr, gpu.scene));
        CountTarget target, lattice;
        const std::vector<float> whole = drawWhole(gpu, target);
        for (const TargetPlace place : {TargetPlace{1, 0, 2}, TargetPlace{2, 1, 3}}) {
            const int w = (c.width - place.originX + place.stride - 1) / place.stride;
            const int h = (c.height - place.originY + place.stride - 1) / place.stride;
            ASSERT_TRUE(resizeTarget(lattice, w, h));
            drawSceneCounts(gpu, lattice, place, 0, 0, w, h);
            std::vector<float> coarse(size_t(w) * h);
            readCounts(lattice, 0, 0, w, h, coarse.data());
            int differ = 0;
            for (int j = 0; j < h; ++j)
                for (int i = 0; i < w; ++i)
                    differ += coarse[size_t(j) * w + i] !=
                              whole[size_t(place.originY + j * place.stride) * c.width + place.originX + i * place.stride];
            EXPECT_EQ(differ, 0) << "stride " << place.stride << (c.julia ? " Julia" : " Mandelbrot");
        }
        releaseTarget(lattice);
        releaseTarget(target);
        releaseScene(gpu);
    }
}

}  // namespace
}  // namespace fx
