// fraktale_bench: how fast the viewer's fragment programs draw an 800x800
// picture, how much work they do for it, how much CPU the viewer takes while
// nothing happens, and (with --wheel) how long a wheel notch takes to show.
// This file reads the options and runs the parts in order; run it under an
// X display (Xvfb is fine).
#include "app/fractal_window.h"
#include "app/input.h"
#include "bench/bench.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#ifndef FRAKTALE_SOURCE_DIR
#define FRAKTALE_SOURCE_DIR "."
#endif

namespace bench {
namespace {

void usage()
{
    std::printf(
        "usage: fraktale_bench [--passes N] [--viewer PATH] [--glsl DIR]\n"
        "                      [--no-passes] [--no-idle] [--wheel [NOTCHES]] [--idle-seconds S]\n"
        "                      [--candidate FILE]... [--view TEXT] [--only TEXT]\n"
        "  --passes N      timed passes per program and view (default 15)\n"
        "  --viewer PATH   fraktale binary for the idle and wheel figures\n"
        "                  (default: next to this binary or one folder up)\n"
        "  --glsl DIR      folder with the .glsl files (default: the build folder,\n"
        "                  else the source glsl/ folder)\n"
        "  --wheel [N]     also time N injected wheel notches in the running viewer\n"
        "  --candidate F   also time the fragment program in file F (repeatable), to try\n"
        "                  a change before making it: at the Julia views if it declares\n"
        "                  \"cr\", else at the Mandelbrot views; NAME_vertex.glsl beside\n"
        "                  NAME_fragment.glsl is its vertex program\n"
        "  --view TEXT     only the views whose name holds TEXT\n"
        "  --only TEXT     only the programs whose name holds TEXT, no CPU counts\n"
        "                  (for instruction counts under valgrind)\n");
}

// The option's value, or null when it is missing.
const char* valueOf(int argc, char** argv, int& i)
{
    return i + 1 < argc ? argv[++i] : nullptr;
}

bool parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = nullptr;
        if (a == "--passes" && (v = valueOf(argc, argv, i))) {
            o.passes = std::max(1, std::atoi(v));
        } else if (a == "--viewer" && (v = valueOf(argc, argv, i))) {
            o.viewer = v;
        } else if (a == "--glsl" && (v = valueOf(argc, argv, i))) {
            o.glslDir = v;
        } else if (a == "--idle-seconds" && (v = valueOf(argc, argv, i))) {
            o.idleSeconds = std::max(0.5, std::atof(v));
        } else if (a == "--candidate" && (v = valueOf(argc, argv, i))) {
            o.candidates.push_back(v);
        } else if (a == "--view" && (v = valueOf(argc, argv, i))) {
            o.view = v;
        } else if (a == "--only" && (v = valueOf(argc, argv, i))) {
            o.only = v;
        } else if (a == "--no-passes") {
            o.runPasses = false;
        } else if (a == "--no-idle") {
            o.runIdle = false;
        } else if (a == "--wheel") {
            o.runWheel = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') o.wheelNotches = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--help" || a == "-h") {
            usage();
            std::exit(0);
        } else {
            std::fprintf(stderr, "unknown option, or one without its value: %s\n", a.c_str());
            usage();
            return false;
        }
    }
    return true;
}

std::string executableDir()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    const std::string s(path, static_cast<size_t>(n));
    const size_t slash = s.rfind('/');
    return slash == std::string::npos ? "." : s.substr(0, slash);
}

std::string findGlslDir(const Options& o)
{
    if (!o.glslDir.empty()) return o.glslDir;
    const std::string exe = executableDir();
    // The top-level CMakeLists copies the .glsl files into the build root;
    // this binary sits one folder below it.
    for (const std::string& dir : {exe + "/..", exe, std::string(FRAKTALE_SOURCE_DIR) + "/glsl"}) {
        if (access((dir + "/mandelbrot_fragment.glsl").c_str(), R_OK) == 0) return dir;
    }
    return ".";
}

std::string findViewer(const Options& o)
{
    if (!o.viewer.empty()) return o.viewer;
    const std::string exe = executableDir();
    for (const std::string& path : {exe + "/fraktale", exe + "/../fraktale"}) {
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return "";
}

// Both colour tables, built and uploaded by the viewer's own code in the
// bench's one context, then the passes.
bool runPasses(const Options& o, int window)
{
    mandelbrotWindow.windowId = window;
    juliaWindow.windowId = window;
    mandelbrotWindow.transferFunction.initialise(1, editorMenu);
    juliaWindow.transferFunction.initialise(2, editorMenu);
    const bool ok = runPassBenchmark(o, findGlslDir(o));
    mandelbrotWindow.transferFunction.releaseTexture();
    juliaWindow.transferFunction.releaseTexture();
    return ok;
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv)
{
    using namespace bench;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    glutInit(&argc, argv);
    Options o;
    if (!parseOptions(argc, argv, o)) return 2;

    // A window only for its GL context; the passes draw offscreen.
    glutInitWindowSize(passSize, passSize);
    glutInitWindowPosition(0, 0);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    const int window = glutCreateWindow("fraktale bench");
    if (glewInit() != GLEW_OK) {
        std::printf("GLEW error\n");
        return 1;
    }
    std::printf("GL_RENDERER: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::printf("GL_VERSION: %s\n", reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    std::printf("cores online: %ld\n", sysconf(_SC_NPROCESSORS_ONLN));
    if (const char* threads = std::getenv("LP_NUM_THREADS")) std::printf("LP_NUM_THREADS: %s\n", threads);

    const bool ok = !o.runPasses || runPasses(o, window);
    // Out of the way of the viewer's windows, whose pixels may be grabbed.
    glutDestroyWindow(window);
    glutMainLoopEvent();

    if (!o.runIdle && !o.runWheel) return ok ? 0 : 1;
    const std::string viewer = findViewer(o);
    if (viewer.empty()) {
        std::printf("viewer: not found (give --viewer PATH)\n");
    } else {
        runViewerBenchmarks(o, viewer);
    }
    return ok ? 0 : 1;
}
