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

// Puts the pointer on (wx, wy) of the window. XTest makes no motion towards
// where the pointer already is, so it arrives from the next column.
void hover(XConnection& x, WindowId w, int wx, int wy);
// Left press at (fromX, row), motion through the midway column, release at (toX, row).
void drag(XConnection& x, WindowId w, int row, int fromX, int toX);
// Until the program has used no processor time for a moment: every pass it
// had to draw is on the screen.
bool waitUntilIdle(const Program& program, double timeoutSeconds = stepTimeout);

// freeglut's pop-up menu: equal entries stacked in the order they were
// added; root coordinates.
struct PopupMenu {
    WindowId window = 0;
    Rect frame;
    std::vector<Rect> entries;
};
// Once the program is idle: the right button pressed at (wx, wy) and let go
// off the menu, which stays open and drawn, split into `entries` entries.
::testing::AssertionResult openMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy, int entries,
                                    PopupMenu& menu);
// Clicks the entry and waits for the menu to close.
::testing::AssertionResult chooseEntry(XConnection& x, const PopupMenu& menu, int index);
::testing::AssertionResult chooseFromMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy,
                                          int entries, int index);

// Polls until the window shows `e`: the editor's pixels as Expected says,
// the fractal similar(). With `exactNearEditor` the fractal in the editor's
// rows must be right in every pixel (where an element drawn a pixel too
// large shows). The last capture goes to *shown.
::testing::AssertionResult shows(XConnection& x, WindowId w, const Expected& e, const std::string& name,
                                 bool exactNearEditor = false, Image* shown = nullptr);
// The fractal alone, from row firstRow down.
::testing::AssertionResult showsFractal(XConnection& x, WindowId w, const Image& fractal, const std::string& name,
                                        int firstRow = editorBottom, Image* shown = nullptr);

bool waitForFile(const std::string& path, double timeoutSeconds = stepTimeout);
// An 8-bit RGB TIFF, row 0 at the top; empty when the file is no such TIFF.
Image readTiff(const std::string& path);
size_t occurrences(const std::string& text, const std::string& part);

}  // namespace fx
