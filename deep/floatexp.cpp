// floatexp arithmetic: every result renormalised, so a chain of products
// never leaves the double's range however long it is.
#include "deep/floatexp.h"

#include <algorithm>
#include <climits>

namespace {

// 2^k for exponent differences that may be far outside double's range.
double scaleBy(double x, long long k)
{
    if (k < -2000) return 0;
    return std::ldexp(x, int(std::min<long long>(k, 2000)));
}

}  // namespace

FloatExp floatExp(double mantissa, long long exponent)
{
    if (mantissa == 0 || !std::isfinite(mantissa)) return FloatExp{mantissa == 0 ? 0.0 : mantissa, 0};
    int k = 0;
    const double m = std::frexp(mantissa, &k);
    return FloatExp{m, exponent + k};
}

FloatExp floatExp(double value) { return floatExp(value, 0); }

FloatExp floatExpOf(const Big& value)
{
    if (mpfr_zero_p(value.v) || !mpfr_number_p(value.v)) return FloatExp{};
    long exponent = 0;
    const double m = mpfr_get_d_2exp(&exponent, value.v, MPFR_RNDN);
    return floatExp(m, exponent);
}

double toDouble(FloatExp x) { return scaleBy(x.m, x.e); }

double log2Of(FloatExp x) { return x.m == 0 ? -INFINITY : double(x.e) + std::log2(std::fabs(x.m)); }

bool isZero(FloatExp x) { return x.m == 0; }

FloatExp operator*(FloatExp a, FloatExp b) { return floatExp(a.m * b.m, a.e + b.e); }

FloatExp operator/(FloatExp a, FloatExp b) { return floatExp(a.m / b.m, a.e - b.e); }

FloatExp operator+(FloatExp a, FloatExp b)
{
    if (a.m == 0) return b;
    if (b.m == 0) return a;
    const long long e = std::max(a.e, b.e);
    return floatExp(scaleBy(a.m, a.e - e) + scaleBy(b.m, b.e - e), e);
}

FloatExp operator-(FloatExp a, FloatExp b) { return a + FloatExp{-b.m, b.e}; }

bool operator<(FloatExp a, FloatExp b) { return (b - a).m > 0; }

FloatExp maxOf(FloatExp a, FloatExp b) { return a < b ? b : a; }

FloatExp minOf(FloatExp a, FloatExp b) { return a < b ? a : b; }

ComplexExp complexExp(double re, double im, long long exponent)
{
    const double larger = std::max(std::fabs(re), std::fabs(im));
    if (larger == 0 || !std::isfinite(re + im)) return ComplexExp{};
    int k = 0;
    std::frexp(larger, &k);
    return ComplexExp{std::ldexp(re, -k), std::ldexp(im, -k), exponent + k};
}

ComplexExp operator*(const ComplexExp& a, const ComplexExp& b)
{
    return complexExp(a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re, a.e + b.e);
}

ComplexExp operator+(const ComplexExp& a, const ComplexExp& b)
{
    if (a.re == 0 && a.im == 0) return b;
    if (b.re == 0 && b.im == 0) return a;
    const long long e = std::max(a.e, b.e);
    return complexExp(scaleBy(a.re, a.e - e) + scaleBy(b.re, b.e - e), scaleBy(a.im, a.e - e) + scaleBy(b.im, b.e - e), e);
}

FloatExp magnitude(const ComplexExp& z) { return floatExp(std::hypot(z.re, z.im), z.e); }

double reAt(const ComplexExp& z, long long exponent) { return scaleBy(z.re, z.e - exponent); }

double imAt(const ComplexExp& z, long long exponent) { return scaleBy(z.im, z.e - exponent); }
