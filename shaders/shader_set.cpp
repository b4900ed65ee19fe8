// Builds the four programs once at start-up. Nothing here stops the program:
// compile logs and GL errors are printed and the start-up goes on.
#include "shaders/shader_set.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>

ShaderSet shaderSet;

namespace {

void reportGlError(const char* message)
{
    GLenum error = glGetError();
    if (error != GL_NO_ERROR) std::printf(message, reinterpret_cast<const char*>(gluErrorString(error)));
}

void setSource(GLhandleARB shader, const std::string& source)
{
    const GLcharARB* text = source.data();
    GLint length = static_cast<GLint>(source.size());
    glShaderSourceARB(shader, 1, &text, &length);
}

}  // namespace

void printShaderInfoLog(GLhandleARB shader)
{
    GLint length = 0;
    glGetShaderiv(static_cast<GLuint>(shader), GL_INFO_LOG_LENGTH, &length);
    if (length <= 0) return;
    char* log = static_cast<char*>(std::malloc(static_cast<size_t>(length)));
    if (!log) return;
    GLsizei written = 0;
    glGetShaderInfoLog(static_cast<GLuint>(shader), length, &written, log);
    log[length - 1] = '\0';  // a driver may fill the buffer without a terminator
    std::printf("\nShaderInfoLog:\n%s\n******************************\n", log);
    std::free(log);
}

void ShaderSet::buildProgram(std::string vertexFile, std::string fragmentFile, GLhandleARB& program)
{
    vertexSource = loadShaderSource(vertexFile);
    fragmentSource = loadShaderSource(fragmentFile);
    vertexShader = glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    fragmentShader = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
    setSource(vertexShader, vertexSource);
    setSource(fragmentShader, fragmentSource);
    glCompileShaderARB(vertexShader);
    glCompileShaderARB(fragmentShader);
    printShaderInfoLog(vertexShader);
    printShaderInfoLog(fragmentShader);
    glAttachObjectARB(program, vertexShader);
    glAttachObjectARB(program, fragmentShader);
    glLinkProgramARB(program);
}

void ShaderSet::initPrograms(int mandelbrotWindowId, int juliaWindowId)
{
    glutSetWindow(mandelbrotWindowId);
    mandelbrotProgram = glCreateProgramObjectARB();
    buildProgram("mandelbrot_vertex.glsl", "mandelbrot_fragment.glsl", mandelbrotProgram);
    reportGlError("\nOpenGL beim Mandelbrot Shader initialisieren: %s\n");
    mandelbrotTransferFunctionProgram = glCreateProgramObjectARB();
    buildProgram("transferFunction_vertex.glsl", "transferFunction_fragment.glsl",
                 mandelbrotTransferFunctionProgram);
    reportGlError("\nOpenGL beim TransferFunctionM Shader initialisieren: %s\n");

    glutSetWindow(juliaWindowId);
    juliaProgram = glCreateProgramObjectARB();
    buildProgram("julia_vertex.glsl", "julia_fragment.glsl", juliaProgram);
    reportGlError("\nOpenGL beim Julia Shader initialisieren: %s\n");
    juliaTransferFunctionProgram = glCreateProgramObjectARB();
    buildProgram("transferFunction_vertex.glsl", "transferFunction_fragment.glsl",
                 juliaTransferFunctionProgram);
    reportGlError("\nOpenGL beim TransferFunctionF Shader initialisieren: %s\n");
}
