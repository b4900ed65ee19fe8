// Perturbation past single precision: each fragment iterates only its small
// difference d from a reference orbit Z that the CPU computed in arbitrary
// precision, and writes its continuous escape count mu for the colour pass
// (-1: recognised as interior, -2: the limit came first).
//
// Built with a prelude that sets #version 400 compatibility and
//   JULIA    1: z <- z^2 + c from the pixel's point, d0 its offset from the
//            view's centre, where reference 0 starts; reference 1 is the
//            orbit of 0. 0: the Mandelbrot set, d0 = 0, dc the pixel's
//            offset from the reference point c.
//   SKIP     1: bilinear jumps over steps where d stays linear
//   INTERIOR 1: stop orbits that settled on an attracting cycle
//   WIDE     1: the mantissas are doubles (and Z is read as doubles)
//
// Numbers (rescaled iterations): d = w 2^e with an integer e, dc = u 2^ec.
// While |d| is at least 2^-60 (floats; 2^-600 doubles) e is 0 and w is d
// itself, plain floats. Below, w is kept near 1 and renormalised once a
// round of steps: the step d' = 2 Z d + d^2 + dc is w' = (2 Z + s w) w + k u
// with s = 2^e and k = 2^(ec - e) fixed for the round; s is 0 once |d| is
// past float's range (d^2 is then far below 2 Z d), as k u is where dc is
// far below d. Where Z itself is tiny (it passes 0 closer than 2^-100, next
// to a nucleus, exponent of its own) the step is done in floatexp: all
// three terms can be alike there. Jumps are floatexp too (their A and B
// pass any fixed range). Z is a float: its rounding adds 2^-24 of d a step,
// as float arithmetic on d does anyway.
//
// Rebasing (Zhuoran): once |Z + d| < |d|, or the reference has no more
// steps, the fragment goes on from the start of the reference that begins
// at the critical point 0, with d <- Z + d; that keeps d small against z
// without glitch detection.
//
// Escape at |z|^2 > 256 with mu = n - log2(log2 |z|^2) + 3, and the
// iteration limit, are the float programs' own, so the pictures meet at the
// switch between them.

const int roundSteps = 32;

uniform usamplerBuffer orbit;  // per step: Z (mantissas), Z's exponent, log2 of the jump's radius
uniform usamplerBuffer jumps;  // per other step two texels: A, B (float mantissas); their exponents, the jump's steps
uniform int refStart[2];   // step 0 of each reference, in steps from the texture's start
uniform int refEnd[2];     // last step of each reference
uniform int jumpStart[2];  // the first node of each reference
uniform int jumpOrigin[2]; // the first step a node starts at (nodes every other step from there)
uniform float limit;
uniform vec2 pixelOffset;  // floor(gl_FragCoord) stride + pixelOffset: the fragment's pixel from the reference point, in pixels
uniform float stride;      // 1, or the lattice's step
uniform vec2r pixelSize;   // times 2^pixelExponent
uniform int pixelExponent;
uniform float widest;      // the largest log2 radius of any jump
uniform int period;        // Mandelbrot: reference 0 ends where it came back to 0 (0: it does not)

uvec4 texelAt(usamplerBuffer t, int k)
{
    return texelFetch(t, k);
}

struct Ref {
    vec2r z;      // times 2^e where Z is tiny
    int e;        // tiny Z: its exponent (below -100); else the steps to the next tiny Z (at least 1)
    float log2r;  // of the jump from this step
};

// Z = 0 counts as tiny: the step from it is d^2 + dc, all of whose terms
// can be far apart, and rescaled floats would lose d^2 (s underflows).
const int zeroStep = -(1 << 24);

Ref refAt(int step)
{
#if WIDE
    uvec4 a = texelAt(orbit, 2 * step), b = texelAt(orbit, 2 * step + 1);
    return Ref(dvec2(packDouble2x32(a.xy), packDouble2x32(a.zw)), int(b.x), uintBitsToFloat(b.y));
#else
    uvec4 a = texelAt(orbit, step);
    return Ref(uintBitsToFloat(a.xy), int(a.z), uintBitsToFloat(a.w));
#endif
}

