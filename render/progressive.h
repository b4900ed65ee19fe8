// A deep picture drawn across many passes of the viewer's main loop, so
// that no pass takes much longer than its budget and input is handled in
// between. The scene (reference orbits, jump tables) is computed on a
// worker thread; then the picture is drawn coarse to fine as
// render/schedule.h plans it (every 8th pixel, the border, then the
// lattices between), each part sized by the time the last ones took,
// drawn compactly and put into the picture's count target by the splat
// pass (render/refine_gl.h). Every pass shows all there is: each pixel its
// own count, or the nearest sample drawn so far, or, where nothing is yet,
// the last picture where it lies in the new view, or black.
//
// Where the limit was not given, the coarse pass also says whether a larger
// one would resolve pixels that ran into it (deep/iteration_limit.h): then
// the picture starts again with that limit, what the coarse pass showed
// staying as the preview.
//
// A new view that is the last one moved by whole pixels (a drag, an arrow
// key) keeps every pixel drawn so far: the counts move along, and only
// what is uncovered is drawn. Any other view starts afresh, the picture so
// far staying as the preview.
//
// One per window, its GL objects in that window's context. Limits: a
// picture whose pixels are below 2^-deepDepthBits is not drawn (black).
#pragma once

#include "deep/colour_depth.h"
#include "deep/iteration_limit.h"
#include "deep/scene_job.h"
#include "render/deep_pass.h"
#include "render/refine_gl.h"

#include <chrono>
#include <memory>

// A display pass's time for drawing counts: with the colour pass, the
// editor and the swap, a round of the main loop stays inside 100 ms on a
// software renderer.
constexpr double passBudgetMs = 70;

struct ProgressivePicture {
    enum class Stage { none, scene, drawing, finished };
    Stage stage = Stage::none;
    DeepRequest request;            // what is being drawn
    std::shared_ptr<SceneJob> job;  // while its scene is computed
    std::shared_ptr<DeepLayout> laidOut;  // where that job lays the scene out
    DeepPrograms programs;
    DeepGpuScene gpu;
    PictureTarget targets[3];       // the picture, the next move's, and the last picture
    int current = 0, spare = 1, last = 2;
    CountTarget samples;            // a part, drawn compactly
    CountTarget colours;            // as last shown, 8-bit RGBA
    PixelRect dirty;                // drawn since then
    bool recolourAll = true;        // the mapping or the picture changed since then
    SampleGrid grid;                // what is known of the picture, and where
    ScheduleCursor cursor;
    ColourRange range;              // the mapping the picture is shown with
    int passesDone = 0;             // the passes whose end was noted (mapping, blocks)
    bool kept = false;              // pixels kept from before a move
    double muMin = 1e300;           // the border's smallest escaping count (the coarse pass's until the border is known)
    CountSpread spread;             // what the coarse pass's counts say
    int milestones = 0;             // counts the moments the picture's look changed at once (its coarse pass, its mapping)
    double msPerPixel = 0.02;       // how long a sample took lately: at first, as if costly
    // Where no limit was given it follows the picture: a coarse pass that
    // a larger limit would resolve starts the picture again with it.
    bool raised = false;            // the scene's limit was raised from the rule's
    LimitSample beforeRaise;        // what the coarse pass at the last limit said
    long drawnSamples = 0;          // samples drawn since the picture started
    // The last picture and where it lies in the one being drawn.
    bool previousValid = false;
    DeepView previousView;
    ColourRange previousRange;
    double previousScale[2] = {1, 1}, previousOffset[2] = {0, 0};
};

// Whether the picture shows, is drawing, or could not draw exactly this
// request (a view too deep is not tried again and again).
bool drawsRequest(const ProgressivePicture& picture, const DeepRequest& request);

// Drops whatever is being drawn and starts on `request`: what is drawn
// moves along where the view moved by whole pixels, else it stays as the
// preview.
void startPicture(ProgressivePicture& picture, const DeepRequest& request);

// Works on the picture for about budgetMs; true while there is more to do.
bool advancePicture(ProgressivePicture& picture, double budgetMs);

bool waitingForScene(const ProgressivePicture& picture);
bool pictureFinished(const ProgressivePicture& picture);

// Between the moments a picture's look changes at once (started, coarse
// pass done, mapping known, finished), refinement is shown this often: a
// colour pass costs about a fifth of a pass's budget on a software
// renderer, and showing every pass would add that to the picture's time.
constexpr double showEveryMs = 200;

struct ShowState {
    int milestones = -1;
    std::chrono::steady_clock::time_point at;
};

// Whether a pass should show the picture: asked for, its look changed, it
// is finished, or showEveryMs since the last; notes the show if so.
bool showDue(const ProgressivePicture& picture, ShowState& state, bool asked);

// Covers the current draw framebuffer's width x height pixels from its
// origin with what there is: recolours what was drawn since the last show
// (all of it where `recolour`, as after the table changed) and copies the
// colours out.
void showPicture(ProgressivePicture& picture, GLuint table, int width, int height, bool recolour);

// Cancels the worker and frees the GL objects (the window's context current).
void releasePicture(ProgressivePicture& picture);
