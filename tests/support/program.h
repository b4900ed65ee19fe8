// build/fraktale started as a user starts it: from a folder that holds the
// six shader files (or none), its console output going to a file the test
// reads while it runs. The destructor kills whatever is left of it.
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

class Program {
public:
    explicit Program(bool withShaders = true);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    const std::string& directory() const { return workDir_; }  // where it was started
    std::string output() const;                               // stdout and stderr so far
    bool waitForOutput(const std::string& text, double timeoutSeconds = stepTimeout) const;

    // Until both windows are viewable, drawn (the editor frame is on both)
    // and holding still; they are then mandelbrot() and julia().
    ::testing::AssertionResult ready(XConnection& x);
    WindowId mandelbrot() const { return mandelbrot_; }
    WindowId julia() const { return julia_; }

    bool running();
    ::testing::AssertionResult endsCleanly();  // exit status 0, no sanitizer report
    double cpuSeconds() const;                 // user + system so far; negative when unknown

private:
    TempFolder folder_;
    std::string workDir_, logPath_;
    pid_t pid_ = -1;
    std::optional<int> status_;  // exit code, or 128 + the signal
    WindowId mandelbrot_ = 0, julia_ = 0;
};

}  // namespace fx
