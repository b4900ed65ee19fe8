// A deep picture drawn across many passes of the viewer's main loop, so
// that no pass takes much longer than its budget and input is handled in
// between. The scene (reference orbits, jump tables) is computed on a
// worker thread; then the picture's border is drawn (its smallest count
// sets the colour mapping), then bands of 16 rows from the top, whole or in
// pieces of 16 columns, each part sized by the time the last ones took.
// (Parts of whole 4 x 4 blocks: llvmpipe runs a block of fragments at a
// time, and a part one row high would cost as much as four.) Until a row is drawn the window shows the last
// finished picture where it lies in the new view, or black.
//
// One per window, its GL objects in that window's context. Limits: a
// picture whose pixels are below 2^-deepDepthBits is not drawn (black).
#pragma once

#include "deep/scene_job.h"
#include "render/deep_pass.h"

#include <memory>

struct ProgressivePicture {
    enum class Stage { none, scene, border, rows, finished };
    Stage stage = Stage::none;
    DeepRequest request;            // what is being drawn
    std::shared_ptr<SceneJob> job;  // while its scene is computed
    DeepPrograms programs;
    DeepGpuScene gpu;
    CountTarget targets[2];
    int current = 0;                // drawn into; the other holds the last finished picture
    int borderPiece = 0;
    double borderLeast = 1e300;
    double mu0 = 0;
    int bandTop = 0, column = 0;    // the band being drawn ends below GL row bandTop; its columns done
    double msPerPixel = 0.02;       // how long a pixel took lately: at first, as if costly
    // The last finished picture and where it lies in the one being drawn.
    bool previousValid = false;
    DeepView previousView;
    int previousLimit = 0;
    double previousMu0 = 0;
    double previousScale[2] = {1, 1}, previousOffset[2] = {0, 0};
};

// Whether the picture shows, is drawing, or could not draw exactly this
// request (a view too deep is not tried again and again).
bool drawsRequest(const ProgressivePicture& picture, const DeepRequest& request);

// Drops whatever is being drawn and starts on `request`; a finished
// picture stays as the preview.
void startPicture(ProgressivePicture& picture, const DeepRequest& request);

// Works on the picture for about budgetMs; true while there is more to do.
bool advancePicture(ProgressivePicture& picture, double budgetMs);

bool waitingForScene(const ProgressivePicture& picture);
bool pictureFinished(const ProgressivePicture& picture);

// Covers the current viewport of width x height pixels with what there is.
void showPicture(ProgressivePicture& picture, GLuint table, int width, int height);

// Cancels the worker and frees the GL objects (the window's context current).
void releasePicture(ProgressivePicture& picture);
