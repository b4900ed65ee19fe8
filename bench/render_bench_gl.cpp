// The viewer's cost of a pixel at a picture's pixel size, and the render
// tool's drawing alone, in one context. Each of the viewer's windows is
// drawn as the viewer draws its window: the float programs' one pass, or
// past single precision the progressive deep picture from its reference
// orbit to the colour pass, with a budget large enough to finish at once.
// Windows go into a pbuffer of a window's size and colour format, as the
// render tool's tiles do, and each is waited for with glFinish. The windows
// share the picture's pixel size, so the iteration limit, which follows
// it, is the picture's.
//
// Limits: windows that do not cover the picture (a small --grid) stand for
// it only as well as their places sample the set's inside, outside and
// boundary, where the cost lies unevenly; a deep window computes
// its own reference orbit at its own centre, as the viewer does, where the
// render tool computes one for the whole picture.
#include "bench/render_bench.h"
#include "deep/colour_depth.h"
#include "platform/headless_gl.h"
#include "render/picture.h"
#include "shaders/shader_set.h"
#include "tool/averaging.h"
#include "transfer/transfer_function.h"

#include <GL/glu.h>

#include <chrono>
#include <thread>

namespace renderbench {
namespace {

using Clock = std::chrono::steady_clock;

HeadlessGl context;  // one per process

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// `count` corners from the picture's one edge to the other, whole samples
// apart, so that every window holds exactly the picture's own samples; 0:
// as many as cover the picture.
std::vector<int> corners(int samples, int count)
{
    if (count < 1) count = (samples + windowSide - 1) / windowSide;
    std::vector<int> at;
    const int room = std::max(0, samples - windowSide);
    for (int i = 0; i < count; ++i) at.push_back(count == 1 ? room / 2 : int(long(room) * i / (count - 1)));
    return at;
}

// What the render tool adds to each tile's drawing: its read-back, timed
// apart from the viewer's figure.
double readBackMs()
{
    static std::vector<unsigned char> rgb(size_t(windowSide) * windowSide * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    const auto start = Clock::now();
    glReadPixels(0, 0, windowSide, windowSide, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return millisecondsSince(start);
}

// lo + (hi - lo) * i / n at the bounds' precision.
Big along(const Big& lo, const Big& hi, long i, long n)
{
    Big v(std::max(lo.precision(), hi.precision()));
    mpfr_sub(v.v, hi.v, lo.v, MPFR_RNDN);
    mpfr_mul_si(v.v, v.v, i, MPFR_RNDN);
    mpfr_div_si(v.v, v.v, n, MPFR_RNDN);
    mpfr_add(v.v, lo.v, v.v, MPFR_RNDN);
    return v;
}

DeepView windowView(const ViewerCase& c, int x, int y)
{
    const DeepView& v = c.view;
    DeepView w{along(v.left, v.right, x, c.width), along(v.left, v.right, x + windowSide, c.width),
               along(v.bottom, v.top, y, c.height), along(v.bottom, v.top, y + windowSide, c.height)};
    const long bits = precisionFor(w, windowSide, windowSide);
    for (Big* b : {&w.left, &w.right, &w.bottom, &w.top}) b->setPrecision(bits);
    return w;
}

bool linked(GLhandleARB program)
{
    GLint ok = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &ok);
    return ok != 0;
}

bool prepareFloat(ViewerCase& c, const std::vector<float>& table, const std::string& folder, std::string& error)
{
    const PlaneRect& p = c.plane;
    uploadColourTexture(c.table, floatPathTable(table, float(p.left), float(p.right), float(p.bottom), float(p.top),
                                                c.width, c.height, false, 0, 0));
    ShaderSet set;
    c.program = glCreateProgramObjectARB();
    set.buildProgram(folder + "/mandelbrot_vertex.glsl", folder + "/mandelbrot_fragment.glsl", c.program);
    if (!linked(c.program)) return error = "the Mandelbrot program does not build from " + folder, false;
    c.limit = iterationLimit(log2PixelSize(c.view, c.width, c.height), floatLimitCap);
    return true;
}

double floatWindowMs(const ViewerCase& c, int x, int y)
{
    const PlaneRect& v = c.plane;
    const double sx = (v.right - v.left) / c.width, sy = (v.top - v.bottom) / c.height;
    const PlaneRect window{v.left + sx * x, v.left + sx * (x + windowSide), v.bottom + sy * y,
                           v.bottom + sy * (y + windowSide)};
    pixelProjection(windowSide, windowSide);
    glFinish();
    const auto start = Clock::now();
    drawFloatFractal(c.program, c.table, window, windowSide, windowSide, nullptr);
    glFinish();
    return millisecondsSince(start);
}

// From the new request to the shown picture, as the viewer's loop gets
// there, only without the passes of other work in between.
double deepWindowMs(ViewerCase& c, int x, int y, double& sceneMs)
{
    DeepRequest r;
    r.view = windowView(c, x, y);
    r.constantRe = r.constantIm = Big(0.0, 64);
    r.width = r.height = windowSide;
    glFinish();
    const auto start = Clock::now();
    startPicture(c.picture, r);
    while (advancePicture(c.picture, 1e9))
        if (waitingForScene(c.picture)) std::this_thread::sleep_for(std::chrono::microseconds(100));
    if (!pictureFinished(c.picture)) return -1;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    showPicture(c.picture, c.table, windowSide, windowSide, true);
    glFinish();
    sceneMs = c.picture.gpu.scene.seconds * 1e3;
    c.limit = c.picture.gpu.scene.limit;
    return millisecondsSince(start);
}

}  // namespace

bool openViewerContext(std::string& renderer, std::string& error)
{
    if (!openHeadlessGl(context, error)) return false;
    renderer = context.renderer;
    if (!useHeadlessSurface(context, windowSide, windowSide)) return error = "no 800 x 800 pbuffer", false;
    return true;
}

void closeViewerContext()
{
    closeHeadlessGl(context);
}

bool prepareViewerCase(ViewerCase& c, const char* re, const char* im, const char* extent, int width, int height,
                       int grid, const std::string& glslFolder, std::string& error)
{
    Location location;
    if (!parseDecimal(re, location.re) || !parseDecimal(im, location.im) || !parseDecimal(extent, location.extent))
        return error = "not a location: " + std::string(re) + " " + im + " " + extent, false;
    c.width = width, c.height = height;
    c.location = location;
    c.view = viewAt(location, width, height);
    float l, r, b, t;
    roundToFloat(c.view, l, r, b, t);
    c.plane = PlaneRect{l, r, b, t};
    c.deep = !floatResolvesView(l, r, b, t, width, height, false, 0, 0);
    for (int y : corners(height, grid))
        for (int x : corners(width, grid)) c.windows.emplace_back(x, y);
    TransferFunction transfer;
    transfer.initialiseModel(1);
    glGenTextures(1, &c.table);
    if (!c.deep) return prepareFloat(c, transfer.colourTable, glslFolder, error);
    uploadColourTexture(c.table, transfer.colourTable);
    c.picture.programs.folder = glslFolder + "/";
    return true;
}

void releaseViewerCase(ViewerCase& c)
{
    releasePicture(c.picture);
    if (c.program) glDeleteObjectARB(c.program);
    if (c.table) glDeleteTextures(1, &c.table);
    c.program = 0, c.table = 0;
}

bool timeWindows(ViewerCase& c, std::vector<double>& ms, std::vector<double>& sceneMs, std::vector<double>& readMs)
{
    ms.clear(), sceneMs.clear(), readMs.clear();
    for (const auto& [x, y] : c.windows) {
        double scene = 0;
        ms.push_back(c.deep ? deepWindowMs(c, x, y, scene) : floatWindowMs(c, x, y));
        sceneMs.push_back(scene);
        readMs.push_back(readBackMs());
        if (ms.back() < 0 || glGetError() != GL_NO_ERROR) return false;
    }
    return true;
}

double renderInProcess(const ViewerCase& c, const std::string& glslFolder, int averageSamples)
{
    PictureRequest r;
    r.location = c.location;
    r.constantRe = r.constantIm = Big(0.0, 64);
    r.width = c.width, r.height = c.height;
    TransferFunction transfer;
    transfer.initialiseModel(1);
    r.table = transfer.colourTable;
    r.glslFolder = glslFolder;
    const PictureTiles tiles = pictureTiles(c.width, c.height);
    if (!useHeadlessSurface(context, tiles.width, tiles.height)) return -1;
    r.surfaceWidth = tiles.width, r.surfaceHeight = tiles.height;
    BoxAverage box;
    std::vector<unsigned char> pixels;
    if (averageSamples > 0) startBoxAverage(box, c.width / averageSamples, averageSamples);
    pixels.resize(size_t(box.width) * 3);
    const RowSink sink = [&](int, const unsigned char* rgb) {
        if (averageSamples > 0) addSampleRow(box, rgb, pixels.data());
        return true;
    };
    std::string error;
    const auto start = Clock::now();
    const bool ok = renderPicture(r, sink, nullptr, error);
    const double ms = millisecondsSince(start);
    // Back to the window's pbuffer for the viewer's passes.
    return useHeadlessSurface(context, windowSide, windowSide) && ok ? ms / 1e3 : -1;
}

}  // namespace renderbench
