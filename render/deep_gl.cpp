#include "render/deep_gl.h"
#include "shaders/shader_set.h"

#include <GL/glu.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char* const prelude = "#version 400 compatibility\n#define JULIA %d\n#define SKIP %d\n#define INTERIOR %d\n#define WIDE %d\n%s";

bool compiled(GLuint shader, const std::string& name)
{
    GLint ok = 0, length = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return true;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(size_t(length > 0 ? length : 1), '\0');
    glGetShaderInfoLog(shader, GLsizei(log.size()), nullptr, log.data());
    std::printf("\nTiefenzoom: '%s' l\xC3\xA4sst sich nicht \xC3\xBC" "bersetzen:\n%s\n", name.c_str(), log.data());
    return false;
}

// The prelude, then the files in order, as one shader named after the last.
GLuint shaderFrom(GLenum type, const std::string& head, const std::string& folder, const std::vector<std::string>& names)
{
    std::string text = head;
    for (const std::string& file : names) text += loadShaderSource(folder + file);
    const std::string& name = names.back();
    const char* source = text.c_str();
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    if (compiled(shader, name)) return shader;
    glDeleteShader(shader);
    return 0;
}

GLuint linkProgram(const std::string& head, const std::string& folder, const std::vector<std::string>& fragment)
{
    const GLuint vertex = shaderFrom(GL_VERTEX_SHADER, head, folder, {"deep_vertex.glsl"});
    const GLuint pixel = shaderFrom(GL_FRAGMENT_SHADER, head, folder, fragment);
    GLuint program = 0;
    GLint linked = 0;
    if (vertex && pixel) {
        program = glCreateProgram();
        glAttachShader(program, vertex);
        glAttachShader(program, pixel);
        glLinkProgram(program);
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
    }
    if (vertex) glDeleteShader(vertex);
    if (pixel) glDeleteShader(pixel);
    if (program && !linked) {
        std::printf("\nTiefenzoom: '%s' l\xC3\xA4sst sich nicht binden.\n", fragment.back().c_str());
        glDeleteProgram(program);
        program = 0;
    }
    return program;
}

void setTexture2D(GLenum unit, GLuint texture)
{
    glActiveTexture(unit);
    glBindTexture(GL_TEXTURE_2D, texture);
    glActiveTexture(GL_TEXTURE0);
}


void quad(int x, int y, int w, int h)
{
    glBegin(GL_QUADS);
    glVertex2i(x, y);
    glVertex2i(x + w, y);
    glVertex2i(x + w, y + h);
    glVertex2i(x, y + h);
    glEnd();
}

void setDeepUniforms(GLuint program, const DeepLayout& layout, const DeepScene& scene, TargetPlace place)
{
    auto at = [program](const char* name) { return glGetUniformLocation(program, name); };
    glUniform1i(at("orbit"), 0);
    glUniform1i(at("jumps"), 1);
    glUniform1iv(at("refStart"), 2, layout.refStart);
    glUniform1iv(at("refEnd"), 2, layout.refEnd);
    glUniform1iv(at("jumpStart"), 2, layout.jumpStart);
    glUniform1iv(at("jumpOrigin"), 2, layout.jumpOrigin);
    glUniform1f(at("limit"), float(scene.limit));
    glUniform1f(at("widest"), layout.widest);
    glUniform1i(at("period"), scene.period);
    const DeepPixel pixel = deepPixel(scene, place);
    glUniform2f(at("pixelOffset"), float(pixel.offset[0]), float(pixel.offset[1]));
    glUniform1f(at("stride"), float(pixel.stride));
    if (layout.wide) glUniform2d(at("pixelSize"), pixel.size[0], pixel.size[1]);
    else glUniform2f(at("pixelSize"), float(pixel.size[0]), float(pixel.size[1]));
    glUniform1i(at("pixelExponent"), pixel.exponent);
}

}  // namespace

PixelSpace::PixelSpace(int width, int height)
{
    glGetIntegerv(GL_VIEWPORT, viewport);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, width, 0, height);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

PixelSpace::~PixelSpace()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
}

bool deepSupported(std::string& missing)
{
    const char* glsl = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
    int major = 0, minor = 0;
    if (!glsl || std::sscanf(glsl, "%d.%d", &major, &minor) != 2 || major * 100 + minor < 400) {
        missing = std::string("GLSL 4.00 (hier: ") + (glsl ? glsl : "keins") + ")";
        return false;
    }
    if (!glGenFramebuffers || !glUniform2d) {
        missing = "Framebuffer-Objekte und Double-Uniforms";
        return false;
    }
    return true;
}

GLuint deepProgram(DeepPrograms& p, DeepVariant v)
{
    const int k = int(v.julia) | int(v.skip) << 1 | int(v.interior) << 2 | int(v.markSettled) << 3 | int(v.wide) << 4;
    if (p.tried[k]) return p.deep[k];
    p.tried[k] = true;
    char head[200];
    std::snprintf(head, sizeof head, prelude, int(v.julia), int(v.skip), int(v.interior), int(v.wide),
                  v.markSettled ? "#define MARK_SETTLED\n" : "");
    p.deep[k] = linkProgram(head, p.folder, {"deep_numbers.glsl", "deep_fragment.glsl"});
    return p.deep[k];
}

namespace {

// A program of the deep vertex shader and a fragment shader without variants.
GLuint plainProgram(const std::string& folder, GLuint& program, bool& tried, const char* fragment)
{
    if (tried) return program;
    tried = true;
    char head[200];
    std::snprintf(head, sizeof head, prelude, 0, 0, 0, 0, "");
    program = linkProgram(head, folder, {fragment});
    return program;
}

}  // namespace

