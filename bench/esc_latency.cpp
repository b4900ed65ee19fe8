// Esc while the viewer draws a deep picture: the viewer is started at the
// minibrot view past double precision (seconds of drawing on a software
// renderer), given a second to be in the middle of it, and sent Esc; the
// time until the process has ended is the figure. Needs an X display.
#include "bench/deep_bench.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace deepbench {
namespace {

Window findWindow(Display* d, Window w, const char* title, int depth)
{
    char* name = nullptr;
    if (XFetchName(d, w, &name) && name) {
        const bool match = std::strcmp(name, title) == 0;
        XFree(name);
        if (match) return w;
    }
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (depth < 3 && XQueryTree(d, w, &root, &parent, &children, &count))
        for (unsigned i = 0; i < count && !found; ++i) found = findWindow(d, children[i], title, depth + 1);
    if (children) XFree(children);
    return found;
}

pid_t startAtMinibrot(const std::string& viewer)
{
    const DeepView& v = deepViews()[3];
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string dir = viewer.substr(0, viewer.rfind('/') + 1);
        if (chdir(dir.c_str()) != 0) _exit(126);
        if (FILE* null = std::fopen("/dev/null", "w")) dup2(fileno(null), 1), dup2(fileno(null), 2);
        execl(viewer.c_str(), "fraktale", "--mandelbrot", v.re, v.im, v.extent, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

double escOnce(Display* d, const std::string& viewer)
{
    const pid_t pid = startAtMinibrot(viewer);
    Window w = 0;
    for (int k = 0; k < 500 && !(w = findWindow(d, DefaultRootWindow(d), "Mandelbrot Set", 0)); ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto start = Clock::now();
    XSetInputFocus(d, w, RevertToPointerRoot, CurrentTime);
    const KeyCode code = XKeysymToKeycode(d, XK_Escape);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XSync(d, False);
    while (waitpid(pid, nullptr, WNOHANG) == 0 && msSince(start) < 10000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double ms = msSince(start);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, WNOHANG);
    return w ? ms : -1;
}

}  // namespace

void runEscLatency(const Options& o)
{
    Display* d = XOpenDisplay(nullptr);
    if (!d) return void(std::printf("\nEsc: no X display\n"));
    std::vector<double> times;
    for (int k = 0; k < o.repeats; ++k) times.push_back(escOnce(d, o.viewer));
    std::printf("\nEsc one second into the minibrot picture, until the viewer has ended: median %.0f ms, most %.0f ms (%d runs)\n",
                median(times), *std::max_element(times.begin(), times.end()), o.repeats);
    XCloseDisplay(d);
}

}  // namespace deepbench
