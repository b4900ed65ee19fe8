// What a user does to the viewer with the mouse, in window coordinates, and
// the wait for a window to show what the CPU reference says it should.
#pragma once

#include "support/program.h"
#include "support/reference.h"
#include "support/x11.h"
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fx {

// Puts the pointer on (wx, wy) of the window so that GLUT's passive-motion
// handler sees that position. A move onto the pixel the pointer already
// occupies reports nothing, so the pointer arrives from the next column.
void hover(XConnection& x, const Rect& window, int wx, int wy);

// Waits until the program has used no processor time for a moment: every
// pass it had to draw is on the screen. (A picture that holds still for two
// captures may only be the one before a pass still being computed.)
bool waitUntilIdle(const Program& program, double timeoutSeconds);

// Once the program is idle, as a user waits for the picture: right button
// at (wx, wy), then entry `index` of the menu that opens, which must have
// `entries` entries; the entry is chosen with a click of the right button
// (see there why not by releasing on it). False (and why) when no such menu
// came or it did not close.
bool chooseFromMenu(XConnection& x, const Program& program, const Rect& window, int wx, int wy, int entries,
                    int index, double timeoutSeconds, std::string* why = nullptr);

// Left press at (fromX, row), motion through the midway column to
// (toX, row), release there.
void drag(XConnection& x, const Rect& window, int row, int fromX, int toX);

// The colour bar with the markers on it: columns 10..521, rows 10..29.
Image colourBar(const Image& window);

// The bar as the overlay draws the transfer function: its colour table,
// one texel per column, under a square marker for every point.
Image expectedBar(const TransferFunction& tf);

// A window against the CPU reference: the fractal below the editor within
// the picture tolerance, and the bar exactly as expectedBar draws it.
struct Look {
    Image captured;
    Difference picture;
    Difference bar;
    bool good() const;
};
Look compareLook(const Image& captured, const Image& expectedPicture, const Image& bar);
// Polls until the window looks right or the time is up; the last comparison.
Look waitForLook(XConnection& x, WindowId w, const Image& expectedPicture, const TransferFunction& tf,
                 double timeoutSeconds);
// The verdict, with the pictures saved for inspection when it fails.
::testing::AssertionResult looksRight(const Look& look, const Image& expectedPicture, const std::string& name);

// The editor overlay covers the rows above this one.
constexpr int firstFractalRow = 41;

// Two pictures from row firstRow down, within the picture tolerance.
Difference comparePictures(const Image& a, const Image& b, int firstRow = firstFractalRow);
bool similar(const Difference& d);

}  // namespace fx
