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
// to a multiple of 4.
// The main cardioid and the period-2 bulb are recognised without iterating;
// an orbit that settles on an attracting cycle of any other period stops
// once it has (see settled()).
//
// Software rasterisers and GPUs run a group of fragments in lock-step until
// the slowest is done, and llvmpipe executes both sides of every branch, so
// the loop holds no conditional work: rounds of eight steps, tested for
// escape after steps 1, 4 and 8 (an orbit past radius 16 stays outside it,
// and one still inside at step 4 stays finite to step 8), and the step that
// escaped is found after the loop by going through its round once more.

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

// Eight steps from z: where they end, and |z|^2 after steps 1 to 4 (ra)
// and 5 to 8 (rb).
vec2 round8(vec2 z, vec2 c, out vec4 ra, out vec4 rb)
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

// Brent's scheme: z is saved after 16, 32, 64, ... steps and compared with
// the saved value after every round. An exact repeat is a cycle of this very
// arithmetic, which can never escape. A repeat within 1e-4 counts too when
// the orbit contracted over the whole interval since the save (the product
// of |2z| over it, the interval's derivative, below 0.1): a near repeat
// alone also happens on escaping orbits that pass a repelling cycle or the
// critical point, a small derivative alone on orbits that pass close to 0.
// `contraction` is that product squared.
bool settled(vec2 z, vec2 saved, float contraction)
{
    vec2 d = z - saved;
    return z == saved || (dot(d, d) < 1e-8 && contraction < 0.01);
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
    vec2 saved = z;
    float nextSave = 16.0;
    float contraction = 1.0;
    for (; n + 8.0 <= limit; n += 8.0) {
        vec4 ra, rb;
        vec2 z8 = round8(z, c, ra, rb);
        if (ra.x > bailout || ra.w > bailout || rb.w > bailout) break;
        z = z8;
        vec4 q = ra * rb;
        contraction *= 65536.0 * q.x * q.y * q.z * q.w;
        // Past the limit: the loop ends and the pixel is interior.
        if (settled(z, saved, contraction)) n = float(hardLimit);
        if (n + 8.0 == nextSave) {
            saved = z;
            nextSave *= 2.0;
            contraction = 1.0;
        }
    }
    // The round that left the bailout, or the last four steps before the
    // limit: the first step past the bailout, if it is within the limit.
    vec4 ra, rb;
    round8(z, c, ra, rb);
    float r;
    float k = firstEscape(ra, rb, r);
    if (n + k > limit) {
        gl_FragColor = tableColour(1.0);
        return;
    }
    // mu = n - log2(log2|z|^2 / log2(bailout)), log2(bailout) being 8.
    float mu = max(n + k - log2(log2(r)) + 3.0, 0.0);
    gl_FragColor = tableColour(clamp(log2(mu + 1.0) / log2(limit + 1.0), 0.0, 1.0));
}