// One step d' = 2 Z d + d^2 + dc where Z is tiny, in floatexp.
void carefulStep(Ref Z, inout vec2r w, inout int e, vec2r u, int ec)
{
    int k = exponentOf(w);
    vec2r wn = shifted(w, -k);
    int en = e + k;
#if JULIA
    sum3(2.0 * cmul(Z.z, wn), Z.e + en, cmul(wn, wn), 2 * en, vec2r(0.0), none, w, e);
#else
    sum3(2.0 * cmul(Z.z, wn), Z.e + en, cmul(wn, wn), 2 * en, u, ec, w, e);
#endif
}

// Brent's scheme, as the float Mandelbrot program has it, made stricter in
// one way and looser in another. z is saved after 16, 32, 64, ... steps; a
// return to within 1e-4 of it over a stretch that contracted (the
// derivative below 1/2) makes a candidate period, and the cycle is taken
// when the next period brings the orbit back closer still (by half) with
// the same contraction. A single near return can be chance deep down, a
// return that shrinks period after period is not. Returns are looked for
// at every step and judged once a round.
struct CycleTest {
    vec2 saved;
    int nextSave;
    int firstSave;     // no test before the first save: z0 lies on the critical point
    int lastSave;
    int candidate;     // the period of a first return, waiting for the second
    float candidateGap;
    float mantissa;    // the contraction since the last save
    int exponent;
};

// The first step of a round that came back near the saved point.
struct Return {
    int n;             // 0: none
    vec2 z;
    float gap;         // squared distance
    float factors;     // the round's contraction up to it: factors 2^factorsExponent
    int factorsExponent;
};

CycleTest startTest(vec2 z)
{
    return CycleTest(z, 16, 1 << 30, 0, 0, 0.0, 0.5, 1);
}

bool contracted(float mantissa, int exponent)  // below 1/4, a product of squares
{
    return exponent < -1;
}

bool settles(inout CycleTest t, Return r, vec2 z, int n, float factors, int factorsExponent)
{
    int e;
    float atReturn = frexp(t.mantissa * r.factors, e);
    bool returned = r.n > t.firstSave && contracted(atReturn, t.exponent + e + r.factorsExponent);
    if (returned && r.n - t.lastSave == t.candidate && r.gap < max(0.25 * t.candidateGap, 1e-12)) return true;
    contract(t.mantissa, t.exponent, factors, factorsExponent);
    if (returned) {
        t.candidate = r.n - t.lastSave;
        t.candidateGap = r.gap;
        t.saved = r.z;
        t.lastSave = r.n;
        t.nextSave = 2 * n;
        t.mantissa = frexp(factors / r.factors, t.exponent);
        t.exponent += factorsExponent - r.factorsExponent;
        return false;
    }
    if (t.candidate > 0 && n - t.lastSave >= t.candidate) {
        t.candidate = 0;
        t.nextSave = n;
    }
    // Jumps can pass several save points: the interval then starts here.
    if (n >= t.nextSave) {
        t.saved = z;
        t.lastSave = n;
        t.firstSave = min(t.firstSave, n);
        t.nextSave = 2 * n;
        t.mantissa = 0.5;
        t.exponent = 1;
    }
    return false;
}

// Jumps stop at a candidate's second return, which is looked for there.
int jumpTarget(CycleTest t, int lim)
{
    return t.candidate > 0 ? min(lim, t.lastSave + t.candidate) : lim;
}

// Where the reference ends at a minibrot's nucleus every interior pixel
// comes back to it once a period, whatever the period: d there (z, as Z is
// 0) is compared with the last return's. Two returns in a row within 1e-3
// of the last (relative; float arithmetic over a period leaves about 2^-12
// of noise, so a gap that must keep shrinking would stall there) over
// periods whose derivative is below 1 settle the orbit (the cycle is
// attracting). Outside the minibrot, where orbits linger near its edge,
// the derivative is about 1 or more and the returns drift apart. A period of 10,000 is recognised in a few periods instead of
// Brent's powers of two.
struct PeriodTest {
    vec2r w;           // d at the last return, times 2^e
    int e;
    float gap;         // the last relative gap, squared (huge: none yet)
    float mantissa;    // the contraction since the last return
    int exponent;
};

