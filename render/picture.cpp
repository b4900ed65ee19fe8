// Whole pictures in tiles. The tiles' size follows from the picture's
// width alone (never from how many samples a pixel gets), so a picture and
// the same view drawn N times larger are cut into the same tiles of the
// same samples; a strip of tiles across the picture is read back and
// handed out row by row, so memory stays near one strip.
//
// Float views are drawn by the viewer's float programs, deep ones by
// perturbation, as the viewer decides between them; the colour table is
// the one each path reads, with the colour range of the whole picture.
#include "render/picture.h"
#include "deep/colour_depth.h"
#include "render/deep_pass.h"
#include "render/float_pass.h"
#include "render/parts.h"
#include "render/tile_buffer.h"
#include "shaders/shader_set.h"
#include "transfer/transfer_function.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int maxTileSide = 2048;
constexpr size_t stripBytes = size_t(48) << 20;  // RGBA texels of one strip of tiles

// What a tile is drawn with; the paths differ only in this.
struct Painter {
    bool deep = false;
    // float path
    GLhandleARB program = 0;
    PlaneRect plane{};
    float constant[2] = {0, 0};
    bool julia = false;
    // deep path
    DeepPrograms programs;
    DeepGpuScene gpu;
    CountTarget counts;
    ColourRange range;
    int partRows = 0;  // the band height, carried from tile to tile
    // both
    GLuint table = 0;
    int width = 0, height = 0;  // the picture's samples
};

using Tiles = PictureTiles;

}  // namespace

PictureTiles pictureTiles(int width, int height, int largest)
{
    GLint viewport[2] = {maxTileSide, maxTileSide};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    const int side = std::min({largest > 0 ? largest : maxTileSide, int(viewport[0]), int(viewport[1])});
    const int rows = int(std::clamp<size_t>(stripBytes / (size_t(width) * 4), 16, size_t(side)));
    return Tiles{std::min(width, side), std::min(height, rows)};
}

namespace {

// The tile of samples [x, x + w) x [y, y + h) (bottom-left origin) into the
// current framebuffer's pixels from (0, 0); `done` told the samples drawn,
// a deep tile's band by band.
void paintTile(Painter& p, int x, int y, int w, int h, const PartDone& done)
{
    pixelProjection(w, h);
    if (!p.deep) {
        const PlaneRect& v = p.plane;
        const double sx = (v.right - v.left) / p.width, sy = (v.top - v.bottom) / p.height;
        const PlaneRect tile{v.left + sx * x, v.left + sx * (x + w), v.bottom + sy * y, v.bottom + sy * (y + h)};
        // The whole picture in one tile keeps the bounds exactly, as the viewer has them.
        const bool whole = x == 0 && y == 0 && w == p.width && h == p.height;
        drawFloatFractal(p.program, p.table, whole ? v : tile, w, h, p.julia ? p.constant : nullptr);
        return done(double(w) * h);
    }
    GLint framebuffer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
    drawCountsInParts(p.gpu, p.counts, TargetPlace{x, y}, w, h, p.partRows, done);
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(framebuffer));
    ColourFrame frame;
    frame.counts = &p.counts;
    frame.range = p.range;
    drawColours(colourProgram(p.programs), p.table, frame, w, h);
}

bool prepareFloat(const PictureRequest& r, const DeepView& view, Painter& p)
{
    float l, rt, b, t;
    roundToFloat(view, l, rt, b, t);
    p.plane = PlaneRect{l, rt, b, t};
    ShaderSet set;
    p.program = glCreateProgramObjectARB();
    const std::string folder = r.glslFolder.empty() ? "" : r.glslFolder + "/";
    set.buildProgram(folder + (r.julia ? "julia_vertex.glsl" : "mandelbrot_vertex.glsl"),
                     folder + (r.julia ? "julia_fragment.glsl" : "mandelbrot_fragment.glsl"), p.program);
    uploadColourTexture(p.table, floatPathTable(r.table, l, rt, b, t, p.width, p.height, r.julia, p.constant[0], p.constant[1]));
    return true;
}

