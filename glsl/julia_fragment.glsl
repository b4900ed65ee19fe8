#version 120
// The Julia set of the constant cr + i ci with smooth escape-time colouring.
//
// Each fragment iterates z <- z^2 + (cr + i ci) from its own starting point
// z = s + i t. The colouring, the iteration limit and the four-step loop are
// the Mandelbrot program's: a continuous escape count mapped logarithmically
// onto the colour table, the table's last texel for points that never
// escape, and a limit of 260 at the default views that grows with the zoom.
//
// When the constant lies in the main cardioid or the period-2 bulb, the
// filled Julia set's interior is the basin of an attracting fixed point or
// 2-cycle. Around each point of that cycle lies a disc that orbits never
// leave once inside (see traps()); an orbit found in one after a round of
// four steps is interior, and stops there instead of running to the limit.

uniform sampler1D colourTable;
uniform float cr;
uniform float ci;

const float bailout = 256.0;
const int hardLimit = 4096;

float iterationLimit(vec2 z)
{
    vec2 footprint = fwidth(z);
    float f = max(max(footprint.x, footprint.y), 1e-30);
    return 4.0 * floor(min(260.0 + 128.0 * max(0.0, log2(0.00375 / f)), float(hardLimit)) / 4.0);
}

vec2 square(vec2 z)
{
    return vec2(z.x * z.x - z.y * z.y, 2.0 * z.x * z.y);
}

vec2 complexSqrt(vec2 w)
{
    float m = length(w);
    float im = sqrt(max(0.5 * (m - w.x), 0.0));
    return vec2(sqrt(max(0.5 * (m + w.x), 0.0)), w.y < 0.0 ? -im : im);
}

// Discs (centre, radius) about the attracting cycle of z^2 + c; radius 0
// where there is none of period 1 or 2.
// Fixed point a with |2a| < 1: |f(a + h) - a| = |h| |2a + h|, so within
// r = (1 - |2a|) / 2 of a each step multiplies the distance by at most
// (1 + |2a|) / 2. 2-cycle p, q with A = |2p|, B = |2q|, AB < 1: f(p + h) =
// q + h (2p + h) and f(q + k) = p + k (2q + k); for |h| <= r <= 1 two steps
// multiply |h| by at most AB + r (A^2 + 2A + B + 1), which is (1 + AB) / 2
// for r = (1 - AB) / 2 / (A^2 + 2A + B + 1); the same about q with A, B
// swapped.
// Keeping a margin of half the room leaves float rounding far inside it;
// cycles within 1e-4 of neutral get no disc.
void traps(vec2 c, out vec4 centres, out vec2 radii)
{
    vec2 a = 0.5 * (vec2(1.0, 0.0) - complexSqrt(vec2(1.0 - 4.0 * c.x, -4.0 * c.y)));
    float m = 2.0 * length(a);
    centres = vec4(a, a);
    radii = vec2(m < 1.0 - 1e-4 ? 0.5 * (1.0 - m) : 0.0);
    if (m < 1.0) return;
    vec2 d = complexSqrt(vec2(-3.0 - 4.0 * c.x, -4.0 * c.y));
    vec2 p = 0.5 * (vec2(-1.0, 0.0) + d);
    vec2 q = 0.5 * (vec2(-1.0, 0.0) - d);
    float A = 2.0 * length(p);
    float B = 2.0 * length(q);
    centres = vec4(p, q);
    if (A * B >= 1.0 - 1e-4) return;
    radii = 0.5 * (1.0 - A * B) / vec2(A * A + 2.0 * A + B + 1.0, B * B + 2.0 * B + A + 1.0);
}

bool trapped(vec2 z, vec4 centres, vec2 radii)
{
    vec2 dp = z - centres.xy;
    vec2 dq = z - centres.zw;
    return dot(dp, dp) < radii.x * radii.x || dot(dq, dq) < radii.y * radii.y;
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
    vec4 centres;
    vec2 radii;
    traps(c, centres, radii);
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
        if (trapped(z, centres, radii)) break;
    }
    if (!escaped) {
        gl_FragColor = tableColour(1.0);
        return;
    }
    float mu = max(n - log2(log2(dot(z, z)) / log2(bailout)), 0.0);
    gl_FragColor = tableColour(clamp(log(mu + 1.0) / log(limit + 1.0), 0.0, 1.0));
}
