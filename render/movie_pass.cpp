// The movie's passes. The resample program is built like the float
// programs (shaders/shader_set); for counts it writes one float a sample
// into a count target like a deep picture's, for colours RGBA.
#include "render/movie_pass.h"
#include "render/float_pass.h"
#include "shaders/shader_set.h"
#include "transfer/transfer_function.h"

#include <algorithm>

namespace {

bool linked(GLhandleARB program)
{
    GLint ok = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &ok);
    return ok != 0;
}

void bindTexture(GLenum unit, GLuint texture)
{
    glActiveTexture(unit);
    glBindTexture(GL_TEXTURE_2D, texture);
    glActiveTexture(GL_TEXTURE0);
}

bool openColourTarget(ColourTarget& t, int width, int height)
{
    glGenTextures(1, &t.texture);
    glBindTexture(GL_TEXTURE_2D, t.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffers(1, &t.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, t.framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t.texture, 0);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return complete;
}

void releaseColourTarget(ColourTarget& t)
{
    if (t.framebuffer) glDeleteFramebuffers(1, &t.framebuffer);
    if (t.texture) glDeleteTextures(1, &t.texture);
    t = ColourTarget{};
}

// The resample pass over the current framebuffer, from two textures.
void resample(MovieGl& gl, const KeyframePlace& inner, GLuint innerTexture, const KeyframePlace& outer,
              GLuint outerTexture, bool colours)
{
    const GLuint program = GLuint(gl.resample);
    pixelProjection(gl.width, gl.height);
    glUseProgramObjectARB(gl.resample);
    glUniform1i(glGetUniformLocation(program, "inner"), 1);
    glUniform1i(glGetUniformLocation(program, "outer"), 2);
    glUniform1i(glGetUniformLocation(program, "colours"), colours);
    glUniform3f(glGetUniformLocation(program, "innerPlace"), float(inner.scale), float(inner.offsetX), float(inner.offsetY));
    glUniform3f(glGetUniformLocation(program, "outerPlace"), float(outer.scale), float(outer.offsetX), float(outer.offsetY));
    bindTexture(GL_TEXTURE1, innerTexture);
    bindTexture(GL_TEXTURE2, outerTexture);
    glRecti(0, 0, gl.width, gl.height);
    bindTexture(GL_TEXTURE1, 0);
    bindTexture(GL_TEXTURE2, 0);
    glUseProgramObjectARB(0);
}

// The smallest escaping count on a target's four edges.
double borderLeast(const CountTarget& counts)
{
    const int w = counts.width, h = counts.height;
    const int edges[4][4] = {{0, 0, w, 1}, {0, h - 1, w, 1}, {0, 0, 1, h}, {w - 1, 0, 1, h}};
    std::vector<float> border(size_t(std::max(w, h)));
    double least = 1e300;
    for (const auto& e : edges) {
        readCounts(counts, e[0], e[1], e[2], e[3], border.data());
        for (int i = 0; i < e[2] * e[3]; ++i)
            if (border[size_t(i)] >= 0) least = std::min(least, double(border[size_t(i)]));
    }
    return least;
}

// A keyframe's counts coloured as a picture of them would be, at the frame's mapping.
void colourKeyframe(MovieGl& gl, const CountTarget& counts, const ColourTarget& into, const ColourRange& range)
{
    glBindFramebuffer(GL_FRAMEBUFFER, into.framebuffer);
    ColourFrame frame;
    frame.counts = &counts;
    frame.range = range;
    drawColours(colourProgram(gl.programs), gl.table, frame, counts.width, counts.height);
}

}  // namespace

bool startMovieGl(MovieGl& gl, const std::string& glslFolder, const std::vector<float>& table, int width, int height,
                  int keyWidth, int keyHeight, int surfaceWidth, int surfaceHeight, std::string& error)
{
    std::string missing;
    if (!deepSupported(missing)) return error = "Tiefenzoom braucht " + missing, false;
    gl.programs.folder = glslFolder.empty() ? "" : glslFolder + "/";
    gl.width = width, gl.height = height, gl.keyWidth = keyWidth, gl.keyHeight = keyHeight;
    gl.resample = glCreateProgramObjectARB();
    ShaderSet set;
    set.buildProgram(gl.programs.folder + "deep_vertex.glsl", gl.programs.folder + "resample_fragment.glsl", gl.resample);
    if (!linked(gl.resample) || !colourProgram(gl.programs))
        return error = "die Programme des Films lassen sich nicht bauen", false;
    gl.frame = std::make_unique<TileBuffer>();
    bool ok = resizeTarget(gl.frameCounts, width, height) && gl.frame->open(width, height, surfaceWidth, surfaceHeight);
    for (ColourTarget& t : gl.keyColours) ok = ok && openColourTarget(t, keyWidth, keyHeight);
    if (!ok) return error = "kein Framebuffer f\xC3\xBCr die Bilder des Films", false;
    glGenTextures(1, &gl.table);
    uploadColourTexture(gl.table, table);
    return true;
}

void releaseMovieGl(MovieGl& gl)
{
    gl.frame.reset();
    releaseTarget(gl.frameCounts);
    for (ColourTarget& t : gl.keyColours) releaseColourTarget(t);
    if (gl.table) glDeleteTextures(1, &gl.table);
    if (gl.resample) glDeleteObjectARB(gl.resample);
    gl.table = 0, gl.resample = 0;
}

bool drawKeyframe(MovieGl& gl, DeepGpuScene& gpu, CountTarget& target, int& rows, const PartDone& done,
                  std::vector<float>& counts)
{
    const int w = gpu.scene.width, h = gpu.scene.height;
    if ((!gpu.program && !uploadScene(gl.programs, gpu)) || !resizeTarget(target, w, h)) return false;
    drawCountsInParts(gpu, target, TargetPlace{0, 0}, w, h, rows, done);
    counts.resize(size_t(w) * h);
    readCounts(target, 0, 0, w, h, counts.data());
    return glGetError() == GL_NO_ERROR;
}

bool uploadKeyframe(CountTarget& target, int width, int height, const std::vector<float>& counts)
{
    if (counts.size() != size_t(width) * height || !resizeTarget(target, width, height)) return false;
    glBindTexture(GL_TEXTURE_2D, target.texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RED, GL_FLOAT, counts.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return glGetError() == GL_NO_ERROR;
}

double frameBorderMinimum(MovieGl& gl, const KeyframePlace& inner, const KeyframePlace& outer)
{
    glBindFramebuffer(GL_FRAMEBUFFER, gl.frameCounts.framebuffer);
    resample(gl, inner, inner.counts->texture, outer, outer.counts->texture, false);
    return borderLeast(gl.frameCounts);
}

void drawFrame(MovieGl& gl, const KeyframePlace& inner, const KeyframePlace& outer, const ColourRange& range,
               std::vector<unsigned char>& rgb)
{
    colourKeyframe(gl, *inner.counts, gl.keyColours[0], range);
    colourKeyframe(gl, *outer.counts, gl.keyColours[1], range);
    glBindFramebuffer(GL_FRAMEBUFFER, gl.frame->framebuffer);
    resample(gl, inner, gl.keyColours[0].texture, outer, gl.keyColours[1].texture, true);
    const int w = gl.width, h = gl.height;
    std::vector<unsigned char> bottomUp(size_t(w) * h * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    rgb.resize(bottomUp.size());
    for (int row = 0; row < h; ++row)
        std::copy_n(&bottomUp[size_t(h - 1 - row) * w * 3], size_t(w) * 3, &rgb[size_t(row) * w * 3]);
}
