// The GL side of the benchmark: building programs, the yardstick shaders,
// the offscreen targets, and drawing a pass exactly as the viewer's display
// pass draws it, each one waited for with glFinish.
#pragma once

#include "bench/bench.h"

#include <GL/glew.h>

#include <string>
#include <vector>

namespace bench {

struct Target {
    GLuint framebuffer = 0;
    GLuint colour = 0;
};

Target makeTarget(GLint internalFormat, GLenum type);

bool linked(GLhandleARB program);
void printProgramLog(GLhandleARB program);
GLhandleARB compileProgram(const std::string& vertexSource, const std::string& fragmentSource);

// The textbook shader (a plain loop of `steps` steps) or the early-exit loop
// (the same loop left at escape), for either fractal.
std::string yardstickSource(bool julia, bool earlyExit, int steps);

// A program that writes the product's per-fragment iteration limit into the
// red channel, made of the product's own iterationLimit(); 0 without one.
GLhandleARB limitProbe(const std::string& vertexSource, const std::string& productFragment);

void drawPass(const Target& target, GLhandleARB program, GLuint table, const View& v);

// Milliseconds per pass for each program, taking turns pass by pass.
std::vector<std::vector<double>> timePasses(const Target& target, const std::vector<GLhandleARB>& programs,
                                            GLuint table, const View& v, int passes);

std::vector<float> readRed(const Target& floatTarget);

// For each program, the pixels of its picture whose colour is off the first
// program's by more than 2/255 in some channel.
std::vector<long> differingFromFirst(const Target& target, const std::vector<GLhandleARB>& programs, GLuint table,
                                     const View& v);

}  // namespace bench
