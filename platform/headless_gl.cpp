// The headless context: EGL surfaceless, EGL device, hidden freeglut window,
// in that order. Every EGL attempt that fails is undone before the next, so
// the one that succeeds starts clean; each way's failure is kept as a short
// German phrase for the one error line.
#include "platform/headless_gl.h"

#include <GL/glew.h>
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/freeglut.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>

namespace {

bool hasExtension(const char* list, const char* name)
{
    if (!list) return false;
    const size_t n = std::strlen(name);
    for (const char* at = list; (at = std::strstr(at, name)) != nullptr; at += n)
        if ((at == list || at[-1] == ' ') && (at[n] == ' ' || at[n] == '\0')) return true;
    return false;
}

// The GLEW pointers the drawing calls (GL 1.1 calls such as glTexImage2D
// are linked directly and need no check); null when all are there.
const char* missingEntryPoint()
{
    const struct {
        bool present;
        const char* name;
    } needed[] = {
        {glGenFramebuffers != nullptr, "glGenFramebuffers"}, {glBindFramebuffer != nullptr, "glBindFramebuffer"},
        {glFramebufferTexture2D != nullptr, "glFramebufferTexture2D"},
        {glCheckFramebufferStatus != nullptr, "glCheckFramebufferStatus"},
        {glCreateShaderObjectARB != nullptr, "glCreateShaderObjectARB"}, {glShaderSourceARB != nullptr, "glShaderSourceARB"},
        {glCompileShaderARB != nullptr, "glCompileShaderARB"}, {glCreateProgramObjectARB != nullptr, "glCreateProgramObjectARB"},
        {glAttachObjectARB != nullptr, "glAttachObjectARB"}, {glLinkProgramARB != nullptr, "glLinkProgramARB"},
        {glUseProgramObjectARB != nullptr, "glUseProgramObjectARB"},
        {glGetUniformLocationARB != nullptr, "glGetUniformLocationARB"}, {glUniform1fARB != nullptr, "glUniform1fARB"},
        {glGetObjectParameterivARB != nullptr, "glGetObjectParameterivARB"}, {glGetInfoLogARB != nullptr, "glGetInfoLogARB"},
    };
    for (const auto& entry : needed)
        if (!entry.present) return entry.name;
    return nullptr;
}

// GLEW as Debian builds it (2.2, for GLX) loads every entry point in
// glewInit and only then looks for a GLX display, so under EGL glewInit
// returns GLEW_ERROR_NO_GLX_DISPLAY with the pointers loaded. That one code
// counts as success for an EGL context; the pointers the drawing needs are
// checked either way.
bool loadEntryPoints(bool egl, std::string& problem)
{
    const GLenum status = glewInit();
    if (status != GLEW_OK && !(egl && status == GLEW_ERROR_NO_GLX_DISPLAY)) {
        problem = "GLEW: " + std::string(reinterpret_cast<const char*>(glewGetErrorString(status)));
        return false;
    }
    const char* missing = missingEntryPoint();
    if (missing) problem = std::string(missing) + " fehlt";
    return !missing;
}

void closeEgl(HeadlessGl& gl)
{
    if (!gl.display) return;
    eglMakeCurrent(gl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (gl.surface) eglDestroySurface(gl.display, gl.surface);
    if (gl.context) eglDestroyContext(gl.display, gl.context);
    eglTerminate(gl.display);
    eglReleaseThread();
    gl.display = gl.context = gl.surface = nullptr;
}

// Where surfaceless contexts are not offered, a tiny pbuffer stands in
// until useHeadlessSurface gives one of the picture's size.
bool makeCurrent(HeadlessGl& gl, EGLConfig config, std::string& problem)
{
    gl.config = config;
    gl.context = eglCreateContext(gl.display, config, EGL_NO_CONTEXT, nullptr);
    if (!gl.context) return problem = "eglCreateContext gescheitert", false;
    if (!hasExtension(eglQueryString(gl.display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context")) {
        const EGLint size[] = {EGL_WIDTH, 16, EGL_HEIGHT, 16, EGL_NONE};
        gl.surface = eglCreatePbufferSurface(gl.display, config, size);
        if (!gl.surface) return problem = "eglCreatePbufferSurface gescheitert", false;
    }
    if (!eglMakeCurrent(gl.display, gl.surface, gl.surface, gl.context))
        return problem = "eglMakeCurrent gescheitert", false;
    return loadEntryPoints(true, problem);
}

// A default context of the OpenGL API (not ES): compatibility, as the
// programs need, at the highest version the driver gives one.
bool openOnDisplay(HeadlessGl& gl, EGLDisplay display, bool& driverFound, std::string& problem)
{
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr))
        return problem = "eglInitialize gescheitert", false;
    driverFound = true;
    gl.display = display;
    const EGLint wanted[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RED_SIZE, 8,
                             EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    bool ok = eglBindAPI(EGL_OPENGL_API) || (problem = "kein OpenGL \xC3\xBC" "ber EGL", false);
    if (ok && (!eglChooseConfig(display, wanted, &config, 1, &count) || count < 1))
        ok = (problem = "keine passende EGL-Konfiguration", false);
    if (ok) ok = makeCurrent(gl, config, problem);
    if (!ok) closeEgl(gl);
    return ok;
}

PFNEGLGETPLATFORMDISPLAYEXTPROC platformDisplay(const char* extension, std::string& problem)
{
    if (!hasExtension(eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS), extension))
        return problem = std::string("kein ") + extension, nullptr;
    auto get = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!get) problem = "kein eglGetPlatformDisplayEXT";
    return get;
}

bool openSurfaceless(HeadlessGl& gl, bool& driverFound, std::string& problem)
{
    auto get = platformDisplay("EGL_MESA_platform_surfaceless", problem);
    return get && openOnDisplay(gl, get(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr), driverFound, problem);
}

// The first device that gives a context, in the driver's order.
bool openDevice(HeadlessGl& gl, bool& driverFound, std::string& problem)
{
    auto get = platformDisplay("EGL_EXT_platform_device", problem);
    auto query = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    EGLDeviceEXT devices[16];
    EGLint count = 0;
    if (get && (!query || !query(16, devices, &count) || count < 1)) problem = "keine EGL-Ger\xC3\xA4te";
    for (EGLint i = 0; get && i < count; ++i)
        if (openOnDisplay(gl, get(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr), driverFound, problem)) return true;
    return false;
}

// freeglut ends the program when it cannot reach the display, so X is
// asked first. The window is hidden before it is ever shown.
bool openHiddenWindow(HeadlessGl& gl, std::string& problem)
{
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return problem = "DISPLAY nicht gesetzt", false;
    Display* x = XOpenDisplay(nullptr);
    if (!x) return problem = std::string("X-Display '") + name + "' nicht erreichbar", false;
    XCloseDisplay(x);
    char program[] = "fraktale-render";
    char* argv[] = {program, nullptr};
    int argc = 1;
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA);
    glutInitWindowSize(16, 16);
    gl.window = glutCreateWindow(program);
    glutHideWindow();
    return loadEntryPoints(false, problem);
}

