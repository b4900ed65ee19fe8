// Perturbation past single precision: each fragment iterates only its small
// difference d from a reference orbit Z that the CPU computed in arbitrary
// precision, and writes its continuous escape count mu (-1: interior) for
// the colour pass.
//
// Built with a prelude that sets the #version (400 compatibility) and
//   DOUBLE   1: d and dc in doubles, for pixels below float's range (about
//            1e-30 and deeper); 0: in floats, twice as fast on llvmpipe
//   JULIA    1: z <- z^2 + c from the pixel's point, d0 its offset from the
//            view's centre, where reference 0 starts; reference 1 is the
//            orbit of 0. 0: the Mandelbrot set, d0 = 0, dc the pixel's
//            offset from the reference point c.
//   SKIP     1: bilinear jumps over steps where d stays linear
//   INTERIOR 1: stop orbits that settled on an attracting cycle
//
// Mandelbrot: d' = 2 Z d + d^2 + dc; Julia: d' = 2 Z d + d^2. Z is kept as
// floats: its rounding is relative to d, not to the point, so it costs
// nothing at depth. Rebasing (Zhuoran): once |Z + d| < |d|, or the
// reference has no more steps, the fragment goes on from the start of the
// reference that begins at the critical point 0, with d <- Z + d; that keeps
// d small against z without glitch detection.
//
// Escape at |z|^2 > 256 with mu = n - log2(log2 |z|^2) + 3, and the
// iteration limit, are the float programs' own, so the pictures meet at the
// switch between them.

#if DOUBLE
#define REAL double
#define REAL2 dvec2
#else
#define REAL float
#define REAL2 vec2
#endif

uniform sampler2D orbit;   // per texel k: Z (xy), the longest jump's radius in pixels (z), its level (w)
#if DOUBLE
uniform usampler2D jumps;  // per node two texels: A, then B, each as two doubles
#else
uniform sampler2D jumps;   // per node: A (xy), B (zw)
#endif
uniform int refStart[2];   // texel of step 0 of each reference
uniform int refEnd[2];     // last step of each reference
uniform int levelStart[34];  // [17 r + l]: first node of level l of reference r
uniform float limit;
uniform vec2 pixelOffset;  // gl_FragCoord + pixelOffset: the fragment's pixel from the reference point
uniform REAL2 pixelSize;
uniform REAL pixelsPerUnit;  // 1 / a power of two near the pixel size: d in pixels, exactly

const int orbitWidth = 4096;  // texels per row of both textures

vec4 orbitAt(int k)
{
    return texelFetch(orbit, ivec2(k & (orbitWidth - 1), k >> 12), 0);
}

REAL2 cmul(REAL2 a, REAL2 b)
{
    return REAL2(a.x * b.x - a.y * b.y, a.x * b.y + a.y * b.x);
}

#if DOUBLE
REAL2 texelDouble2(uvec4 t)
{
    return REAL2(packDouble2x32(t.xy), packDouble2x32(t.zw));
}

void jumpMap(int node, out REAL2 a, out REAL2 b)
{
    int k = 2 * node;
    a = texelDouble2(texelFetch(jumps, ivec2(k & (orbitWidth - 1), k >> 12), 0));
    ++k;
    b = texelDouble2(texelFetch(jumps, ivec2(k & (orbitWidth - 1), k >> 12), 0));
}
#else
void jumpMap(int node, out REAL2 a, out REAL2 b)
{
    vec4 t = texelFetch(jumps, ivec2(node & (orbitWidth - 1), node >> 12), 0);
    a = t.xy;
    b = t.zw;
}
#endif

// The product of |2 z| over the steps since the last save (the derivative
// of that stretch of the orbit; a jump's is its A), as mantissa *
// 2^exponent: a deep minibrot's cycle passes 0 closer than float can square.
void contract(inout REAL mantissa, inout int exponent, REAL factor)
{
    int e;
    mantissa = frexp(mantissa * factor, e);
    exponent += e;
}

// Brent's scheme, as the float Mandelbrot program has it: z is saved after
// 16, 32, 64, ... steps; a return to within 1e-4 of it, with the orbit
// contracted more than tenfold since (the derivative over the interval
// below 0.1), is an attracting cycle. Neither alone is: escaping orbits
// pass near repelling cycles and near 0.
// |2 z|, the derivative of the step from z. Where |z|^2 leaves the range
// of REAL, the bound that range still gives: a factor too large can only
// delay the test, one too small could stop an orbit that escapes.
REAL stepFactor(REAL2 z)
{
#if DOUBLE
    return REAL(2.0) * max(length(z), REAL(1.5e-154));
#else
    return 2.0 * max(length(z), 1.1e-19);
#endif
}

