// Numbers past double's exponent range on the CPU: a double mantissa with
// an integer exponent of its own (floatexp). The scene's pixel sizes, the
// largest dc and the jump tables' coefficients and radii live here: at a
// view of 1e-10000 a pixel is 2^-33219, far below double's 2^-1074, and a
// jump's |A| over a million steps can pass 2^100000.
//
// Precision: the mantissa keeps double's 53 bits, more than any of these
// quantities needs (they end as float mantissas on the GPU, or steer). The
// exponent is a long long; MPFR's own exponents (at most 2^62) fit.
#pragma once

#include "deep/big.h"

#include <cmath>

// m * 2^e, with 0.5 <= |m| < 1, or m = 0 (then e = 0).
struct FloatExp {
    double m = 0;
    long long e = 0;
};

// A complex number m * 2^e whose larger part's magnitude is in [0.5, 1),
// or 0: one exponent for both parts, as the GPU keeps them.
struct ComplexExp {
    double re = 0, im = 0;
    long long e = 0;
};

FloatExp floatExp(double value);
FloatExp floatExp(double mantissa, long long exponent);  // any mantissa, normalised
FloatExp floatExpOf(const Big& value);
double toDouble(FloatExp x);            // 0 or infinity outside double's range
double log2Of(FloatExp x);              // -infinity at 0
bool isZero(FloatExp x);

FloatExp operator*(FloatExp a, FloatExp b);
FloatExp operator/(FloatExp a, FloatExp b);  // b != 0
FloatExp operator+(FloatExp a, FloatExp b);
FloatExp operator-(FloatExp a, FloatExp b);
bool operator<(FloatExp a, FloatExp b);
FloatExp maxOf(FloatExp a, FloatExp b);
FloatExp minOf(FloatExp a, FloatExp b);

ComplexExp complexExp(double re, double im, long long exponent = 0);
ComplexExp operator*(const ComplexExp& a, const ComplexExp& b);
ComplexExp operator+(const ComplexExp& a, const ComplexExp& b);
FloatExp magnitude(const ComplexExp& z);  // |z|
// The parts as doubles scaled by 2^-exponent (0 where they fall below double's range).
double reAt(const ComplexExp& z, long long exponent);
double imAt(const ComplexExp& z, long long exponent);
