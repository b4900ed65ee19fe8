// fraktale_bench: how fast the viewer's fragment programs draw an 800x800
// picture, how much work they do for it, how much CPU the viewer takes while
// nothing happens, and (with --wheel) how long a wheel notch takes to show.
//
// The passes are drawn with the viewer's own programs, built from the .glsl
// files through the viewer's loader, with the display pass's projection, quad
// and texture coordinates and the viewer's colour tables, into an offscreen
// framebuffer, each pass waited for with glFinish. Beside them runs a
// textbook escape-time program (a plain loop of 256 steps, no interior test)
// as the yardstick the viewer has to beat, and the same loop left at escape
// as a stricter one. The programs take turns pass by pass, so a shared
// machine's changing load does not favour any.
//
// Iteration counts are not read from the GPU: they come from a float CPU
// reference of each program's arithmetic over the same pixel centres. The
// product's iteration limit depends on the screen-space derivatives of the
// complex coordinate, so that one is read back from the GPU through a probe
// program made of the product's own iterationLimit() function.
//
// --candidate FILE times another Mandelbrot fragment program beside the two,
// so a change to the shader can be measured before it is made.
//
// Run it under an X display (Xvfb is fine); it prints one figure per line.

#include "app/fractal_window.h"
#include "app/input.h"
#include "shaders/shader_set.h"
#include "tests/support/shader_arithmetic.h"
#include "transfer/transfer_function.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glu.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#ifndef FRAKTALE_SOURCE_DIR
#define FRAKTALE_SOURCE_DIR "."
#endif

namespace {

constexpr int passSize = 800;  // the viewer's default window, both axes
constexpr int pixelCount = passSize * passSize;

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

template <typename T>
double median(std::vector<T> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : 0.5 * (values[mid - 1] + values[mid]);
}

// ---------------------------------------------------------------- options

struct Options {
    int passes = 15;
    std::string viewer;    // path of the fraktale binary
    std::string glslDir;   // folder holding the six .glsl files
    bool runPasses = true;
    bool runIdle = true;
    bool runWheel = false;
    int wheelNotches = 6;
    double idleSeconds = 3.0;
    std::vector<std::string> candidates;  // Mandelbrot fragment programs to time beside the product's
};

void usage()
{
    std::printf(
        "usage: fraktale_bench [--passes N] [--viewer PATH] [--glsl DIR]\n"
        "                      [--no-passes] [--no-idle] [--wheel [NOTCHES]] [--idle-seconds S]\n"
        "  --passes N      timed passes per program and view (default 15)\n"
        "  --viewer PATH   fraktale binary for the idle and wheel figures\n"
        "                  (default: next to this binary or one folder up)\n"
        "  --glsl DIR      folder with the .glsl files (default: the build folder,\n"
        "                  else the source glsl/ folder)\n"
        "  --wheel [N]     also time N injected wheel notches in the running viewer\n"
        "  --candidate F   also time the Mandelbrot fragment program in file F at the\n"
        "                  Mandelbrot views (repeatable), to try a change before making it\n");
}

bool parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs %s\n", a.c_str(), what);
                return nullptr;
            }
            return argv[++i];
        };
        if (a == "--passes") {
            const char* v = next("a count");
            if (!v) return false;
            o.passes = std::max(1, std::atoi(v));
        } else if (a == "--viewer") {
            const char* v = next("a path");
            if (!v) return false;
            o.viewer = v;
        } else if (a == "--glsl") {
            const char* v = next("a folder");
            if (!v) return false;
            o.glslDir = v;
        } else if (a == "--idle-seconds") {
            const char* v = next("seconds");
            if (!v) return false;
            o.idleSeconds = std::max(0.5, std::atof(v));
        } else if (a == "--candidate") {
            const char* v = next("a file");
            if (!v) return false;
            o.candidates.push_back(v);
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
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
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
    path[n] = '\0';
    std::string s(path);
    const size_t slash = s.rfind('/');
    return slash == std::string::npos ? "." : s.substr(0, slash);
}

