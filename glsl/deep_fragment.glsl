// Perturbation past single precision: each fragment iterates only its small
// difference d from a reference orbit Z that the CPU computed in arbitrary
// precision, and writes its continuous escape count mu (-1: interior) for
// the colour pass.
//
// Built with a prelude that sets #version 400 compatibility and
//   JULIA    1: z <- z^2 + c from the pixel's point, d0 its offset from the
//            view's centre, where reference 0 starts; reference 1 is the
//            orbit of 0. 0: the Mandelbrot set, d0 = 0, dc the pixel's
//            offset from the reference point c.
//   SKIP     1: bilinear jumps over steps where d stays linear
//   INTERIOR 1: stop orbits that settled on an attracting cycle
//
// Mandelbrot: d' = 2 Z d + d^2 + dc; Julia: d' = 2 Z d + d^2. Z, d and dc
// are doubles: a pixel's count near a deep minibrot can move by hundreds
// when its orbit is off by a thousandth of a pixel, and float's rounding of
// Z or d, relative to d at every step, adds up to that over a few thousand
// steps; double's stays far below. Doubles also reach pixels of 1e-300.
// Rebasing (Zhuoran): once |Z + d| < |d|, or the reference has no more
// steps, the fragment goes on from the start of the reference that begins
// at the critical point 0, with d <- Z + d; that keeps d small against z
// without glitch detection.
//
// Escape at |z|^2 > 256 with mu = n - log2(log2 |z|^2) + 3, and the
// iteration limit, are the float programs' own, so the pictures meet at the
// switch between them.

uniform usampler2D orbit;  // texel 2k: Z_k as two doubles; 2k + 1: the longest jump from k (radius in pixels as a double, level)
uniform usampler2D jumps;  // texel 2j: A, 2j + 1: B of jump node j, each two doubles
uniform int refStart[2];   // step 0 of each reference, in steps from the texture's start
uniform int refEnd[2];     // last step of each reference
uniform int levelStart[34];  // [17 r + l]: first node of level l of reference r
uniform float limit;
uniform vec2 pixelOffset;  // gl_FragCoord + pixelOffset: the fragment's pixel from the reference point
uniform dvec2 pixelSize;
uniform double pixelsPerUnit;  // 1 / a power of two near the pixel size: d in pixels, exactly
uniform double widestJump;     // the largest radius of any jump, in pixels

uvec4 texelAt(usampler2D t, int k)
{
    return texelFetch(t, ivec2(k & 4095, k >> 12), 0);  // rows of 4096 texels
}

dvec2 doublesOf(uvec4 w)
{
    return dvec2(packDouble2x32(w.xy), packDouble2x32(w.zw));
}

dvec2 referenceAt(int step)
{
    return doublesOf(texelAt(orbit, 2 * step));
}

// The longest jump from a step: its radius in pixels and its level.
struct Jump {
    double radius;
    int level;
};

Jump jumpAt(int step)
{
    uvec4 w = texelAt(orbit, 2 * step + 1);
    return Jump(packDouble2x32(w.xy), int(w.z));
}

dvec2 cmul(dvec2 a, dvec2 b)
{
    return dvec2(a.x * b.x - a.y * b.y, a.x * b.y + a.y * b.x);
}

// The product of |2 z|^2 over the steps since the last save (the squared
// derivative of that stretch of the orbit; a jump's is its |A|^2), as
// mantissa * 2^exponent: a deep minibrot's cycle passes 0 closer than a
// double can square. A round's factors are multiplied in a double first.
void contract(inout double mantissa, inout int exponent, double factor)
{
    int e;
    mantissa = frexp(mantissa * factor, e);
    exponent += e;
}

// Brent's scheme, as the float Mandelbrot program has it, made stricter in
// one way and looser in another. z is saved after 16, 32, 64, ... steps; a
// return to within 1e-4 of it over a stretch that contracted (the
// derivative below 1/2) makes a candidate period, and the cycle is taken
// when the next period brings the orbit back closer still (by half) with
// the same contraction. A single near return can be chance deep down (a
// long orbit near a repelling cycle passes its own saved point now and
// then), a return that shrinks period after period is not; and a weakly
// attracting cycle is found after two of its periods instead of after as
// many as it takes to contract tenfold. Returns are looked for at every
// step (noted by the round, see main) and judged once a round.
struct CycleTest {
    vec2 saved;
    int nextSave;
    int firstSave;     // no test before the first save: z0 lies on the critical point
    int lastSave;
    int candidate;     // the period of a first return, waiting for the second
    float candidateGap;
    double mantissa;   // the contraction since the last save
    int exponent;
};

// The first step of a round that came back near the saved point.
struct Return {
    int n;             // 0: none
    vec2 z;
    float gap;         // squared distance
    double factors;    // the round's contraction up to it
};

CycleTest startTest(vec2 z)
{
    return CycleTest(z, 16, 1 << 30, 0, 0, 0.0, 0.5LF, 1);
}

bool contracted(double mantissa, int exponent)  // below 1/4, a product of squares
{
    return exponent < -1;
}

