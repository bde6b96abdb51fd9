// The best rational approximation of a real number by continued fractions.
#pragma once
#include <Python.h>
#include <mpfr.h>

namespace vx {

// The continued-fraction approximation of x within the relative error bound
// `err` (nullptr: none). With no positive bound the tolerance is 2**-prec,
// or 2**-k for a bound of -k; `prec` 0 means x's precision. Returns an mpq,
// or an mpz when `allow_mpz` is set and the denominator is 1. NaN raises
// ValueError, infinities OverflowError, an impossible precision ValueError
// "Requested precision out-of-bounds.".
PyObject* simple_fraction(mpfr_srcptr x, mpfr_srcptr err, mpfr_prec_t prec, bool allow_mpz) noexcept;

}  // namespace vx