bool contracted(REAL mantissa, int exponent)
{
    return exponent < -3 || (exponent == -3 && mantissa < REAL(0.8));
}

void main()
{
    REAL2 dc = REAL2(gl_FragCoord.xy + pixelOffset) * pixelSize;
    int ref = 0;
    int base = refStart[0];
    int end = refEnd[0];
    int lim = int(limit);
#if JULIA
    REAL2 d = dc;
#else
    REAL2 d = REAL2(0.0);
#endif
    int m = 0;
    int n = 0;
    vec4 o = orbitAt(base);
    REAL2 full = REAL2(o.xy) + d;
    vec2 z = vec2(full);
    float r2 = dot(z, z);
    bool escaped = false;
    vec2 saved = z;
    int nextSave = 16;
    int firstSave = 1 << 30;  // no check before the first save: z0 lies on the critical point
    int lastSave = 0;
    int candidate = 0;        // the period of a first return, waiting for the second
    float candidateGap = 0.0;
    int jumpEnd = lim;        // jumps stop short of a candidate's second return
    REAL mantissa = REAL(0.5);
    int exponent = 1;
    while (n < lim) {
#if SKIP
        // While any fragment of the group can jump, those that can do.
        // Compared in pixels, where neither |d|^2 nor the radius^2 leaves
        // float's range (radii are capped at 1e18 pixels on the way in).
        REAL2 inPixels = d * pixelsPerUnit;
        while (o.w > 0.0 && n + (1 << int(o.w)) <= jumpEnd && dot(inPixels, inPixels) < REAL(o.z) * REAL(o.z)) {
            int l = int(o.w);
            REAL2 a, b;
            jumpMap(levelStart[17 * ref + l] + (m >> l), a, b);
#if JULIA
            d = cmul(a, d);
#else
            d = cmul(a, d) + cmul(b, dc);
#endif
#if INTERIOR
            contract(mantissa, exponent, length(a));
#endif
            m += 1 << l;
            n += 1 << l;
            o = orbitAt(base + m);
            inPixels = d * pixelsPerUnit;
        }
#endif
#if INTERIOR
        contract(mantissa, exponent, stepFactor(full));
#endif
#if JULIA
        d = cmul(REAL2(2.0 * o.xy) + d, d);
#else
        d = cmul(REAL2(2.0 * o.xy) + d, d) + dc;
#endif
        ++m;
        ++n;
        o = orbitAt(base + m);
        full = REAL2(o.xy) + d;
        z = vec2(full);
        r2 = dot(z, z);
        if (r2 > 256.0) {
            escaped = true;
            break;
        }
        if (dot(full, full) < dot(d, d) || m == end) {
            d = full;
            m = 0;
#if JULIA
            ref = 1;
            base = refStart[1];
            end = refEnd[1];
#endif
            // Step 0 of either reference is 0, with no jump from it.
            o = vec4(0.0);
        }
#if INTERIOR
        vec2 gap = z - saved;
        bool returned = n > firstSave && dot(gap, gap) < 1e-8 && contracted(mantissa, exponent);
        if (returned && n - lastSave == candidate && dot(gap, gap) < max(0.25 * candidateGap, 1e-12)) break;
        if (returned || (candidate > 0 && n - lastSave >= candidate)) {
            // A first return is a candidate: the cycle is taken once the
            // next period brings the orbit back closer still. A chance
            // return of a long orbit does not repeat itself like that.
            candidate = returned ? n - lastSave : 0;
            candidateGap = dot(gap, gap);
            nextSave = n;
        }
        // A jump can pass several save points: the interval then starts
        // here and is as long as the orbit so far, as Brent's would be.
        if (n >= nextSave) {
            saved = z;
            lastSave = n;
            firstSave = min(firstSave, n);
            nextSave = 2 * n;
            mantissa = REAL(0.5);
            exponent = 1;
        }
        jumpEnd = candidate > 0 ? lastSave + candidate : lim;
#endif
    }
    float mu = escaped ? max(float(n) - log2(log2(r2)) + 3.0, 0.0) : -1.0;
    gl_FragColor = vec4(mu, 0.0, 0.0, 1.0);
}
