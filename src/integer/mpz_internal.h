// What the files of the mpz integer protocol share.
#pragma once
#include <Python.h>
#include <gmp.h>
#include <climits>
#include <cstdint>
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

}  // namespace vx
