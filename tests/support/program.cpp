#include "support/program.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace fx {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> childEnvironment(const ProgramOptions& options)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    auto set = [&env](const std::string& entry) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        for (std::string& e : env) {
            if (e.compare(0, name.size(), name) == 0) {
                e = entry;
                return;
            }
        }
        env.push_back(entry);
    };
    if (!options.pathPrefix.empty()) {
        const char* path = std::getenv("PATH");
        set("PATH=" + options.pathPrefix + (path ? std::string(":") + path : std::string()));
    }
    for (const std::string& entry : options.environment) set(entry);
    return env;
}

// The editor's frame, black around white, along the top of a drawn window.
// A window that is mapped but not drawn yet shows nothing like it.
bool showsEditorFrame(const Image& image)
{
    if (image.width < 530 || image.height < 40) return false;
    for (int x = 9; x <= 522; ++x) {
        const std::uint8_t* black = image.at(x, 8);
        const std::uint8_t* white = image.at(x, 9);
        if (black[0] | black[1] | black[2]) return false;
        if ((white[0] & white[1] & white[2]) != 255) return false;
    }
    return true;
}

}  // namespace

const std::vector<std::string>& shaderFileNames()
{
    static const std::vector<std::string> names = {
        "mandelbrot_vertex.glsl", "mandelbrot_fragment.glsl",       "julia_vertex.glsl",
        "julia_fragment.glsl",    "transferFunction_vertex.glsl", "transferFunction_fragment.glsl"};
    return names;
}

std::string sanitizerReport(const std::string& output)
{
    for (const char* marker : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"}) {
        const size_t at = output.find(marker);
        if (at != std::string::npos) return output.substr(at > 200 ? at - 200 : 0, 2000);
    }
    return {};
}

Program::Program(const ProgramOptions& options)
{
    std::string pattern = (fs::temp_directory_path() / "fraktale-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed: " + std::string(std::strerror(errno)));
    tempRoot_ = pattern;
    // The log lives beside the working directory, so a test can list what
    // the program wrote there without finding the log among it.
    workDir_ = tempRoot_ + "/work";
    logPath_ = tempRoot_ + "/output.log";
    fs::create_directory(workDir_);
    if (options.withShaders) {
        for (const std::string& name : shaderFileNames())
            fs::copy_file(fs::path(FRAKTALE_BINARY_DIR) / name, fs::path(workDir_) / name);
    }

    const int log = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log < 0) throw std::runtime_error("cannot create " + logPath_);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, log, 1);
    posix_spawn_file_actions_adddup2(&actions, log, 2);
    posix_spawn_file_actions_addclose(&actions, log);
    posix_spawn_file_actions_addchdir_np(&actions, workDir_.c_str());
    // A group of its own, so that the clean-up also reaches what the
    // program starts itself (dialogs).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    const std::string binary = std::string(FRAKTALE_BINARY_DIR) + "/fraktale";
    std::vector<std::string> env = childEnvironment(options);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(binary.c_str()), nullptr};

    const int rc = posix_spawn(&pid_, binary.c_str(), &actions, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(log);
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + binary + ": " + std::strerror(rc));
    }
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
            const double end = now() + 10;
            while ((x.countWindows("Mandelbrot Set") || x.countWindows("Julia Set")) && now() < end) pause(0.02);
        } catch (...) {
        }
    }
    std::error_code ignored;
    if (!tempRoot_.empty()) fs::remove_all(tempRoot_, ignored);
}

std::string Program::output() const
{
    std::ifstream in(logPath_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Program::waitForOutput(const std::string& text, double timeoutSeconds) const
{
    const double end = now() + timeoutSeconds;
    do {
        if (output().find(text) != std::string::npos) return true;
        pause(0.03);
    } while (now() < end);
    return false;
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

std::optional<int> Program::waitForExit(double timeoutSeconds)
{
    const double end = now() + timeoutSeconds;
    while (running() && now() < end) pause(0.02);
    return status_;
}

bool Program::waitUntilReady(XConnection& x, double timeoutSeconds, std::string* why)
{
    const double end = now() + timeoutSeconds;
    std::string missing;
    do {
        if (!running()) {
            missing = "the program ended with status " + std::to_string(*status_);
            break;
        }
        mandelbrot_ = x.findWindow("Mandelbrot Set");
        julia_ = x.findWindow("Julia Set");
        if (!mandelbrot_ || !julia_) {
            missing = "a window is not mapped";
        } else if (x.countWindows("Mandelbrot Set") > 1 || x.countWindows("Julia Set") > 1) {
            // A killed viewer's windows linger until the server notices.
            missing = "windows of another viewer are still on the screen";
        } else if (!showsEditorFrame(x.capture(mandelbrot_)) || !showsEditorFrame(x.capture(julia_))) {
            missing = "a window has not been drawn";
        } else if (!x.waitForSettle(mandelbrot_, end - now()) || !x.waitForSettle(julia_, end - now())) {
            missing = "a window kept changing";
        } else {
            return true;
        }
        pause(0.05);
    } while (now() < end);
    if (why) *why = missing + "\noutput so far:\n" + output();
    return false;
}

void Program::typeKey(XConnection& x, WindowId w, unsigned long keysym) { x.typeKey(w, keysym); }

double Program::cpuSeconds() const
{
    std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return -1;
    // The command name may hold spaces and parentheses; the fields after
    // it start behind the last ')'. utime and stime are fields 14 and 15.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

}  // namespace fx
