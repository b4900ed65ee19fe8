// build/fraktale started as a user starts it: from a folder that holds the
// six shader files (or none), with its console output going to a file the
// test reads while the program runs. The destructor kills whatever is left.
#pragma once

#include "support/scripted_zenity.h"
#include "support/x11.h"

#include <gtest/gtest.h>
#include <sys/types.h>

#include <optional>
#include <string>

namespace fx {

// Generous: an ASan build under llvmpipe on a loaded two-core machine.
constexpr double startTimeout = 90;
constexpr double stepTimeout = 60;
constexpr double exitTimeout = 30;

class Program {
public:
    explicit Program(bool withShaders = true);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The working directory the program was started in.
    const std::string& directory() const { return workDir_; }
    // Everything written to stdout and stderr so far.
    std::string output() const;
    bool waitForOutput(const std::string& text, double timeoutSeconds = stepTimeout) const;

    // Until both windows are viewable and drawn (the editor frame is on
    // both) and their pictures hold still; they are then in mandelbrot()
    // and julia().
    ::testing::AssertionResult ready(XConnection& x);
    WindowId mandelbrot() const { return mandelbrot_; }
    WindowId julia() const { return julia_; }

    bool running();
    // Waits for the end: exit status 0 and no sanitizer report.
    ::testing::AssertionResult endsCleanly();
    // User plus system CPU time used so far, in seconds; negative when it
    // cannot be read.
    double cpuSeconds() const;

private:
    TempFolder folder_;
    std::string workDir_;
    std::string logPath_;
    pid_t pid_ = -1;
    std::optional<int> status_;  // exit code, or 128 + the signal
    WindowId mandelbrot_ = 0;
    WindowId julia_ = 0;
};

// A private X server (Xvfb, 1920 x 1080 x 24) with openbox managing its
// windows, $DISPLAY naming it while the object lives. Made before, and
// destroyed after, everything that talks to that server.
class ManagedDisplay {
public:
    ManagedDisplay();
    ~ManagedDisplay();
    ManagedDisplay(const ManagedDisplay&) = delete;
    ManagedDisplay& operator=(const ManagedDisplay&) = delete;
    // The server is up and openbox manages its screen.
    bool ready() const { return ready_; }

private:
    pid_t xvfb_ = -1;
    pid_t openbox_ = -1;
    std::optional<std::string> oldDisplay_;
    bool ready_ = false;
};

}  // namespace fx
