// Text of integers in bases 2 to 62, and of rationals built on it.
#pragma once
#include <Python.h>
#include <gmp.h>

namespace vx {

// "mpq(n,d)" in repr form; otherwise "n/d", or "n" when d is 1. Both parts
// carry the base prefix of bases 2, 8 and 16.
PyObject* format_mpq(mpq_srcptr q, int base, bool repr) noexcept;

}  // namespace vx
