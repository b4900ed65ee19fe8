#version 120
// The Julia set of the constant cr + i ci with smooth escape-time colouring.
//
// Each fragment iterates z <- z^2 + (cr + i ci) from its own starting point
// z = s + i t. The colouring, the iteration limit and the loop are the
// Mandelbrot program's: a continuous escape count mapped logarithmically
// onto the colour table, the table's last texel for points that never
// escape, a limit of 260 at the default views that grows with the zoom, and
// rounds of eight steps with the escaping step found after the loop.
//
// When the constant has an attracting cycle, every interior orbit settles
// on it, and the vertex program hands over a disc about one cycle point that
// orbits never leave (trap). An orbit found in it after a round is interior
// and stops. The round's last four steps are tested, so an orbit is caught
// whichever point of the cycle the rounds land on, for every period not a
// multiple of 8 (those still stop in half of the cases; the rest run to the
// limit, with the same picture).

uniform sampler1D colourTable;
uniform float cr;
uniform float ci;
varying vec3 trap;

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

bool trapped(vec2 z)
{
    vec2 d = z - trap.xy;
    return dot(d, d) < trap.z;
}

// Eight steps from z: where they end, |z|^2 after steps 1 to 4 (ra) and 5
// to 8 (rb), and whether any of steps 5 to 8 lies in the trap.
vec2 round8(vec2 z, vec2 c, out vec4 ra, out vec4 rb, out bool inTrap)
{
    vec2 z1 = square(z) + c;
    vec2 z2 = square(z1) + c;
    vec2 z3 = square(z2) + c;
    vec2 z4 = square(z3) + c;
    vec2 z5 = square(z4) + c;
    vec2 z6 = square(z5) + c;
    vec2 z7 = square(z6) + c;
    vec2 z8 = square(z7) + c;
    ra = vec4(dot(z1, z1), dot(z2, z2), dot(z3, z3), dot(z4, z4));
    rb = vec4(dot(z5, z5), dot(z6, z6), dot(z7, z7), dot(z8, z8));
    inTrap = trapped(z5) || trapped(z6) || trapped(z7) || trapped(z8);
    return z8;
}

// The first of the round's steps past the bailout (9: none) and its |z|^2.
float firstEscape(vec4 ra, vec4 rb, out float r)
{
    bvec4 pa = greaterThan(ra, vec4(bailout));
    bvec4 pb = greaterThan(rb, vec4(bailout));
    r = pa.x ? ra.x : pa.y ? ra.y : pa.z ? ra.z : pa.w ? ra.w : pb.x ? rb.x : pb.y ? rb.y : pb.z ? rb.z : rb.w;
    return pa.x ? 1.0 : pa.y ? 2.0 : pa.z ? 3.0 : pa.w ? 4.0 : pb.x ? 5.0 : pb.y ? 6.0 : pb.z ? 7.0 : pb.w ? 8.0 : 9.0;
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
    for (; n + 8.0 <= limit; n += 8.0) {
        vec4 ra, rb;
        bool inTrap;
        vec2 z8 = round8(z, c, ra, rb, inTrap);
        if (ra.x > bailout || ra.w > bailout || rb.w > bailout) break;
        z = z8;
        // Past the limit: the loop ends and the pixel is interior.
        if (inTrap) n = float(hardLimit);
    }
    // The round that left the bailout, or the last four steps before the
    // limit: the first step past the bailout, if it is within the limit.
    vec4 ra, rb;
    bool inTrap;
    round8(z, c, ra, rb, inTrap);
    float r;
    float k = firstEscape(ra, rb, r);
    if (n + k > limit) {
        gl_FragColor = tableColour(1.0);
        return;
    }
    float mu = max(n + k - log2(log2(r)) + 3.0, 0.0);
    gl_FragColor = tableColour(clamp(log2(mu + 1.0) / log2(limit + 1.0), 0.0, 1.0));
}
