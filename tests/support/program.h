// build/fraktale started as a user starts it: from a folder that holds the
// six shader files, with its console output going to a file the test reads
// while the program runs. The destructor kills whatever is left.
#pragma once

#include "support/x11.h"

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace fx {

struct ProgramOptions {
    // Copy the six .glsl files into the working directory.
    bool withShaders = true;
    // Prepended to PATH (for a scripted zenity, say).
    std::string pathPrefix;
    // "NAME=value" entries added to the test's own environment, replacing
    // any of the same name.
    std::vector<std::string> environment;
};

class Program {
public:
    explicit Program(const ProgramOptions& options = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    pid_t pid() const { return pid_; }
    // The working directory the program was started in.
    const std::string& directory() const { return workDir_; }
    // Everything written to stdout and stderr so far.
    std::string output() const;
    bool waitForOutput(const std::string& text, double timeoutSeconds) const;

    // Polls until both windows are viewable and drawn (the editor frame is
    // on both) and their pictures hold still. The windows are then in
    // mandelbrot() and julia(). On failure `why` says what was missing.
    bool waitUntilReady(XConnection& x, double timeoutSeconds, std::string* why = nullptr);
    WindowId mandelbrot() const { return mandelbrot_; }
    WindowId julia() const { return julia_; }

    // Types a key into one of the program's windows.
    void typeKey(XConnection& x, WindowId w, unsigned long keysym);

    // The exit status once the program has ended: its exit code, or 128 +
    // the signal that killed it. nullopt when it still runs at the timeout.
    std::optional<int> waitForExit(double timeoutSeconds);
    bool running();

    // User plus system CPU time the process has used, in seconds; negative
    // when it cannot be read.
    double cpuSeconds() const;

private:
    std::string tempRoot_;
    std::string workDir_;
    std::string logPath_;
    pid_t pid_ = -1;
    std::optional<int> status_;
    WindowId mandelbrot_ = 0;
    WindowId julia_ = 0;
};

// The names of the six shader files, in the order the build lists them.
const std::vector<std::string>& shaderFileNames();

// A sanitizer's report in the output, or an empty string.
std::string sanitizerReport(const std::string& output);

}  // namespace fx
