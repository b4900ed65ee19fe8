#include "support/program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fx {

namespace fs = std::filesystem;

namespace {

// The editor's frame, black around white, along the top of a drawn window.
// A window that is mapped but not drawn yet shows nothing like it.
bool showsEditorFrame(const Image& image)
{
    if (image.width < 530 || image.height < 40) return false;
    for (int x = 9; x <= 522; ++x) {
        const std::uint8_t* black = image.at(x, 8);
        const std::uint8_t* white = image.at(x, 9);
        if ((black[0] | black[1] | black[2]) || (white[0] & white[1] & white[2]) != 255) return false;
    }
    return true;
}

std::string sanitizerReport(const std::string& output)
{
    for (const char* marker : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"}) {
        const size_t at = output.find(marker);
        if (at != std::string::npos) return output.substr(at > 200 ? at - 200 : 0, 2000);
    }
    return {};
}

}  // namespace

Program::Program(bool withShaders) : workDir_(folder_.file("work")), logPath_(folder_.file("output.log"))
{
    // The log lives beside the working directory, so a test can list what
    // the program wrote there without finding the log among it.
    fs::create_directory(workDir_);
    if (withShaders) {
        for (const char* name : {"mandelbrot_vertex.glsl", "mandelbrot_fragment.glsl", "julia_vertex.glsl",
                                 "julia_fragment.glsl", "transferFunction_vertex.glsl",
                                 "transferFunction_fragment.glsl"})
            fs::copy_file(fs::path(FRAKTALE_BINARY_DIR) / name, fs::path(workDir_) / name);
    }
    const int log = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (log < 0 || null < 0) throw std::runtime_error("cannot create " + logPath_);
    // The environment as the test has it, PATH included (a scripted zenity).
    const std::string binary = std::string(FRAKTALE_BINARY_DIR) + "/fraktale";
    // A group of its own, set on both sides of the fork so that it exists
    // before either goes on: the clean-up then also reaches what the program
    // starts itself (dialogs).
    pid_ = fork();
    if (pid_ > 0) setpgid(pid_, pid_);
    if (pid_ == 0) {
        setpgid(0, 0);
        if (chdir(workDir_.c_str()) == 0 && dup2(null, 0) == 0 && dup2(log, 1) == 1 && dup2(log, 2) == 2)
            execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(log);
    close(null);
    if (pid_ < 0) throw std::runtime_error("cannot start " + binary + ": " + std::strerror(errno));
}

Program::~Program()
{
    if (pid_ > 0) {
        // The leader is reaped only here, so its group id cannot have been
        // handed to anybody else yet.
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        // The server drops the windows of a dead client only when it gets
        // round to it; the next test must not find these in its place.
        try {
            XConnection x;
            waitFor([&] { return x.windows("Mandelbrot Set").empty() && x.windows("Julia Set").empty(); }, 10);
        } catch (...) {
        }
    }
}

std::string Program::output() const { return readFile(logPath_); }

bool Program::waitForOutput(const std::string& text, double timeoutSeconds) const
{
    return waitFor([&] { return output().find(text) != std::string::npos; }, timeoutSeconds);
}

bool Program::running()
{
    if (status_) return false;
    siginfo_t info{};
    // WNOWAIT: the zombie stays until the destructor, see there.
    if (waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0) return true;
    status_ = info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
    return false;
}

::testing::AssertionResult Program::endsCleanly()
{
    waitFor([&] { return !running(); }, exitTimeout);
    const std::string out = output(), report = sanitizerReport(out);
    if (status_ == 0 && report.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << (status_ ? "exit status " + std::to_string(*status_) : "still running")
                                         << "\n" << (report.empty() ? out : report);
}

::testing::AssertionResult Program::ready(XConnection& x)
{
    std::string missing;
    const double end = now() + startTimeout;
    const bool ok = waitFor(
        [&] {
            const auto m = x.windows("Mandelbrot Set"), j = x.windows("Julia Set");
            if (!running()) {
                missing = "the program ended with status " + std::to_string(*status_);
                return true;
            }
            // A killed viewer's windows linger until the server notices.
            missing = "not one window of each title";
            if (m.size() != 1 || j.size() != 1) return false;
            mandelbrot_ = m[0];
            julia_ = j[0];
            missing = "a window has not been drawn";
            if (!showsEditorFrame(x.capture(mandelbrot_)) || !showsEditorFrame(x.capture(julia_))) return false;
            missing.clear();
            return x.waitForSettle(mandelbrot_, end - now()) && x.waitForSettle(julia_, end - now());
        },
        startTimeout);
    if (ok && missing.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << (missing.empty() ? "a window kept changing" : missing)
                                         << "\noutput so far:\n" << output();
}

double Program::cpuSeconds() const
{
    std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return -1;
    // The command name may hold spaces and parentheses; the fields after
    // it start behind the last ')'. utime and stime are fields 14 and 15.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

namespace {

// Runs the program in a child that dies with the test, its output dropped.
pid_t startQuietly(const std::vector<const char*>& argv)
{
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<const char*> args = argv;
        args.push_back(nullptr);
        execvp(args[0], const_cast<char* const*>(args.data()));
        _exit(127);
    }
    return pid;
}

void stop(pid_t pid)
{
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace

ManagedDisplay::ManagedDisplay()
{
    if (const char* display = std::getenv("DISPLAY")) oldDisplay_ = display;
    int number[2];
    if (pipe(number) != 0) return;
    // Xvfb writes its display number to the pipe once it takes connections.
    const std::string fd = std::to_string(number[1]);
    xvfb_ = startQuietly({"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp", "-noreset"});
    close(number[1]);
    std::string display = ":";
    for (char c; read(number[0], &c, 1) == 1 && c != '\n';) display += c;
    close(number[0]);
    if (display == ":") return;
    setenv("DISPLAY", display.c_str(), 1);
    openbox_ = startQuietly({"openbox", "--sm-disable"});
    XConnection x;
    ready_ = waitFor([&] { return x.managed(); }, startTimeout);
}

ManagedDisplay::~ManagedDisplay()
{
    stop(openbox_);
    stop(xvfb_);
    if (oldDisplay_) setenv("DISPLAY", oldDisplay_->c_str(), 1);
    else unsetenv("DISPLAY");
}

}  // namespace fx