bool isFile(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

std::string findGlslDir(const Options& o)
{
    if (!o.glslDir.empty()) return o.glslDir;
    const std::string exe = executableDir();
    // The top-level CMakeLists copies the .glsl files into the build root;
    // this binary sits one folder below it.
    for (const std::string& dir : {exe + "/..", exe, std::string(FRAKTALE_SOURCE_DIR) + "/glsl"}) {
        if (isFile(dir + "/mandelbrot_fragment.glsl")) return dir;
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

// ---------------------------------------------------------------- views

// Bounds are kept as floats, as FractalWindow keeps them, so the quad gets
// exactly the texture coordinates the viewer would give it.
struct View {
    const char* name;
    bool julia;
    float left, right, bottom, top;
    float cr, ci;
};

std::vector<View> benchmarkViews()
{
    const float zoomHalf = 0.5e-3f;
    return {
        {"mandelbrot default", false, -2.0f, 1.0f, -1.5f, 1.5f, 0, 0},
        {"julia default c=0", true, -2.0f, 2.0f, -2.0f, 2.0f, 0.0f, 0.0f},
        {"julia c=-1 (period-2 bulb)", true, -2.0f, 2.0f, -2.0f, 2.0f, -1.0f, 0.0f},
        {"julia c=-0.8+0.156i", true, -2.0f, 2.0f, -2.0f, 2.0f, -0.8f, 0.156f},
        {"mandelbrot zoom 1e-3 at -0.745+0.11i", false, -0.745f - zoomHalf, -0.745f + zoomHalf, 0.11f - zoomHalf,
         0.11f + zoomHalf, 0, 0},
    };
}

// The complex coordinate at the centre of pixel (x, y), y counted from the
// bottom as GL rows are; the rasteriser interpolates it linearly in float.
inline float pixelCoordinate(float lo, float hi, int i)
{
    return static_cast<float>(double(lo) + (double(hi) - double(lo)) * (i + 0.5) / passSize);
}

// ---------------------------------------------------------------- GL programs

// The textbook shader: a plain loop of exactly 256 steps, no escape test to
// leave it early and no interior test; it counts the steps z stayed within
// radius 2 and colours by that count over 256. The clamp keeps escaped orbits
// finite, and at |c| <= 2 an orbit that left radius 2 never comes back, so
// the count is the escape count of the early-exit loop.
//
// The early-exit loop, a stricter yardstick: the same loop left as soon as
// the point escapes (at most 256 steps, bailout radius 2), still without an
// interior test.
//
// Both for either fractal: the header picks where z starts and what c is.
std::string yardstickSource(bool julia, bool earlyExit)
{
    std::string source = "#version 120\nuniform sampler1D colourTable;\n";
    source += julia ? "uniform float cr;\nuniform float ci;\nvoid main()\n{\n"
                      "    vec2 c = vec2(cr, ci);\n    vec2 z = gl_TexCoord[0].st;\n"
                    : "void main()\n{\n    vec2 c = gl_TexCoord[0].st;\n    vec2 z = vec2(0.0);\n";
    source += "    float n = 0.0;\n"
              "    for (int i = 0; i < 256; ++i) {\n"
              "        z = vec2(z.x * z.x - z.y * z.y, 2.0 * z.x * z.y) + c;\n";
    source += earlyExit ? "        if (dot(z, z) > 4.0) break;\n"
                          "        n += 1.0;\n"
                        : "        n += dot(z, z) <= 4.0 ? 1.0 : 0.0;\n"
                          "        z = clamp(z, -4.0, 4.0);\n";
    source += "    }\n"
              "    gl_FragColor = vec4(texture1D(colourTable, n / 256.0).rgb, 1.0);\n"
              "}\n";
    return source;
}

// One table lookup per pixel and nothing else: what any pass costs here
// before a single iteration.
const char* flatFragment = R"(#version 120
uniform sampler1D colourTable;
void main()
{
    gl_FragColor = vec4(texture1D(colourTable, gl_TexCoord[0].s).rgb, 1.0);
}
)";

bool linked(GLhandleARB program)
{
    GLint ok = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &ok);
    return ok != 0;
}

void printProgramLog(GLhandleARB program)
{
    GLint length = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    if (length <= 1) return;
    std::vector<char> log(static_cast<size_t>(length) + 1, '\0');
    glGetInfoLogARB(program, length, nullptr, log.data());
    std::printf("program log: %s\n", log.data());
}

GLhandleARB compileProgram(const std::string& vertexSource, const std::string& fragmentSource)
{
    GLhandleARB program = glCreateProgramObjectARB();
    for (const auto& [type, text] : {std::pair<GLenum, const std::string*>{GL_VERTEX_SHADER_ARB, &vertexSource},
                                     {GL_FRAGMENT_SHADER_ARB, &fragmentSource}}) {
        GLhandleARB shader = glCreateShaderObjectARB(type);
        const GLcharARB* source = text->c_str();
        GLint length = static_cast<GLint>(text->size());
        glShaderSourceARB(shader, 1, &source, &length);
        glCompileShaderARB(shader);
        printShaderInfoLog(shader);
        glAttachObjectARB(program, shader);
    }
    glLinkProgramARB(program);
    if (!linked(program)) printProgramLog(program);
    return program;
}

// The text of `float NAME(...) { ... }` out of a shader source, braces
// matched; empty when the function is not there.
std::string extractFunction(const std::string& source, const std::string& head)
{
    const size_t start = source.find(head);
    if (start == std::string::npos) return "";
    size_t brace = source.find('{', start);
    if (brace == std::string::npos) return "";
    int depth = 0;
    for (size_t i = brace; i < source.size(); ++i) {
        if (source[i] == '{') ++depth;
        if (source[i] == '}' && --depth == 0) return source.substr(start, i + 1 - start);
    }
    return "";
}

// A program that writes the product's per-fragment iteration limit into the
// red channel of a float target, from the product's own iterationLimit().
GLhandleARB limitProbe(const std::string& vertexSource, const std::string& productFragment)
{
    const std::string function = extractFunction(productFragment, "float iterationLimit(");
    if (function.empty()) return 0;
    std::string source = "#version 120\n";
    // The product's function may use constants declared above it.
    size_t pos = 0;
    while ((pos = productFragment.find("const ", pos)) != std::string::npos) {
        const size_t end = productFragment.find(';', pos);
        if (end == std::string::npos) break;
        source += productFragment.substr(pos, end + 1 - pos) + "\n";
        pos = end + 1;
    }
    source += function;
    source += "\nvoid main() { gl_FragColor = vec4(floor(iterationLimit(gl_TexCoord[0].st)), 0.0, 0.0, 1.0); }\n";
    GLhandleARB program = compileProgram(vertexSource, source);
    return linked(program) ? program : 0;
}

struct Target {
    GLuint framebuffer = 0;
    GLuint colour = 0;
};

Target makeTarget(GLint internalFormat, GLenum type)
{
    Target t;
    glGenTextures(1, &t.colour);
    glBindTexture(GL_TEXTURE_2D, t.colour);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, passSize, passSize, 0, GL_RGBA, type, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffers(1, &t.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, t.framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t.colour, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        std::printf("framebuffer incomplete (format 0x%x)\n", internalFormat);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return t;
}

// One display pass as app/display.cpp draws it, into `target`, waited for.
void drawPass(const Target& target, GLhandleARB program, GLuint table, const View& v)
{
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glViewport(0, 0, passSize, passSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, passSize, 0, passSize);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT);
    glUseProgramObjectARB(program);
    glBindTexture(GL_TEXTURE_1D, table);
    if (v.julia) {
        glUniform1fARB(glGetUniformLocationARB(program, "cr"), v.cr);
        glUniform1fARB(glGetUniformLocationARB(program, "ci"), v.ci);
    }
    glBegin(GL_QUADS);
    glTexCoord2d(v.left, v.bottom);
    glVertex2f(0, 0);
    glTexCoord2d(v.right, v.bottom);
    glVertex2f(static_cast<float>(passSize), 0);
    glTexCoord2d(v.right, v.top);
    glVertex2f(static_cast<float>(passSize), static_cast<float>(passSize));
    glTexCoord2d(v.left, v.top);
    glVertex2f(0, static_cast<float>(passSize));
    glEnd();
    glBindTexture(GL_TEXTURE_1D, 0);
    glUseProgramObjectARB(0);
    glFinish();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

// Milliseconds per pass for each program. The programs take turns pass by
// pass, so a load that comes and goes on a shared machine falls on all of
// them alike and their ratios stay fair.
std::vector<std::vector<double>> timePasses(const Target& target, const std::vector<GLhandleARB>& programs,
                                            GLuint table, const View& v, int passes)
{
    // The first draws of a program compile its rasteriser variant; untimed.
    for (GLhandleARB program : programs) {
        drawPass(target, program, table, v);
        drawPass(target, program, table, v);
    }
    std::vector<std::vector<double>> ms(programs.size());
    for (int i = 0; i < passes; ++i) {
        for (size_t k = 0; k < programs.size(); ++k) {
            const auto start = Clock::now();
            drawPass(target, programs[k], table, v);
            ms[k].push_back(millisecondsSince(start));
        }
    }
    return ms;
}

std::vector<unsigned char> readPicture(const Target& target)
{
    std::vector<unsigned char> pixels(static_cast<size_t>(pixelCount) * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, passSize, passSize, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return pixels;
}

// Pixels whose colour differs by more than `tolerance` in some channel.
long differingPixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int tolerance)
{
    long count = 0;
    for (int i = 0; i < pixelCount; ++i) {
        for (int k = 0; k < 3; ++k) {
            if (std::abs(int(a[4 * i + k]) - int(b[4 * i + k])) > tolerance) {
                ++count;
                break;
            }
        }
    }
    return count;
}

// Distinct colours of a picture: a coarse but direct measure of how much of
// the escape structure reaches the screen.
long distinctColours(const std::vector<unsigned char>& pixels)
{
    std::vector<bool> seen(1u << 24, false);
    long count = 0;
    for (int i = 0; i < pixelCount; ++i) {
        const uint32_t rgb = (uint32_t(pixels[4 * i]) << 16) | (uint32_t(pixels[4 * i + 1]) << 8) | pixels[4 * i + 2];
        if (!seen[rgb]) {
            seen[rgb] = true;
            ++count;
        }
    }
    return count;
}

// ---------------------------------------------------------------- CPU references

// The Julia program's stop discs about an attracting fixed point or 2-cycle
// of z^2 + c (radius 0: none), in double: the counts only need the rounds
// after which an orbit is found inside.
struct StopDiscs {
    std::complex<double> centre[2];
    double radius[2] = {0, 0};
    bool contain(double x, double y) const
    {
        for (int k = 0; k < 2; ++k)
            if (std::abs(std::complex<double>(x, y) - centre[k]) < radius[k]) return true;
        return false;
    }
};

StopDiscs stopDiscs(double cr, double ci)
{
    const std::complex<double> c(cr, ci);
    StopDiscs d;
    const std::complex<double> a = 0.5 * (1.0 - std::sqrt(1.0 - 4.0 * c));
    const double m = 2.0 * std::abs(a);
    if (m < 1.0) {
        d.centre[0] = d.centre[1] = a;
        if (m < 1.0 - 1e-4) d.radius[0] = d.radius[1] = 0.5 * (1.0 - m);
        return d;
    }
    const std::complex<double> root = std::sqrt(-3.0 - 4.0 * c);
    d.centre[0] = 0.5 * (-1.0 + root);
    d.centre[1] = 0.5 * (-1.0 - root);
    const double A = 2.0 * std::abs(d.centre[0]), B = 2.0 * std::abs(d.centre[1]);
    if (A * B >= 1.0 - 1e-4) return d;
    d.radius[0] = 0.5 * (1.0 - A * B) / (A * A + 2.0 * A + B + 1.0);
    d.radius[1] = 0.5 * (1.0 - A * B) / (B * B + 2.0 * B + A + 1.0);
    return d;
}

// The product's limit formula with the exact (unrounded) pixel footprint;
// used where the GPU probe is not available.
float nominalLimit(const View& v)
{
    return fx::iterationLimit(std::max((v.right - v.left) / passSize, (v.top - v.bottom) / passSize));
}

struct Counts {
    long long iterations = 0;       // z <- z^2 + c steps over the whole pass
    long long blockIterations = 0;  // the same with every 4x4 block at its slowest pixel
    long escaped = 0;               // pixels that leave the bailout within the limit
    long long atLimit = 0;          // steps spent on pixels that never leave it
};

// A software rasteriser runs neighbouring fragments in SIMD lanes, and a
// loop runs until its last lane is done; charging each 4x4 block its
// slowest pixel models that cost.
long long blockCost(const std::vector<int>& perPixel)
{
    long long total = 0;
    for (int by = 0; by < passSize; by += 4) {
        for (int bx = 0; bx < passSize; bx += 4) {
            int slowest = 0;
            for (int y = by; y < by + 4; ++y) {
                for (int x = bx; x < bx + 4; ++x) slowest = std::max(slowest, perPixel[size_t(y) * passSize + x]);
            }
            total += 16LL * slowest;
        }
    }
    return total;
}

// The product's loops (mandelbrot_fragment.glsl, julia_fragment.glsl).
int productIterations(const View& v, float sx, float sy, float limit, bool& escaped)
{
    using fx::bailout;
    float zx, zy, cx, cy;
    if (v.julia) {
        zx = sx, zy = sy, cx = v.cr, cy = v.ci;
        escaped = zx * zx + zy * zy > bailout;
    } else {
        if (fx::inCardioidOrBulb(sx, sy)) {
            escaped = false;
            return 0;
        }
        zx = 0, zy = 0, cx = sx, cy = sy;
        escaped = false;
    }
    const StopDiscs discs = v.julia ? stopDiscs(v.cr, v.ci) : StopDiscs{};
    float n = 0;
    while (!escaped && n < limit) {
        const float x = zx * zx - zy * zy + cx;
        zy = 2.0f * zx * zy + cy;
        zx = x;
        n += 1.0f;
        escaped = zx * zx + zy * zy > bailout;
        if (!escaped && std::fmod(n, 4.0f) == 0.0f && discs.contain(zx, zy)) break;
    }
    return static_cast<int>(n);
}

// The early-exit loop: the count n it colours with is one less than the steps
// it took when it escaped.
int earlyExitIterations(const View& v, float sx, float sy, bool& escaped)
{
    float zx = v.julia ? sx : 0.0f, zy = v.julia ? sy : 0.0f;
    const float cx = v.julia ? v.cr : sx, cy = v.julia ? v.ci : sy;
    for (int n = 0; n < 256; ++n) {
        const float x = zx * zx - zy * zy + cx;
        zy = 2.0f * zx * zy + cy;
        zx = x;
        if (zx * zx + zy * zy > 4.0f) {
            escaped = true;
            return n + 1;
        }
    }
    escaped = false;
    return 256;
}

// Whether the point escapes at all, in double with a far higher limit and a
// cycle check so interior points end early: the detail there is to show.
bool deepEscapes(const View& v, double sx, double sy)
{
    constexpr int deepLimit = 100000;
    double zx, zy, cx, cy;
    if (v.julia) {
        zx = sx, zy = sy, cx = v.cr, cy = v.ci;
    } else {
        const double xq = sx - 0.25, q = xq * xq + sy * sy;
        if (q * (q + xq) <= 0.25 * sy * sy) return false;
        if ((sx + 1) * (sx + 1) + sy * sy <= 0.0625) return false;
        zx = zy = 0, cx = sx, cy = sy;
    }
    double savedX = zx, savedY = zy;
    int nextSave = 16;
    for (int i = 1; i <= deepLimit; ++i) {
        const double x = zx * zx - zy * zy + cx;
        zy = 2 * zx * zy + cy;
        zx = x;
        if (zx * zx + zy * zy > 256.0) return true;
        if (std::fabs(zx - savedX) < 1e-15 && std::fabs(zy - savedY) < 1e-15) return false;
        if (i == nextSave) {
            savedX = zx, savedY = zy;
            nextSave *= 2;
        }
    }
    return false;
}

// ---------------------------------------------------------------- pass benchmark

struct Programs {
    GLhandleARB mandelbrot = 0, julia = 0;
    GLhandleARB textbookMandelbrot = 0, textbookJulia = 0;
    GLhandleARB earlyExitMandelbrot = 0, earlyExitJulia = 0;
    std::vector<std::pair<std::string, GLhandleARB>> candidates;
    GLhandleARB mandelbrotLimit = 0, juliaLimit = 0;
};

struct ViewResult {
    double productMs = 0, textbookMs = 0, earlyExitMs = 0;
    long productEscaped = 0, textbookEscaped = 0;
};

void reportProgram(const char* tag, const char* who, const std::vector<double>& times, const Counts& c, long colours)
{
    const double ms = median(times);
    const auto [fast, slow] = std::minmax_element(times.begin(), times.end());
    std::printf("[%s] %s median ms per pass: %.2f\n", tag, who, ms);
    std::printf("[%s] %s fastest ms per pass: %.2f\n", tag, who, *fast);
    std::printf("[%s] %s slowest ms per pass: %.2f\n", tag, who, *slow);
    std::printf("[%s] %s iterations per pass (CPU float reference): %lld\n", tag, who, c.iterations);
    std::printf("[%s] %s iterations per pixel: %.1f\n", tag, who, double(c.iterations) / pixelCount);
    std::printf("[%s] %s iterations per second: %.3g\n", tag, who, c.iterations / (ms / 1000.0));
    std::printf("[%s] %s iterations per pass on pixels that reach the limit: %lld\n", tag, who, c.atLimit);
    std::printf("[%s] %s iterations per pass with each 4x4 block at its slowest pixel: %lld\n", tag, who,
                c.blockIterations);
    std::printf("[%s] %s megapixels per second: %.2f\n", tag, who, pixelCount / (ms / 1000.0) / 1e6);
    std::printf("[%s] %s escaping pixels resolved: %ld\n", tag, who, c.escaped);
    std::printf("[%s] %s distinct colours on screen: %ld\n", tag, who, colours);
}

// The product's limit per pixel, as its own derivatives give it.
std::vector<float> productLimits(const View& v, GLhandleARB probe, GLuint table, const Target& floatTarget)
{
    std::vector<float> limits(pixelCount, nominalLimit(v));
    if (!probe) return limits;
    drawPass(floatTarget, probe, table, v);
    glBindFramebuffer(GL_FRAMEBUFFER, floatTarget.framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, passSize, passSize, GL_RED, GL_FLOAT, limits.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return limits;
}

ViewResult benchmarkView(const View& v, const Programs& p, const Target& colourTarget, const Target& floatTarget,
                         int passes)
{
    const char* tag = v.name;
    const GLuint table = v.julia ? juliaWindow.transferFunction.texture : mandelbrotWindow.transferFunction.texture;
    const GLhandleARB probe = v.julia ? p.juliaLimit : p.mandelbrotLimit;

    std::printf("[%s] view real: %.9g .. %.9g\n", tag, v.left, v.right);
    std::printf("[%s] view imaginary: %.9g .. %.9g\n", tag, v.bottom, v.top);
    if (v.julia) std::printf("[%s] julia constant: %g %+gi\n", tag, v.cr, v.ci);

    const std::vector<float> limits = productLimits(v, probe, table, floatTarget);
    const auto [lo, hi] = std::minmax_element(limits.begin(), limits.end());
    std::printf("[%s] product iteration limit (median over pixels, %s): %.0f\n", tag,
                probe ? "read back from the GPU" : "product formula on the CPU", median(limits));
    std::printf("[%s] product iteration limit min over pixels: %.0f\n", tag, *lo);
    std::printf("[%s] product iteration limit max over pixels: %.0f\n", tag, *hi);
    std::printf("[%s] product iteration limit by the formula at the exact footprint: %.0f\n", tag, nominalLimit(v));
    std::printf("[%s] textbook iteration limit: 256\n", tag);

    // The textbook shader runs all 256 steps everywhere and resolves the
    // same escaping pixels as the early-exit loop.
    Counts product, textbook, earlyExit;
    std::vector<int> productPerPixel(pixelCount), earlyExitPerPixel(pixelCount);
    long deepEscaped = 0;
    for (int y = 0; y < passSize; ++y) {
        const float sy = pixelCoordinate(v.bottom, v.top, y);
        for (int x = 0; x < passSize; ++x) {
            const float sx = pixelCoordinate(v.left, v.right, x);
            const size_t i = size_t(y) * passSize + x;
            bool e = false;
            productPerPixel[i] = productIterations(v, sx, sy, limits[i], e);
            product.iterations += productPerPixel[i];
            product.escaped += e;
            if (!e) product.atLimit += productPerPixel[i];
            earlyExitPerPixel[i] = earlyExitIterations(v, sx, sy, e);
            earlyExit.iterations += earlyExitPerPixel[i];
            earlyExit.escaped += e;
            if (!e) earlyExit.atLimit += earlyExitPerPixel[i];
            deepEscaped += deepEscapes(v, sx, sy);
        }
    }
    product.blockIterations = blockCost(productPerPixel);
    earlyExit.blockIterations = blockCost(earlyExitPerPixel);
    textbook.iterations = textbook.blockIterations = 256LL * pixelCount;
    textbook.escaped = earlyExit.escaped;
    textbook.atLimit = 256LL * (pixelCount - earlyExit.escaped);

    std::vector<GLhandleARB> programs = {v.julia ? p.julia : p.mandelbrot, v.julia ? p.textbookJulia : p.textbookMandelbrot,
                                         v.julia ? p.earlyExitJulia : p.earlyExitMandelbrot};
    constexpr size_t firstCandidate = 3;
    if (!v.julia) {
        for (const auto& candidate : p.candidates) programs.push_back(candidate.second);
    }
    const std::vector<std::vector<double>> times = timePasses(colourTarget, programs, table, v, passes);
    std::vector<long> colours;
    std::vector<std::vector<unsigned char>> pictures;
    for (GLhandleARB program : programs) {
        drawPass(colourTarget, program, table, v);
        pictures.push_back(readPicture(colourTarget));
        colours.push_back(distinctColours(pictures.back()));
    }
    const ViewResult r{median(times[0]), median(times[1]), median(times[2]), product.escaped, textbook.escaped};

    reportProgram(tag, "product", times[0], product, colours[0]);
    reportProgram(tag, "textbook", times[1], textbook, colours[1]);
    reportProgram(tag, "early-exit loop", times[2], earlyExit, colours[2]);
    std::printf("[%s] escaping pixels in a double reference (limit 100000): %ld\n", tag, deepEscaped);
    if (!v.julia) {
        // The Mandelbrot table ends in white and starts in black, so white
        // pixels are the ones the GPU let run to the limit (or into the
        // interior test): a check of the CPU reference against the picture.
        long white = 0;
        for (int i = 0; i < pixelCount; ++i) {
            white += pictures[0][4 * i] == 255 && pictures[0][4 * i + 1] == 255 && pictures[0][4 * i + 2] == 255;
        }
        std::printf("[%s] check: product white pixels on screen: %ld\n", tag, white);
        std::printf("[%s] check: product pixels that never escape in the CPU reference: %ld\n", tag,
                    pixelCount - product.escaped);
    }
    std::printf("[%s] product speed-up over textbook (median ms ratio): %.2f\n", tag, r.textbookMs / r.productMs);
    std::printf("[%s] product speed-up over early-exit loop (median ms ratio): %.2f\n", tag,
                r.earlyExitMs / r.productMs);

    for (size_t k = firstCandidate; k < programs.size(); ++k) {
        const std::string& name = p.candidates[k - firstCandidate].first;
        const double ms = median(times[k]);
        std::printf("[%s] candidate %s median ms per pass: %.2f\n", tag, name.c_str(), ms);
        std::printf("[%s] candidate %s distinct colours on screen: %ld\n", tag, name.c_str(), colours[k]);
        std::printf("[%s] candidate %s speed-up over textbook: %.2f\n", tag, name.c_str(), r.textbookMs / ms);
        std::printf("[%s] candidate %s speed-up over early-exit loop: %.2f\n", tag, name.c_str(),
                    r.earlyExitMs / ms);
        std::printf("[%s] candidate %s pixels off the product's picture by more than 2/255: %ld\n", tag,
                    name.c_str(), differingPixels(pictures[0], pictures[k], 2));
    }
    return r;
}

bool runPassBenchmark(const Options& o)
{
    const std::string dir = findGlslDir(o);
    std::printf("glsl folder: %s\n", dir.c_str());
    std::printf("passes per figure: %d\n", o.passes);

    // The viewer's own path to its programs, with full paths to the files.
    GLhandleARB mandelbrot = glCreateProgramObjectARB();
    shaderSet.buildProgram(dir + "/mandelbrot_vertex.glsl", dir + "/mandelbrot_fragment.glsl", mandelbrot);
    const std::string mandelbrotVertex = shaderSet.vertexSource;
    const std::string mandelbrotFragment = shaderSet.fragmentSource;
    GLhandleARB julia = glCreateProgramObjectARB();
    shaderSet.buildProgram(dir + "/julia_vertex.glsl", dir + "/julia_fragment.glsl", julia);
    const std::string juliaVertex = shaderSet.vertexSource;
    const std::string juliaFragment = shaderSet.fragmentSource;
    if (!linked(mandelbrot) || !linked(julia)) {
        std::printf("the product's programs did not link\n");
        printProgramLog(mandelbrot);
        printProgramLog(julia);
        return false;
    }

    Programs p;
    p.mandelbrot = mandelbrot;
    p.julia = julia;
    p.textbookMandelbrot = compileProgram(mandelbrotVertex, yardstickSource(false, false));
    p.textbookJulia = compileProgram(juliaVertex, yardstickSource(true, false));
    p.earlyExitMandelbrot = compileProgram(mandelbrotVertex, yardstickSource(false, true));
    p.earlyExitJulia = compileProgram(juliaVertex, yardstickSource(true, true));
    p.mandelbrotLimit = limitProbe(mandelbrotVertex, mandelbrotFragment);
    p.juliaLimit = limitProbe(juliaVertex, juliaFragment);
    if (!p.mandelbrotLimit || !p.juliaLimit) {
        std::printf("note: iterationLimit() not found in the product's shaders; limits from the formula\n");
    }

    for (const std::string& file : o.candidates) {
        const GLhandleARB program = compileProgram(mandelbrotVertex, loadShaderSource(file));
        if (linked(program)) {
            p.candidates.emplace_back(file.substr(file.rfind('/') + 1), program);
        } else {
            std::printf("candidate %s: did not link, left out\n", file.c_str());
        }
    }

    const Target colourTarget = makeTarget(GL_RGBA8, GL_UNSIGNED_BYTE);
    const Target floatTarget = makeTarget(GL_RGBA32F, GL_FLOAT);

    const GLhandleARB flat = compileProgram(mandelbrotVertex, flatFragment);
    const View whole = benchmarkViews().front();
    std::printf("[fixed cost] flat pass (one table lookup per pixel) median ms: %.2f\n",
                median(timePasses(colourTarget, {flat}, mandelbrotWindow.transferFunction.texture, whole, o.passes)[0]));

    // The first view is the default Mandelbrot view the target is set for.
    const std::vector<View> views = benchmarkViews();
    ViewResult defaultView;
    for (size_t i = 0; i < views.size(); ++i) {
        const ViewResult r = benchmarkView(views[i], p, colourTarget, floatTarget, o.passes);
        if (i == 0) defaultView = r;
    }
    // Detail is judged by the escaping pixels each resolves within its limit:
    // the boundary structure a picture can show.
    const double speedUp = defaultView.textbookMs / defaultView.productMs;
    const bool detail = defaultView.productEscaped >= defaultView.textbookEscaped;
    std::printf("target: default mandelbrot pass at least 3.00x faster than the textbook shader "
                "(256 steps, no interior test), at least as much detail\n");
    std::printf("default mandelbrot speed-up over textbook: %.2fx\n", speedUp);
    std::printf("default mandelbrot speed-up over the early-exit loop: %.2fx\n",
                defaultView.earlyExitMs / defaultView.productMs);
    std::printf("default mandelbrot escaping pixels resolved, product minus textbook: %ld\n",
                defaultView.productEscaped - defaultView.textbookEscaped);
    std::printf("default mandelbrot target met: %s\n", speedUp >= 3.0 && detail ? "yes" : "no");
    return glGetError() == GL_NO_ERROR;
}

// ---------------------------------------------------------------- the running viewer

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
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

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

bool alive(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

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

// The window's pixels as the X server shows them, as raw image bytes: only
// ever compared with another grab of the same window, so no conversion.
bool grab(Display* display, Window window, int width, int height, std::vector<char>& out)
{
    XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image) return false;
    out.assign(image->data, image->data + size_t(image->bytes_per_line) * image->height);
    XDestroyImage(image);
    return true;
}

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

// From an injected wheel notch over the Mandelbrot window to the moment its
// picture changes: the viewer's handling, its pass and the swap together.
// Alternates in and out so the view, and the pass's cost, stay near the
// default.
void measureWheelLatency(pid_t pid, int notches)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::printf("wheel latency: no X display\n");
        return;
    }
    XSetErrorHandler(ignoreXErrors);
    int eventBase, errorBase, major, minor;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        std::printf("wheel latency: no XTest extension\n");
        XCloseDisplay(display);
        return;
    }
    Window window = 0;
    for (int i = 0; i < 200 && !window; ++i) {
        window = findWindowByName(display, DefaultRootWindow(display), "Mandelbrot Set");
        if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    XWindowAttributes attributes;
    if (!window || !XGetWindowAttributes(display, window, &attributes)) {
        std::printf("wheel latency: Mandelbrot window not found\n");
        XCloseDisplay(display);
        return;
    }
    const int width = attributes.width, height = attributes.height;
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), width / 2, height / 2, &rootX, &rootY,
                          &child);

    // Settled: unchanged for longer than a slow pass takes.
    std::vector<char> previous, current;
    auto settle = [&](double quietMs) {
        grab(display, window, width, height, previous);
        auto quietSince = Clock::now();
        const auto start = Clock::now();
        while (millisecondsSince(quietSince) < quietMs && millisecondsSince(start) < 20000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            grab(display, window, width, height, current);
            if (current != previous) {
                previous.swap(current);
                quietSince = Clock::now();
            }
        }
    };

    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, 0);
    XSync(display, False);
    settle(1000);

    std::vector<double> latencies, grabMs;
    for (int i = 0; i < notches && alive(pid); ++i) {
        const unsigned button = i % 2 == 0 ? 4 : 5;  // X buttons 4/5: wheel up (in) / down (out)
        grab(display, window, width, height, previous);
        const auto start = Clock::now();
        XTestFakeButtonEvent(display, button, True, 0);
        XTestFakeButtonEvent(display, button, False, 0);
        XFlush(display);
        double latency = -1;
        while (millisecondsSince(start) < 20000) {
            const auto g = Clock::now();
            if (!grab(display, window, width, height, current)) break;
            grabMs.push_back(millisecondsSince(g));
            if (current != previous) {
                latency = millisecondsSince(start);
                break;
            }
        }
        std::printf("wheel notch %d (%s) to changed picture ms: %.1f\n", i + 1, button == 4 ? "in" : "out", latency);
        if (latency >= 0) latencies.push_back(latency);
        // A notch is a press and a release, each a zoom step; let both passes
        // land before the next notch.
        settle(std::max(500.0, 3 * latency));
    }
    std::printf("wheel notch to changed picture median ms: %.1f\n", median(latencies));
    std::printf("wheel latency polling: one XGetImage of %dx%d takes median ms: %.2f\n", width, height,
                median(grabMs));
    XCloseDisplay(display);
}

