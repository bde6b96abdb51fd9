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
