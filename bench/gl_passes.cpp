// Programs, targets and timed passes for the benchmark. A pass is the
// display pass's projection, quad and texture coordinates drawn into an
// offscreen framebuffer, so the fragment work is the viewer's own.
#include "bench/gl_passes.h"
#include "render/float_pass.h"
#include "shaders/shader_set.h"

#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>

namespace bench {

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

// The textbook shader has no escape test to leave the loop early and no
// interior test; it counts the steps z stayed within radius 2 and colours by
// that count. The clamp keeps escaped orbits finite, and at |c| <= 2 an orbit
// that left radius 2 never comes back, so the count is the escape count of
// the early-exit loop. The header picks where z starts and what c is.
std::string yardstickSource(bool julia, bool earlyExit, int steps)
{
    const std::string count = std::to_string(steps) + ".0";
    std::string source = "#version 120\nuniform sampler1D colourTable;\n";
    source += julia ? "uniform float cr;\nuniform float ci;\nvoid main()\n{\n"
                      "    vec2 c = vec2(cr, ci);\n    vec2 z = gl_TexCoord[0].st;\n"
                    : "void main()\n{\n    vec2 c = gl_TexCoord[0].st;\n    vec2 z = vec2(0.0);\n";
    source += "    float n = 0.0;\n"
              "    for (int i = 0; i < " + std::to_string(steps) + "; ++i) {\n"
              "        z = vec2(z.x * z.x - z.y * z.y, 2.0 * z.x * z.y) + c;\n";
    source += earlyExit ? "        if (dot(z, z) > 4.0) break;\n"
                          "        n += 1.0;\n"
                        : "        n += dot(z, z) <= 4.0 ? 1.0 : 0.0;\n"
                          "        z = clamp(z, -4.0, 4.0);\n";
    source += "    }\n"
              "    gl_FragColor = vec4(texture1D(colourTable, n / " + count + ").rgb, 1.0);\n"
              "}\n";
    return source;
}

// The text of `float NAME(...) { ... }` out of a shader source, braces
// matched; empty when the function is not there.
std::string extractFunction(const std::string& source, const std::string& head)
{
    const size_t start = source.find(head);
    if (start == std::string::npos) return "";
    int depth = 0;
    for (size_t i = source.find('{', start); i < source.size(); ++i) {
        if (source[i] == '{') ++depth;
        if (source[i] == '}' && --depth == 0) return source.substr(start, i + 1 - start);
    }
    return "";
}

GLhandleARB limitProbe(const std::string& vertexSource, const std::string& productFragment)
{
    const std::string function = extractFunction(productFragment, "float iterationLimit(");
    if (function.empty()) return 0;
    std::string source = "#version 120\n";
    // The product's function may use constants declared above it.
    for (size_t pos = 0; (pos = productFragment.find("const ", pos)) != std::string::npos;) {
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

void drawQuad(const View& v)
{
    const float size = static_cast<float>(passSize);
    glBegin(GL_QUADS);
    glTexCoord2d(v.left, v.bottom);
    glVertex2f(0, 0);
    glTexCoord2d(v.right, v.bottom);
    glVertex2f(size, 0);
    glTexCoord2d(v.right, v.top);
    glVertex2f(size, size);
    glTexCoord2d(v.left, v.top);
    glVertex2f(0, size);
    glEnd();
}

void drawPass(const Target& target, GLhandleARB program, GLuint table, const View& v)
{
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    pixelProjection(passSize, passSize);
    glClear(GL_COLOR_BUFFER_BIT);
    glUseProgramObjectARB(program);
    glBindTexture(GL_TEXTURE_1D, table);
    if (v.julia) {
        glUniform1fARB(glGetUniformLocationARB(program, "cr"), v.cr);
        glUniform1fARB(glGetUniformLocationARB(program, "ci"), v.ci);
    }
    drawQuad(v);
    glBindTexture(GL_TEXTURE_1D, 0);
    glUseProgramObjectARB(0);
    glFinish();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

// One timed pass; a function of its own so that valgrind can count the
// instructions of the timed passes alone (--toggle-collect, with
// LP_NUM_THREADS=0 so llvmpipe draws on this thread).
[[gnu::noinline]] double timedPass(const Target& target, GLhandleARB program, GLuint table, const View& v)
{
    const auto start = Clock::now();
    drawPass(target, program, table, v);
    return millisecondsSince(start);
}

// A load that comes and goes on a shared machine falls on all programs
// alike, so their ratios stay fair.
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
        for (size_t k = 0; k < programs.size(); ++k) ms[k].push_back(timedPass(target, programs[k], table, v));
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

long differingPixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    long count = 0;
    for (int i = 0; i < pixelCount; ++i) {
        bool off = false;
        for (int k = 0; k < 3; ++k) off = off || std::abs(int(a[4 * i + k]) - int(b[4 * i + k])) > 2;
        count += off;
    }
    return count;
}

std::vector<long> differingFromFirst(const Target& target, const std::vector<GLhandleARB>& programs, GLuint table,
                                     const View& v)
{
    std::vector<long> counts;
    std::vector<unsigned char> first;
    for (GLhandleARB program : programs) {
        drawPass(target, program, table, v);
        const std::vector<unsigned char> picture = readPicture(target);
        if (first.empty()) first = picture;
        counts.push_back(differingPixels(first, picture));
    }
    return counts;
}

std::vector<float> readRed(const Target& floatTarget)
{
    std::vector<float> red(pixelCount);
    glBindFramebuffer(GL_FRAMEBUFFER, floatTarget.framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, passSize, passSize, GL_RED, GL_FLOAT, red.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return red;
}

}  // namespace bench
