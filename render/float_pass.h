// The float programs' pass, as the viewer has always drawn a window: the
// program, the colour table on texture unit 0, the Julia constant as "cr"
// and "ci", and one quad whose corners carry the complex numbers at the
// corners of what is drawn. The caller sets the projection (window pixels,
// origin at the bottom-left) and the viewport.
#pragma once

#include <GL/glew.h>

// The rectangle drawn, in the complex plane: its left and right real
// parts, bottom and top imaginary parts, as doubles for the texture
// coordinates (the viewer's are its float bounds, exactly).
struct PlaneRect {
    double left, right, bottom, top;
};

// The projection the pass expects over a framebuffer of width x height:
// one unit a pixel, origin at the bottom-left; the viewport over all of it.
void pixelProjection(int width, int height);

// constant: cr, ci for the Julia program; null for the Mandelbrot program,
// which takes no uniforms.
void drawFloatFractal(GLhandleARB program, GLuint table, PlaneRect rect, int width, int height, const float* constant);
