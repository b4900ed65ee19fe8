// Big: the owner of one mpfr_t. Copies take the source's precision, so a
// copied bound is the same number and not a rounded one; a moved-from Big
// keeps a valid (zero) value so its destructor and later assignments work.
#include "deep/big.h"

#include <cmath>

Big::Big(long precision)
{
    mpfr_init2(v, precision);
    mpfr_set_zero(v, 1);
}

Big::Big(double value, long precision)
{
    mpfr_init2(v, precision);
    mpfr_set_d(v, value, MPFR_RNDN);
}

Big::Big(const Big& other)
{
    mpfr_init2(v, mpfr_get_prec(other.v));
    mpfr_set(v, other.v, MPFR_RNDN);
}

Big::Big(Big&& other) noexcept
{
    mpfr_init2(v, MPFR_PREC_MIN);
    mpfr_set_zero(v, 1);
    mpfr_swap(v, other.v);
}

Big& Big::operator=(const Big& other)
{
    if (this == &other) return *this;
    mpfr_set_prec(v, mpfr_get_prec(other.v));
    mpfr_set(v, other.v, MPFR_RNDN);
    return *this;
}

Big& Big::operator=(Big&& other) noexcept
{
    mpfr_swap(v, other.v);
    return *this;
}

Big::~Big() { mpfr_clear(v); }

long Big::precision() const { return mpfr_get_prec(v); }

void Big::setPrecision(long bits) { mpfr_prec_round(v, bits, MPFR_RNDN); }

double Big::toDouble() const { return mpfr_get_d(v, MPFR_RNDN); }

float Big::toFloat() const { return mpfr_get_flt(v, MPFR_RNDN); }

double log2Magnitude(const Big& x)
{
    if (mpfr_nan_p(x.v)) return NAN;
    if (mpfr_zero_p(x.v)) return -INFINITY;
    if (mpfr_inf_p(x.v)) return INFINITY;
    // |x| = mantissa * 2^exponent with the mantissa in [0.5, 1): the exponent
    // carries the depth, the double only the leading bits.
    long exponent = 0;
    const double mantissa = mpfr_get_d_2exp(&exponent, x.v, MPFR_RNDN);
    return double(exponent) + std::log2(std::fabs(mantissa));
}

bool sameValue(const Big& a, const Big& b) { return mpfr_equal_p(a.v, b.v) != 0; }
