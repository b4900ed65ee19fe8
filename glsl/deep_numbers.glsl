// The deep program's numbers (glsl/deep_fragment.glsl, which follows this
// file in one shader): the mantissa type, complex products, and floatexp
// as mantissa vectors with integer exponents. Built after the same prelude.
//
// Precision: a mantissa is a float (or a double where WIDE is 1); an
// exponent is an int, which holds any depth the viewer draws. Below the
// mantissa's normal range (2^-125 floats, 2^-1020 doubles) a shifted value
// is 0, never a subnormal that a GPU may flush anyway.

#if WIDE
#define real double
#define vec2r dvec2
const int plainExponent = -600;
const int lowest = -1020;
#else
#define real float
#define vec2r vec2
const int plainExponent = -60;
const int lowest = -125;
#endif

vec2r cmul(vec2r a, vec2r b)
{
    return vec2r(a.x * b.x - a.y * b.y, a.x * b.y + a.y * b.x);
}

// x 2^k, 0 below the mantissa's normal range.
vec2r shifted(vec2r x, int k)
{
    return k < lowest ? vec2r(0.0) : ldexp(x, ivec2(min(k, -lowest)));
}

// The exponent of the larger part (0 for 0): |x| < 2^exponentOf(x) * sqrt 2.
int exponentOf(vec2r x)
{
    int k;
    frexp(max(abs(x.x), abs(x.y)), k);
    return k;
}

// Plain while |d| allows, else w near 1; never far below dc (floorE), which
// the next step adds anyway.
void normalise(inout vec2r w, inout int e, int floorE)
{
    if (w == vec2r(0.0)) {
        e = max(e, floorE);
        return;
    }
    int k = e + exponentOf(w);
    if (k >= plainExponent) {
        w = shifted(w, e);
        e = 0;
        return;
    }
    k = max(k, floorE);
    w = shifted(w, e - k);
    e = k;
}

const int none = -(1 << 30);

// The exponent of x 2^ex's larger part, `none` for 0.
int topOf(vec2r x, int ex)
{
    return x == vec2r(0.0) ? none : ex + exponentOf(x);
}

// a 2^ea + b 2^eb + c 2^ec as w 2^e, the mantissas near 1.
void sum3(vec2r a, int ea, vec2r b, int eb, vec2r c, int ec, out vec2r w, out int e)
{
    e = max(topOf(a, ea), max(topOf(b, eb), topOf(c, ec)));
    w = shifted(a, ea - e) + shifted(b, eb - e) + shifted(c, ec - e);
}

// An upper bound of log2 |d| (-huge for 0): the larger part times sqrt 2.
float reachOf(vec2r w, int e)
{
    return w == vec2r(0.0) ? -1e38 : float(e + exponentOf(w)) + 0.5;
}

// The product of |2 z|^2 over a stretch of the orbit (its squared
// derivative; a jump's is its |A|^2) as mantissa * 2^exponent.
void contract(inout float mantissa, inout int exponent, float factor, int factorExponent)
{
    int e;
    mantissa = frexp(mantissa * factor, e);
    exponent += e + factorExponent;
}
