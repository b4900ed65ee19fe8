// fraktale: the Mandelbrot set and the Julia set of a chosen constant, side by
// side, computed per pixel by GLSL fragment programs. Start it from the
// folder that holds the six .glsl files.
#include "app/display.h"
#include "app/fractal_window.h"
#include "app/input.h"
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
    w.transferFunction.initialise(number, editorMenu);
    w.transferFunction.windowHeight = w.height;
}

}  // namespace

int main(int argc, char** argv)
{
    // The progress messages carry no line feed of their own; unbuffered,
    // they reach the console (or a log) the moment they are printed.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

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
    glutMainLoop();
    std::printf("Main loop terminated.");
    return 0;
}
