// What the files of the mpz integer protocol share.
#pragma once
#include <Python.h>
#include <gmp.h>
#include <climits>
#include <cstdint>
#include "convert/int_conv.h"
#include "core/args.h"
#include "core/memory.h"
#include "core/ref.h"
#include "objects/objects.h"

namespace vx {

// A shift count that the bit-index reader refused (its error is pending):
// 1 when it is a count too large for 64 bits, whose result is all sign
// bits; -1 with an exception set otherwise ("negative shift count", or
// the count's own error). Shared by x >> n and x >>= n.
int huge_shift_count(PyObject* b) noexcept;

// An integer operand: an mpz or xmpz as it is, anything else through the
// integer conversion (whose TypeError "cannot convert object to mpz" is set).
inline Ref integer_operand(PyObject* o) noexcept {
  if (is_mpz(o) || is_xmpz(o)) return Ref::borrow(o);
  return Ref::steal(to_mpz_intonly(o));
}

// As integer_operand, with the conversion's error replaced by TypeError
// "name() requires <what>" noting o's type.
inline Ref integer_operand(PyObject* o, Need need) noexcept {
  Ref r = integer_operand(o);
  if (!r) {
    PyErr_Clear();
    refuse(need, o);
  }
  return r;
}

// An integer argument as an mpz of its own (an xmpz is copied, so that it
// may be read without its lock), or nullptr with TypeError msg in place of
// the conversion's error.
inline MPZ_Object* int_arg(PyObject* o, const char* msg) noexcept {
  MPZ_Object* z = to_mpz_intonly(o);
  if (!z) {
    PyErr_Clear();
    PyErr_SetString(PyExc_TypeError, msg);
  }
  return z;
}

// The predicates of mpz, shared by the methods and their module-level
// twins; x is an mpz. `prime` and `probab_prime` take the optional count
// of repetitions (n is 0 or 1), `divisible` the divisor as given.
namespace mpz_pred {
PyObject* even(PyObject* x);
PyObject* odd(PyObject* x);
PyObject* power(PyObject* x);
PyObject* square(PyObject* x);
PyObject* prime(PyObject* x, PyObject* const* reps, Py_ssize_t n);
PyObject* probab_prime(PyObject* x, PyObject* const* reps, Py_ssize_t n);
PyObject* divisible(PyObject* x, PyObject* d);
}  // namespace mpz_pred

}  // namespace vx
