// Display passes, reshape handlers and the idle callback of both windows.
#pragma once

void mandelbrotDisplay();
void juliaDisplay();
void mandelbrotReshape(int width, int height);
void juliaReshape(int width, int height);

// Posts a redisplay for every window whose flag is raised, the Julia window
// first, and then sleeps until the next request.
void idle();
// Registers the idle callback unless it is registered already.
void armIdle();
