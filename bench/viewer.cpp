// The running viewer, started as a user starts it: its CPU share while
// nothing happens, and how long an injected wheel notch takes to change the
// Mandelbrot window's picture (its handling, its pass and the swap). The
// latency is found by polling the window's pixels, so it is at best as fine
// as one XGetImage.
#include "bench/bench.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace bench {
namespace {

pid_t startViewer(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    const pid_t pid = fork();
    if (pid == 0) {
        // From its own folder, where its shaders are, as a user starts it.
        if (chdir(dir.c_str()) != 0) _exit(126);
        if (FILE* devnull = std::fopen("/dev/null", "w")) dup2(fileno(devnull), STDOUT_FILENO);
        execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

void stopViewer(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

bool alive(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

// User plus system time of the process and all its threads, in seconds.
double cpuSeconds(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE* f = std::fopen(path, "r");
    if (!f) return -1;
    char buffer[2048];
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = '\0';
    // The command name may hold spaces; the fields start after its ')'.
    const char* p = std::strrchr(buffer, ')');
    if (!p) return -1;
    unsigned long long utime = 0, stime = 0;
    // Fields 3 to 13 skipped, then utime (14) and stime (15).
    if (std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2) return -1;
    return double(utime + stime) / sysconf(_SC_CLK_TCK);
}

double measureIdleShare(pid_t pid, double seconds)
{
    const double before = cpuSeconds(pid);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double after = cpuSeconds(pid);
    const double wall = millisecondsSince(start) / 1000.0;
    if (before < 0 || after < 0) return -1;
    return (after - before) / wall;
}

Window findWindowByName(Display* display, Window parent, const char* name)
{
    char* windowName = nullptr;
    if (XFetchName(display, parent, &windowName) && windowName) {
        const bool match = std::strcmp(windowName, name) == 0;
        XFree(windowName);
        if (match) return parent;
    }
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) found = findWindowByName(display, children[i], name);
    if (children) XFree(children);
    return found;
}

Window waitForWindow(Display* display, const char* name)
{
    Window window = 0;
    for (int i = 0; i < 200 && !window; ++i) {
        window = findWindowByName(display, DefaultRootWindow(display), name);
        if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return window;
}

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

// A window's pixels as raw image bytes: only ever compared with another grab
// of the same window, so no conversion.
struct Grabber {
    Display* display;
    Window window;
    int width, height;
    bool grab(std::vector<char>& out) const
    {
        XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
        if (!image) return false;
        out.assign(image->data, image->data + size_t(image->bytes_per_line) * image->height);
        XDestroyImage(image);
        return true;
    }
    // Waits until the picture stays unchanged for quietMs (at most 20 s).
    void settle(double quietMs) const
    {
        std::vector<char> previous, current;
        grab(previous);
        auto quietSince = Clock::now();
        const auto start = Clock::now();
        while (millisecondsSince(quietSince) < quietMs && millisecondsSince(start) < 20000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            grab(current);
            if (current != previous) previous.swap(current), quietSince = Clock::now();
        }
    }
    // Milliseconds from a wheel notch to a changed picture; -1: none in 20 s.
    double notch(unsigned button) const
    {
        std::vector<char> before, current;
        grab(before);
        const auto start = Clock::now();
        XTestFakeButtonEvent(display, button, True, 0);
        XTestFakeButtonEvent(display, button, False, 0);
        XFlush(display);
        while (millisecondsSince(start) < 20000) {
            if (!grab(current)) return -1;
            if (current != before) return millisecondsSince(start);
        }
        return -1;
    }
};

// Alternates in and out so the view, and the pass's cost, stay near the
// default.
void measureWheelLatency(pid_t pid, int notches, Display* display)
{
    const Window window = waitForWindow(display, "Mandelbrot Set");
    XWindowAttributes attributes;
    if (!window || !XGetWindowAttributes(display, window, &attributes)) {
        std::printf("wheel latency: Mandelbrot window not found\n");
        return;
    }
    const Grabber g{display, window, attributes.width, attributes.height};
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), g.width / 2, g.height / 2, &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, 0);
    XSync(display, False);
    g.settle(1000);
    std::vector<double> latencies;
    for (int i = 0; i < notches && alive(pid); ++i) {
        const unsigned button = i % 2 == 0 ? 4 : 5;  // X buttons 4/5: wheel up (in) / down (out)
        const double latency = g.notch(button);
        std::printf("wheel notch %d (%s) to changed picture ms: %.1f\n", i + 1, button == 4 ? "in" : "out", latency);
        if (latency >= 0) latencies.push_back(latency);
        // A notch is a press and a release, each a zoom step; let both passes
        // land before the next notch.
        g.settle(std::max(500.0, 3 * latency));
    }
    std::printf("wheel notch to changed picture median ms: %.1f\n", median(latencies));
}

void measureWheelLatency(pid_t pid, int notches)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::printf("wheel latency: no X display\n");
        return;
    }
    XSetErrorHandler(ignoreXErrors);
    int eventBase, errorBase, major, minor;
    if (XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        measureWheelLatency(pid, notches, display);
    } else {
        std::printf("wheel latency: no XTest extension\n");
    }
    XCloseDisplay(display);
}

}  // namespace

void runViewerBenchmarks(const Options& o, const std::string& viewer)
{
    std::printf("viewer: %s\n", viewer.c_str());
    const pid_t pid = startViewer(viewer);
    if (pid <= 0) {
        std::printf("viewer: could not start\n");
        return;
    }
    // Its first frames: both windows drawn once, programs compiled.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    if (!alive(pid)) {
        std::printf("viewer: exited during start-up\n");
        return;
    }
    if (o.runIdle) {
        std::printf("viewer idle measured over s: %.1f\n", o.idleSeconds);
        std::printf("viewer idle CPU percent of one core: %.2f\n", 100 * measureIdleShare(pid, o.idleSeconds));
    }
    if (o.runWheel) measureWheelLatency(pid, o.wheelNotches);
    stopViewer(pid);
}

}  // namespace bench