bool prepareDeep(const PictureRequest& r, const DeepView& view, const Tiles& tiles, Painter& p, std::string& error)
{
    std::string missing;
    if (!deepSupported(missing)) return error = "Tiefenzoom braucht " + missing, false;
    DeepRequest request;
    request.julia = r.julia;
    request.view = view;
    request.constantRe = r.constantRe;
    request.constantIm = r.constantIm;
    request.width = p.width;
    request.height = p.height;
    request.limit = r.limit;
    p.programs.folder = r.glslFolder.empty() ? "" : r.glslFolder + "/";
    if (!resizeTarget(p.counts, tiles.width, tiles.height)) return error = "kein Framebuffer f\xC3\xBCr Z\xC3\xA4hlwerte", false;
    // The lattice's samples give the mapping, as the viewer's coarse pass does.
    std::vector<float> lattice;
    const SceneSetup setUp = setUpScene(p.programs, p.gpu, request, p.counts, lattice);
    if (setUp == SceneSetup::tooDeep)
        return error = "die Ansicht ist zu tief (Bildpunkte unter 2^-" + std::to_string(deepDepthBits) + ")", false;
    if (setUp == SceneSetup::noPrograms || !colourProgram(p.programs))
        return error = "die Programme des Tiefenzooms lassen sich nicht bauen", false;
    const double muMin = borderMinimum(p.gpu, p.counts);
    p.range = colourRange(muMin, p.gpu.scene.limit, needsCountSample(muMin) ? countSpread(lattice) : CountSpread{});
    uploadColourTexture(p.table, r.table);
    return true;
}

bool prepare(const PictureRequest& r, const Tiles& tiles, Painter& p, std::string& error)
{
    p.width = r.width;
    p.height = r.height;
    p.julia = r.julia;
    p.constant[0] = r.constantRe.toFloat();
    p.constant[1] = r.constantIm.toFloat();
    const DeepView view = viewAt(r.location, r.width, r.height);
    float l, rt, b, t;
    roundToFloat(view, l, rt, b, t);
    p.deep = r.limit > 0 || !floatResolvesView(l, rt, b, t, r.width, r.height, r.julia, p.constant[0], p.constant[1]);
    glGenTextures(1, &p.table);
    return p.deep ? prepareDeep(r, view, tiles, p, error) : prepareFloat(r, view, p);
}

void release(Painter& p)
{
    if (p.table) glDeleteTextures(1, &p.table);
    releaseTarget(p.counts);
    releaseScene(p.gpu);
    if (p.program) glDeleteObjectARB(p.program);
}

// One strip of tiles, its rows [y, y + h) counted from the bottom, into
// `strip` (RGB, bottom row first, as GL reads them).
void paintStrip(Painter& p, const TileBuffer& buffer, const Tiles& tiles, int y, int h, std::vector<unsigned char>& strip,
                const Progress& progress, double& done)
{
    std::vector<unsigned char> tile(size_t(tiles.width) * size_t(h) * 3);
    const double all = double(p.width) * p.height;
    const PartDone told = [&](double samples) {
        done += samples;
        if (progress) progress(done / all);
    };
    for (int x = 0; x < p.width; x += tiles.width) {
        const int w = std::min(tiles.width, p.width - x);
        glBindFramebuffer(GL_FRAMEBUFFER, buffer.framebuffer);
        paintTile(p, x, y, w, h, told);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, tile.data());
        for (int row = 0; row < h; ++row)
            std::copy_n(&tile[size_t(row) * w * 3], size_t(w) * 3, &strip[(size_t(row) * p.width + x) * 3]);
    }
}

}  // namespace

bool renderPicture(const PictureRequest& request, const RowSink& sink, const Progress& progress, std::string& error)
{
    const Tiles tiles = pictureTiles(request.width, request.height, request.tileSide);
    Painter painter;
    TileBuffer buffer;
    bool ok = prepare(request, tiles, painter, error);
    if (ok && !buffer.open(tiles.width, tiles.height, request.surfaceWidth, request.surfaceHeight)) ok = (error = "kein Framebuffer f\xC3\xBCr die Kacheln", false);
    std::vector<unsigned char> strip(size_t(request.width) * size_t(tiles.height) * 3);
    double done = 0;
    // Strips from the top; rows leave top first.
    for (int top = request.height; ok && top > 0; top -= tiles.height) {
        const int h = std::min(tiles.height, top), y = top - h;
        paintStrip(painter, buffer, tiles, y, h, strip, progress, done);
        for (int row = h - 1; ok && row >= 0; --row)
            if (!sink(request.height - 1 - (y + row), &strip[size_t(row) * request.width * 3]))
                ok = (error = "das Schreiben wurde abgebrochen", false);
    }
    if (ok && glGetError() != GL_NO_ERROR) ok = (error = "OpenGL meldet einen Fehler beim Zeichnen", false);
    release(painter);
    return ok;
}
