// The viewer as a user meets it: build/fraktale started from a folder that
// holds the six shader files (or none), its console output going to a file
// the test reads, and what a user does to it with the mouse (window
// coordinates), with the waits for what it should then show or write.
#pragma once

#include "support/reference.h"
#include "support/scripted_zenity.h"
#include "support/x11.h"

#include <gtest/gtest.h>
#include <sys/types.h>

#include <optional>

namespace fx {

// Generous: an ASan build under llvmpipe on a loaded two-core machine.
constexpr double startTimeout = 90, stepTimeout = 60;

class Program {
public:
    explicit Program(bool withShaders = true);
    ~Program();  // kills whatever is left of it
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    const std::string& directory() const { return workDir_; }
    std::string output() const;  // stdout and stderr so far
    bool waitForOutput(const std::string& text, double timeoutSeconds = stepTimeout) const;
    // Until both windows are viewable, drawn (the editor frame is on both)
    // and holding still; they are then mandelbrot() and julia().
    ::testing::AssertionResult ready(XConnection& x);
    WindowId mandelbrot() const { return mandelbrot_; }
    WindowId julia() const { return julia_; }
    bool running();
    ::testing::AssertionResult endsCleanly();  // exit status 0
    double cpuSeconds() const;                 // user + system so far; negative when unknown

private:
    TempFolder folder_;
    std::string workDir_, logPath_;
    pid_t pid_ = -1;
    std::optional<int> status_;  // exit code, or 128 + the signal
    WindowId mandelbrot_ = 0, julia_ = 0;
};

// The pointer on (wx, wy); XTest makes no motion to where it already is, so
// it arrives from the next column.
void hover(XConnection& x, WindowId w, int wx, int wy);
// Left press at (fromX, row), motion through the midway column, release at (toX, row).
void drag(XConnection& x, WindowId w, int row, int fromX, int toX);
// Until the program has used no processor time for a moment.
bool waitUntilIdle(const Program& program, double timeoutSeconds = stepTimeout);

// freeglut's pop-up menu: a border of 2 pixels around equal entries in the
// order added; root coordinates.
struct PopupMenu {
    WindowId window = 0;
    Rect frame;
    int entries = 0;
    Rect entry(int index) const;
};
// freeglut's greys, border and text in each of the menu's entries.
bool isDrawnMenu(const Image& menu, int entries);
// Once the program is idle, the right button pressed at (wx, wy): the menu
// that opens, drawn with `entries` entries before the pointer moves.
::testing::AssertionResult pressForMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy,
                                        int entries, PopupMenu& menu);
// A plain click, which opens the menu and leaves it open; then a click on
// an entry, which closes it.
::testing::AssertionResult openMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy, int entries,
                                    PopupMenu& menu);
::testing::AssertionResult chooseFromMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy,
                                          int entries, int index);
// One gesture: the pointer dragged from the press onto the entry and let go there.
::testing::AssertionResult pickByDrag(XConnection& x, const Program& program, WindowId w, int wx, int wy, int entries,
                                      int index);
// Waits for the menu to close.
::testing::AssertionResult closes(XConnection& x, const PopupMenu& menu);

// Polls until the window shows `e` (with exactNearEditor, the fractal in
// the editor's rows right in every pixel, where an element drawn a pixel
// too large shows), or the fractal alone from row firstRow down.
::testing::AssertionResult shows(XConnection& x, WindowId w, const Expected& e, const std::string& name,
                                 bool exactNearEditor = false, Image* shown = nullptr);
::testing::AssertionResult showsFractal(XConnection& x, WindowId w, const Image& fractal, const std::string& name,
                                        int firstRow = editorBottom, Image* shown = nullptr);

bool waitForFile(const std::string& path, double timeoutSeconds = stepTimeout);
Image readTiff(const std::string& path);  // 8-bit RGB, row 0 at the top; empty when no such TIFF
size_t occurrences(const std::string& text, const std::string& part);

}  // namespace fx
