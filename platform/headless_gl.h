// An OpenGL context without a window, for drawing into framebuffer objects:
// first EGL on Mesa's surfaceless platform, then EGL on a device (NVIDIA
// without a display), then a hidden freeglut window where EGL gives nothing
// (that needs an X display). Every context is a default (compatibility) one,
// since the programs draw in immediate mode with GLSL built-ins; GLEW's
// entry points are loaded and checked before it counts as open.
//
// Limits: one context per process, current on the calling thread; none of
// them has a default framebuffer worth drawing into.
#pragma once

#include <string>

enum class HeadlessKind { none, eglSurfaceless, eglDevice, hiddenWindow };


struct HeadlessGl {
    HeadlessKind kind = HeadlessKind::none;
    void* display = nullptr;  // EGLDisplay
    void* context = nullptr;  // EGLContext
    void* config = nullptr;   // EGLConfig: 8-bit RGBA, an X window's colour format
    void* surface = nullptr;  // EGLSurface: a pbuffer, where surfaceless contexts are not offered or one was asked for
    int surfaceWidth = 0, surfaceHeight = 0;  // of a pbuffer from useHeadlessSurface
    int window = 0;           // freeglut's window
    std::string renderer;     // GL_RENDERER of the open context
    std::string eglProblem;   // why EGL gave no context, when it gave none
    bool eglDriverFound = false;  // some EGL display initialised, whatever failed after
};

// "EGL surfaceless", "EGL device", "verstecktes freeglut-Fenster", "kein".
const char* headlessKindName(HeadlessKind kind);

// Opens and makes current the first context that works; false with `error`
// set to one German line naming what each way lacked.
bool openHeadlessGl(HeadlessGl& gl, std::string& error);
void closeHeadlessGl(HeadlessGl& gl);

// An EGL context draws into a pbuffer of exactly width x height from now
// on: llvmpipe compiles a fragment program for each colour format and
// framebuffer it writes, and the float programs' last bits differ between
// them, so a picture drawn into a pbuffer of a window's format and size is
// that window's picture to the pixel (a framebuffer object's can differ at
// the set's edge). False, and nothing changed, where no such pbuffer can
// be had (the hidden window, or a driver without pbuffers).
bool useHeadlessSurface(HeadlessGl& gl, int width, int height);
