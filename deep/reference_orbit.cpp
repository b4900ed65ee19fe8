#include "deep/reference_orbit.h"

#include <cmath>

namespace {

// The working registers of one orbit, freed on every way out.
struct Registers {
    mpfr_t x, y, xx, yy, t;
    explicit Registers(long precision) { mpfr_inits2(precision, x, y, xx, yy, t, static_cast<mpfr_ptr>(nullptr)); }
    ~Registers() { mpfr_clears(x, y, xx, yy, t, static_cast<mpfr_ptr>(nullptr)); }
};

void keep(const Registers& r, ReferenceOrbit& orbit)
{
    orbit.re.push_back(mpfr_get_d(r.x, MPFR_RNDN));
    orbit.im.push_back(mpfr_get_d(r.y, MPFR_RNDN));
}

}  // namespace

int nucleusReturn(const ReferenceOrbit& orbit, double pixel)
{
    double dr = 0, di = 0;  // dZ/dc
    for (int n = 0; n < orbit.end; ++n) {
        const double zr = orbit.re[size_t(n)], zi = orbit.im[size_t(n)];
        const double r = 2 * (zr * dr - zi * di) + 1;
        di = 2 * (zr * di + zi * dr);
        dr = r;
        const double spread = 0.5 * pixel * std::hypot(dr, di);
        if (spread > 1) return 0;
        if (std::hypot(orbit.re[size_t(n) + 1], orbit.im[size_t(n) + 1]) < 0x1p-20 * spread) return n + 1;
    }
    return 0;
}

bool computeOrbit(const Big& z0re, const Big& z0im, const Big& cre, const Big& cim, int limit, long precision,
                  const std::atomic<bool>* cancel, ReferenceOrbit& orbit)
{
    orbit = ReferenceOrbit{};
    orbit.re.reserve(static_cast<size_t>(limit) + 1);
    orbit.im.reserve(static_cast<size_t>(limit) + 1);
    Registers r(precision);
    mpfr_set(r.x, z0re.v, MPFR_RNDN);
    mpfr_set(r.y, z0im.v, MPFR_RNDN);
    keep(r, orbit);
    for (int n = 1; n <= limit; ++n) {
        if (cancel && (n & 255) == 0 && cancel->load(std::memory_order_relaxed)) return false;
        mpfr_sqr(r.xx, r.x, MPFR_RNDN);
        mpfr_sqr(r.yy, r.y, MPFR_RNDN);
        mpfr_mul(r.t, r.x, r.y, MPFR_RNDN);
        mpfr_mul_2ui(r.t, r.t, 1, MPFR_RNDN);
        mpfr_add(r.y, r.t, cim.v, MPFR_RNDN);
        mpfr_sub(r.x, r.xx, r.yy, MPFR_RNDN);
        mpfr_add(r.x, r.x, cre.v, MPFR_RNDN);
        keep(r, orbit);
        orbit.end = n;
        const double re = orbit.re.back(), im = orbit.im.back();
        if (re * re + im * im > orbitBailout) {
            orbit.escaped = true;
            break;
        }
    }
    return true;
}