GLuint colourProgram(DeepPrograms& p) { return plainProgram(p.folder, p.colour, p.colourTried, "colour_fragment.glsl"); }
GLuint splatProgram(DeepPrograms& p) { return plainProgram(p.folder, p.splat, p.splatTried, "splat_fragment.glsl"); }

bool resizeTarget(CountTarget& t, int width, int height, GLint format)
{
    if (t.texture && t.width == width && t.height == height) return true;
    if (!t.texture) glGenTextures(1, &t.texture);
    if (!t.framebuffer) glGenFramebuffers(1, &t.framebuffer);
    glBindTexture(GL_TEXTURE_2D, t.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, GL_RED, GL_FLOAT, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, t.framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t.texture, 0);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    t.width = width;
    t.height = height;
    return complete;
}

void releaseTarget(CountTarget& t)
{
    if (t.framebuffer) glDeleteFramebuffers(1, &t.framebuffer);
    if (t.texture) glDeleteTextures(1, &t.texture);
    t = CountTarget{};
}

namespace {

// A texture buffer of RGBA32UI texels: one fetch, no rows to address (a
// 2D texture's fetch cost llvmpipe more than the step's arithmetic).
void uploadBuffer(GLuint& texture, GLuint& buffer, const std::vector<uint32_t>& words)
{
    if (!buffer) glGenBuffers(1, &buffer);
    if (!texture) glGenTextures(1, &texture);
    glBindBuffer(GL_TEXTURE_BUFFER, buffer);
    glBufferData(GL_TEXTURE_BUFFER, GLsizeiptr(words.size() * sizeof(uint32_t)), words.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_TEXTURE_BUFFER, 0);
    glBindTexture(GL_TEXTURE_BUFFER, texture);
    glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32UI, buffer);
    glBindTexture(GL_TEXTURE_BUFFER, 0);
}

void setBuffer(GLenum unit, GLuint texture)
{
    glActiveTexture(unit);
    glBindTexture(GL_TEXTURE_BUFFER, texture);
    glActiveTexture(GL_TEXTURE0);
}

}  // namespace

bool uploadLayout(DeepTextures& t, const DeepLayout& layout)
{
    GLint most = 0;
    glGetIntegerv(GL_MAX_TEXTURE_BUFFER_SIZE, &most);
    if (std::max(layout.orbit.size(), layout.jumps.size()) / 4 > size_t(most)) return false;
    uploadBuffer(t.orbit, t.orbitBuffer, layout.orbit);
    uploadBuffer(t.jumps, t.jumpsBuffer, layout.jumps);
    return true;
}

void releaseTextures(DeepTextures& t)
{
    if (t.orbit) glDeleteTextures(1, &t.orbit);
    if (t.jumps) glDeleteTextures(1, &t.jumps);
    if (t.orbitBuffer) glDeleteBuffers(1, &t.orbitBuffer);
    if (t.jumpsBuffer) glDeleteBuffers(1, &t.jumpsBuffer);
    t = DeepTextures{};
}

void drawCounts(GLuint program, const DeepTextures& textures, const DeepLayout& layout, const DeepScene& scene,
                const CountTarget& target, TargetPlace place, int x, int y, int w, int h)
{
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    {
        PixelSpace space(target.width, target.height);
        glUseProgram(program);
        setDeepUniforms(program, layout, scene, place);
        setBuffer(GL_TEXTURE1, textures.jumps);
        setBuffer(GL_TEXTURE0, textures.orbit);
        quad(x, y, w, h);
        setBuffer(GL_TEXTURE1, 0);
        setBuffer(GL_TEXTURE0, 0);
        glUseProgram(0);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void readCounts(const CountTarget& target, int x, int y, int w, int h, float* counts)
{
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x, y, w, h, GL_RED, GL_FLOAT, counts);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void drawColours(GLuint program, GLuint table, const ColourFrame& f, int width, int height)
{
    PixelSpace space(width, height);
    glUseProgram(program);
    auto at = [program](const char* name) { return glGetUniformLocation(program, name); };
    glUniform1i(at("colourTable"), 0);
    glUniform1i(at("counts"), 1);
    glUniform1i(at("previous"), 2);
    glUniform3f(at("range"), float(f.range.mu0), float(f.range.mu1), float(f.range.bend));
    glUniform3f(at("previousRange"), float(f.previousRange.mu0), float(f.previousRange.mu1), float(f.previousRange.bend));
    glUniform2fv(at("countsOrigin"), 1, f.countsOrigin);
    glUniform2f(at("previousScale"), float(f.previousScale[0]), float(f.previousScale[1]));
    glUniform2f(at("previousOffset"), float(f.previousOffset[0]), float(f.previousOffset[1]));
    glUniform1f(at("previousValid"), f.previous ? 1.0f : 0.0f);
    setTexture2D(GL_TEXTURE1, f.counts->texture);
    setTexture2D(GL_TEXTURE2, f.previous ? f.previous->texture : 0);
    glBindTexture(GL_TEXTURE_1D, table);
    if (f.area[2] < 0 || f.area[3] < 0) quad(0, 0, width, height);
    else quad(f.area[0], f.area[1], f.area[2], f.area[3]);
    glBindTexture(GL_TEXTURE_1D, 0);
    setTexture2D(GL_TEXTURE1, 0);
    setTexture2D(GL_TEXTURE2, 0);
    glUseProgram(0);
}
