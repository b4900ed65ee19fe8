// The reference orbit in MPFR: three squarings a step (2xy as (x + y)^2 -
// x^2 - y^2, whose rounding, 2^-precision of |z|^2, is that of x^2 - y^2
// already), registers allocated once, the cancel flag and the progress
// looked at every 256 steps.
#include "deep/reference_orbit.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr long tinyExponent = -960;

// The working registers of one orbit, freed on every way out.
struct Registers {
    mpfr_t x, y, xx, yy, s;
    explicit Registers(long precision) { mpfr_inits2(precision, x, y, xx, yy, s, static_cast<mpfr_ptr>(nullptr)); }
    ~Registers() { mpfr_clears(x, y, xx, yy, s, static_cast<mpfr_ptr>(nullptr)); }
};

long exponentOf(const mpfr_t v)
{
    return mpfr_regular_p(v) ? long(mpfr_get_exp(v)) : LONG_MIN;
}

// Z_n as doubles, with an exponent of its own where it is tiny; |Z_n|^2.
double keep(const Registers& r, ReferenceOrbit& orbit)
{
    const long e = std::max(exponentOf(r.x), exponentOf(r.y));
    if (e >= tinyExponent || e == LONG_MIN) {
        const double re = mpfr_get_d(r.x, MPFR_RNDN), im = mpfr_get_d(r.y, MPFR_RNDN);
        orbit.re.push_back(re);
        orbit.im.push_back(im);
        return re * re + im * im;
    }
    orbit.tiny.emplace_back(int(orbit.re.size()), e);
    long ex = 0, ey = 0;
    const double mx = mpfr_get_d_2exp(&ex, r.x, MPFR_RNDN), my = mpfr_get_d_2exp(&ey, r.y, MPFR_RNDN);
    orbit.re.push_back(mpfr_zero_p(r.x) ? 0.0 : std::ldexp(mx, int(ex - e)));
    orbit.im.push_back(mpfr_zero_p(r.y) ? 0.0 : std::ldexp(my, int(ey - e)));
    return 0;
}

}  // namespace

ComplexExp referenceAt(const ReferenceOrbit& orbit, int n)
{
    long long e = 0;
    if (!orbit.tiny.empty()) {
        const auto at = std::lower_bound(orbit.tiny.begin(), orbit.tiny.end(), std::pair<int, long long>(n, LLONG_MIN));
        if (at != orbit.tiny.end() && at->first == n) e = at->second;
    }
    return complexExp(orbit.re[size_t(n)], orbit.im[size_t(n)], e);
}

int nucleusReturn(const ReferenceOrbit& orbit, FloatExp pixel)
{
    ComplexExp dz;  // dZ/dc
    const FloatExp half = pixel * floatExp(0.5), one = floatExp(1.0), share = floatExp(0x1p-20);
    for (int n = 0; n < orbit.end; ++n) {
        const ComplexExp z = referenceAt(orbit, n);
        dz = complexExp(2, 0) * z * dz + complexExp(1, 0);
        const FloatExp spread = half * magnitude(dz);
        if (one < spread) return 0;
        if (magnitude(referenceAt(orbit, n + 1)) < share * spread) return n + 1;
    }
    return 0;
}

bool computeOrbit(const Big& z0re, const Big& z0im, const Big& cre, const Big& cim, int limit, long precision,
                  const std::atomic<bool>* cancel, ReferenceOrbit& orbit, OrbitProgress progress)
{
    orbit = ReferenceOrbit{};
    orbit.re.reserve(static_cast<size_t>(limit) + 1);
    orbit.im.reserve(static_cast<size_t>(limit) + 1);
    Registers r(precision);
    mpfr_set(r.x, z0re.v, MPFR_RNDN);
    mpfr_set(r.y, z0im.v, MPFR_RNDN);
    keep(r, orbit);
    for (int n = 1; n <= limit; ++n) {
        if ((n & 255) == 0) {
            if (cancel && cancel->load(std::memory_order_relaxed)) return false;
            if (progress.done) progress.done->store(progress.from + progress.share * n / limit, std::memory_order_relaxed);
        }
        mpfr_add(r.s, r.x, r.y, MPFR_RNDN);
        mpfr_sqr(r.xx, r.x, MPFR_RNDN);
        mpfr_sqr(r.yy, r.y, MPFR_RNDN);
        mpfr_sqr(r.s, r.s, MPFR_RNDN);
        mpfr_sub(r.x, r.xx, r.yy, MPFR_RNDN);
        mpfr_add(r.x, r.x, cre.v, MPFR_RNDN);
        mpfr_sub(r.s, r.s, r.xx, MPFR_RNDN);
        mpfr_sub(r.s, r.s, r.yy, MPFR_RNDN);
        mpfr_add(r.y, r.s, cim.v, MPFR_RNDN);
        orbit.end = n;
        if (keep(r, orbit) > orbitBailout) {
            orbit.escaped = true;
            break;
        }
    }
    if (progress.done) progress.done->store(progress.from + progress.share, std::memory_order_relaxed);
    return true;
}