void runViewerBenchmarks(const Options& o)
{
    const std::string viewer = findViewer(o);
    if (viewer.empty()) {
        std::printf("viewer: not found (give --viewer PATH)\n");
        return;
    }
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
    std::printf("viewer CPU seconds over its first 2 s: %.2f\n", cpuSeconds(pid));
    if (o.runIdle) {
        const double share = measureIdleShare(pid, o.idleSeconds);
        std::printf("viewer idle measured over s: %.1f\n", o.idleSeconds);
        std::printf("viewer idle CPU share of one core: %.4f\n", share);
        std::printf("viewer idle CPU percent of one core: %.2f\n", 100 * share);
    }
    if (o.runWheel) measureWheelLatency(pid, o.wheelNotches);
    stopViewer(pid);
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    glutInit(&argc, argv);
    Options o;
    if (!parseOptions(argc, argv, o)) return 2;

    // A window only for its GL context; it is placed apart from where the
    // viewer opens its own two and the passes draw offscreen anyway.
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

    bool ok = true;
    if (o.runPasses) {
        // Both colour tables, built and uploaded by the viewer's own code in
        // this one context.
        mandelbrotWindow.windowId = window;
        juliaWindow.windowId = window;
        mandelbrotWindow.transferFunction.initialise(1, editorMenu);
        juliaWindow.transferFunction.initialise(2, editorMenu);
        ok = runPassBenchmark(o);
        mandelbrotWindow.transferFunction.releaseTexture();
        juliaWindow.transferFunction.releaseTexture();
    }
    // Out of the way of the viewer's windows, whose pixels may be grabbed.
    glutDestroyWindow(window);
    glutMainLoopEvent();

    if (o.runIdle || o.runWheel) runViewerBenchmarks(o);
    return ok ? 0 : 1;
}