bool opened(HeadlessGl& gl, HeadlessKind kind)
{
    gl.kind = kind;
    const GLubyte* renderer = glGetString(GL_RENDERER);
    gl.renderer = renderer ? reinterpret_cast<const char*>(renderer) : "";
    return true;
}

}  // namespace

bool useHeadlessSurface(HeadlessGl& gl, int width, int height)
{
    if (!gl.display || !gl.context) return false;
    const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    const EGLSurface surface = eglCreatePbufferSurface(gl.display, gl.config, size);
    if (!surface || !eglMakeCurrent(gl.display, surface, surface, gl.context)) {
        if (surface) eglDestroySurface(gl.display, surface);
        return false;
    }
    if (gl.surface) eglDestroySurface(gl.display, gl.surface);
    gl.surface = surface;
    gl.surfaceWidth = width;
    gl.surfaceHeight = height;
    return true;
}

const char* headlessKindName(HeadlessKind kind)
{
    switch (kind) {
    case HeadlessKind::eglSurfaceless: return "EGL surfaceless";
    case HeadlessKind::eglDevice: return "EGL device";
    case HeadlessKind::hiddenWindow: return "verstecktes freeglut-Fenster";
    case HeadlessKind::none: break;
    }
    return "kein";
}

bool openHeadlessGl(HeadlessGl& gl, std::string& error)
{
    gl = HeadlessGl{};
    std::string surfaceless, device, window;
    if (openSurfaceless(gl, gl.eglDriverFound, surfaceless)) return opened(gl, HeadlessKind::eglSurfaceless);
    if (openDevice(gl, gl.eglDriverFound, device)) return opened(gl, HeadlessKind::eglDevice);
    gl.eglProblem = "EGL surfaceless: " + surfaceless + "; EGL device: " + device;
    if (openHiddenWindow(gl, window)) return opened(gl, HeadlessKind::hiddenWindow);
    if (gl.window) glutDestroyWindow(gl.window);
    gl.window = 0;
    error = "kein OpenGL-Kontext (" + gl.eglProblem + "; Fenster: " + window + ")";
    return false;
}

void closeHeadlessGl(HeadlessGl& gl)
{
    closeEgl(gl);
    if (gl.window) glutDestroyWindow(gl.window);
    gl.window = 0;
    gl.kind = HeadlessKind::none;
}
