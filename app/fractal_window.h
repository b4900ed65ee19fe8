// The program-wide state of the viewer: the two fractal windows, the Julia
// constant and the window menu. Every subsystem reads and writes these
// records; none keeps a copy.
#pragma once

#include "transfer/transfer_function.h"

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
    bool screenshotRequested = false;
    TransferFunction transferFunction;
};

extern FractalWindow mandelbrotWindow;
extern FractalWindow juliaWindow;
extern float juliaCr;
extern float juliaCi;
extern int windowMenu;

// The fractal window whose GLUT id is current, or nullptr.
FractalWindow* currentFractalWindow();

// Raises the window's flag; the idle callback turns it into a redisplay.
void requestRedisplay(FractalWindow& window);
