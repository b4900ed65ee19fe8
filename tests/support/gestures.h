// What a user does to the viewer with the mouse, in window coordinates, and
// the waits for what the viewer should then show or write.
#pragma once

#include "support/program.h"
#include "support/reference.h"
#include "support/x11.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fx {

// Puts the pointer on (wx, wy) of the window. The viewer learns where the
// pointer is only from motion, and XTest makes none towards the place the
// pointer already is, so the pointer arrives from the next column.
void hover(XConnection& x, WindowId w, int wx, int wy);

// Left press at (fromX, row), motion through the midway column to
// (toX, row), release there.
void drag(XConnection& x, WindowId w, int row, int fromX, int toX);

// Until the program has used no processor time for a moment: every pass it
// had to draw is on the screen. (A picture that holds still for two
// captures may only be the one before a pass still being computed.)
bool waitUntilIdle(const Program& program, double timeoutSeconds = stepTimeout);

// freeglut's pop-up menu on the screen: entries stacked top to bottom with
// equal heights, in the order they were added; root coordinates.
struct PopupMenu {
    WindowId window = 0;
    Rect frame;
    std::vector<Rect> entries;
};

// Once the program is idle, as a user waits for the picture: the right
// button at (wx, wy), held until the menu that opens is drawn and found to
// hold `entries` entries, then let go off the menu, which leaves it open.
::testing::AssertionResult openMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy, int entries,
                                    PopupMenu& menu);
// Clicks the entry with the right button and waits for the menu to close.
::testing::AssertionResult chooseEntry(XConnection& x, const PopupMenu& menu, int index);
// In one gesture: the right button pressed at (wx, wy) once the program is
// idle, the menu that opens found drawn with `entries` entries before the
// pointer moves, the pointer dragged onto entry `index` and the button
// released there; the menu must then close.
::testing::AssertionResult pickByDrag(XConnection& x, const Program& program, WindowId w, int wx, int wy, int entries,
                                      int index);
// A freeglut menu of `entries` entries as it is drawn with none lit: its
// frame and its grey entries, each with some black text.
bool isDrawnMenu(const Image& menu, int entries);
::testing::AssertionResult chooseFromMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy,
                                          int entries, int index);

// Polls until the window shows `e`: its editor pixels as Expected says, the
// fractal similar(). With `aroundEditor` the fractal in the
// editor's rows must be similar() on its own, and every fractal pixel that
// touches the editor right: there an element drawn a pixel too large shows.
// The last capture goes to *shown.
::testing::AssertionResult shows(XConnection& x, WindowId w, const Expected& e, const std::string& name,
                                 bool aroundEditor = false, Image* shown = nullptr);
// The fractal alone, from row firstRow down.
::testing::AssertionResult showsFractal(XConnection& x, WindowId w, const Image& fractal, const std::string& name,
                                        int firstRow = editorBottom, Image* shown = nullptr);

bool waitForFile(const std::string& path, double timeoutSeconds = stepTimeout);
// An 8-bit RGB TIFF, row 0 at the top; empty when the file is no such TIFF.
Image readTiff(const std::string& path);
size_t occurrences(const std::string& text, const std::string& part);

}  // namespace fx
