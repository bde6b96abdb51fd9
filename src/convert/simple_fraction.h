// The continued-fraction approximation of a real number by a simple
// rational: the convergents of |x| are taken until one is within a
// tolerance (relative) of x or stops improving.
#pragma once
#include <Python.h>
#include <mpfr.h>

namespace vx {

// x must be an mpfr value. `err` (may be nullptr): a positive bound is the
// tolerance itself; a negative bound -k asks for k bits; none or zero asks
// for `prec` bits (0: the precision of x). Returns an mpq, or an mpz when
// `allow_int` is set and the denominator is 1. Errors: OverflowError for an
// infinity, ValueError for NaN and for a precision outside [2, precision of x].
PyObject* simple_fraction(mpfr_srcptr x, mpfr_srcptr err, long prec, bool allow_int) noexcept;

}  // namespace vx
