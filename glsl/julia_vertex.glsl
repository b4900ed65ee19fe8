#version 120
// Passes the corner's position through the fixed-function matrices and its
// texture coordinate (the complex number at the corner) on, and works out
// once per pass what depends on the constant cr + i ci alone: a disc about
// one point of the attracting cycle of z^2 + c that orbits never leave once
// inside (trap: centre, radius squared; radius 0 where there is none). All
// four corners compute the same disc, so it reaches every fragment as is.
//
// The cycle, if there is one, attracts the critical point 0: its orbit is
// run 2048 steps to settle, then the period p is the first return to within
// 1e-5 of where it settled (at most 64). The disc is certified by bounding
// p steps of every point in it: f(a + h) = f(a) + h (2a + h), so a distance
// r from the cycle point a becomes at most r (2|a| + r), plus 1e-6 for the
// rounding of the fragment's own arithmetic. The disc (radius r0, tried from
// 1 down in steps of 0.7) counts when the bound after p steps, plus how far
// the float cycle misses closing, lies within (1 + |multiplier|) / 2 of r0.
// Without a settled cycle (c outside the Mandelbrot set, or too close to
// the edge of its component) there is no disc.
uniform float cr;
uniform float ci;
varying vec3 trap;

const int settleSteps = 2048;
const int maxPeriod = 64;

vec2 square(vec2 z)
{
    return vec2(z.x * z.x - z.y * z.y, 2.0 * z.x * z.y);
}

// The period of the cycle that a settled orbit point w lies on, or 0.
int period(vec2 w, vec2 c)
{
    vec2 z = w;
    for (int k = 1; k <= maxPeriod; ++k) {
        z = square(z) + c;
        vec2 d = z - w;
        if (dot(d, d) < 1e-10) return k;
    }
    return 0;
}

// Whether the disc of radius r0 about w comes back into itself after p steps.
bool holds(vec2 w, vec2 c, int p, float r0)
{
    float r = r0;
    float multiplier = 1.0;
    vec2 z = w;
    for (int k = 0; k < maxPeriod; ++k) {
        if (k >= p) break;
        float a = 2.0 * length(z);
        multiplier *= a;
        r = r * (a + r) + 1e-6;
        z = square(z) + c;
    }
    return multiplier < 1.0 && r + length(z - w) <= 0.5 * r0 * (1.0 + multiplier);
}

vec3 cycleTrap(vec2 c)
{
    vec2 z = vec2(0.0);
    for (int i = 0; i < settleSteps; ++i) {
        z = square(z) + c;
        if (dot(z, z) > 256.0) return vec3(0.0);
    }
    int p = period(z, c);
    if (p == 0) return vec3(0.0);
    float r0 = 1.0;
    for (int i = 0; i < 40; ++i) {
        if (holds(z, c, p, r0)) return vec3(z, r0 * r0);
        r0 *= 0.7;
    }
    return vec3(0.0);
}

void main()
{
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    trap = cycleTrap(vec2(cr, ci));
}
