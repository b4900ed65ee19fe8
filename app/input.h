// Mouse, keyboard and window-menu handlers of the two fractal windows.
#pragma once

void mandelbrotMouse(int button, int state, int x, int y);
void juliaMouse(int button, int state, int x, int y);
void mandelbrotMotion(int x, int y);
void juliaMotion(int x, int y);
void mandelbrotPassiveMotion(int x, int y);
void juliaPassiveMotion(int x, int y);
// The keys (app/keys.cpp): + - Backspace Esc, and the arrows and Home.
void keyboard(unsigned char key, int x, int y);
void specialKey(int key, int x, int y);
void windowMenuHandler(int value);
// The GLUT callback of every editor menu: acts on the current window's editor.
void editorMenu(int value);
// GLUT menu status callback: keeps menuInUse current and, as a menu opens,
// works around freeglut's menu faults (menu_workaround.h).
void menuStatus(int status, int x, int y);

// Ends the program with status 0, releasing the textures while their
// contexts still exist.
[[noreturn]] void quit();
