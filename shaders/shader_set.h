// The four GLSL programs: each fractal window's program and its editor's
// colour-bar program, built in the window whose context will use them.
#pragma once

#include <GL/glew.h>

#include <string>

// Reads a shader source the way the programs have always been fed: in pieces
// of at most 199 characters, each followed by one extra line feed. An empty
// string and a German message when the file cannot be opened.
std::string loadShaderSource(const std::string& fileName);

struct ShaderSet {
    GLhandleARB mandelbrotProgram = 0;
    GLhandleARB juliaProgram = 0;
    GLhandleARB mandelbrotTransferFunctionProgram = 0;
    GLhandleARB juliaTransferFunctionProgram = 0;
    std::string vertexSource;
    std::string fragmentSource;
    GLhandleARB vertexShader = 0;
    GLhandleARB fragmentShader = 0;

    // Each fractal window's programs are built in that window's context.
    void initPrograms(int mandelbrotWindowId, int juliaWindowId);
    void buildProgram(std::string vertexFile, std::string fragmentFile, GLhandleARB& program);
};

void printShaderInfoLog(GLhandleARB shader);

extern ShaderSet shaderSet;
