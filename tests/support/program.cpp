#include "support/gestures.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace fx {

namespace fs = std::filesystem;

namespace {

// The editor's frame, black around white, along the top of a drawn window.
bool showsEditorFrame(const Image& image)
{
    if (image.width < 530 || image.height < 40) return false;
    for (int x = 9; x <= 522; ++x) {
        const std::uint8_t *black = image.at(x, 8), *white = image.at(x, 9);
        if ((black[0] | black[1] | black[2]) || (white[0] & white[1] & white[2]) != 255) return false;
    }
    return true;
}

}  // namespace

Program::Program(bool withShaders) : workDir_(folder_.file("work")), logPath_(folder_.file("output.log"))
{
    // The log lies beside the working directory, not in it, so a test can
    // list what the program wrote there.
    fs::create_directory(workDir_);
    for (const char* name : {"mandelbrot_vertex.glsl", "mandelbrot_fragment.glsl", "julia_vertex.glsl",
                             "julia_fragment.glsl", "transferFunction_vertex.glsl", "transferFunction_fragment.glsl"})
        if (withShaders) fs::copy_file(fs::path(FRAKTALE_BINARY_DIR) / name, fs::path(workDir_) / name);
    const int log = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const std::string binary = FRAKTALE_BINARY_DIR "/fraktale";
    // A process group of its own, set on both sides of the fork, so that the
    // clean-up also reaches the dialogs it starts.
    pid_ = fork();
    if (pid_ > 0) setpgid(pid_, pid_);
    if (pid_ == 0) {
        setpgid(0, 0);
        if (chdir(workDir_.c_str()) == 0 && dup2(log, 1) == 1 && dup2(log, 2) == 2)
            execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(log);
    if (pid_ < 0 || log < 0) throw std::runtime_error("cannot start " + binary);
}

Program::~Program()
{
    if (pid_ <= 0) return;
    // Reaped only here, so the group id cannot have been reused yet.
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    // The server drops a dead client's windows when it gets round to it;
    // the next test must not find them.
    try {
        XConnection x;
        waitFor([&] { return x.windows("Mandelbrot Set").empty() && x.windows("Julia Set").empty(); }, 10);
    } catch (...) {
    }
}

std::string Program::output() const { return readFile(logPath_); }

bool Program::waitForOutput(const std::string& text, double timeoutSeconds) const
{
    return waitFor([&] { return output().find(text) != std::string::npos; }, timeoutSeconds);
}

bool Program::running()
{
    siginfo_t info{};
    // WNOWAIT: the zombie stays until the destructor, see there.
    if (status_ || waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0) return !status_;
    status_ = info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
    return false;
}

::testing::AssertionResult Program::endsCleanly()
{
    // The sanitizers end a program they find fault with with status 1.
    waitFor([&] { return !running(); }, 30);
    if (status_ == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << (status_ ? "exit status " + std::to_string(*status_) : "still running")
                                         << "\n" << output();
}

::testing::AssertionResult Program::ready(XConnection& x)
{
    std::string missing = "not one drawn window of each title";
    waitFor([&] {
        const auto m = x.windows("Mandelbrot Set"), j = x.windows("Julia Set");
        if (!running()) return missing = "the program ended", true;
        if (m.size() != 1 || j.size() != 1 || !showsEditorFrame(x.capture(m[0])) || !showsEditorFrame(x.capture(j[0])))
            return false;
        mandelbrot_ = m[0], julia_ = j[0];
        return missing.clear(), true;
    }, startTimeout);
    if (missing.empty() && !waitUntilIdle(*this)) missing = "the program kept drawing";
    if (missing.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << missing << "\noutput so far:\n" << output();
}

double Program::cpuSeconds() const
{
    std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return -1;
    // The name may hold spaces and parentheses; utime and stime are the
    // 12th and 13th fields after the last ')'.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    const std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
    if (f.size() < 13) return -1;
    return double(std::stoull(f[11]) + std::stoull(f[12])) / double(sysconf(_SC_CLK_TCK));
}

}  // namespace fx
