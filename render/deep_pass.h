// One deep picture on the GPU: its scene (references, jump tables, limit),
// their textures and the program that draws its counts, and the smallest
// count on the picture's border, which sets the colour mapping's mu0.
#pragma once

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

// The program variant a scene is drawn with (its format).
DeepVariant variantOf(const DeepScene& scene);
void releaseScene(DeepGpuScene& gpu);

// Counts of the target's pixels [x, x + w) x [y, y + h) (from the
// bottom-left) into `target`, placed in the picture as `place` says.
void drawSceneCounts(const DeepGpuScene& gpu, const CountTarget& target, TargetPlace place, int x, int y, int w, int h);

// The smallest escaping count on the picture's border (a huge value when
// none escapes there), drawn piece by piece through `scratch`.
double borderMinimum(const DeepGpuScene& gpu, const CountTarget& scratch);
