#version 120
// The Mandelbrot set with smooth escape-time colouring.
//
// Each fragment iterates z <- z^2 + c from z = 0, where c = s + i t is its
// texture coordinate. Escaping points are coloured by a continuous escape
// count mu, mapped logarithmically onto the colour table; points that never
// escape take the table's last texel, so the editor controls every colour.
//
// The iteration limit follows the pixel footprint: 260 at the default views
// (256 and the few steps the large bailout needs beyond radius 2), 128 more
// for every halving of the footprint below 3/800, at most 4096, rounded down
// to whole rounds of the loop below.
// The main cardioid and the period-2 bulb are recognised without iterating.
// The loop takes four steps per escape test: with a bailout of 256 the three
// steps past an escape stay far inside float range, and the first escaping
// step is picked out afterwards, so the result is that of single steps.

uniform sampler1D colourTable;

const float bailout = 256.0;
const int hardLimit = 4096;

float iterationLimit(vec2 c)
{
    vec2 footprint = fwidth(c);
    float f = max(max(footprint.x, footprint.y), 1e-30);
    return 4.0 * floor(min(260.0 + 128.0 * max(0.0, log2(0.00375 / f)), float(hardLimit)) / 4.0);
}

bool inCardioidOrBulb(vec2 c)
{
    float xq = c.x - 0.25;
    float q = xq * xq + c.y * c.y;
    if (q * (q + xq) <= 0.25 * c.y * c.y) return true;
    float xb = c.x + 1.0;
    return xb * xb + c.y * c.y <= 0.0625;
}

vec2 square(vec2 z)
{
    return vec2(z.x * z.x - z.y * z.y, 2.0 * z.x * z.y);
}

vec4 tableColour(float s)
{
    // Texel centres: s = 0 is the first texel, s = 1 the last.
    return vec4(texture1D(colourTable, (0.5 + s * 511.0) / 512.0).rgb, 1.0);
}

void main()
{
    vec2 c = gl_TexCoord[0].st;
    float limit = iterationLimit(c);
    if (inCardioidOrBulb(c)) {
        gl_FragColor = tableColour(1.0);
        return;
    }
    vec2 z = vec2(0.0);
    float n = 0.0;
    bool escaped = false;
    for (int i = 0; i < hardLimit; i += 4) {
        if (n + 4.0 > limit) break;
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
    if (!escaped) {
        gl_FragColor = tableColour(1.0);
        return;
    }
    float mu = max(n - log2(log2(dot(z, z)) / log2(bailout)), 0.0);
    gl_FragColor = tableColour(clamp(log(mu + 1.0) / log(limit + 1.0), 0.0, 1.0));
}
