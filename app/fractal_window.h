// The program-wide state of the viewer: the two fractal windows, the Julia
// constant and the window menu. Every subsystem reads and writes these
// records; none keeps a copy.
#pragma once

#include "app/history.h"
#include "deep/deep_view.h"
#include "transfer/transfer_function.h"

#include <memory>

struct ProgressivePicture;

constexpr int defaultWindowWidth = 800;
constexpr int defaultWindowHeight = 800;
constexpr int windowGap = 30;

struct FractalWindow {
    int windowId = 0;
    int width = defaultWindowWidth;
    int height = defaultWindowHeight;
    float viewBottom = 0;
    float viewTop = 0;
    float viewLeft = 0;
    float viewRight = 0;
    float pointerX = 0;
    float pointerY = 0;
    bool redisplayRequested = true;
    bool showRequested = true;  // by input or a change, not only by a deep picture's work
    bool screenshotRequested = false;
    TransferFunction transferFunction;
    // Past single precision the view is held here, and the float bounds
    // above are its rounding.
    bool deep = false;
    DeepView deepView;
    std::shared_ptr<ProgressivePicture> picture;  // drawn by perturbation, once needed
    unsigned fractalTable = 0;  // the float programs' table where the colour range is not the programs' own
    ViewHistory history;        // the views Backspace goes back to
    WindowView home;            // the view the window opened at, for Home
};

extern FractalWindow mandelbrotWindow;
extern FractalWindow juliaWindow;
extern float juliaCr;
extern float juliaCi;
// The Julia constant at the precision it was picked at; juliaCr and juliaCi
// are its float rounding, for the float programs.
extern Big juliaRe;
extern Big juliaIm;
extern int windowMenu;
// Whether this GL can draw past single precision (set once at start-up).
extern bool deepAvailable;
// The iteration limit given on the command line, 0 where each picture's
// limit follows its view. Only the perturbation path takes a limit, so a
// given one has it draw every view, shallow ones too.
extern int givenIterations;

// The fractal window whose GLUT id is current, or nullptr.
FractalWindow* currentFractalWindow();

// Raises the window's flag; the idle callback turns it into a redisplay.
// A request for work only (a deep picture's next part) need not show.
void requestRedisplay(FractalWindow& window);
void requestWork(FractalWindow& window);
