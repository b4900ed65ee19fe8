// One deep picture on the GPU: its scene (references, jump tables, limit),
// their textures and the program that draws its counts, and the smallest
// count on the picture's border, which sets the colour mapping's mu0.
#pragma once

#include "deep/colour_depth.h"
#include "render/deep_gl.h"

struct DeepGpuScene {
    DeepScene scene;
    DeepLayout layout;
    DeepTextures textures;
    GLuint program = 0;
};

// Lays out and uploads a prepared scene and finds its program; false when
// the program does not build or the textures do not fit. The scene's
// orbits and tables, and the layout's words, are freed on the way: only
// the GPU keeps them.
bool uploadScene(DeepPrograms& programs, DeepGpuScene& gpu);
// The same for a scene already laid out (gpu.layout, made on a worker).
bool uploadLaidOut(DeepPrograms& programs, DeepGpuScene& gpu);

// The program variant a scene is drawn with (its format).
DeepVariant variantOf(const DeepScene& scene);
void releaseScene(DeepGpuScene& gpu);

// Counts of the target's pixels [x, x + w) x [y, y + h) (from the
// bottom-left) into `target`, placed in the picture as `place` says.
void drawSceneCounts(const DeepGpuScene& gpu, const CountTarget& target, TargetPlace place, int x, int y, int w, int h);

// Prepares and uploads the scene of `request` at its given limit, or at the
// rule's raised while the lattice's samples (below) say a larger limit
// would resolve them, as the viewer raises it from its coarse pass
// (deep/iteration_limit.h). `lattice` receives the samples at the limit
// drawn with.
enum class SceneSetup { ok, tooDeep, noPrograms };
SceneSetup setUpScene(DeepPrograms& programs, DeepGpuScene& gpu, DeepRequest request, const CountTarget& scratch,
                      std::vector<float>& lattice);

// The counts of the samples every latticeStride pixels from the viewer's
// coarse phase (render/schedule.h), drawn piece by piece through
// `scratch`: at 800 x 800 the viewer's own coarse pass, for larger
// pictures (a power of two as the stride) about 100 samples across.
std::vector<float> latticeCounts(const DeepGpuScene& gpu, const CountTarget& scratch);

// That lattice's stride for a picture of width x height: the viewer's 8
// at 800 x 800, larger for larger pictures, smaller where fewer than
// latticeSamples would remain.
constexpr long latticeSamples = 10000;
int latticeStride(int width, int height);

// The same samples taken from a whole picture's counts (rows from the bottom).
CountSpread latticeSpreadOf(const std::vector<float>& counts, int width, int height);

// The smallest escaping count on the picture's border (a huge value when
// none escapes there), drawn piece by piece through `scratch`.
double borderMinimum(const DeepGpuScene& gpu, const CountTarget& scratch);
