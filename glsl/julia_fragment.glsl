#version 120
// The Julia set of the constant cr + i ci with smooth escape-time colouring.
//
// Each fragment iterates z <- z^2 + (cr + i ci) from its own starting point
// z = s + i t. The colouring, the iteration limit and the four-step loop are
// the Mandelbrot program's: a continuous escape count mapped logarithmically
// onto the colour table, the table's last texel for points that never
// escape, and a limit of 260 at the default views that grows with the zoom.

uniform sampler1D colourTable;
uniform float cr;
uniform float ci;

const float bailout = 256.0;
const int hardLimit = 4096;

float iterationLimit(vec2 z)
{
    vec2 footprint = fwidth(z);
    float f = max(max(footprint.x, footprint.y), 1e-30);
    return floor(min(260.0 + 128.0 * max(0.0, log2(0.00375 / f)), float(hardLimit)));
}

vec2 square(vec2 z)
{
    return vec2(z.x * z.x - z.y * z.y, 2.0 * z.x * z.y);
}

vec4 tableColour(float s)
{
    return vec4(texture1D(colourTable, (0.5 + s * 511.0) / 512.0).rgb, 1.0);
}

void main()
{
    vec2 z = gl_TexCoord[0].st;
    vec2 c = vec2(cr, ci);
    float limit = iterationLimit(z);
    float n = 0.0;
    bool escaped = dot(z, z) > bailout;
    for (int i = 0; i < hardLimit; i += 4) {
        if (escaped || n + 4.0 > limit) break;
        vec2 z1 = square(z) + c;
        vec2 z2 = square(z1) + c;
        vec2 z3 = square(z2) + c;
        vec2 z4 = square(z3) + c;
        if (dot(z4, z4) > bailout || dot(z3, z3) > bailout || dot(z2, z2) > bailout || dot(z1, z1) > bailout) {
            if (dot(z1, z1) > bailout) { z = z1; n += 1.0; }
            else if (dot(z2, z2) > bailout) { z = z2; n += 2.0; }
            else if (dot(z3, z3) > bailout) { z = z3; n += 3.0; }
            else { z = z4; n += 4.0; }
            escaped = true;
            break;
        }
        z = z4;
        n += 4.0;
    }
    for (int i = 0; i < 3; ++i) {
        if (escaped || n >= limit) break;
        z = square(z) + c;
        n += 1.0;
        escaped = dot(z, z) > bailout;
    }
    if (!escaped) {
        gl_FragColor = tableColour(1.0);
        return;
    }
    float mu = max(n - log2(log2(dot(z, z)) / log2(bailout)), 0.0);
    gl_FragColor = tableColour(clamp(log(mu + 1.0) / log(limit + 1.0), 0.0, 1.0));
}