// At the end of a round of steps whose contraction is `factors`: whether
// the orbit has settled.
bool settles(inout CycleTest t, Return r, vec2 z, int n, double factors)
{
    int e;
    double atReturn = frexp(t.mantissa * r.factors, e);
    bool returned = r.n > t.firstSave && contracted(atReturn, t.exponent + e);
    if (returned && r.n - t.lastSave == t.candidate && r.gap < max(0.25 * t.candidateGap, 1e-12)) return true;
    contract(t.mantissa, t.exponent, factors);
    if (returned) {
        t.candidate = r.n - t.lastSave;
        t.candidateGap = r.gap;
        t.saved = r.z;
        t.lastSave = r.n;
        t.nextSave = 2 * n;
        // The contraction since the return: the round's rest.
        t.mantissa = frexp(factors / r.factors, t.exponent);
        return false;
    }
    if (t.candidate > 0 && n - t.lastSave >= t.candidate) {
        t.candidate = 0;
        t.nextSave = n;
    }
    // Jumps can pass several save points: the interval then starts here
    // and is as long as the orbit so far, as Brent's would be.
    if (n >= t.nextSave) {
        t.saved = z;
        t.lastSave = n;
        t.firstSave = min(t.firstSave, n);
        t.nextSave = 2 * n;
        t.mantissa = 0.5LF;
        t.exponent = 1;
    }
    return false;
}

// Jumps stop at a candidate's second return, which is looked for there.
int jumpTarget(CycleTest t, int lim)
{
    return t.candidate > 0 ? min(lim, t.lastSave + t.candidate) : lim;
}

void main()
{
    dvec2 dc = dvec2(gl_FragCoord.xy + pixelOffset) * pixelSize;
    int ref = 0;
    int base = refStart[0];
    int end = refEnd[0];
    int lim = int(limit);
#if JULIA
    dvec2 d = dc;
#else
    dvec2 d = dvec2(0.0);
#endif
    int m = 0;
    int n = 0;
    dvec2 Z = referenceAt(base);
    dvec2 full = Z + d;
    vec2 z = vec2(full);
    float r2 = dot(z, z);
    bool escaped = false;
    bool settled = false;
    CycleTest test = startTest(z);
    // Rounds: the jumps a fragment can take, then up to eight exact steps.
    // llvmpipe runs every branch of a group's fragments, so what happens
    // once a round (the jump lookup, the cycle test) is kept out of the
    // steps.
    while (n < lim && !escaped && !settled) {
        int target = jumpTarget(test, lim);
#if SKIP
        // While any fragment of the group can jump, those that can do; the
        // lookup only where some jump could reach (llvmpipe runs a loop's
        // body only while a fragment of the group is in it, an if's always).
        // |d| in pixels is compared by its larger side times sqrt 2, an
        // upper bound that needs no squares, which would leave double's
        // range at either end deep down.
        dvec2 inPixels = abs(d * pixelsPerUnit);
        double reach = max(inPixels.x, inPixels.y) * 1.4142135623730951LF;
        while (reach < widestJump) {
            Jump jump = jumpAt(base + m);
            if (jump.level == 0 || n + (1 << jump.level) > target || reach >= jump.radius) break;
            int l = jump.level;
            int node = 2 * (levelStart[17 * ref + l] + (m >> l));
            dvec2 a = doublesOf(texelAt(jumps, node));
#if JULIA
            d = cmul(a, d);
#else
            d = cmul(a, d) + cmul(doublesOf(texelAt(jumps, node + 1)), dc);
#endif
#if INTERIOR
            contract(test.mantissa, test.exponent, dot(a, a));
#endif
            m += 1 << l;
            n += 1 << l;
            Z = referenceAt(base + m);
            full = Z + d;
            z = vec2(full);
            r2 = dot(z, z);
            inPixels = abs(d * pixelsPerUnit);
            reach = max(inPixels.x, inPixels.y) * 1.4142135623730951LF;
        }
#endif
        double factors = 1.0LF;
        Return back = Return(0, vec2(0.0), 0.0, 1.0LF);
        for (int k = 0; k < 8 && n < lim; ++k) {
#if INTERIOR
            // |2 z|^2 of the step from z; where |z|^2 leaves float's range,
            // the bound that range gives: a factor too large only delays
            // the cycle test, one too small could stop an escaping orbit.
            factors *= double(4.0 * max(r2, 1e-36));
#endif
#if JULIA
            d = cmul(2.0LF * Z + d, d);
#else
            d = cmul(2.0LF * Z + d, d) + dc;
#endif
            ++m;
            ++n;
            Z = referenceAt(base + m);
            full = Z + d;
            z = vec2(full);
            r2 = dot(z, z);
            if (r2 > 256.0) {
                escaped = true;
                break;
            }
            bool rebase = dot(full, full) < dot(d, d) || m == end;
            if (rebase) {
                d = full;
                m = 0;
#if JULIA
                ref = 1;
                base = refStart[1];
                end = refEnd[1];
#endif
                Z = dvec2(0.0);  // step 0 of either reference
            }
#if INTERIOR
            vec2 gap = z - test.saved;
            float g2 = dot(gap, gap);
            if (g2 < 1e-8 && back.n == 0) back = Return(n, z, g2, factors);
#endif
#if SKIP
            // A round that starts at step 0 reaches step 8 and the jumps
            // from there, aligned to 8, 16, 32, ... of the reference.
            if (rebase) break;
#endif
        }
#if INTERIOR
        settled = !escaped && settles(test, back, z, n, factors);
#endif
    }
    float mu = escaped ? max(float(n) - log2(log2(r2)) + 3.0, 0.0) : -1.0;
#ifdef MARK_SETTLED
    // For the benchmark: where an orbit stopped as settled, -2 - n.
    if (settled) mu = -2.0 - float(n);
#endif
    gl_FragColor = vec4(mu, 0.0, 0.0, 1.0);
}
