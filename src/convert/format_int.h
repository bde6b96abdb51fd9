// Text of integers in bases 2 to 62, and of rationals built on it.
#pragma once
#include <Python.h>
#include <gmp.h>

namespace vx {

// Option bits of format_mpz; they combine.
enum : unsigned {
  FMT_REPR = 1,       // wrap as "mpz(...)" or "xmpz(...)"
  FMT_PLUS = 2,       // "+" before a non-negative value
  FMT_SPACE = 4,      // " " before a non-negative value (unless FMT_PLUS)
  FMT_PREFIX = 8,     // base prefix even with FMT_NO_PREFIX
  FMT_NO_PREFIX = 16  // no "0b", "0o", "0x" or "0X"
};

// z in `base` (2..62, or -36..-2 for upper-case letters). New str, or
// nullptr with ValueError "base must be in the interval 2 ... 62" or
// MemoryError. z is only read.
PyObject* format_mpz(mpz_srcptr z, int base, unsigned options, bool xmpz = false) noexcept;

// "mpq(n,d)" in repr form; otherwise "n/d", or "n" when d is 1. Both parts
// carry the base prefix of bases 2, 8 and 16.
PyObject* format_mpq(mpq_srcptr q, int base, bool repr) noexcept;

}  // namespace vx
