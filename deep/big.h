// Arbitrary-precision reals for views past single and double precision,
// through GNU MPFR. Big is a plain owner of one mpfr_t with value semantics;
// arithmetic is done with the mpfr_* calls on `v` directly, always rounding
// to nearest (MPFR_RNDN), so every result is the exact one rounded once.
#pragma once

#include <mpfr.h>

struct Big {
    mpfr_t v;

    explicit Big(long precision = 64);
    Big(double value, long precision);
    Big(const Big& other);             // the other's precision and value
    Big(Big&& other) noexcept;
    Big& operator=(const Big& other);  // takes the other's precision too
    Big& operator=(Big&& other) noexcept;
    ~Big();

    long precision() const;
    void setPrecision(long bits);  // keeps the value, rounded to the new precision
    double toDouble() const;
    float toFloat() const;         // rounded once, straight from the exact value
};

// Whether two numbers are equal, whatever their precisions (NaN equals nothing).
bool sameValue(const Big& a, const Big& b);

// log2 |x| as a double, for any exponent MPFR holds (where toDouble would
// give 0 or infinity); -infinity at 0, NaN for NaN.
double log2Magnitude(const Big& x);
