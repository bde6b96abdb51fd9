// Hashes of the number types, equal to the interpreter's hash of the equal
// int, float, Fraction or complex (arithmetic modulo 2**61 - 1).
#pragma once
#include <Python.h>
#include <gmp.h>
#include <mpfr.h>

namespace vx {

// The interpreter's hash of the integer z.
Py_hash_t hash_of_mpz(mpz_srcptr z) noexcept;
// The hash of the real f; a NaN hashes by the address of `owner`.
Py_hash_t hash_of_mpfr(mpfr_srcptr f, PyObject* owner) noexcept;

// tp_hash of mpz, mpq, mpfr and mpc (cached in the objects' hash field).
Py_hash_t mpz_hash(PyObject* self) noexcept;
Py_hash_t mpq_hash(PyObject* self) noexcept;
Py_hash_t mpfr_hash(PyObject* self) noexcept;
Py_hash_t mpc_hash(PyObject* self) noexcept;

}  // namespace vx
