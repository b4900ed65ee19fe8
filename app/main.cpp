// fraktale: the Mandelbrot set and the Julia set of a chosen constant, side by
// side, computed per pixel by GLSL fragment programs. Start it from the
// folder that holds the six .glsl files.
#include "app/arguments.h"
#include "app/display.h"
#include "app/fractal_window.h"
#include "app/input.h"
#include "app/navigation.h"
#include "render/deep_gl.h"
#include "shaders/shader_set.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cstdio>

namespace {

void createFractalWindow(FractalWindow& w, const char* title, int number, void (*display)(),
                         void (*reshape)(int, int), void (*mouse)(int, int, int, int),
                         void (*motion)(int, int), void (*passive)(int, int))
{
    w.windowId = glutCreateWindow(title);
    glViewport(0, 0, w.width, w.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    glutMouseFunc(mouse);
    glutMotionFunc(motion);
    glutPassiveMotionFunc(passive);
    glutKeyboardFunc(keyboard);
    glutSpecialFunc(specialKey);
    w.transferFunction.initialise(number, editorMenu);
    w.transferFunction.windowHeight = w.height;
}

// Whether this GL draws past single precision; said once when it cannot.
bool checkDeep()
{
    glutSetWindow(mandelbrotWindow.windowId);
    std::string missing;
    if (deepSupported(missing)) return true;
    std::printf("\nTiefenzoom nicht verf\xC3\xBCgbar, es fehlt %s: der Zoom endet wie bisher an der Grenze "
                "einfacher Genauigkeit.\n", missing.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    // The progress messages carry no line feed of their own; unbuffered,
    // they reach the console (or a log) the moment they are printed.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    LocationOptions locations;
    std::string error;
    switch (readViewerArguments(argc, argv, locations, error)) {
    case ViewerStart::help:
        std::fputs(viewerUsage, stdout);
        std::fputs(locationUsage, stdout);
        return 0;
    case ViewerStart::error:
        std::fprintf(stderr, "fraktale: %s\n%s%s", error.c_str(), viewerUsage, locationUsage);
        return 2;
    case ViewerStart::run:
        break;
    }
    glutInit(&argc, argv);
    glutInitWindowSize(mandelbrotWindow.width, mandelbrotWindow.height);
    glutInitWindowPosition(0, 0);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    createFractalWindow(mandelbrotWindow, "Mandelbrot Set", 1, mandelbrotDisplay, mandelbrotReshape,
                        mandelbrotMouse, mandelbrotMotion, mandelbrotPassiveMotion);

    glutInitWindowPosition(mandelbrotWindow.width + windowGap, 0);
    createFractalWindow(juliaWindow, "Julia Set", 2, juliaDisplay, juliaReshape, juliaMouse, juliaMotion,
                        juliaPassiveMotion);

    windowMenu = glutCreateMenu(windowMenuHandler);
    glutSetMenu(windowMenu);
    glutAddMenuEntry("Bild speichern", 0);
    glutAddMenuEntry("Exit", 1);
    glutAttachMenu(GLUT_RIGHT_BUTTON);
    glutMenuStatusFunc(menuStatus);

    armIdle();
    if (glewInit() != GLEW_OK) {
        std::printf("GLEW error");
        return 1;
    }
    shaderSet.initPrograms(mandelbrotWindow.windowId, juliaWindow.windowId);
    deepAvailable = checkDeep();
    applyLocations(locations);
    mandelbrotWindow.home = windowView(mandelbrotWindow);
    juliaWindow.home = windowView(juliaWindow);
    glutMainLoop();
    std::printf("Main loop terminated.");
    return 0;
}