bool periodSettles(inout PeriodTest p, vec2r w, int e)
{
    int k = exponentOf(w);
    w = shifted(w, -k);
    e += k;
    vec2r apart = shifted(w, e - p.e) - p.w;
    float gap = p.w == vec2r(0.0) ? 1e30 : float(dot(apart, apart) / dot(p.w, p.w));
    bool closer = p.exponent <= 0 && gap < 1e-6;
    bool settled = closer && p.gap < 1e-6;
    p.gap = closer ? gap : 1e30;
    p.w = w;
    p.e = e;
    p.mantissa = 0.5;
    p.exponent = 1;
    return settled;
}

void main()
{
    vec2r u = vec2r(floor(gl_FragCoord.xy) * stride + pixelOffset) * pixelSize;
    int ec = pixelExponent;
    int ref = 0;
    int base = refStart[0];
    int end = refEnd[0];
    int lim = int(limit);
#if JULIA
    vec2r w = u;
    vec2r ku = vec2r(0.0);
    int floorE = -(1 << 29);
    int m = 0;
#else
    // The first step from d0 = 0 is d1 = dc exactly: taken here, not in
    // floatexp from Z0 = 0 (unless the reference ends there already).
    int m = end > 1 ? 1 : 0;
    vec2r w = m == 1 ? u : vec2r(0.0);
    int floorE = ec - 60;
#endif
    int e = ec;
    normalise(w, e, floorE);
    int n = m;
    Ref Z = refAt(base + m);
    vec2 z = vec2(Z.z + shifted(w, e));
    float r2 = dot(z, z);
    bool escaped = false;
    bool settled = false;
    CycleTest test = startTest(z);
    PeriodTest returns = PeriodTest(vec2r(0.0), 0, 1e30, 0.5, 1);
    // Rounds: the jumps a fragment can take, then up to 32 exact steps.
    // llvmpipe runs every branch of a group's fragments, so what happens
    // once a round (the jump lookup, the cycle test) is kept out of the
    // steps.
    while (n < lim && !escaped && !settled) {
        int target = jumpTarget(test, lim);
#if SKIP
        // While any fragment of the group can jump, those that can do; the
        // lookup only where some jump could reach. |d| is bounded by its
        // larger part times sqrt 2.
        float reach = reachOf(w, e);
        while (reach < widest && reach < Z.log2r) {
            int node = 2 * (jumpStart[ref] + ((m - jumpOrigin[ref]) >> 1));
            uvec4 a = texelAt(jumps, node), b = texelAt(jumps, node + 1);
            int steps = int(b.z);
            if (n + steps > target) break;
            vec2 A = uintBitsToFloat(a.xy);
            int k = exponentOf(w);
#if JULIA
            sum3(cmul(vec2r(A), shifted(w, -k)), int(b.x) + e + k, vec2r(0.0), none, vec2r(0.0), none, w, e);
#else
            sum3(cmul(vec2r(A), shifted(w, -k)), int(b.x) + e + k, cmul(vec2r(uintBitsToFloat(a.zw)), u), int(b.y) + ec,
                 vec2r(0.0), none, w, e);
#endif
            normalise(w, e, floorE);
#if INTERIOR
            contract(test.mantissa, test.exponent, dot(A, A), 2 * int(b.x));
            contract(returns.mantissa, returns.exponent, dot(A, A), 2 * int(b.x));
#endif
            m += steps;
            n += steps;
            Z = refAt(base + m);
            z = vec2(Z.z + shifted(w, e));
            r2 = dot(z, z);
            reach = reachOf(w, e);
        }
#endif
        real s = e < lowest ? real(0.0) : ldexp(real(1.0), e);
#if !JULIA
        vec2r ku = shifted(u, ec - e);
#endif
        float factors = 1.0;
        int factorsExponent = 0;  // where a careful step multiplied in a tiny |2 z|^2
        Return back = Return(0, vec2(0.0), 0.0, 1.0, 0);
        // Plain steps while the reference's next Z is not tiny (Z.e counts
        // the steps to the next tiny one), then at most one step in
        // floatexp, outside the loop: llvmpipe runs every branch of a
        // group, and a floatexp path among the plain steps cost them four
        // times their own time.
        // Rounds end where long jumps start (every 32nd step from the
        // table's origin), so that a round after a rebase is one step long.
        // Rounds of 8 found more jumps but cost more than they saved: the
        // round's own work (renormalising, the cycle test) was spread
        // thinner.
        int run = min(roundSteps - ((m - jumpOrigin[ref]) & (roundSteps - 1)), Z.e - 1);
        bool stopped = false;
        bool atNucleus = false;
        for (int k = 0; k < run && n < lim; ++k) {
#if INTERIOR
            // |2 z|^2 of the step from z; near 0 the bound 2^-15, and the
            // round's product kept above 1e-30 (32 steps can pass float's
            // range): a factor too large only delays the cycle test, one too
            // small could stop an escaping orbit. (Where z is truly tiny the
            // step is a careful one, whose factor is exact.)
            factors = max(factors * 4.0 * max(r2, 1.0 / 131072.0), 1e-30);
#endif
            w = cmul(2.0 * Z.z + s * w, w) + ku;
            ++m;
            ++n;
            Z = refAt(base + m);
            vec2r d = s * w;
            vec2r full = Z.z + d;
            z = vec2(full);
            r2 = dot(z, z);
            if (r2 > 256.0) {
                escaped = true;
                break;
            }
            stopped = dot(full, full) < dot(d, d) || m == end;
            // Kept cheap: llvmpipe runs this for every fragment, every step.
            if (stopped) {
                atNucleus = m == period && ref == 0;
                w = full;
                e = 0;
                m = 0;
#if JULIA
                ref = 1;
                base = refStart[1];
                end = refEnd[1];
#endif
                Z = Ref(vec2r(0.0), zeroStep, -1e38);  // step 0 of either reference: 0
            }
#if INTERIOR
            vec2 gap = z - test.saved;
            float g2 = dot(gap, gap);
            if (g2 < 1e-8 && back.n == 0) back = Return(n, z, g2, factors, factorsExponent);
#endif
            // A new e (or a new reference) needs the round's s and k again.
            if (stopped) break;
        }
        // Next to a tiny Z: one step from it or onto it, in floatexp.
        bool careful = !escaped && !stopped && Z.e < 2 && n < lim;
        while (careful) {
#if INTERIOR
            // |2 z|^2 at any magnitude: at a deep minibrot's return z is far
            // below float's range, and that factor is what contracts.
            vec2r zw;
            int ze;
            sum3(Z.z, min(Z.e, 0), w, e, vec2r(0.0), none, zw, ze);
            contract(factors, factorsExponent, 4.0 * float(dot(zw, zw)), 2 * ze);
#endif
            if (Z.e < 0) carefulStep(Z, w, e, u, ec);
            else w = cmul(2.0 * Z.z + s * w, w) + ku;
            ++m;
            ++n;
            Z = refAt(base + m);
            // |Z + d| against |d| at any magnitude.
            vec2r full;
            int fullE;
            sum3(Z.z, min(Z.e, 0), w, e, vec2r(0.0), none, full, fullE);
            vec2r d = shifted(w, e - fullE);
            z = vec2(shifted(full, fullE));
            r2 = dot(z, z);
            escaped = r2 > 256.0;
            if (!escaped && (dot(full, full) < dot(d, d) || m == end)) {
                atNucleus = m == period && ref == 0;
                w = full;
                e = fullE;
                m = 0;
#if JULIA
                ref = 1;
                base = refStart[1];
                end = refEnd[1];
#endif
                Z = Ref(vec2r(0.0), zeroStep, -1e38);
            }
            break;
        }
#if INTERIOR && !JULIA
        while (atNucleus) {
            settled = periodSettles(returns, w, e);
            break;
        }
#endif
        normalise(w, e, floorE);
#if INTERIOR
        contract(returns.mantissa, returns.exponent, factors, factorsExponent);
        settled = settled || (!escaped && settles(test, back, z, n, factors, factorsExponent));
#endif
    }
    float mu = escaped ? max(float(n) - log2(log2(r2)) + 3.0, 0.0) : settled ? -1.0 : -2.0;
#ifdef MARK_SETTLED
    // For the benchmark: where an orbit stopped as settled, -3 - n.
    if (settled) mu = -3.0 - float(n);
#endif
    gl_FragColor = vec4(mu, 0.0, 0.0, 1.0);
}
