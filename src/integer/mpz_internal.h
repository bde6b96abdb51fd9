// What the files of the mpz integer protocol share.
#pragma once
#include <Python.h>
#include <gmp.h>
#include <climits>
#include <cstdint>
#include <unistd.h>
#include "convert/int_conv.h"
#include "core/args.h"
#include "core/memory.h"
#include "core/ref.h"
#include "objects/objects.h"

namespace vx {

// The most bits a GMP integer can hold: its size field counts limbs in an
// int, and GMP aborts the process when asked for more. Operations whose
// result would be larger raise MemoryError instead, as Python's int does.
constexpr uint64_t MPZ_MAX_BITS = static_cast<uint64_t>(INT_MAX - 1) * GMP_NUMB_BITS;

// True when a result of `bits` bits can exist; otherwise MemoryError is set.
inline bool room_for_bits(uint64_t bits) noexcept {
  if (bits <= MPZ_MAX_BITS) return true;
  PyErr_NoMemory();
  return false;
}

// True when a result of `bits` bits can be made: no larger than the largest
// GMP integer, and no larger than the machine's memory, since GMP stops the
// process when an allocation fails. Sets nothing.
inline bool room_for_result(uint64_t bits) noexcept {
  if (bits > MPZ_MAX_BITS) return false;
  return memory_can_hold(bits / 8);
}

inline PyObject* as_obj(MPZ_Object* o) noexcept { return reinterpret_cast<PyObject*>(o); }

// A new mpz holding z's value; nullptr with MemoryError.
inline PyObject* mpz_copy_of(mpz_srcptr z) noexcept {
  MPZ_Object* r = new_mpz();
  if (r) mpz_set(r->z, z);
  return as_obj(r);
}

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
